// The speeded syllable dialog with a scripted listener who identifies each
// vowel by what reached the headphones (its level and playback rate) up to
// a speed of their own, through the real buttons; the SyllableSpeedupRecord
// rows it leaves, the rating and the close question.

#include <cmath>

#include "AppTestSupport.h"
#include "SessionKit.h"
#include "app/battery/AutoTest7.h"
#include "app/battery/TestDispatcher.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

constexpr int kRate = 8000;
constexpr int kFrames = 400;

}  // namespace

class SpeedupTestTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir folder_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<SoundBench> bench_;
    std::unique_ptr<CAutoTest7> dialog_;

    VowelTestServices Services() {
        return {station_->Db(), *prompter_,      bench_->output, bench_->clock,
                bench_->random, &bench_->timers, folder_.path()};
    }
    /** Waits for stimulus `n` and returns the vowel and speed heard. */
    std::pair<int, double> Hear(int n) {
        if (!QTest::qWaitFor([&] { return bench_->output.OpenCount() == n; }, 10000) ||
            !bench_->clock.WaitForSleepers(1))
            return {-1, 0.0};
        const double rate = bench_->output.Rate();
        bench_->clock.AdvanceMs(static_cast<std::uint64_t>(std::ceil(kFrames * 1000.0 / rate)));
        const audio::HeardSegment heard = bench_->output.Heard().back();
        return {heard.Sample(0) / 1000 - 1, rate / kRate};
    }

  private slots:
    void init() {
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        bench_ = std::make_unique<SoundBench>();
        QVERIFY(WriteSessionKit(folder_.path()));  // sound/1.wav ... 5.wav
    }
    void cleanup() { dialog_.reset(); }

    void listenerToTheEndThenQuit() {
        // あ 1.0 ... 3.0 (11 speeds); い from 2.0, restarted at 1.6; う from 3.2.
        QString text =
            QStringLiteral("[INFO]\r\nTESTTYPE=SYLLABLESPEEDUP\r\nTOTAL=3\r\nVOLUME=45\r\n");
        const double begins[] = {1.0, 2.0, 3.2};
        for (int i = 0; i < 3; ++i)
            text += QStringLiteral(
                        "[DATA%1]\r\nFILEPATHNAME=sound\\%1.wav\r\nBEGIN=%2\r\nEND=%3\r\n"
                        "INTERVAL=0.2\r\nMISSPERMISSION=1\r\nPLAYTIMES=1\r\n")
                        .arg(i + 1)
                        .arg(begins[i])
                        .arg(i == 2 ? 4.0 : 3.0);
        const QString scenario =
            WriteFile(folder_.filePath(QStringLiteral("speed.ini")), text.toUtf8());
        dialog_ = std::make_unique<CAutoTest7>(Services(), SpeedupTestSetup{7, 2, scenario});
        QVERIFY(dialog_->Loaded());
        dialog_->show();
        Controls ui{dialog_.get()};
        QCOMPARE(dialog_->windowTitle(), QString::fromUtf8(kSpeedupCaption));
        Click(ui.Button("startButton"));

        const double limits[] = {5.0, 1.85, 0.0};
        const char* const panels[] = {"vowelA", "vowelI", "vowelU"};
        for (int n = 1; dialog_->Test()->CurrentItem() >= 0; ++n) {
            QVERIFY2(n < 40, "the test does not end");
            const auto [vowel, speed] = Hear(n);
            QVERIFY(vowel >= 0 && vowel < 3);
            if (speed <= limits[vowel]) {
                Click(ui.Button(panels[vowel]));
                QVERIFY(ui.Button("confirmButton")->isEnabled());
                Click(ui.Button("confirmButton"));
            } else {
                bench_->clock.AdvanceMs(1000);  // the rest of the playing
                QTRY_VERIFY(ui.Button("cannotButton")->isEnabled());
                Click(ui.Button("cannotButton"));
            }
        }
        prompter_->answers = {true};
        QTRY_VERIFY(!dialog_->isVisible());
        QCOMPARE(prompter_->MessageTexts(),
                 QStringList{QString::fromUtf8(SpeedupRating(2.0).data())});
        QCOMPARE(prompter_->confirmations, QStringList{QString::fromUtf8(kSpeedupQuitQuestion)});

        QStringList rows[3];
        for (const store::Row& r : station_->Query(QStringLiteral(
                 "SELECT SSRContent, SSRRecognise, SSRSpeed, SSRState, SSRValidity, IIID, "
                 "SSRVolume, SSRSelfevaluation FROM SyllableSpeedupRecord"))) {
            QStringList cells = {r.At(1).toString(), QString::number(r.At(2).toDouble(), 'f', 6),
                                 QString::number(r.At(3).toDouble())};
            for (int c = 4; c < 8; ++c) cells << r.At(c).toString();
            rows[QStringLiteral("あいう").indexOf(r.At(0).toString())]
                << cells.join(QLatin1Char(' '));
        }
        QCOMPARE(rows[0].size(), 11);
        for (int s = 0; s < 11; ++s)
            QCOMPARE(rows[0][s], QStringLiteral("あ %1 1 1 7 45 2").arg(1.0 + 0.2 * s, 0, 'f', 6));
        QCOMPARE(rows[1], QStringList({" 2.000000 0.5 1 7 45 2", " 2.000000 0 3 7 45 2",
                                       "い 1.600000 1 1 7 45 2", "い 1.800000 1 1 7 45 2",
                                       " 2.000000 0.5 1 7 45 2", " 2.000000 0 1 7 45 2"}));
        QCOMPARE(rows[2], QStringList({" 3.200000 0.5 1 7 45 2", " 3.200000 0 3 7 45 2"}));
    }

    void launcherRunsIt() {
        const QString missing = folder_.filePath(QStringLiteral("missing.ini"));
        BatteryTestDispatcher(Services()).Run(TestKind::SpeededSyllable, {7, missing, 2}, nullptr);
        UnavailableTestDispatcher(*prompter_).Run(TestKind::SpeededSyllable, {}, nullptr);
        QCOMPARE(prompter_->MessageTexts(),
                 QStringList({QStringLiteral("Loading configuration file failed!\n") + missing +
                                  " can not be read",
                              QString::fromUtf8(kAudioOutputErrorMessage)}));
    }
};

QTEST_MAIN(SpeedupTestTest)
#include "SpeedupTestTest.moc"
