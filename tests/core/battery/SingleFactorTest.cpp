// The single-factor experiment's ladders, tester types, factor mask and
// judgement rule, and the sound its current values make.

#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <tuple>
#include <vector>

#include "core/CoreTestSupport.h"
#include "core/battery/SingleFactor.h"

namespace kestrune {
namespace {

using J = Judgement;
using F = SingleFactor;

// Each ladder, its clamping and its bit in the mask (all four checked: 15).
TEST(SingleFactorTest, LaddersHaveTheirLengthsEndsStartsAndMaskBits) {
    const std::tuple<F, std::size_t, const char*, const char*, const char*, int> table[] = {
        {F::Speed, 33, "0.200000", "3.500000", "1.000000", 1},
        {F::Noise, 6, "0.000000", "1.000000", "0.000000", 2},
        {F::Period, 27, "0.001000", "1000.000000", "20.000000", 4},
        {F::Duty, 21, "0.000000", "1.000000", "1.000000", 8},
    };
    for (const auto& [factor, size, first, last, initial, bit] : table) {
        const FactorLadder& ladder = LadderOf(factor);
        const int f = static_cast<int>(factor);
        SCOPED_TRACE(f);
        EXPECT_EQ(ladder.values.size(), size);
        EXPECT_EQ(FactorText(ladder.values.front()), first);
        EXPECT_EQ(FactorText(ladder.values.back()), last);
        EXPECT_EQ(FactorText(SingleFactorExperiment().Value(factor)), initial);
        EXPECT_EQ(FactorMask({f == 0, f == 1, f == 2, f == 3}), bit);
        EXPECT_EQ(SingleFactorExperiment().SetIndex(factor, -1), 0);
        EXPECT_EQ(SingleFactorExperiment().SetIndex(factor, INT_MAX), int(size) - 1);
        for (std::size_t i = 1; i < ladder.values.size(); ++i)
            EXPECT_LT(ladder.values[i - 1], ladder.values[i]) << i;
    }
    EXPECT_EQ(FactorMask({true, true, true, true}), 15);
}

TEST(SingleFactorTest, RepeatedDefiniteJudgementsAreIgnored) {
    struct Case {
        double state;
        J judgement;
        std::optional<std::tuple<double, double, double>> step;  // before, recognised, after
    };
    const Case table[] = {
        {0.0, J::Recognised, {{0.0, 1.0, 1.0}}},    {0.5, J::Recognised, {{0.5, 1.0, 1.0}}},
        {1.0, J::Recognised, std::nullopt},         {1.0, J::NotRecognised, {{1.0, 0.0, 0.0}}},
        {0.5, J::NotRecognised, {{0.5, 0.0, 0.0}}}, {0.0, J::NotRecognised, std::nullopt},
        {0.0, J::Undecided, {{0.0, 0.5, 0.5}}},     {0.5, J::Undecided, {{0.5, 0.5, 0.5}}},
        {1.0, J::Undecided, {{1.0, 0.5, 0.5}}},
    };
    for (const Case& c : table) {
        const auto step = Judge(c.state, c.judgement);
        ASSERT_EQ(step.has_value(), c.step.has_value()) << c.state;
        if (step) {
            EXPECT_EQ(std::tuple(step->stateBefore, step->recognised, step->stateAfter), *c.step);
        }
    }
}

// All four current values shape the sound, checked or not; the shortest
// periods fall below two samples and leave the sound whole.
TEST(SingleFactorTest, TheSoundFollowsAllFourValues) {
    const std::vector<std::int16_t> samples(2000, 1000);
    const std::vector<std::uint8_t> bytes = testing::Bytes16(samples);
    const std::tuple<int, int, std::uint32_t, int> table[] = {
        // period index, duty index, playback rate, silent samples
        {0, 0, 44100, 0},      // 0.001 ms: no interruption
        {2, 0, 44100, 0},      // 0.01 ms: 0 samples
        {4, 0, 44100, 2000},   // 0.05 ms: 2 samples, nothing kept
        {12, 10, 44100, 882},  // 20 ms = 882 samples, half kept, 2 whole windows
        {12, 20, 44100, 0},    // all kept
    };
    for (const auto& [period, duty, rate, silent] : table) {
        SingleFactorExperiment experiment;
        experiment.SetIndex(F::Period, period);
        experiment.SetIndex(F::Duty, duty);
        CrtRandom random;
        const StimulusOutcome out = ProcessStimulus(bytes.data(), 2000, PcmFormat(1, 44100, 16),
                                                    experiment.Stimulus(), random);
        ASSERT_TRUE(out.ok);
        EXPECT_EQ(out.stimulus.format.sampleRate, rate);
        EXPECT_EQ(out.stimulus.repeatCount, 1);
        int zeros = 0;
        for (std::size_t i = 0; i < out.stimulus.samples.size(); i += 2)
            zeros += out.stimulus.samples[i] == 0 && out.stimulus.samples[i + 1] == 0;
        EXPECT_EQ(zeros, silent) << period << " " << duty;
    }
    SingleFactorExperiment fast;
    fast.SetIndex(F::Speed, 32), fast.SetIndex(F::Noise, 5);
    EXPECT_EQ(std::pair(fast.Stimulus().speed, fast.Stimulus().noiseLevel), std::pair(3.5, 1.0));
}

}  // namespace
}  // namespace kestrune
