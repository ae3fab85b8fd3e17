#pragma once

#include <QDialog>

class QComboBox;
class QLineEdit;

namespace kestrune::app {

/**
 * "雑音を加える": asks the amplitude of the noise Add noise puts on the
 * wave, as a fraction of full scale. The edit starts with the amplitude
 * given (as "%f"); the noise type list holds the single entry "Gauss".
 */
class CAddNoise final : public QDialog {
    Q_OBJECT

  public:
    explicit CAddNoise(float amplitude, QWidget* parent = nullptr);

    /** The edit's text read as a decimal (text that is no number gives 0). */
    float Amplitude() const;

  private:
    QLineEdit* amplitudeEdit_ = nullptr;
    QComboBox* typeList_ = nullptr;
};

}  // namespace kestrune::app
