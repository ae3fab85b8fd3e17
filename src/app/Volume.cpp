#include "app/Volume.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QStyle>

#include "app/Fonts.h"

namespace kestrune::app {

CVolume::CVolume(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("音量を調整する"));
    setFont(FaceFont(kGothicFace, 11));

    auto* prompt = new QLabel(QStringLiteral("今適切な音量を調整してください"), this);
    prompt->setObjectName(QStringLiteral("promptText"));
    slider_ = new QSlider(Qt::Horizontal, this);
    slider_->setObjectName(QStringLiteral("volumeSlider"));
    slider_->setMinimumWidth(375);
    volumeText_ = new QLabel(QStringLiteral("Volume"), this);
    volumeText_->setObjectName(QStringLiteral("volumeText"));
    auto* speaker = new QLabel(this);
    speaker->setPixmap(style()->standardIcon(QStyle::SP_MediaVolume).pixmap(32, 32));
    endButton_ = new QPushButton(QStringLiteral("終了"), this);
    endButton_->setObjectName(QStringLiteral("endButton"));
    endButton_->setDefault(true);

    auto* layout = new QGridLayout(this);
    layout->addWidget(prompt, 0, 0, 1, 3);
    layout->addWidget(speaker, 1, 0);
    layout->addWidget(slider_, 1, 1);
    layout->addWidget(volumeText_, 1, 2);
    layout->addWidget(endButton_, 2, 2);
    connect(endButton_, &QPushButton::clicked, this, &QDialog::accept);
}

void CVolume::showEvent(QShowEvent* event) {
    if (!started_) {
        started_ = true;
        Start();
    }
    QDialog::showEvent(event);
}

void CVolume::Start() {
    mixer_.Open();
    const int minimum = mixer_.Minimum();
    const int maximum = mixer_.Maximum();
    slider_->setRange(minimum, maximum);
    slider_->setPageStep(static_cast<int>(static_cast<unsigned>(maximum) / 20u));
    const int position = audio::VolumeForPercent(minimum, maximum, volume_);
    slider_->setValue(position);
    mixer_.SetValue(position, position);
    volumeText_->setText(QString::number(volume_));
    volumeText_->setFont(FaceFont(kGothicFace, 15));
    // Connected only now: setting the opening position is not a move.
    connect(slider_, &QSlider::valueChanged, this, &CVolume::OnSliderMoved);
}

void CVolume::OnSliderMoved(int position) {
    mixer_.SetValue(position, position);
    const int range = slider_->maximum() - slider_->minimum();
    // An empty range (no mixer) keeps the percentage that came in.
    if (range != 0) volume_ = position * 100 / range;
    volumeText_->setText(QString::number(volume_));
}

void CVolume::done(int result) {
    mixer_.Close();
    QDialog::done(result);
}

}  // namespace kestrune::app
