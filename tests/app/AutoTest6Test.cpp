// The vowel discrimination dialog driven through its buttons and keys on the
// offscreen platform: the stimulus plays on a virtual output on a manual
// clock, answers land in a fresh station database and the threshold table in
// a workbook.

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>

#include <cmath>
#include <map>

#include "AppTestSupport.h"
#include "app/battery/AutoTest6.h"
#include "app/battery/TestDispatcher.h"
#include "audio/VirtualOutput.h"
#include "audio/WaitClock.h"
#include "core/wave/WaveFile.h"
#include "sheet/SpreadSheet.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

constexpr int kSamples = 400;  // 50 ms at 8000 Hz

// Vowel v (0 ... 4) is a constant wave of (v + 1) * 1000.
int VowelValue(int v) {
    return (v + 1) * 1000;
}

struct Expected {
    QString masking, masked, recognised;
    int snr = 0;
    double state = 0;
    int validity = 0;
};

}  // namespace

class AutoTest6Test : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir dir_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<audio::ManualWaitClock> clock_;
    std::unique_ptr<audio::VirtualOutput> output_;
    std::unique_ptr<CrtRandom> random_;

    // Open pairs: (0,0) and (0,1) from -5 down to -10, (2,3) from 0 to -5;
    // INTERVAL -5, no misses tolerated.
    QString Scenario(const char* type, int autoConfirm = 0, int beep = 0, int rests = 0) {
        QString text = QStringLiteral(
                           "[INFO]\nTESTTYPE=NEWSYLLABLEMASKING\nTOTAL=1\nFILEPATH=%1/\n"
                           "[DATA]\nVOLUME=60\nINTERVAL=-5\nTYPE=%2\nMISSPERMISSION=0\n"
                           "RESTPERMISSION=%3\nONEPLAYTIMES=1\nTWOPLAYTIMES=2\nAUTOCONFIRM=%4\n"
                           "BEEP=%5\n")
                           .arg(dir_.path(), QString::fromLatin1(type))
                           .arg(rests)
                           .arg(autoConfirm)
                           .arg(beep);
        const std::map<std::pair<int, int>, std::pair<int, int>> open{
            {{0, 0}, {-5, -10}}, {{0, 1}, {-5, -10}}, {{2, 3}, {0, -5}}};
        for (int i = 0; i < 5; ++i) {
            text += QStringLiteral("[DATA%1]\n").arg(i + 1);
            for (int j = 0; j < 5; ++j) {
                auto found = open.find({i, j});
                const auto [begin, end] = found == open.end() ? std::pair{-30, -20} : found->second;
                text += QStringLiteral("BEGIN%1=%2\nEND%1=%3\n").arg(j + 1).arg(begin).arg(end);
            }
        }
        const QString path = dir_.filePath(QStringLiteral("vowel.ini"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write");
        file.write(text.toUtf8());
        return path;
    }

    std::unique_ptr<CAutoTest6> Open(int subject, const QString& scenario, int age = 40) {
        VowelTestServices services{station_->Db(), *prompter_, *output_, *clock_, *random_, 30};
        VowelTestSetup setup{subject, 2, age, scenario, dir_.filePath(QStringLiteral("r.xls"))};
        auto dialog = std::make_unique<CAutoTest6>(services, setup);
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
        for (int v = 0; v < 5; ++v) {
            std::vector<std::uint8_t> bytes(kSamples * 2);
            for (int n = 0; n < kSamples; ++n) {
                const auto u = static_cast<std::uint16_t>(VowelValue(v));
                bytes[2 * n] = static_cast<std::uint8_t>(u & 0xFF);
                bytes[2 * n + 1] = static_cast<std::uint8_t>(u >> 8);
            }
            QVERIFY(WriteWaveFile(dir_.filePath(QStringLiteral("%1.wav").arg(v + 1)).toStdString(),
                                  PcmFormat(1, 8000, 16), bytes.data(), kSamples));
        }
    }

    void init() {
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        output_.reset();  // it reads the clock it was made on
        clock_ = std::make_unique<audio::ManualWaitClock>(1'700'000'000, 10'000);
        output_ = std::make_unique<audio::VirtualOutput>(*clock_);
        random_ = std::make_unique<CrtRandom>();
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

    void scriptedRunStoresEveryAnswerAndTheTable() {
        auto dialog = Open(7, Scenario("TEST"), 60);
        QCOMPARE(dialog->windowTitle(), QStringLiteral("脳内音声識別テストをしている"));
        Controls ui{dialog.get()};
        Click(ui.Button("startButton"));
        // The listener hears the masked vowel down to -5 dB and no lower.
        std::vector<Expected> expected;
        std::map<int, int> misses;
        while (!dialog->Session()->Over()) {
            WaitForAnswerPanel(*dialog);
            const int pair = dialog->Session()->CurrentPair();
            const int i = pair / 5, j = pair % 5;
            const VowelPair& p = dialog->Session()->Pairs()[static_cast<size_t>(pair)];
            // The mix reaches the output: masking plus the attenuated masked vowel.
            QVERIFY(clock_->WaitForSleepers(1));  // the worker has queued the mix
            clock_->AdvanceMs(20);
            const auto heard = output_->Heard();
            QVERIFY(!heard.empty());
            const int gain = static_cast<int>(VowelValue(j) * std::pow(10.0, p.level / 20.0));
            QCOMPARE(heard.back().Sample(0), VowelValue(i) + gain);

            Expected e{QString::fromUtf8(VowelLabel(i)),
                       QString::fromUtf8(VowelLabel(j)),
                       {},
                       p.level,
                       0,
                       1};
            const bool hears = p.level >= -5;
            if (hears) {
                static const char* const kButtons[] = {"vowelA", "vowelI", "vowelU", "vowelE",
                                                       "vowelO"};
                Click(ui.Button(kButtons[i]));
                if (i != j) Click(ui.Button(kButtons[j]));
                QCOMPARE(dialog->Selection().Count(), i == j ? 1 : 2);
                Click(ui.Button(i == j ? "singleButton" : "confirmButton"));
                e.recognised = QString::fromUtf8(VowelLabel(j));
                e.state = 1;
            } else {
                Click(ui.Button("dontKnowButton"));
                e.validity = misses[pair]++ == 0 && p.level == p.begin ? 3 : 1;
            }
            QCOMPARE(dialog->Selection().Count(), 0);
            expected.push_back(e);
            QVERIFY(expected.size() < 30);
        }
        QTRY_VERIFY(dialog->Ended());
        QVERIFY(prompter_->messages.empty());  // every row and the table were written
        // (0,0), (0,1): -5 heard, -10 not: finished at -10. (2,3): 0 and -5
        // heard, the step to -10 passes its end and finishes it there.
        QCOMPARE(expected.size(), std::size_t{6});

        const auto rows = Records();
        QCOMPARE(rows.size(), expected.size());
        for (std::size_t k = 0; k < rows.size(); ++k) {
            const store::Row& r = rows[k];
            const Expected& e = expected[k];
            QCOMPARE(r.Int("IIID"), 7);
            QCOMPARE(r.Int("NSMRVolume"), 60);
            QCOMPARE(r.Int("NSMRSelfevaluation"), 2);
            QCOMPARE(r.Text("NSMRMaskingContent"), e.masking);
            QCOMPARE(r.Text("NSMRMaskedContent"), e.masked);
            QCOMPARE(r.Int("NSMRSNR"), e.snr);
            QCOMPARE(r.Text("NSMRRecognise"), e.recognised);
            QCOMPARE(r.Real("NSMRState"), e.state);
            QCOMPARE(r.Int("NSMRValidity"), e.validity);
            QCOMPARE(r.Text("NSMROther"), QString());
            // 20 ms after the play started, less the 400 ms allowance: 0.
            QCOMPARE(r.Real("NSMRDuration"), 0.0);
            QVERIFY(!r.IsNull("NSMRTime"));
        }

        QVERIFY(QFile::exists(WorkbookFile()));
        sheet::CSpreadSheet book(WorkbookFile().toStdString(), "Result", false);
        QVERIFY(book.SheetExists());
        std::vector<sheet::Row> all{book.Image().FieldNames()};
        for (const auto& row : book.Image().Rows()) all.push_back(row);
        auto rowStarting = [&](const std::string& first) -> sheet::Row {
            for (const auto& row : all)
                if (!row.empty() && row[0] == first) return row;
            return sheet::Row(6);
        };
        QCOMPARE(all.front().at(0), std::string("."));
        QCOMPARE(rowStarting("あ").at(1), std::string("-10"));
        QCOMPARE(rowStarting("あ").at(2), std::string("-10"));
        QCOMPARE(rowStarting("う").at(4), std::string("-10"));
        QCOMPARE(rowStarting("Average of separation thresthold:").at(1), std::string("-1.000000"));
        QVERIFY(std::any_of(all.begin(), all.end(), [&](const sheet::Row& row) {
            return !row.empty() && QString::fromStdString(row[0]) == dialog->FinalText();
        }));
        QVERIFY(dialog->FinalText().contains(QStringLiteral("歳の聴覚識別能力でした．")));
        dialog->reject();  // over: no question
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
        Click(ui.Button("startButton"));
        WaitForAnswerPanel(*dialog);
        Click(ui.Button("vowelA"));
        QCOMPARE(static_cast<int>(Records().size()), 0);
        Click(ui.Button("vowelO"));  // the second mark answers at once
        QCOMPARE(static_cast<int>(Records().size()), 1);
        QCOMPARE(Records()[0].Text("NSMROther"), QStringLiteral("makeup"));
        // The beep: 100 ms of 2000 Hz on the output.
        clock_->AdvanceMs(100);
        const auto heard = output_->Heard();
        const audio::HeardSegment& beep = heard.back();
        QCOMPARE(beep.Frames(), std::size_t{2205});
        int crossings = 0;
        for (std::size_t n = 1; n < beep.Frames(); ++n)
            crossings += (beep.Sample(n - 1) < 0) != (beep.Sample(n) < 0);
        QVERIFY(std::abs(crossings - 400) <= 2);
        // Seven steps over three rests: the rest point is 1; a rest after each answer.
        QCOMPARE(dialog->Session()->RestPoint(), 1);
        QTRY_COMPARE(prompter_->MessageTexts(),
                     QStringList({QStringLiteral("疲れだね、ちょうど休みましょう！"),
                                  QStringLiteral("始めましょう！")}));
        QVERIFY(!ui.Button("confirmButton")->isEnabled());  // 2 s before the next trial
        WaitForAnswerPanel(*dialog);
        prompter_->answers = {true};
    }

    void missingScenarioOrRecordings() {
        auto none = Open(7, dir_.filePath(QStringLiteral("missing.ini")));
        QVERIFY(!none->Loaded());
        QVERIFY(!Controls{none.get()}.Button("startButton")->isEnabled());
        QCOMPARE(prompter_->MessageTexts(),
                 QStringList({QStringLiteral("Loading configuration file failed!")}));
        prompter_->messages.clear();

        const QString scenario = Scenario("TEST");
        QFile::rename(dir_.filePath(QStringLiteral("1.wav")),
                      dir_.filePath(QStringLiteral("x.wav")));
        auto dialog = Open(7, scenario);
        Click(Controls{dialog.get()}.Button("startButton"));
        WaitForAnswerPanel(*dialog);
        QFile::rename(dir_.filePath(QStringLiteral("x.wav")),
                      dir_.filePath(QStringLiteral("1.wav")));
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
        VowelTestServices services{station_->Db(), *prompter_, *output_, *clock_, *random_, 30};
        BatteryTestDispatcher dispatcher(services);
        dispatcher.Run(TestKind::VowelDiscrimination,
                       TestStart{7, dir_.filePath(QStringLiteral("missing.ini")), 2}, nullptr);
        dispatcher.Run(TestKind::AudioPresentation, TestStart{}, nullptr);
        QCOMPARE(prompter_->MessageTexts(),
                 QStringList({QStringLiteral("Loading configuration file failed!"),
                              QStringLiteral("PLAY tests are not available in this version")}));
    }
};

QTEST_MAIN(AutoTest6Test)
#include "AutoTest6Test.moc"
