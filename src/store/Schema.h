#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <span>

#include "store/Dialect.h"

namespace kestrune::store {

/** One column of a result table. */
struct ColumnDef {
    const char* name;
    ColumnType type;
};

/** One result table with its columns in order. */
struct TableDef {
    const char* name;
    std::span<const ColumnDef> columns;

    /** The column with that name, ignoring case; nullopt when there is none. */
    std::optional<ColumnType> TypeOf(const QString& column) const;
};

/** The nine result tables in schema order. */
std::span<const TableDef> Tables();

/** The table of the station's calibrations (schema version 4). */
inline constexpr const char* kCalibrationTable = "StationCalibration";

/** The tables the station keeps about itself rather than about subjects:
 *  StationCalibration. */
std::span<const TableDef> StationTables();

/** The table with that name among the result and the station tables,
 *  ignoring case; null when there is none. */
const TableDef* FindTable(const QString& name);

/** CREATE TABLE IF NOT EXISTS for one table in the engine's dialect. */
QString CreateTableSql(const TableDef& table, const Dialect& dialect);

/** The table that records which schema version the database is at. */
inline constexpr const char* kVersionTable = "KestruneSchema";

/** Subject 1 of a new database: the practice runs' answers are stored under
 *  it, so that no real subject ever has key 1. */
inline constexpr int kPracticeSubjectId = 1;
inline constexpr const char* kPracticeSubjectName = "PRACTICE";
inline constexpr const char* kPracticeSubjectNote = "練習用（被験者ではありません）";

/** The schema version this program writes and understands. */
int CurrentSchemaVersion();

/**
 * The statements that take a database from version `toVersion - 1` to
 * `toVersion` (1 creates the tables in an empty database). A later version
 * adds a step here; earlier steps never change, so every database reaches the
 * current version by the same road and keeps its rows.
 */
QStringList MigrationStep(int toVersion, const Dialect& dialect);

}  // namespace kestrune::store
