// Clocks that threads can sleep on. The playback worker waits between
// repetitions with WaitClock::SleepUntil, which a stop request ends at once.
// On a station that is the machine's monotonic clock (SystemWaitClock); in
// tests it is a ManualWaitClock that moves only when the test advances it,
// so a whole stimulus with its waits plays in no real time at all.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <set>
#include <stop_token>

#include "core/util/Clock.h"

namespace kestrune::audio {

class WaitClock : public Clock {
  public:
    /** Blocks until TickMs() reaches `tickMs` (true) or `stop` is requested
     *  (false, at once). Safe to call from several threads. */
    virtual bool SleepUntil(uint64_t tickMs, std::stop_token stop) = 0;
};

/** The machine's clocks; sleeps on the monotonic clock. */
class SystemWaitClock final : public WaitClock {
  public:
    std::time_t Now() const override { return clock_.Now(); }
    std::uint64_t TickMs() const override { return clock_.TickMs(); }
    bool SleepUntil(uint64_t tickMs, std::stop_token stop) override;

  private:
    SystemClock clock_;
    std::mutex mutex_;
    std::condition_variable_any wake_;
};

/**
 * A FakeClock that threads may share: the test advances it, sleepers whose
 * tick has come wake up. Wall time and ticks move together as in FakeClock.
 */
class ManualWaitClock final : public WaitClock {
  public:
    explicit ManualWaitClock(std::time_t start = 0, std::uint64_t startTickMs = 0)
        : clock_(start, startTickMs) {}

    std::time_t Now() const override;
    std::uint64_t TickMs() const override;
    bool SleepUntil(uint64_t tickMs, std::stop_token stop) override;

    void AdvanceMs(std::uint64_t ms);
    /** Advances to the earliest tick a sleeper waits for; false (and no
     *  move) when nobody sleeps. */
    bool AdvanceToNextWake();
    /** The earliest tick a sleeper waits for. */
    std::optional<std::uint64_t> NextWake() const;
    /** Waits (in real time, up to 10 s) until `count` threads sleep on the
     *  clock; false on timeout. Lets a test step a worker deterministically. */
    bool WaitForSleepers(std::size_t count) const;

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable_any changed_;
    FakeClock clock_;
    std::multiset<std::uint64_t> wakes_;
};

}  // namespace kestrune::audio
