#include "cli/SignalCommands.h"

#include <cstdint>
#include <map>
#include <ostream>

#include "cli/Commands.h"
#include "core/dsp/AvgSpectrum.h"
#include "core/dsp/Generators.h"
#include "core/util/Random.h"
#include "core/wave/WaveFile.h"
#include "core/wave/WaveSet.h"

namespace kestrune::cli {

namespace {

/**
 * Reads the words from `first` on as "--name VALUE" pairs of whole numbers
 * into the named fields. False, with a one-line reason on `err`, for an
 * unknown name, a missing value or a value that is not a whole number.
 */
bool ReadOptions(const std::vector<std::string>& args, std::size_t first,
                 const std::map<std::string, int32_t*>& fields, const char* command,
                 std::ostream& err) {
    for (std::size_t i = first; i < args.size(); i += 2) {
        const auto field = fields.find(args[i]);
        if (field == fields.end()) {
            err << "kestrune-cli: " << command << ": unknown option '" << args[i] << "'\n";
            return false;
        }
        if (i + 1 >= args.size() || !ParseNumber(args[i + 1], *field->second)) {
            err << "kestrune-cli: " << command << ": " << args[i] << " needs a whole number\n";
            return false;
        }
    }
    return true;
}

// Runs a generator on an empty set at `rate` and writes wave 0 to `path`.
template <typename Generate>
int GenerateInto(const std::string& path, int32_t rate, const char* command, std::ostream& err,
                 Generate generate) {
    if (rate < 1) {
        err << "kestrune-cli: " << command << ": --rate must be positive\n";
        return kExitUsage;
    }
    WaveSet set;
    set.SetSampleRate(static_cast<uint32_t>(rate));
    const Outcome outcome = generate(set);
    if (!outcome.warning.empty()) err << outcome.warning << '\n';
    if (!outcome.ok) {
        err << outcome.message << '\n';
        return kExitFailed;
    }
    if (!WriteWaveFile(path, set.format, set.samples[0].data(), set.sampleCounts[0])) {
        err << "kestrune-cli: " << command << ": cannot write '" << path << "'\n";
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

int GenerateSineCommand(const std::vector<std::string>& args, std::ostream& /*out*/,
                        std::ostream& err) {
    generators::SineSettings s;
    int32_t rate = 44100;
    const std::map<std::string, int32_t*> fields = {
        {"--rate", &rate},           {"--before", &s.before},
        {"--begin", &s.beginHz},     {"--begin-hold", &s.beginHold},
        {"--change", &s.changeTime}, {"--end", &s.endHz},
        {"--end-hold", &s.endHold},  {"--after", &s.after}};
    if (!ReadOptions(args, 1, fields, "generate sine", err)) return kExitUsage;
    return GenerateInto(args[0], rate, "generate sine", err,
                        [&](WaveSet& set) { return generators::SinGenerator(set, s); });
}

int GenerateMixCommand(const std::vector<std::string>& args, std::ostream& /*out*/,
                       std::ostream& err) {
    generators::MixSettings s;
    s.descriptionPath = args[0];
    int32_t rate = 44100, seed = 1;
    const std::map<std::string, int32_t*> fields = {
        {"--rate", &rate},     {"--before", &s.before}, {"--interval", &s.interval},
        {"--after", &s.after}, {"--plays", &s.plays},   {"--seed", &seed}};
    if (!ReadOptions(args, 2, fields, "generate mix", err)) return kExitUsage;
    CrtRandom random(static_cast<uint32_t>(seed));
    return GenerateInto(args[1], rate, "generate mix", err,
                        [&](WaveSet& set) { return generators::MixGenerator(set, s, random); });
}

int SpectrumCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    int32_t frame = 2048, shift = 128;
    if (!ReadOptions(args, 1, {{"--frame", &frame}, {"--shift", &shift}}, "spectrum", err))
        return kExitUsage;
    if (frame < 2 || frame > 65536 || shift < 1) {
        err << "kestrune-cli: spectrum: --frame must be 2 ... 65536 and --shift positive\n";
        return kExitUsage;
    }
    const dsp::AveragedSpectrum spectrum = dsp::FileAverageSpectrum(args[0], frame, shift);
    if (!spectrum.Ok()) {
        err << spectrum.message << '\n';
        return kExitFailed;
    }
    WaveHeaderResult header = ReadWaveHeader(args[0]);
    const int rate = header.Ok() ? static_cast<int>(header.info.format.sampleRate) : 0;
    out << dsp::SpectrumCsv({spectrum}, {args[0]}, frame, rate);
    return kExitOk;
}

}  // namespace kestrune::cli
