#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace kestrune {
class CrtRandom;
}

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
    enum class Action { Run, Help, Error };
    Action action = Action::Run;
    StartupOptions options;
    QString text;  ///< Help: the help text; Error: the reason
};

/** The --help text. */
QString UsageText();

/** Reads the arguments after the program name. The environment value is
 *  left empty: the caller fills it in. */
ParsedCommandLine ParseCommandLine(const QStringList& arguments);

/**
 * Whether PortAudio starts on this machine, tried in a child process that is
 * killed after `timeoutMs`: its start-up may abort or hang, and that must not
 * take the program with it. Call it while the process has one thread (before
 * the QApplication exists): it forks.
 */
bool PortAudioStarts(int timeoutMs);

/**
 * The process-wide random generator every random draw of the program uses
 * (stimulus order, pair choice); seeded once, with the current time, when
 * the main window starts.
 */
CrtRandom& ProcessRandom();

/**
 * The application: reads the command line, moves into the station folder,
 * starts the main window and runs it until the program ends. Sets the
 * application's name, icon and font (the desktop's interface font with a
 * Japanese face behind it for the kana and kanji captions).
 */
class CKestruneApp {
  public:
    /** Builds and runs everything; returns the process exit status. */
    static int Run(int argc, char** argv);

    /** The application font: the current family first, then Japanese faces. */
    static void SetUpFont();
};

}  // namespace kestrune::app
