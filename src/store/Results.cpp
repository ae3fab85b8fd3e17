#include "store/Results.h"

namespace kestrune::store {

DbResult<qint64> AddVowelAnswer(Database& db, const VowelAnswerRow& row) {
    Values values{
        {QStringLiteral("IIID"), row.subjectId},
        {QStringLiteral("NSMRVolume"), row.volume},
        {QStringLiteral("NSMRSelfevaluation"), row.selfEvaluation},
        {QStringLiteral("NSMRTime"), row.time},
        {QStringLiteral("NSMRDuration"), row.duration},
        {QStringLiteral("NSMRMaskingContent"), row.maskingContent},
        {QStringLiteral("NSMRMaskedContent"), row.maskedContent},
        {QStringLiteral("NSMRSNR"), row.snr},
        {QStringLiteral("NSMRRecognise"), row.recognised},
        {QStringLiteral("NSMRState"), row.state},
    };
    if (row.validity) values.emplace_back(QStringLiteral("NSMRValidity"), *row.validity);
    values.emplace_back(QStringLiteral("NSMROther"), row.other);
    return db.Insert(QStringLiteral("NewSyllableMaskRecord"), QString(), values);
}

DbResult<std::optional<QString>> LastTypedAnswer(Database& db) {
    DbResult<std::optional<QString>> result;
    const auto rows = db.Query(
        {QStringLiteral("SELECT * FROM TestRecord WHERE TRID= (SELECT max(TRID) FROM TestRecord "
                        "WHERE TRContent<>'')"),
         {}});
    result.error = rows.error;
    if (rows.Ok() && !rows.value.empty())
        result.value = rows.value.front().Text(QStringLiteral("TRContent"));
    return result;
}

}  // namespace kestrune::store
