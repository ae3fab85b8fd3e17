// Writes N trial rows through Database::Insert, each committed on its own,
// and kills itself with SIGKILL the moment the last Insert returns. The
// parent test then counts what survived.
//
//   store_crash_child DATABASE-URL N

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <cstdlib>

#include "store/Database.h"

using namespace kestrune::store;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString error = "usage: store_crash_child DATABASE-URL N";
    const auto location = argc == 3 ? DatabaseLocation::FromUrl(argv[1], &error) : std::nullopt;
    const std::unique_ptr<Database> db = location ? Database::Open(*location, &error) : nullptr;
    if (!db) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    for (int i = 1; i <= std::atoi(argv[2]); ++i) {
        const auto key = db->Insert("BasicRecord", "BRID",
                                    {{"IIID", 1},
                                     {"SRID", 1},
                                     {"BRTime", "2024-05-06 07:08:09"},
                                     {"BRDuration", QString::number(i * 0.25, 'f', 2)},
                                     {"BRContent", QString("answer %1").arg(i)},
                                     {"BRRecognise", QString("answer %1").arg(i)}});
        if (!key.Ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(key.error->Text()));
            return 3;
        }
    }
    std::raise(SIGKILL);
    return 4;
}
