// Fixed waits between the steps of a test dialog, as data.
//
// A dialog announces something, waits 1000 ms, starts the stimulus, waits
// 2000 ms, asks for the answer... Blocking the window for those waits would
// stop it painting, so each such run is a StepSequence: a list of steps,
// each "wait this long after the previous step, then do this". The window
// runs it from single-shot event-loop timers (NextDelayMs, then RunNext when
// the timer fires); tests run it on a FakeClock with RunOnClock or
// AdvanceClock, instantly and in order.
//
// Driven by timers, a step's wait counts from the moment the previous step
// ran, so a step that takes long (a modal message) pushes the later ones back
// as a sleep would. Driven by a clock, it counts from when the previous step
// was due, so the times of a sequence are exact. A step may append further
// steps or cancel the sequence; a cancelled sequence runs nothing more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/util/Clock.h"

namespace kestrune {

class FakeClock;

class StepSequence {
  public:
    struct Step {
        std::uint64_t delayMs = 0;  ///< wait after the previous step
        std::string label;          ///< what the step does, for logs and tests
        std::function<void()> action;
    };

    StepSequence() = default;

    /** Appends "wait delayMs, then action". */
    StepSequence& Then(std::uint64_t delayMs, std::string label, std::function<void()> action);
    /** Appends an action without a wait. */
    StepSequence& Do(std::string label, std::function<void()> action) {
        return Then(0, std::move(label), std::move(action));
    }

    const std::vector<Step>& Steps() const { return steps_; }
    std::size_t NextIndex() const { return next_; }
    bool Done() const { return cancelled_ || next_ >= steps_.size(); }
    bool Cancelled() const { return cancelled_; }
    /** Stops the sequence: no further step runs. */
    void Cancel() { cancelled_ = true; }

    // Driving from event-loop timers.
    /** The wait before the next step; nothing when done. */
    std::optional<std::uint64_t> NextDelayMs() const;
    /** Runs the next step now (the timer fired). Returns false when done. */
    bool RunNext();

    // Driving from a clock.
    /** Notes the starting time: the first wait counts from here. */
    void Start(std::uint64_t nowMs);
    /** When the next step is due; nothing when done or not started. */
    std::optional<std::uint64_t> NextDueMs() const;
    /** Runs, in order, every step due at `nowMs`. Returns how many ran. */
    std::size_t RunDue(std::uint64_t nowMs);

  private:
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    bool cancelled_ = false;
    std::optional<std::uint64_t> lastMs_;  // when the previous step ran, or the start
};

/** Starts the sequence at the clock's tick and advances the clock by `ms`,
 *  stopping at each due step so that every action sees its own time.
 *  Returns how many steps ran. */
std::size_t AdvanceClock(StepSequence& sequence, FakeClock& clock, std::uint64_t ms);

/** Runs the whole sequence on the fake clock, moving it to each due step.
 *  Returns the milliseconds that passed. */
std::uint64_t RunOnClock(StepSequence& sequence, FakeClock& clock);

/**
 * The steps of a host that runs a test without an event loop (the core
 * tests, the demo results). As with the windows' runner, a new sequence
 * replaces the one running and Cancel stops it; Settle runs them on a fake
 * clock, each one asked for after the last, until none is left.
 */
class PendingSteps {
  public:
    void Replace(StepSequence steps);
    void Cancel();
    void Settle(FakeClock& clock);

  private:
    std::optional<StepSequence> next_;
    StepSequence* running_ = nullptr;
};

}  // namespace kestrune
