// Options → Audio devices…: the dialog on a fixed device list and a virtual
// output, so neither a sound card nor PortAudio is needed.

#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

#include "app/AudioDevicesDlg.h"
#include "audio/DeviceChoice.h"
#include "audio/VirtualOutput.h"
#include "audio/WaitClock.h"

using namespace kestrune;
using namespace kestrune::app;

namespace {

// ALSA (the default host API) with an input, a duplex and an output device;
// JACK with one output.
audio::DeviceList Devices() {
    audio::DeviceList list;
    list.hostApis = {{.index = 0, .name = "ALSA", .devices = 3, .isDefault = true},
                     {.index = 1, .name = "JACK Audio Connection Kit", .devices = 1}};
    list.devices = {
        {.index = 0, .name = "mic", .hostApi = 0, .inputChannels = 2, .defaultRate = 48000},
        {.index = 1,
         .name = "default",
         .hostApi = 0,
         .inputChannels = 32,
         .outputChannels = 32,
         .defaultRate = 44100,
         .defaultInput = true,
         .defaultOutput = true},
        {.index = 2,
         .name = "USB Headset",
         .hostApi = 0,
         .outputChannels = 2,
         .defaultRate = 48000},
        {.index = 3, .name = "system", .hostApi = 1, .outputChannels = 2, .defaultRate = 96000},
    };
    list.defaultOutput = 1;
    list.defaultInput = 1;
    return list;
}

QStringList Rows(const QTreeWidget* tree) {
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

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
}

}  // namespace

class AudioDevicesTest final : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> station_;
    QString ini_;

    std::unique_ptr<CAudioDevicesDlg> Dialog(CAudioDevicesDlg::OpenOutput open = {}) {
        return std::make_unique<CAudioDevicesDlg>(Devices, std::move(open), station_->path());
    }

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
        const auto dialog = Dialog();
        auto* apis = dialog->findChild<QComboBox*>(QStringLiteral("hostApiCombo"));
        QVERIFY(apis);
        QCOMPARE(apis->count(), 3);
        QCOMPARE(apis->itemText(2), QStringLiteral("JACK Audio Connection Kit"));
        apis->setCurrentIndex(hostApi);
        QCOMPARE(Rows(dialog->findChild<QTreeWidget*>(QStringLiteral("outputList"))), outputs);
        QCOMPARE(Rows(dialog->findChild<QTreeWidget*>(QStringLiteral("inputList"))), inputs);
        QVERIFY(dialog->Message().isEmpty());
    }

    void okWritesTheChoiceAndItReadsBack() {
        WriteAll(ini_, "; booth 2\n[Log]\nLevel=2\n[Audio]\nOutputDevice=default\n");
        const auto dialog = Dialog();
        dialog->findChild<QComboBox*>(QStringLiteral("hostApiCombo"))->setCurrentIndex(1);
        auto* outputs = dialog->findChild<QTreeWidget*>(QStringLiteral("outputList"));
        outputs->setCurrentItem(outputs->topLevelItem(2));
        auto* inputs = dialog->findChild<QTreeWidget*>(QStringLiteral("inputList"));
        inputs->setCurrentItem(inputs->topLevelItem(1));
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("okButton")),
                          Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Accepted));
        const audio::DeviceChoice expected{
            .hostApi = "ALSA", .outputDevice = "USB Headset", .inputDevice = "mic"};
        QVERIFY(audio::ReadDeviceChoice(station_->path().toStdString()) == expected);
        const QByteArray text = ReadAll(ini_);
        QVERIFY2(text.startsWith("; booth 2\n[Log]\nLevel=2\n[Audio]\n"), text.constData());

        // Opened again, the dialog shows what was saved.
        const auto again = Dialog();
        QVERIFY(again->Choice() == expected);
        QCOMPARE(Current(again->findChild<QTreeWidget*>(QStringLiteral("outputList"))),
                 QStringLiteral("USB Headset"));
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
        WriteAll(ini_, ini);
        const auto dialog = Dialog();
        QCOMPARE(dialog->findChild<QComboBox*>(QStringLiteral("hostApiCombo"))->currentText(),
                 hostApi);
        QCOMPARE(Current(dialog->findChild<QTreeWidget*>(QStringLiteral("outputList"))), output);
        QCOMPARE(Current(dialog->findChild<QTreeWidget*>(QStringLiteral("inputList"))), input);
        QVERIFY2(dialog->Message().contains(missing), qPrintable(dialog->Message()));
        QVERIFY(
            dialog->findChild<QLabel*>(QStringLiteral("messageLabel"))->isVisibleTo(dialog.get()));
    }

    void cancelWritesNothing_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::newRow("no file") << QByteArray();
        QTest::newRow("a file") << QByteArray("[Audio]\r\nOutputDevice=system ; booth\r\n");
    }
    void cancelWritesNothing() {
        QFETCH(QByteArray, ini);
        if (!ini.isEmpty()) WriteAll(ini_, ini);
        const auto dialog = Dialog();
        dialog->findChild<QComboBox*>(QStringLiteral("hostApiCombo"))->setCurrentIndex(1);
        auto* outputs = dialog->findChild<QTreeWidget*>(QStringLiteral("outputList"));
        outputs->setCurrentItem(outputs->topLevelItem(2));
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cancelButton")),
                          Qt::LeftButton);
        QCOMPARE(dialog->result(), int(QDialog::Rejected));
        QCOMPARE(QFile::exists(ini_), !ini.isEmpty());
        QCOMPARE(ReadAll(ini_), ini);
    }

    void testToneIsHeardOnTheSelectedOutput() {
        audio::ManualWaitClock clock;
        audio::VirtualOutput* device = nullptr;
        std::vector<audio::DeviceChoice> asked;
        const auto dialog = Dialog([&](const audio::DeviceChoice& choice) {
            asked.push_back(choice);
            auto output = std::make_unique<audio::VirtualOutput>(clock);
            device = output.get();
            return std::unique_ptr<audio::SoundOutput>(std::move(output));
        });
        auto* outputs = dialog->findChild<QTreeWidget*>(QStringLiteral("outputList"));
        outputs->setCurrentItem(outputs->topLevelItem(2));
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("testToneButton")),
                          Qt::LeftButton);
        QCOMPARE(asked.size(), std::size_t{1});
        QCOMPARE(asked[0].outputDevice, std::string("USB Headset"));
        QVERIFY(device);
        clock.AdvanceMs(CAudioDevicesDlg::kToneMs + 100);

        const std::vector<audio::HeardSegment> heard = device->Heard();
        QCOMPARE(heard.size(), std::size_t{1});
        const audio::HeardSegment& tone = heard[0];
        QCOMPARE(tone.rate, CAudioDevicesDlg::kToneRate);
        QCOMPARE(tone.Frames(),
                 std::size_t{CAudioDevicesDlg::kToneRate * CAudioDevicesDlg::kToneMs / 1000});
        // 1 kHz: one rising zero crossing per millisecond, and loud enough.
        int rising = 0;
        int peak = 0;
        for (std::size_t i = 1; i < tone.Frames(); ++i) {
            if (tone.Sample(i - 1) < 0 && tone.Sample(i) >= 0) ++rising;
            peak = std::max(peak, std::abs(tone.Sample(i)));
        }
        QVERIFY2(std::abs(rising - int(CAudioDevicesDlg::kToneMs)) <= 1,
                 qPrintable(QString::number(rising)));
        QVERIFY(peak > CAudioDevicesDlg::kTonePeak * 9 / 10 && peak <= CAudioDevicesDlg::kTonePeak);
        QVERIFY(dialog->Message().isEmpty());
    }

    void aToneWithoutAnOutputSaysSo() {
        const auto dialog = Dialog(
            [](const audio::DeviceChoice&) { return std::unique_ptr<audio::SoundOutput>(); });
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("testToneButton")),
                          Qt::LeftButton);
        QVERIFY2(dialog->Message().contains(QStringLiteral("test tone could not be played")),
                 qPrintable(dialog->Message()));
    }
};

QTEST_MAIN(AudioDevicesTest)
#include "AudioDevicesTest.moc"
