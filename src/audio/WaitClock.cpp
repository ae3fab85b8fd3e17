#include "audio/WaitClock.h"

#include <chrono>

namespace kestrune::audio {

bool SystemWaitClock::SleepUntil(uint64_t tickMs, std::stop_token stop) {
    // TickMs() counts steady_clock milliseconds, so the deadline is exact.
    const std::chrono::steady_clock::time_point deadline{std::chrono::milliseconds(tickMs)};
    std::unique_lock lock(mutex_);
    wake_.wait_until(lock, stop, deadline, [] { return false; });
    return !stop.stop_requested() || TickMs() >= tickMs;
}

std::time_t ManualWaitClock::Now() const {
    std::lock_guard lock(mutex_);
    return clock_.Now();
}

std::uint64_t ManualWaitClock::TickMs() const {
    std::lock_guard lock(mutex_);
    return clock_.TickMs();
}

bool ManualWaitClock::SleepUntil(uint64_t tickMs, std::stop_token stop) {
    std::unique_lock lock(mutex_);
    const auto entry = wakes_.insert(tickMs);
    changed_.notify_all();  // WaitForSleepers
    const bool reached = changed_.wait(lock, stop, [&] { return clock_.TickMs() >= tickMs; });
    wakes_.erase(entry);
    changed_.notify_all();
    return reached;
}

void ManualWaitClock::AdvanceMs(std::uint64_t ms) {
    {
        std::lock_guard lock(mutex_);
        clock_.AdvanceMs(ms);
    }
    changed_.notify_all();
}

std::optional<std::uint64_t> ManualWaitClock::NextWake() const {
    std::lock_guard lock(mutex_);
    if (wakes_.empty()) return std::nullopt;
    return *wakes_.begin();
}

bool ManualWaitClock::AdvanceToNextWake() {
    {
        std::lock_guard lock(mutex_);
        if (wakes_.empty()) return false;
        const std::uint64_t next = *wakes_.begin();
        if (next > clock_.TickMs()) clock_.AdvanceMs(next - clock_.TickMs());
    }
    changed_.notify_all();
    return true;
}

bool ManualWaitClock::WaitForSleepers(std::size_t count) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(10), [&] {
        // Only sleepers still waiting count: a woken one leaves the set.
        std::size_t waiting = 0;
        for (const auto tick : wakes_) waiting += tick > clock_.TickMs() ? 1 : 0;
        return waiting >= count;
    });
}

}  // namespace kestrune::audio
