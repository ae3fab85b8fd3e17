#pragma once

#include <QDialog>
#include <QWidget>

#include <memory>
#include <optional>

#include "core/dsp/DutyCycle.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace kestrune::app {

class OneShot;
class Timers;

/** The picture of one period of the on/off pattern: blank until first shown. */
class CDutyLegend final : public QWidget {
    Q_OBJECT

  public:
    explicit CDutyLegend(QWidget* parent = nullptr);
    /** Erases the picture and draws the pattern of `type` and `duty`. */
    void Draw(int32_t type, float duty);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::optional<std::pair<int32_t, float>> pattern_;
};

/**
 * "パラメタを設定": the duty-cycle parameters - period (ms), duty, period type
 * and playback speed, shown as "%f" texts and read back as atof reads them.
 * The duty is kept within 0 … 1 and the period at 0 or more whenever their
 * edits lose focus; after each change, and once 100 ms after opening, the
 * legend shows one period of the pattern and the period beside it.
 */
class CSetParameters final : public QDialog {
    Q_OBJECT

  public:
    CSetParameters(const edits::DutySettings& kept, Timers& timers, QWidget* parent = nullptr);
    ~CSetParameters() override;

    /** The values as the edits now read. */
    edits::DutySettings Settings() const;

  public slots:
    void accept() override;

  private:
    void KeepDutyInRange();
    void KeepPeriodInRange();
    void RedrawLegend();

    QLineEdit* period_ = nullptr;
    QLineEdit* duty_ = nullptr;
    QComboBox* periodType_ = nullptr;
    QLineEdit* speed_ = nullptr;
    CDutyLegend* legend_ = nullptr;
    QLabel* periodText_ = nullptr;
    std::unique_ptr<OneShot> firstDrawing_;
};

}  // namespace kestrune::app
