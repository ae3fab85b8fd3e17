#include "core/dsp/Raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <tuple>
#include <vector>

#include "core/CoreTestSupport.h"
#include "core/dsp/Fft.h"
#include "core/dsp/Spectrogram.h"

namespace kestrune::dsp {
namespace {

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
    EXPECT_EQ(image.At(0, 0), kBlack);
    EXPECT_EQ(image.At(2, 0), kBlack);
    EXPECT_EQ(image.At(3, 0), kWhite);
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
    EXPECT_EQ(mapping.X(0), 0);
    EXPECT_EQ(mapping.X(9), 400);
    DrawTracePolyline(canvas, {bytes.data(), 10, 16}, mapping, kBlack);
    EXPECT_EQ(image.At(0, 0), kBlack);
    EXPECT_EQ(image.At(399, 0), kBlack);
    EXPECT_EQ(image.At(400, 0), kWhite);  // beyond the client area
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
    const std::uint32_t l9 = LevelColor(9).Pixel();
    const std::uint32_t l40 = LevelColor(40).Pixel();
    const std::uint32_t l300 = LevelColor(300).Pixel();
    const std::uint32_t l16 = LevelColor(16).Pixel();
    const std::uint32_t frame0[10] = {l300, l300, l300, kWhite, kWhite, l40, l40, l40, l9, l9};
    const std::uint32_t frame1[10] = {l16,    l16,    l16,    kWhite, kWhite,
                                      kWhite, kWhite, kWhite, kWhite, kWhite};
    for (int y = 0; y < 10; ++y) {
        EXPECT_EQ(image.At(0, y), frame0[y]) << y;
        EXPECT_EQ(image.At(1, y), frame0[y]) << y;
        EXPECT_EQ(image.At(2, y), frame1[y]) << y;
        EXPECT_EQ(image.At(3, y), frame1[y]) << y;
    }
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
        // A sparse pass fills exactly the frames asked for.
        const auto visible = VisibleFrames(got.frames, 37);
        const SpectrogramLevels sparse =
            ComputeSpectrogram(wave, {row.n, row.s, 44100}, visible, 2);
        for (int f : visible)
            for (int k = 0; k < got.bins; ++k) ASSERT_EQ(sparse.At(f, k), got.At(f, k));
        // ... and holds rows for those only; the others read as silence.
        ASSERT_EQ(sparse.levels.size(), visible.size() * static_cast<std::size_t>(got.bins));
        for (int f = 0; f < got.frames; ++f)
            if (std::find(visible.begin(), visible.end(), f) == visible.end())
                for (int k = 0; k < got.bins; ++k) ASSERT_EQ(sparse.At(f, k), 0);
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
        std::vector<std::int16_t> values(4096);
        for (std::size_t t = 0; t < values.size(); ++t)
            values[t] = static_cast<std::int16_t>(
                std::lround(row.amplitude * std::sin(2 * 3.141592653589793 * 64 * t / 2048)));
        const auto bytes = Bytes16(values);
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
