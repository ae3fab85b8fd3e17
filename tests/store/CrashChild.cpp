// Writes N trial rows through Database::Insert, each committed on its own,
// and kills itself with SIGKILL the moment the last Insert returns. The
// parent test then counts what survived.
//
//   store_crash_child sqlite PATH N
//   store_crash_child postgres DBNAME N   (server from KESTRUNE_TEST_POSTGRES_URL)

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "store/Database.h"

using kestrune::store::Database;
using kestrune::store::DatabaseLocation;

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: store_crash_child sqlite|postgres PATH|DBNAME N\n");
        return 1;
    }
    QCoreApplication app(argc, argv);
    const std::string kind = argv[1];
    DatabaseLocation location;
    if (kind == "sqlite") {
        location.sqlitePath = QString::fromLocal8Bit(argv[2]);
    } else {
        QString error;
        auto server =
            DatabaseLocation::FromUrl(qEnvironmentVariable("KESTRUNE_TEST_POSTGRES_URL"), &error);
        if (!server) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        location = *server;
        location.name = QString::fromLocal8Bit(argv[2]);
    }
    const int rows = std::atoi(argv[3]);

    QString error;
    std::unique_ptr<Database> db = Database::Open(location, &error);
    if (!db) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    for (int i = 1; i <= rows; ++i) {
        const auto key = db->Insert(
            QStringLiteral("BasicRecord"), QStringLiteral("BRID"),
            {{QStringLiteral("IIID"), 1},
             {QStringLiteral("SRID"), 1},
             {QStringLiteral("BRTime"), QStringLiteral("2024-05-06 07:08:09")},
             {QStringLiteral("BRDuration"), QStringLiteral("%1").arg(i * 0.25, 3, 'f', 2)},
             {QStringLiteral("BRContent"), QStringLiteral("answer %1").arg(i)},
             {QStringLiteral("BRRecognise"), QStringLiteral("answer %1").arg(i)}});
        if (!key.Ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(key.error->Text()));
            return 3;
        }
    }
    std::raise(SIGKILL);
    return 4;
}
