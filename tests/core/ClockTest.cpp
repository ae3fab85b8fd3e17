#include "core/util/Clock.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace kestrune {
namespace {

TEST(FakeClockTest, WallTimeAndTicksMoveTogether) {
    FakeClock clock(1000, 5000);
    EXPECT_EQ(clock.Now(), 1000);
    EXPECT_EQ(clock.TickMs(), 5000u);

    clock.AdvanceMs(999);
    EXPECT_EQ(clock.Now(), 1000);  // still inside the same second
    EXPECT_EQ(clock.TickMs(), 5999u);
    clock.AdvanceMs(1);
    EXPECT_EQ(clock.Now(), 1001);
    clock.AdvanceMs(1500);
    clock.AdvanceMs(1500);
    EXPECT_EQ(clock.Now(), 1004);
    EXPECT_EQ(clock.TickMs(), 9000u);

    clock.SetNow(50);  // the wall clock may jump; ticks do not
    EXPECT_EQ(clock.Now(), 50);
    EXPECT_EQ(clock.TickMs(), 9000u);
}

TEST(FakeClockTest, StepsOnceASecondBeforeTheEpoch) {
    FakeClock clock(-2);
    clock.AdvanceMs(500);
    EXPECT_EQ(clock.Now(), -2);
    clock.AdvanceMs(500);
    EXPECT_EQ(clock.Now(), -1);
}

// The one check of the real clock: it never goes back and reads a plausible
// present. How fast it moves depends on the machine and is not asserted.
TEST(SystemClockTest, TicksNeverGoBackwards) {
    SystemClock clock;
    std::uint64_t last = clock.TickMs();
    for (int i = 0; i < 1000; ++i) {
        const std::uint64_t now = clock.TickMs();
        ASSERT_GE(now, last);
        last = now;
    }
    EXPECT_GT(clock.Now(), 1700000000);
}

TEST(FormatLocalTimeTest, UsesTheStoredTimeLayout) {
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", "UTC0", 1);
    tzset();
    EXPECT_EQ(FormatLocalTime(0), "1970-01-01 00:00:00");
    EXPECT_EQ(FormatLocalTime(1796567405), "2026-12-06 14:30:05");
    setenv("TZ", "JST-9", 1);  // POSIX form: needs no zone database
    tzset();
    EXPECT_EQ(FormatLocalTime(0), "1970-01-01 09:00:00");
    if (old) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

}  // namespace
}  // namespace kestrune
