#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "audio/DeviceChoice.h"
#include "audio/TestTone.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTreeWidget;

namespace kestrune::audio {
class SoundOutput;
}

namespace kestrune::app {

/**
 * "Audio devices…": the host APIs, output and input devices of a device list
 * (name, channels, default rate) with the station's choice selected, a test
 * tone through the selected output, and OK writing the choice to the
 * station folder's kestrune.ini. The choice is read at start-up, so it takes
 * effect the next time the program starts (the dialog says so).
 *
 * The dialog asks nothing of the sound system itself: the list comes from
 * `list` and the test tone's device from `openOutput`, so tests hand it a
 * fixed list and a virtual output. When the file names a host API or device
 * the list lacks, the default is selected and a line says what was missing.
 */
class CAudioDevicesDlg final : public QDialog {
    Q_OBJECT

  public:
    using ListDevices = std::function<audio::DeviceList()>;
    /** The output to play the test tone on for a choice; null: none. */
    using OpenOutput =
        std::function<std::unique_ptr<audio::SoundOutput>(const audio::DeviceChoice&)>;

    /** The 1 kHz test tone: its rate, length and peak (16-bit samples). */
    static constexpr uint32_t kToneRate = audio::kToneRate;
    static constexpr uint32_t kToneMs = 500;
    static constexpr int kTonePeak = 8000;

    CAudioDevicesDlg(const ListDevices& list, OpenOutput openOutput, QString stationFolder,
                     QWidget* parent = nullptr);
    ~CAudioDevicesDlg() override;

    /** The choice the controls show now ("" for each default). */
    audio::DeviceChoice Choice() const;
    /** The line under the lists: what could not be followed, or why the
     *  last action failed; empty when all is well. */
    QString Message() const;

    void accept() override;
    void done(int result) override;

  private:
    void FillDevices();
    void SelectByName(QTreeWidget* tree, const std::string& name, const QString& kind);
    void PlayTestTone();
    void AddMessage(const QString& line);

    audio::DeviceList devices_;
    OpenOutput openOutput_;
    QString stationFolder_;
    audio::DeviceChoice initial_;
    std::unique_ptr<audio::SoundOutput> tone_;
    QComboBox* hostApis_ = nullptr;
    QTreeWidget* outputs_ = nullptr;
    QTreeWidget* inputs_ = nullptr;
    QLabel* message_ = nullptr;
    QPushButton* testTone_ = nullptr;
};

}  // namespace kestrune::app
