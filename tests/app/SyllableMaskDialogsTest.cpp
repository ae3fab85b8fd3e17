// The syllable masking test and the presentation panel through their real
// windows on the virtual output: a scripted listener's SyllableMaskRecord
// rows and what each mix sounded like at the headphones; the presentation's
// bars on the manual 100 ms timer, its pause and its close question.

#include <QDir>
#include <QLabel>
#include <QProgressBar>

#include <cmath>

#include "AppTestSupport.h"
#include "SessionKit.h"
#include "app/battery/AutoTest5.h"
#include "app/battery/AutoTest8.h"
#include "app/battery/InputDlg.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

constexpr int kRate = 8000;
constexpr int kMasking = 10000;  // 3.wav (う) and sea1.wav
constexpr int kMasked = 30000;   // 1.wav, 2.wav, 4.wav, 5.wav

bool WriteConstant(const QString& path, int value, int frames) {
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(frames) * 2);
    for (int n = 0; n < frames; ++n) {
        bytes[2 * n] = static_cast<std::uint8_t>(value & 0xFF);
        bytes[2 * n + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
    }
    return WriteWaveFile(path.toStdString(), PcmFormat(1, kRate, 16), bytes.data(),
                         static_cast<std::uint32_t>(frames));
}

}  // namespace

class SyllableMaskDialogsTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir folder_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<SoundBench> bench_;

    VowelTestServices Services() {
        return {station_->Db(), *prompter_,      bench_->output, bench_->clock,
                bench_->random, &bench_->timers, folder_.path()};
    }
    QString Sound() const { return folder_.filePath(QStringLiteral("sound")) + QLatin1Char('/'); }

  private slots:
    void init() {
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        bench_ = std::make_unique<SoundBench>();
        QVERIFY(QDir(folder_.path()).mkpath(QStringLiteral("sound")));
        for (int v = 1; v <= 5; ++v)
            QVERIFY(WriteConstant(Sound() + QStringLiteral("%1.wav").arg(v),
                                  v == 3 ? kMasking : kMasked, 400));
        QVERIFY(WriteConstant(Sound() + QStringLiteral("sea1.wav"), kMasking, 400));
    }

    void scriptedListenerUnderUAndASeaWave() {
        const QString scenario = WriteFile(
            folder_.filePath(QStringLiteral("mask.ini")),
            QStringLiteral("[INFO]\r\nTESTTYPE=SYLLABLEMASKING\r\nTOTAL=2\r\nFILEPATH=%1\r\n"
                           "[DATA1]\r\nFILENAME=3.wav\r\nTYPE=1\r\nBEGIN=-30\r\nEND=0\r\n"
                           "INTERVAL=10\r\nNUMBER=4\r\n"
                           "[DATA2]\r\nFILENAME=sea1.wav\r\nTYPE=1\r\nBEGIN=120\r\nEND=120\r\n"
                           "INTERVAL=10\r\nNUMBER=1\r\n")
                .arg(Sound())
                .toUtf8());
        CAutoTest5 dialog(Services(), SyllableMaskSetup{7, 3, scenario});
        QVERIFY(dialog.Loaded());
        dialog.show();
        Controls ui{&dialog};
        QCOMPARE(dialog.windowTitle(), QString::fromUtf8(kSyllableMaskCaption));
        // The masking vowel う: dark green and not choosable.
        QCOMPARE(dialog.PanelColour(2), QColor(0, 200, 0));
        Click(ui.Get<QLabel>("vowelU"));
        QCOMPARE(dialog.Test()->Choice(), -1);
        QVERIFY(!ui.Button("nothingButton")->isEnabled());
        Click(ui.Button("startButton"));

        // Item 1: nothing recognised below -10 dB, each vowel heard from there.
        static const char* const kPanels[] = {"vowelA", "vowelI", "vowelU", "vowelE", "vowelO"};
        QStringList expected;
        int trials = 0;
        for (; trials < 17 && !dialog.Test()->Over(); ++trials) {
            QTRY_VERIFY(ui.Button("nothingButton")->isEnabled());
            QTRY_COMPARE(bench_->output.OpenCount(), trials + 1);
            QVERIFY(bench_->clock.WaitForSleepers(1));
            bench_->clock.AdvanceMs(2000);
            const int item = dialog.Test()->CurrentItem();
            const int target = dialog.Test()->Target();
            const int level = dialog.Test()->Level();
            QVERIFY(item == 1 || target != 2);  // う masks, it is never the target
            const double gain = level >= 120 ? 0.0 : std::pow(10.0, level / 20.0);
            const int mixed = std::min(kMasking + static_cast<int>(kMasked * gain), 32767);
            const auto heard = bench_->output.Heard();
            QVERIFY(!heard.empty());
            QCOMPARE(heard.back().Sample(0), mixed);
            const QString masked = QString::fromUtf8(SyllableSoundLabel(target).data());
            const QString masking = item == 0 ? QStringLiteral("う") : QStringLiteral("sea1");
            const QString validity = item == 0 ? QStringLiteral("2") : QStringLiteral("1");
            QString row = masking + ' ' + masked + ' ';
            if (item == 1) {
                Click(ui.Get<QLabel>(kPanels[target]));
                QCOMPARE(dialog.PanelColour(target), QColor(0, 255, 0));
                Click(ui.Button("notSureButton"));
                row += masked + " - ";
            } else if (level >= -10) {
                Click(ui.Get<QLabel>(kPanels[target]));
                Click(ui.Button("confirmButton"));
                row += masked + " 1 ";
            } else {
                Click(ui.Button("nothingButton"));
                row += "- 0 ";
            }
            expected << row + validity + ' ' + QString::number(level) + " 2 7 60 3";
            QVERIFY(!ui.Button("confirmButton")->isEnabled());
        }
        QCOMPARE(trials, 17);  // four levels of four vowels, one muted sea-wave trial
        QTRY_VERIFY(!dialog.isVisible());
        QCOMPARE(prompter_->MessageTexts(), QStringList{QString::fromUtf8(kThanksMessage)});

        QStringList rows;
        for (const store::Row& r : station_->Query(QStringLiteral(
                 "SELECT SMRMaskingContent, SMRMaskedContent, SMRRecognise, SMRState, "
                 "SMRValidity, SMRSNR, SMRDuration, IIID, SMRVolume, SMRSelfevaluation FROM "
                 "SyllableMaskRecord"))) {
            QStringList cells;
            for (int c = 0; c < 10; ++c) {
                // "Not sure" leaves SMRState NULL, not an empty text or 0.
                const QVariant v = r.At(c);
                if (c < 3)
                    cells << (v.toString().isEmpty() ? QStringLiteral("-") : v.toString());
                else
                    cells << (v.isNull() ? QStringLiteral("-") : QString::number(v.toInt()));
            }
            rows << cells.join(' ');
        }
        QCOMPARE(rows, expected);
    }

    void presentationEndsEntriesOnTheTimerAndAsksBeforeClosing() {
        bench_->timers.SetRunFreely(false);
        QVERIFY(WriteConstant(Sound() + QStringLiteral("long.wav"), 1234, 16400));  // 2.05 s
        const QString scenario =
            WriteFile(folder_.filePath(QStringLiteral("play.ini")),
                      QStringLiteral("[INFO]\r\nTESTTYPE=PLAY\r\nTOTAL=2\r\nVOLUME=50\r\n"
                                     "[DATA1]\r\nFILEPATHNAME=%1long.wav\r\nPAUSE=1\r\n"
                                     "[DATA2]\r\nFILEPATHNAME=%1sea1.wav\r\nPAUSE=0\r\n")
                          .arg(Sound())
                          .toUtf8());
        CAutoTest8 dialog(Services(), scenario);
        QVERIFY(dialog.Loaded());
        dialog.show();
        Controls ui{&dialog};
        auto* entryBar = ui.Get<QProgressBar>("entryProgress");
        auto* listBar = ui.Get<QProgressBar>("listProgress");
        Click(ui.Button("startButton"));
        QVERIFY(!ui.Button("startButton")->isEnabled());
        QTRY_COMPARE(bench_->output.OpenCount(), 1);
        QCOMPARE(dialog.List()->Entry().durationMs, 2050);

        // Ticks 1 ... 20 move the bar; the 21st (2100 ms) ends the entry.
        for (int tick = 1; tick <= 20; ++tick) {
            bench_->timers.AdvanceMs(100);
            QCOMPARE(entryBar->maximum(), 20);
            QCOMPARE(entryBar->value(), tick);
        }
        QCOMPARE(dialog.List()->Current(), 0);
        bench_->timers.AdvanceMs(100);
        QCOMPARE(dialog.List()->Current(), 1);
        QCOMPARE(entryBar->value(), entryBar->maximum());
        QCOMPARE(listBar->value(), 1);

        // The pause holds the list until it closes.
        QVERIFY(dialog.Pause() != nullptr);
        bench_->timers.AdvanceMs(1000);
        QCOMPARE(bench_->output.OpenCount(), 1);
        Click(Controls{dialog.Pause()}.Button("confirmButton"));
        QTRY_COMPARE(bench_->output.OpenCount(), 2);
        QCOMPARE(dialog.List()->Entry().durationMs, 50);
        bench_->timers.AdvanceMs(100);
        QCOMPARE(listBar->value(), 2);
        QVERIFY(dialog.List()->Over());

        // A second later the thanks and the close question: Cancel stays.
        prompter_->answers = {false};
        bench_->timers.AdvanceMs(1000);
        QCOMPARE(prompter_->MessageTexts(), QStringList{QString::fromUtf8(kThanksMessage)});
        QCOMPARE(prompter_->confirmations, QStringList{QStringLiteral("Really want to quit?")});
        QVERIFY(dialog.isVisible());
        QVERIFY(!ui.Button("startButton")->isEnabled());
        prompter_->answers = {true};
        Click(ui.Button("endButton"));
        QVERIFY(!dialog.isVisible());

        // No entry: the message, nothing to start.
        CAutoTest8 empty(Services(), folder_.filePath(QStringLiteral("missing.ini")));
        QVERIFY(!empty.Loaded());
        QCOMPARE(prompter_->MessageTexts().last(), QString::fromUtf8(kPresentationNoEntries));
    }
};

QTEST_MAIN(SyllableMaskDialogsTest)
#include "SyllableMaskDialogsTest.moc"
