// kestrune-cli's mask analyses: `analyse mask average|b|a|deviation|de`
// write the table the mask analysis window writes to maskanalyse1 ... 5.xls,
// `analyse mask confirm` the F0 and band levels of one pair of recordings.
#pragma once

#include "cli/Commands.h"

namespace kestrune::cli {

int MaskAverageCommand(const Invocation& in);    ///< analysis 1, "Average DE"
int MaskTryBCommand(const Invocation& in);       ///< analysis 2, "try b"
int MaskTryACommand(const Invocation& in);       ///< analysis 3, "try a"
int MaskDeviationCommand(const Invocation& in);  ///< analysis 4, "try deviation"
int MaskSubjectCommand(const Invocation& in);    ///< analysis 5, "DE"
int MaskConfirmCommand(const Invocation& in);

}  // namespace kestrune::cli
