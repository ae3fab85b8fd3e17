#pragma once

#include <QDialog>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

#include "app/battery/AutoTest6.h"
#include "core/battery/InterruptedSpeech.h"
#include "core/battery/PictureSequence.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kestrune::audio {
class PlaybackWorker;
}

namespace kestrune::app {

class CPictureFrame;
class StepRunner;

/** Who takes the interrupted speech test. */
struct SyllableTestSetup {
    int subjectId = 0;
    int selfEvaluation = 0;  ///< stored with every session row (1 ... 5)
    QString scenarioPath;
};

/**
 * "抹消音声実験をしている": the interrupted speech test. A view over
 * InterruptedSpeechTest: it plays each syllable file of the scenario's
 * FILEPATH through the playback worker, takes the kana typed in the edit
 * box or picked on the kana table below it, and stores one BasicRecord row
 * per answer and one StatisticalRecord row per item through the result
 * store. At the end it shows the subject's rating over every session.
 *
 * Opening it runs the directions (test 4) first; "終了" and the close box
 * stop the syllable and close without asking.
 */
class CAutoTest4 final : public QDialog, private SyllableHost {
    Q_OBJECT

  public:
    /** Runs the volume dialog for a percentage and returns the new one. */
    using VolumeRunner = std::function<int(QWidget* parent, int percent)>;

    CAutoTest4(const VowelTestServices& services, const SyllableTestSetup& setup,
               QWidget* parent = nullptr);
    ~CAutoTest4() override;

    /** False when the scenario was refused (its messages were shown). */
    bool Loaded() const { return test_ != nullptr; }
    const InterruptedSpeechTest* Test() const { return test_.get(); }
    /** The directions, then the test as a modal window until it closes. */
    int RunModal();
    QString Instruction() const;
    bool Playing() const;
    int Volume() const { return volume_; }
    void SetVolumeRunner(VolumeRunner runner) { volumeRunner_ = std::move(runner); }

    void reject() override;

  private:
    // SyllableHost
    void ShowInstruction(const std::string& text) override;
    void SetStartEnabled(bool enabled) override;
    void SetAnswerButtons(bool enabled) override;
    void SetRollBackEnabled(bool enabled) override;
    void ShowPaused(bool paused) override;
    void ClearAnswer() override;
    void FocusAnswer() override;
    void Message(const std::string& text) override;
    bool Confirm(const std::string& text) override;
    bool LoadSyllable(const std::string& path) override;
    void PlayLoaded(const StimulusSettings& settings) override;
    void StopWorker() override;
    std::optional<long long> StartSession(const SyllableItem& item) override;
    void FinishSession(long long session, long long durationSeconds, int number,
                       int validity) override;
    bool StoreTrial(long long session, const SyllableTrial& trial) override;
    std::optional<std::string> TakeLastTrial() override;
    std::optional<std::pair<int, int>> ReadHalfDutyScore() override;
    void AdvancePicture() override;
    void ShowProgress(int position, int range) override;
    void RunSteps(StepSequence steps) override;
    void CancelSteps() override;

    QWidget* MakeKanaTable();
    QString StationFolder() const;
    void ShowDbError(const QString& text);

    VowelTestServices services_;
    SyllableTestSetup setup_;
    std::unique_ptr<InterruptedSpeechTest> test_;
    std::unique_ptr<audio::PlaybackWorker> worker_;
    StepRunner* runner_ = nullptr;
    std::optional<PictureSequence> pictures_;
    std::optional<LoadedStimulus> loaded_;
    int volume_ = 60;
    VolumeRunner volumeRunner_;
    /** The key of the last row this window stored: the one a roll back takes. */
    std::optional<qint64> lastRow_;

    QPushButton* startButton_ = nullptr;
    QPushButton* confirmButton_ = nullptr;
    QPushButton* notRecognisedButton_ = nullptr;
    QPushButton* rollBackButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QPushButton* pauseButton_ = nullptr;
    QPushButton* volumeButton_ = nullptr;
    QLineEdit* answer_ = nullptr;
    QProgressBar* progress_ = nullptr;
    CPictureFrame* picture_ = nullptr;
    QLabel* instruction_ = nullptr;
};

}  // namespace kestrune::app
