// kestrune-cli's sound commands: `audio devices` and `audio check`.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace kestrune::cli {

/** The exit status of `audio check` when it measured the output but the
 *  latency or the jitter is over its target. */
inline constexpr int kExitCheckFailed = 1;

/** The devices PortAudio finds, one line each (see WriteDeviceList). */
int AudioDevicesCommand(const Invocation& in);

/** What `audio check` was asked for. */
struct AudioCheckArgs {
    int plays = 200;
    unsigned long frames = 0;  ///< 0: the host API's choice
};

/** `[--plays N] [--frames N]`; nullopt with `error` (one line) when they
 *  do not parse: --plays takes 2 to 100000, --frames 16 to 16384. */
std::optional<AudioCheckArgs> ParseAudioCheckArgs(const std::vector<std::string>& args,
                                                  std::string* error);

/** Plays a click train through the station's output and prints the
 *  measurement (see WriteClickCheck), then "check ok" (status 0) or
 *  "check failed: ..." (kExitCheckFailed); a usage mistake, no device or a
 *  device that will not play is one line on err and status 2. */
int AudioCheckCommand(const Invocation& in);

}  // namespace kestrune::cli
