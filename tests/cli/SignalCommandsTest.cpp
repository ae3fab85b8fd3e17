// kestrune-cli generate, spectrum and the two filters of process: the same
// bytes as the workspace's own functions, and status 2 on bad input.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "cli/Commands.h"
#include "core/dsp/AvgSpectrum.h"
#include "core/dsp/Filters.h"
#include "core/dsp/Generators.h"
#include "core/util/Random.h"
#include "support/ScratchDir.h"

namespace kestrune::cli {
namespace {

std::string Contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// Saves wave 0 of `set` as the workspace's Save wave does.
std::string Saved(WaveSet& set, const kestrune::testing::ScratchDir& dir) {
    const std::string path = dir.File("saved.wav");
    EXPECT_TRUE(set.SaveWave(path).ok);
    return Contents(path);
}

TEST(SignalCommands, WriteWhatTheWorkspaceWrites) {
    const kestrune::testing::ScratchDir dir;
    const std::string sine = dir.File("sine.wav"), out = dir.File("out.wav");
    std::ostringstream text, err;
    ASSERT_EQ(cli::Run({"generate", "sine", sine, "--rate", "22050", "--end", "1500"}, text, err),
              kExitOk)
        << err.str();
    WaveSet set;
    set.SetSampleRate(22050);
    ASSERT_TRUE(generators::SinGenerator(set, {.endHz = 1500}).ok);
    EXPECT_EQ(Contents(sine), Saved(set, dir));

    for (const auto& [op, low, high] : {std::tuple{"gate", 0, 3000}, {"bandstop", 900, 1300}}) {
        ASSERT_EQ(cli::Run({"process", sine, out, op, std::to_string(low), std::to_string(high)},
                           text, err),
                  kExitOk)
            << err.str();
        WaveSet edited;
        ASSERT_TRUE(edited.OpenWave(sine).ok);
        const Outcome outcome =
            std::string(op) == "gate"
                ? edits::TimeDomainFilter(edited, low, high, 16)
                : edits::FrequencyDomainFilter(edited, low, high, 22050, {2048, 128});
        ASSERT_TRUE(outcome.ok);
        EXPECT_EQ(Contents(out), Saved(edited, dir)) << op;
    }

    // The mix from its description file, with the seed given.
    const std::vector<int16_t> samples(300, 700);
    for (int i = 1; i <= 5; ++i)
        WriteWaveFile(dir.File(std::to_string(i) + ".wav"), PcmFormat(1, 8000, 16),
                      reinterpret_cast<const uint8_t*>(samples.data()), 300);
    std::ofstream(dir.File("mix.ini")) << "[INFO]\r\nFILEPATH=" << dir.File("") << "\r\nTOTAL=3\r\n"
                                       << "[DATA2]\r\nBEGIN4=-6\r\n";
    const std::string mix = dir.File("mix.wav");
    ASSERT_EQ(
        cli::Run({"generate", "mix", dir.File("mix.ini"), mix, "--rate", "8000", "--seed", "9"},
                 text, err),
        kExitOk)
        << err.str();
    WaveSet mixed;
    mixed.SetSampleRate(8000);
    CrtRandom random(9);
    ASSERT_TRUE(
        generators::MixGenerator(mixed, {.descriptionPath = dir.File("mix.ini")}, random).ok);
    EXPECT_EQ(Contents(mix), Saved(mixed, dir));

    // The averaged spectrum as CSV.
    std::ostringstream csv;
    ASSERT_EQ(cli::Run({"spectrum", sine, "--frame", "512", "--shift", "256"}, csv, err), kExitOk);
    const dsp::AveragedSpectrum average = dsp::FileAverageSpectrum(sine, 512, 256);
    EXPECT_EQ(csv.str(), dsp::SpectrumCsv({average}, {sine}, 512, 22050));
}

TEST(SignalCommands, RefuseBadInputWithStatusTwo) {
    const kestrune::testing::ScratchDir dir;
    const std::string sine = dir.File("sine.wav"), out = dir.File("out.wav");
    std::ostringstream text, err;
    ASSERT_EQ(cli::Run({"generate", "sine", sine}, text, err), kExitOk);
    struct Case {
        std::vector<std::string> args;
        const char* errorPart;
    };
    const std::vector<Case> cases = {
        {{"generate", "sine", out, "--end", "1000"}, "Begin Hz should not equal to end Hz!"},
        {{"generate", "sine", out, "--end"}, "--end needs a whole number"},
        {{"generate", "sine", out, "--loud", "3"}, "unknown option '--loud'"},
        {{"generate", "sine", out, "--rate", "0"}, "--rate must be positive"},
        {{"generate", "mix", dir.File("none.ini"), out}, "can not be read"},
        {{"process", sine, out, "gate", "0", "32769"}, "Invalid parameter is founed!"},
        {{"process", sine, out, "bandstop", "0", "22051"}, "Invalid parameter is found!"},
        {{"process", sine, out, "bandstop", "2k", "3000"}, "'2k' is not a whole number"},
        {{"spectrum", dir.File("none.wav")}, "Open file failed!"},
        {{"spectrum", sine, "--frame", "1"}, "--frame must be"},
    };
    for (const Case& c : cases) {
        std::ostringstream caseErr;
        EXPECT_EQ(cli::Run(c.args, text, caseErr), 2) << c.args.back();
        EXPECT_NE(caseErr.str().find(c.errorPart), std::string::npos) << caseErr.str();
    }
}

}  // namespace
}  // namespace kestrune::cli
