#include "app/battery/Output.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Fonts.h"
#include "app/Timers.h"

namespace kestrune::app {

COutput::COutput(QWidget* parent, Timers* timers)
    : QDialog(parent),
      closeTimer_((timers != nullptr ? *timers : EventLoopTimers()).Make([this] { accept(); })) {
    setWindowTitle(QStringLiteral("テストの結果"));
    setWindowFlag(Qt::WindowStaysOnTopHint, true);

    text_ = new QLabel(this);
    text_->setObjectName(QStringLiteral("resultText"));
    text_->setFont(FaceFont(kRoundedFace, 18));
    text_->setTextFormat(Qt::PlainText);
    text_->setWordWrap(true);
    text_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text_->setMinimumSize(520, 220);

    auto* close = new QPushButton(QStringLiteral("閉じる"), this);
    close->setObjectName(QStringLiteral("closeButton"));
    close->setFont(FaceFont(kRoundedFace, 25));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 24, 24, 18);
    layout->setSpacing(18);
    layout->addWidget(text_, 1);
    layout->addWidget(close, 0, Qt::AlignCenter);
}

COutput::~COutput() = default;

QString COutput::Text() const {
    return text_->text();
}

void COutput::SetText(const QString& text) {
    text_->setText(text);
}

void COutput::showEvent(QShowEvent* event) {
    if (!started_) {
        started_ = true;
        closeTimer_->Start(kShowMs);
    }
    QDialog::showEvent(event);
}

}  // namespace kestrune::app
