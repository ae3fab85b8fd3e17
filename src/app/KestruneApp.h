#pragma once

#include "app/StartupOptions.h"

namespace kestrune::app {

/**
 * Whether PortAudio starts on this machine, tried in a child process that is
 * killed after `timeoutMs`: its start-up may abort or hang, and that must not
 * take the program with it. Call it while the process has one thread (before
 * the QApplication exists): it forks.
 */
bool PortAudioStarts(int timeoutMs);

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
