#include "cli/IntermittentCommands.h"

#include <map>
#include <memory>
#include <optional>
#include <ostream>

#include "cli/AnalyseOutput.h"
#include "cli/DatabaseAccess.h"
#include "store/IntermittentQueries.h"

namespace kestrune::cli {
namespace {

int Refuse(const Invocation& in, const std::string& command, const std::string& reason) {
    in.err << "kestrune-cli: " << command << ": " << reason << '\n';
    return kExitUsage;
}

std::string Value(const std::map<std::string, std::string>& values, const std::string& name) {
    const auto found = values.find(name);
    return found == values.end() ? std::string() : found->second;
}

int Intermittent(const Invocation& in) {
    const std::string command = "analyse intermittent";
    std::map<std::string, std::string> values;
    std::string outPath;
    if (!ReadAnalyseOptions(in.args, 0, {"--duty", "--age-from", "--age-to"}, command, &values,
                            &outPath, in.err))
        return kExitUsage;
    analysis::IntermittentFilter filter;
    std::string error;
    if (!analysis::ReadIntermittentFilter(Value(values, "--duty"), Value(values, "--age-from"),
                                          Value(values, "--age-to"), &filter, &error))
        return Refuse(in, command, error);
    std::optional<store::DatabaseLocation> location;
    const std::unique_ptr<store::Database> db = OpenDatabase(in, &location);
    if (!db) return kExitFailed;
    const auto trials = store::ReadIntermittentTrials(*db, filter);
    if (!trials.Ok()) {
        in.err << trials.error->Text().toStdString() << '\n';
        return kExitFailed;
    }
    const analysis::RecognitionCount count = analysis::CountRecognised(trials.value);
    if (count.total == 0) in.err << analysis::kNoResultCollected << '\n';
    return WriteAnalysisTable(in, analysis::IntermittentTable(count), outPath, "Intermittent");
}

int Training(const Invocation& in) {
    const std::string command = "analyse training";
    std::map<std::string, std::string> values;
    std::string outPath;
    if (!ReadAnalyseOptions(in.args, 0, {"--subject", "--step"}, command, &values, &outPath,
                            in.err))
        return kExitUsage;
    for (const char* required : {"--subject", "--step"}) {
        if (values.count(required) == 0)
            return Refuse(in, command, std::string(required) + " is missing");
    }
    std::int64_t subject = 0;
    int step = 0;
    std::string error;
    if (!analysis::ReadTrainingParameters(values["--subject"], values["--step"], &subject, &step,
                                          &error))
        return Refuse(in, command, error);
    std::optional<store::DatabaseLocation> location;
    const std::unique_ptr<store::Database> db = OpenDatabase(in, &location);
    if (!db) return kExitFailed;
    const auto inputs = store::ReadTrainingInputs(*db, subject, step);
    if (!inputs.Ok()) {
        in.err << inputs.error->Text().toStdString() << '\n';
        return kExitFailed;
    }
    const analysis::TrainingOutcome outcome = analysis::AnalyseTraining(inputs.value, step);
    for (const std::string& message : outcome.messages) in.err << message << '\n';
    return WriteAnalysisTable(in, outcome.table, outPath, "Training");
}

}  // namespace

int AnalyseIntermittentCommand(const Invocation& in) {
    return WithQtApplication(in, Intermittent);
}

int AnalyseTrainingCommand(const Invocation& in) {
    return WithQtApplication(in, Training);
}

}  // namespace kestrune::cli
