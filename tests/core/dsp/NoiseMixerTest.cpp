// Add noise and the audio mixer against plain sample loops.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "core/CoreTestSupport.h"
#include "core/dsp/Mixer.h"
#include "core/dsp/Noise.h"
#include "core/util/Random.h"

using namespace kestrune;
using namespace kestrune::edits;
using kestrune::testing::Bytes16;

namespace {

WaveSet SetOf(uint16_t bits, const std::vector<std::vector<uint8_t>>& waves) {
    WaveSet set;
    set.format = PcmFormat(1, 22050, bits);
    set.waveCount = static_cast<int>(waves.size());
    for (int i = 0; i < set.waveCount; ++i) {
        set.samples[i] = waves[i];
        set.sampleCounts[i] = static_cast<uint32_t>(waves[i].size() * 8 / bits);
        set.names[i] = "w" + std::to_string(i);
    }
    return set;
}

std::vector<int16_t> Samples16(const WaveSet& set, int slot) {
    std::vector<int16_t> out(set.sampleCounts[slot]);
    std::memcpy(out.data(), set.samples[slot].data(), out.size() * 2);
    return out;
}

}  // namespace

TEST(AddNoise, MatchesThePlainLoop) {
    struct Case {
        uint16_t bits, fileBits;
        float amplitude;
        std::vector<int16_t> values;  // 8-bit: the byte values
    };
    const std::vector<Case> cases = {
        {16, 16, 0.1f, {0, 1000, -1000, 32000, -32000, 32767, -32768}},
        {16, 8, 0.1f, {0, 5, -5, 32767}},  // an 8-bit file's full scale on a 16-bit wave
        {8, 8, 0.3f, {0, 1, 127, 128, 254, 255}},
        {8, 8, 1.5f, {0, 127, 255}},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> bytes;
        for (int16_t v : c.values)
            if (c.bits == 8) bytes.push_back(static_cast<uint8_t>(v));
        if (c.bits == 16) bytes = Bytes16(c.values);
        WaveSet set = SetOf(c.bits, {std::vector<uint8_t>(bytes)});
        CrtRandom random(77), reference(77);
        const Outcome outcome = AddNoise(set, c.amplitude, c.fileBits, random);

        const int a = static_cast<int>(std::pow(2.0, c.fileBits - 1) * c.amplitude);
        std::vector<int16_t> expected;
        for (int16_t v : c.values) {
            const int r = static_cast<int>(2.0 * a * reference.Next() / 32767.0);
            expected.push_back(c.bits == 16 ? std::clamp(v + r - a, -32768, 32767)
                                            : std::clamp(v + r - a, 0, 255));
        }
        std::vector<int16_t> got;
        for (std::size_t i = 0; i < c.values.size(); ++i)
            got.push_back(c.bits == 16 ? Samples16(set, 0)[i] : set.samples[0][i]);
        EXPECT_EQ(got, expected) << c.bits << " bits, amplitude " << c.amplitude;
        EXPECT_TRUE(outcome.redraw);
        EXPECT_EQ(set.names[0], "Edited wave");
        EXPECT_EQ(set.processParameters.noiseAmplitude, c.amplitude);
    }
}

TEST(AddNoise, HalfWidthAndItsEnds) {
    EXPECT_EQ(NoiseHalfWidth(0.1f, 16), 3276);  // noise from -3276 to +3276
    EXPECT_EQ(NoiseHalfWidth(0.1f, 8), 12);
    // Far beyond full scale every sample lands on an end of the range.
    WaveSet set = SetOf(16, {Bytes16(std::vector<int16_t>(500, 123))});
    CrtRandom random(5);
    AddNoise(set, 1e30f, 16, random);
    for (int16_t s : Samples16(set, 0)) EXPECT_TRUE(s == -32768 || s == 32767) << s;
}

TEST(AddNoise, NothingToAddOrNotOneWave) {
    for (const float amplitude : {0.0f, -0.5f, std::nanf("")}) {
        WaveSet set = SetOf(16, {Bytes16({1, 2, 3})});
        set.processParameters.noiseAmplitude = 0.7f;
        CrtRandom random(1);
        const Outcome outcome = AddNoise(set, amplitude, 16, random);
        EXPECT_TRUE(outcome.redraw);
        EXPECT_EQ(set.samples[0], Bytes16({1, 2, 3}));
        EXPECT_EQ(set.names[0], "w0");
        EXPECT_EQ(set.processParameters.noiseAmplitude, 0.0f);
    }
    for (const int waves : {0, 2}) {
        WaveSet set = SetOf(16, std::vector<std::vector<uint8_t>>(waves, Bytes16({1, 2})));
        CrtRandom random(1);
        EXPECT_EQ(AddNoise(set, 0.5f, 16, random).message, "Only 1 opened wave file is needed!");
        EXPECT_EQ(set.processParameters.noiseAmplitude, 0.0f);
    }
}

TEST(Mixer, MatchesThePlainLoop) {
    struct Case {
        MixMode mode;
        std::vector<std::vector<int16_t>> waves;
        std::vector<double> weights;
    };
    const auto ramp = [](int n, int from, int step) {
        return kestrune::testing::Wave(n, [&](int i) { return from + i * step; });
    };
    const std::vector<Case> cases = {
        {MixMode::Add, {ramp(1000, -500, 1), ramp(1500, 300, -7)}, {0.5, 1.25}},
        {MixMode::Add, {{30000, -30000}, {30000, -30000}, {-30000, 30000}}, {1, 1, 1}},
        {MixMode::Add, {{100, 200, 300}, {7, 8}}, {-2.5}},  // no weight given: 1.0
        {MixMode::Mix, {ramp(7, 1, 1), ramp(4, -1, -1), ramp(12, 50, 1)}, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::vector<uint8_t>> bytes;
        std::size_t length = 0;
        for (const auto& w : c.waves)
            bytes.push_back(Bytes16(w)), length = std::max(length, w.size());
        WaveSet set = SetOf(16, bytes);
        const Outcome outcome = MixWaves(set, c.weights, c.mode);

        std::vector<int> expected(length, 0);
        for (std::size_t i = 0; i < c.waves.size(); ++i) {
            const double weight = i < c.weights.size() ? c.weights[i] : 1.0;
            for (std::size_t j = 0; j < c.waves[i].size(); ++j) {
                if (c.mode == MixMode::Add)
                    expected[j] = std::clamp(expected[j] + static_cast<int>(c.waves[i][j] * weight),
                                             -32768, 32767);
                else if (i < 2 && j % 2 == i)
                    expected[j] = c.waves[i][j];
            }
        }
        const std::vector<int16_t> got = Samples16(set, 0);
        EXPECT_EQ(std::vector<int>(got.begin(), got.end()), expected);
        EXPECT_EQ(set.waveCount, 1);
        EXPECT_EQ(set.names[0], "Mixed wave");
        EXPECT_TRUE(outcome.redraw);
    }
}

TEST(Mixer, RefusalsLeaveTheSet) {
    struct Case {
        uint16_t bits;
        std::vector<std::vector<uint8_t>> waves;
        std::size_t limit;
        std::string message;
    };
    const std::vector<Case> cases = {
        {16, {Bytes16({1, 2, 3})}, WaveSet::kNoLimit, "More than 1 wave files are needed!"},
        {8, {{1, 2, 3}, {4, 5, 6, 7}}, WaveSet::kNoLimit, ""},      // 16-bit only
        {16, {Bytes16({1}), Bytes16({2})}, WaveSet::kNoLimit, ""},  // L = 1
        {16, {Bytes16({1, 2}), Bytes16({3, 4, 5})}, 5, "Realloc failed!"},
    };
    for (const Case& c : cases) {
        WaveSet set = SetOf(c.bits, c.waves);
        set.SetBufferLimit(c.limit);
        EXPECT_EQ(MixWaves(set, {1, 1}, MixMode::Add).message, c.message);
        EXPECT_EQ(set.waveCount, static_cast<int>(c.waves.size()));
        EXPECT_EQ(set.samples[0], c.waves[0]);
        EXPECT_EQ(set.names[0], "w0");
    }
}

TEST(Mixer, NormalisationCheck) {
    const std::vector<std::pair<std::vector<double>, bool>> cases = {
        {{0.999}, true}, {{0.998}, false}, {{0.7, 0.7}, true}, {{0.25, 0.25}, false}, {{}, false}};
    for (const auto& [weights, ok] : cases) EXPECT_EQ(WeightsNormalised(weights), ok);
}
