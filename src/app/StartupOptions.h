#pragma once

#include <QString>
#include <QStringList>

#include <cstdio>

namespace kestrune::app {

/** How a run of the program was asked to start. */
struct StartupOptions {
    /** --station DIR: the station folder (database file, Data/, the
     *  configuration files and pictures); empty for the current folder. */
    QString stationDir;
    /** --database URL; empty when not given. */
    QString databaseUrl;
    /** The KESTRUNE_DATABASE environment value (used when --database is not given). */
    QString environmentDatabase;
    /** --audio=portaudio|virtual: the sound device the workspace and the tests use. */
    QString audio = QStringLiteral("portaudio");
    /** --workspace: open the wave workspace instead of the session panel. */
    bool workspace = false;
    /** Wave files to open into the workspace at start, in order. */
    QStringList waveFiles;
};

/** What the command line asked for. */
struct ParsedCommandLine {
    enum class Action { Run, Help, Version, Error };
    Action action = Action::Run;
    StartupOptions options;
    QString text;  ///< Help: the help text; Version: the version line; Error: the reason
};

/** Exit status of a run that the command line ended before it started. */
inline constexpr int kExitUsage = 2;

/** The --help text. */
QString UsageText();

/** The --version line: the program's name and version. */
QString VersionText();

/** Reads the arguments after the program name. The environment value is
 *  left empty: the caller fills it in. */
ParsedCommandLine ParseCommandLine(const QStringList& arguments);

/**
 * Answers a command line that does not start the program: prints the help
 * or version text to `out`, or one line naming the mistake to `err`, and
 * returns the exit status; -1 when the program is to start.
 */
int AnswerWithoutStarting(const ParsedCommandLine& parsed, std::FILE* out, std::FILE* err);

}  // namespace kestrune::app
