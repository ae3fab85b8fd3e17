#include "core/battery/AnswerTiming.h"

#include <cstdio>

namespace kestrune {

std::string TickDurationText(std::uint64_t startTickMs, std::uint64_t answerTickMs,
                             std::uint64_t allowanceMs) {
    const std::uint64_t elapsed =
        answerTickMs > startTickMs + allowanceMs ? answerTickMs - startTickMs - allowanceMs : 0;
    char text[48];
    std::snprintf(text, sizeof text, "%3.2f", static_cast<double>(elapsed) / 1000.0);
    return text;
}

long long WholeSecondsDuration(std::time_t start, std::time_t answer, long long pausedSeconds) {
    return static_cast<long long>(answer - start) - pausedSeconds;
}

TrialTimer::TrialTimer(const Clock& clock)
    : clock_(clock), start_(clock.Now()), startTick_(clock.TickMs()) {}

void TrialTimer::StartTrial() {
    start_ = clock_.Now();
    startTick_ = clock_.TickMs();
}

AnswerTime TrialTimer::Confirm(long long pausedSeconds) const {
    AnswerTime answer;
    answer.at = clock_.Now();
    answer.atText = FormatLocalTime(answer.at);
    answer.atTickMs = clock_.TickMs();
    answer.durationSeconds = WholeSecondsDuration(start_, answer.at, pausedSeconds);
    return answer;
}

std::string TrialTimer::TickDuration(std::uint64_t allowanceMs) const {
    return TickDurationText(startTick_, clock_.TickMs(), allowanceMs);
}

void PauseTracker::Pause() {
    if (paused_) return;
    paused_ = true;
    pausedAt_ = clock_.Now();
}

void PauseTracker::Resume() {
    if (!paused_) return;
    paused_ = false;
    pausedSeconds_ += static_cast<long long>(clock_.Now() - pausedAt_);
}

}  // namespace kestrune
