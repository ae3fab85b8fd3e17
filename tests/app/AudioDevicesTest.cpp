// Options → Audio devices…: the dialog on a fixed device list and a virtual
// output, so neither a sound card nor PortAudio is needed.

#include <QLabel>

#include "AppTestSupport.h"
#include "app/AudioDevicesDlg.h"
#include "audio/AudioTestSupport.h"
#include "audio/DeviceChoice.h"
#include "audio/VirtualOutput.h"
#include "audio/WaitClock.h"

using namespace kestrune;
using namespace kestrune::app;
using namespace kestrune::app::testing;

namespace {

QStringList DeviceRows(const QTreeWidget* tree) {
    QStringList rows;
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = tree->topLevelItem(i);
        rows << (item->text(1).isEmpty()
                     ? item->text(0)
                     : item->text(0) + u'/' + item->text(1) + u'/' + item->text(2));
    }
    return rows;
}

QString Current(const QTreeWidget* tree) {
    return tree->currentItem() ? tree->currentItem()->text(0) : QString();
}

QByteArray ReadAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class AudioDevicesTest final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> station_;
    QString ini_;

    audio::ManualWaitClock clock_;  ///< outlives the dialogs and their outputs
    std::unique_ptr<CAudioDevicesDlg> dialog_;
    Controls ui_;

    void Open(CAudioDevicesDlg::OpenOutput open = {}) {
        dialog_ = std::make_unique<CAudioDevicesDlg>(audio::testing::TwoHostApis, std::move(open),
                                                     station_->path());
        ui_.window = dialog_.get();
    }
    QTreeWidget* Outputs() const { return ui_.Get<QTreeWidget>("outputList"); }
    QTreeWidget* Inputs() const { return ui_.Get<QTreeWidget>("inputList"); }

  private slots:
    void init() {
        station_ = std::make_unique<QTemporaryDir>();
        QVERIFY(station_->isValid());
        ini_ = station_->filePath(QStringLiteral("kestrune.ini"));
    }

    void listsTheDevicesOfTheChosenHostApi_data() {
        QTest::addColumn<int>("hostApi");
        QTest::addColumn<QStringList>("outputs");
        QTest::addColumn<QStringList>("inputs");
        QTest::newRow("default: every host API")
            << 0
            << QStringList{"(default)", "default/32/44100", "USB Headset/2/48000", "system/2/96000"}
            << QStringList{"(default)", "mic/2/48000", "default/32/44100"};
        QTest::newRow("ALSA") << 1
                              << QStringList{"(default)", "default/32/44100", "USB Headset/2/48000"}
                              << QStringList{"(default)", "mic/2/48000", "default/32/44100"};
        QTest::newRow("JACK") << 2 << QStringList{"(default)", "system/2/96000"}
                              << QStringList{"(default)"};
    }
    void listsTheDevicesOfTheChosenHostApi() {
        QFETCH(int, hostApi);
        QFETCH(QStringList, outputs);
        QFETCH(QStringList, inputs);
        Open();
        QComboBox* apis = ui_.Combo("hostApiCombo");
        QCOMPARE(apis->count(), 3);
        QCOMPARE(apis->itemText(2), QStringLiteral("JACK Audio Connection Kit"));
        apis->setCurrentIndex(hostApi);
        QCOMPARE(DeviceRows(Outputs()), outputs);
        QCOMPARE(DeviceRows(Inputs()), inputs);
        QVERIFY(dialog_->Message().isEmpty());
    }

    // How the file keeps its other lines is the device choice's own, tested there.
    void okWritesTheChoiceAndItReadsBack() {
        WriteFile(ini_, "[Audio]\nOutputDevice=default\n");
        Open();
        ui_.Combo("hostApiCombo")->setCurrentIndex(1);
        Outputs()->setCurrentItem(Outputs()->topLevelItem(2));
        Inputs()->setCurrentItem(Inputs()->topLevelItem(1));
        Click(ui_.Button("okButton"));
        QCOMPARE(dialog_->result(), int(QDialog::Accepted));
        const audio::DeviceChoice expected{
            .hostApi = "ALSA", .outputDevice = "USB Headset", .inputDevice = "mic"};
        QVERIFY(audio::ReadDeviceChoice(station_->path().toStdString()) == expected);

        // Opened again, the dialog shows what was saved.
        Open();
        QVERIFY(dialog_->Choice() == expected);
        QCOMPARE(Current(Outputs()), QStringLiteral("USB Headset"));
    }

    void aMissingDeviceSelectsTheDefaultSayingSo_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("hostApi");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("missing");
        QTest::newRow("output gone")
            << QByteArray("[Audio]\nHostApi=ALSA\nOutputDevice=Old Card\nInputDevice=mic\n")
            << "ALSA"
            << "(default)"
            << "mic"
            << "output device \"Old Card\"";
        QTest::newRow("input gone")
            << QByteArray("[Audio]\nOutputDevice=system\nInputDevice=Old Mic\n") << "(default)"
            << "system"
            << "(default)"
            << "input device \"Old Mic\"";
        QTest::newRow("host API gone")
            << QByteArray("[Audio]\nHostApi=OSS\nOutputDevice=USB Headset\n") << "(default)"
            << "USB Headset"
            << "(default)"
            << "host API \"OSS\"";
        // A device of another host API is not in this one's list.
        QTest::newRow("device of another host API")
            << QByteArray("[Audio]\nHostApi=JACK Audio Connection Kit\nOutputDevice=USB Headset\n")
            << "JACK Audio Connection Kit"
            << "(default)"
            << "(default)"
            << "output device \"USB Headset\"";
    }
    void aMissingDeviceSelectsTheDefaultSayingSo() {
        QFETCH(QByteArray, ini);
        QFETCH(QString, hostApi);
        QFETCH(QString, output);
        QFETCH(QString, input);
        QFETCH(QString, missing);
        WriteFile(ini_, ini);
        Open();
        QCOMPARE(ui_.Combo("hostApiCombo")->currentText(), hostApi);
        QCOMPARE(Current(Outputs()), output);
        QCOMPARE(Current(Inputs()), input);
        QVERIFY2(dialog_->Message().contains(missing), qPrintable(dialog_->Message()));
        QVERIFY(ui_.Get<QLabel>("messageLabel")->isVisibleTo(dialog_.get()));
    }

    void cancelWritesNothing_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("a file") << QByteArray("[Audio]\r\nOutputDevice=system ; booth\r\n");
    }
    void cancelWritesNothing() {
        QFETCH(QByteArray, ini);
        if (!ini.isEmpty()) WriteFile(ini_, ini);
        Open();
        ui_.Combo("hostApiCombo")->setCurrentIndex(1);
        Outputs()->setCurrentItem(Outputs()->topLevelItem(2));
        Click(ui_.Button("cancelButton"));
        QCOMPARE(dialog_->result(), int(QDialog::Rejected));
        QCOMPARE(QFile::exists(ini_), !ini.isEmpty());
        QCOMPARE(ReadAll(ini_), ini);
    }

    void testToneIsHeardOnTheSelectedOutput() {
        audio::VirtualOutput* device = nullptr;
        std::vector<audio::DeviceChoice> asked;
        Open([&](const audio::DeviceChoice& choice) {
            asked.push_back(choice);
            auto output = std::make_unique<audio::VirtualOutput>(clock_);
            device = output.get();
            return std::unique_ptr<audio::SoundOutput>(std::move(output));
        });
        Outputs()->setCurrentItem(Outputs()->topLevelItem(2));
        Click(ui_.Button("testToneButton"));
        QCOMPARE(asked.size(), std::size_t{1});
        QCOMPARE(asked[0].outputDevice, std::string("USB Headset"));
        QVERIFY(device);
        clock_.AdvanceMs(CAudioDevicesDlg::kToneMs + 100);

        const std::vector<audio::HeardSegment> heard = device->Heard();
        QCOMPARE(heard.size(), std::size_t{1});
        const audio::HeardSegment& tone = heard[0];
        QCOMPARE(tone.rate, CAudioDevicesDlg::kToneRate);
        // 1 kHz for the whole tone: one rising zero crossing per millisecond, and loud enough.
        int rising = 0;
        int peak = 0;
        for (std::size_t i = 1; i < tone.Frames(); ++i) {
            if (tone.Sample(i - 1) < 0 && tone.Sample(i) >= 0) ++rising;
            peak = std::max(peak, std::abs(tone.Sample(i)));
        }
        QVERIFY2(std::abs(rising - int(CAudioDevicesDlg::kToneMs)) <= 1,
                 qPrintable(QString::number(rising)));
        QVERIFY(peak > CAudioDevicesDlg::kTonePeak * 9 / 10 && peak <= CAudioDevicesDlg::kTonePeak);
        QVERIFY(dialog_->Message().isEmpty());
    }

    void aToneWithoutAnOutputSaysSo() {
        Open([](const audio::DeviceChoice&) { return std::unique_ptr<audio::SoundOutput>(); });
        Click(ui_.Button("testToneButton"));
        QVERIFY2(dialog_->Message().contains(QStringLiteral("test tone could not be played")),
                 qPrintable(dialog_->Message()));
    }
};

QTEST_MAIN(AudioDevicesTest)
#include "AudioDevicesTest.moc"
