#include "store/Integrity.h"

#include "store/Schema.h"

namespace kestrune::store {
namespace {

// SQLite checks its own file: "ok", or one row per problem found.
QStringList SqliteProblems(Database& db) {
    const DbResult<std::vector<Row>> rows = db.Query({QStringLiteral("PRAGMA quick_check"), {}});
    if (!rows.Ok()) return {rows.error->message};
    QStringList problems;
    for (const Row& row : rows.value) {
        // A finding may come in several lines under a "*** in database
        // main ***" heading: one problem per line, without the heading.
        for (const QString& line : row.At(0).toString().split(QLatin1Char('\n'))) {
            if (line != QLatin1String("ok") && !line.trimmed().isEmpty() &&
                !line.startsWith(QLatin1String("***")))
                problems << line.trimmed();
        }
    }
    if (rows.value.empty()) problems << QStringLiteral("quick_check gave no answer");
    return problems;
}

// Every result and station table read to its end: a missing table, or (on PostgreSQL,
// which keeps its page checks to itself) a damaged page, ends the read with
// its reason. Reading each row as text makes PostgreSQL fetch every stored
// value, also the ones kept out of line.
QStringList TableProblems(Database& db) {
    QStringList problems;
    QStringList tables = Database::TableNames();
    for (const TableDef& table : StationTables()) tables << QLatin1String(table.name);
    for (const QString& table : tables) {
        const QString sql =
            db.engine() == Engine::Sqlite
                ? QStringLiteral("SELECT count(*) FROM %1").arg(table)
                : QStringLiteral("SELECT count(md5(CAST(t AS text))) FROM %1 t").arg(table);
        const DbResult<std::vector<Row>> rows = db.Query({sql, {}});
        if (!rows.Ok()) problems << table + QStringLiteral(": ") + rows.error->message;
    }
    return problems;
}

}  // namespace

QStringList IntegrityProblems(Database& db) {
    QStringList problems = db.engine() == Engine::Sqlite ? SqliteProblems(db) : QStringList();
    return problems + TableProblems(db);
}

}  // namespace kestrune::store
