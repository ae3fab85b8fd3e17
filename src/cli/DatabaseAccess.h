// How kestrune-cli's commands reach the database.
#pragma once

#include <memory>
#include <optional>

#include "cli/Commands.h"
#include "store/Database.h"

namespace kestrune::cli {

/** The database the options name (--database, KESTRUNE_DATABASE, else the
 *  station's TestData.db), opened, which creates or migrates the schema;
 *  null after saying why on in.err. `where` gets the location resolved. */
std::unique_ptr<store::Database> OpenDatabase(const Invocation& in,
                                              std::optional<store::DatabaseLocation>* where);

/** Runs the command with a Qt application object: the SQL drivers are
 *  plugins, which Qt loads only with one. The other commands do without. */
int WithQtApplication(const Invocation& in, int (*run)(const Invocation&));

}  // namespace kestrune::cli
