#pragma once

#include <QString>

class QSqlDatabase;

namespace kestrune::store {

/**
 * Makes SQLite's lower() turn every letter with a lower case into it (Qt's
 * Unicode case mapping: Ä to ä, Σ to σ, Ａ to ａ), as PostgreSQL's lower()
 * does in a UTF-8 database, instead of only A to Z. The registries'
 * searches compare lower(column) with lower(text), so both engines find the
 * same rows. For the open connection `db` only; false with the reason when
 * it cannot be installed.
 */
bool InstallUnicodeLower(const QSqlDatabase& db, QString* reason);

}  // namespace kestrune::store
