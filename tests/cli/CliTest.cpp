#include "cli/Commands.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "store/Database.h"
#include "support/ScratchDir.h"

namespace kestrune::cli {
namespace {

namespace fs = std::filesystem;

struct Result {
    int status;
    std::string out;
    std::string err;
};

Result RunArgs(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = Run(args, out, err);
    return {status, out.str(), err.str()};
}

void ExpectFailure(const Result& r, const std::string& errorPrefix) {
    EXPECT_EQ(r.status, kExitFailed);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind(errorPrefix, 0), 0u) << r.err;
}

void ExpectUsage(const std::vector<std::string>& args, const std::string& usage) {
    const Result r = RunArgs(args);
    EXPECT_EQ(r.status, kExitUsage) << args.size();
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find(usage), std::string::npos) << r.err;
}

// A canonical PCM file, built byte by byte, little-endian.
std::string WaveBytes(std::uint16_t channels, std::uint32_t rate, std::uint16_t bits,
                      std::uint32_t dataSize) {
    const std::uint32_t block = channels * bits / 8u;
    std::string s;
    const auto put = [&s](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    s += "RIFF";
    put(36 + dataSize, 4);
    s += "WAVEfmt ";
    for (const auto& [value, bytes] : std::vector<std::pair<std::uint32_t, int>>{
             {16, 4}, {1, 2}, {channels, 2}, {rate, 4}, {rate * block, 4}, {block, 2}, {bits, 2}}) {
        put(value, bytes);
    }
    s += "data";
    put(dataSize, 4);
    return s.append(dataSize, '\x01');
}

class CliTest : public ::testing::Test {
  protected:
    kestrune::testing::ScratchDir scratch_;
};

TEST_F(CliTest, WaveInfoReportsTheFormatAfterReading) {
    EXPECT_EQ(RunArgs({"wave-info", scratch_.Write("mono.wav", WaveBytes(1, 11025, 8, 300))}).out,
              "channels=1 rate=11025 bits=8 block=1 samples=300 data_offset=44 data_size=300\n");

    // Two channels arrive as one: the block and the count are per left sample.
    const Result stereo =
        RunArgs({"wave-info", scratch_.Write("stereo.wav", WaveBytes(2, 44100, 16, 400))});
    EXPECT_EQ(stereo.status, kExitOk);
    EXPECT_EQ(stereo.out,
              "channels=1 rate=44100 bits=16 block=2 samples=100 data_offset=44 data_size=400\n");
    EXPECT_EQ(stereo.err, "");
}

TEST_F(CliTest, WaveInfoNamesTheReadersFailure) {
    const Result missing = RunArgs({"wave-info", scratch_.File("absent.wav")});
    EXPECT_EQ(missing.status, kExitFailed);
    EXPECT_EQ(missing.out, "error=CannotOpen\n");

    std::string notWave = WaveBytes(1, 44100, 16, 8);
    notWave.replace(8, 4, "AVI ");
    const Result bad = RunArgs({"wave-info", scratch_.Write("movie.wav", notWave)});
    EXPECT_EQ(bad.status, kExitFailed);
    EXPECT_EQ(bad.out, "error=NotWave\n");
}

TEST_F(CliTest, IniGetPrintsTheStoredBytes) {
    const std::string path = scratch_.Write(
        "s.ini", std::string("[INFO]\r\nTESTTYPE=SYLLABLE\r\nNAME=\x82\xa0\x82\xa2 ;c\r\n"
                             "[DATA1]\r\nFILEPATH=D:\\wav\\\r\n"));
    EXPECT_EQ(RunArgs({"ini-get", path, "INFO", "TESTTYPE"}).out, "SYLLABLE\n");
    EXPECT_EQ(RunArgs({"ini-get", path, "INFO", "NAME"}).out, "\x82\xa0\x82\xa2 \n");
    EXPECT_EQ(RunArgs({"ini-get", path, "DATA1", "FILEPATH"}).out, "D:\\wav\\\n");
    const Result missing = RunArgs({"ini-get", path, "INFO", "TOTAL"});
    EXPECT_EQ(missing.status, kExitOk);
    EXPECT_EQ(missing.out, "Notfound\n");
    EXPECT_EQ(RunArgs({"ini-get", scratch_.File("none.ini"), "INFO", "TESTTYPE"}).out,
              "Notfound\n");
}

TEST_F(CliTest, WrongCommandLinesGetUsage) {
    for (const auto& args : std::vector<std::vector<std::string>>{{},
                                                                  {"frobnicate"},
                                                                  {"wave-info"},
                                                                  {"wave-info", "a", "b"},
                                                                  {"ini-get", "f", "INFO"}}) {
        ExpectUsage(args, "usage: kestrune-cli");
    }
    EXPECT_EQ(RunArgs({"help"}).status, kExitOk);
}

// --- the database commands -------------------------------------------------

// A new database: empty but for the practice subject.
const std::string kTablesNew =
    "IndividualInfo 1\nAudioInfo 0\nTestRecord 0\nStatisticalRecord 0\nBasicRecord 0\n"
    "SyllableMaskRecord 0\nNewSyllableMaskRecord 0\nSyllableSpeedupRecord 0\n"
    "StatisticalSyllableMaskRecord 0\n";

class CliDbTest : public CliTest {
  protected:
    void SetUp() override {
        ::unsetenv("KESTRUNE_DATABASE");
        station_ = scratch_.Path() / "O'Brien の駅";
        fs::create_directory(station_);
    }
    void TearDown() override { ::unsetenv("KESTRUNE_DATABASE"); }

    std::string StationFile() const { return (station_ / "TestData.db").string(); }
    Result Station(std::vector<std::string> args) const {
        args.insert(args.begin(), {"--station", station_.string()});
        return RunArgs(args);
    }

    fs::path station_;
};

TEST_F(CliDbTest, InitCreatesTheStationDatabaseAndCheckListsItsTables) {
    const Result init = Station({"db", "init"});
    EXPECT_EQ(init.status, kExitOk) << init.err;
    EXPECT_EQ(init.out, "database=" + StationFile() + " schema=2\n");
    EXPECT_EQ(init.err, "");
    EXPECT_TRUE(fs::exists(StationFile()));

    // Rows written by the program show up in the counts.
    {
        int argc = 1;
        char name[] = "cli_tests";
        char* argv[] = {name, nullptr};
        QCoreApplication app(argc, argv);
        QString error;
        auto db = store::Database::Open(
            store::DatabaseLocation::StationFile(QString::fromStdString(station_.string())),
            &error);
        ASSERT_TRUE(db) << error.toStdString();
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(db->Insert("BasicRecord", "BRID", {{"BRContent", "か"}}).Ok());
        }
        ASSERT_TRUE(db->Insert("IndividualInfo", "IIID", {{"IIName", "O'Brien"}}).Ok());
    }

    EXPECT_EQ(Station({"db", "init"}).out, init.out) << "a second init changes nothing";
    const Result check = Station({"db", "check"});
    EXPECT_EQ(check.status, kExitOk) << check.err;
    EXPECT_EQ(check.out, "database=" + StationFile() +
                             " schema=2\n"
                             "IndividualInfo 2\nAudioInfo 0\nTestRecord 0\nStatisticalRecord 0\n"
                             "BasicRecord 3\nSyllableMaskRecord 0\nNewSyllableMaskRecord 0\n"
                             "SyllableSpeedupRecord 0\nStatisticalSyllableMaskRecord 0\n");
}

TEST_F(CliDbTest, DatabaseOptionBeatsEnvironmentBeatsStation) {
    const std::string fromOption = scratch_.File("option.db");
    const std::string fromEnvironment = scratch_.File("environment.db");
    ::setenv("KESTRUNE_DATABASE", ("sqlite://" + fromEnvironment).c_str(), 1);

    const Result option = Station({"--database", "sqlite://" + fromOption, "db", "check"});
    EXPECT_EQ(option.status, kExitOk) << option.err;
    EXPECT_EQ(option.out, "database=" + fromOption + " schema=2\n" + kTablesNew);
    EXPECT_EQ(Station({"db", "init"}).out, "database=" + fromEnvironment + " schema=2\n");

    ::unsetenv("KESTRUNE_DATABASE");
    EXPECT_EQ(Station({"db", "init"}).out, "database=" + StationFile() + " schema=2\n");
    EXPECT_TRUE(fs::exists(fromOption));
    EXPECT_TRUE(fs::exists(fromEnvironment));
}

TEST_F(CliDbTest, ConnectionFailuresPrintTheConnectionTextAndExitTwo) {
    const std::string connect = "Failed to connect database\r\n Error message:";
    ExpectFailure(RunArgs({"--station", (station_ / "absent").string(), "db", "check"}), connect);
    ExpectFailure(RunArgs({"--database", "postgresql://nobody@127.0.0.1:1/results", "db", "init"}),
                  connect);
    ExpectFailure(RunArgs({"--database", "mysql://x/y", "db", "init"}),
                  "kestrune-cli: bad database URL 'mysql://x/y': ");
    ::setenv("KESTRUNE_DATABASE", "nonsense", 1);
    ExpectFailure(RunArgs({"db", "init"}), "kestrune-cli: KESTRUNE_DATABASE: bad database URL");
}

TEST_F(CliDbTest, WrongDbCommandLinesGetUsage) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"db"},
                                               {"db", "drop"},
                                               {"db", "init", "extra"},
                                               {"--station"},
                                               {"--station", "x"},
                                               {"--database", "", "db", "init"}}) {
        ExpectUsage(args, "usage: kestrune-cli [--station DIR] [--database URL]");
    }
    // The file commands are unaffected by the database options.
    EXPECT_EQ(Station({"ini-get", (station_ / "none.ini").string(), "INFO", "TESTTYPE"}).out,
              "Notfound\n");
}

}  // namespace
}  // namespace kestrune::cli
