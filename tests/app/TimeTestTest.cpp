// The time listening dialog with a scripted listener on the virtual output:
// every recording is a constant level that names its hour or minute, so the
// listener reads the time it heard off the headphones, answers through the
// clock face, the arrow, the AM/PM switch, the time box and the buttons, and
// the rows are checked exactly.

#include <QRadioButton>
#include <QScrollBar>

#include <set>

#include "AppTestSupport.h"
#include "SessionKit.h"
#include "app/battery/AutoTest3.h"
#include "app/battery/TestDispatcher.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

constexpr int kRate = 8000;
constexpr int kPart = 400;  // samples of each recording: 50 ms
constexpr int kGap = 1600;  // 0.2 s
int HourLevel(int h) {
    return 1000 + 100 * h;
}
int MinuteLevel(int m) {
    return -1000 - 100 * m;
}

}  // namespace

class TimeTestTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir folder_;
    std::unique_ptr<Station> station_;
    std::unique_ptr<FakePrompter> prompter_;
    std::unique_ptr<SoundBench> bench_;
    std::unique_ptr<CAutoTest3> dialog_;

    VowelTestServices Services() {
        return {station_->Db(), *prompter_,      bench_->output, bench_->clock,
                bench_->random, &bench_->timers, folder_.path()};
    }
    QString Scenario(const QString& items, int total) {
        return WriteFile(
            folder_.filePath(QStringLiteral("time.ini")),
            QStringLiteral("[INFO]\r\nTESTTYPE=TIME\r\nTOTAL=%1\r\nFILEPATH=%2/times/\r\n%3")
                .arg(total)
                .arg(folder_.path(), items)
                .toUtf8());
    }
    void Open(const QString& items, int total) {
        dialog_ =
            std::make_unique<CAutoTest3>(Services(), TimeTestSetup{7, 2, Scenario(items, total)});
        dialog_->show();
    }
    Controls Ui() { return Controls{dialog_.get()}; }

    /** Lets stimulus `n` play its three times, checks what reached the
     *  headphones - hour, silence, minute, each interrupted as `kept` says -
     *  and returns the time it names. */
    QString Hear(int n, std::uint32_t rate, const std::function<bool(int)>& kept) {
        [&] { QTRY_COMPARE(bench_->output.OpenCount(), n); }();
        for (int r = 0; r < 3; ++r) {
            if (!bench_->clock.WaitForSleepers(1)) return QStringLiteral("no worker");
            bench_->clock.AdvanceToNextWake();
        }
        const auto heard = bench_->output.Heard();
        if (heard.size() != std::size_t(3 * n)) return QStringLiteral("segments");
        const int hour = (heard.back().Sample(0) - HourLevel(0)) / 100;
        const int minute = (MinuteLevel(0) - heard.back().Sample(kPart + kGap)) / 100;
        for (std::size_t s = heard.size() - 3; s < heard.size(); ++s) {
            if (heard[s].rate != rate || heard[s].Frames() != kPart + kGap + kPart)
                return QStringLiteral("format");
            for (int i = 0; i < kPart + kGap + kPart; ++i) {
                const int level = i < kPart          ? HourLevel(hour)
                                  : i < kPart + kGap ? 0
                                                     : MinuteLevel(minute);
                if (heard[s].Sample(std::size_t(i)) != (kept(i) ? level : 0))
                    return QStringLiteral("sample %1").arg(i);
            }
        }
        return QString::fromStdString(FormatClockTime(hour, minute));
    }
    void Answer(const QString& text) {
        QTRY_VERIFY(Ui().Button("confirmButton")->isEnabled());
        Type(Ui().Edit("timeEdit"), text);
        Click(Ui().Button("confirmButton"));
    }
    void Nothing() {
        QTRY_VERIFY(Ui().Button("nothingButton")->isEnabled());
        Click(Ui().Button("nothingButton"));
    }
    QStringList Rows(const char* sql) {
        QStringList rows;
        for (const store::Row& r : station_->Query(QString::fromLatin1(sql))) {
            QStringList cells;
            for (int c = 0; c < r.Size(); ++c) cells << r.At(c).toString();
            rows << cells.join(QLatin1Char(' '));
        }
        return rows;
    }

  private slots:
    void init() {
        station_ = std::make_unique<Station>();
        prompter_ = std::make_unique<FakePrompter>();
        bench_ = std::make_unique<SoundBench>();
        QDir(folder_.path()).mkpath(QStringLiteral("times"));
        auto write = [&](const QString& name, int level) {
            std::vector<std::uint8_t> bytes(kPart * 2);
            for (int n = 0; n < kPart; ++n) {
                bytes[2 * n] = std::uint8_t(level & 0xFF);
                bytes[2 * n + 1] = std::uint8_t((level >> 8) & 0xFF);
            }
            QVERIFY(WriteWaveFile(folder_.filePath(QStringLiteral("times/") + name).toStdString(),
                                  PcmFormat(1, kRate, 16), bytes.data(), kPart));
        };
        for (int h = 0; h < 24; ++h)
            write(QStringLiteral("H%1.wav").arg(h, 2, 10, QChar('0')), HourLevel(h));
        for (int m = 0; m < 60; ++m)
            write(QStringLiteral("M%1.wav").arg(m, 2, 10, QChar('0')), MinuteLevel(m));
    }
    void cleanup() { dialog_.reset(); }

    void scriptedListenerItemsRowsAndRollBack() {
        const QString item = QStringLiteral(
            "[DATA%1]\r\nTYPEMASK=%2\r\nPLAYSPEED=%3\r\nSNR=0\r\nCYCLE=%4\r\nDUTYCYCLE=%5\r\n"
            "BEGIN=%6\r\nEND=%7\r\nNUMBER=%8\r\n");
        Open(item.arg(1).arg(4).arg(1).arg(10).arg(0.5).arg("23:58", "00:01").arg(4) +
                 item.arg(2).arg(1).arg(2).arg(0).arg(1).arg("03:30", "03:30").arg(1) +
                 item.arg(3).arg(0).arg(1).arg(0).arg(1).arg("07:05", "07:05").arg(1),
             3);
        QVERIFY(dialog_->Loaded());
        QCOMPARE(dialog_->windowTitle(), QString::fromUtf8(kTimeCaption));
        QCOMPARE(Ui().Edit("timeEdit")->text(), QStringLiteral("00:00"));
        QVERIFY(!Ui().Button("confirmButton")->isEnabled());
        Click(Ui().Button("startButton"));

        // Item 1: 10 ms periods (80 samples), the first half of each kept.
        auto halves = [](int i) { return i % 80 < 40; };
        QStringList played;
        played << Hear(1, kRate, halves);
        QTRY_VERIFY(Ui().Button("confirmButton")->isEnabled());
        Click(Ui().Button("confirmButton"));  // nothing entered yet
        QCOMPARE(prompter_->MessageTexts(), QStringList{kTimeNotEnteredMessage});
        Answer(played.last());
        played << Hear(2, kRate, halves);
        Nothing();
        const QString replaced = Hear(3, kRate, halves);  // never answered
        QTRY_VERIFY(Ui().Button("rollBackButton")->isEnabled());
        prompter_->answers = {true};
        Click(Ui().Button("rollBackButton"));
        QVERIFY(!Ui().Button("rollBackButton")->isEnabled());
        QCOMPARE(station_->Count(QStringLiteral("BasicRecord")), 1);
        played[1] = Hear(4, kRate, halves);
        Answer(played[1]);
        played << Hear(5, kRate, halves);
        Nothing();
        played << Hear(6, kRate, halves);
        Answer(played.last());
        QCOMPARE(std::set<QString>(played.begin(), played.end()),
                 (std::set<QString>{"23:58", "23:59", "00:00", "00:01"}));
        QVERIFY(played.contains(replaced));

        // Item 2 at double speed, set on the clock face: the hour a little
        // past 3 o'clock (AM), the minute right on 6 - which the face reads as
        // 29 - and one minute up with the arrow.
        QCOMPARE(Hear(7, 2 * kRate, [](int) { return true; }), QStringLiteral("03:30"));
        QTRY_VERIFY(Ui().Button("confirmButton")->isEnabled());
        auto* face = Ui().Get<QWidget>("clockFace");
        QTest::mouseClick(face, Qt::LeftButton, {}, QPoint(150, 82));
        if (Ui().Edit("timeEdit")->text().startsWith(QStringLiteral("15")))
            Click(Ui().Button("halfButton"));
        Click(Ui().Get<QRadioButton>("minuteRadio"));
        QTest::mouseClick(face, Qt::LeftButton, {}, QPoint(80, 150));
        QCOMPARE(Ui().Edit("timeEdit")->text(), QStringLiteral("03:29"));
        Ui().Get<QScrollBar>("minuteScroll")->triggerAction(QAbstractSlider::SliderSingleStepSub);
        QCOMPARE(Ui().Edit("timeEdit")->text(), QStringLiteral("03:30"));
        Click(Ui().Button("confirmButton"));

        // Item 3: "7:5" is refused and nothing is stored; "07:05" is taken.
        QCOMPARE(Hear(8, kRate, [](int) { return true; }), QStringLiteral("07:05"));
        Answer(QStringLiteral("7:5"));
        QCOMPARE(prompter_->MessageTexts().last(), QString::fromUtf8(kTimeInvalidMessage));
        QCOMPARE(station_->Count(QStringLiteral("BasicRecord")), 5);
        Answer(QStringLiteral("07:05"));
        QTRY_COMPARE(prompter_->MessageTexts().last(), QString::fromUtf8(kThanksMessage));
        QCOMPARE(dialog_->Instruction(), QString::fromUtf8(kCloseText));
        for (const char* b : {"startButton", "confirmButton", "nothingButton", "rollBackButton"})
            QVERIFY(!Ui().Button(b)->isEnabled());

        // Each stimulus plays 1.8 s (1.35 s at double speed) before the answer.
        QCOMPARE(Rows("SELECT IIID, SRID, BRDuration, BRContent, BRRecognise FROM BasicRecord "
                      "ORDER BY BRID"),
                 QStringList({"7 1 1 " + played[0] + " " + played[0],
                              "7 1 2 " + played[1] + " " + played[1], "7 1 2 " + played[2] + " ",
                              "7 1 1 " + played[3] + " " + played[3], "7 2 2 03:30 03:30",
                              "7 3 1 07:05 07:05"}));
        QCOMPARE(Rows("SELECT IIID, SRSelfevaluation, SRVolume, SRTimes, SRType, SRNumber, "
                      "SRDuration, SRCorrect, SRFactormask, SRRate, SRPlayspeed, SRSNR, SRCycle, "
                      "SRDutycycle, SRValidity FROM StatisticalRecord ORDER BY SRID"),
                 QStringList({"7 2 60 1 1 4 10 3 4 0.75 1 0 10 0.5 1",
                              "7 2 60 2 1 1 2 1 1 1 2 0 0 1 1", "7 2 60 3 1 1 1 1 0 1 1 0 0 1 1"}));
    }

    void theLauncherRefusesOrRunsItAfterTheDirections() {
        // An item with more trials than times is refused as the scenario loads.
        const QString item = QStringLiteral("[DATA1]\r\nBEGIN=23:58\r\nEND=00:01\r\nNUMBER=%1\r\n");
        BatteryTestDispatcher dispatcher(Services());
        dispatcher.Run(TestKind::TimeListening, {7, Scenario(item.arg(5), 1), 2}, nullptr);
        QCOMPARE(
            prompter_->MessageTexts(),
            QStringList({"DATA1: NUMBER=5 trials, but BEGIN=23:58 to END=00:01 gives 4 time(s)",
                         "Loading configuration file failed!"}));
        prompter_->messages.clear();
        QString opened;
        OnNextModal([&](QWidget* modal) {
            opened = QString::fromLatin1(modal->metaObject()->className()) + " of " +
                     modal->parentWidget()->windowTitle();
        });
        prompter_->answers = {true};  // closing the directions ends the test
        dispatcher.Run(TestKind::TimeListening, {7, Scenario(item.arg(4), 1), 2}, nullptr);
        QCOMPARE(opened, "kestrune::app::CDirections of " + QString::fromUtf8(kTimeCaption));
        UnavailableTestDispatcher(*prompter_).Run(TestKind::TimeListening, {}, nullptr);
        QCOMPARE(prompter_->MessageTexts(), QStringList{"Audio output error!"});
    }
};

QTEST_MAIN(TimeTestTest)
#include "TimeTestTest.moc"
