// kestrune-cli process: the bytes of the workspace's edits and Save wave,
// and the workspace's messages on bad input.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "core/dsp/Amplify.h"
#include "core/dsp/DutyCycle.h"
#include "core/dsp/Edits.h"
#include "core/dsp/Noise.h"
#include "core/util/Random.h"
#include "support/ScratchDir.h"

namespace kestrune::cli {
namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(ProcessTest, GivesTheBytesOfTheWorkspaceEditsAndItsMessages) {
    const kestrune::testing::ScratchDir scratch;
    // Stereo, 16 bits: a 30 ms gap, then a sawtooth on the left channel only.
    std::vector<uint8_t> bytes(4 * 22050, 0);
    for (int i = 700; i < 22050; ++i) bytes[4 * i + 1] = 10 + i % 50;
    const std::string in = scratch.File("in.wav"), out = scratch.File("out.wav");
    ASSERT_TRUE(WriteWaveFile(in, PcmFormat(2, 22050, 16), bytes.data(), 22050));
    std::ostringstream text, err;
    ASSERT_EQ(cli::Run({"process", in, out, "invert", "power-unify", "reverse", "standardize"},
                       text, err),
              kExitOk);

    WaveSet set;
    ASSERT_TRUE(set.OpenWave(in).ok);
    for (auto edit : {edits::VerticalReverse, edits::PowerUnification, edits::HorizontalReverse,
                      edits::SignalStandardization})
        ASSERT_TRUE(edit(set).ok);
    set.SaveWave(scratch.File("saved.wav"));
    EXPECT_EQ(Contents(out), Contents(scratch.File("saved.wav")));
    EXPECT_EQ(Contents(out).size(), 44u + 2 * 22050);

    // The edits with arguments, on an 8-bit file: amplify, noise, duty.
    ASSERT_TRUE(WriteWaveFile(in, PcmFormat(1, 11025, 8), bytes.data(), 11025));
    ASSERT_EQ(cli::Run({"process", in, out, "amplify", "3.5", "noise", "0.05", "duty", "middle",
                        "20", "0.25"},
                       text, err),
              kExitOk)
        << err.str();
    WaveSet eight;
    ASSERT_TRUE(eight.OpenWave(in).ok);
    CrtRandom random;
    ASSERT_TRUE(edits::Amplify(eight, 3.5).ok);
    ASSERT_TRUE(edits::AddNoise(eight, 0.05f, 8, random).ok);
    ASSERT_TRUE(edits::DutyCycle(
                    eight, {.periodMs = 20, .dutyCycle = 0.25f, .periodType = edits::kPeriodMiddle})
                    .ok);
    eight.SaveWave(scratch.File("saved8.wav"));
    EXPECT_EQ(Contents(out), Contents(scratch.File("saved8.wav")));
    for (const std::vector<std::string>& bad : {std::vector<std::string>{"amplify", "x2"},
                                                {"duty", "centre", "20", "0.5"},
                                                {"duty", "left", "20", "half"}}) {
        std::vector<std::string> args{"process", in, scratch.File("bad.wav")};
        args.insert(args.end(), bad.begin(), bad.end());
        EXPECT_EQ(cli::Run(args, text, err), kExitFailed) << bad[0];
        EXPECT_FALSE(std::ifstream(scratch.File("bad.wav")).good());
    }

    // An 8-bit file: the workspace's refusal, status 2, nothing written.
    err.str("");
    ASSERT_TRUE(WriteWaveFile(in, PcmFormat(1, 22050, 8), bytes.data(), 22050));
    EXPECT_EQ(cli::Run({"process", in, scratch.File("8.wav"), "power-unify"}, text, err),
              kExitFailed);
    EXPECT_EQ(err.str(), "Invalid wBitsPerSample!\n");
    EXPECT_FALSE(std::ifstream(scratch.File("8.wav")).good());
}

}  // namespace
}  // namespace kestrune::cli
