// Binary workbooks of the older format (.xls: BIFF5 and BIFF8 in a compound
// file) read through libfreexl into the same cell tables as an .xlsx.
//
// Older stations wrote each subject's results to "Data/<name>.xls" in this
// format. We only write .xlsx, so such a file is read once, when the
// workbook "Data/<name>.xlsx" does not exist yet: its sheets are carried into
// the new .xlsx by the first write, and from then on the .xlsx is the
// subject's workbook. The .xls itself is never changed, moved or deleted.
//
// Only values come across: texts and numbers as they are stored, dates and
// times as the text "YYYY-MM-DD", "YYYY-MM-DD HH:MM:SS" or "HH:MM:SS", and
// empty cells as empty text. Formatting, formulas (beyond their last value)
// and charts are left behind, as in our own .xlsx reader.
#pragma once

#include <optional>
#include <string>

#include "sheet/Workbook.h"

namespace kestrune::sheet {

/** Reads every worksheet of the binary workbook at `path`, in order. A
 *  sheet's rows reach to the last row of the range the file records as used
 *  (empty rows included, as the writer left them); each row ends at its last
 *  cell with a value. On failure (no such file, not a binary workbook,
 *  damaged, protected by a password) returns nullopt with the reason in
 *  *error. */
std::optional<Workbook> ReadLegacyWorkbook(const std::string& path, std::string* error);

/** The binary workbook a station may still hold in place of the workbook at
 *  `path`: for "<name>.xlsx" (any letter case) that does not exist, an
 *  existing "<name>.xls" or "<name>.XLS"; otherwise the empty string. */
std::string LegacyWorkbookFor(const std::string& path);

/** Reads the workbook at `path`, or when it does not exist the binary
 *  workbook LegacyWorkbookFor(path) names. nullopt with *error empty when
 *  there is neither; nullopt with the reason in *error when the one there
 *  cannot be read. */
std::optional<Workbook> ReadWorkbookOrLegacy(const std::string& path, std::string* error);

}  // namespace kestrune::sheet
