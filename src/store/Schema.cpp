#include "store/Schema.h"

#include <array>
#include <string_view>

namespace kestrune::store {
namespace {

using enum ColumnType;

constexpr std::array kIndividualInfo{
    ColumnDef{"IIID", Key},           ColumnDef{"IIName", Text},
    ColumnDef{"IISex", Text},         ColumnDef{"IIAge", Integer},
    ColumnDef{"IIHanduse", Integer},  ColumnDef{"IIEducation", Integer},
    ColumnDef{"IIDescription", Text},
};

constexpr std::array kAudioInfo{
    ColumnDef{"AIID", Key},        ColumnDef{"AIPathname", Text}, ColumnDef{"AILength", Integer},
    ColumnDef{"AIFiletype", Text}, ColumnDef{"AISex", Text},      ColumnDef{"AIChannel", Integer},
    ColumnDef{"AIBits", Integer},  ColumnDef{"AIContent", Text},
};

constexpr std::array kTestRecord{
    ColumnDef{"TRID", Key},          ColumnDef{"IIID", Integer},
    ColumnDef{"AIID", Integer},      ColumnDef{"TRSelfevaluation", Integer},
    ColumnDef{"TRVolume", Integer},  ColumnDef{"TRTimes", Integer},
    ColumnDef{"TRTime", Time},       ColumnDef{"TRDuration", Integer},
    ColumnDef{"TRState", Real},      ColumnDef{"TRRecognise", Real},
    ColumnDef{"TRFactormask", Real}, ColumnDef{"TRPlayspeed", Real},
    ColumnDef{"TRSNR", Real},        ColumnDef{"TRCycle", Real},
    ColumnDef{"TRDutycycle", Real},  ColumnDef{"TRContent", Text},
};

constexpr std::array kStatisticalRecord{
    ColumnDef{"SRID", Key},
    ColumnDef{"IIID", Integer},
    ColumnDef{"SRSelfevaluation", Integer},
    ColumnDef{"SRVolume", Integer},
    ColumnDef{"SRTimes", Integer},
    ColumnDef{"SRType", Integer},
    ColumnDef{"SRNumber", Integer},
    ColumnDef{"SRDuration", Integer},
    ColumnDef{"SRCorrect", Integer},
    ColumnDef{"SRFactormask", Integer},
    ColumnDef{"SRRate", Real},
    ColumnDef{"SRPlayspeed", Real},
    ColumnDef{"SRSNR", Real},
    ColumnDef{"SRCycle", Real},
    ColumnDef{"SRDutycycle", Real},
    ColumnDef{"SRValidity", Integer},
    ColumnDef{"SROther", Text},
};

constexpr std::array kBasicRecord{
    ColumnDef{"BRID", Key},         ColumnDef{"IIID", Integer},    ColumnDef{"SRID", Integer},
    ColumnDef{"BRTime", Time},      ColumnDef{"BRDuration", Real}, ColumnDef{"BRContent", Text},
    ColumnDef{"BRRecognise", Text}, ColumnDef{"BROther", Text},
};

constexpr std::array kSyllableMaskRecord{
    ColumnDef{"IIID", Integer},
    ColumnDef{"SMRVolume", Integer},
    ColumnDef{"SMRSelfevaluation", Integer},
    ColumnDef{"SMRTime", Time},
    ColumnDef{"SMRDuration", Integer},
    ColumnDef{"SMRMaskingContent", Text},
    ColumnDef{"SMRMaskedContent", Text},
    ColumnDef{"SMRRecognise", Text},
    ColumnDef{"SMRState", Real},
    ColumnDef{"SMRValidity", Integer},
    ColumnDef{"SMRSNR", Integer},
};

// As version 1 made it; version 3 adds the answer's own id.
constexpr std::array kNewSyllableMaskRecordV1{
    ColumnDef{"IIID", Integer},
    ColumnDef{"NSMRVolume", Integer},
    ColumnDef{"NSMRSelfevaluation", Integer},
    ColumnDef{"NSMRTime", Time},
    ColumnDef{"NSMRDuration", Real},
    ColumnDef{"NSMRMaskingContent", Text},
    ColumnDef{"NSMRMaskedContent", Text},
    ColumnDef{"NSMRSNR", Integer},
    ColumnDef{"NSMRRecognise", Text},
    ColumnDef{"NSMRState", Real},
    ColumnDef{"NSMRValidity", Integer},
    ColumnDef{"NSMROther", Text},
};

// Version 1's columns and then the ones later versions added.
template <std::size_t N>
constexpr std::array<ColumnDef, N + 1> Then(const std::array<ColumnDef, N>& first,
                                            ColumnDef added) {
    std::array<ColumnDef, N + 1> all{};
    for (std::size_t i = 0; i < N; ++i) all[i] = first[i];
    all[N] = added;
    return all;
}

constexpr auto kNewSyllableMaskRecord = Then(kNewSyllableMaskRecordV1, {"NSMRUid", Text});

constexpr std::array kSyllableSpeedupRecord{
    ColumnDef{"IIID", Integer},
    ColumnDef{"SSRVolume", Integer},
    ColumnDef{"SSRSelfevaluation", Integer},
    ColumnDef{"SSRTime", Time},
    ColumnDef{"SSRDuration", Integer},
    ColumnDef{"SSRContent", Text},
    ColumnDef{"SSRRecognise", Text},
    ColumnDef{"SSRSpeed", Real},
    ColumnDef{"SSRState", Real},
    ColumnDef{"SSRValidity", Integer},
};

constexpr std::array kStatisticalSyllableMaskRecord{
    ColumnDef{"SSMRMaskingcontent", Text},
    ColumnDef{"SSMRMaskedcontent", Text},
    ColumnDef{"SSMRSNR", Real},
    ColumnDef{"SSMROther", Real},
};

const std::array kTables{
    TableDef{"IndividualInfo", kIndividualInfo},
    TableDef{"AudioInfo", kAudioInfo},
    TableDef{"TestRecord", kTestRecord},
    TableDef{"StatisticalRecord", kStatisticalRecord},
    TableDef{"BasicRecord", kBasicRecord},
    TableDef{"SyllableMaskRecord", kSyllableMaskRecord},
    TableDef{"NewSyllableMaskRecord", kNewSyllableMaskRecord},
    TableDef{"SyllableSpeedupRecord", kSyllableSpeedupRecord},
    TableDef{"StatisticalSyllableMaskRecord", kStatisticalSyllableMaskRecord},
};

// The station's own records, beside the result tables: each calibration of
// an output device with the level a sound-level meter read (version 4).
constexpr std::array kStationCalibration{
    ColumnDef{"SCID", Key},
    ColumnDef{"SCStation", Text},
    ColumnDef{"SCHostApi", Text},
    ColumnDef{"SCOutputDevice", Text},
    ColumnDef{"SCVolume", Integer},
    ColumnDef{"SCReferenceLevel", Real},
    ColumnDef{"SCMeasuredLevel", Real},
    ColumnDef{"SCTime", Time},
};

const std::array kStationTables{
    TableDef{kCalibrationTable, kStationCalibration},
};

// Version 1: the nine result tables. IF NOT EXISTS lets a database whose
// tables were made by hand (or by an older tool) be adopted as it is.
// kTables describes the current schema; a table a later version changed is
// created here with its version-1 column list, so that an empty database
// still passes through version 1 exactly as it was.
QStringList CreateResultTables(const Dialect& dialect) {
    QStringList statements;
    for (const TableDef& table : kTables) {
        const bool changedLater = std::string_view(table.name) == "NewSyllableMaskRecord";
        statements << CreateTableSql(
            changedLater ? TableDef{table.name, kNewSyllableMaskRecordV1} : table, dialect);
    }
    return statements;
}

// Version 2: the practice subject. A practice run of the vowel test stores
// its answers under subject 1, so key 1 must never be a real subject: a
// database without subjects gives key 1 to a subject row of its own before
// anybody registers. A database that already holds subjects keeps its keys
// as they are.
//
// The key is given explicitly, so a table made by hand without an
// auto-numbered key takes the row as well. SQLite's AUTOINCREMENT then
// moves its counter past 1 by itself; PostgreSQL's identity sequence is
// moved past it here, never backwards, so keys of removed subjects are not
// handed out again.
QStringList AddPracticeSubject(const Dialect& dialect) {
    QStringList statements{
        QStringLiteral("INSERT INTO IndividualInfo (IIID, IIName, IIDescription) "
                       "SELECT %1, '%2', '%3' WHERE NOT EXISTS (SELECT IIID FROM IndividualInfo)")
            .arg(kPracticeSubjectId)
            .arg(QLatin1String(kPracticeSubjectName), QString::fromUtf8(kPracticeSubjectNote))};
    if (dialect.engine == Engine::Postgres) {
        statements << QStringLiteral(
            "SELECT setval(q.s, GREATEST((SELECT MAX(IIID) FROM IndividualInfo), "
            "pg_sequence_last_value(q.s::regclass))) "
            "FROM (SELECT pg_get_serial_sequence('individualinfo', 'iiid') AS s) AS q "
            "WHERE q.s IS NOT NULL");
    }
    return statements;
}

// Version 3: every vowel answer carries an id made by the program that
// wrote it, unique in the table, so that an answer written again (from the
// answer journal, after a connection dropped before the commit was
// confirmed) is recognised instead of stored twice. Rows written before
// have none; NULLs do not collide in a unique index on either engine.
QStringList AddAnswerIds(const Dialect& dialect) {
    const QString column = dialect.engine == Engine::Postgres
                               ? QStringLiteral("ADD COLUMN IF NOT EXISTS")
                               : QStringLiteral("ADD COLUMN");
    return {QStringLiteral("ALTER TABLE NewSyllableMaskRecord %1 NSMRUid %2")
                .arg(column, dialect.ColumnDdl(ColumnType::Text)),
            QStringLiteral("CREATE UNIQUE INDEX IF NOT EXISTS NewSyllableMaskRecordUid "
                           "ON NewSyllableMaskRecord (NSMRUid)")};
}

// Version 4: the station's calibrations. Rows are looked up by station and
// device, newest first.
QStringList AddStationCalibration(const Dialect& dialect) {
    return {CreateTableSql(kStationTables[0], dialect),
            QStringLiteral("CREATE INDEX IF NOT EXISTS StationCalibrationDevice "
                           "ON %1 (SCStation, SCHostApi, SCOutputDevice)")
                .arg(QLatin1String(kCalibrationTable))};
}

}  // namespace

std::optional<ColumnType> TableDef::TypeOf(const QString& column) const {
    for (const ColumnDef& c : columns) {
        if (column.compare(QLatin1String(c.name), Qt::CaseInsensitive) == 0) return c.type;
    }
    return std::nullopt;
}

std::span<const TableDef> Tables() {
    return kTables;
}

std::span<const TableDef> StationTables() {
    return kStationTables;
}

const TableDef* FindTable(const QString& name) {
    for (std::span<const TableDef> tables : {Tables(), StationTables()}) {
        for (const TableDef& table : tables) {
            if (name.compare(QLatin1String(table.name), Qt::CaseInsensitive) == 0) return &table;
        }
    }
    return nullptr;
}

QString CreateTableSql(const TableDef& table, const Dialect& dialect) {
    QStringList columns;
    for (const ColumnDef& c : table.columns) {
        columns << QStringLiteral("%1 %2").arg(QLatin1String(c.name), dialect.ColumnDdl(c.type));
    }
    return QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (%2)")
        .arg(QLatin1String(table.name), columns.join(QStringLiteral(", ")));
}

int CurrentSchemaVersion() {
    return 4;
}

QStringList MigrationStep(int toVersion, const Dialect& dialect) {
    switch (toVersion) {
        case 1:
            return CreateResultTables(dialect);
        case 2:
            return AddPracticeSubject(dialect);
        case 3:
            return AddAnswerIds(dialect);
        case 4:
            return AddStationCalibration(dialect);
        default:
            return {};
    }
}

}  // namespace kestrune::store
