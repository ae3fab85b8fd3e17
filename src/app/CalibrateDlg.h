#pragma once

#include <QDialog>
#include <QString>

#include <ctime>
#include <functional>
#include <memory>
#include <optional>

#include "audio/DeviceChoice.h"
#include "audio/TestTone.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace kestrune {
class Clock;
namespace audio {
class SoundOutput;
}
namespace store {
class Database;
}
}  // namespace kestrune

namespace kestrune::app {

class OneShot;
class Timers;

/** The speaker volume now in percent; nullopt when there is no mixer. */
using ReadVolume = std::function<std::optional<int>()>;

/**
 * "Calibrate…": a steady 1 kHz tone at kReferenceDbfs on the station's
 * output device (the one kestrune.ini names) at the present speaker volume;
 * the experimenter types the level a sound-level meter shows and Save
 * records it, with the device, the volume and the time, as the calibration
 * in force for that device. The dialog shows the calibration in force when
 * it opens. It holds no SQL: it goes through the store's calibration
 * functions.
 */
class CCalibrateDlg final : public QDialog {
    Q_OBJECT

  public:
    struct Services {
        store::Database& db;
        const Clock& clock;  ///< the calibration's date and time
        /** The output the tone plays on for a choice; null result: none. */
        std::function<std::unique_ptr<audio::SoundOutput>(const audio::DeviceChoice&)> openOutput;
        ReadVolume readVolume = {};  ///< null: the ALSA mixer's
        Timers* timers = nullptr;    ///< keeps the tone fed; null: the event loop's
        QString stationFolder = {};  ///< whose kestrune.ini names the device
        QString stationName = {};    ///< empty: this machine's name
    };

    /** The tone's level: a tenth of full scale. */
    static constexpr double kReferenceDbfs = -20.0;
    /** How often the tone's queue is topped up. */
    static constexpr int kFeedMs = 100;

    explicit CCalibrateDlg(Services services, QWidget* parent = nullptr);
    ~CCalibrateDlg() override;

    /**
     * The level typed into the meter field: a number (a decimal point or
     * comma) within the range a meter reads; otherwise nullopt with the text
     * that says what to type.
     */
    static std::optional<double> ParseMeasuredLevel(const QString& text, QString* problem);

    /** The line under the fields: why the last action failed, or what was saved. */
    QString Message() const;
    bool TonePlaying() const { return tone_.Playing(); }

    /** Starts or stops the tone (the tone button). */
    void ToggleTone();
    /** Checks the level and records the calibration; closes on success. */
    void Save();

    void done(int result) override;

  private:
    void StartTone();
    void StopTone();
    void ShowInForce();
    void SetMessage(const QString& text);

    Services services_;
    audio::DeviceChoice choice_;
    std::unique_ptr<audio::SoundOutput> output_;
    audio::ContinuousTone tone_;
    std::unique_ptr<OneShot> feed_;
    bool tonePlayed_ = false;
    QLabel* inForce_ = nullptr;
    QLabel* volume_ = nullptr;
    QLineEdit* measured_ = nullptr;
    QLabel* message_ = nullptr;
    QPushButton* toneButton_ = nullptr;
};

}  // namespace kestrune::app
