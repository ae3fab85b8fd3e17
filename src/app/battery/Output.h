#pragma once

#include <QDialog>
#include <QString>

class QLabel;
class QTimer;

namespace kestrune::app {

/**
 * "テストの結果": the evaluation at the end of a test. The caller sets the
 * text and runs the dialog modally. It stays above other windows and closes
 * itself (accepted) a fixed time after it is first shown; "閉じる" closes
 * it at once.
 */
class COutput final : public QDialog {
    Q_OBJECT

  public:
    /** How long the result stays up on its own. */
    static constexpr int kShowMs = 20000;

    /** closeAfterMs: the time before the window closes itself (tests pass a
     *  short one). */
    explicit COutput(QWidget* parent = nullptr, int closeAfterMs = kShowMs);

    QString Text() const;
    void SetText(const QString& text);
    /** The self-closing timer; started when the window is first shown. */
    const QTimer& CloseTimer() const { return *closeTimer_; }

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* text_ = nullptr;
    QTimer* closeTimer_ = nullptr;
    bool started_ = false;
};

}  // namespace kestrune::app
