// `kestrune-cli audio devices` and the program's start without a sound card,
// set up by a scratch ~/.asoundrc or a missing ALSA configuration.
#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>

#include "support/ScratchDir.h"

namespace {

/** The null device listed as the default output of the ALSA host API (the
 *  line format is the device list's own test). */
void ExpectDeviceListing(const std::string& out) {
    EXPECT_EQ(out.rfind("hostapi index=", 0), 0u) << out;
    const std::regex defaultOutput("output [^\n]* default=1 name=default\n");
    EXPECT_EQ(std::distance(std::sregex_iterator(out.begin(), out.end(), defaultOutput),
                            std::sregex_iterator()),
              1)
        << out;
    EXPECT_NE(out.find(" default=1 name=ALSA\n"), std::string::npos) << out;
}

// The configured device is gone: the program starts and says once what it plays
// on, the libraries' complaints (a missing card's) only in its log.
TEST(AudioDevicesTest, ListingAndStartSayInOneLineWhatThereIsToPlayOn) {
    int argc = 1;
    char name[] = "cli_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    const struct {
        const char *asoundrc, *alsaConfig;  // ALSA_CONFIG_PATH; null: the machine's own
        int listStatus;
        const char *listErr, *said;  // listErr null: the devices are listed
        bool complaints;  // ALSA's own messages are sure to be in the log, at debug level
    } rows[] = {
        {"pcm.!default { type null }\nctl.!default { type hw card 31 }\n", nullptr, 0, nullptr,
         "kestrune.session: the sound output device \"Gone Card\" is not available; playing on "
         "the default output device instead\n",
         false},
        {"pcm.!default { type hw card 31 }\nctl.!default { type hw card 31 }\n", nullptr, 0,
         "kestrune-cli: No sound device found: no output device\n",
         "kestrune.session: No sound device found: the sound output device \"Gone Card\" is not "
         "available and there is no other output device\n",
         true},
        // PortAudio's start aborts (in the child that tries it first).
        {"", "/nonexistent/alsa.conf", 2,
         "kestrune-cli: No sound device found: the sound system did not start\n",
         "kestrune: No sound device found: the sound system did not start\n", false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.said);
        const kestrune::testing::ScratchDir home;
        const auto station = home.Path() / "station";
        std::filesystem::create_directory(station);
        std::ofstream(station / "kestrune.ini") << "[Audio]\r\nOutputDevice=Gone Card\r\n";
        std::ofstream(home.Path() / ".asoundrc") << row.asoundrc;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", QString::fromStdString(home.Path().string()));
        environment.insert("XDG_RUNTIME_DIR", QString::fromStdString(home.Path().string()));
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        environment.remove("ALSA_CONFIG_PATH");
        environment.remove("KESTRUNE_DATABASE");
        if (row.alsaConfig != nullptr) environment.insert("ALSA_CONFIG_PATH", row.alsaConfig);

        QProcess list;
        list.setProcessEnvironment(environment);
        list.start(KESTRUNE_CLI, {"audio", "devices"});
        ASSERT_TRUE(list.waitForFinished(120000));  // a safety net against a hang
        const std::string out = list.readAllStandardOutput().toStdString();
        EXPECT_EQ(list.exitCode(), row.listStatus);
        EXPECT_EQ(list.readAllStandardError().toStdString(), row.listErr ? row.listErr : "");
        if (row.listErr == nullptr) {
            ExpectDeviceListing(out);
        } else {
            EXPECT_EQ(out.find("output "), std::string::npos) << out;
        }

        QProcess run;
        run.setProcessEnvironment(environment);
        run.setReadChannel(QProcess::StandardError);  // what waitForReadyRead waits on
        run.start(KESTRUNE_PROGRAM, {"--station", QString::fromStdString(station.string())});
        QByteArray err;  // up to the database line; the minute only guards against a hang
        while (!err.contains("kestrune.session: database:") && run.waitForReadyRead(60000))
            err += run.readAllStandardError();
        run.kill();
        run.waitForFinished(60000);
        const std::string text = (err + run.readAllStandardError()).toStdString();
        const std::string said = row.said;
        EXPECT_NE(text.find(said), std::string::npos) << text;
        EXPECT_EQ(text.find(said), text.rfind(said)) << "said twice: " << text;
        for (const char* library : {"ALSA", "jack", "Assertion"})
            EXPECT_EQ(text.find(library), std::string::npos) << text;
        const std::vector<std::uint8_t> bytes =
            kestrune::testing::ScratchDir::Read((station / "kestrune.log").string());
        const std::string log(bytes.begin(), bytes.end());
        // (Said before the log is open when the sound system does not start.)
        if (row.alsaConfig == nullptr) {
            EXPECT_NE(log.find(said.substr(0, said.size() - 1)), std::string::npos) << log;
        }
        if (row.complaints) {
            EXPECT_NE(log.find(" debug kestrune.sound-library: alsa: "), std::string::npos) << log;
        }
    }
}

}  // namespace
