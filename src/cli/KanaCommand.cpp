#include "cli/KanaCommand.h"

#include <map>
#include <memory>
#include <ostream>

#include "cli/AnalyseOutput.h"
#include "cli/DatabaseAccess.h"
#include "store/KanaQueries.h"

namespace kestrune::cli {
namespace {

// `kind` is the analysis; the played kana is the data analysis's one argument.
int Analyse(const Invocation& in, store::KanaAnalysisKind kind) {
    const bool data = kind == store::KanaAnalysisKind::Data;
    const std::string command =
        data ? "analyse kana"
             : (kind == store::KanaAnalysisKind::Segment ? "analyse segment" : "analyse row");
    std::map<std::string, std::string> values;
    std::string outPath;
    if (!ReadAnalyseOptions(in.args, data ? 1 : 0, {"--duty-from", "--duty-to", "--where"}, command,
                            &values, &outPath, in.err))
        return kExitUsage;
    store::KanaAnalysisRequest request;
    request.kind = kind;
    std::string sheet = command.substr(std::string("analyse ").size());
    if (data) {
        request.kana = QString::fromStdString(in.args.at(0));
        sheet += " " + in.args.at(0);
    }
    const auto value = [&values](const char* name) {
        const auto found = values.find(name);
        return found == values.end() ? std::optional<QString>()
                                     : QString::fromStdString(found->second);
    };
    request.dutyFrom = value("--duty-from").value_or(QString());
    request.dutyTo = value("--duty-to").value_or(QString());
    if (const auto where = value("--where")) request.other = *where;

    std::optional<store::DatabaseLocation> location;
    const std::unique_ptr<store::Database> db = OpenDatabase(in, &location);
    if (!db) return kExitFailed;
    const store::KanaAnalysisOutcome outcome = store::RunKanaAnalysis(*db, request);
    if (outcome.status != store::KanaAnalysisOutcome::Status::Done) {
        const bool refused = outcome.status == store::KanaAnalysisOutcome::Status::Refused;
        in.err << (refused ? "kestrune-cli: " + command + ": " : std::string())
               << outcome.message.toStdString() << '\n';
        return kExitFailed;
    }
    return WriteAnalysisTable(in, outcome.table, outPath, sheet);
}

}  // namespace

int AnalyseKanaCommand(const Invocation& in) {
    return WithQtApplication(
        in, [](const Invocation& i) { return Analyse(i, store::KanaAnalysisKind::Data); });
}

int AnalyseSegmentCommand(const Invocation& in) {
    return WithQtApplication(
        in, [](const Invocation& i) { return Analyse(i, store::KanaAnalysisKind::Segment); });
}

int AnalyseRowCommand(const Invocation& in) {
    return WithQtApplication(
        in, [](const Invocation& i) { return Analyse(i, store::KanaAnalysisKind::Row); });
}

}  // namespace kestrune::cli
