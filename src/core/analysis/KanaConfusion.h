// How played kana were recognised: the three confusion tables of the
// interrupted speech trials (one kana's answers, the vowel columns 段, the
// consonant rows 行), built from what the store reads so the window and the
// command line list the same table.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "core/analysis/ResultTable.h"
#include "core/kana/KanaTable.h"

namespace kestrune::analysis {

/** One trial: what was played (BRContent) and what was answered
 *  (BRRecognise); nullopt for a field the database holds as NULL. */
struct KanaPair {
    std::optional<std::string> played;
    std::optional<std::string> answered;
};

/** One answer text and how many trials gave it (a grouped count). */
struct AnswerCount {
    std::optional<std::string> answered;
    long long count = 0;
};

/** The answers to one played kana: total trials and, per syllable number
 *  1-104, the trials answered with exactly that kana; [0] holds the rest
 *  (no table kana, an empty or missing answer). */
struct KanaAnswerCounts {
    long long total = 0;
    std::array<long long, kKanaCount + 1> count{};
};

/** Adds up grouped answer counts: an answer counts for syllable n only when
 *  its text is exactly n's kana. */
KanaAnswerCounts CountAnswers(const std::vector<AnswerCount>& answers);

/** The same counts from the trials of one played kana. */
KanaAnswerCounts CountAnswers(const std::string& played, const std::vector<KanaPair>& trials);

/** The text shown for a ratio whose count is 0: "-" (no trials, so no
 *  fraction), rather than the "nan" a division by zero would print. */
inline constexpr const char* kNoRatio = "-";

/**
 * "認識されたカナ" (90), "回数" (50), "%" (50): a row per syllable 1-104 with
 * its count and its share of the total in percent ("%d", "%f"), then "Null"
 * (the answers that are no table kana) and "Total" (the total, 100).
 * Rows for a total of 0 show kNoRatio as their share.
 */
ResultTable KanaDataTable(const KanaAnswerCounts& counts);

/**
 * The vowel-column confusion table: "段名" (40), "回数" (40), "全然正し"
 * (40), "あ段" ... "お段" (50 each). A trial counts for the column of its
 * played kana when that is 1-5; it is exact when played and answered are the
 * same syllable; its answer's column (1-5) receives it. Fractions of the
 * column's count, kNoRatio for a column without trials. Last row "全部段":
 * summed count and the summed exact fraction.
 */
ResultTable SegmentTable(const std::vector<KanaPair>& trials);

/** The consonant-row table: "行名" (40), "回数" (40), "全然正し" (40), then
 *  "あ行" ... "ぴゃ行" for rows 1-26 (50 each); last row "全部行". */
ResultTable RowTable(const std::vector<KanaPair>& trials);

/**
 * The kana data list's order: a click on the "回数" (1) or "%" (2) header
 * sorts the rows by their count, ascending for a column not sorted by last,
 * reversed for a second click on the same column; equal counts keep their
 * order. The kana column (0) does not sort.
 */
class KanaDataSort {
  public:
    /** Applies a header click to `table`; false (table untouched) for a
     *  column that does not sort. */
    bool Click(int column, ResultTable& table);

  private:
    int column_ = -1;
    bool descending_ = false;
};

}  // namespace kestrune::analysis
