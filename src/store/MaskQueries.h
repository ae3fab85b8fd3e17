// The averages the mask analysis reads: the signal-to-noise values the vowel
// discrimination test stored (by the subjects' year of birth, or for one
// subject) and those of the separately supplied statistics table, per pair
// of masking and masked vowel. Every value is bound; the bounds and the
// subject must be whole numbers and are refused (nothing sent) otherwise.
#pragma once

#include <QString>

#include <optional>

#include "core/analysis/MaskAnalysis.h"
#include "store/Database.h"

namespace kestrune::store {

/** The refusals, filled with the field's name and the text given. */
inline constexpr const char* kMaskNotANumber = "The %1 \"%2\" is not a whole number.";

/** Which average an analysis reads. */
enum class MaskQuery {
    ByAge,        ///< analysis 1: answers of subjects born between two years
    Statistical,  ///< analyses 2 to 4: StatisticalSyllableMaskRecord
    BySubject,    ///< analysis 5: one subject's answers
};

/** The query's parameters; only those of the chosen query are read. */
struct MaskQueryParams {
    QString ageFrom = QStringLiteral("1978");  ///< lower bound on IIAge
    QString ageTo = QStringLiteral("1987");    ///< upper bound on IIAge
    QString subject;                           ///< IIID
};

/** The statement for one pair (vowel names as stored), or the refusal of a bad number. */
DbResult<Statement> MaskAverageStatement(MaskQuery query, const MaskQueryParams& params,
                                         const QString& masking, const QString& masked);

/** The average for one pair; none when no row counts (AVG gives NULL). */
DbResult<std::optional<double>> MaskAverage(Database& db, MaskQuery query,
                                            const MaskQueryParams& params, const QString& masking,
                                            const QString& masked);

/** The averages of all 25 pairs of the five vowels, [masking - 1][masked - 1]. */
DbResult<analysis::PairAverages> MaskPairAverages(Database& db, MaskQuery query,
                                                  const MaskQueryParams& params);

/** The query analysis `kind` reads. */
MaskQuery QueryOf(analysis::MaskAnalysisKind kind);

}  // namespace kestrune::store
