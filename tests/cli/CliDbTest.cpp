#include <QCoreApplication>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Commands.h"
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

const std::string kTablesEmpty =
    "IndividualInfo 0\nAudioInfo 0\nTestRecord 0\nStatisticalRecord 0\nBasicRecord 0\n"
    "SyllableMaskRecord 0\nNewSyllableMaskRecord 0\nSyllableSpeedupRecord 0\n"
    "StatisticalSyllableMaskRecord 0\n";

class CliDbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::unsetenv("KESTRUNE_DATABASE");
        station_ = scratch_.Path() / "O'Brien の駅";
        fs::create_directory(station_);
    }
    void TearDown() override { ::unsetenv("KESTRUNE_DATABASE"); }

    std::string StationFile() const { return (station_ / "TestData.db").string(); }

    kestrune::testing::ScratchDir scratch_;
    fs::path station_;
};

TEST_F(CliDbTest, InitCreatesTheStationDatabaseAndCheckListsItsTables) {
    const Result init = RunArgs({"--station", station_.string(), "db", "init"});
    EXPECT_EQ(init.status, kExitOk) << init.err;
    EXPECT_EQ(init.out, "database=" + StationFile() + " schema=1\n");
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

    // A second init changes nothing.
    EXPECT_EQ(RunArgs({"--station", station_.string(), "db", "init"}).out, init.out);
    const Result check = RunArgs({"--station", station_.string(), "db", "check"});
    EXPECT_EQ(check.status, kExitOk) << check.err;
    EXPECT_EQ(check.out, "database=" + StationFile() +
                             " schema=1\n"
                             "IndividualInfo 1\nAudioInfo 0\nTestRecord 0\nStatisticalRecord 0\n"
                             "BasicRecord 3\nSyllableMaskRecord 0\nNewSyllableMaskRecord 0\n"
                             "SyllableSpeedupRecord 0\nStatisticalSyllableMaskRecord 0\n");
}

TEST_F(CliDbTest, DatabaseOptionBeatsEnvironmentBeatsStation) {
    const std::string fromOption = (scratch_.Path() / "option.db").string();
    const std::string fromEnvironment = (scratch_.Path() / "environment.db").string();
    ::setenv("KESTRUNE_DATABASE", ("sqlite://" + fromEnvironment).c_str(), 1);

    const Result option = RunArgs(
        {"--station", station_.string(), "--database", "sqlite://" + fromOption, "db", "check"});
    EXPECT_EQ(option.status, kExitOk) << option.err;
    EXPECT_EQ(option.out, "database=" + fromOption + " schema=1\n" + kTablesEmpty);

    const Result environment = RunArgs({"--station", station_.string(), "db", "init"});
    EXPECT_EQ(environment.out, "database=" + fromEnvironment + " schema=1\n");

    ::unsetenv("KESTRUNE_DATABASE");
    EXPECT_EQ(RunArgs({"--station", station_.string(), "db", "init"}).out,
              "database=" + StationFile() + " schema=1\n");
    EXPECT_TRUE(fs::exists(fromOption));
    EXPECT_TRUE(fs::exists(fromEnvironment));
}

TEST_F(CliDbTest, ConnectionFailuresPrintTheConnectionTextAndExitTwo) {
    const Result missing = RunArgs({"--station", (station_ / "absent").string(), "db", "check"});
    EXPECT_EQ(missing.status, kExitFailed);
    EXPECT_EQ(missing.out, "");
    EXPECT_EQ(missing.err.rfind("Failed to connect database\r\n Error message:", 0), 0u)
        << missing.err;

    const Result server =
        RunArgs({"--database", "postgresql://nobody@127.0.0.1:1/results", "db", "init"});
    EXPECT_EQ(server.status, kExitFailed);
    EXPECT_EQ(server.out, "");
    EXPECT_EQ(server.err.rfind("Failed to connect database\r\n Error message:", 0), 0u)
        << server.err;

    const Result url = RunArgs({"--database", "mysql://x/y", "db", "init"});
    EXPECT_EQ(url.status, kExitFailed);
    EXPECT_EQ(url.err.rfind("kestrune-cli: bad database URL 'mysql://x/y': ", 0), 0u) << url.err;

    ::setenv("KESTRUNE_DATABASE", "nonsense", 1);
    const Result environment = RunArgs({"db", "init"});
    EXPECT_EQ(environment.status, kExitFailed);
    EXPECT_EQ(environment.err.rfind("kestrune-cli: KESTRUNE_DATABASE: bad database URL", 0), 0u)
        << environment.err;
}

TEST_F(CliDbTest, WrongDbCommandLinesGetUsage) {
    for (const auto& args :
         std::vector<std::vector<std::string>>{{"db"},
                                               {"db", "drop"},
                                               {"db", "init", "extra"},
                                               {"--station"},
                                               {"--station", "x"},
                                               {"--database", "", "db", "init"}}) {
        const Result r = RunArgs(args);
        EXPECT_EQ(r.status, kExitUsage);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("usage: kestrune-cli [--station DIR] [--database URL]"),
                  std::string::npos);
    }
    // The file commands are unaffected by the database options.
    EXPECT_EQ(RunArgs({"--station", station_.string(), "ini-get", (station_ / "none.ini").string(),
                       "INFO", "TESTTYPE"})
                  .out,
              "Notfound\n");
}

}  // namespace
}  // namespace kestrune::cli
