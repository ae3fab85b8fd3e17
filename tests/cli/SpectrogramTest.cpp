#include "cli/SpectrogramCommand.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <sstream>
#include <vector>

#include "cli/Commands.h"
#include "core/wave/WaveFile.h"
#include "support/ScratchDir.h"

namespace kestrune::cli {
namespace {

// One second of a 2756.25 Hz tone (bin 128 of 1024 at 22050 Hz), 16-bit.
std::string ToneWave(const std::string& dir) {
    std::vector<std::uint8_t> bytes;
    for (int j = 0; j < 22050; ++j) {
        const int v = static_cast<int>(
            std::lround(16000 * std::sin(2 * std::numbers::pi * 128 * j / 1024.0)));
        bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((v >> 8) & 0xFF));
    }
    const std::string path = dir + "/tone.wav";
    WriteWaveFile(path, WaveFormat{1, 1, 22050, 44100, 2, 16, 0}, bytes.data(), 22050);
    return path;
}

TEST(SpectrogramCommandTest, LevelsAreOneCsvLinePerFrame) {
    kestrune::testing::ScratchDir dir;
    std::ostringstream out, err;
    ASSERT_EQ(SpectrogramCommand(
                  {ToneWave(dir.Path().string()), "--levels", "--frame", "1024", "--shift", "512"},
                  out, err),
              kExitOk);
    std::istringstream lines(out.str());
    std::string line;
    int frames = 0;
    while (std::getline(lines, line)) {
        std::vector<int> fields;
        std::stringstream cells(line);
        std::string cell;
        while (std::getline(cells, cell, ',')) fields.push_back(std::stoi(cell));
        ASSERT_EQ(fields.size(), 1u + 512u);
        EXPECT_EQ(fields[0], frames);
        if (frames >= 1) {  // from the second frame on the window is full of tone
            // 16000 x sqrt(1024) / 2 / 256 = 1000 at the tone's bin, nothing far off it.
            EXPECT_EQ(fields[1 + 128], 1000) << "frame " << frames;
            EXPECT_EQ(fields[1 + 300], 0) << "frame " << frames;
        }
        ++frames;
    }
    EXPECT_EQ(frames, 22050 / 512);
}

TEST(SpectrogramCommandTest, WritesAPngOfTheRequestedSize) {
    kestrune::testing::ScratchDir dir;
    std::ostringstream out, err;
    const std::string png = dir.Path().string() + "/out.png";
    ASSERT_EQ(
        SpectrogramCommand({ToneWave(dir.Path().string()), png, "--size", "320x100"}, out, err),
        kExitOk)
        << err.str();
    std::ifstream file(png, std::ios::binary);
    std::vector<unsigned char> head(24);
    file.read(reinterpret_cast<char*>(head.data()), 24);
    ASSERT_EQ(file.gcount(), 24);
    EXPECT_EQ(std::string(head.begin() + 1, head.begin() + 4), "PNG");
    const auto be32 = [&](int at) {
        return (head[at] << 24) | (head[at + 1] << 16) | (head[at + 2] << 8) | head[at + 3];
    };
    EXPECT_EQ(be32(16), 320);
    EXPECT_EQ(be32(20), 100);
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
