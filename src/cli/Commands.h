#pragma once

#include <charconv>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::cli {

/** Reads the whole of `text` as one number (a whole number for an integer
 *  `value`, a decimal one for a floating type): false, `value` untouched,
 *  when anything is missing, left over or out of range. */
template <typename Number>
bool ParseNumber(std::string_view text, Number& value) {
    Number read{};
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, read);
    if (result.ec != std::errc() || result.ptr != end) return false;
    value = read;
    return true;
}

/** Exit statuses of kestrune-cli. */
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 2;  ///< the command ran but its input was bad
inline constexpr int kExitUsage = 2;   ///< an unknown command or option, or wrong arguments

/** The options that come before the command. */
struct Options {
    std::string station;   ///< --station DIR; empty: the current folder
    std::string database;  ///< --database URL; empty: not given
};

/** What a command runs with: the options, its own arguments and the streams. */
struct Invocation {
    const Options& options;
    const std::vector<std::string>& args;
    std::ostream& out;  ///< the command's output, exact and stable: scripts parse it
    std::ostream& err;  ///< diagnostics
};

/**
 * One command: the words that name it ("wave-info", or "db" "init"), the
 * names of its arguments (it takes exactly these, then its own options if
 * it has any), the help text (a "\n"
 * continues it on a second line) and the function that runs it and returns
 * the exit status.
 */
struct Command {
    std::vector<std::string> words;
    std::vector<std::string> args;
    std::string help;
    int (*run)(const Invocation&);
    /** Options of its own that may follow the arguments ("[--frame N]"); empty: none. */
    std::string options = {};
};

/** Every command, in the order the help lists them. */
const std::vector<Command>& Commands();

/** What a command line asks for. */
struct CommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Error;
    Options options;
    const Command* command = nullptr;  ///< Run: the command
    std::vector<std::string> args;     ///< Run: its arguments
    std::string error;                 ///< Error: the mistake, in one line
};

/**
 * Reads a command line (without the program name): the global options
 * (--station DIR or --station=DIR, --database URL, --help, --version) come
 * anywhere before the command; everything after the command's words is its
 * arguments, byte for byte.
 */
CommandLine Parse(const std::vector<std::string>& args);

/** The --help text. */
std::string UsageText();

/**
 * Runs one command line (without the program name) and returns the exit
 * status. Output goes to out; a usage mistake is one line on err.
 */
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kestrune::cli
