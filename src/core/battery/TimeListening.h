// The time listening test without its window.
//
// The subject hears a clock time - an hour recording, 0.2 s of silence and a
// minute recording - degraded by the item's speed, noise and interruption and
// played three times, and sets that time on a clock face, with a one-minute
// scroll arrow, an AM/PM switch or by typing HH:MM. Each item draws NUMBER
// different times from its candidate range BEGIN ... END (one per minute,
// wrapping over midnight). Every answer is one trial row (BasicRecord), every
// item one session row (StatisticalRecord), made when its first stimulus
// starts and completed with the counted score when its last answer is in.
//
// The answer controls all edit one TimeAnswer; the waits between the steps
// come back as StepSequences the host runs on its event loop.
#pragma once

#include <cstdint>
#include <ctime>
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
#include "core/util/Random.h"

namespace kestrune {

inline constexpr const char* kTimeCaption = "時間の聞く実験をしている";
inline constexpr const char* kTimeWelcomeText =
    "今，時刻入力を練習してみよう。時計文字盤の適当な位置でマウスの左キーをクリックにより時刻を確認"
    "し"
    "てみよう。尚，右のテキストボックスの傍にある矢印をクリックより，時刻の分までにも調整できる。ま"
    "た"
    "は右のテキストボックスに，時刻を表す数字を直接入力してみよう。\nご都合が良い時、「始まる」ボタ"
    "ンを"
    "押すと、テストが始まります!";
inline constexpr const char* kTimeNotEnteredMessage = "Please input the time you heard!";
inline constexpr const char* kTimeInvalidMessage = "Invalid time format!\nPlease see the examples!";
inline constexpr const char* kTimeRollBackLostMessage =
    "Can not find the rollbacked time, and failed to rollback!";
inline constexpr const char* kHourWaveMessage =
    "Invalid path or file name!\nHour wave file can not be opened!";
inline constexpr const char* kMinuteWaveMessage =
    "Invalid path or file name!\nMinute wave file can not be opened!";

/** Waits of the rounds, in milliseconds. */
inline constexpr std::uint64_t kTimeStartWaitMs = 3000;
inline constexpr std::uint64_t kTimeAnnounceWaitMs = 1000;
inline constexpr std::uint64_t kTimePromptWaitMs = 2000;
inline constexpr std::uint64_t kTimeThanksWaitMs = 1000;
/** Items a scenario may hold. */
inline constexpr int kTimeItemCapacity = 20;
/** The silence between the hour and the minute, in seconds. */
inline constexpr double kTimeGapSeconds = 0.2;
/** SRType of the session rows. */
inline constexpr int kTimeSessionType = 1;

/** A clock time of the day. */
struct ClockTime {
    int hour = 0;    ///< 0 ... 23
    int minute = 0;  ///< 0 ... 59
    bool operator==(const ClockTime&) const = default;
};

/** "HH:MM" of a time: negative parts count as 0, then hour mod 24 and
 *  minute mod 60, each zero-padded. */
std::string FormatClockTime(int hour, int minute);
/** BEGIN / END: the number leading the first two characters is the hour,
 *  the one leading the last two the minute (no range check). */
ClockTime ReadClockTime(const std::string& text);
/** An answer as stored: exactly "HH:MM" in digits, hour 0 ... 23, minute
 *  0 ... 59. "7:5", "9:27", "09-27", "24:00" and "12:60" are not. */
bool ValidTimeAnswer(const std::string& text);

/** Every minute from `begin` to `end`, both included, wrapping from 23:59 to
 *  00:00; `begin` equal to `end` is one time, at most 1440 arise. */
std::vector<std::string> CandidateTimes(const std::string& begin, const std::string& end);

/** The candidate times of an item and which of them were played. */
class CandidateList {
  public:
    CandidateList() = default;
    explicit CandidateList(std::vector<std::string> times);

    int Count() const { return static_cast<int>(times_.size()); }
    int Unused() const;
    const std::vector<std::string>& Times() const { return times_; }
    bool Used(int index) const { return used_[static_cast<std::size_t>(index)]; }

    /** Draws one unused time: RandomInt(count) is drawn and discarded, then
     *  r = RandomInt(count) picks the (r + 1)-th unused time counted from the
     *  first and around. It is marked used. None when every time is used. */
    std::optional<std::string> Draw(CrtRandom& random);
    /** Marks `time` unused again; false when it is not among the candidates. */
    bool Release(const std::string& time);

  private:
    std::vector<std::string> times_;
    std::vector<bool> used_;
};

/** The answer the clock face, the scroll arrow, the AM/PM switch and the
 *  edit box show and change. */
class TimeAnswer {
  public:
    int Hour() const { return hour_; }
    int Minute() const { return minute_; }
    /** The edit box. */
    const std::string& Text() const { return text_; }
    /** Set by any change; a new stimulus clears it. */
    bool Entered() const { return entered_; }
    void ClearEntered() { entered_ = false; }
    /** Whether a clock click sets the hour ("時") or the minute ("分"). */
    bool HourMode() const { return hourMode_; }
    void SetHourMode(bool hour) { hourMode_ = hour; }

    /** Shows a time without counting it as an answer (the dialog's start). */
    void Show(int hour, int minute);
    /** A left click at (x, y) of a face of `width` x `height`; clicks on or
     *  outside the border are ignored (false). */
    bool Click(int x, int y, int width, int height);
    /** The scroll arrow: +1 or -1 minute, across hours and midnight. */
    void Scroll(int minutes);
    /** "午前<-->午後": the time is read back from the edit box and moves by
     *  twelve hours. */
    void SwitchHalf();
    /** The subject edited the box: five characters or more are read back
     *  into the hands. */
    void Edit(const std::string& text);

  private:
    void ShowText();

    int hour_ = 0;
    int minute_ = 0;
    std::string text_ = "00:00";
    bool entered_ = false;
    bool hourMode_ = true;
};

/** The clock face's geometry: angles run clockwise from 12 o'clock in
 *  radians, with the face's own rounded constants. */
struct ClockPoint {
    int x = 0;
    int y = 0;
    bool operator==(const ClockPoint&) const = default;
};
/** Where a click points; none on or outside the border. Held as a float. */
std::optional<float> ClockClickAngle(int x, int y, int width, int height);
/** The minute hand's angle and the hour hand's. */
double MinuteHandAngle(int minute);
double HourHandAngle(int hour, int minute);
/** The far end of a hand of `length` from (cx, cy), truncated. */
ClockPoint HandEnd(int cx, int cy, double angle, int length);
inline constexpr int kMinuteHandLength = 45;
inline constexpr int kHourHandLength = 30;

/** One DATA section. */
struct TimeItem {
    int factorMask = 0;       ///< TYPEMASK
    double playSpeed = 0;     ///< PLAYSPEED
    double noiseLevel = 0;    ///< SNR: noise as a fraction of full scale
    double period = 0;        ///< CYCLE, ms
    double keptFraction = 0;  ///< DUTYCYCLE
    std::string begin;        ///< BEGIN, HH:MM
    std::string end;          ///< END, HH:MM
    int number = 0;           ///< NUMBER: trials of the item
};

/** The stimulus settings of an item: its four values, played three times. */
StimulusSettings TimeStimulus(const TimeItem& item);

/** Everything the test reads from its scenario. */
struct TimeSettings {
    std::string picturePath;
    int pictureNumber = 0;
    std::string filePath;  ///< prefix of the recordings, used as written
    std::vector<TimeItem> items;
};

/** Reads and checks the scenario: at most 20 items, and each item must have
 *  at least one trial and no more trials than candidate times (the item is
 *  named), else "Loading configuration file failed!" follows. */
ScenarioCheck ReadTimeScenario(const Scenario& scenario, TimeSettings& settings);

/** The recordings of a time: prefix + "H" + HH + ".wav" and prefix + "M" +
 *  MM + ".wav". */
std::string HourWavePath(const std::string& prefix, const std::string& time);
std::string MinuteWavePath(const std::string& prefix, const std::string& time);

/** The stimulus of a time: the hour samples, 0.2 s of silence and the
 *  minute samples, in the minute file's format. */
LoadedStimulus JoinTimeStimulus(const LoadedStimulus& hour, const LoadedStimulus& minute);
/** Reads both recordings and joins them; the texts of a refusal name the
 *  file that failed. */
LoadedStimulus LoadTimeStimulus(const std::string& hourPath, const std::string& minutePath);

/** One BasicRecord row, without subject. */
struct TimeTrialRecord {
    long long sessionItem = 0;
    std::string timeText;  ///< when the answer was given
    long long durationSeconds = 0;
    std::string played;  ///< BRContent
    std::string answer;  ///< BRRecognise: the edit text, empty for "全然確認できない"
};

/** What the test does through its window. */
class TimeHost {
  public:
    virtual ~TimeHost() = default;
    /** The instruction area ("" clears it). */
    virtual void ShowInstruction(const std::string& text) = 0;
    virtual void SetStartEnabled(bool enabled) = 0;
    /** "確認" and "全然確認できない". */
    virtual void SetAnswerButtons(bool enabled) = 0;
    virtual void SetRollBackEnabled(bool enabled) = 0;
    /** The answer controls show the test's TimeAnswer again. */
    virtual void ShowAnswer() = 0;
    /** Plays the joined recordings three times on the worker. */
    virtual void PlayStimulus(const std::string& hourPath, const std::string& minutePath,
                              const StimulusSettings& settings) = 0;
    /** Ends a running playback worker at once. */
    virtual void StopWorker() = 0;
    /** Stores the item's session row; its SRID, none when it failed (the
     *  host told why). */
    virtual std::optional<long long> StartSessionItem(const TimeItem& item) = 0;
    /** Completes the session row. */
    virtual void FinishSessionItem(long long sessionItem, long long durationSeconds,
                                   int number) = 0;
    /** Stores the trial row; false (after telling why) when it could not. */
    virtual bool StoreTrial(const TimeTrialRecord& record) = 0;
    /** Removes the trial row this window stored last and returns what was
     *  played in it; none when there is none. */
    virtual std::optional<std::string> TakeLastTrial() = 0;
    virtual bool Confirm(const std::string& text) = 0;
    virtual void Message(const std::string& text) = 0;
    virtual void AdvancePicture() = 0;
    virtual void ShowProgress(int position, int range) = 0;
    /** Runs the sequence, replacing any that runs. */
    virtual void RunSteps(StepSequence steps) = 0;
    virtual void CancelSteps() = 0;
};

class TimeListeningTest {
  public:
    enum class Phase {
        Ready,      ///< "始まる" enabled
        Playing,    ///< a stimulus is announced; no answer is taken
        Answering,  ///< "確認" and "全然確認できない" enabled
        Done,
    };

    /** `random` is seeded from the clock before each draw. */
    TimeListeningTest(TimeSettings settings, TimeHost& host, const Clock& clock, CrtRandom& random);

    const TimeSettings& Settings() const { return settings_; }
    Phase CurrentPhase() const { return phase_; }
    int Item() const { return item_; }
    int Trial() const { return trial_; }
    const CandidateList& Candidates() const { return candidates_; }
    /** The time now playing (empty before the first). */
    const std::string& Played() const { return played_; }
    TimeAnswer& Answer() { return answer_; }
    const TimeAnswer& Answer() const { return answer_; }
    int ProgressPosition() const;
    int ProgressRange() const;

    /** "始まる". */
    void Start();
    /** "確認": the edit text, once entered and valid. */
    void ConfirmAnswer();
    /** "全然確認できない": an empty answer. */
    void NothingRecognised();
    /** "元に戻す": takes the last answer of the item in progress back and
     *  plays that trial again with a new time. */
    void RollBackLast();

  private:
    const TimeItem& Current() const { return settings_.items[static_cast<std::size_t>(item_)]; }
    bool ItemsLeft() const { return item_ < static_cast<int>(settings_.items.size()); }
    void Store(const std::string& answer);
    void PlayNext();
    void Prompt();
    void UpdateProgress();
    void NextRound(const char* text);

    TimeSettings settings_;
    TimeHost& host_;
    const Clock& clock_;
    CrtRandom& random_;
    TrialTimer timer_;
    TimeAnswer answer_;
    CandidateList candidates_;
    Phase phase_ = Phase::Ready;
    int item_ = 0;
    int trial_ = 0;
    int lastItem_ = 0;
    int lastTrial_ = 0;
    std::string played_;
    bool answered_ = true;  ///< the played time has its row
    std::optional<long long> session_;
    int sessionOf_ = -1;  ///< the item `session_` belongs to
    std::time_t itemStart_ = 0;
    bool rollBackEnabled_ = false;
};

}  // namespace kestrune
