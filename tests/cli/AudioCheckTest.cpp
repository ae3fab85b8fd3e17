// `kestrune-cli audio check` on ALSA's null device (a scratch ~/.asoundrc):
// the measurement parses and holds together, whatever the machine's timing;
// mistakes and a machine without sound are one line and status 2.
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <regex>
#include <string>

#include "support/ScratchDir.h"

namespace {

TEST(AudioCheckTest, MeasuresOnTheNullDeviceOrSaysWhyNotInOneLine) {
    const char* null = "pcm.!default { type null }\nctl.!default { type hw card 31 }\n";
    const char* none = "pcm.!default { type hw card 31 }\n";
    const std::string gone =
        "the sound output device \"Gone\" is not available; playing on the "
        "default output device instead\n";
    const auto usage = [](std::string text) { return text + "; see kestrune-cli --help\n"; };
    const struct {
        const char *asoundrc, *options, *station;  // station: kestrune.ini
        std::string err;  // after "kestrune-cli: "; with no measurement, status 2 and no output
    } rows[] = {
        {null, "--plays 20", "", ""},
        {null, "--frames 256 --plays 20", "[Audio]\nOutputDevice=Gone\n", gone},
        {null, "--plays 1", "", usage("--plays needs a whole number from 2 to 100000")},
        {null, "--loud", "", usage("audio check takes --plays N and --frames N, not '--loud'")},
        {none, "--plays 20", "", "No sound device found: no output device\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.options);
        const kestrune::testing::ScratchDir home;
        std::ofstream(home.Path() / ".asoundrc") << row.asoundrc;
        std::ofstream(home.Path() / "kestrune.ini") << row.station;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", QString::fromStdString(home.Path().string()));
        environment.remove("ALSA_CONFIG_PATH");
        QProcess cli;
        cli.setProcessEnvironment(environment);
        cli.start(KESTRUNE_CLI,
                  QStringList{"--station", QString::fromStdString(home.Path().string()), "audio",
                              "check"} +
                      QString(row.options).split(' '));
        ASSERT_TRUE(cli.waitForFinished(120000));  // a safety net against a hang
        const std::string out = cli.readAllStandardOutput().toStdString();
        EXPECT_EQ(cli.readAllStandardError().toStdString(),
                  row.err.empty() ? "" : "kestrune-cli: " + row.err);
        if (!row.err.empty() && row.err != gone) {
            EXPECT_EQ(std::tuple(cli.exitCode(), out), std::tuple(2, std::string()));
            continue;
        }
        const std::regex report(
            "host_api=ALSA\ndevice=default\nrate=([0-9]+) frames_per_buffer=([0-9]+) "
            "latency_ms=([0-9.]+) plays=20 late=([0-9]+) onset_mean_ms=(-?[0-9.]+) "
            "onset_sd_ms=([0-9.]+) onset_min_ms=(-?[0-9.]+) onset_max_ms=(-?[0-9.]+)\n(check "
            "ok|check failed: .+)\n");
        std::smatch m;
        ASSERT_TRUE(std::regex_match(out, m, report)) << out;
        const double rate = std::stod(m[1]), latency = std::stod(m[3]), mean = std::stod(m[5]),
                     sd = std::stod(m[6]), least = std::stod(m[7]), most = std::stod(m[8]);
        const int frames = std::stoi(m[2]), late = std::stoi(m[4]);
        EXPECT_TRUE(rate > 0 && frames > 0 && late <= 20 && std::isfinite(latency));
        EXPECT_TRUE(row.err != gone || frames == 256) << "--frames 256 gave " << frames;
        // Rounded to the microsecond: a microsecond's slack. A late click
        // is more than half a frame late.
        EXPECT_TRUE(least <= mean + 0.001 && mean <= most + 0.001 && sd <= most - least + 0.001)
            << out;
        EXPECT_TRUE(late == 0 || most + 0.001 > 500 / rate) << out;
        // The verdict follows the numbers, the status the verdict.
        const bool within = latency <= 10 && sd <= 1;
        EXPECT_EQ(std::tuple(m[9] == "check ok", cli.exitCode()),
                  std::tuple(within, within ? 0 : 1));
    }
}

}  // namespace
