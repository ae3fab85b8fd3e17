#include "core/battery/StepSequence.h"

namespace kestrune {

StepSequence& StepSequence::Then(std::uint64_t delayMs, std::string label,
                                 std::function<void()> action) {
    steps_.push_back({delayMs, std::move(label), std::move(action)});
    return *this;
}

std::optional<std::uint64_t> StepSequence::NextDelayMs() const {
    if (Done()) return std::nullopt;
    return steps_[next_].delayMs;
}

bool StepSequence::RunNext() {
    if (Done()) return false;
    // Copy the action out: it may append steps, which can move the vector.
    const std::function<void()> action = steps_[next_].action;
    ++next_;
    if (action) action();
    return true;
}

void StepSequence::Start(std::uint64_t nowMs) {
    if (!lastMs_) lastMs_ = nowMs;
}

std::optional<std::uint64_t> StepSequence::NextDueMs() const {
    if (Done() || !lastMs_) return std::nullopt;
    return *lastMs_ + steps_[next_].delayMs;
}

std::size_t StepSequence::RunDue(std::uint64_t nowMs) {
    Start(nowMs);
    std::size_t ran = 0;
    for (std::optional<std::uint64_t> due = NextDueMs(); due && *due <= nowMs; due = NextDueMs()) {
        lastMs_ = *due;
        RunNext();
        ++ran;
    }
    return ran;
}

std::size_t AdvanceClock(StepSequence& sequence, FakeClock& clock, std::uint64_t ms) {
    sequence.Start(clock.TickMs());
    const std::uint64_t end = clock.TickMs() + ms;
    std::size_t ran = sequence.RunDue(clock.TickMs());
    for (std::optional<std::uint64_t> due = sequence.NextDueMs(); due && *due <= end;
         due = sequence.NextDueMs()) {
        clock.AdvanceMs(*due - clock.TickMs());
        ran += sequence.RunDue(clock.TickMs());
    }
    clock.AdvanceMs(end - clock.TickMs());
    return ran;
}

std::uint64_t RunOnClock(StepSequence& sequence, FakeClock& clock) {
    const std::uint64_t begin = clock.TickMs();
    sequence.Start(begin);
    sequence.RunDue(clock.TickMs());
    for (std::optional<std::uint64_t> due = sequence.NextDueMs(); due; due = sequence.NextDueMs()) {
        clock.AdvanceMs(*due - clock.TickMs());
        sequence.RunDue(clock.TickMs());
    }
    return clock.TickMs() - begin;
}

void PendingSteps::Replace(StepSequence steps) {
    if (running_ != nullptr) running_->Cancel();
    next_ = std::move(steps);
}

void PendingSteps::Cancel() {
    if (running_ != nullptr) running_->Cancel();
    next_.reset();
}

void PendingSteps::Settle(FakeClock& clock) {
    while (next_) {
        StepSequence sequence = std::move(*next_);
        next_.reset();
        running_ = &sequence;
        RunOnClock(sequence, clock);
        running_ = nullptr;
    }
}

}  // namespace kestrune
