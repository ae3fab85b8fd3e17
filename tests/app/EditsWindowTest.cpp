// The Process menu's dialog-free edits reached from the main window; what
// they do to the samples is tested in the core.

#include <QAction>

#include "AppTestSupport.h"
#include "WindowFakes.h"
#include "app/KestruneDlg.h"
#include "core/dsp/Edits.h"
#include "core/util/Clock.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class EditsWindowTest : public QObject {
    Q_OBJECT

    WindowFakes fakes_;
    FakeClock clock_;
    std::unique_ptr<CKestruneDlg> window_;

    QAction* Action(const char* name) { return Controls{window_.get()}.Get<QAction>(name); }
    std::string Name() { return window_->Waves().names[0]; }

  private slots:
    void menuCommandsReachTheEdits() {
        window_ = std::make_unique<CKestruneDlg>(fakes_.Services(clock_));
        QVERIFY(Show(window_.get()));
        const std::vector<uint8_t> bytes{0x10, 0x00, 0x00, 0x80};  // 16, -32768
        const QString path = fakes_.dir.filePath(QStringLiteral("two.wav"));
        WriteWaveFile(path.toStdString(), PcmFormat(1, 22050, 16), bytes.data(), 2);
        window_->OpenWaveFiles({path});

        Action("actionVerticalReverse")->trigger();
        QCOMPARE(Name(), std::string(edits::kVerticalReversed));
        QCOMPARE(window_->Waves().samples[0][0], uint8_t(0xF0));  // -16

        // Cut left arms its tool and renames the wave; a second choice releases it.
        Action("actionCutLeft")->trigger();
        QCOMPARE(Name(), std::string(edits::kEditedWave));
        QVERIFY(window_->CutTool() == -1 && Action("toolCutLeft")->isChecked());
        Action("actionCutLeft")->trigger();
        QVERIFY(window_->CutTool() == 0 && !Action("actionCutLeft")->isChecked());
    }
};

QTEST_MAIN(EditsWindowTest)
#include "EditsWindowTest.moc"
