// The vowel discrimination dialog driven through its buttons and keys on the
// offscreen platform: the stimulus plays on a virtual output on a manual
// clock, answers land in a fresh station database and the threshold table in
// a workbook.

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>

#include <map>

#include "AppTestSupport.h"
#include "SessionKit.h"
#include "app/battery/AutoTest6.h"
#include "app/battery/TestDispatcher.h"
#include "audio/VirtualOutput.h"
#include "audio/WaitClock.h"
#include "sheet/SpreadSheet.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class AutoTest6Test : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<SoundBench> bench_;

    // Open pairs: (0,0) and (0,1) from -5 down to -10, (2,3) from 0 to -5;
    // INTERVAL -5, no misses tolerated.
    QString Scenario(const char* type, int autoConfirm = 0, int beep = 0, int rests = 0) {
        const KitPairs open{{{0, 0}, {-5, -10}}, {{0, 1}, {-5, -10}}, {{2, 3}, {0, -5}}};
        const QString extra = QStringLiteral("MISSPERMISSION=0\r\nAUTOCONFIRM=%1\r\nBEEP=%2\r\n")
                                  .arg(autoConfirm)
                                  .arg(beep);
        const QString path = dir_.filePath(QStringLiteral("vowel.ini"));
        if (!WriteKitFile(path, KitScenario(dir_.path(), type, open, rests, extra)))
            qFatal("cannot write");
        return path;
    }

    VowelTestServices Services() {
        return {station_->Db(), *prompter_,     bench_->output,
                bench_->clock,  bench_->random, &bench_->timers};
    }

    std::unique_ptr<CAutoTest6> Open(int subject, const QString& scenario, int age = 40) {
        VowelTestSetup setup{subject, 2, age, scenario, dir_.filePath(QStringLiteral("r.xls"))};
        auto dialog = std::make_unique<CAutoTest6>(Services(), setup);
        dialog->show();
        return dialog;
    }

    QString WorkbookFile() const {
        return QString::fromStdString(
            sheet::WorkbookPathFor(dir_.filePath(QStringLiteral("r.xls")).toStdString()));
    }

    std::vector<store::Row> Records() {
        auto rows =
            station_->Db().Query({QStringLiteral("SELECT * FROM NewSyllableMaskRecord"), {}});
        if (!rows.Ok()) qFatal("%s", qPrintable(rows.error->Text()));
        return rows.value;
    }

    static void WaitForAnswerPanel(CAutoTest6& dialog) {
        QTRY_VERIFY(Controls{&dialog}.Button("confirmButton")->isEnabled());
    }

  private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        // The session kit's recordings: vowel v a constant (v + 1) * 1000.
        QVERIFY(WriteSessionKit(dir_.path()));
    }

    void init() {
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        bench_ = std::make_unique<SoundBench>();
        QFile::remove(WorkbookFile());
    }

    void practiceStoresAnswersButWritesNoWorkbook() {
        auto dialog = Open(1, Scenario("TEST"));
        QCOMPARE(dialog->windowTitle(), QStringLiteral("脳内音声識別練習をしている"));
        Controls ui{dialog.get()};
        QCOMPARE(ui.Get<QLabel>("guide")->text(),
                 QStringLiteral("「開始」ボタンを押して，練習を始めます！"));
        QCOMPARE(ui.Button("backButton")->text(), QStringLiteral("終了"));
        QVERIFY(!ui.Button("confirmButton")->isEnabled());

        Click(ui.Button("startButton"));
        int answers = 0;
        while (!dialog->Session()->Over()) {
            WaitForAnswerPanel(*dialog);
            Click(ui.Button("dontKnowButton"));
            ++answers;
            QVERIFY(answers < 20);
        }
        QTRY_VERIFY(dialog->Ended());
        QCOMPARE(dialog->FinalText(), QStringLiteral("練習を終わり，本番のテストに行きましょう！"));
        QTRY_VERIFY(dialog->isVisible());  // shown again after the result window
        QVERIFY(!QFile::exists(WorkbookFile()));
        // With no misses tolerated a wrong answer at the first level of a
        // pair whose level two steps easier would be above 0 finishes it.
        QCOMPARE(answers, 3);
        QCOMPARE(static_cast<int>(Records().size()), answers);
        // Practice closes without the question.
        dialog->reject();
        QVERIFY(prompter_->confirmations.isEmpty());
    }

    void keysMarkAndAnswer() {
        auto dialog = Open(7, Scenario("TRY"));
        Controls ui{dialog.get()};
        QTest::keyClick(dialog.get(), Qt::Key_A);  // before the start: nothing
        QCOMPARE(dialog->Selection().Count(), 0);
        Click(ui.Button("startButton"));
        WaitForAnswerPanel(*dialog);
        QTest::keyClick(dialog.get(), Qt::Key_D);
        QVERIFY(ui.Button("vowelU")->isChecked());
        QCOMPARE(ui.Get<QLabel>("guide")->text(),
                 QStringLiteral("もう一つの母音を選択してください"));
        QTest::keyClick(dialog.get(), Qt::Key_H);  // needs two marks
        QCOMPARE(static_cast<int>(Records().size()), 0);
        QTest::keyClick(dialog.get(), Qt::Key_F);
        QCOMPARE(ui.Get<QLabel>("guide")->text(), QStringLiteral("「確認」ボタンを押してください"));
        QTest::keyClick(dialog.get(), Qt::Key_G);  // a third mark: only お stays
        QCOMPARE(dialog->Selection().Count(), 1);
        QVERIFY(ui.Button("vowelO")->isChecked());
        QVERIFY(!ui.Button("vowelU")->isChecked());
        QTest::keyClick(dialog.get(), Qt::Key_L);  // needs no marks
        QCOMPARE(static_cast<int>(Records().size()), 0);
        QTest::keyClick(dialog.get(), Qt::Key_S);
        QTest::keyClick(dialog.get(), Qt::Key_K);  // two marks: confirm
        QCOMPARE(static_cast<int>(Records().size()), 1);
        QCOMPARE(Records()[0].Int("NSMRValidity"), 2);  // TRY
        WaitForAnswerPanel(*dialog);
        QTest::keyClick(dialog.get(), Qt::Key_J);  // no mark: nothing
        QTest::keyClick(dialog.get(), Qt::Key_K);  // no mark: わからない
        QCOMPARE(static_cast<int>(Records().size()), 2);
        QCOMPARE(Records()[1].Text("NSMRRecognise"), QString());
        // Closing a test run early asks; Cancel keeps it open, OK writes the table.
        prompter_->answers = {false, true};
        dialog->reject();
        QVERIFY(dialog->isVisible());
        QVERIFY(!QFile::exists(WorkbookFile()));
        dialog->reject();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(prompter_->confirmations,
                 QStringList(2, QStringLiteral("テストがまだ終わりません，テスト結果が取れない．\n "
                                               "確かに終了しますか?")));
        QVERIFY(QFile::exists(WorkbookFile()));
    }

    void autoConfirmBeepsAndRests() {
        auto dialog = Open(7, Scenario("MAKEUP", 1, 1, 2));
        Controls ui{dialog.get()};
        bench_->timers.SetRunFreely(false);  // the waits are checked here, step by step
        Click(ui.Button("startButton"));
        const QStringList rest{QStringLiteral("疲れだね、ちょうど休みましょう！"),
                               QStringLiteral("始めましょう！")};
        // Seven steps over three rests: the rest point is 1, a rest before
        // the first trial and after each answer; the trial plays two seconds
        // after the rest.
        QCOMPARE(dialog->Session()->RestPoint(), 1);
        const auto restThenTrial = [&](const QStringList& messages) {
            bench_->timers.AdvanceMs(0);
            QCOMPARE(prompter_->MessageTexts(), messages);
            bench_->timers.AdvanceMs(1999);
            QVERIFY(!ui.Button("confirmButton")->isEnabled());
            bench_->timers.AdvanceMs(1);
            QVERIFY(ui.Button("confirmButton")->isEnabled());
        };
        restThenTrial(rest);
        Click(ui.Button("vowelA"));
        QCOMPARE(static_cast<int>(Records().size()), 0);
        Click(ui.Button("vowelO"));  // the second mark answers at once
        QCOMPARE(static_cast<int>(Records().size()), 1);
        QCOMPARE(Records()[0].Text("NSMROther"), QStringLiteral("makeup"));
        // The beep: 100 ms of 2000 Hz on the output, once the repetition
        // already sent has played out.
        const int sounding = kKitSamples * 1000 / 8000;
        bench_->clock.AdvanceMs(sounding);
        bench_->timers.AdvanceMs(sounding);
        QTRY_COMPARE(bench_->output.OpenCount(), 2);
        bench_->clock.AdvanceMs(100);
        const auto heard = bench_->output.Heard();
        const audio::HeardSegment& beep = heard.back();
        QCOMPARE(beep.Frames(), std::size_t{2205});
        int crossings = 0;
        for (std::size_t n = 1; n < beep.Frames(); ++n)
            crossings += (beep.Sample(n - 1) < 0) != (beep.Sample(n) < 0);
        QVERIFY(std::abs(crossings - 400) <= 2);
        restThenTrial(rest + rest);
        prompter_->answers = {true};
    }

    void missingScenarioOrRecordings() {
        auto none = Open(7, dir_.filePath(QStringLiteral("missing.ini")));
        QVERIFY(!none->Loaded());
        QVERIFY(!Controls{none.get()}.Button("startButton")->isEnabled());
        QCOMPARE(prompter_->MessageTexts(),
                 QStringList({QStringLiteral("Loading configuration file failed!\n") +
                              dir_.filePath(QStringLiteral("missing.ini")) +
                              QStringLiteral(" can not be read")}));
        prompter_->messages.clear();

        // A recording removed after the scenario was checked: the trial
        // plays nothing and takes no answer.
        const QString scenario = Scenario("TEST");
        auto dialog = Open(7, scenario);
        QFile::rename(dir_.filePath(QStringLiteral("sound/1.wav")),
                      dir_.filePath(QStringLiteral("sound/x.wav")));
        Click(Controls{dialog.get()}.Button("startButton"));
        QTRY_COMPARE(prompter_->messages.size(), std::size_t{1});
        QVERIFY(!Controls{dialog.get()}.Button("confirmButton")->isEnabled());
        QFile::rename(dir_.filePath(QStringLiteral("sound/x.wav")),
                      dir_.filePath(QStringLiteral("sound/1.wav")));
        const int pair = dialog->Session()->CurrentPair();
        // Every open pair involves あ: as masking vowel, or as masked one.
        QCOMPARE(prompter_->MessageTexts(),
                 QStringList({pair % 5 == 0 ? QStringLiteral("Invalid path or file name!\nMasked "
                                                             "wave file can not be opened!")
                                            : QStringLiteral("Invalid path or file name!\nMasking "
                                                             "wave file can not be opened!")}));
        QVERIFY(!dialog->Playing());
        prompter_->answers = {true};
    }

    void dispatcherRunsTheVowelTestOnly() {
        BatteryTestDispatcher dispatcher(Services());
        dispatcher.Run(TestKind::VowelDiscrimination,
                       TestStart{7, dir_.filePath(QStringLiteral("missing.ini")), 2}, nullptr);
        dispatcher.Run(TestKind::AudioPresentation, TestStart{}, nullptr);
        QCOMPARE(prompter_->MessageTexts(),
                 QStringList({QStringLiteral("Loading configuration file failed!\n") +
                                  dir_.filePath(QStringLiteral("missing.ini")) +
                                  QStringLiteral(" can not be read"),
                              QStringLiteral("PLAY tests are not available in this version")}));
    }
};

QTEST_MAIN(AutoTest6Test)
#include "AutoTest6Test.moc"
