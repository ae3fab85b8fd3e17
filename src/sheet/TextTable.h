// The delimited text-file form of a sheet: one line per row, each value in
// double quotes, values joined by the separator, lines ending in CR LF:
//     "name"<sep>"age"\r\n"Yamada"<sep>"63"\r\n
// Values are written as they are, without escaping, so reading splits a row
// at every quote-separator-quote; a value holding that sequence, or a quote
// right before its own line break, does not read back as written. Workbooks
// have no such limit.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sheet/RowImage.h"

namespace kestrune::sheet {

/** "\"a\"" + separator + "\"b\"" ... (no separator after the last value). */
std::string JoinRow(const Row& values, const std::string& separator);

/** The values of one row's text. A row in quotes is split at each
 *  quote-separator-quote; a row without the enclosing quotes (a file from
 *  elsewhere) at each separator. */
Row SplitRow(std::string_view text, const std::string& separator);

/** Every row of a file's text. A quoted row ends at a quote followed by a line
 *  break or by the end of the text, so line breaks inside values are kept. */
std::vector<Row> ParseTextTable(std::string_view text, const std::string& separator);

/** The file's text: each row joined, followed by CR LF. */
std::string FormatTextTable(const std::vector<Row>& rows, const std::string& separator);

}  // namespace kestrune::sheet
