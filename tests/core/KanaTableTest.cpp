#include "core/kana/KanaTable.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kestrune {
namespace {

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
}

TEST(KanaTableTest, EveryEntryRoundTrips) {
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
        for (int c = 0; c < 6; ++c) {
            for (const auto& k : columns[c]) {
                if (k == last) expected = c;
            }
        }
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
    EXPECT_EQ(sizes[0], 1);   // を
    EXPECT_EQ(sizes[8], 3);   // や ゆ よ
    EXPECT_EQ(sizes[10], 2);  // わ ん
    EXPECT_EQ(sizes[15], 5);  // ぱ ... ぽ
    EXPECT_EQ(sizes[26], 3);  // ぴゃ ぴゅ ぴょ
    EXPECT_EQ(ConsonantRow(45), 10);
    EXPECT_EQ(ConsonantRow(0), -1);
    EXPECT_EQ(ConsonantRow(105), -1);
}

}  // namespace
}  // namespace kestrune
