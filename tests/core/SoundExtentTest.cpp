#include "core/util/SoundExtent.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/CoreTestSupport.h"

namespace kestrune {
namespace {

std::vector<std::int16_t> Silence(std::size_t n) {
    return std::vector<std::int16_t>(n, 0);
}

void Fill(std::vector<std::int16_t>& s, std::size_t from, std::size_t to, std::int16_t v) {
    for (std::size_t i = from; i < to; ++i) s[i] = v;
}

// A burst of samples 1000..1999 inside silence: the counter reaches 50 on the
// 50th loud sample from either side.
TEST(SoundExtentTest, FindsABurstWithEitherOffsetPair) {
    auto s = Silence(4000);
    Fill(s, 1000, 2000, 1000);

    const SoundExtent narrow = FindSoundExtent(s, -49, 49);
    ASSERT_TRUE(narrow.HasSound());
    EXPECT_EQ(*narrow.start, 1000u);  // counter 50 at sample 1049
    EXPECT_EQ(*narrow.end, 1999u);    // counter 50 at sample 1950

    const SoundExtent wide = FindSoundExtent(s, -50, 50);
    EXPECT_EQ(*wide.start, 999u);
    EXPECT_EQ(*wide.end, 2000u);
}

TEST(SoundExtentTest, ThresholdIsStrictlyAbove64OnBothSigns) {
    auto quiet = Silence(500);
    Fill(quiet, 100, 400, 64);
    EXPECT_FALSE(FindSoundExtent(quiet, -49, 49).start.has_value());
    Fill(quiet, 100, 400, -64);
    EXPECT_FALSE(FindSoundExtent(quiet, -49, 49).HasSound());

    auto loud = Silence(500);
    Fill(loud, 100, 400, -65);
    EXPECT_EQ(FindSoundExtent(loud, -49, 49).start, 100u);
    Fill(loud, 100, 400, -32768);  // |-32768| must not wrap
    EXPECT_EQ(FindSoundExtent(loud, -49, 49).end, 399u);
}

// Quiet samples pull the counter back, so short clicks never add up.
TEST(SoundExtentTest, HysteresisIgnoresSparseClicks) {
    auto s = Silence(3000);
    for (std::size_t i = 0; i < s.size(); i += 2) s[i] = 2000;  // loud, quiet, loud ...
    EXPECT_FALSE(FindSoundExtent(s, -49, 49).HasSound());

    // Two loud to one quiet gains one per group of three; the counter peaks
    // at g + 2 on the second loud sample of group g, so 50 at sample 3*48+1.
    auto t = Silence(3000);
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = (i % 3 == 2) ? 0 : 2000;
    const SoundExtent e = FindSoundExtent(t, 0, 0);
    EXPECT_EQ(e.start, 145u);
}

TEST(SoundExtentTest, SilenceShortAndEmptyBuffersHaveNoSound) {
    EXPECT_FALSE(FindSoundExtent(Silence(10000), -50, 50).HasSound());
    auto shortLoud = std::vector<std::int16_t>(49, 3000);  // can never reach 50
    const SoundExtent e = FindSoundExtent(shortLoud, -49, 49);
    EXPECT_FALSE(e.start.has_value());
    EXPECT_FALSE(e.end.has_value());
    EXPECT_FALSE(FindSoundExtent(std::span<const std::int16_t>(), -49, 49).HasSound());
}

TEST(SoundExtentTest, OffsetsAreCutAtTheBufferEdges) {
    const std::vector<std::int16_t> allLoud(200, 5000);
    const SoundExtent wide = FindSoundExtent(allLoud, -50, 50);
    EXPECT_EQ(wide.start, 0u);  // 49 - 50 would be -1
    EXPECT_EQ(wide.end, 199u);  // 150 + 50 would be 200
    const SoundExtent narrow = FindSoundExtent(allLoud, -49, 49);
    EXPECT_EQ(narrow.start, 0u);
    EXPECT_EQ(narrow.end, 199u);
}

TEST(SoundExtentTest, ByteBufferGivesTheSameAnswer) {
    auto s = Silence(3000);
    Fill(s, 300, 1700, -1200);
    Fill(s, 2000, 2600, 900);
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
