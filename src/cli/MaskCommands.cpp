#include "cli/MaskCommands.h"

#include <cstdio>
#include <map>
#include <ostream>
#include <string>

#include "cli/AnalyseOutput.h"
#include "cli/DatabaseAccess.h"
#include "core/analysis/MaskAnalysis.h"
#include "store/MaskQueries.h"

namespace kestrune::cli {
namespace {

using analysis::MaskAnalysisKind;

// The spectrum settings the main window starts with.
constexpr int kDefaultFrame = 2048;
constexpr int kDefaultShift = 128;

std::string CommandName(const char* word) {
    return std::string("analyse mask ") + word;
}

// --frame and --shift (and any other whole-number option): false after a message.
bool ReadInt(const std::map<std::string, std::string>& values, const std::string& name,
             int fallback, int minimum, const std::string& command, std::ostream& err, int* value) {
    *value = fallback;
    const auto found = values.find(name);
    if (found == values.end()) return true;
    if (!ParseNumber(found->second, *value) || *value < minimum) {
        err << "kestrune-cli: " << command << ": " << name << " needs a whole number of at least "
            << minimum << ", not '" << found->second << "'\n";
        return false;
    }
    return true;
}

std::string ValueOr(const std::map<std::string, std::string>& values, const std::string& name,
                    const std::string& fallback) {
    const auto found = values.find(name);
    return found == values.end() ? fallback : found->second;
}

// The run shared by the five analyses; the kind is told through a static
// because WithQtApplication takes a plain function.
MaskAnalysisKind runningKind = MaskAnalysisKind::AverageDe;

const char* WordOf(MaskAnalysisKind kind) {
    switch (kind) {
        case MaskAnalysisKind::AverageDe:
            return "average";
        case MaskAnalysisKind::TryB:
            return "b";
        case MaskAnalysisKind::TryA:
            return "a";
        case MaskAnalysisKind::TryDeviation:
            return "deviation";
        case MaskAnalysisKind::SubjectDe:
            return "de";
    }
    return "";
}

int RunAnalysis(const Invocation& in) {
    const MaskAnalysisKind kind = runningKind;
    const std::string command = CommandName(WordOf(kind));
    std::vector<std::string> known{"--frame", "--shift", "--vowels"};
    if (kind == MaskAnalysisKind::AverageDe) known.insert(known.end(), {"--age-from", "--age-to"});
    if (kind == MaskAnalysisKind::SubjectDe) known.push_back("--subject");
    std::map<std::string, std::string> values;
    std::string outPath;
    if (!ReadAnalyseOptions(in.args, 0, known, command, &values, &outPath, in.err))
        return kExitUsage;
    analysis::MaskRunInput input;
    input.kind = kind;
    if (!ReadInt(values, "--frame", kDefaultFrame, 16, command, in.err, &input.frameLength) ||
        !ReadInt(values, "--shift", kDefaultShift, 1, command, in.err, &input.shift))
        return kExitUsage;
    if (kind == MaskAnalysisKind::SubjectDe && !values.count("--subject")) {
        in.err << "kestrune-cli: " << command << ": --subject ID is needed\n";
        return kExitUsage;
    }
    input.vowelFolder = ValueOr(values, "--vowels", analysis::VowelFolder(in.options.station));
    store::MaskQueryParams params;
    params.ageFrom = QString::fromStdString(ValueOr(values, "--age-from", "1978"));
    params.ageTo = QString::fromStdString(ValueOr(values, "--age-to", "1987"));
    params.subject = QString::fromStdString(ValueOr(values, "--subject", ""));
    input.subject = params.subject.toStdString();

    // Refuse bad numbers before connecting.
    const auto check = store::MaskAverageStatement(store::QueryOf(kind), params,
                                                   QStringLiteral("あ"), QStringLiteral("い"));
    if (!check.Ok()) {
        in.err << "kestrune-cli: " << command << ": " << check.error->message.toStdString() << '\n';
        return kExitFailed;
    }
    std::optional<store::DatabaseLocation> location;
    const std::unique_ptr<store::Database> db = OpenDatabase(in, &location);
    if (!db) return kExitFailed;
    const auto averages = store::MaskPairAverages(*db, store::QueryOf(kind), params);
    if (!averages.Ok()) {
        in.err << averages.error->Text().toStdString() << '\n';
        return kExitFailed;
    }
    input.averages = averages.value;
    const analysis::MaskRunResult result = analysis::RunMaskAnalysis(input);
    for (const std::string& line : result.log) in.err << line << '\n';
    if (!result.Ok()) {
        in.err << "kestrune-cli: " << command << ": " << result.message << '\n';
        return kExitFailed;
    }
    return WriteAnalysisTable(in, result.table, outPath, analysis::kMaskSheet);
}

int Start(const Invocation& in, MaskAnalysisKind kind) {
    runningKind = kind;
    return WithQtApplication(in, RunAnalysis);
}

}  // namespace

int MaskAverageCommand(const Invocation& in) {
    return Start(in, MaskAnalysisKind::AverageDe);
}
int MaskTryBCommand(const Invocation& in) {
    return Start(in, MaskAnalysisKind::TryB);
}
int MaskTryACommand(const Invocation& in) {
    return Start(in, MaskAnalysisKind::TryA);
}
int MaskDeviationCommand(const Invocation& in) {
    return Start(in, MaskAnalysisKind::TryDeviation);
}
int MaskSubjectCommand(const Invocation& in) {
    return Start(in, MaskAnalysisKind::SubjectDe);
}

int MaskConfirmCommand(const Invocation& in) {
    const std::string command = "analyse mask confirm";
    std::map<std::string, std::string> values;
    std::string outPath;
    if (!ReadAnalyseOptions(
            in.args, 0,
            {"--masking", "--masked", "--masking-level", "--masked-level", "--frame", "--shift"},
            command, &values, &outPath, in.err))
        return kExitUsage;
    analysis::ConfirmInput input;
    input.maskingPath = ValueOr(values, "--masking", analysis::VowelPath(in.options.station, 3));
    input.maskedPath = ValueOr(values, "--masked", analysis::VowelPath(in.options.station, 2));
    if (!ReadInt(values, "--frame", kDefaultFrame, 16, command, in.err, &input.frameLength) ||
        !ReadInt(values, "--shift", kDefaultShift, 1, command, in.err, &input.shift) ||
        !ReadInt(values, "--masking-level", 60, -200, command, in.err, &input.maskingLevel) ||
        !ReadInt(values, "--masked-level", 60, -200, command, in.err, &input.maskedLevel))
        return kExitUsage;
    const analysis::ConfirmResult confirmed = analysis::Confirm(input);
    if (!confirmed.Ok()) {
        in.err << "kestrune-cli: " << command << ": " << confirmed.message << '\n';
        return kExitFailed;
    }
    const analysis::MaskSpectra& s = confirmed.spectra;
    analysis::ResultTable table;
    table.captions = {"band", "centre Hz", "masking band dB"};
    for (int b = 0; b < analysis::kCriticalBandCount; ++b) {
        const auto& level = s.bandLevels[static_cast<std::size_t>(b)];
        table.rows.push_back({std::to_string(b + 1),
                              std::to_string(analysis::CriticalBandCentre(b)),
                              level ? analysis::FormatF(*level) : ""});
    }
    in.err << "masking=" << analysis::VowelName(s.maskingVowel)
           << " masked=" << analysis::VowelName(s.maskedVowel)
           << " df=" << analysis::FormatF(s.binWidth) << " f0=" << s.f0 << '\n';
    return WriteAnalysisTable(in, table, outPath, "Bands");
}

}  // namespace kestrune::cli
