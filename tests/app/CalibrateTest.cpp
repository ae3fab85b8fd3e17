// Options → Calibrate…: the steady tone on the station's output (a virtual
// one here) and the meter reading checked before it is recorded.

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "AppTestSupport.h"
#include "app/CalibrateDlg.h"
#include "app/MainTestPanel.h"
#include "app/Timers.h"
#include "audio/VirtualOutput.h"
#include "audio/WaitClock.h"
#include "core/util/Clock.h"
#include "sheet/SpreadSheet.h"
#include "sheet/Workbook.h"
#include "store/Calibration.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

class CalibrateTest final : public QObject {
    Q_OBJECT

    std::unique_ptr<Station> station_;
    QTemporaryDir folder_;
    audio::ManualWaitClock clock_{1'700'000'000};
    ManualTimers timers_;
    audio::VirtualOutput* device_ = nullptr;
    std::vector<audio::DeviceChoice> asked_;

    std::unique_ptr<CCalibrateDlg> Dialog() {
        auto open = [this](const audio::DeviceChoice& choice) {
            asked_.push_back(choice);
            auto output = std::make_unique<audio::VirtualOutput>(clock_);
            device_ = output.get();
            return std::unique_ptr<audio::SoundOutput>(std::move(output));
        };
        return std::make_unique<CCalibrateDlg>(CCalibrateDlg::Services{
            station_->Db(), clock_, open, [] { return std::optional<int>(40); }, &timers_,
            folder_.path(), QStringLiteral("booth1")});
    }

    void Run(int ms) {
        for (int t = 0; t < ms; t += 100) {
            clock_.AdvanceMs(100);
            timers_.AdvanceMs(100);
        }
    }

  private slots:
    void init() {
        station_ = std::make_unique<Station>();
        WriteFile(folder_.filePath("kestrune.ini"), "[Audio]\nOutputDevice=USB Headset\n");
        asked_.clear();
    }

    void theToneIsSteadyAtTheReferenceLevel() {
        const auto dialog = Dialog();
        Click(dialog->findChild<QPushButton*>("toneButton"));
        QVERIFY(dialog->TonePlaying());
        QCOMPARE(asked_.size(), std::size_t{1});
        QCOMPARE(asked_[0].outputDevice, std::string("USB Headset"));
        Run(3000);
        const std::vector<audio::HeardSegment> heard = device_->Heard();
        Click(dialog->findChild<QPushButton*>("toneButton"));  // closes the output
        QVERIFY(!dialog->TonePlaying());
        QCOMPARE(heard.size(), std::size_t{1});  // no gap
        const audio::HeardSegment& tone = heard[0];
        QCOMPARE(tone.Frames(), std::size_t{3 * audio::kToneRate});
        int rising = 0, peak = 0;
        for (std::size_t i = 1; i < tone.Frames(); ++i) {
            if (tone.Sample(i - 1) < 0 && tone.Sample(i) >= 0) ++rising;
            peak = std::max(peak, std::abs(tone.Sample(i)));
        }
        QVERIFY2(std::abs(rising - 3000) <= 1, qPrintable(QString::number(rising)));
        QVERIFY2(peak >= 3270 && peak <= 3277, qPrintable(QString::number(peak)));  // -20 dBFS
    }

    void theMeterReadingIsCheckedBeforeItIsRecorded_data() {
        QTest::addColumn<bool>("playFirst");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<double>("stored");  // < 0: nothing stored
        QTest::addColumn<QString>("message");
        QTest::newRow("a reading") << true << "74.5" << 74.5 << "";
        QTest::newRow("decimal comma, blanks") << true << " 80,25 " << 80.25 << "";
        QTest::newRow("nothing typed") << true << "" << -1.0 << "Type the level";
        QTest::newRow("no number") << true << "loud" << -1.0 << "\"loud\" is no level";
        QTest::newRow("above the range") << true << "141" << -1.0 << "from 0 to 140";
        QTest::newRow("below the range") << true << "-3" << -1.0 << "from 0 to 140";
        QTest::newRow("tone never played") << false << "74.5" << -1.0 << "Play the tone first";
    }
    void theMeterReadingIsCheckedBeforeItIsRecorded() {
        QFETCH(bool, playFirst);
        QFETCH(QString, typed);
        QFETCH(double, stored);
        QFETCH(QString, message);
        const auto dialog = Dialog();
        if (playFirst) Click(dialog->findChild<QPushButton*>("toneButton"));
        Type(dialog->findChild<QLineEdit*>("measuredEdit"), typed);
        Click(dialog->findChild<QPushButton*>("saveButton"));
        QVERIFY2(dialog->Message().contains(message), qPrintable(dialog->Message()));
        QCOMPARE(dialog->result() == QDialog::Accepted, stored >= 0);
        const auto found =
            store::CalibrationInForce(station_->Db(), {"booth1", "", "USB Headset"}).value;
        QCOMPARE(found.has_value(), stored >= 0);
        if (!found) return;
        QVERIFY(!dialog->TonePlaying());
        QCOMPARE(found->measuredDbSpl, stored);
        QCOMPARE(found->referenceDbfs, CCalibrateDlg::kReferenceDbfs);
        QCOMPARE(found->volume, std::optional<int>(40));
        QCOMPARE(found->time, QString::fromStdString(FormatLocalTime(clock_.Now())));
    }

    // Registration's "Station" sheet takes the calibration in force for the
    // device kestrune.ini names.
    void registrationRecordsTheCalibrationInForce() {
        QVERIFY(store::RecordCalibration(
                    station_->Db(),
                    {0, {"booth1", "", "USB Headset"}, 40, -20, 71.5, "2024-05-01 09:00:00"})
                    .Ok());
        const QString book = folder_.filePath("Data/Yamada.xls");
        QString error;
        QVERIFY2(WriteStationRows(station_->Db(), book, folder_.path(), "booth1", 40, 1'700'000'000,
                                  &error),
                 qPrintable(error));
        std::string failure;
        const auto read = sheet::ReadWorkbook(sheet::WorkbookPathFor(book.toStdString()), &failure);
        QVERIFY2(read && read->Find("Station"), failure.c_str());
        QStringList rows;
        for (const auto& row : read->Find("Station")->rows)
            rows << QString::fromStdString(sheet::CellTexts(row).back());
        QCOMPARE(rows.mid(4, 7), (QStringList{"USB Headset", "(default)", "40",
                                              "2024-05-01 09:00:00", "-20.0", "71.5", "91.5"}));
    }
};

QTEST_MAIN(CalibrateTest)
#include "CalibrateTest.moc"
