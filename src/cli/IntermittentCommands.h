// kestrune-cli analyse intermittent and analyse training: the tables of the
// Analyse menu's Intermittent and Training result windows.
#pragma once

#include "cli/Commands.h"

namespace kestrune::cli {

/** analyse intermittent [--duty X] [--age-from A] [--age-to B] [--out F] */
int AnalyseIntermittentCommand(const Invocation& in);

/** analyse training --subject ID --step DB [--out F] */
int AnalyseTrainingCommand(const Invocation& in);

}  // namespace kestrune::cli
