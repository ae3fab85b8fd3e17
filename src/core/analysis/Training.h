// One subject's averages over the vowel discrimination records: for each of
// the 25 pairs of a masking and a masked vowel, the level of the last
// failing answer and the answer one test step above it that passed give the
// pair's threshold and answer times; pairs of one vowel with itself are the
// hearing thresholds, the others the separation thresholds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/analysis/ResultTable.h"

namespace kestrune::analysis {

/** The subject and the test step as typed: both whole numbers. False with a
 *  one-line reason naming the field when one is not. */
bool ReadTrainingParameters(std::string_view subjectId, std::string_view step,
                            std::int64_t* subject, int* stepDb, std::string* error);

/** The vowels in the order the pairs run: あ い う え お. */
const std::vector<std::string>& TrainingVowels();

/** The window's output labels, the table's captions: "Subject name", then
 *  the six "Everage ..." values. */
const std::vector<std::string>& TrainingCaptions();

/** The answer that ended a pair: NSMRState 0, NSMRValidity 1. */
struct FailingAnswer {
    int level = 0;          ///< NSMRSNR
    double duration = 0.0;  ///< NSMRDuration, seconds
};

/** The level at which the passing answer of a pair is looked for: the one
 *  a test step above the failing answer, the last level passed. */
inline int PassingLevel(int failingLevel, int step) {
    return failingLevel + step;
}

/** What the records hold for one pair. */
struct TrainingPair {
    std::string masking;                    ///< NSMRMaskingContent
    std::string masked;                     ///< NSMRMaskedContent
    std::optional<FailingAnswer> failing;   ///< none: the pair never ended in a failing answer
    std::optional<double> passingDuration;  ///< the passing answer's NSMRDuration; none: missing
};

struct TrainingInputs {
    std::int64_t subjectId = 0;
    std::optional<std::string> subjectName;  ///< IIName; none: no such subject
    std::vector<TrainingPair> pairs;         ///< masking vowel major, as TrainingVowels
};

struct TrainingOutcome {
    ResultTable table;                  ///< the window's outputs; no row for an unknown subject
    std::vector<std::string> messages;  ///< one line for each pair that could not be used whole
};

/**
 * The subject's averages: threshold = (sum of the last levels passed) / n − 1,
 * the times = (sum of the durations) / n, separately for the pairs of
 * different vowels and of the same vowel, each "%f".
 *
 * n is the number of pairs of that kind that have a failing answer: 20 and 5
 * when every pair was measured. A pair without one (a run stopped early, or a
 * subject who failed at the first level) has no threshold; it is left out of
 * the averages, rather than counted as level 0, and named in a message
 * ("... has no failing answer!"); a kind with no such pair at all leaves its
 * three outputs empty. A pair whose passing answer is missing still counts,
 * adding nothing to the passing time, with the message "Subject=%s,
 * Masking=%s,Masked=%s is not found!". A subject without any failing answer
 * gets the single message "No result was collected!" instead of 25; an ID
 * that names no subject gives "Subject=%d is not registered!" and no row.
 */
TrainingOutcome AnalyseTraining(const TrainingInputs& inputs, int step);

}  // namespace kestrune::analysis
