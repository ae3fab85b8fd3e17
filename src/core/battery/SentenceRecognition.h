// The sentence recognition test without its window.
//
// Each item is a registered sentence degraded along one factor (play speed,
// interruption period or kept fraction). The factor starts at the item's
// BEGIN value and moves by INTERVAL after every answer that did not
// recognise the sentence, up to END; the item ends when the sentence is
// recognised or the sweep is used up.
//
// A round plays the stimulus and then waits for one answer, which comes in
// one of two ways:
//   - typed: the round's input window is confirmed. The text is compared
//     with the material's stored content (exactly: 1 when equal, 0.5 when
//     not, 0 when empty). Typed answers cannot be rolled back.
//   - a button: "認識できる" and "やってみましょう" ask for the content first
//     (cancelling that returns to the round), "認識できない" does not. A button
//     answer can be rolled back once.
// Whichever comes first is the round's answer; the other is closed, so each
// answer is exactly one row. The waits between the steps come back as
// StepSequences the host runs on its event loop (tests: on a FakeClock).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/battery/AnswerTiming.h"
#include "core/battery/RollBack.h"
#include "core/battery/Scenario.h"
#include "core/battery/StepSequence.h"
#include "core/battery/Stimulus.h"
#include "core/battery/TestTexts.h"
#include "core/util/Clock.h"

namespace kestrune {

inline constexpr const char* kSentenceCaption = "文の認識実験をしている";
inline constexpr const char* kSentenceWelcomeText =
    "ようこそ!  まじめでオーディオを聞いてください, そして「結果」 "
    "グループで　適当なボタンを選んでください。 「始まる」 ボタンを押すと、テストが始まります!";
inline constexpr const char* kSentenceTypedTitle = "入力して下さい";
inline constexpr const char* kSentenceTypedPrompt =
    "認識した内容を入力して下さい、少しだけでも認識した場合、聞いたことをひらかなで入力してください"
    "。ぜんぜんわからない時、直接に「確認」を押してください。";
inline constexpr const char* kSentenceContentPrompt = "認識した内容を入力して下さい：";
inline constexpr const char* kSentenceTryText =
    "Don't hesitate to your answer, it maybe correct! However this audio will be finished until "
    "you click「認識できる」";
inline constexpr const char* kSentenceClearerText =
    "ゆっくりして下さい。オーディオは、よりはっきりになるでしょう!";
inline constexpr const char* kInvalidAudioIdMessage = "Invalid audio file ID!";
inline constexpr const char* kInvalidAudioPathMessage = "Invalid audio file path and name!";
inline constexpr const char* kAudioContentFailedMessage = "Get audio content failed!";

/** Waits of the rounds, in milliseconds. */
inline constexpr std::uint64_t kSentenceStartWaitMs = 3000;
inline constexpr std::uint64_t kSentenceListenWaitMs = 6000;
inline constexpr std::uint64_t kSentenceAnnounceWaitMs = 1000;
inline constexpr std::uint64_t kSentencePromptWaitMs = 2000;
inline constexpr std::uint64_t kSentenceThanksWaitMs = 1000;

/** The factor an item sweeps (TYPEMASK). */
enum SentenceFactor : int { kSweepSpeed = 1, kSweepPeriod = 4, kSweepKeptFraction = 8 };

/** One DATA section. */
struct SentenceItem {
    int audioId = 0;          ///< FILE: AIID of the sentence
    std::string wavePath;     ///< its AIPathname, as the host resolved it
    int factorMask = 0;       ///< TYPEMASK
    double playSpeed = 0;     ///< PLAYSPEED
    double noiseLevel = 0;    ///< SNR: noise as a fraction of full scale
    double period = 0;        ///< CYCLE, ms
    double keptFraction = 0;  ///< DUTYCYCLE
    double begin = 0;
    double end = 0;
    double interval = 0;
};

/** (END - BEGIN) / INTERVAL, the last step allowed. Decimal ladders such as
 *  0.3 ... 1.0 by 0.1 land a hair below the whole number in binary, so the
 *  quotient is nudged up by a millionth before anyone takes its whole part. A
 *  zero interval allows step 0 only. */
double SentenceLastStep(const SentenceItem& item);
/** Steps of an item: whole part of the last step + 1, at least 1. */
int SentenceStepCount(const SentenceItem& item);
/** BEGIN + step * INTERVAL. */
double SentenceSweepValue(const SentenceItem& item, int step);
/** Whether step + 1 is still inside the sweep. */
bool SentenceCanStep(const SentenceItem& item, int step);

/** The stimulus of an item at a step: the swept factor gets the sweep value,
 *  the others the item's fixed values; none for a mask that names no factor
 *  (such an item plays nothing, its answers are still stored). */
std::optional<StimulusSettings> SentenceStimulus(const SentenceItem& item, int step);

/** Everything the test reads from its scenario. */
struct SentenceSettings {
    std::string picturePath;
    int pictureNumber = 0;
    std::vector<SentenceItem> items;
};

/** Looks a material up: its AIPathname (empty when the column is null),
 *  nullopt when there is no such row. A database failure is a message. */
struct MaterialLookup {
    std::optional<std::string> path;
    std::optional<std::string> error;
};

/** Reads and checks the scenario: every item's FILE must name a material
 *  with a path ("Invalid audio file ID!", "Invalid audio file path and
 *  name!", then "Loading configuration file failed!"). Any number of items. */
ScenarioCheck ReadSentenceScenario(const Scenario& scenario,
                                   const std::function<MaterialLookup(int audioId)>& lookup,
                                   SentenceSettings& settings);

/** How an answer was given. */
enum class SentenceAnswer {
    Recognised,     ///< "認識できる"
    TryIt,          ///< "やってみましょう"
    NotRecognised,  ///< "認識できない"
    Typed,          ///< the round's input window
};

/** One TestRecord row, without subject, self-evaluation and volume. */
struct SentenceRecord {
    int audioId = 0;
    int times = 0;
    std::string timeText;
    long long durationSeconds = 0;
    double state = 0.0;       ///< the judgement before this answer
    double recognised = 0.0;  ///< 1, 0.5 or 0
    int factorMask = 0;
    double playSpeed = 0.0;
    double noiseLevel = 0.0;
    double period = 0.0;
    double keptFraction = 0.0;
    std::optional<std::string> content;  ///< none for "認識できない" and empty answers
};

/** What the test does through its window. */
class SentenceHost : public RollBackHost {
  public:
    /** The instruction area ("" clears it). */
    virtual void ShowInstruction(const std::string& text) = 0;
    virtual void SetStartEnabled(bool enabled) = 0;
    virtual void SetAnswerButtons(bool enabled) = 0;
    /** Plays the stimulus three times on the worker; none: plays nothing. */
    virtual void PlayStimulus(const std::string& wavePath,
                              const std::optional<StimulusSettings>& settings) = 0;
    /** Opens the round's input window with this text in its edit; its answer
     *  comes back through Typed() or Quit(). */
    virtual void OpenTypedEntry(const std::string& text) = 0;
    /** Opens the content entry of a button answer; it comes back through
     *  ContentEntered() or ContentCancelled(). */
    virtual void OpenContentEntry() = 0;
    /** Closes whichever entry window is open, without an answer. */
    virtual void CloseEntries() = 0;
    /** The material's stored content; nullopt when it cannot be read. */
    virtual std::optional<std::string> Content(int audioId) = 0;
    /** 1 + the largest TRTimes of this subject's recognised answers to the
     *  material (only those from a state below 1 with `belowFullState`). */
    virtual std::optional<int> NextTimes(int audioId, bool belowFullState) = 0;
    /** Stores the row; false (after telling why) when it could not. */
    virtual bool Store(const SentenceRecord& record) = 0;
    virtual void AdvancePicture() = 0;
    virtual void ShowProgress(int position, int range) = 0;
    /** Runs the sequence, replacing any that runs. */
    virtual void RunSteps(StepSequence steps) = 0;
    virtual void CancelSteps() = 0;
    /** The subject quit from the round's input window: the test closes. */
    virtual void CloseTest() = 0;
};

class SentenceRecognitionTest {
  public:
    enum class Phase {
        Ready,      ///< "始まる" enabled
        Playing,    ///< a stimulus is announced; no answer is taken
        Answering,  ///< one answer is awaited
        Entering,   ///< a button answer waits for its content
        Done,
    };

    SentenceRecognitionTest(SentenceSettings settings, SentenceHost& host, const Clock& clock);

    const SentenceSettings& Settings() const { return settings_; }
    Phase CurrentPhase() const { return phase_; }
    int Item() const { return item_; }
    int Step() const { return step_; }
    double State() const { return state_; }
    const RollBack& Undo() const { return rollBack_; }
    /** The progress display: position and range. */
    int ProgressPosition() const;
    int ProgressRange() const;

    /** "始まる". */
    void Start();
    /** The round's input window was confirmed. */
    void Typed(const std::string& text, long long pausedSeconds);
    /** The round's input window was quit. */
    void Quit();
    /** An answer button. */
    void Button(SentenceAnswer answer);
    /** The content of a "認識できる" or "やってみましょう" answer. */
    void ContentEntered(const std::string& text, long long pausedSeconds);
    void ContentCancelled();
    /** "元に戻す": the host takes its last row back and restores the state
     *  (RestoreState) and the position (RestorePosition). */
    RollBackResult RollBackLast();
    /** The host read this TRState from the row it took back. */
    void RestoreState(double state) { state_ = state; }
    /** The host puts the test back (RollBackHost::RestorePosition). */
    void RestorePosition(const TestPosition& position);
    /** The worker started playing: the answer's duration counts from here. */
    void StimulusStarted() { timer_.StartTrial(); }
    /** The stimulus of the current round, for the host's roll back replay. */
    void PlayCurrent();
    /** Awaits the next answer: the prompt, the buttons and the input window. */
    void Prompt();

  private:
    const SentenceItem& Current() const { return settings_.items[static_cast<size_t>(item_)]; }
    bool ItemsLeft() const { return item_ < static_cast<int>(settings_.items.size()); }
    SentenceRecord MakeRecord(double recognised, long long pausedSeconds, int times) const;
    /** After a typed answer: the next round or the end. */
    void AfterTyped(bool matched);
    void NextItemTyped();
    void StartRound();
    void AfterButton(SentenceAnswer answer);
    void ContinueSweep(SentenceAnswer answer);
    void NextItemFromButtons();
    void Finish();
    void UpdateProgress();
    void BackToAnswering();

    SentenceSettings settings_;
    SentenceHost& host_;
    TrialTimer timer_;
    RollBack rollBack_;
    Phase phase_ = Phase::Ready;
    int item_ = 0;
    int step_ = 0;
    double state_ = 0.0;
    std::string lastTyped_;
    SentenceAnswer entering_ = SentenceAnswer::Recognised;
};

}  // namespace kestrune
