#pragma once

#include <QDialog>
#include <QString>

#include <memory>

class QLabel;

namespace kestrune::app {

class OneShot;
class Timers;

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

    /** timers: where the self-closing wait comes from; null: the event loop's. */
    explicit COutput(QWidget* parent = nullptr, Timers* timers = nullptr);
    ~COutput() override;

    QString Text() const;
    void SetText(const QString& text);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    QLabel* text_ = nullptr;
    std::unique_ptr<OneShot> closeTimer_;
    bool started_ = false;
};

}  // namespace kestrune::app
