#include "cli/SpectrogramCommand.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <vector>

#include "cli/Commands.h"
#include "core/CoreTestSupport.h"
#include "core/wave/WaveFile.h"
#include "support/ScratchDir.h"

namespace kestrune::cli {
namespace {

// One second of a 2756.25 Hz tone (bin 128 of 1024 at 22050 Hz), 16-bit.
std::string ToneWave(const kestrune::testing::ScratchDir& dir) {
    const auto bytes = kestrune::testing::Bytes16(kestrune::testing::Sine(22050, 16000, 128, 1024));
    EXPECT_TRUE(WriteWaveFile(dir.File("tone.wav"), PcmFormat(1, 22050, 16), bytes.data(), 22050));
    return dir.File("tone.wav");
}

TEST(SpectrogramCommandTest, LevelsAreOneCsvLinePerFrame) {
    kestrune::testing::ScratchDir dir;
    std::ostringstream out, err;
    ASSERT_EQ(SpectrogramCommand({ToneWave(dir), "--levels", "--frame", "1024", "--shift", "512"},
                                 out, err),
              kExitOk);
    std::istringstream lines(out.str());
    int frames = 0;
    for (std::string line; std::getline(lines, line); ++frames) {
        std::vector<int> fields;
        std::stringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) fields.push_back(std::stoi(cell));
        ASSERT_EQ(fields.size(), 1u + 512u);
        EXPECT_EQ(fields[0], frames);
        // From the second frame on the window is full of tone: 16000 x sqrt(1024) / 2 / 256
        // = 1000 at the tone's bin, nothing far off it.
        if (frames >= 1) {
            EXPECT_EQ(std::pair(fields[1 + 128], fields[1 + 300]), std::pair(1000, 0));
        }
    }
    EXPECT_EQ(frames, 22050 / 512);
}

TEST(SpectrogramCommandTest, WritesAPngOfTheRequestedSize) {
    kestrune::testing::ScratchDir dir;
    std::ostringstream out, err;
    const std::string png = dir.Path().string() + "/out.png";
    ASSERT_EQ(SpectrogramCommand({ToneWave(dir), png, "--size", "320x100"}, out, err), kExitOk)
        << err.str();
    // The signature, then the IHDR chunk's width and height (big-endian).
    const auto head = kestrune::testing::ScratchDir::Read(png);
    ASSERT_GE(head.size(), 24u);
    EXPECT_EQ(std::string(head.begin() + 1, head.begin() + 4), "PNG");
    EXPECT_EQ((std::vector<int>(head.begin() + 16, head.begin() + 24)),
              (std::vector<int>{0, 0, 320 >> 8, 320 & 0xFF, 0, 0, 0, 100}));
}

TEST(SpectrogramCommandTest, BadArgumentsAndFiles) {
    struct Row {
        std::vector<std::string> args;
        int status;
    };
    const Row rows[] = {{{"x.wav"}, kExitUsage},
                        {{"x.wav", "--levels", "--frame", "abc"}, kExitUsage},
                        {{"x.wav", "o.png", "--size", "12"}, kExitUsage},
                        {{"x.wav", "o.png", "--shift", "0"}, kExitUsage},
                        {{"/no/such.wav", "--levels"}, kExitFailed}};
    for (const Row& row : rows) {
        std::ostringstream out, err;
        EXPECT_EQ(SpectrogramCommand(row.args, out, err), row.status) << row.args[1];
    }
}

}  // namespace
}  // namespace kestrune::cli
