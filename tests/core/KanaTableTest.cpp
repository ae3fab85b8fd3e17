#include "core/kana/KanaTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrune {
namespace {

TEST(KanaTableTest, NumbersToKanaAtBothEndsAndOutside) {
    // Both ends, and both sides of the plain / voiced / contracted seams.
    EXPECT_EQ(SyllableToKana(1), "あ");
    EXPECT_EQ(SyllableToKana(46), "を");
    EXPECT_EQ(SyllableToKana(47), "が");
    EXPECT_EQ(SyllableToKana(71), "ぽ");
    EXPECT_EQ(SyllableToKana(72), "きゃ");
    EXPECT_EQ(SyllableToKana(104), "ぴょ");
    EXPECT_EQ(SyllableToKana(0), "0");
    EXPECT_EQ(SyllableToKana(-7), "0");
    EXPECT_EQ(SyllableToKana(105), "0");
}

TEST(KanaTableTest, KanaToNumbersAtBothEndsAndOutside) {
    // The entries themselves: EveryEntryRoundTrips.
    EXPECT_EQ(KanaToSyllable("ヴ"), -1);  // katakana is not in the table
    EXPECT_EQ(KanaToSyllable(""), -1);    // found at the leading separator
    EXPECT_EQ(KanaToSyllable("、"), -1);
    EXPECT_EQ(KanaToSyllable("、あ"), -1);
}

// The search runs over the table text, so fragments and runs that span a
// separator resolve to the entry where they first start.
TEST(KanaTableTest, KanaSearchMatchesInsideTheTableText) {
    EXPECT_EQ(KanaToSyllable("ゃ"), 72);  // first inside きゃ
    EXPECT_EQ(KanaToSyllable("ょ"), 74);  // first inside きょ
    EXPECT_EQ(KanaToSyllable("あ、い"), 1);
    EXPECT_EQ(KanaToSyllable("、い"), 1);  // its separator starts after entry 1's
    EXPECT_EQ(KanaToSyllable("き"), 7);    // the plain entry comes before きゃ
    EXPECT_EQ(KanaToSyllable("あい"), -1);
}

TEST(KanaTableTest, EveryEntryRoundTrips) {
    for (int n = 1; n <= kKanaCount; ++n) {
        const std::string kana = SyllableToKana(n);
        ASSERT_NE(kana, "0") << n;
        EXPECT_EQ(KanaToSyllable(kana), n) << kana;
    }
    EXPECT_TRUE(KanaTableText().starts_with("、あ、い、"));
    EXPECT_TRUE(KanaTableText().ends_with("、ぴゅ、ぴょ、"));
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
