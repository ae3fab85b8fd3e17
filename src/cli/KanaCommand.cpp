#include "cli/KanaCommand.h"

#include <map>
#include <memory>
#include <ostream>

#include "cli/AnalyseOutput.h"
#include "cli/DatabaseAccess.h"
#include "store/KanaQueries.h"

namespace kestrune::cli {
namespace {

constexpr const char* kCommand = "analyse kana";

int Analyse(const Invocation& in) {
    std::map<std::string, std::string> values;
    std::string outPath;
    if (!ReadAnalyseOptions(in.args, 1, {"--duty-from", "--duty-to", "--where"}, kCommand, &values,
                            &outPath, in.err))
        return kExitUsage;
    store::KanaAnalysisRequest request;
    const std::string& what = in.args.at(0);
    std::string sheet = "kana " + what;
    if (what == "segment") {
        request.kind = store::KanaAnalysisKind::Segment;
    } else if (what == "row") {
        request.kind = store::KanaAnalysisKind::Row;
    } else {
        request.kind = store::KanaAnalysisKind::Data;
        request.kana = QString::fromStdString(what);
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
        in.err << (refused ? std::string("kestrune-cli: ") + kCommand + ": " : std::string())
               << outcome.message.toStdString() << '\n';
        return kExitFailed;
    }
    return WriteAnalysisTable(in, outcome.table, outPath, sheet);
}

}  // namespace

int AnalyseKanaCommand(const Invocation& in) {
    return WithQtApplication(in, Analyse);
}

}  // namespace kestrune::cli
