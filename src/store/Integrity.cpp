#include "store/Integrity.h"

namespace kestrune::store {
namespace {

// SQLite checks its own file: "ok", or one row per problem found.
QStringList SqliteProblems(Database& db) {
    const DbResult<std::vector<Row>> rows = db.Query({QStringLiteral("PRAGMA quick_check"), {}});
    if (!rows.Ok()) return {rows.error->message};
    QStringList problems;
    for (const Row& row : rows.value) {
        const QString text = row.At(0).toString();
        if (text != QLatin1String("ok")) problems << text;
    }
    if (rows.value.empty()) problems << QStringLiteral("quick_check gave no answer");
    return problems;
}

// PostgreSQL keeps its checks to itself; reading every row as text makes
// the server fetch every stored value (also the ones kept out of line),
// so a damaged page or a missing table ends the read with its reason.
QStringList PostgresProblems(Database& db) {
    QStringList problems;
    for (const QString& table : Database::TableNames()) {
        const DbResult<std::vector<Row>> rows = db.Query(
            {QStringLiteral("SELECT count(md5(CAST(t AS text))) FROM %1 t").arg(table), {}});
        if (!rows.Ok()) problems << table + QStringLiteral(": ") + rows.error->message;
    }
    return problems;
}

}  // namespace

QStringList IntegrityProblems(Database& db) {
    return db.engine() == Engine::Sqlite ? SqliteProblems(db) : PostgresProblems(db);
}

}  // namespace kestrune::store
