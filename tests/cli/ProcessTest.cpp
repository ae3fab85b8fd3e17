// kestrune-cli process: the bytes of the workspace's edits and Save wave,
// and the workspace's messages on bad input.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "core/dsp/Edits.h"
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
