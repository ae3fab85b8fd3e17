// The sentence recognition dialog with a scripted listener: typed answers
// and the answer buttons through the real windows on the virtual output,
// the exact TestRecord rows they leave, a roll back, and what each
// stimulus sounded like at the headphones.

#include <QDir>

#include <cmath>
#include <functional>

#include "AppTestSupport.h"
#include "SessionKit.h"
#include "app/battery/AutoTest2.h"
#include "app/battery/InputDlg.h"
#include "store/Registry.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

constexpr int kRate = 8000;
constexpr int kFrames = 1600;  // 200 ms
constexpr int kLevel = 10000;
const QString kSentence = QStringLiteral("あめがふる");

}  // namespace

class SentenceTestTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir folder_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<SoundBench> bench_;
    std::unique_ptr<CAutoTest2> dialog_;
    qint64 first_ = 0, second_ = 0;

    VowelTestServices Services() {
        return {station_->Db(), *prompter_,      bench_->output, bench_->clock,
                bench_->random, &bench_->timers, folder_.path()};
    }
    qint64 Register(const QString& path, const QString& content) {
        store::AudioMaterial material;
        material.pathname = path;
        material.content = content;
        return store::AudioRegistry(station_->Db()).Add(material).value;
    }
    QString Scenario(const QString& items, int total) {
        return WriteFile(
            folder_.filePath(QStringLiteral("sentence.ini")),
            (QStringLiteral("[INFO]\r\nTESTTYPE=SINGLE\r\nTOTAL=%1\r\n").arg(total) + items)
                .toUtf8());
    }
    static QString Item(int n, qint64 file, int mask, const QString& fixed, double begin,
                        double end, double interval) {
        return QStringLiteral(
                   "[DATA%1]\r\nFILE=%2\r\nTYPEMASK=%3\r\n%4BEGIN=%5\r\nEND=%6\r\n"
                   "INTERVAL=%7\r\n")
            .arg(n)
            .arg(file)
            .arg(mask)
            .arg(fixed)
            .arg(begin)
            .arg(end)
            .arg(interval);
    }
    void Open(const QString& scenario) {
        dialog_ = std::make_unique<CAutoTest2>(Services(), SentenceTestSetup{7, 3, scenario});
        dialog_->show();
    }
    Controls Ui() { return Controls{dialog_.get()}; }

    /** Waits for stimulus `n` to reach the headphones, lets it play out and
     *  hands it to `check`. */
    void Hear(int n, const std::function<void(const audio::HeardSegment&)>& check) {
        QTRY_COMPARE(bench_->output.OpenCount(), n);
        QTRY_VERIFY(bench_->output.Rate() > 0);
        const auto rate = bench_->output.Rate();
        bench_->clock.AdvanceMs(static_cast<std::uint64_t>(std::ceil(kFrames * 1000.0 / rate)));
        const auto heard = bench_->output.Heard();
        QVERIFY(!heard.empty());
        QCOMPARE(heard.back().Frames(), std::size_t{kFrames});
        check(heard.back());
    }
    /** Types into the round's input window and confirms it. */
    void Type(const QString& text) {
        QTRY_VERIFY(dialog_->Entry() != nullptr && dialog_->Entry()->isVisible());
        CInputDlg* entry = dialog_->Entry();
        QCOMPARE(entry->Prompt(), QString::fromUtf8(kSentenceTypedPrompt));
        Controls{entry}.Edit("answerEdit")->setText(text);
        Click(Controls{entry}.Button("confirmButton"));
    }
    /** A button answer; "認識できる" and "やってみましょう" then get `content`. */
    void Press(const char* button, const QString& content = {}) {
        QTRY_VERIFY(Ui().Button(button)->isEnabled());
        Click(Ui().Button(button));
        if (content.isEmpty()) return;
        QTRY_VERIFY(dialog_->Entry() != nullptr &&
                    dialog_->Entry()->Prompt() == QString::fromUtf8(kSentenceContentPrompt));
        Controls{dialog_->Entry()}.Edit("answerEdit")->setText(content);
        Click(Controls{dialog_->Entry()}.Button("confirmButton"));
    }
    QStringList Rows() {
        QStringList rows;
        for (const store::Row& r : station_->Query(QStringLiteral(
                 "SELECT AIID, TRTimes, TRState, TRRecognise, TRFactormask, TRPlayspeed, TRSNR, "
                 "TRCycle, TRDutycycle, TRContent, IIID, TRSelfevaluation, TRVolume FROM "
                 "TestRecord ORDER BY TRID"))) {
            QStringList cells;
            for (int c = 0; c < 13; ++c) {
                const QVariant v = r.At(c);
                cells << (v.isNull() ? QStringLiteral("-") : QString::number(v.toDouble()));
            }
            cells[9] = r.At(9).isNull() ? QStringLiteral("-") : r.At(9).toString();
            rows << cells.join(QLatin1Char(' '));
        }
        return rows;
    }

  private slots:
    void init() {
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        bench_ = std::make_unique<SoundBench>();
        std::vector<std::uint8_t> bytes(kFrames * 2);
        for (int n = 0; n < kFrames; ++n) {
            bytes[2 * n] = kLevel & 0xFF;
            bytes[2 * n + 1] = kLevel >> 8;
        }
        QVERIFY(WriteWaveFile(folder_.filePath(QStringLiteral("s1.wav")).toStdString(),
                              PcmFormat(1, kRate, 16), bytes.data(), kFrames));
        first_ = Register(QStringLiteral("s1.wav"), kSentence);
        second_ = Register(folder_.filePath(QStringLiteral("s1.wav")), QStringLiteral("はれ"));
    }
    void cleanup() { dialog_.reset(); }

    void scriptedListenerThroughBothAnswerPaths() {
        const QString fixed =
            QStringLiteral("PLAYSPEED=1\r\nSNR=%1\r\nCYCLE=%2\r\nDUTYCYCLE=%3\r\n");
        Open(Scenario(Item(1, first_, 1, fixed.arg(0.01).arg(0).arg(1), 2.0, 1.0, -0.5) +
                          Item(2, second_, 8, fixed.arg(0).arg(20).arg(1), 0.3, 1.0, 0.1) +
                          Item(3, first_, 4, fixed.arg(0).arg(0).arg(0.5), 50, 10, -20),
                      3));
        QVERIFY(dialog_->Loaded());
        QCOMPARE(dialog_->windowTitle(), QString::fromUtf8(kSentenceCaption));
        QVERIFY(!Ui().Button("recognisedButton")->isEnabled());
        Click(Ui().Button("startButton"));

        // Item 1, play speed 2.0, 1.5, 1.0 with noise of 327: recognised at the third step.
        const int noise = static_cast<int>(32768 * 0.01);
        const QStringList answers = {QString(), QStringLiteral("あめ"), kSentence};
        for (int s = 0; s < 3; ++s) {
            Hear(s + 1, [&](const audio::HeardSegment& heard) {
                QCOMPARE(heard.rate, std::uint32_t(kRate * (2.0 - 0.5 * s)));
                for (std::size_t n = 0; n < heard.Frames(); ++n)
                    QVERIFY(std::abs(heard.Sample(n) - kLevel) <= noise);
            });
            Type(answers[s]);
        }
        // Item 2, kept fraction 0.3 ... 1.0 of 160-sample windows: never recognised.
        for (int s = 0; s < 8; ++s) {
            Hear(4 + s, [&](const audio::HeardSegment& heard) {
                QCOMPARE(heard.rate, std::uint32_t(kRate));
                const int kept = static_cast<int>(160 * (0.3 + 0.1 * s));
                for (std::size_t n = 0; n < heard.Frames(); ++n)
                    QCOMPARE(heard.Sample(n), int(n % 160) < kept ? kLevel : 0);
            });
            Type(QString());
        }
        // Item 3, period 50, 30, 10 ms at half duty: the buttons, and a roll back.
        auto periodCheck = [](int periodMs) {
            return [periodMs](const audio::HeardSegment& heard) {
                const std::size_t window = std::size_t(kRate) * periodMs / 1000;
                const std::size_t whole = heard.Frames() / window * window;
                for (std::size_t n = 0; n < heard.Frames(); ++n)
                    QCOMPARE(heard.Sample(n), n >= whole || n % window < window / 2 ? kLevel : 0);
            };
        };
        Hear(12, periodCheck(50));
        QTRY_VERIFY(dialog_->Entry() != nullptr);
        Press("tryButton", QStringLiteral("あめが"));
        QVERIFY(!Ui().Button("recognisedButton")->isEnabled());
        Hear(13, periodCheck(30));
        QTRY_VERIFY(Ui().Button("rollBackButton")->isEnabled());
        prompter_->answers = {true};
        Click(Ui().Button("rollBackButton"));
        QCOMPARE(prompter_->confirmations.back(),
                 QStringLiteral("Are you sure to roll back the result affected just now?"));
        QVERIFY(!Ui().Button("rollBackButton")->isEnabled());
        Hear(14, periodCheck(50));  // where the rolled-back answer was given
        Press("notRecognisedButton");
        Hear(15, periodCheck(30));
        Press("recognisedButton", kSentence);

        // The end: thanks, the message, everything but "終了" off.
        QTRY_COMPARE(prompter_->MessageTexts(),
                     QStringList({QStringLiteral("Now you have rolled back. Please listen "
                                                 "carefully, and choose a button in the right!"),
                                  QString::fromUtf8(kThanksMessage)}));
        QCOMPARE(dialog_->Instruction(), QString::fromUtf8(kCloseText));
        for (const char* b : {"startButton", "recognisedButton", "tryButton", "notRecognisedButton",
                              "rollBackButton"})
            QVERIFY(!Ui().Button(b)->isEnabled());

        // AIID TRTimes TRState TRRecognise mask speed SNR cycle duty content IIID self volume
        const QString a = QString::number(first_), b = QString::number(second_);
        QStringList expected = {
            a + " 1 0 0 1 2 0.01 0 1 - 7 3 60",
            a + " 1 0 0.5 1 1.5 0.01 0 1 あめ 7 3 60",
            a + " 1 0.5 1 1 1 0.01 0 1 あめがふる 7 3 60",
        };
        for (int s = 0; s < 8; ++s)
            expected << b + QStringLiteral(" 1 0 0 8 1 0 20 %1 - 7 3 60")
                                .arg(QString::number(0.3 + 0.1 * s, 'g', 6));
        expected << a + " 2 0 0 4 1 0 50 0.5 - 7 3 60"
                 << a + " 2 0 1 4 1 0 30 0.5 あめがふる 7 3 60";
        const QStringList rows = Rows();
        QCOMPARE(rows.size(), expected.size());
        for (int r = 0; r < rows.size(); ++r) {
            // Reals come back as stored in a 32-bit-free column: compare as numbers.
            const QStringList got = rows[r].split(QLatin1Char(' '));
            const QStringList want = expected[r].split(QLatin1Char(' '));
            for (int c = 0; c < got.size(); ++c) {
                bool isNumber = false;
                const double w = want[c].toDouble(&isNumber);
                if (isNumber)
                    QVERIFY2(std::abs(got[c].toDouble() - w) < 1e-6, qPrintable(rows[r]));
                else
                    QCOMPARE(got[c], want[c]);
            }
        }
    }

    void refusalsAndQuitting() {
        // An unknown material refuses the scenario with both texts.
        Open(Scenario(Item(1, 999, 1, {}, 1, 1, 1), 1));
        QVERIFY(!dialog_->Loaded());
        QCOMPARE(prompter_->MessageTexts(),
                 QStringList({"Invalid audio file ID!", "Loading configuration file failed!"}));
        QVERIFY(!Ui().Button("startButton")->isEnabled());

        // 25 items run to the end; quitting from the input window asks first.
        QString items;
        for (int i = 1; i <= 25; ++i) items += Item(i, first_, 2, {}, 1, 1, 1);
        prompter_->messages.clear();
        Open(Scenario(items, 25));
        QVERIFY(dialog_->Loaded());
        Click(Ui().Button("startButton"));
        for (int i = 0; i < 24; ++i) Type(kSentence);
        QTRY_VERIFY(dialog_->Entry() != nullptr);
        prompter_->answers = {false, true};
        Click(Controls{dialog_->Entry()}.Button("quitButton"));  // Cancel: stays
        QVERIFY(dialog_->isVisible());
        Click(Controls{dialog_->Entry()}.Button("quitButton"));
        QTRY_VERIFY(!dialog_->isVisible());
        QCOMPARE(station_->Count(QStringLiteral("TestRecord")), 24);

        Open(Scenario(items, 25));
        Click(Ui().Button("startButton"));
        for (int i = 0; i < 25; ++i) Type(QString::number(i));
        QTRY_VERIFY(prompter_->MessageTexts().contains(QString::fromUtf8(kThanksMessage)));
        QCOMPARE(station_->Count(QStringLiteral("TestRecord")), 24 + 25);
        QCOMPARE(bench_->output.OpenCount(), 0);  // mask 2 plays nothing
    }
};

QTEST_MAIN(SentenceTestTest)
#include "SentenceTestTest.moc"
