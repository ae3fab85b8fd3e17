// The kana confusion analyses' reads of the interrupted speech trials
// (BasicRecord joined with its StatisticalRecord row), and the analyses run
// from the texts of their fields, which the windows and the command line
// share.
#pragma once

#include <QString>

#include <optional>
#include <vector>

#include "core/analysis/Condition.h"
#include "core/analysis/KanaConfusion.h"
#include "core/analysis/ResultTable.h"
#include "store/Database.h"

namespace kestrune::store {

/** Which trials an analysis reads: the item's duty cycle between the limits
 *  (each optional, inclusive) and the other condition. */
struct TrialFilter {
    std::optional<double> dutyFrom;
    std::optional<double> dutyTo;
    analysis::SqlCondition other;
};

/** The answers given to `played`, grouped by answer text, with their counts. */
DbResult<std::vector<analysis::AnswerCount>> ReadAnswerCounts(Database& db, const QString& played,
                                                              const TrialFilter& filter);

/** The (played, answered) pairs of the trials the filter keeps. */
DbResult<std::vector<analysis::KanaPair>> ReadKanaPairs(Database& db, const TrialFilter& filter);

/** The three analyses. */
enum class KanaAnalysisKind { Data, Segment, Row };

/** What the fields of an analysis hold, as typed. */
struct KanaAnalysisRequest {
    KanaAnalysisKind kind = KanaAnalysisKind::Data;
    QString kana;  ///< Data: the played kana to look up
    QString dutyFrom;
    QString dutyTo;
    QString other = QString::fromUtf8(analysis::kDefaultCondition);
};

/** How an analysis ended. */
struct KanaAnalysisOutcome {
    enum class Status {
        Done,      ///< `table` holds the result
        Refused,   ///< a field was not understood: `message` says which and where
        NoResult,  ///< the kana data analysis found no trial: "No result was collected!"
        DbFailed,  ///< a query failed: `message` is the database message
    };
    Status status = Status::Done;
    analysis::ResultTable table;
    QString message;
};

/** Reads the fields, queries and builds the table. */
KanaAnalysisOutcome RunKanaAnalysis(Database& db, const KanaAnalysisRequest& request);

}  // namespace kestrune::store
