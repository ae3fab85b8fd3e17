// Registers the same subject name N times, each time with this process's
// marker as the description, and checks that the key each registration
// returned names a row carrying that marker (and not another process's
// row of the same name). Prints "registered=N mixed=K"; exit status 0 when
// no key was mixed up, 1 when one was, 2 when the database failed.
//
//   store_register_child DATABASE-URL NAME MARKER N

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

#include "store/Database.h"
#include "store/Registry.h"

using namespace kestrune::store;

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QString error = "usage: store_register_child DATABASE-URL NAME MARKER N";
    const auto location = argc == 5 ? DatabaseLocation::FromUrl(argv[1], &error) : std::nullopt;
    const std::unique_ptr<Database> db = location ? Database::Open(*location, &error) : nullptr;
    if (!db) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }
    SubjectRegistry subjects(*db);
    const QString name = QString::fromUtf8(argv[2]);
    const QString marker = QString::fromUtf8(argv[3]);
    const int count = std::atoi(argv[4]);
    int mixed = 0;
    for (int i = 0; i < count; ++i) {
        const auto key = subjects.Add({0, name, 'F', 1980, 0, 0, marker});
        const auto row = key.Ok() ? subjects.Load(key.value) : decltype(subjects.Load(0)){};
        if (!key.Ok() || !row.Ok()) {
            std::fprintf(stderr, "%s\n", qPrintable((key.Ok() ? row.error : key.error)->Text()));
            return 2;
        }
        if (!row.value || row.value->description != marker || row.value->name != name) ++mixed;
    }
    std::printf("registered=%d mixed=%d\n", count, mixed);
    return mixed == 0 ? 0 : 1;
}
