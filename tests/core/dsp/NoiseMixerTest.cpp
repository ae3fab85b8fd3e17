// Add noise and the audio mixer against plain sample loops.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "core/CoreTestSupport.h"
#include "core/dsp/Mixer.h"
#include "core/dsp/Noise.h"
#include "core/util/Random.h"

using namespace kestrune;
using namespace kestrune::edits;
using Samples = std::vector<int>;

namespace {

// A set of `bits`-bit waves holding these sample values, named w0, w1 ...
WaveSet SetOf(uint16_t bits, const std::vector<Samples>& waves) {
    WaveSet set;
    set.format = PcmFormat(1, 22050, bits);
    set.waveCount = static_cast<int>(waves.size());
    for (int i = 0; i < set.waveCount; ++i) {
        set.samples[i] = bits == 16 ? kestrune::testing::Bytes16({waves[i].begin(), waves[i].end()})
                                    : std::vector<uint8_t>(waves[i].begin(), waves[i].end());
        set.sampleCounts[i] = static_cast<uint32_t>(waves[i].size());
        set.names[i] = "w" + std::to_string(i);
    }
    return set;
}

Samples Wave0(const WaveSet& set) {
    Samples out;
    const uint8_t* b = set.samples[0].data();
    for (uint32_t i = 0; i < set.sampleCounts[0]; ++i)
        out.push_back(set.format.bitsPerSample == 8 ? b[i] : int16_t(b[2 * i] | b[2 * i + 1] << 8));
    return out;
}

}  // namespace

TEST(AddNoise, MatchesThePlainLoop) {
    struct Case {
        uint16_t bits, fileBits;
        float amplitude;
        int halfWidth;
        Samples values;
    };
    const std::vector<Case> cases = {
        {16, 16, 0.1f, 3276, {0, 1000, -1000, 32000, -32000, 32767, -32768}},
        {16, 8, 0.1f, 12, {0, 5, -5, 32767}},  // an 8-bit file's full scale
        {8, 8, 0.9f, 115, {0, 1, 127, 128, 254, 255}},
        {8, 8, 0.0f, 0, {0, 127, 255}},  // nothing added, the name kept
    };
    for (const Case& c : cases) {
        WaveSet set = SetOf(c.bits, {c.values});
        set.processParameters.noiseAmplitude = 0.7f;
        CrtRandom random(77), reference(77);
        EXPECT_TRUE(AddNoise(set, c.amplitude, c.fileBits, random).redraw);
        EXPECT_EQ(NoiseHalfWidth(c.amplitude, c.fileBits), c.halfWidth);
        const int a = static_cast<int>(std::pow(2.0, c.fileBits - 1) * c.amplitude);
        Samples expected;
        for (int v : c.values) {
            const int r = static_cast<int>(2.0 * a * reference.Next() / 32767.0);
            expected.push_back(c.bits == 16 ? std::clamp(v + r - a, -32768, 32767)
                                            : std::clamp(v + r - a, 0, 255));
        }
        EXPECT_EQ(Wave0(set), expected) << c.bits << " bits, amplitude " << c.amplitude;
        EXPECT_EQ(set.names[0], c.amplitude > 0 ? "Edited wave" : "w0");
        EXPECT_EQ(set.processParameters.noiseAmplitude, c.amplitude);
    }
}

TEST(Mixer, MatchesThePlainLoop) {
    const auto ramp = [](int n, int from, int step) {
        return kestrune::testing::Wave<int>(n, [&](int i) { return from + i * step; });
    };
    const std::vector<std::tuple<MixMode, std::vector<Samples>, std::vector<double>>> cases = {
        {MixMode::Add, {ramp(1000, -500, 1), ramp(1500, 300, -7)}, {0.5, 1.25}},
        {MixMode::Add, {{30000, -30000}, {30000, -30000}, {-30000, 30000, 9}}, {1, 1}},
        {MixMode::Mix, {ramp(7, 1, 1), ramp(4, -1, -1), ramp(12, 50, 1)}, {}},
    };
    for (const auto& [mode, waves, weights] : cases) {
        WaveSet set = SetOf(16, waves);
        EXPECT_TRUE(MixWaves(set, weights, mode).redraw);
        Samples expected;  // as long as the longest wave
        for (std::size_t i = 0; i < waves.size(); ++i) {
            const double weight = i < weights.size() ? weights[i] : 1.0;
            expected.resize(std::max(expected.size(), waves[i].size()), 0);
            for (std::size_t j = 0; j < waves[i].size(); ++j) {
                if (mode == MixMode::Add)
                    expected[j] = std::clamp(expected[j] + static_cast<int>(waves[i][j] * weight),
                                             -32768, 32767);
                else if (i < 2 && j % 2 == i)
                    expected[j] = waves[i][j];
            }
        }
        EXPECT_EQ(Wave0(set), expected);
        EXPECT_EQ(set.waveCount, 1);
        EXPECT_EQ(set.names[0], "Mixed wave");
    }
}

TEST(Mixer, LeavesEightBitWaves) {
    WaveSet set = SetOf(8, {{1, 2}, {3, 4, 5}});
    EXPECT_FALSE(MixWaves(set, {1, 1}, MixMode::Add).redraw);
    EXPECT_EQ(set.waveCount, 2);
    EXPECT_EQ(Wave0(set), (Samples{1, 2}));
}
