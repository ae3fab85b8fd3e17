// Layout of the guidance text drawn in a test dialog's instruction area.
//
// The area shows fixed-width rows of 44 bytes as the text takes them in cp932
// (one byte per ASCII or half-width kana character, two per kana or kanji),
// one row every 16 pixels from the top, all starting at x = 0. Rows break on
// the 44-byte grid whatever the characters are; only a double-byte character
// that starts at byte 43 of a row, and so straddles the break, is kept whole
// at the end of that row instead of being cut in two. The next row still
// starts on the grid's next character boundary, so every later row holds
// the same characters as on the fixed grid. The last row holds the
// remainder. Line breaks in the text are not treated specially.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

inline constexpr int kInstructionLineBytes = 44;
inline constexpr int kInstructionLinePitch = 16;

struct InstructionLine {
    std::string text;  ///< UTF-8
    int x = 0;
    int y = 0;
};

/** The rows of a UTF-8 text. An empty text has no rows. A character cp932
 *  cannot hold counts as one byte (it is stored as one replacement byte). */
std::vector<InstructionLine> LayoutInstructionText(std::string_view utf8);

/** The cp932 width of one UTF-8 character (1 or 2). */
int Cp932CharWidth(std::string_view utf8Char);

}  // namespace kestrune
