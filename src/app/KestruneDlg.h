#pragma once

#include <QColor>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "app/Timers.h"
#include "audio/DeviceChoice.h"
#include "core/dsp/Edits.h"
#include "core/wave/Recording.h"
#include "core/wave/WaveSet.h"
#include "core/workspace/ControlStates.h"
#include "core/workspace/EditHistory.h"

class QAction;
class QActionGroup;
class QLabel;
class QMenu;
class QPushButton;
class QToolBar;

namespace kestrune {
class Clock;
class CrtRandom;
namespace audio {
class PlaybackEngine;
struct PlaybackStep;
class RecordingEngine;
class SoundInput;
class SoundOutput;
class WaitClock;
}  // namespace audio
namespace store {
class Database;
}
}  // namespace kestrune

namespace kestrune::app {

class CHyperLink;
class CWaveViews;
class ColorChooser;
class FileChooser;
class Prompter;
class UrlOpener;
class ViewFrame;
struct StartupOptions;

/**
 * "Kestrune": the main window and wave workspace. It owns the wave set and
 * the database connection, routes every menu, button and toolbar command,
 * keeps the Options (colours, sample format, spectrum framing) and sets the
 * workspace's controls after each event from one table (ControlStatesFor).
 *
 * A fixed-size window laid out in dialog units (one unit is a quarter of the
 * font's average character width across and an eighth of its height down),
 * so it keeps its proportions under any interface font. The toolbar takes
 * the band the two etched lines at the top enclose.
 *
 * Messages, file dialogs, colour dialogs and links go through the services
 * it is given, so tests drive it without modal boxes.
 */
class CKestruneDlg final : public QMainWindow {
    Q_OBJECT

  public:
    /** What the window shows things with. All must outlive the window. */
    struct Services {
        Prompter& prompter;
        FileChooser& files;
        ColorChooser& colors;
        UrlOpener& urls;
        const Clock& clock;
        /** Every random draw of the program (stimulus order, pair choice);
         *  Start seeds it with the clock's time. */
        CrtRandom& random;
        /** The scenario file dialog of the test launcher; null: the
         *  program's own (MakeScenarioFileChooser). */
        FileChooser* scenarios = nullptr;
        /** The sound output the test dialogs and the workspace's Play play
         *  through (the --audio device) and the clock the dialogs' playback
         *  waits on. Null when there is none: the dialogs then take their
         *  "Audio output error!" path, Play its "Audio output error". */
        audio::SoundOutput* sound = nullptr;
        audio::WaitClock* soundClock = nullptr;
        /** The sound input Record start captures from (the --audio device).
         *  Null when there is none: Record start then reports "Audio can
         *  not be opened!". */
        audio::SoundInput* input = nullptr;
        /** The timers of the recording and playback time displays; null:
         *  the event loop's (EventLoopTimers). */
        Timers* timers = nullptr;
        /** Options → Audio devices…: the devices it lists and the output
         *  its test tone plays on; null: PortAudio's list and output. */
        std::function<audio::DeviceList()> listDevices;
        std::function<std::unique_ptr<audio::SoundOutput>(const audio::DeviceChoice&)>
            openToneOutput;
        /** Options → Calibrate… and the "Station" sheet: the speaker volume
         *  in percent; null: the ALSA mixer's. */
        std::function<std::optional<int>()> speakerVolume = {};
    };

    /** How Start ended. */
    enum class StartResult {
        SessionEnded,  ///< the session panel ran and closed: the program ends
        Workspace,     ///< the workspace stays open (no database, or --workspace)
    };

    /** The confirmation asked before the workspace closes. */
    static inline const QString kQuitQuestion = QStringLiteral("Really want to quit?");

    explicit CKestruneDlg(const Services& services, QWidget* parent = nullptr);
    ~CKestruneDlg() override;

    /**
     * Start-up: the controls' initial state, the random generator seeded with
     * the clock's time, then the database. Connected: unless options ask for
     * the workspace, hide, run the session panel until it closes and close
     * without asking. Not connected: show the connection text and stay as
     * the workspace in its initial state.
     */
    StartResult Start(const StartupOptions& options);

    /** Opens files into the set one after the other, as Open wave does after
     *  its file dialog. */
    void OpenWaveFiles(const QStringList& paths);

    // The commands (each menu item, button and toolbar button runs one).
    void OpenWave();
    void SaveWave();
    void CloseWave();
    void CloseAllWaves();
    bool SetSampleRate(uint32_t rate);
    bool SetBitsPerSample(uint16_t bits);
    void ResetWave();
    /** The Process menu's edits without a dialog. */
    void HorizontalReverse();
    void VerticalReverse();
    void PowerUnification();
    void SignalStandardization();
    /** Process → Duty cycle: the parameter dialog, then the gating of wave 0. */
    void ApplyDutyCycle();
    /** Process → Amplify: the amplification dialog, then the scaling of wave 0. */
    void AmplifyWave();
    /** Process → Add noise: the amplitude from CAddNoise, then the noise. */
    void AddNoise();
    /** Process → Audio mixer: weights and style from CMixer, then the mix. */
    void AudioMixer();
    /** Process → Sin generator and Mix generator: a new wave in the empty set. */
    void SinGenerator();
    void MixGenerator();
    /** Process → Time domain filter and Frequency domain filter on wave 0. */
    void TimeDomainFilter();
    void FrequencyDomainFilter();
    /** Analyse → Averaged spectrum: the open waves' files, read again, in one graph. */
    void AveragedSpectrum();
    /** Analyse → Mask analyse: the masking workbench on N, H and the open waves' df. */
    void MaskAnalyse();
    /** Analyse → Find Hz point in max energy of wave 0. */
    void FindMaxEnergyHz();
    /** Test → Division listen: wave 0 to the ears in turn. */
    void DivisionListen();
    void DrawWave();
    void DrawSpectrum();
    void ChooseStandardLineColor();
    /** Options → Audio devices…, on the station folder Start was given. */
    void ChooseAudioDevices();
    /** Options → Calibrate…: the calibration tone and the meter reading, on
     *  the same output and station folder; it needs the database. */
    void Calibrate();
    void ChooseWaveBackgroundColor();
    void ChooseSpectrumBackgroundColor();
    void ShowAbout();
    void ShowAudioInformation();
    void ShowIndividualInformation();
    /** Test -> Auto test: the test launcher, modal; it needs the database. */
    void ShowAutoTest();
    /** Test -> Single test: the single-factor experiment, modal; it needs the database. */
    void ShowSingleTest();
    void FollowContactLink();
    /** Record start: captures into a new last wave until Record stop. */
    void StartRecording();
    /** Record stop: stores the rest and ends the recording. */
    void StopRecording();
    /** Play: plays the last wave; pauses and resumes a running playback. */
    void PlayOrPause();
    /** Stop: ends a running playback. */
    void StopPlayback();
    /** Edit → Undo and Redo: one step of the edit history back or forward,
     *  then the views are redrawn. Nothing happens while a recording or a
     *  playback uses the set. */
    void Undo();
    void Redo();

    /**
     * Runs `edit` on the wave set as one step of the edit history: what it
     * changed can be undone. Then shows the outcome's warning and message
     * and redraws both views when it asks for a redraw. Every command that
     * changes the waves goes through here.
     */
    void ApplyEdit(const std::function<Outcome(WaveSet&)>& edit);
    /** The same without the message and the redraw: runs `edit` as one step
     *  of the history and gives back what it did. */
    Outcome RecordEdit(const std::function<Outcome(WaveSet&)>& edit);

    // State.
    WaveSet& Waves() { return waveSet_; }
    const WaveSet& Waves() const { return waveSet_; }
    const ControlStates& States() const { return states_; }
    const EditHistory& History() const { return history_; }
    /** Null when the connection failed or Start has not run. */
    store::Database* Db() const { return db_.get(); }
    bool PanelMode() const { return panelMode_; }
    /** The test dialogs' sound output and its clock (see Services). */
    audio::SoundOutput* SoundDevice() const { return services_.sound; }
    audio::WaitClock* SoundClock() const { return services_.soundClock; }
    /** The recording engine (always present). */
    audio::RecordingEngine& Recorder() { return *recorder_; }
    /** The playback engine of Play and Stop (always present). */
    audio::PlaybackEngine& Player() { return *player_; }
    QColor StandardLineColor() const { return standardLineColor_; }
    QColor WaveBackgroundColor() const { return waveBackgroundColor_; }
    QColor SpectrumBackgroundColor() const { return spectrumBackgroundColor_; }
    uint32_t FrameLength() const { return frameLength_; }
    uint32_t ShiftSamples() const { return shiftSamples_; }
    /** The spectrogram's window function: Hann (else rectangular), and its level scale. */
    bool HannWindow() const { return hannWindow_; }
    bool DecibelLevels() const { return decibelLevels_; }
    /** 1 zoom in, -1 zoom out, 0 none. */
    int ZoomTool() const { return zoomTool_; }
    /** -1 cut left, 1 cut right, 0 none. */
    int CutTool() const { return cutTool_; }
    /** The wave and spectrum views with their tools. */
    CWaveViews& Views() { return *views_; }
    /** Pixels per dialog unit, across and down. */
    double UnitX() const { return unitX_; }
    double UnitY() const { return unitY_; }

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildMenus();
    void BuildToolbar();
    void BuildWorkspace();
    QAction* AddAction(QMenu* menu, const QString& caption, const char* objectName);
    QPushButton* AddButton(const QString& caption, const char* objectName, int x, int y);
    /** Places a child of the workspace at a rectangle in dialog units. */
    void Place(QWidget* widget, double x, double y, double width, double height) const;
    void ComputeDialogUnits();

    void ApplyControlStates(WorkspaceEvent event);
    /** Enables Undo and Redo when there is a step to take and the set is free. */
    void UpdateUndoActions();
    /** After Undo or Redo: the controls and both views follow the set. */
    void ShowHistoryStep();
    /** Checks the Options items of the set's sample rate and bit depth. */
    void SyncFormatChecks();
    void OpenWavePath(const QString& path);
    /** Shows an operation's warning, then its message. */
    void Show(const Outcome& outcome);
    /** Show, then redraw both views when the operation asks for it. */
    void ShowAndRedraw(const Outcome& outcome);
    /** After a generator: its messages, then the new wave as after an open. */
    void ShowGenerated(const Outcome& outcome);
    void OnToolToggled(QAction* tool, bool checked);
    /** Cut left / Cut right of the Process menu: needs one wave, renames it
     *  "Edited wave" and toggles that cut tool. */
    void ArmCutTool(edits::CutSide side);
    /** The menu's cut check marks follow the armed cut tool. */
    void SyncCutMenu();
    /** GUI thread: the posted notice that the input captured bytes. */
    void OnInputData();
    /** Shows a recording step's message (with its beep), sets its controls,
     *  stops the time display when the recording ended, and redraws. */
    void ApplyRecordingStep(const RecordingStep& step);
    void ShowRecordingTime();
    /** GUI thread: the posted notice that the output played everything. */
    void OnOutputDone();
    /** Shows a playback step's message (with its beep), sets its controls,
     *  and takes the time display and progress line away when it ended. */
    void ApplyPlaybackStep(const audio::PlaybackStep& step);
    void ShowPlaybackTime();
    /** The window closes: a running recording or playback stops. */
    void ShutdownAudio();

    Services services_;
    std::unique_ptr<FileChooser> ownScenarioChooser_;  ///< when none is given
    /** Stands in when no input is given: it refuses to open. */
    std::unique_ptr<audio::SoundInput> ownInput_;
    std::unique_ptr<audio::RecordingEngine> recorder_;
    std::unique_ptr<OneShot> recordTimer_;
    std::unique_ptr<audio::PlaybackEngine> player_;
    std::unique_ptr<OneShot> playTimer_;
    /** As inputNoticePosted_, for the output's end of playback. */
    std::atomic<bool> outputNoticePosted_{false};
    /** Set while a notice of captured bytes is posted and not yet handled,
     *  so the audio thread posts one at a time. */
    std::atomic<bool> inputNoticePosted_{false};
    WaveSet waveSet_;
    EditHistory history_;
    ControlStates states_;
    std::unique_ptr<store::Database> db_;
    QString connectionText_;
    QString stationDir_;  // the folder whose kestrune.ini holds the device choice
    bool panelMode_ = false;

    QColor waveBackgroundColor_{255, 255, 255};
    QColor spectrumBackgroundColor_{255, 255, 255};
    QColor standardLineColor_{255, 0, 255};
    uint32_t frameLength_ = 2048;
    uint32_t shiftSamples_ = 128;
    bool hannWindow_ = false;
    bool decibelLevels_ = false;
    int zoomTool_ = 0;
    int cutTool_ = 0;
    /** The bit depth of the wave file last opened or saved (0: none yet),
     *  which sets the noise amplitude's full scale. */
    uint16_t fileBits_ = 0;
    /** The sample rate of that same file (0: none yet), which limits the
     *  band-stop's bounds. */
    uint32_t fileRate_ = 0;

    double unitX_ = 1.5;
    double unitY_ = 1.625;

    QWidget* workspace_ = nullptr;
    QToolBar* toolbar_ = nullptr;
    ViewFrame* waveView_ = nullptr;
    ViewFrame* spectrumView_ = nullptr;
    CWaveViews* views_ = nullptr;  ///< draws both views and runs the mouse tools
    CHyperLink* contactLink_ = nullptr;
    QLabel* recordTimeDisplay_ = nullptr;
    QLabel* playTimeDisplay_ = nullptr;

    QPushButton* recordStartButton_ = nullptr;
    QPushButton* recordStopButton_ = nullptr;
    QPushButton* playButton_ = nullptr;
    QPushButton* stopButton_ = nullptr;
    QPushButton* drawWaveButton_ = nullptr;
    QPushButton* openButton_ = nullptr;
    QPushButton* saveButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QPushButton* closeAllButton_ = nullptr;
    QPushButton* drawFrequencyButton_ = nullptr;

    QAction* recordStartAction_ = nullptr;
    QAction* recordStopAction_ = nullptr;
    QAction* playAction_ = nullptr;
    QAction* stopAction_ = nullptr;
    QAction* openAction_ = nullptr;
    QAction* saveAction_ = nullptr;
    QAction* closeAction_ = nullptr;
    QAction* closeAllAction_ = nullptr;
    QAction* exitAction_ = nullptr;
    QAction* drawWaveAction_ = nullptr;
    QAction* undoAction_ = nullptr;
    QAction* redoAction_ = nullptr;
    QAction* drawFrequencyAction_ = nullptr;
    QAction* aboutAction_ = nullptr;
    QAction* audioInformationAction_ = nullptr;
    QAction* individualInformationAction_ = nullptr;
    QAction* autoTestAction_ = nullptr;
    QAction* cutLeftAction_ = nullptr;
    QAction* cutRightAction_ = nullptr;
    std::vector<QAction*> toolActions_;  ///< zoom in, zoom out, cut left, cut right
    std::map<uint32_t, QAction*> rateActions_;
    std::map<uint16_t, QAction*> bitsActions_;
};

}  // namespace kestrune::app
