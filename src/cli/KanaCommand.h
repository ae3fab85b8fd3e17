// `kestrune-cli analyse kana KANA|segment|row`: the kana confusion analyses
// of the analysis windows, written as CSV or a workbook sheet.
#pragma once

#include "cli/Commands.h"

namespace kestrune::cli {

/** Runs the analysis args[0] names ("segment", "row", else the kana to look
 *  up) with the options --duty-from, --duty-to, --where (default: the
 *  windows' default condition; "" adds nothing) and --out. */
int AnalyseKanaCommand(const Invocation& in);

}  // namespace kestrune::cli
