// The recognition rate of the interrupted speech test: how many of the
// trials played a plain kana, and how many of those were answered with that
// kana or with the kana that differs from it only in voicing (か for が and
// が for か count alike).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/analysis/ResultTable.h"

namespace kestrune::analysis {

/** Which trials count: a bound left empty is not applied. */
struct IntermittentFilter {
    std::optional<double> dutyCycle;   ///< the item's kept fraction (SRDutycycle) equals this
    std::optional<double> lowestAge;   ///< the subject's IIAge (year of birth) is at least this
    std::optional<double> highestAge;  ///< ... and at most this
};

/**
 * The filter from the three texts a researcher typed: an empty (or blank)
 * text leaves its bound out, any other must be a decimal number ("0.5",
 * "-3", "1950"). False with a one-line reason naming the field when one is
 * not; *filter is then untouched.
 */
bool ReadIntermittentFilter(std::string_view dutyCycle, std::string_view lowestAge,
                            std::string_view highestAge, IntermittentFilter* filter,
                            std::string* error);

/**
 * The kana that differs from `kana` only in voicing: が for か, か for が,
 * ば for は; a kana with no voiced form (あ, な, ん) is its own partner. The
 * kana is looked up as a text in the table of voicing pairs, the first
 * place it occurs deciding; an empty text, or one that does not occur
 * there (を, ぱ, きゃ), has none: "". UTF-8.
 */
std::string VoicingPartner(std::string_view kana);

/** One trial as stored: what was played and what was answered (UTF-8). */
struct IntermittentTrial {
    std::string content;     ///< BRContent
    std::string recognised;  ///< BRRecognise
};

struct RecognitionCount {
    int total = 0;    ///< trials that played one of the plain kana あ ... ん
    int correct = 0;  ///< of those, answered with the kana or its voicing partner

    friend bool operator==(const RecognitionCount&, const RecognitionCount&) = default;
};

/**
 * Counts the trials that played a plain kana (syllables 1 ... 45 of the kana
 * table, あ ... ん) or a voiced one that has an unvoiced partner (が ... ぼ),
 * so that a played が answered か counts as correct just as a played か
 * answered が does. Trials of を, of the ぱ row and of the contracted rows
 * (きゃ ...), which have no voicing partner, are left out.
 */
RecognitionCount CountRecognised(const std::vector<IntermittentTrial>& trials);

/** The window's outputs as a table: "Total" "%d", "Correct" "%d", "Correct
 *  rate" "%3.1f%%"; no row when no trial counted. */
ResultTable IntermittentTable(const RecognitionCount& count);

}  // namespace kestrune::analysis
