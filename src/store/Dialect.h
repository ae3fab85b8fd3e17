#pragma once

#include <QString>

#include "store/Database.h"

namespace kestrune::store {

/** The kinds of column the result tables are made of. */
enum class ColumnType {
    Key,      ///< auto-numbered 32-bit key, assigned by the database on insert
    Integer,  ///< 32-bit integer
    Real,     ///< a number; the "number as text" values and the mixed ones
    Text,     ///< free text (names, paths, answers)
    Time,     ///< local clock time "yyyy-MM-dd HH:mm:ss"
};

/**
 * Everything in which the SQL for SQLite and PostgreSQL differs. The rest of
 * the store writes one SQL text for both engines and asks this for the
 * pieces that cannot be shared.
 */
struct Dialect {
    Engine engine = Engine::Sqlite;

    /** The Qt SQL driver that talks to the engine. */
    QString DriverName() const;

    /** Column type in CREATE TABLE. */
    QString ColumnDdl(ColumnType type) const;

    /**
     * `column LIKE '%' || ? || '%'` ignoring case, with the bound text taken
     * as a LIKE pattern (% and _ are wildcards) and no escape character, so
     * a backslash in a Windows path is an ordinary character. Both sides go
     * through lower(), which folds every alphabet's case on both engines
     * (SQLite's is replaced by a Unicode one on connecting: CaseFolding.h);
     * PostgreSQL's LIKE needs ESCAPE '' to have no escape character.
     */
    QString ContainsPattern(const QString& column) const;

    /** True when the new key comes back from INSERT ... RETURNING key;
     *  false when it is read with the driver's last-insert id. SQLite uses
     *  the latter so the insert's commit has finished (and reported any
     *  failure) before Insert returns. */
    bool InsertReturnsKey() const;

    /** Statements that open the transaction of a schema change, so that two
     *  programs starting on an empty database do not both create it. */
    QStringList BeginSchemaChange() const;

    /** Statements run once after connecting (durability and waiting for
     *  locks). */
    QStringList SessionSetup() const;

    /** How long a statement waits for another connection's lock. */
    static constexpr int kBusyTimeoutMs = 5000;

    static Dialect For(Engine engine) { return Dialect{engine}; }
};

}  // namespace kestrune::store
