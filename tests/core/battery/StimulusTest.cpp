// The stimulus player's buffer, sample by sample, and the playing step's
// waits: interruption windows, noise bounds and draws, the rate clamp, the
// refusal of other bit depths, and files it cannot play.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>
#include <vector>

#include "core/CoreTestSupport.h"
#include "core/battery/Stimulus.h"
#include "support/ScratchDir.h"

namespace kestrune {
namespace {

WaveFormat Mono(std::uint16_t bits, std::uint32_t rate = 44100) {
    return PcmFormat(1, rate, bits);
}

// 16-bit samples that are never 0, so silence is visible everywhere.
std::vector<std::uint8_t> Ramp16(std::uint32_t count) {
    return testing::Bytes16(
        testing::Wave(count, [](int i) { return i % 2 ? -1 - i % 3000 : 1 + i % 3000; }));
}

std::vector<std::uint8_t> Ramp8(std::uint32_t count) {  // never 127
    return testing::Wave<std::uint8_t>(count, [](int i) { return 128 + i % 100; });
}

std::int16_t At16(const std::vector<std::uint8_t>& b, std::size_t i) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(b[2 * i] | (b[2 * i + 1] << 8)));
}

// A sample's distance from the middle of its range.
int Level(const std::vector<std::uint8_t>& b, std::uint16_t bits, std::size_t i) {
    return bits == 8 ? b[i] - 128 : At16(b, i);
}

ProcessedStimulus Process(const std::vector<std::uint8_t>& in, std::uint32_t count,
                          const WaveFormat& format, const StimulusSettings& settings) {
    CrtRandom random;
    StimulusOutcome out = ProcessStimulus(in.data(), count, format, settings, random);
    EXPECT_TRUE(out.ok) << out.message;
    return out.stimulus;
}

// Whole windows of `period` samples keep their first `keep` and silence the
// rest; a partial last window stays as it was.
TEST(StimulusInterruptionTest, WindowsKeepTheirFirstPart) {
    struct Case {
        std::uint16_t bits;
        std::uint32_t rate, count;
        double ms, kept;
        std::uint32_t period, keep;  // period 0: no interruption
    };
    const Case cases[] = {
        {16, 44100, 3 * 4410 + 1000, 100, 0.5, 4410, 2205},
        {8, 44100, 3 * 4410 + 1000, 100, 0.5, 4410, 2205},  // 8-bit silence is 127
        {16, 1000, 40, 2.0, 0.5, 2, 1},                     // the shortest period that interrupts
        {16, 1000, 40, 1.999, 0.5, 0, 0},                   // below 2 samples: nothing happens
        {16, 1000, 40, 10.0, 0.0, 10, 0},
        {16, 1000, 40, 10.0, 1.0, 10, 10},
        {16, 1000, 40, 10.0, 0.37, 10, 3},  // whole part of 3.7
        {16, 1000, 40, 10.0, -0.5, 10, 0},  // below 0 keeps nothing, never reaches back
        {16, 1000, 40, 10.0, 1.5, 10, 10},  // above 1 keeps everything
        {16, 1000, 40, 41.0, 0.5, 0, 0},    // no whole window
        {16, 1000, 40, 0.0, 0.5, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bits << " bits, " << c.ms << " ms, kept " << c.kept);
        const auto in = c.bits == 16 ? Ramp16(c.count) : Ramp8(c.count);
        const ProcessedStimulus s = Process(in, c.count, Mono(c.bits, c.rate),
                                            {.interruptionMs = c.ms, .keptFraction = c.kept});
        ASSERT_EQ(s.samples.size(), in.size());
        for (std::uint32_t i = 0; i < c.count; ++i) {
            const bool silenced =
                c.period != 0 && i < c.count / c.period * c.period && i % c.period >= c.keep;
            ASSERT_EQ(Level(s.samples, c.bits, i),
                      silenced ? c.bits == 8 ? -1 : 0 : Level(in, c.bits, i))
                << "sample " << i;
        }
    }
}

TEST(StimulusNoiseTest, StaysWithinAmplitudeAndUsesOneDrawPerSample) {
    const std::uint32_t count = 20000;
    for (const std::uint16_t bits : {std::uint16_t{8}, std::uint16_t{16}}) {
        const auto in = bits == 8 ? std::vector<std::uint8_t>(count, 128)
                                  : std::vector<std::uint8_t>(2 * count, 0);
        const int amplitude = bits == 8 ? 32 : 8192;  // level 0.25
        CrtRandom random(1234);
        const StimulusOutcome out =
            ProcessStimulus(in.data(), count, Mono(bits), {.noiseLevel = 0.25}, random);
        ASSERT_TRUE(out.ok);
        int low = 0, high = 0;
        double sum = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            const int noise = Level(out.stimulus.samples, bits, i);
            ASSERT_GE(noise, -amplitude) << bits << "-bit sample " << i;
            ASSERT_LE(noise, amplitude) << bits << "-bit sample " << i;
            low = std::min(low, noise);
            high = std::max(high, noise);
            sum += noise;
        }
        // Uniform over the whole range, centred on the sample.
        EXPECT_LT(low, -amplitude * 9 / 10);
        EXPECT_GT(high, amplitude * 9 / 10);
        EXPECT_LT(std::abs(sum / count), amplitude / 20.0);
        CrtRandom expected(1234);
        for (std::uint32_t i = 0; i < count; ++i) expected.Next();
        EXPECT_EQ(random.State(), expected.State()) << bits << "-bit";
    }

    // Seed 1: the first draw is 41. A = whole part of 32768 * 0.1 = 3276,
    // r = whole part of 6552 * 41 / 32767 = 8, so the noise is 8 - 3276.
    const auto one = Ramp16(1);
    EXPECT_EQ(At16(Process(one, 1, Mono(16), {.noiseLevel = 0.1}).samples, 0),
              At16(one, 0) + 8 - 3276);

    const auto in = Ramp16(300);
    for (const double level : {0.0, -0.5}) {
        CrtRandom random(99);
        const StimulusOutcome out =
            ProcessStimulus(in.data(), 300, Mono(16), {.noiseLevel = level}, random);
        ASSERT_TRUE(out.ok);
        EXPECT_EQ(out.stimulus.samples, in) << level;
        EXPECT_EQ(random.State(), 99u) << level;
    }
}

TEST(StimulusNoiseTest, ClipsAtTheSampleRangeAndCoversSilence) {
    const std::uint32_t count = 2000;
    // Full-scale samples with noise at full scale: half the draws push past
    // the limit and must stop exactly there.
    std::vector<std::uint8_t> loud16;
    for (std::uint32_t i = 0; i < count; ++i) {
        loud16.push_back(i % 2 ? 0x00 : 0xFF);
        loud16.push_back(i % 2 ? 0x80 : 0x7F);
    }
    const ProcessedStimulus s16 = Process(loud16, count, Mono(16), {.noiseLevel = 1.0});
    int atTop = 0, atBottom = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        atTop += At16(s16.samples, i) == 32767;
        atBottom += At16(s16.samples, i) == -32768;
    }
    EXPECT_GT(atTop, count / 8);
    EXPECT_GT(atBottom, count / 8);

    std::vector<std::uint8_t> loud8(count);
    for (std::uint32_t i = 0; i < count; ++i) loud8[i] = i % 2 ? 0 : 255;
    const ProcessedStimulus s8 = Process(loud8, count, Mono(8), {.noiseLevel = 2.0});
    int ends = 0;
    for (std::uint8_t v : s8.samples) ends += v == 0 || v == 255;
    EXPECT_GT(ends, static_cast<int>(count) * 4 / 10);

    // Noise comes after the interruption: silenced samples are noisy too.
    const auto in = Ramp8(100);
    const ProcessedStimulus both = Process(
        in, 100, Mono(8, 1000), {.noiseLevel = 0.5, .interruptionMs = 10, .keptFraction = 0.0});
    int moved = 0;
    for (std::uint8_t v : both.samples) {
        EXPECT_LE(std::abs(v - 127), 64);
        moved += v != 127;
    }
    EXPECT_GT(moved, 90);
}

TEST(StimulusSpeedTest, RateIsClampedAndTruncated) {
    struct Case {
        std::uint32_t rate;
        double speed;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {44100, 7.0, 220500},                             // above 5: five times
        {44100, 5.0, 220500},                             // the limit itself
        {44100, 4.99, 220059},                            // whole part of 220059.0
        {44100, 1.0, 44100},         {44100, 0.1, 4410},  // the lower limit
        {44100, 0.05, 4410},                              // below: a tenth
        {44100, 0.0, 4410},          {44100, -3.0, 4410},
        {44100, std::nan(""), 4410}, {11025, 0.1, 1102},  // whole part of 1102.5
        {22050, 2.5, 55125},         {4000000000u, 5.0, std::numeric_limits<std::uint32_t>::max()},
    };
    const auto in = Ramp16(10);
    for (const Case& c : cases) {
        EXPECT_EQ(PlaybackRate(c.rate, c.speed), c.expected) << c.rate << " x " << c.speed;
        const WaveFormat format = Mono(16, c.rate);
        const ProcessedStimulus s = Process(in, 10, format, {.speed = c.speed});
        EXPECT_EQ(s.format.sampleRate, c.expected);
        // Only the rate changes: the byte rate and the rest stay, samples too.
        EXPECT_EQ(s.format.bytesPerSecond, format.bytesPerSecond);
        EXPECT_EQ(s.format.blockAlign, format.blockAlign);
        EXPECT_EQ(s.samples, in);
    }
}

TEST(StimulusPlayerTest, RefusesOtherBitDepthsAndCopiesOnlyCountSamples) {
    const std::vector<std::uint8_t> in(64, 1);
    for (const std::uint16_t bits : {0, 4, 12, 24, 32}) {
        CrtRandom random(7);
        WaveFormat format = Mono(16);
        format.bitsPerSample = bits;
        const StimulusOutcome out = ProcessStimulus(
            in.data(), 8, format, {.noiseLevel = 0.5, .interruptionMs = 100}, random);
        EXPECT_FALSE(out.ok) << bits;
        EXPECT_EQ(out.message, "Invalid sample bits!");
        EXPECT_TRUE(out.stimulus.samples.empty());
        EXPECT_EQ(random.State(), 7u);
    }

    // Only `count` samples are copied; the input stays as it was.
    const auto ramp = Ramp16(100);
    const auto before = ramp;
    const ProcessedStimulus s =
        Process(ramp, 60, Mono(16, 1000),
                {.noiseLevel = 0.3, .interruptionMs = 10, .keptFraction = 0.5, .repeatCount = 2});
    EXPECT_EQ(ramp, before);
    EXPECT_EQ(std::tuple(s.sampleCount, s.samples.size(), s.repeatCount), std::tuple(60u, 120u, 2));
}

TEST(PlaybackPlanTest, WaitsAreBufferLengthPlusGap) {
    struct Case {
        std::uint32_t rate;
        std::uint32_t count;
        std::uint64_t wait;
    };
    const Case cases[] = {
        {44100, 44100, 1300}, {88200, 44100, 800},  // double speed halves the sounding part only
        {220500, 4410, 320},  {22050, 1, 300},      // 0.045 ms truncates to 0
        {8000, 12345, 1843},                        // 1543.125 truncated
        {44100, 1000, 322},                         // 22.68 truncated, not rounded
        {19, 19, 1299},                             // 1000 / 19 * 19 = 999.99...
        {0, 1000, 300},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RepeatWaitMs(c.rate, c.count), c.wait) << c.rate << ", " << c.count;
    }

    const auto in = Ramp16(8000);
    const ProcessedStimulus s = Process(in, 8000, Mono(16, 8000), {.speed = 2.0});
    const PlaybackPlan plan = PlanPlayback(s);
    EXPECT_EQ(plan.waitMs, 800u);
    EXPECT_EQ(plan.writeAtMs, (std::vector<std::uint64_t>{0, 800, 1600}));
    EXPECT_EQ(plan.totalMs, 2400u);

    ProcessedStimulus none = s;
    none.repeatCount = 0;
    EXPECT_TRUE(PlanPlayback(none).writeAtMs.empty());
    EXPECT_EQ(PlanPlayback(none).totalMs, 0u);
}

// Files that cannot be played are refused with the dialog's texts.
TEST(StimulusFileTest, RefusalsCarryTheDialogTexts) {
    testing::ScratchDir dir;
    EXPECT_EQ(LoadStimulus(dir.File("missing.wav")).message,
              "Invalid path or file name!\nIt can not be opened!");
    EXPECT_EQ(LoadStimulus(dir.File("missing.wav"),
                           "Invalid path or file name!\nSyllable wave file can not be opened!")
                  .message,
              "Invalid path or file name!\nSyllable wave file can not be opened!");
    std::string riff = "RIFF\x24\x00\x00\x00WAVX";
    riff.resize(64, '\0');
    const LoadedStimulus notWave = LoadStimulus(dir.Write("bad.wav", riff));
    EXPECT_FALSE(notWave.ok);
    EXPECT_EQ(notWave.message, "Invalid file type or damaged file!");
}

}  // namespace
}  // namespace kestrune
