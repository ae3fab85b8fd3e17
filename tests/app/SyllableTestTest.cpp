// The interrupted speech dialog with a scripted listener on the virtual
// output: the listener tells the syllables apart by what reaches the
// headphones (each file is a level of its own), answers by typing or on the
// kana table, pauses and rolls back; the BasicRecord and StatisticalRecord
// rows they leave and the rating at the end.

#include <QDir>

#include <cmath>

#include "AppTestSupport.h"
#include "SessionKit.h"
#include "app/battery/AutoTest4.h"
#include "app/battery/TestDispatcher.h"
#include "core/kana/KanaTable.h"
#include "store/Results.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

constexpr int kRate = 8000;
constexpr int kFrames = 800;  // 100 ms
constexpr int kSubject = 7;

/** Syllable n is a constant wave of n * 100. */
int LevelOf(int syllable) {
    return syllable * 100;
}

QString Rating(double rate) {
    return QString::fromStdString(RatingText(rate));
}

}  // namespace

class SyllableTestTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir folder_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<SoundBench> bench_;
    std::unique_ptr<CAutoTest4> dialog_;

    VowelTestServices Services() {
        return {station_->Db(), *prompter_,      bench_->output, bench_->clock,
                bench_->random, &bench_->timers, folder_.path()};
    }
    /** TYPE=TRAIN; items "BEGIN END NUMBER DUTYCYCLE". */
    QString Scenario(const QStringList& items) {
        QString text = QStringLiteral(
                           "[INFO]\r\nTESTTYPE=SYLLABLE\r\nTOTAL=%1\r\nTYPE=TRAIN\r\n"
                           "FILEPATH=kana\\\r\n")
                           .arg(items.size());
        for (int i = 0; i < items.size(); ++i) {
            const QStringList v = items[i].split(QLatin1Char(' '));
            text += QStringLiteral(
                        "[DATA%1]\r\nTYPEMASK=8\r\nPLAYSPEED=1\r\nSNR=0\r\nCYCLE=20\r\n"
                        "DUTYCYCLE=%5\r\nBEGIN=%2\r\nEND=%3\r\nNUMBER=%4\r\n")
                        .arg(i + 1)
                        .arg(v[0], v[1], v[2], v[3]);
        }
        return WriteFile(folder_.filePath(QStringLiteral("syllable.ini")), text.toUtf8());
    }
    void Open(const QString& scenario) {
        dialog_ =
            std::make_unique<CAutoTest4>(Services(), SyllableTestSetup{kSubject, 3, scenario});
        dialog_->show();
    }
    Controls Ui() { return Controls{dialog_.get()}; }

    /** Waits for syllable `n` of the run to reach the headphones, lets it play
     *  out (100 ms) and returns the kana it was. */
    QString Hear(int n) {
        if (!QTest::qWaitFor([&] { return bench_->output.OpenCount() == n; })) return {};
        if (!QTest::qWaitFor([&] { return bench_->output.Rate() > 0; })) return {};
        bench_->clock.AdvanceMs(100);
        const auto heard = bench_->output.Heard();
        if (heard.empty() || heard.back().Frames() != std::size_t{kFrames}) return {};
        // Half of every 160-frame period is heard: 80 frames of the level, 80 of silence.
        for (std::size_t f = 0; f < heard.back().Frames(); ++f)
            if (heard.back().Sample(f) != (f % 160 < 80 ? heard.back().Sample(0) : 0)) return {};
        return QString::fromStdString(SyllableToKana(heard.back().Sample(0) / 100));
    }
    /** The listener types `text` (or picks it on the kana table) and confirms. */
    void Answer(const QString& text, bool onTable = false) {
        QTRY_VERIFY(Ui().Button("confirmButton")->isEnabled());
        if (onTable) {
            const QByteArray name = "kana" + QByteArray::number(KanaToSyllable(text.toStdString()));
            Click(Ui().Button(name.constData()));
        } else {
            Ui().Edit("answerEdit")->setText(text);
        }
        Click(Ui().Button("confirmButton"));
    }
    void Press(const char* button) {
        QTRY_VERIFY(Ui().Button(button)->isEnabled());
        Click(Ui().Button(button));
    }
    /** The subject's rows, each its columns joined by spaces: reals to four
     *  digits, empty texts as "-". */
    QStringList Rows(const char* columns, const char* table) {
        QStringList rows;
        for (const store::Row& r :
             station_->Query(QStringLiteral("SELECT %1 FROM %2 WHERE IIID = 7 ORDER BY rowid")
                                 .arg(QLatin1String(columns), QLatin1String(table)))) {
            QStringList cells;
            for (int c = 0; c < r.Size(); ++c) {
                const QVariant v = r.At(c);
                cells << (v.typeId() == QMetaType::Double ? QString::number(v.toDouble(), 'g', 4)
                          : v.toString().isEmpty()        ? QStringLiteral("-")
                                                          : v.toString());
            }
            rows << cells.join(QLatin1Char(' '));
        }
        return rows;
    }
    QStringList Trials() {
        return Rows("BRContent, BRRecognise, BRDuration, BROther, SRID", "BasicRecord");
    }
    /** A BasicRecord row of key 5400 of another subject: every later row counts. */
    void PastTheOldRows() {
        QVERIFY(station_->Db()
                    .Execute({QStringLiteral("INSERT INTO BasicRecord (BRID, IIID, SRID) VALUES "
                                             "(5400, 99, 0)"),
                              {}})
                    .Ok());
    }

  private slots:
    void init() {
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        bench_ = std::make_unique<SoundBench>();
        QVERIFY(QDir(folder_.path()).mkpath(QStringLiteral("kana")));
        for (int n = 1; n <= kKanaCount; ++n) {
            std::vector<std::uint8_t> bytes(kFrames * 2);
            for (int f = 0; f < kFrames; ++f) {
                bytes[2 * f] = static_cast<std::uint8_t>(LevelOf(n) & 0xFF);
                bytes[2 * f + 1] = static_cast<std::uint8_t>(LevelOf(n) >> 8);
            }
            QVERIFY(
                WriteWaveFile(folder_.filePath(QStringLiteral("kana/%1.wav").arg(n)).toStdString(),
                              PcmFormat(1, kRate, 16), bytes.data(), kFrames));
        }
    }
    void cleanup() { dialog_.reset(); }

    // Item 1 (あ ... お, three trials) with a pause; item 2 plays を only.
    void scriptedListenerRowsAndSessions() {
        Open(Scenario({"1 5 3 0.5", "46 46 1 0.5"}));
        QVERIFY(dialog_->Loaded());
        QCOMPARE(dialog_->windowTitle(), QString::fromUtf8(kSyllableCaption));
        QVERIFY(!Ui().Button("confirmButton")->isEnabled());
        QVERIFY(!Ui().Button("rollBackButton")->isEnabled());
        Press("startButton");

        // Answered as the syllable ends: 100 ms, inside the 400 ms allowance.
        const QString first = Hear(1);
        QVERIFY(!first.isEmpty());
        Answer(first);
        // Paused for 3 s; three kana are refused; then nothing recognised.
        const QString second = Hear(2);
        QTRY_VERIFY(Ui().Button("confirmButton")->isEnabled());
        Press("pauseButton");
        QCOMPARE(Ui().Button("pauseButton")->text(), QStringLiteral("続く"));
        QVERIFY(!Ui().Button("confirmButton")->isEnabled());
        bench_->clock.AdvanceMs(3000);
        Press("pauseButton");
        QCOMPARE(Ui().Button("pauseButton")->text(), QStringLiteral("一時停止"));
        bench_->clock.AdvanceMs(1500);
        Answer(QStringLiteral("あいう"));
        QCOMPARE(Ui().Edit("answerEdit")->text(), QString());
        Press("notRecognisedButton");
        QCOMPARE(Trials().value(1), second + " - 4.2 - 1");  // the pause counts here
        // That row is taken back by its key; the third trial's syllable is cut
        // off, and both go back to the item's range.
        QVERIFY(!Hear(3).isEmpty());
        prompter_->answers = {true};
        Press("rollBackButton");
        QVERIFY(!Ui().Button("rollBackButton")->isEnabled());
        QCOMPARE(Trials(), QStringList{first + " " + first + " 0 - 1"});
        // Picked on the kana table, 700 ms after the start; then a wrong kana.
        const QString again = Hear(4);
        bench_->clock.AdvanceMs(600);
        Answer(again, true);
        const QString last = Hear(5);
        Answer(QStringLiteral("ん"));
        // を heard as お, 1 s after the start.
        QCOMPARE(Hear(6), QStringLiteral("を"));
        bench_->clock.AdvanceMs(900);
        Answer(QStringLiteral("お"));

        // No trial of this subject above key 5400: 50 %, "良い".
        QTRY_COMPARE(prompter_->MessageTexts(),
                     QStringList({QString::fromUtf8(kInvalidKanaMessage), Rating(50.0)}));
        QCOMPARE(dialog_->Instruction(), QString::fromUtf8(kCloseText));
        for (const char* b : {"startButton", "confirmButton", "notRecognisedButton"})
            QVERIFY(!Ui().Button(b)->isEnabled());
        QVERIFY(Ui().Button("rollBackButton")->isEnabled());
        QCOMPARE(QSet<QString>({first, again, last}).size(), 3);
        QCOMPARE(Trials(),
                 QStringList({first + " " + first + " 0 - 1", again + " " + again + " 0.3 - 1",
                              last + " ん 0 - 1", QStringLiteral("を を 0.6 1 2")}));
        // Item 1: 5.6 s less its 3 s pause; item 2 one second, its own pause
        // none. Validity 2 first, then TRAIN's 5; volume 60, self-evaluation 3.
        QCOMPARE(Rows("SRType, SRNumber, SRDuration, SRCorrect, SRRate, SRDutycycle, SRValidity, "
                      "SRVolume, SRSelfevaluation",
                      "StatisticalRecord"),
                 QStringList({QStringLiteral("2 3 2 2 0.6667 0.5 2 60 3"),
                              QStringLiteral("2 1 1 1 1 0.5 5 60 3")}));
    }

    // Rows above key 5400 count; the boundaries go to the lower text.
    void ratingBoundaries_data() {
        QTest::addColumn<int>("trials");
        QTest::addColumn<int>("right");
        QTest::newRow("75.0") << 4 << 3;
        QTest::newRow("45.0") << 20 << 9;
    }
    void ratingBoundaries() {
        QFETCH(int, trials);
        QFETCH(int, right);
        PastTheOldRows();
        Open(Scenario({QStringLiteral("1 46 %1 0.5").arg(trials)}));
        Press("startButton");
        for (int t = 0; t < trials; ++t) {
            const QString heard = Hear(t + 1);
            QVERIFY(!heard.isEmpty());
            Answer(t < right ? heard : QStringLiteral("ab"));
        }
        QTRY_COMPARE(prompter_->MessageTexts(), QStringList{Rating(100.0 * right / trials)});
        QVERIFY(Rating(100.0 * right / trials).contains(trials == 4 ? "おめでとう" : "やや弱い"));
    }

    void refusalsAndTheLauncher() {
        Open(Scenario({"1 5 3 0.5", "72 74 4 0.5"}));
        QVERIFY(!dialog_->Loaded());
        QCOMPARE(prompter_->MessageTexts(),
                 QStringList({"DATA2: NUMBER 4 is larger than its 3 syllables (BEGIN 72, END 74)",
                              "Loading configuration file failed!"}));
        QVERIFY(!Ui().Button("startButton")->isEnabled());

        // The launcher runs the test after its directions.
        prompter_->messages.clear();
        const QString scenario = Scenario({"45 45 1 0.5"});
        QString heard;
        OnNextModal([](QWidget* directions) { Click(Controls{directions}.Button("nextButton")); });
        auto* poll = new QTimer(this);
        poll->setInterval(10);
        connect(poll, &QTimer::timeout, this, [&, poll] {
            auto* test = qobject_cast<CAutoTest4*>(QApplication::activeModalWidget());
            if (test == nullptr) return;
            poll->stop();
            const Controls ui{test};
            Click(ui.Button("startButton"));
            heard = Hear(1);
            if (QTest::qWaitFor([&] { return ui.Button("confirmButton")->isEnabled(); })) {
                ui.Edit("answerEdit")->setText(heard);
                Click(ui.Button("confirmButton"));
                (void)QTest::qWaitFor([&] { return prompter_->messages.size() == 1; });
            }
            Click(ui.Button("closeButton"));
        });
        poll->start();
        BatteryTestDispatcher(Services())
            .Run(TestKind::InterruptedSpeech, TestStart{kSubject, scenario, 3}, nullptr);
        QCOMPARE(heard, QStringLiteral("ん"));
        QCOMPARE(prompter_->MessageTexts(), QStringList{Rating(50.0)});
        QCOMPARE(Trials(), QStringList{QStringLiteral("ん ん 0 - 1")});
    }
};

QTEST_MAIN(SyllableTestTest)
#include "SyllableTestTest.moc"
