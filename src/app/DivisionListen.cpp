#include "app/DivisionListen.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>

#include "app/Prompter.h"
#include "audio/SoundOutput.h"
#include "core/dsp/DivisionListen.h"
#include "core/dsp/DutyCycle.h"
#include "core/text/Numbers.h"

namespace kestrune::app {

namespace {

constexpr char kAudioOutputError[] = "Audio output error!";

double Read(const QLineEdit* edit) {
    return LeadingReal(edit->text().toStdString());
}

}  // namespace

CEarLegend::CEarLegend(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("earLegend"));
    setFixedSize(120, 64);
}

void CEarLegend::Draw(int32_t type, double duty) {
    pattern_ = std::make_pair(type, duty);
    update();
}

void CEarLegend::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (!pattern_) return;
    const int width = this->width();
    // The left ear sounds where the duty pattern sounds, the right ear where it is silent.
    const auto runs = edits::SilencedRuns(
        width, static_cast<float>(dsp::PlayedDuty(pattern_->second)), pattern_->first);
    const auto silenced = [&](int x) {
        for (const edits::Run& run : runs)
            if (x >= run.begin && x < run.end) return true;
        return false;
    };
    for (int ear = 0; ear < 2; ++ear) {
        const int low = (ear + 1) * height() / 2 - 4;
        const int high = low - height() / 2 + 10;
        painter.setPen(QPen(Qt::magenta, 1));
        painter.drawLine(0, low, width, low);
        const auto level = [&](int x) { return silenced(x) == (ear == 0) ? low : high; };
        QPolygon line;
        for (int x = 0; x < width; ++x) {
            if (x == 0 || level(x) != level(x - 1)) {
                if (x > 0) line << QPoint(x, level(x - 1));
                line << QPoint(x, level(x));
            }
        }
        line << QPoint(width, level(width - 1));
        painter.setPen(QPen(Qt::yellow, 2));
        painter.drawPolyline(line);
    }
}

CDivisionListen::CDivisionListen(const DivisionSettings& kept, const std::vector<uint8_t>& samples,
                                 uint32_t count, uint16_t bits, uint32_t rate,
                                 audio::SoundOutput* output, Prompter& prompter, QWidget* parent)
    : QDialog(parent), rate_(rate), output_(output), prompter_(prompter) {
    setWindowTitle(QStringLiteral("分離聴"));
    periodType_ = new QComboBox(this);
    periodType_->setObjectName(QStringLiteral("periodTypeList"));
    periodType_->addItems(
        {QStringLiteral("Left"), QStringLiteral("Middle"), QStringLiteral("Right")});
    periodType_->setCurrentIndex(kept.periodType >= 0 && kept.periodType < 3 ? kept.periodType : 0);
    period_ = new QLineEdit(QString::asprintf("%f", kept.periodMs), this);
    period_->setObjectName(QStringLiteral("periodEdit"));
    duty_ = new QLineEdit(QString::asprintf("%f", kept.duty), this);
    duty_->setObjectName(QStringLiteral("dutyEdit"));
    legend_ = new CEarLegend(this);
    periodText_ = new QLabel(this);
    periodText_->setObjectName(QStringLiteral("periodText"));
    const auto button = [this](const QString& caption, const char* name) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        return b;
    };
    play_ = button(QStringLiteral("再生"), "playButton");
    keep_ = button(QStringLiteral("保存"), "keepButton");
    end_ = button(QStringLiteral("終了"), "endButton");
    connect(play_, &QPushButton::clicked, this, &CDivisionListen::Play);
    connect(keep_, &QPushButton::clicked, this, &CDivisionListen::Keep);
    connect(end_, &QPushButton::clicked, this, &CDivisionListen::End);
    connect(periodType_, &QComboBox::activated, this, &CDivisionListen::RedrawLegend);
    connect(period_, &QLineEdit::editingFinished, this, &CDivisionListen::RedrawLegend);
    connect(duty_, &QLineEdit::editingFinished, this, &CDivisionListen::RedrawLegend);

    auto* grid = new QGridLayout(this);
    grid->addWidget(periodType_, 0, 0, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("周期"), this), 1, 0);
    grid->addWidget(period_, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("ms"), this), 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("負荷サイクル"), this), 2, 0);
    grid->addWidget(duty_, 2, 1);
    auto* ears = new QGridLayout;
    ears->addWidget(new QLabel(QStringLiteral("左"), this), 0, 0);
    ears->addWidget(new QLabel(QStringLiteral("右"), this), 1, 0);
    ears->addWidget(legend_, 0, 1, 2, 1);
    ears->addWidget(periodText_, 0, 2, 2, 1);
    grid->addLayout(ears, 3, 0, 1, 3);
    grid->addWidget(play_, 0, 3);
    grid->addWidget(keep_, 1, 3);
    grid->addWidget(end_, 2, 3);
    grid->setSizeConstraint(QLayout::SetFixedSize);

    stereo_ = dsp::StereoSource(samples, count, bits);
    savedPeriod_ = period_->text();
    savedDuty_ = duty_->text();
    savedType_ = periodType_->currentIndex();
    RedrawLegend();
}

CDivisionListen::~CDivisionListen() {
    StopOutput();
}

DivisionSettings CDivisionListen::Settings() const {
    return {Read(period_), Read(duty_), periodType_->currentIndex()};
}

void CDivisionListen::RedrawLegend() {
    legend_->Draw(periodType_->currentIndex(), Read(duty_));
    periodText_->setText(QString::asprintf("%4.3fms", Read(period_)));
}

void CDivisionListen::SetButtonsEnabled(bool enabled) {
    for (QPushButton* b : {play_, keep_, end_}) b->setEnabled(enabled);
}

void CDivisionListen::Play() {
    if (playing_) return;
    SetButtonsEnabled(false);
    RedrawLegend();
    output_buffer_ = dsp::AlternateEars(stereo_, rate_, Read(period_), Read(duty_));
    if (output_ != nullptr) {
        output_->Close();  // the callback is set while the device is closed
        output_->SetDoneCallback([this] {
            // On the output's thread: the end is handled on the dialog's.
            QMetaObject::invokeMethod(this, &CDivisionListen::OnOutputDone, Qt::QueuedConnection);
        });
    }
    if (output_ == nullptr || !output_->Open(dsp::DivisionFormat(rate_), rate_) ||
        !output_->Write(reinterpret_cast<const uint8_t*>(output_buffer_.data()),
                        output_buffer_.size() * sizeof(int16_t))) {
        StopOutput();
        prompter_.Message(this, QString::fromLatin1(kAudioOutputError));
        SetButtonsEnabled(true);
        return;
    }
    playing_ = true;
    if (output_buffer_.empty()) OnOutputDone();
}

void CDivisionListen::OnOutputDone() {
    // A notice from a playback already stopped, or one the device has not finished.
    if (!playing_ || (output_ != nullptr && !output_->Done())) return;
    StopOutput();
    SetButtonsEnabled(true);
}

void CDivisionListen::StopOutput() {
    playing_ = false;
    if (output_ == nullptr) return;
    output_->Stop();
    output_->Close();
    output_->SetDoneCallback({});
}

void CDivisionListen::Keep() {
    savedPeriod_ = period_->text();
    savedDuty_ = duty_->text();
    savedType_ = periodType_->currentIndex();
    RedrawLegend();
}

void CDivisionListen::End() {
    period_->setText(savedPeriod_);
    duty_->setText(savedDuty_);
    periodType_->setCurrentIndex(savedType_);
    accept();
}

}  // namespace kestrune::app
