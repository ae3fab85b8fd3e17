// Sample-rate conversion: a sine converted from one rate to another has, at
// the new rate, the frequency it had at the old one, in both sample formats.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

#include "core/dsp/Resample.h"

namespace kestrune::dsp {
namespace {

int SampleAt(const std::vector<std::uint8_t>& bytes, std::size_t i, int bits) {
    if (bits == 8) return bytes[i] - 128;
    return static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
}

TEST(ResampleTest, ASineKeepsItsFrequencyAtTheNewRate) {
    const struct {
        int bits;
        std::uint32_t from, to;
        double hz;
    } rows[] = {
        {16, 33075, 22050, 1000.0},  // a 1.5x playback on a device that takes 22050 Hz only
        {8, 22050, 44100, 440.0},
        {16, 44100, 48000, 3000.0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.from);
        const std::size_t frames = row.from / 2;  // half a second
        const int width = row.bits / 8;
        std::vector<std::uint8_t> in(frames * width);
        for (std::size_t i = 0; i < frames; ++i) {
            const int v = static_cast<int>(
                std::lround(0.5 * std::sin(2 * std::numbers::pi * row.hz * i / row.from) *
                            (row.bits == 8 ? 127 : 32767)));
            const auto word = static_cast<std::uint16_t>(v);
            if (row.bits == 8) in[i] = static_cast<std::uint8_t>(v + 128);
            if (row.bits == 16) in[2 * i] = word & 0xff, in[2 * i + 1] = word >> 8;
        }
        const std::vector<std::uint8_t> out =
            ResamplePcm(in.data(), frames, row.bits, row.from, row.to);
        const std::size_t outFrames = out.size() / width;
        EXPECT_NEAR(static_cast<double>(outFrames), frames * double(row.to) / row.from, 2.0);
        // Rising zero crossings over the middle, away from the filter's edges.
        const std::size_t first = outFrames / 10, last = outFrames * 9 / 10;
        std::size_t up = 0, firstUp = 0, lastUp = 0;
        for (std::size_t i = first; i < last; ++i) {
            if (SampleAt(out, i, row.bits) < 0 && SampleAt(out, i + 1, row.bits) >= 0) {
                if (up++ == 0) firstUp = i;
                lastUp = i;
            }
        }
        ASSERT_GT(up, 10u);
        const double hz = (up - 1) * double(row.to) / double(lastUp - firstUp);
        EXPECT_NEAR(hz, row.hz, row.hz * 0.005);
    }
    EXPECT_TRUE(ResamplePcm(nullptr, 0, 16, 22050, 44100).empty());
}

}  // namespace
}  // namespace kestrune::dsp
