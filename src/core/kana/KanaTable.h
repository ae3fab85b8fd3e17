#pragma once

#include <string>
#include <string_view>

namespace kestrune {

/**
 * The 104 Japanese syllables the kana tests play and the analyses count,
 * numbered by position: 1 あ ... 45 ん, 46 を, 47-71 the voiced rows が ... ぽ,
 * 72-104 the contracted rows きゃ ... ぴょ. The table is held as one text,
 * each entry framed by the separator "、", and the conversions search that
 * text, so a fragment such as "ゃ" finds the first entry that contains it.
 * All texts are UTF-8.
 */
inline constexpr int kKanaCount = 104;

/** The whole table text, "、あ、い、...、ぴょ、". */
std::string_view KanaTableText();

/**
 * Syllable number -> kana: "0" for a number below 1 or above 104 (past the
 * last separator there is no entry).
 */
std::string SyllableToKana(int number);

/**
 * Kana -> syllable number: the entry in which the text first occurs in the
 * table; -1 when it does not occur or occurs only at the leading separator
 * (an empty text included).
 */
int KanaToSyllable(std::string_view kana);

/** Vowel column (段) of a syllable: 1-5 for あ段 ... お段, 0 for を, -1 for a
 *  number outside the table. */
int VowelColumn(int number);

/** Consonant row (行) of a syllable: 1-26, 0 for を, -1 outside the table.
 *  Rows 1-7 あ か さ た な は ま, 8 や, 9 ら, 10 わ and ん, 11-15 が ざ だ ば ぱ,
 *  16-26 きゃ しゃ ちゃ にゃ ひゃ みゃ りゃ ぎゃ じゃ びゃ ぴゃ. */
int ConsonantRow(int number);

/** The syllable that names a row in tables (its kana followed by "行"):
 *  -1 for a row that does not exist. */
int RowRepresentative(int row);

}  // namespace kestrune
