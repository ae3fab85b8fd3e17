// Generators, filters, the averaged spectrum and division listening, checked
// with signals whose answer is known and measured with the spectrum engine.

#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <numbers>
#include <set>

#include "core/CoreTestSupport.h"
#include "core/dsp/AvgSpectrum.h"
#include "core/dsp/DivisionListen.h"
#include "core/dsp/Fft.h"
#include "core/dsp/Filters.h"
#include "core/dsp/Generators.h"
#include "core/util/Random.h"
#include "core/wave/Pcm16.h"
#include "support/ScratchDir.h"

using namespace kestrune;
using kestrune::testing::Bytes16;
using kestrune::testing::ScratchDir;

namespace {

WaveSet EmptySet(uint32_t rate, uint16_t bits = 16) {
    WaveSet set;
    set.format = PcmFormat(1, rate, bits);
    return set;
}

WaveSet SetOf(uint32_t rate, uint16_t bits, const std::vector<int>& values) {
    WaveSet set = EmptySet(rate, bits);
    set.waveCount = 1;
    set.sampleCounts[0] = static_cast<uint32_t>(values.size());
    set.samples[0] = bits == 8 ? std::vector<uint8_t>(values.begin(), values.end())
                               : Bytes16({values.begin(), values.end()});
    return set;
}

std::vector<int> Wave0(const WaveSet& set) {
    std::vector<int> out;
    for (uint32_t i = 0; i < set.sampleCounts[0]; ++i)
        out.push_back(set.format.bitsPerSample == 8 ? set.samples[0][i]
                                                    : Pcm16At(set.samples[0].data(), i));
    return out;
}

// The magnitude of `bin` over the N samples that start at `from`.
double BinMagnitude(const std::vector<int>& wave, std::size_t from, int n, int bin) {
    dsp::CFft fft(n, 44100);
    std::vector<int16_t> frame(wave.begin() + static_cast<std::ptrdiff_t>(from),
                               wave.begin() + static_cast<std::ptrdiff_t>(from) + n);
    fft.PushSamples16(frame.data(), n);
    fft.Forward();
    return fft.GetMagnitude(bin);
}

// A sine at the frequency of bin k of an N-point frame at 44100 Hz.
std::vector<int> BinTone(std::size_t count, double amplitude, int bin, int n = 2048) {
    return kestrune::testing::Wave<int>(
        count, [&](int t) { return amplitude * std::sin(2 * std::numbers::pi * bin * t / n); });
}

}  // namespace

TEST(SinGenerator, HoldsGlidesAndHoldsWithExactSampleCounts) {
    struct Case {
        int beginHz, endHz;
        uint32_t rate;
        uint32_t count;
        int stepLength;  // samples per 1 Hz of the glide
    };
    const Case cases[] = {
        {1000, 2000, 44100, 264600, 88},  // the defaults
        {2000, 1000, 44100, 264600, 88},  // falling: -K samples a step
        {1000, 1500, 22050, 132300, 88},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.beginHz * 10000 + c.endHz);
        WaveSet set = EmptySet(c.rate);
        generators::SineSettings settings{
            .before = 1, .beginHz = c.beginHz, .endHz = c.endHz, .after = 1};
        const Outcome outcome = generators::SinGenerator(set, settings);
        ASSERT_TRUE(outcome.ok) << outcome.message;
        ASSERT_EQ(set.waveCount, 1);
        EXPECT_EQ(set.names[0], "Created sin wave");
        const std::vector<int> s = Wave0(set);
        ASSERT_EQ(s.size(), c.count + 2 * c.rate);
        EXPECT_LE(*std::max_element(s.begin(), s.end()), generators::kSinePeak);
        EXPECT_GE(*std::min_element(s.begin(), s.end()), -generators::kSinePeak);
        // Silence before and after; sound from the first second on.
        EXPECT_TRUE(std::all_of(s.begin(), s.begin() + c.rate, [](int v) { return v == 0; }));
        EXPECT_TRUE(std::all_of(s.end() - c.rate, s.end(), [](int v) { return v == 0; }));
        // Each glide step is one frequency held for stepLength samples, the
        // phase running on: measured from its own samples by the sine's
        // recurrence s[i+1] + s[i-1] = 2 cos(w) s[i].
        const uint32_t glide = c.rate * 3;
        const int steps = std::abs(c.endHz - c.beginHz);
        for (int j : {0, 1, steps / 2, steps - 1}) {
            const int f = c.beginHz + (c.endHz > c.beginHz ? j : -j);
            const double w = f * generators::kTwoPi / c.rate;
            for (int m = 1; m + 1 < c.stepLength; m += 29) {
                const std::size_t i = glide + static_cast<std::size_t>(j * c.stepLength + m);
                EXPECT_NEAR(s[i + 1] + s[i - 1], 2 * std::cos(w) * s[i], 3.0) << "step " << j;
            }
        }
        // The holds are the two tones.
        const auto peakHz = [&](std::size_t from) {
            std::vector<int16_t> part(s.begin() + static_cast<std::ptrdiff_t>(from),
                                      s.begin() + static_cast<std::ptrdiff_t>(from + c.rate));
            const auto avg = dsp::AverageSpectrum(part, 4096, 4096, static_cast<int>(c.rate));
            const auto top = std::max_element(avg.bins.begin(), avg.bins.end()) - avg.bins.begin();
            return static_cast<double>(top) * c.rate / 4096;
        };
        EXPECT_NEAR(peakHz(c.rate), c.beginHz, 11.0);
        EXPECT_NEAR(peakHz(c.count), c.endHz, 11.0);
    }
}

TEST(SinGenerator, RefusesWhatItCannotBuild) {
    struct Case {
        int waves;
        uint16_t bits;
        generators::SineSettings settings;
        const char* message;
    };
    const Case cases[] = {
        {1, 16, {}, generators::kCloseWavesFirst},
        {0, 8, {}, generators::kNeed16Bits},
        {0, 16, {.beginHold = 0, .changeTime = 0, .endHold = 0}, generators::kParameterIncorrect},
        {0, 16, {.before = -5}, generators::kParameterIncorrect},
        {0, 16, {.endHz = 1000}, generators::kEqualFrequencies},
    };
    for (const Case& c : cases) {
        WaveSet set = EmptySet(44100, c.bits);
        set.waveCount = c.waves;
        const Outcome outcome = generators::SinGenerator(set, c.settings);
        EXPECT_FALSE(outcome.ok);
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_EQ(set.waveCount, c.waves);
    }
}

namespace {

// Numbered files 1 ... 5: file i is 100 i samples of 1000. At -6 dB a
// target adds 501, so a slot reads 1501 where masker and target overlap,
// then 1000 (masker longer) or 501 (target longer): the pair can be read back.
struct MixKit {
    ScratchDir dir;
    generators::MixDescription description;

    explicit MixKit(int total, int level = -6) {
        for (int i = 1; i <= 5; ++i) {
            const std::vector<int16_t> samples(static_cast<std::size_t>(100 * i), 1000);
            WriteWaveFile(dir.File(std::to_string(i) + ".wav"), PcmFormat(1, 8000, 16),
                          Bytes16(samples).data(), static_cast<uint32_t>(samples.size()));
        }
        description.filePath = dir.File("");
        description.total = total;
        for (auto& row : description.levels) row.fill(level);
    }
};

std::pair<int, int> ReadPair(const std::vector<int>& s, std::size_t pos) {
    std::size_t both = 0, alone = 0;
    while (s[pos + both] > 1200) ++both;
    const int rest = s[pos + both];
    while (s[pos + both + alone] != 0) ++alone;
    const int shorter = static_cast<int>(both) / 100, longer = static_cast<int>(both + alone) / 100;
    if (both == 0) return {longer, longer};  // the target over silence
    return rest > 700 ? std::pair{longer, shorter} : std::pair{shorter, longer};
}

}  // namespace

TEST(MixGenerator, DrawsEveryPairOncePerPlay) {
    MixKit kit(25);
    WaveSet set = EmptySet(8000);
    CrtRandom random(5);
    const generators::MixSettings settings{.before = 0, .interval = 1, .after = 0, .plays = 2};
    const Outcome outcome = generators::MixGenerator(set, settings, kit.description, random);
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(set.names[0], "Created mix wave");
    const std::vector<int> s = Wave0(set);
    ASSERT_EQ(s.size(), 100u * 8000);  // (int)(25 x 2 x 2 + 0.1) s
    for (int play = 0; play < 2; ++play) {
        std::set<std::pair<int, int>> pairs;
        for (int slot = 0; slot < 25; ++slot) {
            const auto pair = ReadPair(s, static_cast<std::size_t>((play * 25 + slot) * 16000));
            EXPECT_EQ(s[static_cast<std::size_t>((play * 25 + slot) * 16000)],
                      pair.first == pair.second ? 501 : 1501);
            pairs.insert(pair);
        }
        EXPECT_EQ(pairs.size(), 25u) << "play " << play;
    }
}

TEST(MixGenerator, SettlesTheCasesThatCouldNotFinish) {
    struct Case {
        int total;
        uint32_t rate;
        int usableCells;       // cells 0 ... usableCells - 1 stay at or below 50 dB
        const char* pathTail;  // appended to FILEPATH
        bool ok;
        const char* messageStart;
        const char* warningStart;
    };
    const Case cases[] = {
        {24, 8000, 23, "", false, "The description file asks for 24 pairs per play, but only 23",
         ""},
        {2, 8000, 25, "missing/", false, generators::kTargetUnreadable, ""},
        // One second at 400 Hz is 400 samples: the files of 500 samples are cut.
        {1, 400, 1, "", true, "", "1 wave file(s) reached past the end"},
    };
    for (const Case& c : cases) {
        MixKit kit(c.total);
        for (int k = c.usableCells; k < 25; ++k)
            kit.description.levels[(k + 24) % 25 / 5][(k + 24) % 5] = 51;
        kit.description.filePath += c.pathTail;
        WaveSet set = EmptySet(c.rate);
        CrtRandom random(1);
        const generators::MixSettings settings{.before = 0, .interval = 0, .after = 0};
        const Outcome outcome = generators::MixGenerator(set, settings, kit.description, random);
        EXPECT_EQ(outcome.ok, c.ok) << outcome.message;
        EXPECT_EQ(outcome.message.rfind(c.messageStart, 0), 0u) << outcome.message;
        EXPECT_EQ(outcome.warning.rfind(c.warningStart, 0), 0u) << outcome.warning;
        EXPECT_EQ(set.waveCount, c.usableCells < c.total ? 0 : 1);
    }
}

TEST(TimeDomainFilter, GatesByTheBandRules) {
    struct Case {
        uint16_t bits, fileBits;
        int low, high;
        std::vector<int> in, out;
        const char* message;
    };
    const std::vector<Case> cases = {
        {16, 16, 0, 1000, {0, 999, 1000, 1001, -1001, -32768}, {0, 999, 1000, 0, 0, 0}, ""},
        {16, 16, 100, 0, {99, -99, 100, -100, 5000}, {0, 0, 100, -100, 5000}, ""},
        {16, 16, 100, 1000, {50, 500, 1500, -500, -50}, {0, 500, 0, -500, 0}, ""},
        {8, 8, 0, 10, {117, 118, 128, 138, 139, 255}, {128, 118, 128, 138, 128, 128}, ""},
        {8, 8, 5, 0, {124, 123, 133, 132}, {128, 123, 133, 128}, ""},
        {8, 8, 5, 50, {0, 100, 126, 255}, {128, 100, 128, 128}, ""},
        {16, 16, 0, 32768, {-32768, 32767}, {-32768, 32767}, ""},  // the limit itself is accepted
        {16, 16, 0, 32769, {7}, {7}, edits::kInvalidParameterFouned},
        {16, 8, 0, 129, {7}, {7}, edits::kInvalidParameterFouned},  // the file's depth sets the
                                                                    // limit
        {16, 16, 500, 100, {7}, {7}, edits::kInvalidParameterFouned},
        {16, 16, -1, 100, {7}, {7}, edits::kInvalidParameterFouned},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bits << " bits " << c.low << ".." << c.high);
        WaveSet set = SetOf(8000, c.bits, c.in);
        const Outcome outcome = edits::TimeDomainFilter(set, c.low, c.high, c.fileBits);
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_TRUE(outcome.redraw);
        EXPECT_EQ(Wave0(set), c.out);
        const bool refused = *c.message != '\0';
        EXPECT_EQ(set.processParameters.filterStartAmplitude, refused ? 0 : c.low);
        EXPECT_EQ(set.processParameters.filterStopAmplitude, refused ? 0 : c.high);
        EXPECT_EQ(set.names[0], refused ? "" : "Edited wave");
    }
}

TEST(FrequencyDomainFilter, RemovesTheBandAndKeepsTheRest) {
    // Tones at bin frequencies of the 2048-point frame: bin 46 (990 Hz) inside
    // 800 ... 1200 Hz, bin 230 (4953 Hz) outside it.
    const int n = 2048, s = 128;
    std::vector<int> in = BinTone(44100, 8000, 46);
    const std::vector<int> outside = BinTone(44100, 8000, 230);
    for (std::size_t t = 0; t < in.size(); ++t) in[t] += outside[t];
    WaveSet set = SetOf(44100, 16, in);
    const Outcome outcome = edits::FrequencyDomainFilter(set, 800, 1200, 44100, {n, s});
    ASSERT_TRUE(outcome.ok) << outcome.message;
    EXPECT_EQ(set.names[0], "Edited wave");
    const std::vector<int> out = Wave0(set);
    const std::size_t from = 10000;  // well past the N - S delay
    const double dbInside =
        20 * std::log10(BinMagnitude(out, from, n, 46) / BinMagnitude(in, from, n, 46));
    const double dbOutside =
        20 * std::log10(BinMagnitude(out, from, n, 230) / BinMagnitude(in, from, n, 230));
    EXPECT_LT(dbInside, -40.0);
    EXPECT_NEAR(dbOutside, 0.0, 0.5);
}

TEST(FrequencyDomainFilter, PassesAnEmptyBandThroughWithTheFrameDelay) {
    // Low 1000 and high 0 clear no bin: the wave only goes through the
    // transform pair and comes back N - S samples late, on both depths.
    struct Case {
        uint16_t bits;
        int n, s;
        std::size_t count;
    };
    const Case cases[] = {
        {16, 256, 64, 2000}, {8, 512, 128, 3000}, {16, 256, 256, 1000}, {16, 256, 64, 50}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bits * 1000 + c.s);
        std::vector<int> in(c.count);
        for (std::size_t t = 0; t < c.count; ++t)
            in[t] = c.bits == 8 ? static_cast<int>(128 + 100 * std::sin(t * 0.3))
                                : static_cast<int>(20000 * std::sin(t * 0.3));
        WaveSet set = SetOf(44100, c.bits, in);
        ASSERT_TRUE(edits::FrequencyDomainFilter(set, 1000, 0, 44100, {c.n, c.s}).redraw);
        EXPECT_EQ(set.names[0], "Edited wave");  // even when no frame fits
        const std::vector<int> out = Wave0(set);
        const std::size_t delay = static_cast<std::size_t>(c.n - c.s);
        const std::size_t filtered =
            c.count / static_cast<std::size_t>(c.s) * static_cast<std::size_t>(c.s);
        for (std::size_t p = 0; p < c.count; ++p) {
            const int expected = p >= filtered ? in[p]
                                 : p < delay   ? (c.bits == 8 ? 128 : 0)
                                               : in[p - delay];
            ASSERT_NEAR(out[p], expected, 1) << "sample " << p;
        }
    }
}

TEST(FrequencyDomainFilter, ChecksItsBoundsAgainstTheFileRate) {
    struct Case {
        int low, high;
        uint32_t fileRate;
        const char* message;
        bool changed;
    };
    const Case cases[] = {
        {0, 22050, 44100, "", true},
        {0, 22051, 44100, edits::kInvalidParameterFound, false},
        {0, 11026, 22050, edits::kInvalidParameterFound, false},  // the file's rate, not the set's
        {3000, 2000, 44100, edits::kInvalidParameterFouned, false},
        {0, 0, 44100, "", false},
    };
    for (const Case& c : cases) {
        WaveSet set = SetOf(44100, 16, BinTone(4096, 8000, 300));
        const std::vector<int> before = Wave0(set);
        const Outcome outcome =
            edits::FrequencyDomainFilter(set, c.low, c.high, c.fileRate, {2048, 2048});
        EXPECT_EQ(outcome.message, c.message);
        EXPECT_EQ(Wave0(set) != before, c.changed) << c.high;
        EXPECT_EQ(set.processParameters.filterStopFrequency, *c.message ? 0 : c.high);
    }
}

TEST(AveragedSpectrum, FindsTheToneOnDiskAndInMemory) {
    ScratchDir dir;
    // 1 kHz for 1 s at 44100 Hz between half-second silences.
    std::vector<int16_t> tone(88200, 0);
    for (std::size_t t = 0; t < 44100; ++t)
        tone[22050 + t] =
            static_cast<int16_t>(8000 * std::sin(2 * std::numbers::pi * 1000 * t / 44100.0));
    const std::string path = dir.File("tone.wav");
    ASSERT_TRUE(WriteWaveFile(path, PcmFormat(1, 44100, 16), Bytes16(tone).data(), 88200));

    const dsp::AveragedSpectrum onDisk = dsp::FileAverageSpectrum(path, 2048, 128);
    ASSERT_TRUE(onDisk.Ok()) << onDisk.message;
    ASSERT_EQ(onDisk.bins.size(), 1024u);
    EXPECT_EQ(std::max_element(onDisk.bins.begin(), onDisk.bins.end()) - onDisk.bins.begin(), 46);

    WaveSet set = EmptySet(44100);
    ASSERT_TRUE(set.OpenWave(path).ok);
    EXPECT_EQ(dsp::PeakEnergyFrequency(set, 2048, 128).message,
              "The frequency of max averaged energy is 990 Hz.");
}

TEST(AveragedSpectrum, GivesAClearMessageWhenThereIsNothingToAverage) {
    ScratchDir dir;
    const auto write = [&](const char* name, std::vector<int16_t> samples) {
        const std::string path = dir.File(name);
        WriteWaveFile(path, PcmFormat(1, 44100, 16), Bytes16(samples).data(),
                      static_cast<uint32_t>(samples.size()));
        return path;
    };
    struct Case {
        std::string path;
        const char* message;
    };
    const Case cases[] = {
        {write("silent.wav", std::vector<int16_t>(5000, 3)), dsp::kInvalidSignalFound},
        {write("short.wav", std::vector<int16_t>(110, 9000)),
         "The sound is shorter than one shift of 128 samples!"},
        {dir.File("none.wav"), "Open file failed!"},
        {dir.Write("text.wav", std::string(64, 'x')), "Can not find \"WAVE\"!"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(dsp::FileAverageSpectrum(c.path, 2048, 128).message, c.message);

    WaveSet empty = EmptySet(44100);
    EXPECT_EQ(dsp::PeakEnergyFrequency(empty, 2048, 128).message, dsp::kAtLeastOneWave);
    WaveSet shortWave = SetOf(44100, 16, std::vector<int>(100, 500));
    EXPECT_FALSE(dsp::PeakEnergyFrequency(shortWave, 2048, 128).ok);
}

TEST(AveragedSpectrum, LevelsPowerAndTable) {
    EXPECT_DOUBLE_EQ(dsp::PowerDb(std::vector<int>(1024, 4096)), 0.0);
    EXPECT_NEAR(dsp::PowerDb(std::vector<int>(16, 2048)), -6.0206, 1e-4);
    EXPECT_NEAR(dsp::LevelDb(4095, 1024), -30.103, 1e-3);
    EXPECT_DOUBLE_EQ(dsp::LevelToY(-70.0, 300), 300.0);
    EXPECT_EQ(dsp::FrequencyAxisRule(1024, 44100.0 / 2048).labelEvery, 5);
    EXPECT_EQ(dsp::FrequencyAxisRule(128, 8000.0 / 256).labelEvery, 1);
    dsp::AveragedSpectrum one;
    one.bins = {4095, 0};
    const std::string csv =
        dsp::SpectrumCsv({one, dsp::AveragedSpectrum{}}, {"a.wav", "b.wav"}, 4, 8000);
    EXPECT_EQ(csv, "bin,hz,a.wav,b.wav\n0,0,-3.01,\n1,2000,-75.26,\n");
}

TEST(DivisionListen, AlternatesTheEarsPeriodByPeriod) {
    struct Case {
        uint32_t rate;
        double periodMs, duty;
        std::size_t frames;
        std::size_t leftFrames, periodFrames;  // of each whole period
    };
    const Case cases[] = {
        {22050, 200.0, 0.5, 10000, 2205, 4410},
        {22050, 200.0, 1.5, 9000, 4410, 4410},  // left ear only
        {22050, 200.0, -0.2, 9000, 0, 4410},    // right ear only
        {44100, 10.0, 0.25, 1000, 110, 441},
        {8000, 500.0, 0.5, 3000, 0, 4000},  // shorter than a period: both ears
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.rate + c.duty);
        const auto bytes =
            Bytes16(kestrune::testing::Wave(c.frames, [](int i) { return i % 200 + 1; }));
        const auto stereo = dsp::StereoSource(bytes, static_cast<uint32_t>(c.frames), 16);
        const auto out = dsp::AlternateEars(stereo, c.rate, c.periodMs, c.duty);
        ASSERT_EQ(out.size(), 2 * c.frames);
        const std::size_t whole = c.frames / c.periodFrames * c.periodFrames;
        for (std::size_t i = 0; i < c.frames; ++i) {
            const int v = static_cast<int>(i % 200 + 1);
            const bool left = i >= whole || i % c.periodFrames < c.leftFrames;
            const bool right = i >= whole || i % c.periodFrames >= c.leftFrames;
            ASSERT_EQ(out[2 * i], left ? v : 0) << "frame " << i;
            ASSERT_EQ(out[2 * i + 1], right ? v : 0) << "frame " << i;
        }
    }
    // 8-bit bytes become ((u - 128) x 32767) / 127 in both channels, held in 16 bits.
    const std::vector<uint8_t> bytes8 = {0, 127, 128, 255};
    EXPECT_EQ(dsp::StereoSource(bytes8, 4, 8),
              (std::vector<int16_t>{-32768, -32768, -258, -258, 0, 0, 32767, 32767}));
}
