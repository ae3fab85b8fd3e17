#include "core/analysis/Intermittent.h"

#include <charconv>
#include <cstdio>

#include "core/kana/KanaTable.h"

namespace kestrune::analysis {
namespace {

// The voicing pairs, each a kana and its partner, every kana followed by the
// separator. All kana and the separator are three bytes in UTF-8, so a pair
// takes four characters: kana, separator, partner, separator.
constexpr std::string_view kVoicingPairs =
    "あ、あ、い、い、う、う、え、え、お、お、か、が、き、ぎ、く、ぐ、け、げ、こ、ご、"
    "さ、ざ、し、じ、す、ず、せ、ぜ、そ、ぞ、た、だ、ち、ぢ、つ、づ、て、で、と、ど、"
    "な、な、に、に、ぬ、ぬ、ね、ね、の、の、は、ば、ひ、び、ふ、ぶ、へ、べ、ほ、ぼ、"
    "ま、ま、み、み、む、む、め、め、も、も、や、や、ゆ、ゆ、よ、よ、ら、ら、り、り、"
    "る、る、れ、れ、ろ、ろ、わ、わ、ん、ん、";
constexpr std::size_t kCharBytes = 3;
constexpr std::size_t kPairChars = 4;
constexpr int kLastPlainKana = 45;    // ん
constexpr int kFirstVoicedKana = 47;  // が
constexpr int kLastVoicedKana = 71;   // ぽ

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A decimal number written out in full: optional sign, digits with an
// optional fraction. No exponent, no "inf" or "nan", nothing after it.
std::optional<double> Decimal(std::string_view text) {
    std::string_view digits = text;
    if (!digits.empty() && (digits[0] == '+' || digits[0] == '-')) digits.remove_prefix(1);
    int seen = 0, points = 0;
    for (const char c : digits) {
        if (c == '.') {
            ++points;
        } else if (c >= '0' && c <= '9') {
            ++seen;
        } else {
            return std::nullopt;
        }
    }
    if (seen == 0 || points > 1) return std::nullopt;
    double value = 0.0;
    if (!text.empty() && text[0] == '+') text.remove_prefix(1);
    const auto read = std::from_chars(text.data(), text.data() + text.size(), value);
    if (read.ec != std::errc() || read.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

bool ReadBound(std::string_view text, const char* field, std::optional<double>* bound,
               std::string* error) {
    const std::string_view value = Trimmed(text);
    if (value.empty()) {
        bound->reset();
        return true;
    }
    *bound = Decimal(value);
    if (*bound) return true;
    *error = std::string(field) + " must be a number, not '" + std::string(text) + "'";
    return false;
}

}  // namespace

bool ReadIntermittentFilter(std::string_view dutyCycle, std::string_view lowestAge,
                            std::string_view highestAge, IntermittentFilter* filter,
                            std::string* error) {
    IntermittentFilter read;
    if (!ReadBound(dutyCycle, "The duty cycle", &read.dutyCycle, error) ||
        !ReadBound(lowestAge, "The lower bound of the year band", &read.lowestAge, error) ||
        !ReadBound(highestAge, "The upper bound of the year band", &read.highestAge, error))
        return false;
    *filter = read;
    return true;
}

std::string VoicingPartner(std::string_view kana) {
    if (kana.empty()) return {};
    const std::size_t at = kVoicingPairs.find(kana);
    if (at == std::string_view::npos || at % kCharBytes != 0) return {};
    const std::size_t character = at / kCharBytes;
    // The first of a pair gives the second; anything else the character two
    // places before it.
    std::size_t partner = 0;
    if (character % kPairChars == 0) {
        partner = character + 2;
    } else if (character >= 2) {
        partner = character - 2;
    } else {
        return {};
    }
    return std::string(kVoicingPairs.substr(partner * kCharBytes, kCharBytes));
}

RecognitionCount CountRecognised(const std::vector<IntermittentTrial>& trials) {
    RecognitionCount count;
    for (const IntermittentTrial& trial : trials) {
        const int syllable = KanaToSyllable(trial.content);
        const std::string partner = VoicingPartner(trial.content);
        const bool plain = syllable >= 1 && syllable <= kLastPlainKana;
        const bool voiced =
            syllable >= kFirstVoicedKana && syllable <= kLastVoicedKana && !partner.empty();
        if (!plain && !voiced) continue;
        ++count.total;
        if (trial.recognised == trial.content || (!partner.empty() && trial.recognised == partner))
            ++count.correct;
    }
    return count;
}

ResultTable IntermittentTable(const RecognitionCount& count) {
    ResultTable table{{"Total", "Correct", "Correct rate"}, {}, {}};
    if (count.total == 0) return table;
    char rate[64];
    std::snprintf(rate, sizeof rate, "%3.1f%%",
                  static_cast<double>(count.correct) / count.total * 100.0);
    table.rows.push_back({std::to_string(count.total), std::to_string(count.correct), rate});
    return table;
}

}  // namespace kestrune::analysis
