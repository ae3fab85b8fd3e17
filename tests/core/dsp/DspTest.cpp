// The FFT against the direct sum, and the waveform and spectrogram views:
// their rules (colours, positions, scales, zoom, readouts) and what they draw
// into a canvas.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <functional>
#include <numbers>
#include <random>
#include <tuple>
#include <utility>
#include <vector>

#include "core/CoreTestSupport.h"
#include "core/dsp/Fft.h"
#include "core/dsp/Raster.h"
#include "core/dsp/Spectrogram.h"
#include "core/dsp/ViewRules.h"

namespace kestrune::dsp {
namespace {

using Complex = std::complex<double>;
using kestrune::testing::Wave;

// The definition, term by term: X[k] = sum x[n] e^(sign 2 pi i k n / N).
template <typename T>
std::vector<Complex> DirectDft(const std::vector<T>& x, double sign = -1) {
    const std::size_t n = x.size();
    std::vector<Complex> out(n);
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t t = 0; t < n; ++t)  // k t mod N keeps the angle small and exact
            out[k] += Complex(x[t]) * std::polar(1.0, sign * 2 * std::numbers::pi *
                                                          static_cast<double>((k * t) % n) /
                                                          static_cast<double>(n));
    return out;
}

std::vector<double> WindowOf(const CFft& fft) {
    return {fft.Window().begin(), fft.Window().end()};
}

// Known signals at every menu size: each bin of the spectrum and its
// magnitudes, one at a time and at once, against the direct sum.
TEST(FftTest, EveryBinMatchesTheDirectDft) {
    const auto random = [](int n) {
        std::mt19937 gen(static_cast<unsigned>(n));
        return Wave(n, [&](int) { return std::uniform_int_distribution<int>(-32768, 32767)(gen); });
    };
    const struct {
        const char* name;
        std::function<std::vector<std::int16_t>(int)> make;
    } signals[] = {
        {"dc", [](int n) { return Wave(n, [](int) { return 12000; }); }},
        {"bin 5", [](int n) { return kestrune::testing::Sine(n, 30000, 5, n); }},
        {"nyquist", [](int n) { return Wave(n, [](int t) { return t % 2 ? -20000 : 20000; }); }},
        // Off the origin, so the phase shows that n = 0 is the oldest sample.
        {"impulse", [](int n) { return Wave(n, [](int t) { return t == 3 ? 32767 : 0; }); }},
        {"random", random},
    };
    for (int n : {256, 512, 1024, 2048, 4096}) {
        for (const auto& signal : signals) {
            SCOPED_TRACE(::testing::Message() << "N=" << n << " " << signal.name);
            const auto samples = signal.make(n);
            CFft fft(n, 44100);
            fft.PushSamples16(samples.data(), n);
            fft.Forward();
            const auto expected = DirectDft(samples);
            const auto spectrum = fft.Spectrum();
            std::vector<double> magnitudes(static_cast<std::size_t>(n / 2));
            fft.GetMagnitudes(magnitudes);
            const double tolerance = 1e-9 * 32768.0 * n;
            for (std::size_t k = 0; k < static_cast<std::size_t>(n); ++k) {
                ASSERT_NEAR(spectrum[k].real(), expected[k].real(), tolerance) << "bin " << k;
                ASSERT_NEAR(spectrum[k].imag(), expected[k].imag(), tolerance) << "bin " << k;
                const double magnitude = std::abs(expected[k]) / std::sqrt(n);
                ASSERT_NEAR(fft.GetMagnitude(static_cast<int>(k)), magnitude, tolerance) << k;
                if (k < magnitudes.size()) {
                    ASSERT_NEAR(magnitudes[k], magnitude, tolerance) << k;
                }
            }
        }
    }
}

// 16-bit samples enter as their value, 8-bit ones as (byte - 128) x 256,
// little-endian bytes as signed samples. Pushes slide the window; longer ones
// than N are ignored.
TEST(FftTest, SamplesEnterTheWindowAsTheirLevelAndSlideIt) {
    CFft four(4, 11025);
    const std::uint8_t bytes[] = {128, 0, 255, 129};
    four.PushSamples8(bytes, 4);
    EXPECT_EQ(WindowOf(four), (std::vector<double>{0.0, -32768.0, 32512.0, 256.0}));
    const std::uint8_t little[] = {0x00, 0x80, 0xFF, 0x7F, 0x34, 0x12};
    four.PushSamples16Bytes(little, 3);
    EXPECT_EQ(WindowOf(four), (std::vector<double>{256.0, -32768.0, 32767.0, 0x1234}));

    CFft fft(8, 8000);
    const std::int16_t first[] = {1, 2, 3}, second[] = {4, 5, 6, 7, 8}, third[] = {-9, 10};
    fft.PushSamples16(first, 3);
    EXPECT_EQ(WindowOf(fft), (std::vector<double>{0, 0, 0, 0, 0, 1, 2, 3}));
    fft.PushSamples16(second, 5);
    fft.PushSamples16(third, 2);
    EXPECT_EQ(WindowOf(fft), (std::vector<double>{3, 4, 5, 6, 7, 8, -9, 10}));

    // Exactly N is taken; more leaves window and spectrum as they were.
    const std::vector<std::int16_t> kept(8, 500), tooLong(9, -7000);
    const std::vector<std::uint8_t> tooLong8(9, 0);
    fft.PushSamples16(kept.data(), 8);
    fft.Forward();
    EXPECT_NEAR(fft.GetMagnitude(0), 500.0 * std::sqrt(8.0), 1e-9);
    fft.PushSamples16(tooLong.data(), 9);
    fft.PushSamples8(tooLong8.data(), 9);
    EXPECT_EQ(WindowOf(fft), std::vector<double>(8, 500.0));
    EXPECT_NEAR(fft.GetMagnitude(0), 500.0 * std::sqrt(8.0), 1e-9);
}

TEST(FftTest, BinsAndFrequenciesOfAWindowThatMustNotBeEmpty) {
    CFft fft(2048, 44100);
    const std::pair<int, int> rows[] = {{0, 0},        {1, 21},    {1024, 22050},
                                        {2047, 44078}, {2048, -1}, {5000, -1}};
    for (const auto& [bin, hz] : rows) EXPECT_EQ(fft.BinToFrequency(bin), hz) << bin;
    // FrequencyToBin inverts BinToFrequency on bin frequencies.
    for (int k : {0, 1, 100, 1023}) EXPECT_EQ(fft.FrequencyToBin(44100 * k / 2048 + 1), k) << k;
    EXPECT_EQ(fft.FrequencyToBin(22050), 1024);
    EXPECT_THROW(CFft(0, 44100), std::invalid_argument);
}

TEST(FftTest, InverseGivesTheConjugateOfTheDirectInverse) {
    const int n = 512;
    std::mt19937 gen(5);
    const auto samples = Wave(n, [&](int) { return static_cast<std::int16_t>(gen()); });
    CFft fft(n, 44100);
    fft.PushSamples16(samples.data(), n);
    fft.Forward();
    fft.Inverse();  // untouched spectrum: the samples come back
    for (int t = 0; t < n; t += 37) EXPECT_NEAR(fft.Output()[t].real(), samples[t], 1e-6) << t;
    // Zero one bin pair, as a filter would.
    auto spectrum = fft.Spectrum();
    spectrum[10] = spectrum[n - 10] = 0;
    const auto expected = DirectDft(std::vector<Complex>(spectrum.begin(), spectrum.end()), 1);
    fft.Inverse();
    for (int t = 0; t < n; t += 37) {
        const Complex want = std::conj(expected[static_cast<std::size_t>(t)] / double(n));
        EXPECT_NEAR(fft.Output()[static_cast<std::size_t>(t)].real(), want.real(), 1e-6) << t;
        EXPECT_NEAR(fft.Output()[static_cast<std::size_t>(t)].imag(), want.imag(), 1e-6) << t;
    }
}

TEST(ViewRulesTest, LevelColoursAtEveryBandEdgeAndTheLowestLevelsUndrawn) {
    struct Row {
        int level;
        Rgb color;
    };
    const Row rows[] = {
        {0, {0, 0, 255}},    {15, {0, 0, 255}},    {16, {0, 0, 255}},    {17, {0, 16, 255}},
        {31, {0, 240, 255}}, {32, {0, 255, 248}},  {63, {0, 255, 0}},    {64, {0, 255, 0}},
        {65, {4, 255, 0}},   {127, {252, 255, 0}}, {128, {255, 254, 0}}, {255, {255, 0, 0}},
        {256, {255, 0, 0}},  {9000, {255, 0, 0}},
    };
    for (const Row& row : rows) EXPECT_EQ(LevelColor(row.level), row.color) << row.level;
    EXPECT_EQ(Rgb({1, 2, 3}).Pixel(), 0xff010203u);

    // Levels of eight and below are not drawn.
    EXPECT_EQ(SpectrumLevel(9 * 256 - 0.001), 8);
    EXPECT_FALSE(LevelDrawn(SpectrumLevel(9 * 256 - 0.001)));
    EXPECT_TRUE(LevelDrawn(SpectrumLevel(9 * 256)));
    EXPECT_FALSE(LevelDrawn(0));
}

TEST(ViewRulesTest, TraceAndLegendColoursByWaveCount) {
    struct Row {
        int index, count;
        Rgb trace, legend;
    };
    const Row rows[] = {
        {0, 1, {0, 0, 0}, {255, 255, 0}},     {0, 2, {0, 0, 255}, {0, 0, 255}},  // level 16
        {1, 2, {255, 0, 0}, {255, 222, 0}},                                      // level 144
        {1, 3, {148, 255, 0}, {148, 255, 0}},                                    // level 101
        {4, 5, {255, 70, 0}, {255, 70, 0}},                                      // level 220
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TraceColor(row.index, row.count), row.trace) << row.index << "/" << row.count;
        EXPECT_EQ(LegendColor(row.index, row.count), row.legend) << row.index << "/" << row.count;
    }
}

TEST(ViewRulesTest, SamplePositions) {
    // Ten samples over 400 pixels: sample 9 lands on x = 400, one past the last column.
    EXPECT_EQ(std::tuple(WaveX(0, 10, 400), WaveX(1, 10, 400), WaveX(9, 10, 400)),
              std::tuple(0, 44, 400));
    // The product does not overflow 32 bits.
    EXPECT_EQ(WaveX(4000000000u, 4000000001u, 640), 640);

    struct Row {
        int value, height, bits, whole, zoomed;
    };
    const Row rows[] = {
        {32767, 100, 16, 0, 0}, {-32768, 100, 16, 98, 100}, {0, 100, 16, 49, 50},
        {-1, 100, 16, 49, 50},  {255, 100, 8, 0, 0},        {0, 100, 8, 99, 99},
        {128, 100, 8, 49, 49},  {1, 128, 16, 63, 63},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(WaveY(row.value, row.height, row.bits), row.whole)
            << row.value << " " << row.bits;
        EXPECT_EQ(ZoomedWaveY(row.value, row.height, row.bits), row.zoomed)
            << row.value << " " << row.bits;
    }
}

TEST(ViewRulesTest, TimeScaleRuleAndScales) {
    struct Row {
        int duration;
        TimeTicks ticks;
    };
    const Row rows[] = {{0, {1, 2}},     {24, {1, 2}},    {25, {5, 1}},     {60, {5, 2}},
                        {110, {5, 5}},   {249, {5, 5}},   {250, {50, 1}},   {600, {50, 2}},
                        {2499, {50, 5}}, {2500, {50, 5}}, {5000, {100, 5}}, {60000, {1200, 5}},
                        {7499, {100, 5}}};
    for (const Row& row : rows) EXPECT_EQ(TimeScaleRule(row.duration), row.ticks) << row.duration;

    EXPECT_EQ(AmplitudeScale(16), (ScaleSpec{-32, 32, 1, 8, "k"}));
    EXPECT_EQ(AmplitudeScale(8), (ScaleSpec{-128, 128, 4, 8, ""}));
    EXPECT_EQ(FrequencyScale(16, 44100), (ScaleSpec{0, 22, 1, 2, "KHz"}));
    EXPECT_EQ(FrequencyScale(16, 11025), (ScaleSpec{0, 5, 1, 2, "KHz"}));
    EXPECT_EQ(FrequencyScale(8, 22050), (ScaleSpec{0, 11025, 100, 5, "Hz"}));
    EXPECT_EQ(TimeScale(11025, 22050), (ScaleSpec{0, 500, 50, 1, "ms"}));
    EXPECT_EQ(ZoomedTimeScale(2205, 4409, 22050), (ScaleSpec{100, 199, 5, 2, "ms"}));
    EXPECT_EQ(LevelLegendLabel(16, 16), "4k");
    EXPECT_EQ(LevelLegendLabel(256, 16), "65k");
    EXPECT_EQ(LevelLegendLabel(48, 8), "48");
}

TEST(ViewRulesTest, ZoomInAndOut) {
    struct Row {
        const char* name;
        bool in;
        ViewRange from;
        int sample;
        double longest;
        ZoomStep expected;
    };
    const Row rows[] = {
        {"in, middle", true, {0, 999}, 500, 1000, {true, {251, 750}}},
        {"in, near the start", true, {0, 999}, 100, 1000, {true, {0, 499}}},
        {"in, near the end", true, {0, 999}, 900, 1000, {true, {500, 999}}},
        {"in, 40 samples", true, {0, 39}, 20, 1000, {true, {11, 30}}},
        {"in, 39 samples refused", true, {0, 38}, 20, 1000, {false, {0, 38}}},
        {"out, to the end", false, {251, 750}, 0, 1000, {true, {0, 999}}},
        {"out, middle", false, {300, 549}, 0, 1000, {true, {175, 674}}},
        {"out, to the start", false, {100, 349}, 0, 1000, {true, {0, 499}}},
        {"out, refused", false, {0, 599}, 0, 1000, {false, {0, 599}}},
    };
    for (const Row& row : rows) {
        const ZoomStep got =
            row.in ? ZoomIn(row.from, row.sample, row.longest) : ZoomOut(row.from, row.longest);
        EXPECT_EQ(got.zoomed, row.expected.zoomed) << row.name;
        EXPECT_EQ(got.range, row.expected.range)
            << row.name << ": " << got.range.start << " ... " << got.range.end;
    }
}

TEST(ViewRulesTest, DecibelLevelsAgainstAFullScaleSine) {
    struct Row {
        double db;  // against the full-scale sine's bin
        int level;
    };
    const Row rows[] = {
        {0.0, 256},  {6.0, 280}, {-3.9, 240}, {-32.0, 128},
        {-61.5, 10}, {-62.1, 7}, {-64.1, 0},  {-120.0, 0},
    };
    for (int n : {256, 512, 1024, 2048, 4096}) {
        const double fullScale = 32768.0 * std::sqrt(double(n)) / 2.0;
        for (const Row& row : rows)
            EXPECT_EQ(DecibelLevel(fullScale * std::pow(10.0, row.db / 20.0), n), row.level)
                << "N " << n << ", " << row.db << " dB";
        EXPECT_EQ(DecibelLevel(0.0, n), 0);
    }
    const std::pair<int, const char*> labels[] = {
        {256, "0"}, {240, "-4"}, {128, "-32"}, {0, "-64"}};
    for (const auto& [level, text] : labels) EXPECT_EQ(DecibelLegendLabel(level), text);
}

TEST(ViewRulesTest, AmplitudeReadoutLandsOnTheRowItCameFrom) {
    struct Row {
        int height, bits;
        bool zoomed;
    };
    const Row rows[] = {{204, 16, false}, {204, 16, true}, {204, 8, false},
                        {204, 8, true},   {37, 16, false}, {300, 8, false}};
    for (const Row& row : rows) {
        auto y = [&](int v) {
            return row.zoomed ? ZoomedWaveY(v, row.height, row.bits)
                              : WaveY(v, row.height, row.bits);
        };
        const int low = row.bits == 16 ? -32768 : 0;
        const int high = row.bits == 16 ? 32767 : 255;
        for (int v = low; v <= high; v += row.bits == 16 ? 97 : 1) {
            const int readout = AmplitudeAtRow(y(v), row.height, row.bits, row.zoomed);
            const int value = row.bits == 16 ? readout : readout + 128;
            EXPECT_EQ(y(value), y(v)) << row.height << "/" << row.bits << " v " << v;
            EXPECT_LE(value, v);  // the lowest value of its row
        }
    }
    EXPECT_EQ(AmplitudeAtRow(0, 204, 8, false), 126);  // bytes 254 and 255
    EXPECT_EQ(AmplitudeAtRow(203, 204, 16, false), -32768);
}

TEST(ViewRulesTest, SampleUnderAColumnAndUnderAClick) {
    struct Row {
        ViewRange range;
        int width;
    };
    const Row rows[] = {{{0, 9}, 400}, {{0, 99999}, 636}, {{251, 750}, 636}, {{0, 1}, 5}};
    for (const Row& row : rows) {
        const auto first = static_cast<std::int64_t>(row.range.start);
        const auto span = static_cast<std::int64_t>(row.range.end) - first;
        auto column = [&](std::int64_t j) { return (j - first) * row.width / span; };
        for (int x = 1; x < row.width; ++x) {
            const std::int64_t j = SampleAtColumn(x, row.width, row.range);
            EXPECT_GE(column(j), x) << x;
            EXPECT_LT(column(j - 1), x) << x;
        }
    }
    // Ten samples over 400 columns: sample 9 sits at x = 400, sample 1 at 44.
    EXPECT_EQ(SampleAtColumn(44, 400, {0, 9}), 1);
    EXPECT_EQ(SampleAtColumn(45, 400, {0, 9}), 2);
    // A click takes the sample at its share of the view.
    EXPECT_EQ(ClickedSample(0, 400, {0, 999}), 0);
    EXPECT_EQ(ClickedSample(200, 400, {0, 999}), 500);
    EXPECT_EQ(ClickedSample(399, 400, {100, 199}), 199);
    EXPECT_EQ(ClickedSample(1, 400, {0, 99}), 0);
}

TEST(ViewRulesTest, BinUnderARowIsTheBinDrawnThere) {
    struct Row {
        int height, frameLength;
    };
    const Row rows[] = {{275, 256}, {275, 512}, {275, 4096}, {100, 256}, {256, 512}, {7, 8}};
    for (const Row& row : rows) {
        // The rows each bin paints (later bins over earlier ones).
        const int bins = row.frameLength / 2;
        const double p = double(row.height) / bins;
        std::vector<int> owner(static_cast<std::size_t>(row.height), -1);
        for (int k = 0; k < bins && k < row.height; ++k)
            for (int r = 0; r < p; ++r) {
                const int y = row.height - static_cast<int>(k * p) - r - 1;
                if (y >= 0) owner[static_cast<std::size_t>(y)] = k;
            }
        for (int y = 0; y < row.height; ++y)
            EXPECT_EQ(SpectrogramBinAtRow(y, row.height, row.frameLength),
                      owner[static_cast<std::size_t>(y)])
                << row.height << "/" << row.frameLength << " y " << y;
    }
    EXPECT_EQ(SpectrogramBinAtRow(-1, 100, 256), -1);
    EXPECT_EQ(SpectrogramBinAtRow(100, 100, 256), -1);
}

TEST(ViewRulesTest, SpectrogramTimeRunsOverTheFramedSamples) {
    // 44100 samples in hops of 128: 344 frames cover 44032 samples.
    EXPECT_DOUBLE_EQ(SpectrogramTimeMs(0, 600, 44100, 128, 44100), 0.0);
    EXPECT_DOUBLE_EQ(SpectrogramTimeMs(600, 600, 44100, 128, 44100), 44032.0 / 44.1);
    EXPECT_DOUBLE_EQ(SpectrogramTimeMs(300, 600, 44100, 128, 44100), 22016.0 / 44.1);
}

constexpr std::uint32_t kWhite = 0xffffffffu;
constexpr std::uint32_t kBlack = 0xff000000u;

// A canvas with its own pixels and a guard row and column of sentinels
// around it, so a write past the edge shows.
struct Image {
    static constexpr std::uint32_t kSentinel = 0x12345678u;
    int width, height;
    std::vector<std::uint32_t> pixels;
    Image(int w, int h)
        : width(w), height(h), pixels(static_cast<std::size_t>((w + 2) * (h + 2)), kSentinel) {
        View().Fill(kWhite);
    }
    dsp::Canvas View() { return {pixels.data() + (width + 2) + 1, width, height, width + 2}; }
    // Nothing draws the sentinel, so a lost one was overwritten.
    bool GuardIntact() const {
        return std::count(pixels.begin(), pixels.end(), kSentinel) == 2 * (width + height + 2);
    }
    std::uint32_t At(int x, int y) { return View().At(x, y); }
    int Count(std::uint32_t pixel) {
        int n = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) n += At(x, y) == pixel;
        return n;
    }
};

using kestrune::testing::Bytes16;

TEST(RasterTest, LinesCoverTheirStartAndStopBeforeTheirEnd) {
    Image image(10, 10);
    Canvas canvas = image.View();
    DrawLine(canvas, 0, 0, 3, 0, kBlack);
    EXPECT_EQ(std::tuple(image.At(0, 0), image.At(2, 0), image.At(3, 0)),
              std::tuple(kBlack, kBlack, kWhite));
    DrawLine(canvas, 5, 5, 5, 5, kBlack);  // length 0
    EXPECT_EQ(image.At(5, 5), kWhite);
    DrawLine(canvas, 2, 9, 2, 6, kBlack);  // upwards
    EXPECT_EQ(image.Count(kBlack), 3 + 3);
    DrawLine(canvas, -5, -5, 20, 20, kBlack);  // clipped
    EXPECT_TRUE(image.GuardIntact());
}

TEST(RasterTest, TenSamplesOverFourHundredPixels) {
    const auto bytes = Bytes16(std::vector<std::int16_t>(10, 32767));
    Image image(401, 50);  // one column more than the view, to see x = 400
    Canvas canvas = image.View();
    canvas.width = 400;
    const TraceMapping mapping = WholeWaveMapping(10, 10, 400, 50, 16);
    EXPECT_EQ(std::pair(mapping.X(0), mapping.X(9)), std::pair(0, 400));
    DrawTracePolyline(canvas, {bytes.data(), 10, 16}, mapping, kBlack);
    // x = 400 is beyond the client area.
    EXPECT_EQ(std::tuple(image.At(0, 0), image.At(399, 0), image.At(400, 0)),
              std::tuple(kBlack, kBlack, kWhite));
    EXPECT_TRUE(image.GuardIntact());
}

TEST(RasterTest, WavesOfOneSampleDrawOnlyTheBackground) {
    const auto bytes = Bytes16({32767});
    Image image(50, 40);
    Canvas canvas = image.View();
    const std::vector<ViewWave> waves{{{bytes.data(), 1, 16}}, {{bytes.data(), 1, 16}}};
    EXPECT_FALSE(RenderWholeWaves(canvas, waves, {10, 20, 30}, {255, 0, 255}));
    EXPECT_EQ(image.Count(Rgb{10, 20, 30}.Pixel()), 50 * 40);
}

TEST(RasterTest, ZeroLineAndArrowOverTheTraces) {
    const auto bytes = Bytes16({0, 0, 0, 0});
    Image image(100, 41);
    Canvas canvas = image.View();
    const Rgb magenta{255, 0, 255};
    ASSERT_TRUE(RenderWholeWaves(canvas, {{{bytes.data(), 4, 16}}}, {255, 255, 255}, magenta));
    // The line at (H - 1) / 2 = 20 up to W - 2, the arrow from W - 1 back.
    for (const auto& [x, y] : {std::pair{0, 20}, {98, 20}, {99, 20}, {96, 17}, {96, 23}})
        EXPECT_EQ(image.At(x, y), magenta.Pixel()) << x << "," << y;
    EXPECT_EQ(image.At(94, 15), kWhite);  // the arrow stops before (W - 6, c - 5)
}

// The envelope path must give exactly the polyline's pixels.
TEST(RasterTest, EnvelopeEqualsThePolylineOnRandomWaves) {
    std::mt19937 gen(42);
    const std::uint32_t count = 100000;
    // A random walk with jumps: slow stretches and full-scale steps.
    int value = 0;
    const auto walk = kestrune::testing::Wave(count, [&](int) {
        value += static_cast<int>(gen() % 2001) - 1000;
        if (gen() % 500 == 0) value = static_cast<int>(gen() % 65536) - 32768;
        return value = std::clamp(value, -32768, 32767);
    });
    for (int bits : {16, 8}) {
        const auto bytes = bits == 16 ? Bytes16(walk)
                                      : kestrune::testing::Wave<std::uint8_t>(
                                            count, [&](int j) { return (walk[j] + 32768) >> 8; });
        const WaveSamples wave{bytes.data(), count, bits}, shorter{bytes.data(), 61234, bits};
        const WaveSummary summary(wave);
        for (int width : {1, 7, 400, 641, 1920}) {
            TraceMapping zoomed, zoomedPastTheEnd;
            ASSERT_TRUE(ZoomedMapping(count, {12345, 77000}, width, 256, bits, zoomed));
            ASSERT_TRUE(
                ZoomedMapping(shorter.count, {50000, 99999}, width, 256, bits, zoomedPastTheEnd));
            const std::tuple<const char*, TraceMapping, const WaveSamples*> cases[] = {
                {"whole", WholeWaveMapping(count, count, width, 256, bits), &wave},
                {"shorter", WholeWaveMapping(shorter.count, count, width, 256, bits), &shorter},
                {"zoomed", zoomed, &wave},
                {"zoomed past the end", zoomedPastTheEnd, &shorter}};
            for (const auto& [name, mapping, samples] : cases) {
                SCOPED_TRACE(::testing::Message() << name << " bits " << bits << " w " << width);
                Image full(width + 1, 256), fast(width + 1, 256);
                Canvas fullCanvas = full.View(), fastCanvas = fast.View();
                DrawTracePolyline(fullCanvas, *samples, mapping, kBlack);
                DrawTraceEnvelope(fastCanvas, *samples, summary, mapping, kBlack);
                ASSERT_GT(full.Count(kBlack), 0);
                ASSERT_EQ(full.pixels, fast.pixels);
            }
        }
    }
}

TEST(RasterTest, VisibleFramesOwnOneColumnEach) {
    EXPECT_EQ(VisibleFrames(10, 4), (std::vector<int>{2, 4, 7, 9}));
    EXPECT_EQ(VisibleFrames(3, 6), (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(VisibleFrames(0, 6).empty());
}

TEST(RasterTest, SpectrogramRowsPerBin) {
    // Four bins over ten rows: 2.5 rows per bin; bin k covers
    // y = 10 - (int)(2.5 k) - r - 1 for r = 0, 1, 2, later bins over earlier.
    SpectrogramLevels levels{2, 4, {}};
    levels.levels = {9, 40, 8, 300,  //
                     0, 0,  0, 16};
    Image image(4, 10);
    Canvas canvas = image.View();
    DrawSpectrogram(canvas, levels);
    const std::uint32_t l9 = LevelColor(9).Pixel(), l40 = LevelColor(40).Pixel();
    const std::uint32_t l300 = LevelColor(300).Pixel(), l16 = LevelColor(16).Pixel(), w = kWhite;
    const std::uint32_t frame0[10] = {l300, l300, l300, w, w, l40, l40, l40, l9, l9};
    const std::uint32_t frame1[10] = {l16, l16, l16, w, w, w, w, w, w, w};
    for (int y = 0; y < 10; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(image.At(x, y), (x < 2 ? frame0 : frame1)[y]) << x << "," << y;
    EXPECT_TRUE(image.GuardIntact());
}

// The view's pass as written: one engine, push S samples, transform, read.
SpectrogramLevels SequentialPass(const WaveSamples& wave, int n, int s) {
    SpectrogramLevels out;
    out.frames = static_cast<int>(wave.count) / s;
    out.bins = n / 2;
    CFft fft(n, 44100);
    std::vector<double> magnitudes(static_cast<std::size_t>(n / 2));
    for (int f = 0; f < out.frames; ++f) {
        if (wave.bits == 16) {
            std::vector<std::int16_t> hop;
            for (int i = 0; i < s; ++i)
                hop.push_back(static_cast<std::int16_t>(wave.Value(f * s + i)));
            fft.PushSamples16(hop.data(), s);
        } else {
            fft.PushSamples8(wave.bytes + f * s, s);
        }
        fft.Forward();
        for (int k = 0; k < n / 2; ++k)
            out.levels.push_back(static_cast<std::uint16_t>(SpectrumLevel(fft.GetMagnitude(k))));
    }
    return out;
}

TEST(RasterTest, ThreadedSpectrogramMatchesTheSequentialPass) {
    std::mt19937 gen(3);
    std::vector<std::uint8_t> bytes(2 * 20000);
    for (auto& b : bytes) b = static_cast<std::uint8_t>(gen());
    struct Row {
        int n, s, bits, threads;
    };
    for (const Row& row : {Row{256, 64, 16, 1}, Row{256, 64, 16, 2}, Row{1024, 1024, 8, 2},
                           Row{512, 128, 8, 3}, Row{256, 1024, 16, 2}}) {
        SCOPED_TRACE(::testing::Message()
                     << row.n << "/" << row.s << "/" << row.bits << "/" << row.threads);
        const WaveSamples wave{bytes.data(),
                               static_cast<std::uint32_t>(bytes.size() * 8 / row.bits), row.bits};
        const SpectrogramLevels expected = SequentialPass(wave, row.n, row.s);
        const SpectrogramLevels got =
            ComputeSpectrogram(wave, {row.n, row.s, 44100}, {}, row.threads);
        ASSERT_EQ(got.frames, expected.frames);
        ASSERT_EQ(got.levels, expected.levels);
        // A sparse pass fills exactly the frames asked for and holds rows for
        // those only; the others read as silence.
        const auto visible = VisibleFrames(got.frames, 37);
        const SpectrogramLevels sparse =
            ComputeSpectrogram(wave, {row.n, row.s, 44100}, visible, 2);
        ASSERT_EQ(sparse.levels.size(), visible.size() * static_cast<std::size_t>(got.bins));
        for (int f = 0; f < got.frames; ++f) {
            const bool shown = std::find(visible.begin(), visible.end(), f) != visible.end();
            for (int k = 0; k < got.bins; ++k) ASSERT_EQ(sparse.At(f, k), shown ? got.At(f, k) : 0);
        }
    }
    // With S > N every frame is silent.
    const WaveSamples wave{bytes.data(), 20000, 16};
    const auto silent = ComputeSpectrogram(wave, {256, 1024, 44100});
    EXPECT_EQ(std::count(silent.levels.begin(), silent.levels.end(), 0), silent.frames * 128);
}

TEST(RasterTest, ACancelledSpectrogramReturnsNothing) {
    std::vector<std::uint8_t> bytes(2 * 50000, 7);
    std::atomic<bool> cancel{true};
    const auto got = ComputeSpectrogram({bytes.data(), 50000, 16}, {}, {}, 2, &cancel);
    EXPECT_EQ(got.frames, 0);
    EXPECT_TRUE(got.levels.empty());
}

TEST(RasterTest, HannWindowLowersTheLeakageOfAnOffBinSine) {
    const auto values = kestrune::testing::Sine(8192, 20000, 100.5, 2048);  // off the bins
    const auto bytes = Bytes16(values);
    const WaveSamples wave{bytes.data(), 8192, 16};
    const auto plain = ComputeSpectrogram(wave, {2048, 2048, 44100, false});
    const auto hann = ComputeSpectrogram(wave, {2048, 2048, 44100, true});
    // Far from the tone the rectangular window leaks; the Hann window hardly does.
    EXPECT_GT(plain.At(3, 300), 0);
    EXPECT_EQ(hann.At(3, 300), 0);
    EXPECT_GT(hann.At(3, 100), 100);
}

TEST(RasterTest, DecibelLevelsShowWhatTheMagnitudeScaleLeavesOut) {
    // Bin-centred sines (bin 64 of 2048): full scale, and 52 dB down, whose
    // magnitude level (80 sqrt(2048) / 2 / 256 = 7) is not drawn.
    struct Row {
        int amplitude, magnitudeLevel, decibelLevel;
    };
    for (const Row& row : {Row{32767, 2895, 255}, Row{80, 7, 47}}) {
        const auto bytes = Bytes16(kestrune::testing::Sine(4096, row.amplitude, 64, 2048));
        const WaveSamples wave{bytes.data(), 4096, 16};
        const auto linear = ComputeSpectrogram(wave, {2048, 2048, 44100, false, false});
        const auto decibels = ComputeSpectrogram(wave, {2048, 2048, 44100, false, true});
        SCOPED_TRACE(row.amplitude);
        // Frame 1 holds the whole tone.
        EXPECT_NEAR(linear.At(1, 64), row.magnitudeLevel, 1);
        EXPECT_NEAR(decibels.At(1, 64), row.decibelLevel, 1);
        EXPECT_EQ(LevelDrawn(decibels.At(1, 64)), true);
        EXPECT_EQ(decibels.At(1, 500), 0);  // nothing between the bins of a centred sine
    }
}

}  // namespace
}  // namespace kestrune::dsp
