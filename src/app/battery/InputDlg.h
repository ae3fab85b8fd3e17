#pragma once

#include "core/battery/InstructionText.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <ctime>
#include <functional>

class QLineEdit;
class QPushButton;

namespace kestrune {
class Clock;
}

namespace kestrune::store {
class Database;
}

namespace kestrune::app {

class Prompter;

/** The lines an instruction text is drawn in, as the test dialogs lay
 *  their guidance text out (44 cp932 bytes a row). */
QStringList InstructionTextLines(const QString& text);

/**
 * "入力して下さい": the text entry of the sentence test and the audio
 * presentation panel. The caller sets the title and the prompt, runs the
 * dialog and, when it was accepted, reads the answer and the time spent
 * paused (which the answer's duration leaves out).
 *
 * "確認" keeps the typed text and accepts; "終了" asks and rejects on OK;
 * "一時停止"/"続く" pauses and resumes; "前回と同じ" fills in the newest
 * non-empty answer stored by anyone; "音量を調整する" runs the volume dialog.
 */
class CInputDlg final : public QDialog {
    Q_OBJECT

  public:
    /** Runs the volume dialog with a percentage and returns the one chosen. */
    using VolumeRunner = std::function<int(QWidget* parent, int percent)>;

    CInputDlg(store::Database& db, const Clock& clock, Prompter& prompter,
              QWidget* parent = nullptr);

    /** The window title; "入力して下さい" until the caller sets one. */
    void SetTitle(const QString& title) { setWindowTitle(title); }
    /** The text drawn at the top ("Please input:" by default). */
    QString Prompt() const { return prompt_; }
    void SetPrompt(const QString& prompt);

    /** Puts a text into the edit (the previous answer to the same item). */
    void SetText(const QString& text);
    /** The text typed when "確認" was pressed; empty before. */
    QString Answer() const { return answer_; }

    /** Clock times (whole seconds) of opening, the last pause and the last
     *  resumption; all the opening time until a pause happens. */
    std::time_t OpenedAt() const { return openedAt_; }
    std::time_t PausedAt() const { return pausedAt_; }
    std::time_t ResumedAt() const { return resumedAt_; }
    /** Whole seconds spent paused so far (a pause still running not included). */
    long long PausedSeconds() const { return pausedSeconds_; }
    bool IsPaused() const { return paused_; }

    int Volume() const { return volume_; }
    void SetVolume(int percent) { volume_ = percent; }
    /** Replaces the volume dialog (tests). */
    void SetVolumeRunner(VolumeRunner runner) { volumeRunner_ = std::move(runner); }

    /** "終了", the close box and Escape: asks first, then closes with Cancel. */
    void reject() override;
    /** Closes with Cancel without asking (the caller has taken the answer
     *  another way). */
    void Dismiss();

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void OnConfirm();
    void OnQuit();
    void OnPause();
    void OnSameAsBefore();
    void OnVolume();

    store::Database& db_;
    const Clock& clock_;
    Prompter& prompter_;
    VolumeRunner volumeRunner_;
    QString prompt_ = QStringLiteral("Please input:");
    QString answer_;
    std::time_t openedAt_;
    std::time_t pausedAt_;
    std::time_t resumedAt_;
    long long pausedSeconds_ = 0;
    bool paused_ = false;
    bool dismissed_ = false;
    int volume_ = 60;

    QWidget* promptArea_ = nullptr;
    QLineEdit* edit_ = nullptr;
    QPushButton* confirmButton_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QPushButton* sameButton_ = nullptr;
};

}  // namespace kestrune::app
