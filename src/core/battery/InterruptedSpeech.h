// The interrupted speech test without its window.
//
// Each item plays NUMBER syllables drawn without repetition from its range
// BEGIN ... END of the kana table, every one slowed or sped up, mixed with
// noise and cut periodically (CYCLE ms periods of which the DUTYCYCLE
// fraction stays audible). The subject types the kana heard, or says that
// nothing was recognised. Every answer is one trial row; every item is one
// session row, opened when its first syllable plays and completed with its
// correct count when its last answer is in. At the end the subject's trials
// at a kept fraction of 0.5, over all sessions, give the rating shown.
//
// The waits between the steps come back as StepSequences the host runs on
// its event loop (tests: on a FakeClock).
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/battery/AnswerTiming.h"
#include "core/battery/RollBack.h"
#include "core/battery/Scenario.h"
#include "core/battery/StepSequence.h"
#include "core/battery/Stimulus.h"
#include "core/battery/TestTexts.h"
#include "core/util/Clock.h"
#include "core/util/Random.h"

namespace kestrune {

inline constexpr const char* kSyllableCaption = "抹消音声実験をしている";
inline constexpr const char* kSyllableWelcomeText =
    "ご都合が良い時、「始まる」ボタンを押すと、テストが始まります!";
inline constexpr const char* kInvalidKanaMessage = "Invalid カナ format!";
inline constexpr const char* kSyllableCannotOpenMessage =
    "Invalid path or file name!\nSyllable wave file can not be opened!";
inline constexpr const char* kSyllableNotInPoolMessage =
    "Can not find the rollbacked syllable, and failed to rollback!";

/** Waits, in milliseconds. */
inline constexpr std::uint64_t kSyllableStartWaitMs = 3000;
inline constexpr std::uint64_t kSyllableAnnounceWaitMs = 1000;
inline constexpr std::uint64_t kSyllablePromptWaitMs = 2000;
inline constexpr std::uint64_t kSyllableThanksWaitMs = 500;
/** Taken off every answer's time: the stimulus' own start. */
inline constexpr std::uint64_t kSyllableDurationAllowanceMs = 400;
/** Items a scenario may hold. */
inline constexpr int kSyllableItemCapacity = 20;
/** SRType of the test's session rows. */
inline constexpr int kSyllableSessionType = 2;

/** One DATA section. */
struct SyllableItem {
    int factorMask = 0;       ///< TYPEMASK
    double playSpeed = 0;     ///< PLAYSPEED
    double noiseLevel = 0;    ///< SNR: noise as a fraction of full scale
    double period = 0;        ///< CYCLE, ms
    double keptFraction = 0;  ///< DUTYCYCLE
    int begin = 0;            ///< first syllable number
    int end = 0;              ///< last syllable number
    int number = 0;           ///< trials
};

/** Everything the test reads from its scenario. */
struct SyllableSettings {
    std::string picturePath;
    int pictureNumber = 0;
    std::string filePath;  ///< FILEPATH, syllable files are appended to it
    int kindCode = 1;      ///< from TYPE: missing 1, "TRAIN" 5, anything else 2
    std::vector<SyllableItem> items;
};

/** The kind code a TYPE value gives. */
int SyllableKindCode(std::string_view type);

/** Reads and checks the scenario: at most 20 items, and every item must be
 *  able to play NUMBER different syllables, so an item whose NUMBER exceeds
 *  its range (END - BEGIN + 1) is refused by name. */
ScenarioCheck ReadSyllableScenario(const Scenario& scenario, SyllableSettings& settings);

/** The syllables of an item's range, each playable once. */
class SyllablePool {
  public:
    /** BEGIN, BEGIN + 1, ... END, all unused (empty when END < BEGIN). */
    void Fill(int begin, int end);
    int Count() const { return static_cast<int>(entries_.size()); }
    int Unused() const;
    /** Draws an unused syllable and marks it used: one draw is thrown away,
     *  the second (r) walks r + 1 unused entries from the first, wrapping.
     *  Nothing when every entry is used. */
    std::optional<int> Pick(CrtRandom& random);
    /** Marks the first used entry whose kana is `kana` unused again; false
     *  when there is none. */
    bool Release(std::string_view kana);
    bool Used(int number) const;

  private:
    struct Entry {
        int number = 0;
        bool used = false;
    };
    std::vector<Entry> entries_;
};

/** Whether an answer has the length of one or two kana: 2 or 4 bytes in
 *  cp932 (two ASCII letters pass too). */
bool IsKanaAnswerLength(std::string_view answer);

/** The stored answer and BROther for a played kana: the homophones お/を,
 *  じ/ぢ and ず/づ are stored as the played kana with BROther "1". */
struct StoredAnswer {
    std::string recognised;
    std::string other;
};
StoredAnswer StoreAnswer(std::string_view played, std::string_view typed);

/** correct / total as a percentage; 50 when there is no trial. */
double HalfDutyRate(int correct, int total);
/** The message the rating gives. */
std::string RatingText(double rate);

/** One BasicRecord row, without subject and session. */
struct SyllableTrial {
    std::string timeText;      ///< "%Y-%m-%d %H:%M:%S"
    std::string durationText;  ///< "%3.2f" seconds after the allowance
    std::string played;        ///< BRContent
    std::string recognised;    ///< BRRecognise
    std::string other;         ///< BROther
};

/** What the test does through its window. */
class SyllableHost {
  public:
    virtual ~SyllableHost() = default;
    /** The instruction area ("" clears it). */
    virtual void ShowInstruction(const std::string& text) = 0;
    virtual void SetStartEnabled(bool enabled) = 0;
    /** "確認" and "全然確認できない". */
    virtual void SetAnswerButtons(bool enabled) = 0;
    virtual void SetRollBackEnabled(bool enabled) = 0;
    /** The pause button's caption: "続く" while paused, else "一時停止". */
    virtual void ShowPaused(bool paused) = 0;
    /** Empties the answer edit box. */
    virtual void ClearAnswer() = 0;
    virtual void FocusAnswer() = 0;
    virtual void Message(const std::string& text) = 0;
    /** OK/Cancel under "Confirmation"; true for OK. */
    virtual bool Confirm(const std::string& text) = 0;
    /** Reads a syllable file; false after showing why it cannot be played. */
    virtual bool LoadSyllable(const std::string& path) = 0;
    /** Plays what LoadSyllable read, on the worker. */
    virtual void PlayLoaded(const StimulusSettings& settings) = 0;
    /** Ends a running playback at once. */
    virtual void StopWorker() = 0;
    /** Opens the item's session row (SRTimes, subject, volume: the host's);
     *  its SRID, nothing after a database failure was shown. */
    virtual std::optional<long long> StartSession(const SyllableItem& item) = 0;
    /** Completes the session row. */
    virtual void FinishSession(long long session, long long durationSeconds, int number,
                               int validity) = 0;
    /** Stores a trial row of the session; false after a failure was shown. */
    virtual bool StoreTrial(long long session, const SyllableTrial& trial) = 0;
    /** Takes back the last trial row this window stored and returns its
     *  BRContent; nothing when it is gone. */
    virtual std::optional<std::string> TakeLastTrial() = 0;
    /** The subject's trials at a kept fraction of 0.5: correct, total;
     *  nothing when they cannot be read. */
    virtual std::optional<std::pair<int, int>> ReadHalfDutyScore() = 0;
    virtual void AdvancePicture() = 0;
    virtual void ShowProgress(int position, int range) = 0;
    /** Runs the sequence, replacing any that runs. */
    virtual void RunSteps(StepSequence steps) = 0;
    virtual void CancelSteps() = 0;
};

class InterruptedSpeechTest {
  public:
    enum class Phase {
        Ready,      ///< "始まる" enabled
        Playing,    ///< a syllable is announced; no answer is taken
        Answering,  ///< the answer buttons are enabled (unless paused)
        Done,       ///< rated; only the last answer can still be taken back
    };

    InterruptedSpeechTest(SyllableSettings settings, SyllableHost& host, const Clock& clock,
                          CrtRandom& random);

    const SyllableSettings& Settings() const { return settings_; }
    Phase CurrentPhase() const { return phase_; }
    int Item() const { return item_; }
    int Trial() const { return trial_; }
    const std::string& Played() const { return played_; }
    const SyllablePool& Pool() const { return pool_; }
    bool Paused() const { return pause_.Paused(); }
    int ProgressPosition() const;
    int ProgressRange() const;

    /** "始まる". */
    void Start();
    /** "確認" with the edit box's text. */
    void Answer(const std::string& text);
    /** "全然確認できない". */
    void NotRecognised();
    /** "一時停止" / "続く". */
    void TogglePause();
    /** "元に戻す". */
    void RollBackLast();
    /** The syllable of the current trial: chosen, its session opened and
     *  played (the worker's part). */
    void PlayNext();

  private:
    const SyllableItem& Current() const { return settings_.items[static_cast<size_t>(item_)]; }
    void Store(const std::string& typed);
    void Prompt();
    void Announce(const char* text, std::uint64_t firstWaitMs);
    void FinishItem();
    void Evaluate();
    void UpdateProgress();

    SyllableSettings settings_;
    SyllableHost& host_;
    const Clock& clock_;
    CrtRandom& random_;
    SyllablePool pool_;
    PauseTracker pause_;
    Phase phase_ = Phase::Ready;
    int item_ = 0;
    int trial_ = 0;
    int lastItem_ = 0;
    int lastTrial_ = 0;
    bool rollBackEnabled_ = false;
    std::string played_;
    TrialTimer timer_;
    std::optional<long long> session_;
    int sessionItem_ = -1;  ///< the item session_ belongs to
    std::time_t itemStart_ = 0;
    long long itemPauseBase_ = 0;  ///< paused seconds before the item started
};

}  // namespace kestrune
