#include "cli/ProcessCommand.h"

#include <ostream>

#include "cli/Commands.h"
#include "core/dsp/Edits.h"
#include "core/wave/WaveFile.h"

namespace kestrune::cli {
namespace {

// An operation that takes no arguments, from an edit over the set.
template <Outcome (*Edit)(WaveSet&)>
Outcome Plain(WaveSet& set, const std::vector<std::string>& /*args*/) {
    return Edit(set);
}

std::string Join(const std::vector<std::string>& words) {
    std::string joined;
    for (const std::string& word : words) joined += ' ' + word;
    return joined;
}

// Shows what an edit says: a refusal on err, anything else as lines on out.
bool Report(const Outcome& outcome, std::ostream& out, std::ostream& err) {
    if (!outcome.ok) {
        if (!outcome.warning.empty()) err << outcome.warning << '\n';
        err << (outcome.message.empty() ? std::string("refused") : outcome.message) << '\n';
        return false;
    }
    if (!outcome.warning.empty()) out << outcome.warning << '\n';
    if (!outcome.message.empty()) out << outcome.message << '\n';
    return true;
}

}  // namespace

// Still to come, each as one row here: amplify GAIN, noise AMPLITUDE,
// duty left|middle|right PERIOD_MS DUTY.
const std::vector<ProcessOperation>& ProcessOperations() {
    static const std::vector<ProcessOperation> operations = {
        {"power-unify", {}, Plain<edits::PowerUnification>},
        {"standardize", {}, Plain<edits::SignalStandardization>},
        {"reverse", {}, Plain<edits::HorizontalReverse>},
        {"invert", {}, Plain<edits::VerticalReverse>},
    };
    return operations;
}

std::vector<ProcessStep> ParseProcessChain(const std::vector<std::string>& words,
                                           std::string* error) {
    std::vector<ProcessStep> steps;
    for (std::size_t at = 0; at < words.size();) {
        const ProcessOperation* operation = nullptr;
        for (const ProcessOperation& known : ProcessOperations())
            if (known.name == words[at]) operation = &known;
        if (operation == nullptr) {
            *error = "unknown operation '" + words[at] + "'";
            return {};
        }
        const std::size_t first = at + 1;
        if (words.size() - first < operation->args.size()) {
            *error = operation->name + " takes" + Join(operation->args);
            return {};
        }
        at = first + operation->args.size();
        steps.push_back({operation,
                         {words.begin() + static_cast<std::ptrdiff_t>(first),
                          words.begin() + static_cast<std::ptrdiff_t>(at)}});
    }
    if (steps.empty()) *error = "no operation given";
    return steps;
}

int ProcessCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string error;
    const std::vector<ProcessStep> steps =
        ParseProcessChain({args.begin() + 2, args.end()}, &error);
    if (steps.empty()) {
        err << "kestrune-cli: process: " << error << "; see kestrune-cli --help\n";
        return kExitUsage;
    }
    WaveSet set;
    const Outcome opened = set.OpenWave(args[0]);
    if (!opened.ok) {
        Report(opened, out, err);
        return kExitFailed;
    }
    if (!opened.warning.empty()) err << opened.warning << '\n';
    for (const ProcessStep& step : steps)
        if (!Report(step.operation->run(set, step.args), out, err)) return kExitFailed;
    // The writer the workspace's Save wave uses, so the bytes are the same.
    if (!WriteWaveFile(args[1], set.format, set.samples[0].data(), set.sampleCounts[0])) {
        err << "kestrune-cli: process: cannot write '" << args[1] << "'\n";
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace kestrune::cli
