#include "cli/Commands.h"

#include <gtest/gtest.h>

#include "support/ScratchDir.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kestrune::cli {
namespace {

namespace fs = std::filesystem;

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result RunArgs(std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = Run(args, out, err);
    return {status, out.str(), err.str()};
}

void Put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(std::string& s, std::uint16_t v) {
    for (int i = 0; i < 2; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A canonical PCM file, built byte by byte.
std::string WaveBytes(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                      std::uint32_t dataSize) {
    std::string s = "RIFF";
    Put32(s, 36 + dataSize);
    s += "WAVEfmt ";
    Put32(s, 16);
    Put16(s, 1);
    Put16(s, channels);
    Put32(s, rate);
    Put32(s, rate * channels * bits / 8);
    Put16(s, static_cast<std::uint16_t>(channels * bits / 8));
    Put16(s, bits);
    s += "data";
    Put32(s, dataSize);
    s.append(dataSize, '\x01');
    return s;
}

class CliTest : public ::testing::Test {
  protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        return scratch_.Write(name, bytes);
    }

    kestrune::testing::ScratchDir scratch_;
    const fs::path& dir_ = scratch_.Path();
};

TEST_F(CliTest, WaveInfoReportsTheFormatAfterReading) {
    EXPECT_EQ(RunArgs({"wave-info", Write("mono.wav", WaveBytes(1, 11025, 8, 300))}).out,
              "channels=1 rate=11025 bits=8 block=1 samples=300 data_offset=44 data_size=300\n");

    // Two channels arrive as one: the block and the count are per left sample.
    const Result stereo = RunArgs({"wave-info", Write("stereo.wav", WaveBytes(2, 44100, 16, 400))});
    EXPECT_EQ(stereo.status, kExitOk);
    EXPECT_EQ(stereo.out,
              "channels=1 rate=44100 bits=16 block=2 samples=100 data_offset=44 data_size=400\n");
    EXPECT_EQ(stereo.err, "");
}

TEST_F(CliTest, WaveInfoNamesTheReadersFailure) {
    const Result missing = RunArgs({"wave-info", (dir_ / "absent.wav").string()});
    EXPECT_EQ(missing.status, kExitFailed);
    EXPECT_EQ(missing.out, "error=CannotOpen\n");

    std::string notWave = WaveBytes(1, 44100, 16, 8);
    notWave.replace(8, 4, "AVI ");
    const Result bad = RunArgs({"wave-info", Write("movie.wav", notWave)});
    EXPECT_EQ(bad.status, kExitFailed);
    EXPECT_EQ(bad.out, "error=NotWave\n");
}

TEST_F(CliTest, IniGetPrintsTheStoredBytes) {
    const std::string path = Write("s.ini",
                                   "[INFO]\r\nTESTTYPE=SYLLABLE\r\nNAME=\x82\xa0\x82\xa2 ;c\r\n"
                                   "[DATA1]\r\nFILEPATH=D:\\wav\\\r\n");
    EXPECT_EQ(RunArgs({"ini-get", path, "INFO", "TESTTYPE"}).out, "SYLLABLE\n");
    EXPECT_EQ(RunArgs({"ini-get", path, "INFO", "NAME"}).out, "\x82\xa0\x82\xa2 \n");
    EXPECT_EQ(RunArgs({"ini-get", path, "DATA1", "FILEPATH"}).out, "D:\\wav\\\n");
    const Result missing = RunArgs({"ini-get", path, "INFO", "TOTAL"});
    EXPECT_EQ(missing.status, kExitOk);
    EXPECT_EQ(missing.out, "Notfound\n");
    EXPECT_EQ(RunArgs({"ini-get", (dir_ / "none.ini").string(), "INFO", "TESTTYPE"}).out,
              "Notfound\n");
}

TEST_F(CliTest, WrongCommandLinesGetUsage) {
    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"frobnicate"},
                                                                  {"wave-info"},
                                                                  {"wave-info", "a", "b"},
                                                                  {"ini-get", "f", "INFO"}}) {
        const Result r = RunArgs(args);
        EXPECT_EQ(r.status, kExitUsage);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: kestrune-cli"), std::string::npos);
    }
    EXPECT_EQ(RunArgs({"help"}).status, kExitOk);
}

}  // namespace
}  // namespace kestrune::cli
