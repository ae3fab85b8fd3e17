// Duty cycle and Amplify against plain per-sample loops, on 8- and 16-bit waves.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "core/CoreTestSupport.h"
#include "core/dsp/Amplify.h"
#include "core/dsp/DutyCycle.h"

using namespace kestrune;

/** A set holding one wave "a.wav" of `count` noise samples. */
static WaveSet OneWave(uint16_t bits, uint32_t count, uint32_t rate = 22050) {
    WaveSet set;
    set.format = PcmFormat(1, rate, bits);
    std::tie(set.waveCount, set.sampleCounts[0], set.names[0]) = std::tuple(1, count, "a.wav");
    set.samples[0] = kestrune::testing::Noise(count * bits / 8);
    return set;
}

static int At(const WaveSet& set, uint32_t i) {
    const auto& b = set.samples[0];
    return set.format.bitsPerSample == 8 ? b[i] : int16_t(b[2 * i] | b[2 * i + 1] << 8);
}

TEST(DutyCycleTest, SilencesEachWholePeriodLikeALoop) {
    // The first two: Middle 0.5 with n = 100, 0-24 and 75-99 silenced, 200-249 kept.
    const std::tuple<uint16_t, uint32_t, uint32_t, float, float, int32_t> cases[] = {
        {16, 11025, 250, 9.1f, 0.5f, 1}, {8, 11025, 250, 9.1f, 0.5f, 1},
        {8, 22050, 1000, 10, 0.3f, 0},   {16, 44100, 1000, 5, 0.25f, 2},
        {16, 22050, 1000, 3, 0.7f, 1},   {8, 44100, 999, 2, 0, 2},
        {16, 22050, 50, 10, 0.5f, 0},    {16, 22050, 500, 10, 1, 2},
        {8, 22050, 500, 0.09f, 0.5f, 0}, {16, 22050, 500, -4, 0.5f, 0}};
    for (const auto& [bits, rate, count, periodMs, duty, type] : cases) {
        SCOPED_TRACE(::testing::Message() << bits << "/" << periodMs << "/" << duty << "/" << type);
        WaveSet set = OneWave(bits, count, rate);
        const WaveSet before = set;
        const int n = int(rate * periodMs / 1000), silence = bits == 8 ? 127 : 0;
        const bool gated = n >= 2 && duty != 1;  // otherwise only the settings are kept
        EXPECT_EQ(edits::DutyCycle(set, {periodMs, duty, type, 1.5f}).redraw, gated);
        EXPECT_EQ(set.names[0], gated ? "Edited wave" : "a.wav");
        const ProcessParameters& kept = set.processParameters;
        EXPECT_EQ(std::tuple(kept.periodMs, kept.dutyCycle, kept.periodType, kept.playbackSpeed),
                  std::tuple(periodMs, duty, type, 1.5f));
        for (uint32_t i = 0; i < count; ++i) {
            const int p = gated ? int(i) % n : 0, whole = gated && (i / n + 1) * n <= count;
            const bool off = std::array{p >= int(n * duty),  // left, middle, right
                                        p < int(n * (1 - duty) / 2) || p >= int(n * (1 + duty) / 2),
                                        p < int(n * (1 - duty))}[type];
            ASSERT_EQ(At(set, i), whole && off ? silence : At(before, i)) << i;
        }
    }
}

TEST(AmplifyTest, ScalesTruncatesAndClampsLikeALoop) {
    const std::tuple<uint16_t, double, float> cases[] = {
        {16, 2.5, 2.5f}, {16, 0.3, 0.3f}, {16, 25, 20}, {16, -1, 0}, {16, 1, 1},
        {8, 1.5, 1.5f},  {8, 0.5, 0.5f},  {8, 25, 20},  {8, -1, 0}};
    for (const auto& [bits, asked, applied] : cases) {
        SCOPED_TRACE(::testing::Message() << bits << " bits, gain " << asked);
        WaveSet set = OneWave(bits, 4000);
        const WaveSet before = set;
        EXPECT_TRUE(edits::Amplify(set, asked).redraw);
        EXPECT_EQ(set.processParameters.amplifyFactor, applied);
        EXPECT_EQ(set.names[0], applied == 1 ? "a.wav" : "Edited wave");
        const double centre = bits == 16 ? 0 : 127, low = bits == 16 ? -32768 : 0;
        for (uint32_t i = 0; i < 4000; ++i) {
            const double v = std::trunc((At(before, i) - centre) * applied + centre);
            ASSERT_EQ(At(set, i), std::clamp(v, low, bits == 16 ? 32767. : 255.)) << i;
        }
    }
}
