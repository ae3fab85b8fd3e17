// cp932 and UTF-8 text, the kana syllable table, the registry's code
// mappings and numbers read as atoi does.

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "core/kana/KanaTable.h"
#include "core/registry/Mappings.h"
#include "core/text/Encoding.h"
#include "core/text/Numbers.h"

namespace kestrune {
namespace {

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
    EXPECT_EQ(Cp932ByteLength("あ"), 2u);
    EXPECT_EQ(Cp932ByteLength("きゃ"), 4u);
    EXPECT_EQ(Cp932ByteLength("ab"), 2u);
    EXPECT_EQ(Cp932ByteLength("ｱ"), 1u);
    EXPECT_EQ(Cp932ByteLength(""), 0u);
    EXPECT_FALSE(Cp932ByteLength("\xF0\x9F\x98\x80").has_value());
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
// separator alone are not found (the entries themselves: EveryEntryRoundTrips).
TEST(KanaTableTest, KanaSearchMatchesInsideTheTableText) {
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
