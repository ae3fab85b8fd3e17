#include "cli/AudioCommands.h"

#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <functional>
#include <ostream>
#include <sstream>

#include "audio/ClickCheck.h"
#include "audio/DeviceChoice.h"
#include "audio/LibraryMessages.h"

namespace kestrune::cli {

namespace {

constexpr const char* kProgram = "kestrune-cli";

// What a child that worked with PortAudio wrote, and how it ended.
struct ChildReport {
    bool exited = false;  // false: it crashed or aborted
    int status = 0;
    std::string out;
    std::string err;
};

// Runs `work` in a child process. PortAudio's start can abort the process
// (its ALSA back end asserts when ALSA's configuration cannot be read), and
// ALSA's and JACK's complaints about every device they probe are not a
// command's output, so the child's stderr goes nowhere and the libraries'
// messages are dropped; what `work` writes to its two streams comes back
// through a pipe: the size of `out` on a line of its own, `out`, then `err`.
ChildReport RunInSoundChild(const std::function<int(std::ostream&, std::ostream&)>& work) {
    ChildReport report;
    int channel[2];
    if (pipe(channel) != 0) return report;
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) dup2(quiet, STDERR_FILENO);
        audio::RouteLibraryMessages([](const std::string&, const std::string&) {});
        std::ostringstream out, err;
        const int status = work(out, err);
        const std::string bytes = std::to_string(out.str().size()) + "\n" + out.str() + err.str();
        for (std::size_t done = 0; done < bytes.size();) {
            const ssize_t n = write(channel[1], bytes.data() + done, bytes.size() - done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        _exit(status);
    }
    close(channel[1]);
    std::string bytes;
    char buffer[4096];
    for (ssize_t n; child > 0 && (n = read(channel[0], buffer, sizeof buffer)) != 0;) {
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    close(channel[0]);
    int status = 0;
    report.exited = child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status);
    if (!report.exited) return report;
    report.status = WEXITSTATUS(status);
    const std::size_t lf = bytes.find('\n');
    std::size_t outSize = 0;
    if (lf != std::string::npos) std::from_chars(bytes.data(), bytes.data() + lf, outSize);
    if (lf == std::string::npos || outSize > bytes.size() - lf - 1) {
        report.exited = false;  // cut short: it did not end the way it should
        return report;
    }
    report.out = bytes.substr(lf + 1, outSize);
    report.err = bytes.substr(lf + 1 + outSize);
    return report;
}

// Exit statuses of the child that asks PortAudio for the devices.
constexpr int kListed = 0, kListedNoOutput = 3, kNoSoundSystem = 4;

}  // namespace

int AudioDevicesCommand(const Invocation& in) {
    const ChildReport child = RunInSoundChild([](std::ostream& out, std::ostream&) {
        const audio::DeviceList list = audio::ListSoundDevices();
        audio::WriteDeviceList(list, out);
        return list.hostApis.empty()    ? kNoSoundSystem
               : list.defaultOutput < 0 ? kListedNoOutput
                                        : kListed;
    });
    if (!child.exited || (child.status != kListed && child.status != kListedNoOutput)) {
        in.err << kProgram << ": No sound device found: the sound system did not start\n";
        return kExitFailed;
    }
    in.out << child.out;
    if (child.status == kListedNoOutput)
        in.err << kProgram << ": No sound device found: no output device\n";
    return kExitOk;
}

std::optional<AudioCheckArgs> ParseAudioCheckArgs(const std::vector<std::string>& args,
                                                  std::string* error) {
    AudioCheckArgs parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool plays = arg == "--plays";
        if (!plays && arg != "--frames") {
            *error = "audio check takes --plays N and --frames N, not '" + arg + "'";
            return std::nullopt;
        }
        const long long lowest = plays ? 2 : 16;
        const long long highest = plays ? 100000 : 16384;
        long long value = 0;
        if (i + 1 >= args.size() || !ParseNumber(args[++i], value) || value < lowest ||
            value > highest) {
            *error = arg + " needs a whole number from " + std::to_string(lowest) + " to " +
                     std::to_string(highest);
            return std::nullopt;
        }
        if (plays)
            parsed.plays = static_cast<int>(value);
        else
            parsed.frames = static_cast<unsigned long>(value);
    }
    return parsed;
}

int AudioCheckCommand(const Invocation& in) {
    std::string error;
    const std::optional<AudioCheckArgs> args = ParseAudioCheckArgs(in.args, &error);
    if (!args) {
        in.err << kProgram << ": " << error << "; see " << kProgram << " --help\n";
        return kExitUsage;
    }
    const audio::ClickCheckRequest request{.choice = audio::ReadDeviceChoice(in.options.station),
                                           .plays = args->plays,
                                           .framesPerBuffer = args->frames};
    const ChildReport child = RunInSoundChild([&request](std::ostream& out, std::ostream& err) {
        const audio::ClickCheckResult result = audio::RunClickCheck(request);
        if (!result.deviceMessage.empty()) err << kProgram << ": " << result.deviceMessage << '\n';
        if (!result.error.empty()) {
            err << kProgram << ": " << result.error << '\n';
            return kExitFailed;
        }
        audio::WriteClickCheck(result, out);
        const std::string shortfall = audio::ClickCheckShortfall(result);
        if (shortfall.empty()) {
            out << "check ok\n";
            return kExitOk;
        }
        out << "check failed: " << shortfall << '\n';
        return kExitCheckFailed;
    });
    if (!child.exited) {
        in.err << kProgram << ": No sound device found: the sound system did not start\n";
        return kExitFailed;
    }
    in.out << child.out;
    in.err << child.err;
    return child.status;
}

}  // namespace kestrune::cli
