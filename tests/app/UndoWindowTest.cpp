// Edit → Undo and Redo in the main window, on a recording and on Reset.

#include <QAction>

#include "AppTestSupport.h"
#include "WindowFakes.h"
#include "app/KestruneDlg.h"
#include "app/StartupOptions.h"
#include "audio/VirtualInput.h"
#include "core/util/Clock.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class UndoWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void recordingAndResetGoBackAndForth() {
        WindowFakes fakes;
        FakeClock clock(0);
        audio::VirtualInput input;
        CKestruneDlg::Services services = fakes.Services(clock);
        services.scenarios = &fakes.files;
        services.input = &input;
        CKestruneDlg window(services);
        window.Start({.stationDir = fakes.dir.path(), .workspace = true});
        QVERIFY(Show(&window));
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto action = [&](const char* name) { return window.findChild<QAction*>(name); };
        auto enabled = [&] {  // Undo and Redo, 1 or 0
            return QString("%1%2")
                .arg(action("actionUndo")->isEnabled())
                .arg(action("actionRedo")->isEnabled());
        };
        const std::vector<uint8_t> recorded{1, 2, 3, 4, 5, 6, 7, 8};
        action("actionRecordStart")->trigger();
        input.Feed(recorded.data(), recorded.size());
        QCOMPARE(enabled(), QString("00"));  // nothing while it runs
        action("actionRecordStop")->trigger();
        QCOMPARE(enabled(), QString("10"));
        QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(window.Waves().waveCount, 0);
        QCOMPARE(enabled(), QString("01"));
        QTest::keyClick(&window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(window.Waves().waveCount, 1);
        QCOMPARE(window.Waves().samples[0], recorded);

        // Reset goes back to the wave as recorded; Undo brings the edit back.
        window.Waves().samples[0][0] = 99;
        action("actionReset")->trigger();
        QCOMPARE(window.Waves().samples[0], recorded);
        action("actionUndo")->trigger();
        QCOMPARE(window.Waves().samples[0][0], uint8_t{99});
        QVERIFY(fakes.prompter.messages.empty());
    }
};

QTEST_MAIN(UndoWindowTest)
#include "UndoWindowTest.moc"
