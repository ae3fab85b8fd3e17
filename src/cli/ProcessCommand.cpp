#include "cli/ProcessCommand.h"

#include <ostream>
#include <utility>

#include "cli/Commands.h"
#include "core/dsp/Amplify.h"
#include "core/dsp/DutyCycle.h"
#include "core/dsp/Edits.h"
#include "core/dsp/Filters.h"
#include "core/dsp/Noise.h"
#include "core/util/Random.h"
#include "core/wave/WaveFile.h"

namespace kestrune::cli {
namespace {

// An operation that takes no arguments, from an edit over the set.
template <Outcome (*Edit)(WaveSet&)>
Outcome Plain(WaveSet& set, const std::vector<std::string>& /*args*/) {
    return Edit(set);
}

Outcome NotANumber(const std::string& operation, const std::string& text) {
    return Refusal(operation + ": '" + text + "' is not a number");
}

Outcome AmplifyStep(WaveSet& set, const std::vector<std::string>& args) {
    double gain = 0.0;
    if (!ParseNumber(args[0], gain)) return NotANumber("amplify", args[0]);
    return edits::Amplify(set, gain);
}

// The file's own depth sets the noise's scale, as a file just opened does in
// the workspace; the generator starts from the C library's first seed, so a
// run is repeatable.
Outcome NoiseStep(WaveSet& set, const std::vector<std::string>& args) {
    double amplitude = 0.0;
    if (!ParseNumber(args[0], amplitude)) return NotANumber("noise", args[0]);
    CrtRandom random;
    return edits::AddNoise(set, static_cast<float>(amplitude), set.format.bitsPerSample, random);
}

Outcome DutyStep(WaveSet& set, const std::vector<std::string>& args) {
    edits::DutySettings settings;
    if (args[0] == "left") {
        settings.periodType = edits::kPeriodLeft;
    } else if (args[0] == "middle") {
        settings.periodType = edits::kPeriodMiddle;
    } else if (args[0] == "right") {
        settings.periodType = edits::kPeriodRight;
    } else {
        return Refusal("duty: '" + args[0] + "' is not left, middle or right");
    }
    double period = 0.0, duty = 0.0;
    if (!ParseNumber(args[1], period)) return NotANumber("duty", args[1]);
    if (!ParseNumber(args[2], duty)) return NotANumber("duty", args[2]);
    settings.periodMs = static_cast<float>(period);
    settings.dutyCycle = static_cast<float>(duty);
    settings.playbackSpeed = set.processParameters.playbackSpeed;
    return edits::DutyCycle(set, settings);
}

// The two bounds of a filter, whole numbers as its dialog takes them.
bool ReadBounds(const char* operation, const std::vector<std::string>& args, int32_t& low,
                int32_t& high, Outcome* refused) {
    for (int i = 0; i < 2; ++i) {
        if (!ParseNumber(args[static_cast<std::size_t>(i)], i == 0 ? low : high)) {
            *refused = Refusal(std::string(operation) + ": '" + args[static_cast<std::size_t>(i)] +
                               "' is not a whole number");
            return false;
        }
    }
    return true;
}

// The file just opened is the one whose header sets the bounds' limits.
Outcome GateStep(WaveSet& set, const std::vector<std::string>& args) {
    int32_t low = 0, high = 0;
    Outcome refused;
    if (!ReadBounds("gate", args, low, high, &refused)) return refused;
    return edits::TimeDomainFilter(set, low, high, set.format.bitsPerSample);
}

// The main window's starting frame settings: N = 2048, S = 128.
Outcome BandStopStep(WaveSet& set, const std::vector<std::string>& args) {
    int32_t low = 0, high = 0;
    Outcome refused;
    if (!ReadBounds("bandstop", args, low, high, &refused)) return refused;
    return edits::FrequencyDomainFilter(set, low, high, set.format.sampleRate, {});
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

const std::vector<ProcessOperation>& ProcessOperations() {
    static const std::vector<ProcessOperation> operations = {
        {"power-unify", {}, Plain<edits::PowerUnification>},
        {"standardize", {}, Plain<edits::SignalStandardization>},
        {"reverse", {}, Plain<edits::HorizontalReverse>},
        {"invert", {}, Plain<edits::VerticalReverse>},
        {"amplify", {"GAIN"}, AmplifyStep},
        {"noise", {"AMPLITUDE"}, NoiseStep},
        {"duty", {"left|middle|right", "PERIOD_MS", "DUTY"}, DutyStep},
        {"gate", {"LOW", "HIGH"}, GateStep},
        {"bandstop", {"LOW_HZ", "HIGH_HZ"}, BandStopStep},
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
