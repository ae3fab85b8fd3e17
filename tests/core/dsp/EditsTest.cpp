// The dialog-free Process edits, each against a plain loop over the samples.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "core/CoreTestSupport.h"
#include "core/dsp/Edits.h"

namespace kestrune::edits {
namespace {

using Samples = std::vector<int>;
using Edit = Outcome (*)(WaveSet&);

// A set holding one wave of `v` (bytes for 8 bits, signed for 16).
WaveSet OneWave(const Samples& v, uint16_t bits, uint32_t rate = 22050) {
    WaveSet set;
    set.format = PcmFormat(1, rate, bits);
    set.waveCount = 1;
    set.names[0] = "a.wav";
    set.sampleCounts[0] = static_cast<uint32_t>(v.size());
    set.samples[0] = bits == 8 ? std::vector<uint8_t>(v.begin(), v.end())
                               : testing::Bytes16(std::vector<int16_t>(v.begin(), v.end()));
    return set;
}

// Silence, `loud` samples alternating -a, +a, silence. The count of loud
// samples reaches 50 on loud sample 49 from either side, so the sound runs
// from before - 1 to before + loud, kept inside the wave.
Samples Burst(int before, int loud, int after, int a) {
    Samples s(before + loud + after, 0);
    for (int i = 0; i < loud; ++i) s[before + i] = i % 2 ? a : -a;
    return s;
}

float Ratio(const Samples& s, int from, int count) {
    uint32_t p = 0;
    for (int i = from; i < from + count; ++i) p += uint32_t(s[i] * s[i]) / uint32_t(count);
    return float(4096.0 / uint32_t(std::sqrt(double(p))));
}

int Scaled(int s, float ratio) {
    return std::clamp(int(float(s) * ratio), -32767, 32767);
}

TEST(Edits, SampleEditsAgainstPlainLoops) {
    const Samples ramp{10, 11, 12, 13, 14};
    const std::tuple<Edit, uint16_t, Samples, Samples, std::string> cases[] = {
        {HorizontalReverse, 8, {0, 1, 127, 255}, {255, 127, 1, 0}, kHorizontalReversed},
        {HorizontalReverse, 16, {-32768, 5, 32767}, {32767, 5, -32768}, kHorizontalReversed},
        {VerticalReverse, 8, {0, 1, 127, 128, 255}, {0, 255, 129, 128, 1}, kVerticalReversed},
        {VerticalReverse, 16, {-32768, -1, 0, 32767}, {-32768, 1, 0, -32767}, kVerticalReversed},
        // Cuts keep the name: arming the tool renamed the wave already.
        {[](WaveSet& s) { return Cut(s, CutSide::Left, 99); }, 16, ramp, {14}, "a.wav"},
        {[](WaveSet& s) { return Cut(s, CutSide::Right, -3); }, 8, ramp, {10}, "a.wav"},
    };
    for (const auto& [edit, bits, in, out, name] : cases) {
        WaveSet set = OneWave(in, bits);
        EXPECT_TRUE(edit(set).redraw);
        EXPECT_EQ(set.samples[0], OneWave(out, bits).samples[0]) << bits << ' ' << name;
        EXPECT_EQ(set.names[0], name);
    }
}

TEST(Edits, PowerUnificationScalesTheSoundAndSilencesTheRest) {
    Samples spike = Burst(200, 400, 200, 1000);
    spike[400] = 30000;
    const std::tuple<Samples, int, int, std::string> cases[] = {
        {Burst(0, 400, 0, 1000), 0, 399, ""},  // edges clamped into the wave
        {Burst(0, 300, 0, 40), 0, 299, ""},    // never loud: the whole wave
        {spike, 199, 600, "Amplification is overflow in 1 times!"},
    };
    for (const auto& [in, start, end, overflow] : cases) {
        WaveSet set = OneWave(in, 16);
        const float ratio = Ratio(in, start, end - start + 1);
        Samples expected(in.size(), 0);
        for (int i = start; i <= end; ++i) expected[i] = Scaled(in[i], ratio);
        const Outcome outcome = PowerUnification(set);
        EXPECT_EQ(set.samples[0], OneWave(expected, 16).samples[0]);
        char text[64];
        std::snprintf(text, sizeof text, "Amplication ratio is %f .", double(ratio));
        EXPECT_EQ(outcome.warning + outcome.message, text + overflow);
        EXPECT_EQ(set.names[0], kPowerUnified);
    }
}

TEST(Edits, StandardizationPlacesTheMiddle200msAt400ms) {
    const Samples in = Burst(1000, 9000, 3000, 3000);  // sound 999 ... 10000
    WaveSet set = OneWave(in, 16, 22050);
    const int from = 999 + (9002 - 4410) / 2;
    Samples expected(22050, 0);  // the sound in 8820 ... 13229
    for (int i = 0; i < 4410; ++i) expected[8820 + i] = Scaled(in[from + i], Ratio(in, from, 4410));
    EXPECT_TRUE(SignalStandardization(set).ok);
    EXPECT_EQ(set.samples[0], OneWave(expected, 16).samples[0]);
    EXPECT_EQ(set.names[0], kSignalStandardized);
}

}  // namespace
}  // namespace kestrune::edits
