// The speeded syllable test without its window.
//
// Each item is one recorded vowel, played faster and faster (a playback
// speed factor from BEGIN to END by INTERVAL) until the subject can no
// longer pick it out among the five vowel panels あ い う え お. The item
// played next is drawn at random, weighted by how many speed steps it has
// left. A right answer moves the item one step faster; wrong answers are
// tolerated MISSPERMISSION times at one speed, and an item that fails at its
// very first speed starts again two steps slower (once it is slow enough to
// allow that). Every answer is one row; at the end the average speed of the
// final failures rates the subject's hearing.
//
// The waits between the steps come back as StepSequences the host runs on
// its event loop (tests: on a FakeClock).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/battery/AnswerTiming.h"
#include "core/battery/Scenario.h"
#include "core/battery/StepSequence.h"
#include "core/battery/Stimulus.h"
#include "core/battery/TestTexts.h"
#include "core/util/Clock.h"
#include "core/util/Random.h"

namespace kestrune {

inline constexpr const char* kSpeedupCaption = "加速音声の実験をしている";
inline constexpr const char* kSpeedupNoWeightMessage = "total equel 0!";
inline constexpr const char* kSpeedupQuitQuestion = "Really want to quit?";

/** The item table's capacity; the five vowels use the first five. */
inline constexpr int kSpeedupCapacity = 20;
inline constexpr int kSpeedupPanels = 5;
/** From the draw to the stimulus. */
inline constexpr std::uint64_t kSpeedupPlayWaitMs = 2000;
/** From the end of the stimulus to "確認できない". */
inline constexpr std::uint64_t kSpeedupAnswerWaitMs = 1000;
/** SSRValidity of an item that failed at its first speed. */
inline constexpr int kSpeedupFirstSpeedFailed = 3;

/** One DATA section and where the item stands. */
struct SpeedupItem {
    std::string path;  ///< FILEPATHNAME, as a local path
    double begin = 0.0;
    double end = 0.0;
    double interval = 0.0;
    int missPermission = 0;
    int playTimes = 0;
    std::string description;
    double speed = 0.0;  ///< the current speed; starts at BEGIN
    bool finished = false;
    int misses = 0;
};

/** (END - speed) / INTERVAL + 1: the steps an item has from `speed` on. A
 *  zero interval never moves, so such an item has no steps. */
double SpeedupStepsFrom(const SpeedupItem& item, double speed);

/** The draw weight: (int)((END - speed) / INTERVAL) + 1, 0 when finished. */
int SpeedupWeight(const SpeedupItem& item);

/** Everything the test reads from its scenario. */
struct SpeedupSettings {
    std::string picturePath;
    int pictureNumber = 0;
    int volume = 0;
    int sequenceType = 0;  ///< SEQTYPE: read, never used
    std::vector<SpeedupItem> items;
};

/** Reads TOTAL items (at most 20); an item whose steps are not above 0.5
 *  starts finished. */
ScenarioCheck ReadSpeedupScenario(const Scenario& scenario, SpeedupSettings& settings);

/** The next item: -1 when none is open. Otherwise r = RandomInt(W) + 1 for
 *  the sum W of the weights, then from index 0 on (wrapping) each item's
 *  weight is taken off r until r <= 0. `noWeight` is set when items are
 *  open but all their weights are 0 (the first open item is played). */
int DrawSpeedupItem(const std::vector<SpeedupItem>& items, CrtRandom& random, bool* noWeight);

/** The progress bar: 0 ... range at position. */
struct SpeedupProgress {
    int position = 0;
    int range = 0;
};

SpeedupProgress ComputeSpeedupProgress(const std::vector<SpeedupItem>& items);

/** The rating of the average failing speed. */
std::string_view SpeedupRating(double average);

/** One SyllableSpeedupRecord row, without subject and self-evaluation. */
struct SpeedupRecord {
    int volume = 0;
    std::string timeText;
    long long durationSeconds = 0;
    std::string content;     ///< the item's vowel
    std::string recognised;  ///< the chosen vowel; "" for "確認できない"
    std::string speedText;   ///< "%f"
    double state = 0.0;      ///< 1, 0.5 or 0
    int validity = 1;
};

/** What the test does through its window. */
class SpeedupHost {
  public:
    virtual ~SpeedupHost() = default;
    virtual void SetStartEnabled(bool enabled) = 0;
    virtual void SetConfirmEnabled(bool enabled) = 0;
    virtual void SetCannotIdentifyEnabled(bool enabled) = 0;
    /** Paints the panels: `choice` (0 ... 4) chosen, -1 none. */
    virtual void ShowChoice(int choice) = 0;
    virtual void ShowTrialCount(int count) = 0;
    virtual void ShowProgress(const SpeedupProgress& progress) = 0;
    /** Plays the file on the worker; its end comes back through
     *  PlaybackFinished(). False (after the message) when it cannot be read. */
    virtual bool PlayStimulus(const std::string& path, const StimulusSettings& settings) = 0;
    /** Ends a running playback worker at once. */
    virtual void StopWorker() = 0;
    /** Stores the row; false (after telling why) when it could not. */
    virtual bool Store(const SpeedupRecord& record) = 0;
    /** The subject's average failing speed over every session; nullopt
     *  (after telling why) when it cannot be read. */
    virtual std::optional<double> AverageFailingSpeed() = 0;
    virtual void Message(const std::string& text) = 0;
    virtual void AdvancePicture() = 0;
    /** Runs the sequence, replacing any that runs. */
    virtual void RunSteps(StepSequence steps) = 0;
    virtual void CancelSteps() = 0;
    /** The evaluation is over: the dialog asks whether to close. */
    virtual void RequestClose() = 0;
};

class SpeededSyllableTest {
  public:
    enum class Phase {
        Ready,      ///< "始まる" enabled
        Waiting,    ///< the wait before the stimulus
        Playing,    ///< the stimulus plays; an answer stops it
        Answering,  ///< the stimulus is over
        Done,
    };

    SpeededSyllableTest(SpeedupSettings settings, SpeedupHost& host, CrtRandom& random,
                        const Clock& clock);

    const SpeedupSettings& Settings() const { return settings_; }
    const std::vector<SpeedupItem>& Items() const { return settings_.items; }
    Phase CurrentPhase() const { return phase_; }
    int CurrentItem() const { return item_; }
    int Choice() const { return choice_; }
    int Trials() const { return trials_; }
    SpeedupProgress Progress() const { return ComputeSpeedupProgress(settings_.items); }
    /** The volume written to the rows (the directions may change it). */
    void SetVolume(int volume) { settings_.volume = volume; }

    /** "始まる". */
    void Start();
    /** A vowel panel: the chosen one clears the choice, another becomes it. */
    void Choose(int panel);
    /** "確認" with the choice. */
    void Confirm();
    /** "確認できない". */
    void CannotIdentify();
    /** The worker started playing: the answer's duration counts from here. */
    void StimulusStarted() { timer_.StartTrial(); }
    /** The worker played every repetition. */
    void PlaybackFinished();

  private:
    void Answer(int choice);
    void NextTrial();
    void Evaluate();
    void UpdateConfirm();

    SpeedupSettings settings_;
    SpeedupHost& host_;
    CrtRandom& random_;
    TrialTimer timer_;
    Phase phase_ = Phase::Ready;
    int item_ = -1;
    int choice_ = -1;
    int trials_ = 0;
};

}  // namespace kestrune
