#include "store/CaseFolding.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#include <sqlite3.h>

namespace kestrune::store {
namespace {

void UnicodeLower(sqlite3_context* context, int /*argc*/, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    // Asked for in the machine's UTF-16, as QString holds its text.
    const void* text = sqlite3_value_text16(argv[0]);
    const int bytes = sqlite3_value_bytes16(argv[0]);
    if (text == nullptr) {
        sqlite3_result_error_nomem(context);
        return;
    }
    const QString lower =
        QString(static_cast<const QChar*>(text), bytes / static_cast<int>(sizeof(QChar))).toLower();
    sqlite3_result_text16(context, lower.utf16(), static_cast<int>(lower.size() * sizeof(QChar)),
                          SQLITE_TRANSIENT);
}

}  // namespace

bool InstallUnicodeLower(const QSqlDatabase& db, QString* reason) {
    const QVariant handle = db.driver() ? db.driver()->handle() : QVariant();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0) {
        *reason = QStringLiteral("the SQLite connection has no handle");
        return false;
    }
    sqlite3* connection = *static_cast<sqlite3* const*>(handle.constData());
    const int status = sqlite3_create_function_v2(
        connection, "lower", 1, SQLITE_UTF16 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
        UnicodeLower, nullptr, nullptr, nullptr);
    if (status != SQLITE_OK) {
        *reason = QString::fromUtf8(sqlite3_errmsg(connection));
        return false;
    }
    return true;
}

}  // namespace kestrune::store
