// A scripted session in a process of its own, for the test that kills it
// halfway: argument 1 is the station folder; it prints "answered N" after
// each answer has been given (and so stored).

#include <QApplication>

#include <cstdio>
#include <memory>

#include "SessionKit.h"
#include "app/Prompter.h"
#include "audio/VirtualOutput.h"
#include "core/util/Random.h"
#include "store/Database.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

/** Answers every question with OK and shows nothing. */
class SilentPrompter final : public Prompter {
  public:
    void Message(QWidget*, const QString& text, const QString&) override {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool Confirm(QWidget*, const QString&) override { return true; }
};

int Fail(const char* what) {
    std::fprintf(stderr, "session child: %s\n", what);
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    if (argc != 2) return Fail("usage: session_kill_child STATION_FOLDER");
    const QString folder = QString::fromLocal8Bit(argv[1]);
    if (!WriteSessionKit(folder)) return Fail("cannot write the station");
    QString error;
    auto db = store::Database::Open(store::DatabaseLocation::StationFile(folder), &error);
    if (!db) return Fail(qPrintable(error));

    SilentPrompter prompter;
    SoundBench bench;
    const auto made = MakePanel(*db, prompter, bench, folder);
    CMainTestPanel& panel = *made;
    panel.show();
    if (!ClickWhenReady(&panel, "sessionButton")) return Fail("no session button");
    if (!RegisterSubject(panel, QStringLiteral("KILL O'HARA"), 30)) return Fail("no entry form");
    CAutoTest6* test = panel.SessionTest();
    if (test == nullptr) return Fail("no test");
    if (!ClickWhenReady(test->Directions(), "nextButton")) return Fail("no directions");
    if (!ClickWhenReady(test, "startButton")) return Fail("no start");
    std::printf("registered\n");
    std::fflush(stdout);

    int answered = 0;
    while (!test->Session()->Over()) {
        Trial trial;
        if (!AnswerTrial(*test, bench.clock, bench.output, kKitListener, &trial))
            return Fail("no trial");
        std::printf("answered %d\n", ++answered);
        std::fflush(stdout);
    }
    return 0;
}
