// The vowel discrimination dialog on its own, then the subject's whole
// session through the real windows with a scripted listener; the result
// workbook is read back by LibreOffice.

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>

#include <cmath>

#include "AppTestSupport.h"
#include "SessionKit.h"
#include "app/battery/AutoTest6.h"
#include "app/battery/TestDispatcher.h"
#include "core/util/Clock.h"
#include "sheet/SpreadSheet.h"
#include "support/LibreOffice.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class SessionTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir folder_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<SoundBench> bench_;
    std::unique_ptr<CMainTestPanel> panel_;

    std::vector<store::Row> Query(const QString& sql) { return station_->Query(sql); }
    std::vector<store::Row> Records() {
        return Query(QStringLiteral("SELECT * FROM NewSyllableMaskRecord ORDER BY rowid"));
    }

    // Open pairs: (0,0) and (0,1) from -5 down to -10, (2,3) from 0 to -5;
    // INTERVAL -5, no misses tolerated.
    QString Scenario(const char* type, int autoConfirm = 0, int beep = 0, int rests = 0) {
        const KitPairs open{{{0, 0}, {-5, -10}}, {{0, 1}, {-5, -10}}, {{2, 3}, {0, -5}}};
        const QString extra = QStringLiteral("MISSPERMISSION=0\r\nAUTOCONFIRM=%1\r\nBEEP=%2\r\n")
                                  .arg(autoConfirm)
                                  .arg(beep);
        return WriteFile(folder_.filePath(QStringLiteral("vowel.ini")),
                         KitScenario(folder_.path(), type, open, rests, extra));
    }
    VowelTestServices Services() {
        return {station_->Db(), *prompter_,     bench_->output,
                bench_->clock,  bench_->random, &bench_->timers};
    }
    /** The vowel test on its own, as the launcher opens it. */
    std::unique_ptr<CAutoTest6> Open(int subject, const QString& scenario) {
        VowelTestSetup setup{subject, 2, 40, scenario, folder_.filePath(QStringLiteral("r.xls"))};
        auto dialog = std::make_unique<CAutoTest6>(Services(), setup);
        dialog->show();
        return dialog;
    }
    QString WorkbookFile() const {
        return QString::fromStdString(
            sheet::WorkbookPathFor(folder_.filePath(QStringLiteral("r.xls")).toStdString()));
    }
    static void WaitForAnswerPanel(CAutoTest6& dialog) {
        QTRY_VERIFY(Controls{&dialog}.Button("confirmButton")->isEnabled());
    }

    QString Workbook(const QString& name) const {
        return QString::fromStdString(
            sheet::WorkbookPathFor(SessionResultPath(folder_.path(), name).toStdString()));
    }

    /** The panel's session up to the hidden test with its directions shown. */
    void RegisterAndReachDirections(const QString& name, int age) {
        Click(Controls{panel_.get()}.Button("sessionButton"));
        QVERIFY(!panel_->isVisible());
        QVERIFY(panel_->EntryForm() && panel_->EntryForm()->isVisible());
        QVERIFY(RegisterSubject(*panel_, name, age));
        QVERIFY(panel_->SessionTest() != nullptr);
        QVERIFY(!panel_->EntryForm()->isVisible());
        QVERIFY(panel_->SessionDirections()->isVisible());
        QVERIFY(!panel_->SessionTest()->isVisible());
    }

    void ExpectSessionOver() {
        QTRY_VERIFY(panel_->isVisible());
        QVERIFY(panel_->EntryForm() == nullptr && panel_->SessionTest() == nullptr);
        QVERIFY(Controls{panel_.get()}.Button("practiceButton")->isEnabled());
        // The windows are gone, not just hidden.
        QTRY_VERIFY(QApplication::topLevelWidgets().size() == 1);
    }

  private slots:
    void initTestCase() {
        QVERIFY(folder_.isValid());
        QVERIFY(WriteSessionKit(folder_.path()));
    }

    void init() {
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        panel_.reset();
        bench_ = std::make_unique<SoundBench>();
        panel_ = MakePanel(station_->Db(), *prompter_, *bench_, folder_.path());
        panel_->show();
        QDir(folder_.filePath(QStringLiteral("Data"))).removeRecursively();
        QFile::remove(WorkbookFile());
    }

    void cleanup() {
        panel_.reset();
        QTRY_COMPARE(QApplication::topLevelWidgets().size(), 0);
    }

    // --- The vowel test on its own ---------------------------------------------

    // Subject 1 practises whatever the scenario's type: stored answers, no
    // workbook even with a result path, and no question on closing.
    void practiceStoresAnswersButWritesNoWorkbook() {
        auto dialog = Open(1, Scenario("TEST"));
        Controls ui{dialog.get()};
        QCOMPARE(dialog->windowTitle(), QStringLiteral("脳内音声識別練習をしている"));
        Click(ui.Button("startButton"));
        int answers = 0;
        for (; !dialog->Session()->Over() && answers < 20; ++answers) {
            WaitForAnswerPanel(*dialog);
            Click(ui.Button("dontKnowButton"));
        }
        QTRY_VERIFY(dialog->Ended());
        QCOMPARE(dialog->FinalText(), QStringLiteral("練習を終わり，本番のテストに行きましょう！"));
        QVERIFY(!QFile::exists(WorkbookFile()));
        QCOMPARE(int(Records().size()), answers);
        dialog->reject();
        QVERIFY(prompter_->confirmations.isEmpty());
    }

    // Which key does what is the core's table; here one of each kind reaches it.
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
        QTest::keyClick(dialog.get(), Qt::Key_S);
        QTest::keyClick(dialog.get(), Qt::Key_K);  // two marks: confirm
        QCOMPARE(int(Records().size()), 1);
        QCOMPARE(Records()[0].Int("NSMRValidity"), 2);  // TRY
        WaitForAnswerPanel(*dialog);
        QTest::keyClick(dialog.get(), Qt::Key_K);  // no mark: わからない
        QCOMPARE(int(Records().size()), 2);
        QCOMPARE(Records()[1].Text("NSMRRecognise"), QString());
        prompter_->answers = {true};
    }

    void autoConfirmBeepsAndRests() {
        auto dialog = Open(7, Scenario("MAKEUP", 1, 1, 2));
        Controls ui{dialog.get()};
        bench_->timers.SetRunFreely(false);  // the waits are checked here, step by step
        Click(ui.Button("startButton"));
        const QStringList rest{QStringLiteral("疲れだね、ちょうど休みましょう！"),
                               QStringLiteral("始めましょう！")};
        // Rest point 1: a rest before the first trial and after each answer,
        // the trial two seconds after it.
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
        QVERIFY(bench_->clock.WaitForSleepers(1));  // the first repetition is on the device
        Click(ui.Button("vowelA"));
        QCOMPARE(int(Records().size()), 0);
        Click(ui.Button("vowelO"));  // the second mark answers at once
        QCOMPARE(int(Records().size()), 1);
        QCOMPARE(Records()[0].Text("NSMROther"), QStringLiteral("makeup"));
        // 100 ms of 2000 Hz, once the repetition already sent has played out.
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

    void missingScenario() {
        const QString missing = folder_.filePath(QStringLiteral("missing.ini"));
        auto none = Open(7, missing);
        QVERIFY(!none->Loaded());
        QVERIFY(!Controls{none.get()}.Button("startButton")->isEnabled());
        // The dispatcher runs the vowel test (so the same refusal) and the
        // presentation panel, which finds no entry in an empty start.
        BatteryTestDispatcher dispatcher(Services());
        dispatcher.Run(TestKind::VowelDiscrimination, TestStart{7, missing, 2}, nullptr);
        dispatcher.Run(TestKind::AudioPresentation, TestStart{}, nullptr);
        const QString failed =
            QStringLiteral("Loading configuration file failed!\n") + missing + " can not be read";
        QCOMPARE(prompter_->MessageTexts(), QStringList({failed, failed, "No audio file exits!"}));
    }

    // --- The session ------------------------------------------------------------

    void panelStaysOnTopWithPracticeFocused() {
        QVERIFY(panel_->windowFlags().testFlag(Qt::WindowStaysOnTopHint));
        QTRY_COMPARE(QApplication::focusWidget(), Controls{panel_.get()}.Button("practiceButton"));
    }

    void resultWorkbookPathAndRegistrationRows() {
        QCOMPARE(SessionResultPath(QStringLiteral("/st"), QStringLiteral("O'NEIL HANAKO")),
                 QStringLiteral("/st/Data/O'NEIL HANAKO.xls"));
        QCOMPARE(SessionResultPath(QStringLiteral("/st/"), QStringLiteral("../../etc/x")),
                 QStringLiteral("/st/Data/_._.._etc_x.xls"));

        // Registering twice under one name appends a second block of rows.
        const QString path = SessionResultPath(folder_.path(), QStringLiteral("TWICE"));
        CInformation::Entries entries;
        entries.fullName = QStringLiteral("TWICE");
        QString error;
        QVERIFY2(WriteRegistrationRows(path, entries, 0, &error), qPrintable(error));
        QVERIFY2(WriteRegistrationRows(path, entries, 0, &error), qPrintable(error));
        sheet::CSpreadSheet book(Workbook(QStringLiteral("TWICE")).toStdString(), "Result", false);
        QCOMPARE(book.TotalRows(), 1 + 2 * 11);
        QCOMPARE(book.Image().Rows().at(12).at(0),
                 std::string("TWICE voice separation test result"));
    }

    void measuredSessionFromRegistrationToEvaluation() {
        const QString name = QStringLiteral("O'NEIL HANAKO");
        RegisterAndReachDirections(name, 40);
        QVERIFY(!Controls{panel_.get()}.Button("practiceButton")->isEnabled());
        // The practice subject holds key 1; the subject is the next row.
        const auto subjects = Query(QStringLiteral("SELECT * FROM IndividualInfo ORDER BY IIID"));
        QCOMPARE(subjects.size(), std::size_t{2});
        QCOMPARE(subjects[1].Text("IIName"), name);
        const qint64 subject = subjects[1].Int("IIID");
        QCOMPARE(subject, 2);
        CAutoTest6* test = panel_->SessionTest();
        QCOMPARE(test->Setup().scenarioPath, folder_.filePath(QStringLiteral("config1.ini")));
        QCOMPARE(panel_->ResultPath(), folder_.filePath(QStringLiteral("Data/O'NEIL HANAKO.xls")));
        QVERIFY(QFile::exists(Workbook(name)));
        QCOMPARE(test->PictureFile(), folder_.path() + QStringLiteral("/pics/pic1.bmp"));

        Click(Controls{panel_->SessionDirections()}.Button("nextButton"));
        QVERIFY(test->isVisible());
        QVERIFY(!panel_->SessionDirections()->isVisible());
        Click(Controls{test}.Button("startButton"));

        std::vector<Trial> trials;
        while (!test->Session()->Over()) {
            Trial trial;
            QVERIFY(AnswerTrial(*test, bench_->clock, bench_->output, kKitListener, &trial));
            // Heard: the masking vowel plus the masked one at the pair's level.
            const double gain = std::pow(10.0, trial.level / 20.0);
            QCOMPARE(trial.firstSample, KitVowelValue(trial.masking) +
                                            static_cast<int>(KitVowelValue(trial.masked) * gain));
            trials.push_back(trial);
            QVERIFY(trials.size() < 40);
        }
        QTRY_VERIFY(test->Ended());
        // Two rests over 17 steps, and no other message.
        const QString rest = QStringLiteral("疲れだね、ちょうど休みましょう！");
        const QString resume = QStringLiteral("始めましょう！");
        QCOMPARE(prompter_->MessageTexts(), QStringList({rest, resume, rest, resume}));
        const QString finalText = QStringLiteral(
            "本測定システムでは、貴方の脳内音声識別能力があまりよくはないと判断されています。"
            "働き過ぎないように注意しましょう。\n\n測定結果により，77－83歳の聴覚識別能力でした．");
        QCOMPARE(test->FinalText(), finalText);
        QTRY_VERIFY(test->isVisible());  // again, after the result window

        // One row per answer, stored as it was given; the staircase itself is
        // the core's, its outcome the threshold table read back below.
        const auto rows = Records();
        QCOMPARE(rows.size(), trials.size());
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const store::Row& r = rows[k];
            const QString masked = r.Text("NSMRMaskedContent");
            QCOMPARE(r.Text("NSMRMaskingContent"),
                     QString::fromUtf8(VowelLabel(trials[k].masking)));
            QCOMPARE(masked, QString::fromUtf8(VowelLabel(trials[k].masked)));
            QCOMPARE(r.Int("NSMRSNR"), trials[k].level);
            QCOMPARE(r.Int("IIID"), subject);
            QCOMPARE(r.Int("NSMRVolume"), kKitVolume);
            QCOMPARE(r.Int("NSMRSelfevaluation"), 6);  // the hearing choice: not known
            QCOMPARE(r.Real("NSMRDuration"), 1.25);    // 1650 ms less the 400 ms allowance
            QVERIFY(r.Text("NSMRTime").startsWith(QStringLiteral("20")));
            QCOMPARE(r.Text("NSMROther"), QString());
            QCOMPARE(r.Text("NSMRRecognise"), trials[k].heard ? masked : QString());
        }

        // LibreOffice reads registration rows, threshold table and final text.
        std::string error;
        const auto sheets = kestrune::testing::ReadWithLibreOffice(
            folder_.path().toStdString(), Workbook(name).toStdString(), &error);
        QVERIFY2(error.empty(), error.c_str());
        QVERIFY(sheets.count("Result") == 1);
        auto result = sheets.at("Result");
        const std::string hanako = name.toStdString();
        const kestrune::testing::CsvTable table{
            {"a", "b", "c", "d", "e", "f", "g"},
            {hanako + " voice separation test result"},
            {},
            {"記録時刻：", FormatLocalTime(1'700'000'000)},  // registered before any answer
            {"被験者名前：", hanako},
            {"性別：", "知らない"},
            {"年齢：", "40"},
            {"利き側：", "知らない"},
            {"耳の聴力：", "知らない"},
            {"その他："},
            {},
            {},
            {"."},
            {"."},
            {"masked", "あ", "い", "う", "え", "お"},
            {"masking"},
            {"あ", "-15", "-25", "0", "0", "0"},
            {"い", "0", "0", "0", "0", "0"},
            {"う", "0", "0", "0", "0", "0"},
            {"え", "0", "0", "0", "0", "0"},
            {"お", "0", "0", "0", "0", "-10"},
            {"Average of hearing thresthold:", "-5.000000"},
            {"Average of separation thresthold:", "-1.250000"},
            {"."},
            {"."},
            {finalText.toStdString()},
        };
        QCOMPARE(result.size(), table.size());
        for (std::size_t r = 0; r < table.size(); ++r) QCOMPARE(result[r], table[r]);

        // "終了" after the end asks nothing and ends the session.
        Click(Controls{test}.Button("backButton"));
        QVERIFY(prompter_->confirmations.isEmpty());
        ExpectSessionOver();
    }

    void backAndForthKeepsTheWindowsAndTheSubjectRow() {
        RegisterAndReachDirections(QStringLiteral("SATO"), 40);
        CInformation* form = panel_->EntryForm();
        CAutoTest6* test = panel_->SessionTest();
        QCOMPARE(test->Setup().scenarioPath, folder_.filePath(QStringLiteral("config1.ini")));

        // Back to the form: "次へ　＞" corrects the subject (the same row: the
        // trust tests count them), the same directions show.
        Click(Controls{panel_->SessionDirections()}.Button("backButton"));
        QVERIFY(form->isVisible());
        QVERIFY(RegisterSubject(*panel_, QStringLiteral("SATO JIRO"), 45));
        QCOMPARE(panel_->EntryForm(), form);
        QCOMPARE(panel_->SessionTest(), test);
        QVERIFY(panel_->SessionDirections()->isVisible());
        QVERIFY(QFile::exists(Workbook(QStringLiteral("SATO JIRO"))));
        // An age on the same side of 45: the same scenario, the corrected name's workbook.
        QCOMPARE(test->Setup().scenarioPath, folder_.filePath(QStringLiteral("config1.ini")));
        QCOMPARE(test->Session()->SubjectAge(), 45);
        QCOMPARE(test->Setup().resultPath, SessionResultPath(folder_.path(), "SATO JIRO"));

        // "＜　戻る" leads to the panel; "テスト開始" shows the form as it was typed.
        Click(Controls{panel_->SessionDirections()}.Button("backButton"));
        Click(Controls{form}.Button("backButton"));
        QVERIFY(panel_->isVisible() && !form->isVisible());
        QVERIFY(!Controls{panel_.get()}.Button("practiceButton")->isEnabled());
        Click(Controls{panel_.get()}.Button("sessionButton"));
        QCOMPARE(panel_->EntryForm(), form);
        QCOMPARE(Controls{form}.Get<QLineEdit>("nameEdit")->text(), QStringLiteral("SATO JIRO"));

        // Its close box asks; Cancel keeps the session, OK ends it.
        prompter_->answers = {false, true};
        QVERIFY(!form->close());
        QVERIFY(form->isVisible() && panel_->SessionTest() == test);
        QVERIFY(form->close());
        QCOMPARE(prompter_->confirmations, QStringList(2, kSessionEndQuestion));
        ExpectSessionOver();
        QVERIFY(prompter_->messages.empty());
    }

    // A missing scenario keeps the subject at the form, a workbook that
    // cannot be written is reported and the session goes on. The
    // directions' close box ends the session.
    void registrationWithABlockedFile_data() {
        QTest::addColumn<QString>("blocked");  // made unusable while registering
        QTest::addColumn<QString>("message");  // "@": the blocked path
        QTest::newRow("no scenario") << "config1.ini"
                                     << "Loading configuration file failed!\n@ can not be read";
        QTest::newRow("a file named Data") << "Data"
                                           << "Can not make the folder @";
        // An older station's workbook that is no binary workbook is named
        // and kept; nothing is written beside it.
        QTest::newRow("a damaged older workbook")
            << "Data/ITO.xls"
            << "@: cannot read this binary Excel workbook (.xls): not a binary Excel workbook "
               "(it does not start as a compound file)\n";
    }
    void registrationWithABlockedFile() {
        QFETCH(QString, blocked);
        QFETCH(QString, message);
        const QString path = folder_.filePath(blocked);
        const bool isScenario = blocked.endsWith(QStringLiteral(".ini"));
        if (isScenario)
            QVERIFY(QFile::rename(path, path + QStringLiteral(".away")));
        else
            QVERIFY(QDir().mkpath(QFileInfo(path).path()) && WriteKitFile(path, "not a folder"));
        Click(Controls{panel_.get()}.Button("sessionButton"));
        const bool registered = RegisterSubject(*panel_, QStringLiteral("ITO"), 30);
        if (isScenario)
            QFile::rename(path + QStringLiteral(".away"), path);
        else
            QFile::remove(path);
        QVERIFY(registered);
        if (blocked.endsWith(QStringLiteral(".xls"))) QVERIFY(!QFile::exists(path + 'x'));
        QCOMPARE(prompter_->MessageTexts().join(""), message.replace('@', path));
        if (isScenario) {
            QVERIFY(panel_->SessionTest() == nullptr);
            QVERIFY(panel_->EntryForm()->isVisible());
            // Once the file is back the same subject goes on: no second row.
            QVERIFY(RegisterSubject(*panel_, QStringLiteral("ITO"), 30));
            QCOMPARE(Query(QStringLiteral("SELECT * FROM IndividualInfo")).size(), std::size_t{2});
        }
        QVERIFY(panel_->SessionDirections()->isVisible());
        QCOMPARE(panel_->SessionTest()->Setup().scenarioPath,
                 folder_.filePath(QStringLiteral("config1.ini")));
        prompter_->answers = {true};
        QVERIFY(panel_->SessionDirections()->close());
        QCOMPARE(prompter_->confirmations, QStringList{kSessionEndQuestion});
        ExpectSessionOver();
    }

    void closingTheTestEarlyKeepsTheTableAndEndsTheSession() {
        const QString name = QStringLiteral("SUZUKI");
        RegisterAndReachDirections(name, 30);
        CAutoTest6* test = panel_->SessionTest();
        Click(Controls{panel_->SessionDirections()}.Button("nextButton"));
        Click(Controls{test}.Button("startButton"));
        Trial trial;
        QVERIFY(AnswerTrial(*test, bench_->clock, bench_->output, Listener{}, &trial));
        // The threshold table's last row in the workbook; empty while none.
        const auto lastTableRow = [&] {
            sheet::CSpreadSheet book(Workbook(name).toStdString(), "Result", false);
            for (const sheet::Row& row : book.Image().Rows())
                if (!row.empty() && row[0] == "お") return row;
            return sheet::Row{};
        };
        // "終了" asks; Cancel keeps the run and writes nothing, OK ends it.
        prompter_->answers = {false, true};
        Click(Controls{test}.Button("backButton"));
        QVERIFY(test->isVisible());
        QVERIFY(lastTableRow().empty());
        Click(Controls{test}.Button("backButton"));
        QCOMPARE(prompter_->confirmations,
                 QStringList(2, QStringLiteral("テストがまだ終わりません，テスト結果が取れない．\n "
                                               "確かに終了しますか?")));
        ExpectSessionOver();
        QCOMPARE(Records().size(), std::size_t{1});
        // The table as it stood: every open pair still "Null".
        QCOMPARE(lastTableRow().at(5), std::string("Null"));
    }
};

QTEST_MAIN(SessionTest)
#include "SessionTest.moc"
