#include "store/KanaQueries.h"

namespace kestrune::store {
namespace {

QVariant Bound(const analysis::ConditionValue& value) {
    if (const auto* whole = std::get_if<long long>(&value)) return QVariant(qlonglong(*whole));
    if (const auto* real = std::get_if<double>(&value)) return QVariant(*real);
    return QVariant(QString::fromStdString(std::get<std::string>(value)));
}

// " AND ..." for the filter, its values appended to *values.
QString Restriction(const TrialFilter& filter, QVariantList* values) {
    QString sql;
    if (filter.dutyFrom) {
        sql += QStringLiteral(" AND StatisticalRecord.SRDutycycle>=?");
        values->append(*filter.dutyFrom);
    }
    if (filter.dutyTo) {
        sql += QStringLiteral(" AND StatisticalRecord.SRDutycycle<=?");
        values->append(*filter.dutyTo);
    }
    if (!filter.other.sql.empty()) {
        sql += QStringLiteral(" AND ") + QString::fromStdString(filter.other.sql);
        for (const analysis::ConditionValue& value : filter.other.values)
            values->append(Bound(value));
    }
    return sql;
}

const QString kJoined = QStringLiteral(
    " FROM BasicRecord, StatisticalRecord WHERE BasicRecord.SRID=StatisticalRecord.SRID");

std::optional<std::string> Field(const Row& row, int index) {
    const QVariant value = row.At(index);
    if (value.isNull()) return std::nullopt;
    return value.toString().toStdString();
}

}  // namespace

DbResult<std::vector<analysis::AnswerCount>> ReadAnswerCounts(Database& db, const QString& played,
                                                              const TrialFilter& filter) {
    Statement statement;
    statement.values.append(played);
    statement.sql = QStringLiteral("SELECT BasicRecord.BRRecognise, COUNT(*)") + kJoined +
                    QStringLiteral(" AND BasicRecord.BRContent=?") +
                    Restriction(filter, &statement.values) +
                    QStringLiteral(" GROUP BY BasicRecord.BRRecognise");
    DbResult<std::vector<analysis::AnswerCount>> result;
    DbResult<std::vector<Row>> rows = db.Query(statement);
    result.error = rows.error;
    for (const Row& row : rows.value)
        result.value.push_back({Field(row, 0), row.At(1).toLongLong()});
    return result;
}

DbResult<std::vector<analysis::KanaPair>> ReadKanaPairs(Database& db, const TrialFilter& filter) {
    Statement statement;
    statement.sql = QStringLiteral("SELECT BasicRecord.BRContent,BasicRecord.BRRecognise") +
                    kJoined + Restriction(filter, &statement.values);
    DbResult<std::vector<analysis::KanaPair>> result;
    DbResult<std::vector<Row>> rows = db.Query(statement);
    result.error = rows.error;
    result.value.reserve(rows.value.size());
    for (const Row& row : rows.value) result.value.push_back({Field(row, 0), Field(row, 1)});
    return result;
}

KanaAnalysisOutcome RunKanaAnalysis(Database& db, const KanaAnalysisRequest& request) {
    using Status = KanaAnalysisOutcome::Status;
    KanaAnalysisOutcome outcome;
    const auto refuse = [&outcome](const std::string& why) {
        outcome.status = Status::Refused;
        outcome.message = QString::fromStdString(why);
        return outcome;
    };
    std::string error;
    TrialFilter filter;
    const auto from =
        analysis::ParseDutyField(request.dutyFrom.toStdString(), "start duty cycle", &error);
    if (!from) return refuse(error);
    const auto to =
        analysis::ParseDutyField(request.dutyTo.toStdString(), "stop duty cycle", &error);
    if (!to) return refuse(error);
    filter.dutyFrom = *from;
    filter.dutyTo = *to;
    analysis::ConditionParse other = analysis::ParseCondition(request.other.toStdString());
    if (!other.condition) return refuse(other.error);
    filter.other = std::move(*other.condition);

    const auto failed = [&outcome](const DbError& error) {
        outcome.status = Status::DbFailed;
        outcome.message = error.Text();
        return outcome;
    };
    if (request.kind == KanaAnalysisKind::Data) {
        const auto answers = ReadAnswerCounts(db, request.kana, filter);
        if (!answers.Ok()) return failed(*answers.error);
        const analysis::KanaAnswerCounts counts = analysis::CountAnswers(answers.value);
        if (counts.total == 0) {
            outcome.status = Status::NoResult;
            outcome.message = QString::fromUtf8(analysis::kNoResultCollected);
            return outcome;
        }
        outcome.table = analysis::KanaDataTable(counts);
        return outcome;
    }
    const auto pairs = ReadKanaPairs(db, filter);
    if (!pairs.Ok()) return failed(*pairs.error);
    outcome.table = request.kind == KanaAnalysisKind::Segment ? analysis::SegmentTable(pairs.value)
                                                              : analysis::RowTable(pairs.value);
    return outcome;
}

}  // namespace kestrune::store
