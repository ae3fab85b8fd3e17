// The clocks, the C library's random generator and the sound extent search.

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <functional>
#include <utility>
#include <vector>

#include "core/CoreTestSupport.h"
#include "core/util/Clock.h"
#include "core/util/Random.h"
#include "core/util/SoundExtent.h"

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

    // Before the epoch it steps once a second too.
    FakeClock early(-2);
    early.AdvanceMs(500);
    EXPECT_EQ(early.Now(), -2);
    early.AdvanceMs(500);
    EXPECT_EQ(early.Now(), -1);
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

std::vector<int> Draw(CrtRandom& random, int n) {
    std::vector<int> out;
    for (int i = 0; i < n; ++i) out.push_back(random.Next());
    return out;
}

// Reference sequences of the C library generator (values published for the
// platform's rand(), and computed independently with Python for other seeds).
TEST(CrtRandomTest, ReproducesTheLibrarySequences) {
    CrtRandom unseeded;  // rand() before any srand() behaves as srand(1)
    EXPECT_EQ(Draw(unseeded, 10),
              (std::vector<int>{41, 18467, 6334, 26500, 19169, 15724, 11478, 29358, 26962, 24464}));

    CrtRandom zero(0);
    EXPECT_EQ(Draw(zero, 5), (std::vector<int>{38, 7719, 21238, 2437, 8855}));

    CrtRandom random(999);
    random.Seed(12345);  // reseeding restarts from the new seed alone
    EXPECT_EQ(Draw(random, 5), (std::vector<int>{7584, 19164, 25795, 22125, 5828}));
}

TEST(RandomIntTest, ScalesDrawsByTruncationReachingNOnlyOnTheLargest) {
    CrtRandom random;                     // draws 41, 18467, 6334, 26500
    EXPECT_EQ(RandomInt(random, 10), 0);  // 10 * 41 / 32767 = 0.0125
    EXPECT_EQ(RandomInt(random, 10), 5);  // 5.636
    EXPECT_EQ(RandomInt(random, 10), 1);  // 1.933
    EXPECT_EQ(RandomInt(random, 10), 8);  // 8.087

    CrtRandom large;
    large.Next();
    EXPECT_EQ(RandomInt(large, 1000000), 563585);  // no overflow in n * r

    // Only the largest draw reaches n.
    CrtRandom top(30091);  // first draw of this seed is 32767
    EXPECT_EQ(RandomInt(top, 7), 7);
    CrtRandom huge(30091);
    EXPECT_EQ(RandomInt(huge, INT_MAX), INT_MAX);

    CrtRandom zero(5);
    EXPECT_EQ(RandomInt(zero, 0), 0);
}

// `n` samples of f(i).
std::vector<std::int16_t> Samples(std::size_t n, std::function<int(std::size_t)> f) {
    return testing::Wave(n, [&](int i) { return f(static_cast<std::size_t>(i)); });
}

// `n` samples, `v` from `from` to before `to` and silent elsewhere.
std::vector<std::int16_t> Burst(std::size_t n, std::size_t from, std::size_t to, int v) {
    return Samples(n, [=](std::size_t i) { return i >= from && i < to ? v : 0; });
}

// The counter reaches 50 on the 50th loud sample (|s| > 64) from either side;
// quiet samples pull it back. -1: that side has no sound.
TEST(SoundExtentTest, HysteresisCountFromBothSidesOverSamplesOrBytes) {
    struct Case {
        const char* what;
        std::vector<std::int16_t> samples;
        int startOffset, endOffset, start, end;
    };
    const auto burst = Burst(4000, 1000, 2000, 1000);
    const Case cases[] = {
        {"burst, counter 50 at 1049 and 1950", burst, -49, 49, 1000, 1999},
        {"burst, wider offsets", burst, -50, 50, 999, 2000},
        {"64 is quiet", Burst(500, 100, 400, 64), -49, 49, -1, -1},
        {"-64 is quiet", Burst(500, 100, 400, -64), -49, 49, -1, -1},
        {"-65 is loud", Burst(500, 100, 400, -65), -49, 49, 100, 399},
        {"|-32768| does not wrap", Burst(500, 100, 400, -32768), -49, 49, 100, 399},
        {"loud, quiet, loud ... never adds up",
         Samples(3000, [](auto i) { return i % 2 ? 0 : 2000; }), -49, 49, -1, -1},
        // Two loud to one quiet gain one per group; the counter peaks at g + 2
        // on the second loud sample of group g, 3 g + 1 (backwards 3 g + 2).
        {"loud, loud, quiet ...", Samples(3000, [](auto i) { return i % 3 == 2 ? 0 : 2000; }), 0, 0,
         145, 2999 - 146},
        {"silence", Burst(10000, 0, 0, 0), -50, 50, -1, -1},
        {"49 loud samples never reach 50", Burst(49, 0, 49, 3000), -49, 49, -1, -1},
        {"no samples", {}, -49, 49, -1, -1},
        {"offsets cut at the edges", Burst(200, 0, 200, 5000), -50, 50, 0, 199},
        {"all loud", Burst(200, 0, 200, 5000), -49, 49, 0, 199},
    };
    for (const Case& c : cases) {
        const SoundExtent e = FindSoundExtent(c.samples, c.startOffset, c.endOffset);
        const auto side = [](std::optional<std::size_t> v) {
            return v ? static_cast<int>(*v) : -1;
        };
        EXPECT_EQ(std::pair(side(e.start), side(e.end)), std::pair(c.start, c.end)) << c.what;
        EXPECT_EQ(e.HasSound(), c.start >= 0 && c.end >= 0) << c.what;
    }

    const auto s = Samples(3000, [](auto i) {
        return i >= 300 && i < 1700 ? -1200 : i >= 2000 && i < 2600 ? 900 : 0;
    });
    const auto bytes = kestrune::testing::Bytes16(s);
    const SoundExtent fromBytes = FindSoundExtent16(bytes, -49, 49);
    EXPECT_EQ(fromBytes.start, 300u);
    EXPECT_EQ(fromBytes.end, 2599u);

    // An odd trailing byte is not half a sample.
    auto odd = bytes;
    odd.push_back(0x7F);
    EXPECT_EQ(FindSoundExtent16(odd, -49, 49).end, 2599u);
}

}  // namespace
}  // namespace kestrune
