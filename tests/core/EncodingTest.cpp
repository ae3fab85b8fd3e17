#include "core/text/Encoding.h"

#include <gtest/gtest.h>

namespace kestrune {
namespace {

TEST(EncodingTest, Cp932RoundTripsJapaneseText) {
    // Bytes as a cp932 editor saves them: "あ、い" and a half-width katakana.
    EXPECT_EQ(Cp932ToUtf8("\x82\xa0\x81\x41\x82\xa2"), "あ、い");
    EXPECT_EQ(Utf8ToCp932("あ、い"), "\x82\xa0\x81\x41\x82\xa2");
    EXPECT_EQ(Cp932ToUtf8("\xb1"), "ｱ");
    EXPECT_EQ(Utf8ToCp932("次へ　＞"), "\x8e\x9f\x82\xd6\x81\x40\x81\x84");
    // Backslash stays a backslash: legacy paths use it as the separator.
    EXPECT_EQ(Cp932ToUtf8("D:\\wav\\1.wav"), "D:\\wav\\1.wav");
    EXPECT_EQ(Cp932ToUtf8(""), "");
}

TEST(EncodingTest, RejectsWhatCannotBeConverted) {
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

}  // namespace
}  // namespace kestrune
