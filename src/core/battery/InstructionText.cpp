#include "core/battery/InstructionText.h"

#include <algorithm>
#include <optional>

#include "core/text/Encoding.h"

namespace kestrune {
namespace {

// Length of the UTF-8 sequence starting with `lead`; a stray continuation
// byte or an invalid lead byte is taken on its own.
std::size_t SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 1;
}

}  // namespace

int Cp932CharWidth(std::string_view utf8Char) {
    if (utf8Char.size() == 1) return 1;
    const std::optional<std::size_t> width = Cp932ByteLength(utf8Char);
    return width && *width == 2 ? 2 : 1;
}

std::vector<InstructionLine> LayoutInstructionText(std::string_view utf8) {
    std::vector<InstructionLine> lines;
    std::size_t cp932Pos = 0;  // where the next character starts in cp932 bytes
    std::size_t nextBreak = 0;
    for (std::size_t i = 0; i < utf8.size();) {
        const std::size_t length =
            std::min(SequenceLength(static_cast<unsigned char>(utf8[i])), utf8.size() - i);
        if (cp932Pos >= nextBreak) {
            lines.push_back(
                {std::string(), 0, static_cast<int>(lines.size()) * kInstructionLinePitch});
            while (nextBreak <= cp932Pos) nextBreak += kInstructionLineBytes;
        }
        const std::string_view character = utf8.substr(i, length);
        lines.back().text.append(character);
        cp932Pos += static_cast<std::size_t>(Cp932CharWidth(character));
        i += length;
    }
    return lines;
}

}  // namespace kestrune
