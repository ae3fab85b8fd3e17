// `kestrune-cli audio devices` and the program's start as a user sees them
// on a machine without a sound card: ALSA's null device as the default (a
// temporary ~/.asoundrc), or a default naming a card that is not there,
// which sets ALSA and JACK complaining about every device they probe.
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <stdlib.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "support/ScratchDir.h"

namespace {

struct Output {
    int status;
    std::string out;
    std::string err;
};

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The program with HOME in a scratch folder holding `asoundrc`.
Output ListDevices(const std::string& asoundrc, const std::string& alsaConfig = {}) {
    const kestrune::testing::ScratchDir home;
    std::ofstream(home.Path() / ".asoundrc") << asoundrc;
    const auto out = home.Path() / "out", err = home.Path() / "err";
    const std::string config =
        alsaConfig.empty() ? std::string() : " ALSA_CONFIG_PATH='" + alsaConfig + "'";
    const std::string command = "env -u ALSA_CONFIG_PATH" + config + " HOME='" +
                                home.Path().string() + "' '" + KESTRUNE_CLI + "' audio devices >'" +
                                out.string() + "' 2>'" + err.string() + "'";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Slurp(out), Slurp(err)};
}

TEST(AudioDevicesTest, ListsHostApisAndDevicesOneParseableLineEach) {
    const Output run =
        ListDevices("pcm.!default { type null }\nctl.!default { type hw card 31 }\n");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::regex hostApi("hostapi index=[0-9]+ devices=[0-9]+ default=[01] name=.+");
    const std::regex device(
        "(input|output) index=[0-9]+ hostapi=[0-9]+ channels=[1-9][0-9]* rate=[1-9][0-9]* "
        "default=[01] name=.+");
    std::istringstream lines(run.out);
    int hostApis = 0, outputs = 0, defaultOutputs = 0;
    std::string kind = "hostapi";
    for (std::string line; std::getline(lines, line);) {
        SCOPED_TRACE(line);
        const std::string first = line.substr(0, line.find(' '));
        // Host APIs first, then the inputs, then the outputs.
        EXPECT_GE(first, kind == "hostapi" ? std::string("hostapi") : kind) << run.out;
        if (first == "hostapi") {
            EXPECT_TRUE(std::regex_match(line, hostApi));
            ++hostApis;
        } else {
            EXPECT_TRUE(std::regex_match(line, device));
            if (first == "output") ++outputs;
            if (first == "output" && line.find(" default=1 name=default") != std::string::npos)
                ++defaultOutputs;
        }
        kind = first;
    }
    EXPECT_NE(run.out.find(" default=1 name=ALSA\n"), std::string::npos) << run.out;
    EXPECT_GE(hostApis, 1);
    EXPECT_GE(outputs, 1);
    EXPECT_EQ(defaultOutputs, 1) << run.out;
}

TEST(AudioDevicesTest, SaysInOneLineThatThereIsNoOutputAndNothingOfTheLibraries) {
    const struct {
        const char* asoundrc;
        const char* alsaConfig;
        int status;
        std::string err;
    } rows[] = {
        // Every PCM, the default included, on a card that is not there.
        {"pcm.!default { type hw card 31 }\nctl.!default { type hw card 31 }\n", "", 0,
         "kestrune-cli: No sound device found: no output device\n"},
        // ALSA without its configuration, where PortAudio's start aborts.
        {"", "/nonexistent/alsa.conf", 2,
         "kestrune-cli: No sound device found: the sound system did not start\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.err);
        const Output run = ListDevices(row.asoundrc, row.alsaConfig);
        EXPECT_EQ(run.status, row.status) << run.err;
        EXPECT_EQ(run.out.find("output "), std::string::npos) << run.out;
        EXPECT_EQ(run.err, row.err);
    }
}

// The program on a station whose kestrune.ini names a device that is gone:
// it starts (the database line follows the sound line), says once what it
// plays on instead - or that there is no sound device - and the libraries'
// complaints are in the log, not on the terminal.
TEST(AudioDevicesTest, TheProgramStartsSayingInOneLineWhatBecameOfTheSoundDevice) {
    int argc = 1;
    char name[] = "cli_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const struct {
        const char* asoundrc;
        std::string said;
        bool complaints;  // ALSA's own messages are sure to be in the log, at debug level
        const char* alsaConfig = nullptr;  // ALSA_CONFIG_PATH; null: the machine's own
    } rows[] = {
        {"pcm.!default { type null }\nctl.!default { type hw card 31 }\n",
         "kestrune.session: the sound output device \"Gone Card\" is not available; playing on "
         "the default output device instead\n",
         false},
        {"pcm.!default { type hw card 31 }\nctl.!default { type hw card 31 }\n",
         "kestrune.session: No sound device found: the sound output device \"Gone Card\" is not "
         "available and there is no other output device\n",
         true},
        // ALSA without its configuration: PortAudio's start fails an
        // assertion, in the child that tries it first.
        {"", "kestrune: No sound device found: the sound system did not start\n", false,
         "/nonexistent/alsa.conf"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.asoundrc);
        const kestrune::testing::ScratchDir home;
        const auto station = home.Path() / "station";
        std::filesystem::create_directory(station);
        std::ofstream(home.Path() / ".asoundrc") << row.asoundrc;
        std::ofstream(station / "kestrune.ini") << "[Audio]\r\nOutputDevice=Gone Card\r\n";
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), QString::fromStdString(home.Path().string()));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"),
                           QString::fromStdString(home.Path().string()));
        environment.remove(QStringLiteral("ALSA_CONFIG_PATH"));
        if (row.alsaConfig != nullptr)
            environment.insert(QStringLiteral("ALSA_CONFIG_PATH"), row.alsaConfig);
        environment.remove(QStringLiteral("KESTRUNE_DATABASE"));
        QProcess run;
        run.setProcessEnvironment(environment);
        run.setReadChannel(QProcess::StandardError);
        run.start(QStringLiteral(KESTRUNE_PROGRAM),
                  {QStringLiteral("--station"), QString::fromStdString(station.string())});
        // Up to the database line, which comes after the sound device's; the
        // minute only guards against a hang.
        QByteArray err;
        while (!err.contains("kestrune.session: database:") && run.waitForReadyRead(60000))
            err += run.readAllStandardError();
        run.kill();
        run.waitForFinished(60000);
        err += run.readAllStandardError();
        const std::string text = err.toStdString();
        EXPECT_NE(text.find(row.said), std::string::npos) << text;
        EXPECT_EQ(text.find(row.said), text.rfind(row.said)) << "said twice: " << text;
        EXPECT_EQ(text.find("ALSA"), std::string::npos) << text;
        EXPECT_EQ(text.find("jack"), std::string::npos) << text;
        EXPECT_EQ(text.find("Assertion"), std::string::npos) << text;
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
