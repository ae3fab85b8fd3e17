// `kestrune-cli audio devices` and the program's start on a machine without
// a sound card: ALSA's null device as the default (a scratch ~/.asoundrc), a
// default on a card that is not there (ALSA and JACK complain about every
// device they probe), or ALSA without its configuration.
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>

#include "support/ScratchDir.h"

namespace {

constexpr const char* kNullDefault =
    "pcm.!default { type null }\nctl.!default { type hw card 31 }\n";
constexpr const char* kGoneDefault =
    "pcm.!default { type hw card 31 }\nctl.!default { type hw card 31 }\n";
constexpr const char* kNoAlsaConfig = "/nonexistent/alsa.conf";

std::string Slurp(const std::filesystem::path& path) {
    const std::vector<std::uint8_t> bytes = kestrune::testing::ScratchDir::Read(path.string());
    return std::string(bytes.begin(), bytes.end());
}

/** HOME in `home` holding `asoundrc`; ALSA_CONFIG_PATH only when given. */
QProcessEnvironment Environment(const kestrune::testing::ScratchDir& home, const char* asoundrc,
                                const char* alsaConfig) {
    std::ofstream(home.Path() / ".asoundrc") << asoundrc;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", QString::fromStdString(home.Path().string()));
    environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(home.Path().string()));
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.remove("ALSA_CONFIG_PATH");
    environment.remove("KESTRUNE_DATABASE");
    if (alsaConfig != nullptr) environment.insert("ALSA_CONFIG_PATH", alsaConfig);
    return environment;
}

struct Application {
    int argc = 1;
    char name[10] = "cli_tests";
    char* argv[2] = {name, nullptr};
    QCoreApplication app{argc, argv};
};

TEST(AudioDevicesTest, ListsOneParseableLineEachOrSaysInOneLineThatThereIsNoOutput) {
    Application app;
    const struct {
        const char *asoundrc, *alsaConfig;
        int status;
        std::string err;  // empty: the devices are listed
    } rows[] = {
        {kNullDefault, nullptr, 0, ""},
        {kGoneDefault, nullptr, 0, "kestrune-cli: No sound device found: no output device\n"},
        // PortAudio's start aborts without ALSA's configuration.
        {"", kNoAlsaConfig, 2,
         "kestrune-cli: No sound device found: the sound system did not start\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.asoundrc);
        const kestrune::testing::ScratchDir home;
        QProcess run;
        run.setProcessEnvironment(Environment(home, row.asoundrc, row.alsaConfig));
        run.start(KESTRUNE_CLI, {"audio", "devices"});
        ASSERT_TRUE(run.waitForFinished(120000));  // a safety net against a hang
        const std::string out = run.readAllStandardOutput().toStdString();
        EXPECT_EQ(run.exitCode(), row.status);
        EXPECT_EQ(run.readAllStandardError().toStdString(), row.err);
        if (!row.err.empty()) {
            EXPECT_EQ(out.find("output "), std::string::npos) << out;
            continue;
        }
        const std::regex hostApi("hostapi index=[0-9]+ devices=[0-9]+ default=[01] name=.+");
        const std::regex device(
            "(input|output) index=[0-9]+ hostapi=[0-9]+ channels=[1-9][0-9]* rate=[1-9][0-9]* "
            "default=[01] name=.+");
        std::istringstream lines(out);
        std::string kinds;  // a line's first letter: host APIs, then inputs, then outputs
        for (std::string line; std::getline(lines, line); kinds += line.substr(0, 1))
            EXPECT_TRUE(std::regex_match(line, line[0] == 'h' ? hostApi : device)) << line;
        EXPECT_TRUE(std::regex_match(kinds, std::regex("h+i*o+"))) << out;
        const std::regex defaultOutput("output [^\n]* default=1 name=default\n");
        EXPECT_EQ(std::distance(std::sregex_iterator(out.begin(), out.end(), defaultOutput),
                                std::sregex_iterator()),
                  1)
            << out;
        EXPECT_NE(out.find(" default=1 name=ALSA\n"), std::string::npos) << out;
    }
}

// The program on a station whose kestrune.ini names a device that is gone
// starts, says once on stderr and in its log what became of the sound, and
// keeps the libraries' complaints off the terminal.
TEST(AudioDevicesTest, TheProgramStartsSayingInOneLineWhatBecameOfTheSoundDevice) {
    Application app;
    const struct {
        const char *asoundrc, *alsaConfig;
        std::string said;
        bool complaints;  // ALSA's own messages are sure to be in the log, at debug level
    } rows[] = {
        {kNullDefault, nullptr,
         "kestrune.session: the sound output device \"Gone Card\" is not "
         "available; playing on the default output device instead\n",
         false},
        {kGoneDefault, nullptr,
         "kestrune.session: No sound device found: the sound output "
         "device \"Gone Card\" is not available and there is no other output device\n",
         true},
        // PortAudio's start fails an assertion, in the child that tries it first.
        {"", kNoAlsaConfig, "kestrune: No sound device found: the sound system did not start\n",
         false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.said);
        const kestrune::testing::ScratchDir home;
        const auto station = home.Path() / "station";
        std::filesystem::create_directory(station);
        std::ofstream(station / "kestrune.ini") << "[Audio]\r\nOutputDevice=Gone Card\r\n";
        QProcess run;
        run.setProcessEnvironment(Environment(home, row.asoundrc, row.alsaConfig));
        run.start(KESTRUNE_PROGRAM, {"--station", QString::fromStdString(station.string())});
        // Up to the database line, which follows the sound device's.
        QByteArray err;
        while (!err.contains("kestrune.session: database:") && run.waitForReadyRead(60000))
            err += run.readAllStandardError();
        run.kill();
        run.waitForFinished(60000);
        const std::string text = (err + run.readAllStandardError()).toStdString();
        EXPECT_NE(text.find(row.said), std::string::npos) << text;
        EXPECT_EQ(text.find(row.said), text.rfind(row.said)) << "said twice: " << text;
        for (const char* library : {"ALSA", "jack", "Assertion"})
            EXPECT_EQ(text.find(library), std::string::npos) << text;
        const std::string log = Slurp(station / "kestrune.log");
        // (Said before the log is open when the sound system does not start.)
        if (row.alsaConfig == nullptr) {
            EXPECT_NE(log.find(row.said.substr(0, row.said.size() - 1)), std::string::npos) << log;
        }
        if (row.complaints) {
            EXPECT_NE(log.find(" debug kestrune.sound-library: alsa: "), std::string::npos) << log;
        }
    }
}

}  // namespace
