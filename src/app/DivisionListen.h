// Test → Division listen: "分離聴", the one open wave played to the ears in
// turn. The dialog shows and keeps the settings; the alternating copy comes
// from core (AlternateEars) and plays on the station's sound output, so the
// window stays responsive while it sounds.
#pragma once

#include <QDialog>
#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrune::audio {
class SoundOutput;
}

namespace kestrune::app {

class Prompter;

/** One period of the ear pattern: the left ear on its row, the right ear on the other. */
class CEarLegend final : public QWidget {
    Q_OBJECT

  public:
    explicit CEarLegend(QWidget* parent = nullptr);
    /** Erases the picture and draws the pattern of `type` and `duty`. */
    void Draw(int32_t type, double duty);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    std::optional<std::pair<int32_t, double>> pattern_;
};

/** The three values the dialog keeps (ProcessParameters' division fields). */
struct DivisionSettings {
    double periodMs = 200.0;
    double duty = 0.5;
    int32_t periodType = 0;
};

class CDivisionListen final : public QDialog {
    Q_OBJECT

  public:
    /**
     * `samples` (count samples of `bits` bits, not owned, valid while the
     * dialog is open) at `rate` Hz; `output` (may be null: "Audio output
     * error!") is opened on every play and closed when the playback ends or
     * the dialog goes.
     */
    CDivisionListen(const DivisionSettings& kept, const std::vector<uint8_t>& samples,
                    uint32_t count, uint16_t bits, uint32_t rate, audio::SoundOutput* output,
                    Prompter& prompter, QWidget* parent = nullptr);
    ~CDivisionListen() override;

    /** The edits as they read after the dialog closed (unparsable text: 0). */
    DivisionSettings Settings() const;
    /** True while a play sounds. */
    bool Playing() const { return playing_; }

  private:
    void Play();
    void Keep();
    void End();
    void OnOutputDone();
    void StopOutput();
    void RedrawLegend();
    void SetButtonsEnabled(bool enabled);

    QComboBox* periodType_ = nullptr;
    QLineEdit* period_ = nullptr;
    QLineEdit* duty_ = nullptr;
    QLabel* periodText_ = nullptr;
    CEarLegend* legend_ = nullptr;
    QPushButton* play_ = nullptr;
    QPushButton* keep_ = nullptr;
    QPushButton* end_ = nullptr;
    QString savedPeriod_, savedDuty_;
    int32_t savedType_ = 0;

    uint32_t rate_ = 0;
    std::vector<int16_t> stereo_;         ///< the wave as 16-bit stereo, both ears equal
    std::vector<int16_t> output_buffer_;  ///< the alternating copy being played
    audio::SoundOutput* output_ = nullptr;
    Prompter& prompter_;
    bool playing_ = false;
};

}  // namespace kestrune::app
