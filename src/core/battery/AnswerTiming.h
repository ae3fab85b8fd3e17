// How long a subject took to answer, in the two forms the result rows keep.
//
// Most tests store whole seconds of the one-second clock, from the moment
// the stimulus started playing to the confirmation, less the time the input
// dialog was paused. Tests that time from the millisecond tick store the
// seconds as a "%3.2f" text after taking off a fixed allowance; a negative
// difference is stored as 0. Both clocks come from an injected Clock.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>

#include "core/util/Clock.h"

namespace kestrune {

/** "%3.2f" of (answerTick - startTick - allowanceMs) / 1000, a negative
 *  difference counting as 0. */
std::string TickDurationText(std::uint64_t startTickMs, std::uint64_t answerTickMs,
                             std::uint64_t allowanceMs = 0);

/** Whole seconds from `start` to `answer`, less `pausedSeconds`. */
long long WholeSecondsDuration(std::time_t start, std::time_t answer, long long pausedSeconds = 0);

/** One answer's times, ready for a result row. */
struct AnswerTime {
    std::time_t at = 0;
    std::string atText;  ///< "%Y-%m-%d %H:%M:%S", local time
    std::uint64_t atTickMs = 0;
    long long durationSeconds = 0;  ///< whole seconds, paused time taken off
};

/** The trial clock of a test dialog. Starting a trial notes both clocks;
 *  until the first start the trial started when the timer was made. */
class TrialTimer {
  public:
    explicit TrialTimer(const Clock& clock);

    /** A stimulus starts playing: the trial starts now. */
    void StartTrial();
    std::time_t TrialStart() const { return start_; }
    std::uint64_t TrialStartTickMs() const { return startTick_; }

    /** The subject confirms an answer now. */
    AnswerTime Confirm(long long pausedSeconds = 0) const;
    /** The tick-based duration of an answer confirmed now. */
    std::string TickDuration(std::uint64_t allowanceMs) const;

  private:
    const Clock& clock_;
    std::time_t start_;
    std::uint64_t startTick_;
};

/** The input dialog's pause bookkeeping: the total time spent paused, in
 *  whole seconds of the one-second clock. */
class PauseTracker {
  public:
    explicit PauseTracker(const Clock& clock) : clock_(clock) {}

    bool Paused() const { return paused_; }
    /** "一時停止": notes the pause start (ignored while paused). */
    void Pause();
    /** "続く": adds the time since the pause start (ignored while running). */
    void Resume();
    long long PausedSeconds() const { return pausedSeconds_; }

  private:
    const Clock& clock_;
    bool paused_ = false;
    std::time_t pausedAt_ = 0;
    long long pausedSeconds_ = 0;
};

}  // namespace kestrune
