#include "core/util/Clock.h"

#include <chrono>

namespace kestrune {

std::time_t SystemClock::Now() const {
    return std::time(nullptr);
}

std::uint64_t SystemClock::TickMs() const {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::time_t FakeClock::Now() const {
    // Floor division, so times before the epoch still step once a second.
    std::int64_t s = wallMs_ / 1000;
    if (wallMs_ % 1000 < 0) --s;
    return static_cast<std::time_t>(s);
}

void FakeClock::AdvanceMs(std::uint64_t ms) {
    tickMs_ += ms;
    wallMs_ += static_cast<std::int64_t>(ms);
}

std::string FormatLocalTime(std::time_t t) {
    std::tm parts{};
    localtime_r(&t, &parts);
    char text[32];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &parts);
    return std::string(text, n);
}

}  // namespace kestrune
