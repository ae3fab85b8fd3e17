#pragma once

#include <QStringList>

#include "store/Database.h"

namespace kestrune::store {

/**
 * Reads the whole database looking for damage: on SQLite its quick_check
 * (every page and record of every table and index); on PostgreSQL every
 * row of every result table to its last column; on both, that every result
 * table is there. Lists what was found, one reason each ("AudioInfo: ..."
 * or SQLite's own words); empty when all is well. A check that cannot even
 * run counts as a finding.
 */
QStringList IntegrityProblems(Database& db);

}  // namespace kestrune::store
