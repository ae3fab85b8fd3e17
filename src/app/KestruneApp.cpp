#include "app/KestruneApp.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QFont>

#include <fcntl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>

#include "app/Choosers.h"
#include "app/HyperLink.h"
#include "app/KestruneDlg.h"
#include "app/Prompter.h"
#include "app/StationLog.h"
#include "app/ToolbarIcons.h"
#include "audio/DeviceChoice.h"
#include "audio/LibraryMessages.h"
#include "audio/PortAudioOutput.h"
#include "audio/SoundInput.h"
#include "audio/SoundOutput.h"
#include "audio/WaitClock.h"
#include "core/util/Clock.h"
#include "core/util/Random.h"
#include "store/Secrets.h"

namespace kestrune::app {

bool PortAudioStarts(int timeoutMs) {
    const pid_t child = fork();
    if (child < 0) return false;
    if (child == 0) {
        // The probe's own words (PortAudio's failed assertion, when it
        // fails) are not the program's: the parent says it in one line.
        const int quiet = open("/dev/null", O_WRONLY);
        if (quiet >= 0) dup2(quiet, STDERR_FILENO);
        { audio::PortAudioOutput probe; }
        _exit(0);
    }
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        const pid_t done = waitpid(child, &status, WNOHANG);
        if (done == child) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
        if (done < 0) return false;
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            return false;
        }
        usleep(10000);
    }
}

void CKestruneApp::SetUpFont() {
    // The desktop's interface face for Latin text; kana and kanji from the
    // IPA gothic (or the rounded Motoya face) rather than whatever
    // fontconfig happens to pick first.
    QFont font = QApplication::font();
    QStringList families = font.families();
    if (families.isEmpty()) families << font.family();
    for (const QString& japanese : {QStringLiteral("IPAPGothic"), QStringLiteral("MotoyaLMaru")}) {
        if (!families.contains(japanese)) families << japanese;
    }
    font.setFamilies(families);
    QApplication::setFont(font);
}

int CKestruneApp::Run(int argc, char** argv) {
    // Options are read before the window system is reached, so --help and a
    // wrong option answer on a machine without a display too.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
    // A password in a --database URL is not left for the process list.
    store::HideArgumentPasswords(argc, argv);
    const ParsedCommandLine parsed = ParseCommandLine(arguments);
    if (const int status = AnswerWithoutStarting(parsed, stdout, stderr); status >= 0)
        return status;

    // ALSA and JACK report every device they probe and fail to open on
    // stderr; their messages are held from here (the probe below included)
    // and go to the station log once it is open.
    audio::RouteLibraryMessages({});

    // PortAudio's start-up can abort the process (its ALSA back end asserts
    // when ALSA's configuration cannot be read) or hang on a wedged device.
    // Try it in a child first, while this process has a single thread, and
    // go without a sound output when it fails: the program still starts,
    // and a test that plays reports "Audio output error!".
    bool soundSystemStarts = true;
    if (parsed.options.audio == QLatin1String("portaudio") && !PortAudioStarts(10000)) {
        soundSystemStarts = false;
        std::fprintf(stderr, "kestrune: No sound device found: the sound system did not start\n");
    }

    QApplication application(argc, argv);
    // No display name: Qt would append it to every window title, and the
    // windows' captions are exactly their own.
    QApplication::setApplicationName(QStringLiteral("Kestrune"));
    QApplication::setWindowIcon(ProgramIcon());
    SetUpFont();
    StartupOptions options = parsed.options;
    options.environmentDatabase = qEnvironmentVariable("KESTRUNE_DATABASE");

    // Wave files named on the command line are relative to where the program
    // was started; everything else is relative to the station folder.
    for (QString& path : options.waveFiles) path = QFileInfo(path).absoluteFilePath();
    if (!options.stationDir.isEmpty() && !QDir::setCurrent(options.stationDir)) {
        std::fprintf(stderr, "kestrune: cannot enter the station folder %s\n",
                     qPrintable(options.stationDir));
        return kExitUsage;
    }
    options.stationDir = QDir::currentPath();
    if (!InstallStationLog(options.stationDir))
        std::fprintf(stderr, "kestrune: cannot write %s\n",
                     qPrintable(StationLogPath(options.stationDir)));
    audio::RouteLibraryMessages([](const std::string& library, const std::string& text) {
        qCDebug(lcSoundLibrary).noquote() << QString::fromLocal8Bit(library + ": " + text);
    });

    // The sound output the test dialogs play through. Nothing is opened
    // yet: a station without a sound card starts all the same, and a device
    // that will not open is reported by the dialog that tries to play.
    // The device is the one the station's kestrune.ini names; one that is
    // gone (or no device at all) is said once, on the terminal and in the
    // log, not in a message box: the session panel comes next and a box in
    // front of it at every start of a station without a sound card would
    // stand between the subject and the test.
    // The input Record starts capturing from is the one the file names, on
    // the same kind of device and with the same fallback and message.
    audio::SystemWaitClock soundClock;
    std::unique_ptr<audio::SoundOutput> sound;
    std::unique_ptr<audio::SoundInput> input;
    if (soundSystemStarts) {
        const audio::DeviceChoice choice =
            audio::ReadDeviceChoice(options.stationDir.toStdString());
        std::string message;
        sound = audio::MakeSoundOutput(options.audio.toStdString(), soundClock, choice, &message);
        // (The log passes it on to the terminal.)
        if (!message.empty()) qCWarning(lcSession).noquote() << QString::fromStdString(message);
        input = audio::MakeSoundInput(options.audio.toStdString(), choice, &message);
        // A machine without any input says nothing more at the start when
        // none was named (Record says it when pressed), so a station
        // without a sound card still gets its one line.
        const bool named = !choice.inputDevice.empty() || !choice.hostApi.empty();
        if (!message.empty() && named)
            qCWarning(lcSession).noquote() << QString::fromStdString(message);
    }

    MessageBoxPrompter prompter;
    DialogFileChooser files;
    DialogColorChooser colors;
    SystemClock clock;
    CrtRandom random;  // seeded by the window's start-up
    CKestruneDlg window(
        {.prompter = prompter,
         .files = files,
         .colors = colors,
         .urls = DesktopUrlOpener::Instance(),
         .clock = clock,
         .random = random,
         .sound = sound.get(),
         .soundClock = &soundClock,
         .input = input.get(),
         // Options → Audio devices…: nothing to list when
         // PortAudio did not start; the test tone (and the
         // calibration tone) on the same kind of device as the
         // sessions', and on no other than the one chosen: a
         // chosen device that is gone plays nothing rather than
         // the default under its name.
         .listDevices =
             [&] { return soundSystemStarts ? audio::ListSoundDevices() : audio::DeviceList{}; },
         .openToneOutput =
             [&](const audio::DeviceChoice& choice) -> std::unique_ptr<audio::SoundOutput> {
             if (!soundSystemStarts) return nullptr;
             std::string missing;
             auto output =
                 audio::MakeSoundOutput(options.audio.toStdString(), soundClock, choice, &missing);
             return missing.empty() ? std::move(output) : nullptr;
         }});

    // Message boxes and the session panel close before the event loop runs:
    // none of them may count as the last window of the program.
    QApplication::setQuitOnLastWindowClosed(false);
    if (window.Start(options) == CKestruneDlg::StartResult::SessionEnded) return 0;
    window.show();
    window.OpenWaveFiles(options.waveFiles);
    QApplication::setQuitOnLastWindowClosed(true);
    return QApplication::exec();
}

}  // namespace kestrune::app
