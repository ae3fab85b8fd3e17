#include "cli/Commands.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "StationDatabase.h"
#include "core/wave/WaveFile.h"
#include "store/AnswerJournal.h"
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

class CliTest : public ::testing::Test {
  protected:
    kestrune::testing::ScratchDir scratch_;
};

TEST_F(CliTest, WaveInfoReportsTheFormatAsRead) {
    const auto wave = [this](const char* name, const WaveFormat& format) {
        const std::vector<std::uint8_t> bytes(400, 1);
        EXPECT_TRUE(WriteWaveFile(scratch_.File(name), format, bytes.data(), 400));
        return scratch_.File(name);
    };
    const struct {
        std::string path;
        int status;
        std::string out;
    } rows[] = {
        {wave("mono.wav", PcmFormat(1, 11025, 8)), kExitOk,
         "channels=1 rate=11025 bits=8 block=1 samples=400 data_offset=44 data_size=400\n"},
        // How a file reads (stereo, damaged, missing) is the wave reader's table.
        {scratch_.Write("movie.wav", std::string("RIFF....AVI LIST")), kExitFailed,
         "error=NotWave\n"},
    };
    for (const auto& row : rows) {
        const Result r = RunArgs({"wave-info", row.path});
        EXPECT_EQ(std::tie(r.status, r.out, r.err), std::tuple(row.status, row.out, ""))
            << row.path;
    }
}

// The reading rules are the ini reader's table; the command prints the value's
// bytes untranslated, and a missing file or key is no failure.
TEST_F(CliTest, IniGetPrintsTheStoredBytes) {
    const std::string path =
        scratch_.Write("s.ini", std::string("[INFO]\r\nNAME=\x82\xa0\x82\xa2 ;c\r\n"));
    const struct {
        std::string file, section, key, out;
    } rows[] = {
        {path, "INFO", "NAME", "\x82\xa0\x82\xa2 \n"},
        {path, "INFO", "TOTAL", "Notfound\n"},
        {scratch_.File("none.ini"), "INFO", "TESTTYPE", "Notfound\n"},
    };
    for (const auto& row : rows) {
        const Result r = RunArgs({"ini-get", row.file, row.section, row.key});
        EXPECT_EQ(r.status, kExitOk) << row.key;
        EXPECT_EQ(r.out, row.out) << row.key;
    }
}

// --- the command line --------------------------------------------------------

// What Parse made of a command line, in one string.
std::string Describe(const CommandLine& line) {
    switch (line.action) {
        case CommandLine::Action::Help:
            return "help";
        case CommandLine::Action::Version:
            return "version";
        case CommandLine::Action::Error:
            return "error: " + line.error;
        case CommandLine::Action::Run:
            break;
    }
    std::string text;
    for (const auto& word : line.command->words) text += word + ' ';
    for (const auto& arg : line.args) text += '<' + arg + "> ";
    return text + "station=" + line.options.station + " database=" + line.options.database;
}

TEST(CliParseTest, ReadsOptionsBeforeTheCommandAndArgumentsAfterIt) {
    const struct {
        std::vector<std::string> args;
        std::string parsed;
    } rows[] = {
        {{"--station=/tmp", "db", "check"}, "db check station=/tmp database="},
        {{"--database", "sqlite:///x.db", "--station", "駅", "db", "init"},
         "db init station=駅 database=sqlite:///x.db"},
        {{"-station", "s", "--database=postgresql://u@h/k", "db", "init"},
         "db init station=s database=postgresql://u@h/k"},
        // After the command everything is its argument, bytes as given.
        {{"ini-get", "--station", "\x82\xa0", "-h"},
         "ini-get <--station> <\x82\xa0> <-h> station= database="},
        {{"--", "wave-info", "--version"}, "wave-info <--version> station= database="},
        {{"help"}, "help"},
        {{"--station", "s", "-h", "db", "check"}, "help"},
        {{"--version", "db", "check"}, "version"},
        {{"-v"}, "version"},
        {{}, "error: no command given"},
        {{"--station", "x"}, "error: no command given"},
        {{"frobnicate"}, "error: unknown command 'frobnicate'"},
        {{"wave-info"}, "error: wave-info takes FILE"},
        {{"wave-info", "a", "b"}, "error: wave-info takes FILE"},
        {{"ini-get", "f", "INFO"}, "error: ini-get takes FILE SECTION KEY"},
        {{"db"}, "error: db needs init or check or journal"},
        {{"db", "drop"}, "error: db needs init or check or journal"},
        {{"db", "init", "extra"}, "error: db init takes no arguments"},
        {{"--station"}, "error: missing value after '--station'"},
        {{"--station=", "db", "init"}, "error: --station needs a folder"},
        {{"--database", "", "db", "init"}, "error: --database needs a value"},
        {{"--frobnicate", "db", "check"}, "error: unknown option 'frobnicate'"},
    };
    for (const auto& row : rows) EXPECT_EQ(Describe(Parse(row.args)), row.parsed) << row.parsed;
}

// Both programs, run as a user would: what they print and their exit status.
TEST(CliProgramTest, AnswerHelpAndVersionAndMistakesInOneLine) {
    int argc = 1;
    char name[] = "cli_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const QString cli = QStringLiteral(KESTRUNE_CLI), program = QStringLiteral(KESTRUNE_PROGRAM);
    const auto launch = [](const QString& path, const QStringList& args) {
        QProcess run;
        run.start(path, args);
        EXPECT_TRUE(run.waitForFinished(60000)) << args.join(' ').toStdString();
        return Result{run.exitCode(), run.readAllStandardOutput().toStdString(),
                      run.readAllStandardError().toStdString()};
    };
    // Answers start with their first line; a mistake is one line on stderr and exit 2.
    const struct {
        QString path;
        QString args;
        std::string out, mistake;
    } rows[] = {
        {cli, "--version", "kestrune-cli " KESTRUNE_VERSION "\n", ""},
        {cli, "help", "usage: kestrune-cli [--station DIR]", ""},
        {program, "--version", "kestrune " KESTRUNE_VERSION "\n", ""},
        {cli, "frobnicate", "", "unknown command 'frobnicate'"},
        {program, "--frobnicate", "", "unknown option 'frobnicate'"},
        {program, "--audio=alsa", "", "--audio takes portaudio or virtual, not \"alsa\""},
    };
    for (const auto& row : rows) {
        const Result r = launch(row.path, row.args.split(' '));
        const std::string name = QFileInfo(row.path).fileName().toStdString();
        EXPECT_EQ(r.status, row.mistake.empty() ? 0 : 2) << row.out << row.mistake;
        EXPECT_EQ(row.out.empty() ? r.out : r.out.substr(0, row.out.size()), row.out);
        EXPECT_EQ(r.err, row.mistake.empty()
                             ? ""
                             : name + ": " + row.mistake + "; see " + name + " --help\n");
    }
    // The option reaches the command, which then cannot connect.
    const Result station = launch(cli, {"--station=/nonexistent/station", "db", "check"});
    EXPECT_EQ(station.status, kExitFailed);
    EXPECT_EQ(station.err.rfind("Failed to connect database\r\n", 0), 0u) << station.err;
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

    /** Opens the station database as the program does and hands it to `fill`. */
    template <class Fill>
    void WithStationDatabase(Fill fill) {
        kestrune::testing::WithStationDatabase(station_.string(), fill);
    }

    fs::path station_;
};

TEST_F(CliDbTest, InitCreatesTheStationDatabaseAndCheckListsItsTables) {
    const Result init = Station({"db", "init"});
    EXPECT_EQ(init.status, kExitOk) << init.err;
    EXPECT_EQ(init.out, "database=" + StationFile() + " schema=4\n");
    EXPECT_EQ(init.err, "");
    EXPECT_TRUE(fs::exists(StationFile()));

    // Rows written by the program show up in the counts.
    ASSERT_NO_FATAL_FAILURE(WithStationDatabase([](store::Database& db) {
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(db.Insert("BasicRecord", "BRID", {{"BRContent", "か"}}).Ok());
        }
        ASSERT_TRUE(db.Insert("IndividualInfo", "IIID", {{"IIName", "O'Brien"}}).Ok());
    }));

    EXPECT_EQ(Station({"db", "init"}).out, init.out) << "a second init changes nothing";
    const Result check = Station({"db", "check"});
    EXPECT_EQ(check.status, kExitOk) << check.err;
    EXPECT_EQ(check.out, "database=" + StationFile() +
                             " schema=4\n"
                             "IndividualInfo 2\nAudioInfo 0\nTestRecord 0\nStatisticalRecord 0\n"
                             "BasicRecord 3\nSyllableMaskRecord 0\nNewSyllableMaskRecord 0\n"
                             "SyllableSpeedupRecord 0\nStatisticalSyllableMaskRecord 0\n"
                             "integrity ok\n");
}

// Counting rows does not read them; the check reads every row, finds the
// damaged page and ends with status 2, the damage on stderr.
TEST_F(CliDbTest, CheckFailsOnADamagedPageThatTheCountsDoNotSee) {
    ASSERT_NO_FATAL_FAILURE(WithStationDatabase([](store::Database& db) {
        for (int i = 0; i < 300; ++i)
            ASSERT_TRUE(db.Insert("BasicRecord", "BRID", {{"BRContent", "answer"}}).Ok());
    }));
    std::vector<std::uint8_t> bytes = kestrune::testing::ScratchDir::Read(StationFile());
    ASSERT_GT(bytes.size(), 8192u);
    // The last page is a leaf of BasicRecord: its first cell pointer (after
    // the 8-byte page header) now points past the end of the page.
    std::fill_n(bytes.end() - 4096 + 8, 2, 0xff);
    scratch_.Write(StationFile(), bytes);  // an absolute name: the station's file
    const Result check = Station({"db", "check"});
    EXPECT_EQ(check.status, kExitFailed);
    EXPECT_NE(check.out.find("\nBasicRecord 300\nSyllableMaskRecord 0\n"), std::string::npos);
    EXPECT_EQ(check.out.find("integrity ok"), std::string::npos) << check.out;
    // SQLite words the damage in more than one way ("... page ..." or
    // "database disk image is malformed"); that it is reported is the point.
    EXPECT_EQ(check.err.rfind("integrity: ", 0), 0u) << check.err;
}

// The station's answer journal: listed line by line, replayed into the
// station database, mistakes in the command line refused.
TEST_F(CliDbTest, JournalListsAndReplaysTheWaitingAnswers) {
    const std::string journal = (station_ / "answer-journal.jsonl").string();
    EXPECT_EQ(Station({"db", "journal"}).out, "journal=" + journal + " pending=0 damaged=0\n");

    const store::AnswerJournal file(QString::fromStdString(journal));
    const QString database =
        store::DatabaseLocation::StationFile(QString::fromStdString(station_.string())).Describe();
    std::string waiting;
    for (int line = 1; line <= 2; ++line) {
        const std::string id = "0000000a-0000-4000-8000-00000000000" + std::to_string(line);
        const store::JournalEntry entry{id.c_str(),
                                        database,
                                        "NewSyllableMaskRecord",
                                        "NSMRUid",
                                        {{"IIID", 2}, {"NSMRUid", id.c_str()}}};
        ASSERT_EQ(file.Append(entry), std::nullopt);
        waiting += "pending line=" + std::to_string(line) + " id=" + id +
                   " table=NewSyllableMaskRecord database=" + StationFile() + "\n";
    }
    std::ofstream(journal, std::ios::app) << "{\"id\":\"0000";  // killed while writing
    const auto starts = [](const Result& r, const std::string& head) {
        EXPECT_EQ(r.status, kExitOk) << r.err;
        EXPECT_EQ(r.out.rfind(head, 0), 0u) << r.out;
    };
    const std::string damaged = " reason=cut short (no line end)";
    starts(Station({"db", "journal"}),
           "journal=" + journal + " pending=2 damaged=1\n" + waiting + "damaged line=3" + damaged);
    // Written; the damaged line is kept, now the first.
    starts(Station({"db", "journal", "--replay"}),
           "written=2 already=0 pending=0 other=0 damaged=1\njournal=" + journal +
               " pending=0 damaged=1\ndamaged line=1" + damaged);
    EXPECT_NE(Station({"db", "check"}).out.find("\nNewSyllableMaskRecord 2\n"), std::string::npos);

    const Result mistake = Station({"db", "journal", "--replay", "now"});
    EXPECT_EQ(mistake.status, kExitUsage);
    EXPECT_NE(mistake.err.find("takes only --replay, not 'now'"), std::string::npos) << mistake.err;
    ExpectFailure(
        Station({"--database", "postgresql://nobody@127.0.0.1:1/r", "db", "journal", "--replay"}),
        "Failed to connect database\r\n Error message:");
}

TEST_F(CliDbTest, DatabaseOptionBeatsEnvironmentBeatsStation) {
    const std::string fromOption = scratch_.File("option.db");
    const std::string fromEnvironment = scratch_.File("environment.db");
    ::setenv("KESTRUNE_DATABASE", ("sqlite://" + fromEnvironment).c_str(), 1);

    const Result option = Station({"--database", "sqlite://" + fromOption, "db", "check"});
    EXPECT_EQ(option.status, kExitOk) << option.err;
    EXPECT_EQ(option.out, "database=" + fromOption + " schema=4\n" + kTablesNew + "integrity ok\n");
    EXPECT_EQ(Station({"db", "init"}).out, "database=" + fromEnvironment + " schema=4\n");

    EXPECT_TRUE(fs::exists(fromEnvironment));
}

// Materials go in with what the wave reader finds and come back, every
// column, in key order; a relative path is read from the station folder and
// stored as given.
TEST_F(CliDbTest, AudioAddRegistersWavesAndListPrintsThemAsStored) {
    const auto wave = [this](const std::string& path, const WaveFormat& format, uint32_t count) {
        fs::create_directories(fs::path(path).parent_path());
        const std::vector<std::uint8_t> bytes(count * format.bitsPerSample / 8, 0x80);
        EXPECT_TRUE(WriteWaveFile(path, format, bytes.data(), count)) << path;
        return path;
    };
    const std::string mono = (station_ / "sentences/1.wav").string();
    wave(mono, PcmFormat(1, 22050, 16), 11025);
    wave((station_ / "sentences/2.wav").string(), PcmFormat(1, 22050, 16), 22049);
    const std::string stereo =
        wave((station_ / "x/stereo.wav").string(), PcmFormat(2, 11025, 8), 800);
    const struct {
        std::vector<std::string> args;
        std::string line;  // of the list, after the key
    } rows[] = {
        {{"sentences/1.wav", "--content", "O'Brien's きょうはいいてんきです"},
         "sentences/1.wav\t500\tWav\tU\t1\t16\tO'Brien's きょうはいいてんきです\n"},
        {{stereo, "--sex", "F", "--content", "a\tb\\c\n"},
         stereo + "\t36\tWav\tF\t2\t8\ta\\tb\\\\c\\n\n"},
        {{mono, "--content", "", "--sex", "M"}, mono + "\t500\tWav\tM\t1\t16\t\n"},
        {{"sentences/2.wav", "--content", "ねこがすきです"},
         "sentences/2.wav\t999\tWav\tU\t1\t16\tねこがすきです\n"},
    };
    std::string all;
    for (const auto& row : rows) {
        std::vector<std::string> args{"audio", "add"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const Result r = Station(args);
        const std::string id = std::to_string(&row - rows + 1);
        EXPECT_EQ(std::tie(r.status, r.out, r.err), std::tuple(kExitOk, "id=" + id + "\n", ""));
        all += id + '\t' + row.line;
    }
    EXPECT_EQ(Station({"audio", "list"}).out, all);
    const auto lines = [&all](std::initializer_list<int> numbers) {
        std::istringstream in(all);
        std::string text, line;
        for (int n = 1; std::getline(in, line); ++n)
            if (std::find(numbers.begin(), numbers.end(), n) != numbers.end()) text += line + '\n';
        return text;
    };
    EXPECT_EQ(Station({"audio", "list", "--search", "sentences/"}).out, lines({1, 3, 4}));
    EXPECT_EQ(Station({"audio", "list", "--search", "O'Brien の駅"}).out, lines({2, 3}));
    EXPECT_EQ(Station({"audio", "list", "--search", "3.wav"}).out, "");
}

// Mistakes are one line with status 2, and nothing is registered.
TEST_F(CliDbTest, AudioAddAndListRefuseBadInput) {
    const std::string wave = (station_ / "a.wav").string();
    const std::vector<std::uint8_t> bytes(100, 0);
    ASSERT_TRUE(WriteWaveFile(wave, PcmFormat(1, 8000, 8), bytes.data(), 100));
    scratch_.Write("movie.wav", std::string("RIFF....AVI LIST"));
    const struct {
        std::vector<std::string> args;
        std::string error;
    } rows[] = {
        {{"add"}, "audio add takes FILE"},
        {{"add", "a.wav"}, "audio add: --content TEXT is missing"},
        {{"add", wave, "--content"}, "audio add: --content needs a value"},
        {{"add", wave, "--content", "x", "--sex", "m"},
         "audio add: --sex takes M, F or U, not 'm'"},
        {{"add", wave, "--sex", "M", "--speaker", "x"}, "audio add: takes FILE --content TEXT"},
        {{"add", wave, "--content", "\xe3\x81"}, "audio add: --content is not UTF-8 text"},
        {{"add", scratch_.File("movie.wav"), "--content", "x"},
         "audio add: '" + scratch_.File("movie.wav") + "' is not a wave file"},
        {{"add", "none.wav", "--content", "x"},
         "audio add: '" + (station_ / "none.wav").string() + "' cannot be opened"},
        {{"list", "--search"}, "audio list: --search needs the text to look for"},
        {{"list", "--all"}, "audio list: takes only --search TEXT, not '--all'"},
        {{"list", "--search", "a", "b"}, "audio list: takes only --search TEXT, not 'b'"},
    };
    for (const auto& row : rows) {
        std::vector<std::string> args{"audio"};
        args.insert(args.end(), row.args.begin(), row.args.end());
        const Result r = Station(args);
        EXPECT_EQ(r.status, kExitUsage) << row.error;
        EXPECT_EQ(r.out, "") << row.error;
        EXPECT_EQ(r.err.rfind("kestrune-cli: " + row.error, 0), 0u) << r.err;
    }
    EXPECT_EQ(Station({"audio", "list"}).out, "");
}

// The reasons are the store's; a database that cannot be reached is in the
// journal test, and here the URLs the command line refuses.
TEST_F(CliDbTest, BadDatabaseUrlsArePrintedAndExitTwo) {
    ExpectFailure(RunArgs({"--database", "mysql://x/y", "db", "init"}),
                  "kestrune-cli: bad database URL 'mysql://x/y': ");
    ::setenv("KESTRUNE_DATABASE", "nonsense", 1);
    ExpectFailure(RunArgs({"db", "init"}), "kestrune-cli: KESTRUNE_DATABASE: bad database URL");
}

}  // namespace
}  // namespace kestrune::cli
