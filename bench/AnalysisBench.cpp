// How long the kana data analysis takes on a station database holding
// 100 000 trial rows (1 000 items of 100 trials each, a third of them played
// お), on SQLite in a real folder. The rows are written once, before the
// first run, in batches of 100 per statement.

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <system_error>

#include "core/kana/KanaTable.h"
#include "store/Database.h"
#include "store/KanaQueries.h"

namespace kestrune::store {
namespace {

constexpr int kItems = 1000;
constexpr int kTrialsPerItem = 100;
constexpr int kRowsPerStatement = 100;

class TrialDatabase {
  public:
    static TrialDatabase& Get() {
        static TrialDatabase made;
        return made;
    }
    ~TrialDatabase() {
        db.reset();
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }

    std::unique_ptr<Database> db;
    std::string error;

  private:
    TrialDatabase() {
        folder_ = "/tmp/kestrune_analysis_bench_XXXXXX";
        if (::mkdtemp(folder_.data()) == nullptr) {
            error = "cannot create a folder in /tmp";
            return;
        }
        QString reason;
        db =
            Database::Open(DatabaseLocation::StationFile(QString::fromStdString(folder_)), &reason);
        if (!db) {
            error = reason.toStdString();
            return;
        }
        std::mt19937 random(1);
        for (int item = 1; item <= kItems && error.empty(); ++item) {
            Run({QStringLiteral("INSERT INTO StatisticalRecord (SRID, IIID, SRType, SRNumber, "
                                "SRDutycycle, SRValidity) VALUES (?, ?, 2, ?, ?, ?)"),
                 {item, 1 + item % 20, kTrialsPerItem, 0.25 * (item % 4), item % 5 ? 1 : 0}});
            for (int first = 0; first < kTrialsPerItem && error.empty();
                 first += kRowsPerStatement) {
                Statement insert{QStringLiteral("INSERT INTO BasicRecord (IIID, SRID, BRTime, "
                                                "BRDuration, BRContent, BRRecognise) VALUES "),
                                 {}};
                for (int i = 0; i < kRowsPerStatement; ++i) {
                    const QString played = QString::fromStdString(
                        random() % 3 == 0 ? std::string("お")
                                          : SyllableToKana(1 + random() % kKanaCount));
                    const QString answered =
                        random() % 2 ? played
                                     : QString::fromStdString(SyllableToKana(random() % 106));
                    insert.sql += (i ? QStringLiteral(",") : QString()) +
                                  QStringLiteral("(?, ?, ?, ?, ?, ?)");
                    insert.values << 1 + item % 20 << item << QStringLiteral("2024-05-01 10:00:00")
                                  << 1.5 << played << answered;
                }
                Run(insert);
            }
        }
    }

    void Run(const Statement& statement) {
        const DbResult<Done> done = db->Execute(statement);
        if (!done.Ok()) error = done.error->Text().toStdString();
    }

    std::string folder_;
};

void RunAnalysis(benchmark::State& state, KanaAnalysisKind kind) {
    TrialDatabase& trials = TrialDatabase::Get();
    if (!trials.error.empty()) {
        state.SkipWithError(trials.error.c_str());
        return;
    }
    KanaAnalysisRequest request;
    request.kind = kind;
    request.kana = QStringLiteral("お");
    for (auto _ : state) {
        const KanaAnalysisOutcome outcome = RunKanaAnalysis(*trials.db, request);
        if (outcome.status != KanaAnalysisOutcome::Status::Done) {
            state.SkipWithError(outcome.message.toStdString().c_str());
            break;
        }
        benchmark::DoNotOptimize(outcome.table.rows.data());
    }
    state.counters["trial_rows"] = kItems * kTrialsPerItem;
}

void BM_KanaDataAnalysis100kTrials(benchmark::State& state) {
    RunAnalysis(state, KanaAnalysisKind::Data);
}
BENCHMARK(BM_KanaDataAnalysis100kTrials)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_KanaRowAnalysis100kTrials(benchmark::State& state) {
    RunAnalysis(state, KanaAnalysisKind::Row);
}
BENCHMARK(BM_KanaRowAnalysis100kTrials)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace kestrune::store
