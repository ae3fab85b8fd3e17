#include "store/IntermittentQueries.h"

namespace kestrune::store {

DbResult<std::vector<analysis::IntermittentTrial>> ReadIntermittentTrials(
    Database& db, const analysis::IntermittentFilter& filter) {
    Statement query{
        QStringLiteral("SELECT BasicRecord.BRContent, BasicRecord.BRRecognise FROM BasicRecord, "
                       "StatisticalRecord, IndividualInfo WHERE BasicRecord.SRID=StatisticalRecord."
                       "SRID AND IndividualInfo.IIID=StatisticalRecord.IIID AND StatisticalRecord."
                       "SRValidity>0 AND StatisticalRecord.SRValidity<3"),
        {}};
    const auto condition = [&query](const char* text, const std::optional<double>& value) {
        if (!value) return;
        query.sql += QLatin1String(text);
        query.values << *value;
    };
    condition(" AND StatisticalRecord.SRDutycycle=?", filter.dutyCycle);
    condition(" AND IndividualInfo.IIAge>=?", filter.lowestAge);
    condition(" AND IndividualInfo.IIAge<=?", filter.highestAge);
    query.sql += QStringLiteral(" ORDER BY BasicRecord.BRID");

    DbResult<std::vector<analysis::IntermittentTrial>> result;
    const auto rows = db.Query(query);
    result.error = rows.error;
    for (const Row& row : rows.value) {
        result.value.push_back({row.Text(QStringLiteral("BRContent")).toStdString(),
                                row.Text(QStringLiteral("BRRecognise")).toStdString()});
    }
    return result;
}

DbResult<analysis::TrainingInputs> ReadTrainingInputs(Database& db, qint64 subjectId, int step) {
    DbResult<analysis::TrainingInputs> result;
    analysis::TrainingInputs& inputs = result.value;
    inputs.subjectId = subjectId;
    const auto subject =
        db.Query({QStringLiteral("SELECT IIName FROM IndividualInfo WHERE IIID=?"), {subjectId}});
    if (!subject.Ok()) return {{}, subject.error};
    if (!subject.value.empty())
        inputs.subjectName = subject.value.front().Text(QStringLiteral("IIName")).toStdString();

    // Several sessions may have ended the same pair; the earliest answer is
    // the one used, on both engines.
    const QString failing = QStringLiteral(
        "SELECT NSMRSNR, NSMRDuration FROM NewSyllableMaskRecord WHERE NSMRState=0 AND "
        "NSMRValidity=1 AND IIID=? AND NSMRMaskingContent=? AND NSMRMaskedContent=? "
        "ORDER BY NSMRTime, NSMRUid");
    const QString passing = QStringLiteral(
        "SELECT NSMRDuration FROM NewSyllableMaskRecord WHERE NSMRState=1 AND NSMRValidity=1 AND "
        "IIID=? AND NSMRMaskingContent=? AND NSMRMaskedContent=? AND NSMRSNR=? "
        "ORDER BY NSMRTime, NSMRUid");
    for (const std::string& maskingVowel : analysis::TrainingVowels()) {
        for (const std::string& maskedVowel : analysis::TrainingVowels()) {
            analysis::TrainingPair pair{maskingVowel, maskedVowel, std::nullopt, std::nullopt};
            const QString masking = QString::fromStdString(maskingVowel);
            const QString masked = QString::fromStdString(maskedVowel);
            const auto failed = db.Query({failing, {subjectId, masking, masked}});
            if (!failed.Ok()) return {{}, failed.error};
            if (!failed.value.empty()) {
                const Row& row = failed.value.front();
                pair.failing =
                    analysis::FailingAnswer{static_cast<int>(row.Int(QStringLiteral("NSMRSNR"))),
                                            row.Real(QStringLiteral("NSMRDuration"))};
                const int level = analysis::PassingLevel(pair.failing->level, step);
                const auto passed = db.Query({passing, {subjectId, masking, masked, level}});
                if (!passed.Ok()) return {{}, passed.error};
                if (!passed.value.empty())
                    pair.passingDuration =
                        passed.value.front().Real(QStringLiteral("NSMRDuration"));
            }
            inputs.pairs.push_back(std::move(pair));
        }
    }
    return result;
}

}  // namespace kestrune::store
