#include "app/CalibrateDlg.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/StationFacts.h"
#include "app/Timers.h"
#include "audio/MixerControl.h"
#include "audio/SoundOutput.h"
#include "core/util/Clock.h"
#include "store/Calibration.h"

namespace kestrune::app {

namespace {

const QString kPlay = QStringLiteral("&Play tone");
const QString kStop = QStringLiteral("S&top tone");

QString Level(double level) {
    return QString::fromStdString(sheet::LevelText(level));
}

}  // namespace

CCalibrateDlg::CCalibrateDlg(Services services, QWidget* parent)
    : QDialog(parent), services_(std::move(services)) {
    setObjectName(QStringLiteral("calibrateDialog"));
    setWindowTitle(QStringLiteral("Calibrate"));
    if (services_.stationName.isEmpty()) services_.stationName = store::StationName();
    if (!services_.readVolume) services_.readVolume = audio::ReadSpeakerVolumePercent;
    choice_ = audio::ReadDeviceChoice(services_.stationFolder.toStdString());
    feed_ = (services_.timers != nullptr ? *services_.timers : EventLoopTimers()).Make([this] {
        tone_.Feed();
        if (tone_.Playing()) feed_->Start(kFeedMs);
    });

    auto* device = new QLabel(DeviceText(choice_), this);
    device->setObjectName(QStringLiteral("deviceLabel"));
    volume_ = new QLabel(this);
    volume_->setObjectName(QStringLiteral("volumeLabel"));
    volume_->setText(VolumeText(services_.readVolume()));
    auto* tone = new QLabel(QStringLiteral("1 kHz sine at %1 dBFS (peak at a tenth of full scale)")
                                .arg(Level(kReferenceDbfs)),
                            this);
    tone->setObjectName(QStringLiteral("toneLabel"));
    inForce_ = new QLabel(this);
    inForce_->setObjectName(QStringLiteral("inForceLabel"));
    inForce_->setWordWrap(true);
    measured_ = new QLineEdit(this);
    measured_->setObjectName(QStringLiteral("measuredEdit"));
    measured_->setPlaceholderText(QStringLiteral("e.g. 74.5"));
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("messageLabel"));
    message_->setWordWrap(true);
    message_->setVisible(false);
    auto* note = new QLabel(
        QStringLiteral("Hold the sound-level meter where the listener's ear will be, play the "
                       "tone, and type the level the meter shows. Change the speaker volume "
                       "only before calibrating: a calibration holds for the volume it was "
                       "made at."),
        this);
    note->setWordWrap(true);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Save | QDialogButtonBox::Close, this);
    toneButton_ = buttons->addButton(kPlay, QDialogButtonBox::ActionRole);
    toneButton_->setObjectName(QStringLiteral("toneButton"));
    buttons->button(QDialogButtonBox::Save)->setObjectName(QStringLiteral("saveButton"));
    buttons->button(QDialogButtonBox::Close)->setObjectName(QStringLiteral("closeButton"));
    connect(buttons->button(QDialogButtonBox::Save), &QPushButton::clicked, this,
            &CCalibrateDlg::Save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(toneButton_, &QPushButton::clicked, this, &CCalibrateDlg::ToggleTone);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Output:"), device);
    form->addRow(QStringLiteral("Speaker volume:"), volume_);
    form->addRow(QStringLiteral("Tone:"), tone);
    form->addRow(QStringLiteral("In force:"), inForce_);
    form->addRow(QStringLiteral("&Meter reading (dB SPL):"), measured_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(note);
    layout->addLayout(form);
    layout->addWidget(message_);
    layout->addWidget(buttons);
    ShowInForce();
}

CCalibrateDlg::~CCalibrateDlg() {
    StopTone();
}

std::optional<double> CCalibrateDlg::ParseMeasuredLevel(const QString& text, QString* problem) {
    QString typed = text.trimmed();
    typed.replace(u',', u'.');
    bool ok = false;
    const double level = QLocale::c().toDouble(typed, &ok);
    if (ok && level >= store::kLowestDbSpl && level <= store::kHighestDbSpl) return level;
    *problem = QStringLiteral(
                   "Type the level the sound-level meter shows, in dB SPL: a number from %1 "
                   "to %2, such as 74.5.")
                   .arg(store::kLowestDbSpl)
                   .arg(store::kHighestDbSpl);
    if (!typed.isEmpty()) *problem = QStringLiteral("\"%1\" is no level. ").arg(text) + *problem;
    return std::nullopt;
}

QString CCalibrateDlg::Message() const {
    return message_->text();
}

void CCalibrateDlg::SetMessage(const QString& text) {
    message_->setText(text);
    message_->setVisible(!text.isEmpty());
}

void CCalibrateDlg::ShowInForce() {
    const auto found = store::CalibrationInForce(
        services_.db, {services_.stationName, QString::fromStdString(choice_.hostApi),
                       QString::fromStdString(choice_.outputDevice)});
    if (!found.Ok()) {
        inForce_->setText(QStringLiteral("unknown: %1").arg(found.error->message));
    } else if (!found.value) {
        inForce_->setText(QStringLiteral("not calibrated"));
    } else {
        const store::Calibration& c = *found.value;
        inForce_->setText(
            QStringLiteral("%1 dB SPL at %2 dBFS, speaker volume %3, on %4")
                .arg(Level(c.measuredDbSpl), Level(c.referenceDbfs), VolumeText(c.volume), c.time));
    }
}

void CCalibrateDlg::ToggleTone() {
    if (tone_.Playing()) {
        StopTone();
    } else {
        StartTone();
    }
}

void CCalibrateDlg::StartTone() {
    output_ = services_.openOutput ? services_.openOutput(choice_) : nullptr;
    if (!output_ || !tone_.Start(*output_, kReferenceDbfs)) {
        output_.reset();
        SetMessage(QStringLiteral("The tone could not be played: the output device %1 does not "
                                  "open or is not there (Options > Audio devices... lists the "
                                  "devices there are).")
                       .arg(DeviceText(choice_)));
        return;
    }
    tonePlayed_ = true;
    SetMessage(QString());
    // The volume the tone plays at now.
    volume_->setText(VolumeText(services_.readVolume()));
    toneButton_->setText(kStop);
    feed_->Start(kFeedMs);
}

void CCalibrateDlg::StopTone() {
    if (feed_) feed_->Stop();
    tone_.Stop();
    output_.reset();
    if (toneButton_ != nullptr) toneButton_->setText(kPlay);
}

void CCalibrateDlg::Save() {
    QString problem;
    const std::optional<double> level = ParseMeasuredLevel(measured_->text(), &problem);
    if (!level) {
        SetMessage(problem);
        measured_->setFocus();
        return;
    }
    if (!tonePlayed_) {
        SetMessage(
            QStringLiteral("Play the tone first: the level is read from the meter while "
                           "it sounds."));
        return;
    }
    store::Calibration calibration;
    calibration.device = {services_.stationName, QString::fromStdString(choice_.hostApi),
                          QString::fromStdString(choice_.outputDevice)};
    calibration.volume = services_.readVolume();
    calibration.referenceDbfs = kReferenceDbfs;
    calibration.measuredDbSpl = *level;
    calibration.time = QString::fromStdString(FormatLocalTime(services_.clock.Now()));
    const auto stored = store::RecordCalibration(services_.db, calibration);
    if (!stored.Ok()) {
        SetMessage(QStringLiteral("The calibration was not saved.\n") + stored.error->Text());
        return;
    }
    accept();
}

void CCalibrateDlg::done(int result) {
    StopTone();
    QDialog::done(result);
}

}  // namespace kestrune::app
