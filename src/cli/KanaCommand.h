// `kestrune-cli analyse kana KANA`, `analyse segment`, `analyse row`: the kana
// confusion analyses of the analysis windows, written as CSV or a workbook sheet.
#pragma once

#include "cli/Commands.h"

namespace kestrune::cli {

/** The analyses with the options --duty-from, --duty-to, --where (default:
 *  the windows' default condition; "" adds nothing) and --out: the answers
 *  given to the played kana args[0], the vowel columns' confusions, the
 *  consonant rows' confusions. */
int AnalyseKanaCommand(const Invocation& in);
int AnalyseSegmentCommand(const Invocation& in);
int AnalyseRowCommand(const Invocation& in);

}  // namespace kestrune::cli
