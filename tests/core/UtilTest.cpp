// The clocks, the C library's random generator, the sound extent search,
// cp932 and UTF-8 text, the kana syllable table, the registry's code mappings
// and numbers read as atoi does.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/CoreTestSupport.h"
#include "core/kana/KanaTable.h"
#include "core/registry/Mappings.h"
#include "core/text/Encoding.h"
#include "core/text/Numbers.h"
#include "core/util/Clock.h"
#include "core/util/Random.h"
#include "core/util/SoundExtent.h"

namespace kestrune {
namespace {

TEST(FakeClockTest, WallTimeAndTicksMoveTogether) {
    FakeClock clock(1000, 5000);
    using Time = std::pair<std::time_t, std::uint64_t>;  // wall clock, ticks
    const auto now = [&] { return Time(clock.Now(), clock.TickMs()); };
    EXPECT_EQ(now(), Time(1000, 5000));
    clock.AdvanceMs(999);
    EXPECT_EQ(now(), Time(1000, 5999));  // the same second
    clock.AdvanceMs(1);
    EXPECT_EQ(clock.Now(), 1001);
    clock.AdvanceMs(1500);
    clock.AdvanceMs(1500);
    EXPECT_EQ(now(), Time(1004, 9000));
    clock.SetNow(50);  // the wall clock may jump; ticks do not
    EXPECT_EQ(now(), Time(50, 9000));

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

TEST(EncodingTest, Cp932RoundTripsJapaneseTextAndRejectsWhatItCannotConvert) {
    // Bytes as a cp932 editor saves them: "あ、い" and a half-width katakana.
    EXPECT_EQ(Cp932ToUtf8("\x82\xa0\x81\x41\x82\xa2"), "あ、い");
    EXPECT_EQ(Utf8ToCp932("あ、い"), "\x82\xa0\x81\x41\x82\xa2");
    EXPECT_EQ(Cp932ToUtf8("\xb1"), "ｱ");
    EXPECT_EQ(Utf8ToCp932("次へ　＞"), "\x8e\x9f\x82\xd6\x81\x40\x81\x84");
    // Backslash stays a backslash: legacy paths use it as the separator.
    EXPECT_EQ(Cp932ToUtf8("D:\\wav\\1.wav"), "D:\\wav\\1.wav");
    EXPECT_EQ(Cp932ToUtf8(""), "");

    EXPECT_FALSE(Cp932ToUtf8("\x82").has_value());              // lead byte cut off
    EXPECT_FALSE(Utf8ToCp932("\xF0\x9F\x98\x80").has_value());  // emoji: not in cp932
    EXPECT_FALSE(Utf8ToCp932("\xC3").has_value());              // broken UTF-8
}

TEST(EncodingTest, ValidatesUtf8Strictly) {
    EXPECT_TRUE(IsValidUtf8(""));
    EXPECT_TRUE(IsValidUtf8("ぴょ"));
    EXPECT_TRUE(IsValidUtf8("\xF4\x8F\xBF\xBF"));   // U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xC0\x80"));          // overlong NUL
    EXPECT_FALSE(IsValidUtf8("\xE0\x80\xAF"));      // overlong '/'
    EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));      // surrogate
    EXPECT_FALSE(IsValidUtf8("\xF4\x90\x80\x80"));  // above U+10FFFF
    EXPECT_FALSE(IsValidUtf8("\xE3\x81"));          // truncated
    EXPECT_FALSE(IsValidUtf8("\x82\xa0"));          // cp932 "あ"
}

TEST(EncodingTest, DecodesStationFilesOfEitherEncoding) {
    EXPECT_EQ(DecodeLegacyText("\x82\xa0\x82\xa2"), "あい");
    EXPECT_EQ(DecodeLegacyText("あい"), "あい");
    EXPECT_EQ(DecodeLegacyText("\xEF\xBB\xBF[INFO]"), "[INFO]");
    // A byte valid in neither becomes U+FFFD; the rest survives.
    EXPECT_EQ(DecodeLegacyText("\x82\xa0\xA0x"), "あ\xEF\xBF\xBDx");
    EXPECT_EQ(DecodeLegacyText("ab\x82"), "ab\xEF\xBF\xBD");
}

TEST(EncodingTest, Cp932ByteLengthCountsDoubleByteCharacters) {
    const std::vector<std::optional<std::size_t>> lengths = {
        Cp932ByteLength("あ"), Cp932ByteLength("きゃ"), Cp932ByteLength("ab"),
        Cp932ByteLength("ｱ"),  Cp932ByteLength(""),     Cp932ByteLength("\xF0\x9F\x98\x80")};
    EXPECT_EQ(lengths, (std::vector<std::optional<std::size_t>>{2, 4, 2, 1, 0, std::nullopt}));
}

// Both ends, and both sides of the plain / voiced / contracted seams.
TEST(KanaTableTest, NumbersToKanaAtBothEndsAndOutside) {
    const std::pair<int, const char*> rows[] = {{1, "あ"},  {46, "を"},   {47, "が"},
                                                {71, "ぽ"}, {72, "きゃ"}, {104, "ぴょ"},
                                                {0, "0"},   {-7, "0"},    {105, "0"}};
    for (const auto& [number, kana] : rows) EXPECT_EQ(SyllableToKana(number), kana) << number;
}

// The search runs over the table text, so fragments and runs that span a
// separator resolve to the entry where they first start; katakana and the
// separator alone are not found. Every entry itself is found as its number.
TEST(KanaTableTest, KanaSearchMatchesInsideTheTableTextAndFindsEveryEntry) {
    const std::pair<const char*, int> rows[] = {
        {"ゃ", 72},                  // first inside きゃ
        {"ょ", 74},                  // first inside きょ
        {"あ、い", 1}, {"、い", 1},  // its separator starts after entry 1's
        {"き", 7},                   // the plain entry comes before きゃ
        {"あい", -1},  {"ヴ", -1},  {"", -1}, {"、", -1}, {"、あ", -1}};
    for (const auto& [kana, number] : rows) EXPECT_EQ(KanaToSyllable(kana), number) << kana;

    for (int n = 1; n <= kKanaCount; ++n) {
        const std::string kana = SyllableToKana(n);
        ASSERT_NE(kana, "0") << n;
        EXPECT_EQ(KanaToSyllable(kana), n) << kana;
    }
}

// The vowel column must agree with the vowel each kana actually ends in.
TEST(KanaTableTest, VowelColumnsFollowTheKanaVowels) {
    const std::vector<std::string> columns[6] = {
        {"を"},
        {"あ", "か", "さ", "た", "な", "は", "ま", "や", "ら", "わ", "が", "ざ", "だ", "ば", "ぱ",
         "ゃ"},
        {"い", "き", "し", "ち", "に", "ひ", "み", "り", "ぎ", "じ", "ぢ", "び", "ぴ"},
        {"う", "く", "す", "つ", "ぬ", "ふ", "む", "ゆ", "る", "ぐ", "ず", "づ", "ぶ", "ぷ", "ゅ"},
        {"え", "け", "せ", "て", "ね", "へ", "め", "れ", "げ", "ぜ", "で", "べ", "ぺ"},
        {"お", "こ", "そ", "と", "の", "ほ", "も", "よ", "ろ", "ご", "ぞ", "ど", "ぼ", "ぽ", "ょ",
         "ん"},
    };
    for (int n = 1; n <= kKanaCount; ++n) {
        const std::string kana = SyllableToKana(n);
        const std::string last = kana.substr(kana.size() - 3);  // each kana is 3 UTF-8 bytes
        int expected = -1;
        for (int c = 0; c < 6; ++c)
            if (std::find(columns[c].begin(), columns[c].end(), last) != columns[c].end())
                expected = c;
        EXPECT_EQ(VowelColumn(n), expected) << n << " " << kana;
    }
    EXPECT_EQ(VowelColumn(0), -1);
    EXPECT_EQ(VowelColumn(105), -1);
}

TEST(KanaTableTest, ConsonantRowsAndTheirLabels) {
    const std::vector<std::string> labels = {"を",   "あ",   "か",   "さ",   "た",   "な",   "は",
                                             "ま",   "や",   "ら",   "わ",   "が",   "ざ",   "だ",
                                             "ば",   "ぱ",   "きゃ", "しゃ", "ちゃ", "にゃ", "ひゃ",
                                             "みゃ", "りゃ", "ぎゃ", "じゃ", "びゃ", "ぴゃ"};
    for (int r = 0; r <= 26; ++r) {
        const int syllable = RowRepresentative(r);
        EXPECT_EQ(SyllableToKana(syllable), labels[r]) << r;
        EXPECT_EQ(ConsonantRow(syllable), r) << r;
    }
    EXPECT_EQ(RowRepresentative(27), -1);
    EXPECT_EQ(RowRepresentative(-1), -1);

    // Each row is a contiguous run of the table, in row order.
    int previous = 0;
    int sizes[27] = {};
    for (int n = 1; n <= kKanaCount; ++n) {
        const int row = ConsonantRow(n);
        ASSERT_GE(row, 0);
        ++sizes[row];
        if (row != 0) {
            EXPECT_GE(row, previous) << n;
            previous = row;
        }
    }
    // を; や ゆ よ; わ ん; ぱ ... ぽ; ぴゃ ぴゅ ぴょ
    EXPECT_EQ(std::tuple(sizes[0], sizes[8], sizes[10], sizes[15], sizes[26]),
              std::tuple(1, 3, 2, 5, 3));
    EXPECT_EQ(ConsonantRow(45), 10);
    EXPECT_EQ(ConsonantRow(0), -1);
    EXPECT_EQ(ConsonantRow(105), -1);
}

TEST(MappingsTest, SexCodesRoundTripAndAcceptLowerCase) {
    const std::pair<int, char> codes[] = {{0, 'U'}, {1, 'M'}, {2, 'F'}, {-1, 'U'}, {3, 'U'}};
    for (const auto& [index, code] : codes) EXPECT_EQ(SexCodeForIndex(index), code) << index;
    const std::pair<const char*, int> indexes[] = {{"U", 0},      {"M", 1}, {"F", 2}, {"m", 1},
                                                   {"female", 2}, {"x", 0}, {"", 0}};
    for (const auto& [code, index] : indexes) EXPECT_EQ(SexIndexForCode(code), index) << code;
}

// Inserting and updating spell the fourth choice differently; both read back
// as that choice. Only the first letter of a stored type counts.
TEST(MappingsTest, FileTypesDifferBetweenInsertAndUpdate) {
    const std::tuple<int, const char*, const char*> types[] = {
        {0, "Unknown", "Unknown"}, {1, "Wav", "Wav"},         {2, "Mp3", "Mp3"},
        {3, "Other", "Others"},    {7, "Unknown", "Unknown"}, {-1, "Unknown", "Unknown"}};
    for (const auto& [index, insert, update] : types) {
        EXPECT_EQ(FileTypeForInsert(index), insert) << index;
        EXPECT_EQ(FileTypeForUpdate(index), update) << index;
    }
    const std::pair<const char*, int> indexes[] = {{"Wav", 1},    {"Mp3", 2},  {"Other", 3},
                                                   {"Others", 3}, {"wave", 1}, {"mpeg", 2},
                                                   {"ogg", 3},    {"Flac", 0}, {"", 0}};
    for (const auto& [text, index] : indexes) EXPECT_EQ(FileTypeIndexFor(text), index) << text;
}

// The stored year of birth gives the age back.
TEST(MappingsTest, AgesAndYearsOfBirth) {
    EXPECT_EQ(BirthYearForAge(2006, 45), 1962);
    EXPECT_EQ(BirthYearForAge(2026, 1), 2026);
    EXPECT_EQ(AgeForBirthYear(2006, 1962), 45);
    for (const auto& [year, age] : {std::pair{2024, 1}, {2024, 46}, {2030, 199}})
        EXPECT_EQ(AgeForBirthYear(year, BirthYearForAge(year, age)), age) << year << " " << age;
    const std::pair<int, bool> ages[] = {
        {0, false}, {1, true}, {199, true}, {200, false}, {-5, false}};
    for (const auto& [age, ok] : ages) EXPECT_EQ(IsAcceptableAge(age), ok) << age;
}

TEST(LeadingIntTest, ReadsAsAtoiDoes) {
    // Full-width digits are not digits; out-of-range values saturate.
    const std::pair<const char*, int> rows[] = {{" 5", 5},
                                                {"\t-12abc", -12},
                                                {"+7", 7},
                                                {"abc", 0},
                                                {"", 0},
                                                {"-", 0},
                                                {"3.9", 3},
                                                {"１２", 0},
                                                {"99999999999999", INT_MAX},
                                                {"-99999999999999", INT_MIN},
                                                {"2147483647", INT_MAX},
                                                {"-2147483648", INT_MIN}};
    for (const auto& [text, value] : rows) EXPECT_EQ(LeadingInt(text), value) << text;
}

}  // namespace
}  // namespace kestrune
