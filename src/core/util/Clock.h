#pragma once

#include <cstdint>
#include <ctime>
#include <string>

namespace kestrune {

/**
 * The two clocks the listening tests read: wall time with one-second
 * resolution (stored in result rows) and a millisecond tick counter (answer
 * times, play start). Injected everywhere so tests run on a fake clock.
 */
class Clock {
  public:
    virtual ~Clock() = default;
    /** Wall-clock time, whole seconds since the epoch. */
    virtual std::time_t Now() const = 0;
    /** Milliseconds from an arbitrary origin; never goes backwards. */
    virtual std::uint64_t TickMs() const = 0;
};

/** The machine's clocks: time() and a monotonic millisecond counter. */
class SystemClock final : public Clock {
  public:
    std::time_t Now() const override;
    std::uint64_t TickMs() const override;
};

/**
 * A clock that moves only when told to. Wall time and ticks advance
 * together, so a test that advances 1500 ms twice sees the wall time move
 * by exactly three seconds.
 */
class FakeClock final : public Clock {
  public:
    explicit FakeClock(std::time_t start = 0, std::uint64_t startTickMs = 0)
        : wallMs_(static_cast<std::int64_t>(start) * 1000), tickMs_(startTickMs) {}

    std::time_t Now() const override;
    std::uint64_t TickMs() const override { return tickMs_; }

    void AdvanceMs(std::uint64_t ms);
    /** Moves the wall clock only (a user changing the system time). */
    void SetNow(std::time_t now) { wallMs_ = static_cast<std::int64_t>(now) * 1000; }

  private:
    std::int64_t wallMs_;
    std::uint64_t tickMs_;
};

/** Local time as "%Y-%m-%d %H:%M:%S", the form every stored time takes. */
std::string FormatLocalTime(std::time_t t);

}  // namespace kestrune
