// store_register_child DATABASE-URL NAME MARKER N: registers NAME N times, each
// key to name its own row (MARKER); exit 1 on a mix-up, 2 on a database failure.

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
    std::optional<DbError> failed;
    int mixed = 0;
    for (int i = 0; db && !failed && i < std::atoi(argv[4]); ++i) {
        SubjectRegistry subjects(*db);
        const auto key = subjects.Add({0, argv[2], 'F', 1980, 0, 0, argv[3]});
        const auto row = key.Ok() ? subjects.Load(key.value) : decltype(subjects.Load(0)){};
        if (!key.Ok() || !row.Ok()) failed = key.Ok() ? row.error : key.error;
        if (row.Ok() &&
            (!row.value || row.value->description != argv[3] || row.value->name != argv[2]))
            ++mixed;
    }
    if (!db || failed) {
        std::fprintf(stderr, "%s\n", qPrintable(failed ? failed->Text() : error));
        return 2;
    }
    std::printf("registered=%s mixed=%d\n", argv[4], mixed);
    return mixed == 0 ? 0 : 1;
}
