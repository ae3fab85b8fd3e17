// A sine converted to another rate has there the frequency it had before,
// counted by its rising zero crossings away from the filter's edges.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <tuple>

#include "core/dsp/Resample.h"

namespace kestrune::dsp {
namespace {

TEST(ResampleTest, ASineKeepsItsFrequencyAtTheNewRate) {
    const std::tuple<int, std::uint32_t, std::uint32_t, double> rows[] = {
        {16, 33075, 22050, 1000.0}, {8, 22050, 44100, 440.0}, {16, 44100, 48000, 3000.0}};
    for (const auto& [bits, from, to, hz] : rows) {
        const std::size_t frames = from / 2, width = bits / 8;
        std::vector<std::uint8_t> in(frames * width);
        for (std::size_t i = 0; i < frames; ++i) {
            const double x = 0.5 * std::sin(2 * std::numbers::pi * hz * i / from);
            const auto v = static_cast<std::uint16_t>(std::lround(x * 32767));
            if (bits == 8) in[i] = static_cast<std::uint8_t>(std::lround(x * 127) + 128);
            if (bits == 16) in[2 * i] = v & 0xff, in[2 * i + 1] = v >> 8;
        }
        const auto out = ResamplePcm(in.data(), frames, bits, from, to);
        const std::size_t n = out.size() / width;
        EXPECT_NEAR(static_cast<double>(n), frames * double(to) / from, 2.0);
        const bool eight = bits == 8;
        auto negative = [&](std::size_t i) {
            return eight ? out[i] < 128 : out[2 * i + 1] >= 0x80;
        };
        std::size_t up = 0, first = 0, last = 0;
        for (std::size_t i = n / 10; i < n * 9 / 10; ++i) {
            if (!negative(i) || negative(i + 1)) continue;
            if (up++ == 0) first = i;
            last = i;
        }
        ASSERT_GT(up, 10u);
        EXPECT_NEAR((up - 1) * double(to) / double(last - first), hz, hz * 0.005);
    }
}

}  // namespace
}  // namespace kestrune::dsp
