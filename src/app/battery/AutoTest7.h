#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <memory>
#include <optional>

#include "app/battery/AutoTest6.h"
#include "core/battery/PictureSequence.h"
#include "core/battery/SpeededSyllable.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kestrune::audio {
class PlaybackWorker;
}

namespace kestrune::app {

class CPictureFrame;
class StepRunner;

/** Who takes the speeded syllable test. */
struct SpeedupTestSetup {
    int subjectId = 0;
    int selfEvaluation = 0;  ///< stored with every answer (1 ... 5)
    QString scenarioPath;
};

/**
 * "加速音声の実験をしている": the speeded syllable test. A view over
 * SpeededSyllableTest: five vowel panels, "確認" and "確認できない", the
 * trial counter, the pictures and the progress; each stimulus plays on the
 * sound output through the playback worker at the item's speed, and every
 * answer is one SyllableSpeedupRecord row through the result store.
 *
 * Opening it runs the directions (test 7) first, at the scenario's volume,
 * which they may change. Every close ("終了", the close box, and the one the
 * rating at the end asks for) asks "Really want to quit?" first.
 */
class CAutoTest7 final : public QDialog, private SpeedupHost {
    Q_OBJECT

  public:
    CAutoTest7(const VowelTestServices& services, const SpeedupTestSetup& setup,
               QWidget* parent = nullptr);
    ~CAutoTest7() override;

    /** False when the scenario was refused (its messages were shown). */
    bool Loaded() const { return test_ != nullptr; }
    const SpeededSyllableTest* Test() const { return test_.get(); }
    /** The directions, then the test as a modal window until it closes. */
    int RunModal();
    bool Playing() const;
    QString PictureFile() const;

    void reject() override;

  private:
    // SpeedupHost
    void SetStartEnabled(bool enabled) override;
    void SetConfirmEnabled(bool enabled) override;
    void SetCannotIdentifyEnabled(bool enabled) override;
    void ShowChoice(int choice) override;
    void ShowTrialCount(int count) override;
    void ShowProgress(const SpeedupProgress& progress) override;
    bool PlayStimulus(const std::string& path, const StimulusSettings& settings) override;
    void StopWorker() override;
    bool Store(const SpeedupRecord& record) override;
    std::optional<double> AverageFailingSpeed() override;
    void Message(const std::string& text) override;
    void AdvancePicture() override;
    void RunSteps(StepSequence steps) override;
    void CancelSteps() override;
    void RequestClose() override;

    QString StationFolder() const;

    VowelTestServices services_;
    SpeedupTestSetup setup_;
    std::unique_ptr<SpeededSyllableTest> test_;
    std::unique_ptr<audio::PlaybackWorker> worker_;
    StepRunner* runner_ = nullptr;
    std::optional<PictureSequence> pictures_;
    /** Counts the stimuli, so the end of one cancelled is never taken for the next. */
    int playing_ = 0;

    QPushButton* startButton_ = nullptr;
    QPushButton* confirmButton_ = nullptr;
    QPushButton* cannotButton_ = nullptr;
    QPushButton* endButton_ = nullptr;
    std::array<QPushButton*, kSpeedupPanels> panels_{};
    QLabel* trialCount_ = nullptr;
    QProgressBar* progress_ = nullptr;
    CPictureFrame* picture_ = nullptr;
};

}  // namespace kestrune::app
