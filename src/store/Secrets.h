// Keeping database passwords out of sight: out of messages, logs and the
// process list. The recommended ways to give a PostgreSQL password are
// libpq's own (PGPASSFILE or ~/.pgpass, and PGPASSWORD), with a URL that
// names no password; a password written into a URL is accepted but never
// shown again.
#pragma once

#include <QString>

namespace kestrune::store {

/** What a masked password is shown as. */
inline constexpr const char* kMaskedPassword = "***";

/**
 * The URL with its password (the text between "scheme://user:" and the
 * last "@") replaced by kMaskedPassword; a URL without one is returned as
 * it is. Works on malformed URLs too, as they come in error messages.
 */
QString MaskUrlPassword(const QString& url);

/**
 * Overwrites in place, with '*', the password of every database URL among
 * the program's arguments (a URL argument or --database=URL), so the
 * process list, which reads the arguments from the process's memory, no
 * longer shows it. Call once the arguments have been read.
 */
void HideArgumentPasswords(int argc, char** argv);

}  // namespace kestrune::store
