#pragma once

#include <QDialog>
#include <QString>

#include <array>
#include <memory>
#include <optional>

#include "core/battery/PictureSequence.h"
#include "core/battery/VowelDiscrimination.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace kestrune::store {
class Database;
}

namespace kestrune::audio {
class PlaybackWorker;
class SoundOutput;
class WaitClock;
}  // namespace kestrune::audio

namespace kestrune::app {

class CDirections;
class CPictureFrame;
class Prompter;
class StepRunner;
class Timers;

/** What the vowel test dialog works with; everything must outlive it. */
struct VowelTestServices {
    store::Database& db;
    Prompter& prompter;
    audio::SoundOutput& output;
    audio::WaitClock& clock;  ///< ticks of the answers and the worker's waits
    CrtRandom& random;
    Timers* timers = nullptr;  ///< the dialog's waits; null: the event loop's
    QString stationFolder;     ///< holds "headphone.jpg"; empty: the working folder
};

/** Who takes the test and where its results go. */
struct VowelTestSetup {
    int subjectId = 0;  ///< 1 is practice
    /** Stored with every answer: the launcher's self-evaluation (1 ... 5);
     *  in a session the entry form's hearing choice (6: not known). */
    int selfEvaluation = 0;
    int age = 0;
    QString scenarioPath;
    QString resultPath;  ///< the result workbook; empty: nothing is written
    /** Created by the measured session: modeless and hidden until the
     *  directions lead on to it; its back and end go to the session. */
    bool session = false;
};

/**
 * "脳内音声識別テストをしている": the vowel discrimination test. A view over
 * VowelDiscriminationTest: it forwards the subject's clicks and keys, plays
 * each trial's mix on the sound output, stores one NewSyllableMaskRecord row
 * per answer, shows the rests and at the end writes the threshold table to
 * sheet "Result" (not in practice) and shows the final text in COutput.
 *
 * Answer buttons are enabled while a trial is playing or waits for its
 * answer; an answer stops the stimulus at once.
 *
 * An answer the database cannot take (a server that went away, a locked
 * file) is kept in the station's answer journal and written, in order,
 * once the database takes answers again; the run goes on. The subject sees
 * nothing of it. The experimenter gets one notice when the run is over
 * (after the result window, or on closing early) saying how many answers
 * went to the journal and whether they are still waiting.
 *
 * Opening it opens the directions (test 6) over it, at the scenario's
 * volume. Their "次へ　＞" shows the test. In the session their "＜　戻る"
 * and their close box are the session's (backRequested(),
 * sessionEndRequested()); anywhere else both simply close the test.
 */
class CAutoTest6 final : public QDialog {
    Q_OBJECT

  public:
    CAutoTest6(const VowelTestServices& services, const VowelTestSetup& setup,
               QWidget* parent = nullptr);
    ~CAutoTest6() override;

    /** False when the scenario could not be read (the dialog shows nothing). */
    bool Loaded() const { return session_ != nullptr; }
    const VowelDiscriminationTest* Session() const { return session_.get(); }
    const VowelSelection& Selection() const { return selection_; }
    /** True once the ending has run. */
    bool Ended() const { return ended_; }
    /** The text shown at the end ("" before). */
    QString FinalText() const { return finalText_; }
    /** Answers of this run that went to the answer journal. */
    int JournaledAnswers() const { return journaled_; }
    /** True while the stimulus worker runs. */
    bool Playing() const;
    const VowelTestSetup& Setup() const { return setup_; }
    /** The session's subject registered again with a corrected name or age:
     *  the evaluation reads the new age and the results go to the new
     *  workbook. The scenario stays the one the test was opened with (the
     *  session makes the test anew when the corrected age needs the other
     *  scenario and nothing has been answered yet). */
    void UpdateSubject(int age, const QString& resultPath);
    /** The directions this test opened (null when the scenario could not be read). */
    CDirections* Directions() const { return directions_; }
    /** The instruction picture file shown ("" without pictures). */
    QString PictureFile() const;

    /** Runs the test as a modal window until it closes (practice and the
     *  launcher). Unlike exec() it lives on while the ending hides it for
     *  the result window and shows it again. */
    int RunModal();

    /** The close box, Escape and "終了": before the end of a test run, ask,
     *  then keep the table as it stands. */
    void reject() override;

  signals:
    /** Session only: the directions went back to the entry form. */
    void backRequested();
    /** Session only: the directions or the test were closed; the session ends. */
    void sessionEndRequested();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void OpenDirections();
    void OnDirectionsNext();
    void OnDirectionsLeft(bool back);
    bool ShowPictureFile(const std::string& file);
    void AdvancePicture();
    void OnStart();
    void OnMark(int vowel);
    void OnCancelMarks();
    void OnAnswer(VowelAnswerKind kind);
    void ShowProgress(const VowelProgress& progress);
    void RunTrial(const VowelStep& step);
    /** False (after showing why) when the trial's recordings cannot be played. */
    bool Play(const VowelTrial& trial);
    /** A 2000 Hz tone of 100 ms on the sound output. */
    void Beep();
    void StoreRecord(const VowelRecord& record);
    /** The experimenter's one notice about journaled answers, once per run. */
    void TellJournaled();
    void RunEnding();
    bool WriteRows(const std::vector<std::vector<std::string>>& rows);
    void UpdateMarks();
    void SetAnswering(bool on);

    VowelTestServices services_;
    VowelTestSetup setup_;
    std::unique_ptr<VowelDiscriminationTest> session_;
    std::unique_ptr<audio::PlaybackWorker> worker_;
    StepRunner* runner_ = nullptr;
    VowelSelection selection_;
    bool started_ = false;
    /** A trial whose recordings failed at play time: "開始" plays it again. */
    std::optional<VowelTrial> pendingTrial_;
    /** How long the stimulus cancelled by the last answer still sounds. */
    std::uint64_t soundingMs_ = 0;
    bool ended_ = false;
    QString finalText_;
    int journaled_ = 0;
    bool journalTold_ = false;

    QPushButton* startButton_ = nullptr;
    QPushButton* confirmButton_ = nullptr;
    QPushButton* singleButton_ = nullptr;
    QPushButton* dontKnowButton_ = nullptr;
    QPushButton* cancelButton_ = nullptr;
    QPushButton* backButton_ = nullptr;
    std::array<QPushButton*, kVowelCount> vowelButtons_{};
    QProgressBar* progress_ = nullptr;
    CPictureFrame* picture_ = nullptr;
    CDirections* directions_ = nullptr;
    std::optional<PictureSequence> pictures_;
    QLabel* guide_ = nullptr;
    QLabel* instruction_ = nullptr;
};

}  // namespace kestrune::app
