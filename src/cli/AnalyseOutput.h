// What the `analyse` commands share: reading their "--name VALUE" options
// and writing the table an analysis produced.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "core/analysis/ResultTable.h"

namespace kestrune::cli {

/**
 * Reads args[first ...] as "--name VALUE" pairs whose names are in `known`
 * (each at most once) into *values, and "--out FILE" into *outPath. False,
 * with a one-line reason on `err`, for a word that is no known option, a
 * name without a value or a name given twice.
 */
bool ReadAnalyseOptions(const std::vector<std::string>& args, std::size_t first,
                        const std::vector<std::string>& known, const std::string& command,
                        std::map<std::string, std::string>* values, std::string* outPath,
                        std::ostream& err);

/**
 * Writes the table: without `outPath`, CSV on the command's output; to a
 * path ending in ".xls" or ".xlsx", as the sheet `sheet` of that workbook
 * (stored as .xlsx, the sheet replaced); to any other path, as a CSV file.
 * kExitOk, or kExitFailed after saying why the file could not be written.
 */
int WriteAnalysisTable(const Invocation& in, const analysis::ResultTable& table,
                       const std::string& outPath, const std::string& sheet);

}  // namespace kestrune::cli
