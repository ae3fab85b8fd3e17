#pragma once

#include <QDialog>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

#include "app/battery/AutoTest6.h"
#include "app/battery/InputDlg.h"
#include "core/battery/PictureSequence.h"
#include "core/battery/SentenceRecognition.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kestrune::audio {
class PlaybackWorker;
}

namespace kestrune::app {

class CPictureFrame;
class StepRunner;

/** Who takes the sentence test. */
struct SentenceTestSetup {
    int subjectId = 0;
    int selfEvaluation = 0;  ///< stored with every answer (1 ... 5)
    QString scenarioPath;
};

/**
 * "文の認識実験をしている": the sentence recognition test. A view over
 * SentenceRecognitionTest: it shows the instruction text, the pictures and
 * the progress, plays each stimulus on the sound output through the
 * playback worker, opens the input windows and stores one TestRecord row
 * per answer through the result store.
 *
 * Materials are looked up in the audio registry by the items' FILE; a
 * relative AIPathname is taken inside the station folder. Opening it runs
 * the directions (test 2) first; closing it ("終了", the close box) stops
 * the stimulus and closes without asking.
 */
class CAutoTest2 final : public QDialog, private SentenceHost {
    Q_OBJECT

  public:
    CAutoTest2(const VowelTestServices& services, const SentenceTestSetup& setup,
               QWidget* parent = nullptr);
    ~CAutoTest2() override;

    /** False when the scenario was refused (its messages were shown). */
    bool Loaded() const { return test_ != nullptr; }
    const SentenceRecognitionTest* Test() const { return test_.get(); }
    /** The directions, then the test as a modal window until it closes. */
    int RunModal();
    /** The input window open for the round or a button's content (null when none). */
    CInputDlg* Entry() const { return entry_; }
    QString Instruction() const;
    QString PictureFile() const;
    bool Playing() const;

    void reject() override;

  private:
    // SentenceHost
    void ShowInstruction(const std::string& text) override;
    void SetStartEnabled(bool enabled) override;
    void SetAnswerButtons(bool enabled) override;
    void PlayStimulus(const std::string& wavePath,
                      const std::optional<StimulusSettings>& settings) override;
    void OpenTypedEntry(const std::string& text) override;
    void OpenContentEntry() override;
    void CloseEntries() override;
    std::optional<std::string> Content(int audioId) override;
    std::optional<int> NextTimes(int audioId, bool belowFullState) override;
    bool Store(const SentenceRecord& record) override;
    void AdvancePicture() override;
    void ShowProgress(int position, int range) override;
    void RunSteps(StepSequence steps) override;
    void CancelSteps() override;
    void CloseTest() override;
    // RollBackHost
    void StopWorker() override;
    bool Confirm(const std::string& text) override;
    void Message(const std::string& text) override;
    bool TakeNewestTrial() override;
    void SetRollBackEnabled(bool enabled) override;
    void RestorePosition(const TestPosition& position) override;
    void PreviousPicture() override;
    void UpdateProgress() override;
    void StartWorker() override;
    void PromptAnswer() override;

    CInputDlg* OpenEntry(const QString& prompt, const QString& text);
    QString StationFolder() const;
    bool ShowPictureFile(const std::string& file);

    VowelTestServices services_;
    SentenceTestSetup setup_;
    std::unique_ptr<SentenceRecognitionTest> test_;
    std::unique_ptr<audio::PlaybackWorker> worker_;
    StepRunner* runner_ = nullptr;
    std::optional<PictureSequence> pictures_;
    int volume_ = 60;
    /** The key of the last row this window stored: the one a roll back takes. */
    std::optional<qint64> lastRow_;
    QPointer<CInputDlg> entry_;

    QPushButton* startButton_ = nullptr;
    QPushButton* recognisedButton_ = nullptr;
    QPushButton* tryButton_ = nullptr;
    QPushButton* notRecognisedButton_ = nullptr;
    QPushButton* rollBackButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QProgressBar* progress_ = nullptr;
    CPictureFrame* picture_ = nullptr;
    QLabel* instruction_ = nullptr;
};

}  // namespace kestrune::app
