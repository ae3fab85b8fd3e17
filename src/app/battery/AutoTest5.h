#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <memory>
#include <optional>

#include "app/battery/AutoTest6.h"
#include "core/battery/PictureSequence.h"
#include "core/battery/SyllableMasking.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kestrune::audio {
class PlaybackWorker;
}

namespace kestrune::app {

class CPictureFrame;
class StepRunner;

/** Who takes the syllable masking test. */
struct SyllableMaskSetup {
    int subjectId = 0;
    int selfEvaluation = 0;  ///< stored with every answer (1 ... 5)
    QString scenarioPath;
};

/**
 * "音声分離実験をしている(1)": the syllable masking test. A view over
 * SyllableMaskingTest: five large vowel panels (the masking vowel in dark
 * green, not choosable, the chosen one in green), the answer buttons, a
 * picture and the progress. Each trial plays the masking sound with the
 * masked vowel under it three times on the sound output; every answer is a
 * SyllableMaskRecord row.
 *
 * Opening it runs the directions (test 5) first; "終了" and the close box
 * stop the stimulus and close without asking.
 */
class CAutoTest5 final : public QDialog {
    Q_OBJECT

  public:
    CAutoTest5(const VowelTestServices& services, const SyllableMaskSetup& setup,
               QWidget* parent = nullptr);
    ~CAutoTest5() override;

    /** False when the scenario was refused or holds no item (messages shown). */
    bool Loaded() const { return test_ != nullptr; }
    const SyllableMaskingTest* Test() const { return test_.get(); }
    /** The directions, then the test as a modal window until it closes. */
    int RunModal();
    bool Playing() const;
    QString PictureFile() const;
    /** The background a vowel panel is painted with. */
    QColor PanelColour(int vowel) const;

    void reject() override;

  private:
    void OnStart();
    void OnAnswer(SyllableAnswer kind);
    void OnPanel(int vowel);
    void PlayTrial();
    void EnableNothingButton();
    void ShowChoice();
    void UpdateProgress();
    void Message(const std::string& text);

    VowelTestServices services_;
    SyllableMaskSetup setup_;
    std::unique_ptr<SyllableMaskingTest> test_;
    std::unique_ptr<audio::PlaybackWorker> worker_;
    StepRunner* runner_ = nullptr;
    std::optional<PictureSequence> pictures_;
    int volume_ = 60;

    QPushButton* startButton_ = nullptr;
    QPushButton* confirmButton_ = nullptr;
    QPushButton* notSureButton_ = nullptr;
    QPushButton* nothingButton_ = nullptr;
    QPushButton* endButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    CPictureFrame* picture_ = nullptr;
    std::array<QLabel*, kSyllableVowels> panels_{};
};

}  // namespace kestrune::app
