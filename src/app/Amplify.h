#pragma once

#include <QDialog>

class QLineEdit;

namespace kestrune::app {

/** "音声を増幅する": the amplification, shown as a "%f" text. */
class CAmplify final : public QDialog {
    Q_OBJECT

  public:
    explicit CAmplify(float kept, QWidget* parent = nullptr);
    /** The amplification as atof reads the edit (no number: 0). */
    double Amplification() const;

  private:
    QLineEdit* amplification_ = nullptr;
};

}  // namespace kestrune::app
