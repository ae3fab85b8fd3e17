#include "store/Results.h"

#include <QUuid>

namespace kestrune::store {

namespace {

const QString kVowelTable = QStringLiteral("NewSyllableMaskRecord");
const QString kVowelIdColumn = QStringLiteral("NSMRUid");

Values VowelValues(const VowelAnswerRow& row) {
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
    values.emplace_back(kVowelIdColumn, row.uid);
    return values;
}

QString NewUid() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

}  // namespace

DbResult<qint64> AddVowelAnswer(Database& db, const VowelAnswerRow& row) {
    VowelAnswerRow withId = row;
    if (withId.uid.isEmpty()) withId.uid = NewUid();
    return db.Insert(kVowelTable, QString(), VowelValues(withId));
}

AnswerOutcome StoreVowelAnswer(Database& db, const AnswerJournal& journal, VowelAnswerRow row) {
    AnswerOutcome outcome;
    if (row.uid.isEmpty()) row.uid = NewUid();
    outcome.uid = row.uid;
    bool behindOthers = false;
    if (journal.HasPending(db)) {
        outcome.replay = journal.Replay(db);
        behindOthers = outcome.replay.pending > 0 || outcome.replay.fileError.has_value();
        if (behindOthers) {
            outcome.error = outcome.replay.error.value_or(
                DbError{outcome.replay.fileError.value_or(QString()), QString()});
        }
    }
    if (!behindOthers) {
        const DbResult<qint64> stored = AddVowelAnswer(db, row);
        if (stored.Ok()) return outcome;
        outcome.error = stored.error;
        if (stored.error->kind == FailureKind::Refused) {
            outcome.fate = AnswerFate::Lost;
            return outcome;
        }
    }
    const JournalEntry entry{row.uid, db.location().Describe(), kVowelTable, kVowelIdColumn,
                             VowelValues(row)};
    if (const std::optional<QString> failed = journal.Append(entry)) {
        outcome.fate = AnswerFate::Lost;
        outcome.journalError = *failed;
        return outcome;
    }
    outcome.fate = AnswerFate::Journaled;
    return outcome;
}

DbResult<qint64> AddSyllableMaskAnswer(Database& db, const SyllableMaskAnswerRow& row) {
    return db.Insert(QStringLiteral("SyllableMaskRecord"), QString(),
                     {{QStringLiteral("IIID"), row.subjectId},
                      {QStringLiteral("SMRVolume"), row.volume},
                      {QStringLiteral("SMRSelfevaluation"), row.selfEvaluation},
                      {QStringLiteral("SMRTime"), row.time},
                      {QStringLiteral("SMRDuration"), row.duration},
                      {QStringLiteral("SMRMaskingContent"), row.maskingContent},
                      {QStringLiteral("SMRMaskedContent"), row.maskedContent},
                      {QStringLiteral("SMRRecognise"), row.recognised},
                      {QStringLiteral("SMRState"), row.state ? QVariant(*row.state) : QVariant()},
                      {QStringLiteral("SMRValidity"), row.validity},
                      {QStringLiteral("SMRSNR"), row.snr}});
}

DbResult<qint64> AddTestRecord(Database& db, const TestRecordRow& row) {
    Values values{{QStringLiteral("IIID"), row.subjectId}, {QStringLiteral("AIID"), row.audioId}};
    auto optional = [&values](const char* column, const auto& value) {
        if (value) values.emplace_back(QString::fromLatin1(column), *value);
    };
    optional("TRSelfevaluation", row.selfEvaluation);
    optional("TRVolume", row.volume);
    optional("TRTimes", row.times);
    values.emplace_back(QStringLiteral("TRTime"), row.time);
    optional("TRDuration", row.duration);
    values.emplace_back(QStringLiteral("TRState"), row.state);
    values.emplace_back(QStringLiteral("TRRecognise"), row.recognised);
    values.emplace_back(QStringLiteral("TRFactormask"), row.factorMask);
    values.emplace_back(QStringLiteral("TRPlayspeed"), row.playSpeed);
    values.emplace_back(QStringLiteral("TRSNR"), row.snr);
    values.emplace_back(QStringLiteral("TRCycle"), row.cycle);
    values.emplace_back(QStringLiteral("TRDutycycle"), row.dutyCycle);
    optional("TRContent", row.content);
    return db.Insert(QStringLiteral("TestRecord"), QStringLiteral("TRID"), values);
}

DbResult<std::optional<double>> TakeTestRecord(Database& db, qint64 id) {
    DbResult<std::optional<double>> result;
    const auto rows =
        db.Query({QStringLiteral("SELECT TRState FROM TestRecord WHERE TRID = ?"), {id}});
    result.error = rows.error;
    if (!rows.Ok() || rows.value.empty()) return result;
    const auto removed =
        db.Execute({QStringLiteral("DELETE FROM TestRecord WHERE TRID = ?"), {id}});
    result.error = removed.error;
    if (removed.Ok()) result.value = rows.value.front().Value(QStringLiteral("TRState")).toDouble();
    return result;
}

DbResult<int> NextRecognitionTimes(Database& db, qint64 subjectId, qint64 audioId,
                                   bool belowFullState) {
    DbResult<int> result;
    QString sql = QStringLiteral(
        "SELECT max(TRTimes) AS most FROM TestRecord WHERE IIID = ? AND AIID = ? AND "
        "TRRecognise = 1");
    if (belowFullState) sql += QStringLiteral(" AND TRState < 1");
    const auto rows = db.Query({sql, {subjectId, audioId}});
    result.error = rows.error;
    if (rows.Ok())
        result.value =
            1 + (rows.value.empty() ? 0 : rows.value.front().Value(QStringLiteral("most")).toInt());
    return result;
}

namespace {

DbResult<int> CountOf(Database& db, const Statement& statement) {
    DbResult<int> result;
    const auto rows = db.Query(statement);
    result.error = rows.error;
    if (rows.Ok() && !rows.value.empty()) result.value = rows.value.front().At(0).toInt();
    return result;
}

}  // namespace

DbResult<qint64> StartSessionItem(Database& db, const SessionItemRow& row) {
    const auto times =
        CountOf(db, {QStringLiteral("SELECT max(SRTimes) FROM StatisticalRecord WHERE IIID = ?"),
                     {row.subjectId}});
    if (!times.Ok()) return {0, times.error};
    const Values values{
        {QStringLiteral("IIID"), row.subjectId},
        {QStringLiteral("SRSelfevaluation"), row.selfEvaluation},
        {QStringLiteral("SRVolume"), row.volume},
        {QStringLiteral("SRTimes"), times.value + 1},
        {QStringLiteral("SRType"), row.type},
        {QStringLiteral("SRNumber"), row.number},
        {QStringLiteral("SRDuration"), 0},
        {QStringLiteral("SRCorrect"), 0},
        {QStringLiteral("SRFactormask"), row.factorMask},
        {QStringLiteral("SRRate"), 0.0},
        {QStringLiteral("SRPlayspeed"), row.playSpeed},
        {QStringLiteral("SRSNR"), row.snr},
        {QStringLiteral("SRCycle"), row.cycle},
        {QStringLiteral("SRDutycycle"), row.dutyCycle},
        {QStringLiteral("SRValidity"), 0},
        {QStringLiteral("SROther"), QString()},
    };
    return db.Insert(QStringLiteral("StatisticalRecord"), QStringLiteral("SRID"), values);
}

DbResult<SessionItemEnd> FinishSessionItem(Database& db, qint64 sessionItem, qint64 durationSeconds,
                                           int number, int validity) {
    DbResult<SessionItemEnd> result;
    const auto correct = CountOf(
        db, {QStringLiteral(
                 "SELECT COUNT(*) FROM BasicRecord WHERE SRID = ? AND BRContent = BRRecognise"),
             {sessionItem}});
    if (!correct.Ok()) return {{}, correct.error};
    result.value.correct = correct.value;
    result.value.rate = number != 0 ? static_cast<double>(correct.value) / number : 0.0;
    const auto updated =
        db.UpdateRow(QStringLiteral("StatisticalRecord"), QStringLiteral("SRID"), sessionItem,
                     {{QStringLiteral("SRDuration"), durationSeconds},
                      {QStringLiteral("SRCorrect"), correct.value},
                      {QStringLiteral("SRRate"), result.value.rate},
                      {QStringLiteral("SRValidity"), validity}});
    result.error = updated.error;
    result.value.found = updated.Ok() && updated.value;
    return result;
}

DbResult<qint64> AddTrial(Database& db, const TrialRow& row) {
    return db.Insert(QStringLiteral("BasicRecord"), QStringLiteral("BRID"),
                     {{QStringLiteral("IIID"), row.subjectId},
                      {QStringLiteral("SRID"), row.sessionItem},
                      {QStringLiteral("BRTime"), row.time},
                      {QStringLiteral("BRDuration"), row.duration},
                      {QStringLiteral("BRContent"), row.content},
                      {QStringLiteral("BRRecognise"), row.recognised},
                      {QStringLiteral("BROther"), row.other}});
}

DbResult<std::optional<QString>> TakeTrial(Database& db, qint64 id) {
    DbResult<std::optional<QString>> result;
    const auto rows =
        db.Query({QStringLiteral("SELECT BRContent FROM BasicRecord WHERE BRID = ?"), {id}});
    result.error = rows.error;
    if (!rows.Ok() || rows.value.empty()) return result;
    const auto removed =
        db.Execute({QStringLiteral("DELETE FROM BasicRecord WHERE BRID = ?"), {id}});
    result.error = removed.error;
    if (removed.Ok()) result.value = rows.value.front().Text(QStringLiteral("BRContent"));
    return result;
}

DbResult<HalfDutyScore> ReadHalfDutyScore(Database& db, qint64 subjectId) {
    const QString from = QStringLiteral(
        "SELECT COUNT(*) FROM BasicRecord, StatisticalRecord WHERE BasicRecord.SRID = "
        "StatisticalRecord.SRID AND BasicRecord.BRID > 5400 AND StatisticalRecord.SRDutycycle = "
        "0.5 AND BasicRecord.IIID = ?");
    const auto correct =
        CountOf(db, {from + QStringLiteral(" AND BasicRecord.BRContent = BasicRecord.BRRecognise"),
                     {subjectId}});
    if (!correct.Ok()) return {{}, correct.error};
    const auto total = CountOf(db, {from, {subjectId}});
    if (!total.Ok()) return {{}, total.error};
    return {{correct.value, total.value}, std::nullopt};
}

DbResult<qint64> AddSpeedupAnswer(Database& db, const SpeedupAnswerRow& row) {
    const QVariant state =
        row.state == 0.5 ? QVariant(QStringLiteral("0.5")) : QVariant(static_cast<int>(row.state));
    return db.Insert(QStringLiteral("SyllableSpeedupRecord"), QString(),
                     {{QStringLiteral("IIID"), row.subjectId},
                      {QStringLiteral("SSRVolume"), row.volume},
                      {QStringLiteral("SSRSelfevaluation"), row.selfEvaluation},
                      {QStringLiteral("SSRTime"), row.time},
                      {QStringLiteral("SSRDuration"), row.duration},
                      {QStringLiteral("SSRContent"), row.content},
                      {QStringLiteral("SSRRecognise"), row.recognised},
                      {QStringLiteral("SSRSpeed"), row.speed},
                      {QStringLiteral("SSRState"), state},
                      {QStringLiteral("SSRValidity"), row.validity}});
}

DbResult<std::optional<double>> ReadFailingSpeedAverage(Database& db, qint64 subjectId) {
    DbResult<std::optional<double>> result;
    const auto rows = db.Query(
        {QStringLiteral("SELECT AVG(SSRSpeed) FROM SyllableSpeedupRecord WHERE SSRState=0 And "
                        "SSRValidity=1 And IIID=?"),
         {subjectId}});
    result.error = rows.error;
    if (rows.Ok() && !rows.value.empty() && !rows.value.front().At(0).isNull())
        result.value = rows.value.front().At(0).toDouble();
    return result;
}

DbResult<qint64> AddMaskStatistic(Database& db, const MaskStatisticRow& row) {
    return db.Insert(QStringLiteral("StatisticalSyllableMaskRecord"), QString(),
                     {{QStringLiteral("SSMRMaskingcontent"), row.maskingContent},
                      {QStringLiteral("SSMRMaskedcontent"), row.maskedContent},
                      {QStringLiteral("SSMRSNR"), row.snr},
                      {QStringLiteral("SSMROther"), row.other}});
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
