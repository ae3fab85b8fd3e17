#include "app/AudioDevicesDlg.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <cmath>
#include <vector>

#include "audio/SoundOutput.h"
#include "audio/TestTone.h"
#include "core/wave/WaveFile.h"

namespace kestrune::app {

namespace {

const QString kDefaultItem = QStringLiteral("(default)");

QTreeWidget* MakeDeviceTree(const char* name, QWidget* parent) {
    auto* tree = new QTreeWidget(parent);
    tree->setObjectName(QString::fromLatin1(name));
    tree->setHeaderLabels(
        {QStringLiteral("Name"), QStringLiteral("Channels"), QStringLiteral("Default rate (Hz)")});
    tree->setRootIsDecorated(false);
    tree->setSelectionMode(QAbstractItemView::SingleSelection);
    tree->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    tree->setMinimumSize(480, 120);
    return tree;
}

// The selected row's device name; "" for the default row or no selection.
std::string SelectedName(const QTreeWidget* tree) {
    QTreeWidgetItem* item = tree->currentItem();
    if (item == nullptr || tree->indexOfTopLevelItem(item) == 0) return {};
    return item->text(0).toStdString();
}

}  // namespace

CAudioDevicesDlg::CAudioDevicesDlg(const ListDevices& list, OpenOutput openOutput,
                                   QString stationFolder, QWidget* parent)
    : QDialog(parent),
      devices_(list ? list() : audio::DeviceList{}),
      openOutput_(std::move(openOutput)),
      stationFolder_(std::move(stationFolder)),
      initial_(audio::ReadDeviceChoice(stationFolder_.toStdString())) {
    setObjectName(QStringLiteral("audioDevicesDialog"));
    setWindowTitle(QStringLiteral("Audio devices"));

    hostApis_ = new QComboBox(this);
    hostApis_->setObjectName(QStringLiteral("hostApiCombo"));
    hostApis_->addItem(kDefaultItem);
    for (const audio::HostApiInfo& api : devices_.hostApis)
        hostApis_->addItem(QString::fromStdString(api.name), api.index);
    outputs_ = MakeDeviceTree("outputList", this);
    inputs_ = MakeDeviceTree("inputList", this);

    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("messageLabel"));
    message_->setWordWrap(true);
    message_->setVisible(false);
    auto* note = new QLabel(
        QStringLiteral("The choice is kept in %1 in the station folder and takes effect the "
                       "next time Kestrune starts.")
            .arg(QString::fromUtf8(audio::kStationSettingsFile.data(),
                                   static_cast<qsizetype>(audio::kStationSettingsFile.size()))),
        this);
    note->setObjectName(QStringLiteral("noteLabel"));
    note->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    testTone_ = buttons->addButton(QStringLiteral("&Test tone"), QDialogButtonBox::ActionRole);
    testTone_->setObjectName(QStringLiteral("testToneButton"));
    buttons->button(QDialogButtonBox::Ok)->setObjectName(QStringLiteral("okButton"));
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(QStringLiteral("cancelButton"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(testTone_, &QPushButton::clicked, this, &CAudioDevicesDlg::PlayTestTone);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Host API:"), hostApis_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("Output devices:"), this));
    layout->addWidget(outputs_);
    layout->addWidget(new QLabel(QStringLiteral("Input devices:"), this));
    layout->addWidget(inputs_);
    layout->addWidget(message_);
    layout->addWidget(note);
    layout->addWidget(buttons);

    // The station's choice, or the defaults with a line for what is gone.
    if (!initial_.hostApi.empty()) {
        const int found = hostApis_->findText(QString::fromStdString(initial_.hostApi),
                                              Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (found > 0) {
            hostApis_->setCurrentIndex(found);
        } else {
            AddMessage(QStringLiteral("The sound host API \"%1\" is not available; the default "
                                      "is selected.")
                           .arg(QString::fromStdString(initial_.hostApi)));
        }
    }
    FillDevices();
    SelectByName(outputs_, initial_.outputDevice, QStringLiteral("output"));
    SelectByName(inputs_, initial_.inputDevice, QStringLiteral("input"));
    connect(hostApis_, &QComboBox::currentIndexChanged, this, [this] { FillDevices(); });
}

CAudioDevicesDlg::~CAudioDevicesDlg() {
    if (tone_) tone_->Close();
}

void CAudioDevicesDlg::FillDevices() {
    const int api = hostApis_->currentIndex() > 0 ? hostApis_->currentData().toInt() : -1;
    for (QTreeWidget* tree : {outputs_, inputs_}) {
        const bool output = tree == outputs_;
        tree->clear();
        auto* first = new QTreeWidgetItem(tree, {kDefaultItem});
        for (const audio::DeviceInfo& device : devices_.devices) {
            const int channels = output ? device.outputChannels : device.inputChannels;
            if (channels <= 0 || (api >= 0 && device.hostApi != api)) continue;
            new QTreeWidgetItem(tree,
                                {QString::fromStdString(device.name), QString::number(channels),
                                 QString::number(std::llround(device.defaultRate))});
        }
        tree->setCurrentItem(first);
    }
}

void CAudioDevicesDlg::SelectByName(QTreeWidget* tree, const std::string& name,
                                    const QString& kind) {
    if (name.empty()) return;
    const QList<QTreeWidgetItem*> found =
        tree->findItems(QString::fromStdString(name), Qt::MatchExactly | Qt::MatchCaseSensitive, 0);
    for (QTreeWidgetItem* item : found) {
        if (tree->indexOfTopLevelItem(item) > 0) {
            tree->setCurrentItem(item);
            return;
        }
    }
    AddMessage(QStringLiteral("The sound %1 device \"%2\" is not available; the default is "
                              "selected.")
                   .arg(kind, QString::fromStdString(name)));
}

audio::DeviceChoice CAudioDevicesDlg::Choice() const {
    audio::DeviceChoice choice;
    if (hostApis_->currentIndex() > 0) choice.hostApi = hostApis_->currentText().toStdString();
    choice.outputDevice = SelectedName(outputs_);
    choice.inputDevice = SelectedName(inputs_);
    return choice;
}

QString CAudioDevicesDlg::Message() const {
    return message_->text();
}

void CAudioDevicesDlg::AddMessage(const QString& line) {
    message_->setText(message_->text().isEmpty() ? line : message_->text() + u'\n' + line);
    message_->setVisible(true);
}

void CAudioDevicesDlg::PlayTestTone() {
    if (tone_) tone_->Close();
    tone_ = openOutput_ ? openOutput_(Choice()) : nullptr;
    const WaveFormat format = PcmFormat(1, kToneRate, 16);
    if (!tone_ || !tone_->Open(format, kToneRate)) {
        tone_.reset();
        AddMessage(
            QStringLiteral("The test tone could not be played: the output device does not "
                           "open."));
        return;
    }
    // Faded in and out over 10 ms so it starts and ends without a click.
    const std::vector<uint8_t> bytes = audio::SineBytes(kTonePeak, 0, kToneRate * kToneMs / 1000,
                                                        kToneRate / 100, kToneRate / 100);
    tone_->Write(bytes.data(), bytes.size());
}

void CAudioDevicesDlg::accept() {
    std::string error;
    if (!audio::WriteDeviceChoice(stationFolder_.toStdString(), Choice(), &error)) {
        AddMessage(
            QStringLiteral("The choice was not saved: %1").arg(QString::fromStdString(error)));
        return;
    }
    QDialog::accept();
}

void CAudioDevicesDlg::done(int result) {
    if (tone_) tone_->Close();
    tone_.reset();
    QDialog::done(result);
}

}  // namespace kestrune::app
