#include "core/kana/KanaTable.h"

namespace kestrune {
namespace {

constexpr std::string_view kSeparator = "、";
constexpr std::string_view kTable =
    "、あ、い、う、え、お、か、き、く、け、こ、さ、し、す、せ、そ、た、ち、つ、て、と、な、に、ぬ、"
    "ね、の、は、ひ、ふ、へ、ほ、ま、み、む、め、も、や、ゆ、よ、ら、り、る、れ、ろ、わ、ん、を、が"
    "、ぎ、ぐ、げ、ご、ざ、じ、ず、ぜ、ぞ、だ、ぢ、づ、で、ど、ば、び、ぶ、べ、ぼ、ぱ、ぴ、ぷ、ぺ、"
    "ぽ、きゃ、きゅ、きょ、しゃ、しゅ、しょ、ちゃ、ちゅ、ちょ、にゃ、にゅ、にょ、ひゃ、ひゅ、ひょ、"
    "みゃ、みゅ、みょ、りゃ、りゅ、りょ、ぎゃ、ぎゅ、ぎょ、じゃ、じゅ、じょ、びゃ、びゅ、びょ、ぴゃ"
    "、ぴゅ、ぴょ、";

}  // namespace

std::string_view KanaTableText() {
    return kTable;
}

std::string SyllableToKana(int number) {
    if (number < 1) return "0";
    // Skip number separators, each search starting where the last one ended.
    std::size_t pos = 0;
    for (int i = 0; i < number; ++i) {
        const std::size_t sep = kTable.find(kSeparator, pos);
        if (sep == std::string_view::npos) return "0";
        pos = sep + kSeparator.size();
    }
    const std::size_t next = kTable.find(kSeparator, pos);
    if (next == std::string_view::npos) return "0";
    return std::string(kTable.substr(pos, next - pos));
}

int KanaToSyllable(std::string_view kana) {
    const std::size_t at = kTable.find(kana);
    if (at == std::string_view::npos || at < kSeparator.size()) return -1;
    int separators = 0;
    for (std::size_t pos = kTable.find(kSeparator); pos < at;
         pos = kTable.find(kSeparator, pos + kSeparator.size())) {
        ++separators;
    }
    return separators;
}

int VowelColumn(int n) {
    if (n >= 1 && n <= 35) return (n - 1) % 5 + 1;
    if (n >= 36 && n <= 38) return 2 * n - 71;  // や ゆ よ: 1, 3, 5
    if (n >= 39 && n <= 43) return n - 38;
    if (n == 44) return 1;
    if (n == 45) return 5;
    if (n == 46) return 0;
    if (n >= 47 && n <= 71) return (n - 47) % 5 + 1;
    if (n >= 72 && n <= 104) return ((n - 72) % 3) * 2 + 1;
    return -1;
}

int ConsonantRow(int n) {
    if (n >= 1 && n <= 35) return (n - 1) / 5 + 1;
    if (n >= 36 && n <= 38) return 8;
    if (n >= 39 && n <= 43) return 9;
    if (n == 44 || n == 45) return 10;
    if (n == 46) return 0;
    if (n >= 47 && n <= 71) return (n - 47) / 5 + 11;
    if (n >= 72 && n <= 104) return (n - 72) / 3 + 16;
    return -1;
}

int RowRepresentative(int r) {
    if (r >= 1 && r <= 7) return (r - 1) * 5 + 1;
    if (r == 8) return 36;
    if (r == 9) return 39;
    if (r == 10) return 44;
    if (r == 0) return 46;
    if (r >= 11 && r <= 15) return (r - 11) * 5 + 47;
    if (r >= 16 && r <= 26) return (r - 16) * 3 + 72;
    return -1;
}

}  // namespace kestrune
