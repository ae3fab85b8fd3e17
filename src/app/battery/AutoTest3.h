#pragma once

#include <QDialog>
#include <QString>
#include <QWidget>

#include <memory>
#include <optional>

#include "app/Picture.h"
#include "app/battery/AutoTest6.h"
#include "core/battery/PictureSequence.h"
#include "core/battery/TimeListening.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace kestrune::audio {
class PlaybackWorker;
}

namespace kestrune::app {

class CPictureFrame;
class StepRunner;

/** The clock face: "clock.jpg" stretched over the control, the minute hand
 *  (green, 2 px, 45 long) and the hour hand (orange, 4 px, 30 long) from the
 *  centre. A left click is handed on with its position. */
class CClockFace final : public QWidget {
    Q_OBJECT

  public:
    explicit CClockFace(QWidget* parent = nullptr);

    /** Reads the face picture; without one only the hands are drawn. */
    bool LoadFace(const QString& path);
    void SetTime(int hour, int minute);

  signals:
    void clicked(QPoint at);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    CPicture face_;
    int hour_ = 0;
    int minute_ = 0;
};

/** Who takes the time test. */
struct TimeTestSetup {
    int subjectId = 0;
    int selfEvaluation = 0;  ///< stored with every session item (1 ... 5)
    QString scenarioPath;
};

/**
 * "時間の聞く実験をしている": the time listening test. A view over
 * TimeListeningTest: the clock face, the hour/minute choice, the time box
 * with its one-minute arrow and the AM/PM switch all edit the test's answer;
 * each stimulus plays on the sound output through the playback worker; the
 * trial and session rows go through the result store.
 *
 * The recordings are FILEPATH + "H<hour>.wav" and "M<minute>.wav"; the face
 * is "clock.jpg" in the station folder. Opening it runs the directions
 * (test 3) first; closing it ("終了", the close box) stops the stimulus and
 * closes without asking.
 */
class CAutoTest3 final : public QDialog, private TimeHost {
    Q_OBJECT

  public:
    CAutoTest3(const VowelTestServices& services, const TimeTestSetup& setup,
               QWidget* parent = nullptr);
    ~CAutoTest3() override;

    /** False when the scenario was refused (its messages were shown). */
    bool Loaded() const { return test_ != nullptr; }
    const TimeListeningTest* Test() const { return test_.get(); }
    /** The directions, then the test as a modal window until it closes. */
    int RunModal();
    QString Instruction() const;
    bool Playing() const;

    void reject() override;

  private:
    // TimeHost
    void ShowInstruction(const std::string& text) override;
    void SetStartEnabled(bool enabled) override;
    void SetAnswerButtons(bool enabled) override;
    void SetRollBackEnabled(bool enabled) override;
    void ShowAnswer() override;
    void PlayStimulus(const std::string& hourPath, const std::string& minutePath,
                      const StimulusSettings& settings) override;
    void StopWorker() override;
    std::optional<long long> StartSessionItem(const TimeItem& item) override;
    void FinishSessionItem(long long sessionItem, long long durationSeconds, int number) override;
    bool StoreTrial(const TimeTrialRecord& record) override;
    std::optional<std::string> TakeLastTrial() override;
    bool Confirm(const std::string& text) override;
    void Message(const std::string& text) override;
    void AdvancePicture() override;
    void ShowProgress(int position, int range) override;
    void RunSteps(StepSequence steps) override;
    void CancelSteps() override;

    QString StationFolder() const;
    void UpdateProgress();

    VowelTestServices services_;
    TimeTestSetup setup_;
    std::unique_ptr<TimeListeningTest> test_;
    std::unique_ptr<audio::PlaybackWorker> worker_;
    StepRunner* runner_ = nullptr;
    std::optional<PictureSequence> pictures_;
    int volume_ = 60;
    /** The key of the last trial row this window stored: the one a roll back takes. */
    std::optional<qint64> lastRow_;

    QPushButton* startButton_ = nullptr;
    QPushButton* confirmButton_ = nullptr;
    QPushButton* nothingButton_ = nullptr;
    QPushButton* rollBackButton_ = nullptr;
    QPushButton* closeButton_ = nullptr;
    QPushButton* volumeButton_ = nullptr;
    QPushButton* halfButton_ = nullptr;
    QLineEdit* timeEdit_ = nullptr;
    QScrollBar* minuteScroll_ = nullptr;
    CClockFace* clock_ = nullptr;
    QRadioButton* hourRadio_ = nullptr;
    QRadioButton* minuteRadio_ = nullptr;
    QProgressBar* progress_ = nullptr;
    CPictureFrame* picture_ = nullptr;
    QLabel* instruction_ = nullptr;
};

}  // namespace kestrune::app
