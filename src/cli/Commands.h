#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kestrune::cli {

/** Exit statuses of kestrune-cli. */
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;   ///< unknown command or wrong arguments
inline constexpr int kExitFailed = 2;  ///< the command ran but its input was bad

/**
 * Runs one command line (without the program name) and returns the exit
 * status. Output goes to out, usage and diagnostics to err. The output of
 * every command is exact and stable: scripts parse it.
 */
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kestrune::cli
