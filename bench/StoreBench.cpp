// How fast a session can store its answers: trial rows inserted one at a
// time, each committed on its own (as the tests write them), on the
// station's SQLite file in WAL mode with synchronous=FULL. The folder is on
// a real disk (/tmp), not in memory, because the cost of each commit's
// flush is what this measures.
//
// This file also holds the benchmark program's main(): the SQL drivers are
// Qt plugins and need an application object; it is a widgets one because
// the view benchmarks draw through the workspace's views (on the offscreen
// platform unless QT_QPA_PLATFORM names another).

#include <QApplication>

#include <benchmark/benchmark.h>

#include <stdlib.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "store/Database.h"

namespace kestrune::store {
namespace {

constexpr int kTrialRows = 10000;

void BM_InsertTrialRowsEachCommitted(benchmark::State& state) {
    std::string folder = "/tmp/kestrune_store_bench_XXXXXX";
    if (::mkdtemp(folder.data()) == nullptr) {
        state.SkipWithError("cannot create a folder in /tmp");
        return;
    }
    QString error;
    std::unique_ptr<Database> db =
        Database::Open(DatabaseLocation::StationFile(QString::fromStdString(folder)), &error);
    if (!db) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    const QString table = QStringLiteral("BasicRecord");
    const QString key = QStringLiteral("BRID");
    std::int64_t rows = 0;
    for (auto _ : state) {
        for (int i = 0; i < kTrialRows; ++i) {
            const auto inserted =
                db->Insert(table, key,
                           {{QStringLiteral("IIID"), 12},
                            {QStringLiteral("SRID"), 345},
                            {QStringLiteral("BRTime"), QStringLiteral("2024-05-06 07:08:09")},
                            {QStringLiteral("BRDuration"), QStringLiteral("1.25")},
                            {QStringLiteral("BRContent"), QStringLiteral("きゃ")},
                            {QStringLiteral("BRRecognise"), QStringLiteral("きゃ")},
                            {QStringLiteral("BROther"), QString()}});
            if (!inserted.Ok()) {
                state.SkipWithError(inserted.error->Text().toStdString().c_str());
                break;
            }
            ++rows;
        }
    }
    state.counters["rows"] =
        benchmark::Counter(static_cast<double>(rows), benchmark::Counter::kIsRate);
    db.reset();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(BM_InsertTrialRowsEachCommitted)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace kestrune::store

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
