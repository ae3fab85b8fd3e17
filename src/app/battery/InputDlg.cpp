#include "app/battery/InputDlg.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "app/Fonts.h"
#include "app/Prompter.h"
#include "app/Volume.h"
#include "core/battery/InstructionText.h"
#include "core/text/Encoding.h"
#include "core/util/Clock.h"
#include "store/Database.h"
#include "store/Results.h"

namespace kestrune::app {

namespace {

/** The prompt area: the instruction text in black on a transparent
 *  background, line k at x = 0, y = 16k. */
class PromptArea final : public QWidget {
  public:
    PromptArea(const CInputDlg& dialog, QWidget* parent) : QWidget(parent), dialog_(dialog) {}

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(Qt::black);
        const QStringList lines = InstructionTextLines(dialog_.Prompt());
        for (int k = 0; k < lines.size(); ++k) {
            const QRect line(0, kInstructionLinePitch * k, width(), kInstructionLinePitch);
            painter.drawText(line, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, lines[k]);
        }
    }

  private:
    const CInputDlg& dialog_;
};

}  // namespace

QStringList InstructionTextLines(const QString& text) {
    QStringList lines;
    for (const InstructionLine& line : LayoutInstructionText(text.toStdString())) {
        lines << QString::fromStdString(line.text);
    }
    return lines;
}

CInputDlg::CInputDlg(store::Database& db, const Clock& clock, Prompter& prompter, QWidget* parent)
    : QDialog(parent),
      db_(db),
      clock_(clock),
      prompter_(prompter),
      volumeRunner_([](QWidget* owner, int percent) {
          CVolume volume(owner);
          volume.SetVolume(percent);
          volume.exec();
          return volume.Volume();
      }),
      openedAt_(clock.Now()),
      pausedAt_(openedAt_),
      resumedAt_(openedAt_) {
    setWindowTitle(QStringLiteral("入力して下さい"));

    promptArea_ = new PromptArea(*this, this);
    promptArea_->setObjectName(QStringLiteral("promptArea"));
    promptArea_->setMinimumSize(440, 3 * kInstructionLinePitch);

    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("answerEdit"));
    edit_->setFont(FaceFont(kGothicFace, 15));

    auto makeButton = [this](const QString& caption, const char* name) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(QString::fromLatin1(name));
        button->setAutoDefault(false);
        return button;
    };
    pauseButton_ = makeButton(QStringLiteral("一時停止"), "pauseButton");
    sameButton_ = makeButton(QStringLiteral("前回と同じ"), "sameButton");
    QPushButton* volumeButton = makeButton(QStringLiteral("音量を調整する"), "volumeButton");
    confirmButton_ = makeButton(QStringLiteral("確認"), "confirmButton");
    confirmButton_->setDefault(true);
    QPushButton* quitButton = makeButton(QStringLiteral("終了"), "quitButton");
    connect(confirmButton_, &QPushButton::clicked, this, &CInputDlg::OnConfirm);
    connect(quitButton, &QPushButton::clicked, this, &CInputDlg::OnQuit);
    connect(pauseButton_, &QPushButton::clicked, this, &CInputDlg::OnPause);
    connect(sameButton_, &QPushButton::clicked, this, &CInputDlg::OnSameAsBefore);
    connect(volumeButton, &QPushButton::clicked, this, &CInputDlg::OnVolume);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(pauseButton_);
    buttons->addWidget(sameButton_);
    buttons->addWidget(volumeButton);
    buttons->addStretch(1);
    buttons->addWidget(confirmButton_);
    buttons->addWidget(quitButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setSpacing(12);
    layout->addWidget(promptArea_);
    layout->addWidget(edit_);
    layout->addLayout(buttons);
}

void CInputDlg::SetPrompt(const QString& prompt) {
    prompt_ = prompt;
    promptArea_->setMinimumHeight(
        static_cast<int>(std::max<qsizetype>(3, InstructionTextLines(prompt_).size())) *
        kInstructionLinePitch);
    promptArea_->update();
}

void CInputDlg::SetText(const QString& text) {
    edit_->setText(text);
}

void CInputDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    edit_->setFocus();
}

void CInputDlg::OnConfirm() {
    answer_ = edit_->text();
    accept();
}

void CInputDlg::OnQuit() {
    reject();
}

void CInputDlg::reject() {
    if (!dismissed_ &&
        !prompter_.Confirm(
            this,
            QStringLiteral("The test is not finished yet, and really want to quit the test?")))
        return;
    QDialog::reject();
}

void CInputDlg::Dismiss() {
    dismissed_ = true;
    QDialog::reject();
}

void CInputDlg::OnPause() {
    if (!paused_) {
        paused_ = true;
        pausedAt_ = clock_.Now();
        sameButton_->setEnabled(false);
        confirmButton_->setEnabled(false);
        pauseButton_->setText(QStringLiteral("続く"));
        return;
    }
    paused_ = false;
    resumedAt_ = clock_.Now();
    pausedSeconds_ += static_cast<long long>(resumedAt_ - pausedAt_);
    sameButton_->setEnabled(true);
    confirmButton_->setEnabled(true);
    pauseButton_->setText(QStringLiteral("一時停止"));
}

void CInputDlg::OnSameAsBefore() {
    const auto last = store::LastTypedAnswer(db_);
    if (!last.Ok()) {
        prompter_.Message(this, last.error->Text());
        return;
    }
    // No earlier answer: the edit keeps what was typed.
    if (last.value) edit_->setText(*last.value);
}

void CInputDlg::OnVolume() {
    volume_ = volumeRunner_(this, volume_);
}

}  // namespace kestrune::app
