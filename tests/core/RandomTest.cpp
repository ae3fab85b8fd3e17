#include "core/util/Random.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace kestrune {
namespace {

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

TEST(CrtRandomTest, StaysInRangeAndReachesBothEnds) {
    CrtRandom random(7);
    bool sawZero = false, sawMax = false;
    for (int i = 0; i < 1 << 22; ++i) {
        const int r = random.Next();
        ASSERT_GE(r, 0);
        ASSERT_LE(r, CrtRandom::kMax);
        sawZero |= r == 0;
        sawMax |= r == CrtRandom::kMax;
    }
    EXPECT_TRUE(sawZero);
    EXPECT_TRUE(sawMax);
}

TEST(RandomIntTest, ScalesDrawsByTruncation) {
    CrtRandom random;                     // draws 41, 18467, 6334, 26500
    EXPECT_EQ(RandomInt(random, 10), 0);  // 10 * 41 / 32767 = 0.0125
    EXPECT_EQ(RandomInt(random, 10), 5);  // 5.636
    EXPECT_EQ(RandomInt(random, 10), 1);  // 1.933
    EXPECT_EQ(RandomInt(random, 10), 8);  // 8.087

    CrtRandom large;
    large.Next();
    EXPECT_EQ(RandomInt(large, 1000000), 563585);  // no overflow in n * r
}

TEST(RandomIntTest, ReachesNOnlyOnTheLargestDraw) {
    CrtRandom top(30091);  // first draw of this seed is 32767
    EXPECT_EQ(RandomInt(top, 7), 7);
    CrtRandom huge(30091);
    EXPECT_EQ(RandomInt(huge, INT_MAX), INT_MAX);

    CrtRandom random(3);
    for (int i = 0; i < 100000; ++i) {
        const int v = RandomInt(random, 4);
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 4);
    }
    CrtRandom zero(5);
    EXPECT_EQ(RandomInt(zero, 0), 0);
}

}  // namespace
}  // namespace kestrune
