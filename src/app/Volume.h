#pragma once

#include <QDialog>

#include "audio/MixerControl.h"

class QLabel;
class QPushButton;
class QSlider;

namespace kestrune::app {

/**
 * "音量を調整する": the speaker volume as a slider over the mixer's range.
 * The caller sets the percentage, runs the dialog and reads the percentage
 * back whichever way the dialog ended. When it opens it sets the speaker to
 * that percentage; moving the slider sets the speaker and the percentage.
 * Without a mixer (no sound card) the slider has an empty range and the
 * percentage stays as it came in. Ending the dialog, by "終了" or the close
 * box, closes the mixer.
 */
class CVolume final : public QDialog {
    Q_OBJECT

  public:
    explicit CVolume(QWidget* parent = nullptr);

    int Volume() const { return volume_; }
    void SetVolume(int percent) { volume_ = percent; }
    const audio::CMixerControl& Mixer() const { return mixer_; }

    void done(int result) override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void Start();
    void OnSliderMoved(int position);

    int volume_ = 0;
    bool started_ = false;
    audio::CMixerControl mixer_;
    QSlider* slider_ = nullptr;
    QLabel* volumeText_ = nullptr;
    QPushButton* endButton_ = nullptr;
};

}  // namespace kestrune::app
