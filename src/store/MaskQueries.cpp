#include "store/MaskQueries.h"

namespace kestrune::store {
namespace {

// A whole number given as text, as the bound value; the refusal otherwise.
std::optional<DbError> WholeNumber(const QString& field, const QString& text, qint64* value) {
    bool ok = false;
    *value = text.trimmed().toLongLong(&ok);
    if (ok) return std::nullopt;
    return DbError{QString::fromUtf8(kMaskNotANumber).arg(field, text), QString(),
                   FailureKind::Refused};
}

}  // namespace

DbResult<Statement> MaskAverageStatement(MaskQuery query, const MaskQueryParams& params,
                                         const QString& masking, const QString& masked) {
    DbResult<Statement> result;
    switch (query) {
        case MaskQuery::ByAge: {
            qint64 from = 0;
            qint64 to = 0;
            result.error = WholeNumber(QStringLiteral("lower age bound"), params.ageFrom, &from);
            if (!result.error)
                result.error = WholeNumber(QStringLiteral("upper age bound"), params.ageTo, &to);
            if (result.error) return result;
            result.value = {
                QStringLiteral("SELECT AVG(NewSyllableMaskRecord.NSMRSNR) FROM "
                               "NewSyllableMaskRecord, IndividualInfo WHERE "
                               "NewSyllableMaskRecord.NSMRState=0 And "
                               "NewSyllableMaskRecord.NSMRValidity=1 And "
                               "NewSyllableMaskRecord.IIID=IndividualInfo.IIID And "
                               "IndividualInfo.IIAge>=? AND IndividualInfo.IIAge<=? AND "
                               "NewSyllableMaskRecord.NSMRMaskingcontent=? AND "
                               "NewSyllableMaskRecord.NSMRMaskedcontent=?"),
                {from, to, masking, masked}};
            return result;
        }
        case MaskQuery::Statistical:
            result.value = {QStringLiteral("SELECT AVG(SSMRSNR) FROM StatisticalSyllableMaskRecord "
                                           "WHERE SSMRMaskingcontent=? AND SSMRMaskedcontent=? "
                                           "AND SSMROther<7"),
                            {masking, masked}};
            return result;
        case MaskQuery::BySubject: {
            qint64 subject = 0;
            result.error = WholeNumber(QStringLiteral("subject"), params.subject, &subject);
            if (result.error) return result;
            result.value = {QStringLiteral("SELECT AVG(NSMRSNR) FROM NewSyllableMaskRecord WHERE "
                                           "NSMRState=0 And NSMRValidity=1 And "
                                           "NewSyllableMaskRecord.IIID=? AND "
                                           "NSMRMaskingcontent=? AND NSMRMaskedcontent=?"),
                            {subject, masking, masked}};
            return result;
        }
    }
    return result;
}

DbResult<std::optional<double>> MaskAverage(Database& db, MaskQuery query,
                                            const MaskQueryParams& params, const QString& masking,
                                            const QString& masked) {
    DbResult<std::optional<double>> result;
    const DbResult<Statement> statement = MaskAverageStatement(query, params, masking, masked);
    if (!statement.Ok()) {
        result.error = statement.error;
        return result;
    }
    const DbResult<std::vector<Row>> rows = db.Query(statement.value);
    if (!rows.Ok()) {
        result.error = rows.error;
        return result;
    }
    if (!rows.value.empty() && !rows.value.front().At(0).isNull())
        result.value = rows.value.front().At(0).toDouble();
    return result;
}

DbResult<analysis::PairAverages> MaskPairAverages(Database& db, MaskQuery query,
                                                  const MaskQueryParams& params) {
    DbResult<analysis::PairAverages> result;
    for (int i = 0; i < analysis::kVowelCount; ++i) {
        for (int j = 0; j < analysis::kVowelCount; ++j) {
            const DbResult<std::optional<double>> average =
                MaskAverage(db, query, params,
                            QString::fromUtf8(analysis::kVowelNames[static_cast<std::size_t>(i)]),
                            QString::fromUtf8(analysis::kVowelNames[static_cast<std::size_t>(j)]));
            if (!average.Ok()) {
                result.error = average.error;
                return result;
            }
            result.value[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = average.value;
        }
    }
    return result;
}

MaskQuery QueryOf(analysis::MaskAnalysisKind kind) {
    switch (kind) {
        case analysis::MaskAnalysisKind::AverageDe:
            return MaskQuery::ByAge;
        case analysis::MaskAnalysisKind::SubjectDe:
            return MaskQuery::BySubject;
        default:
            return MaskQuery::Statistical;
    }
}

}  // namespace kestrune::store
