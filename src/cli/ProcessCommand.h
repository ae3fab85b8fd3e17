// kestrune-cli process IN.wav OUT.wav OP [ARGS]... [OP [ARGS]...]...
//
// Batch preparation of stimuli: the file is opened into a wave set by the
// workspace's own rules (rates, bit depths, stereo reduced to its left
// channel), the operations run one after another through the same edit
// functions as the Process menu, and the result is written as the
// workspace's Save wave writes it.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "core/wave/WaveSet.h"

namespace kestrune::cli {

/**
 * One operation of the chain: its name on the command line, the names of
 * its arguments (it takes exactly that many words after its name) and the
 * edit it runs. To add one, write its function and add a row to
 * ProcessOperations(); its arguments arrive as the words that followed its
 * name, to be read as the dialogs read their edits (LeadingReal: "abc" is 0).
 */
struct ProcessOperation {
    std::string name;
    std::vector<std::string> args;
    Outcome (*run)(WaveSet& set, const std::vector<std::string>& args);
};

/** Every operation `process` knows, in the order the help lists them. */
const std::vector<ProcessOperation>& ProcessOperations();

/** One operation of a parsed chain with its arguments. */
struct ProcessStep {
    const ProcessOperation* operation = nullptr;
    std::vector<std::string> args;
};

/**
 * Splits `OP [ARGS]...` words into steps. Empty, with `error` set to a
 * one-line reason, on an unknown name or missing arguments.
 */
std::vector<ProcessStep> ParseProcessChain(const std::vector<std::string>& words,
                                           std::string* error);

/**
 * `args` as the command line gives them after "process": IN, OUT, then the
 * chain. The texts an edit shows on success (ratios, overflow counts) are
 * lines on `out`; a refused open or edit prints its message on `err` and
 * gives 2, and so do a bad chain and an output that cannot be written.
 * OUT is written only when every step went through.
 */
int ProcessCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kestrune::cli
