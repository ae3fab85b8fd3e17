// A station's database opened the way kestrune-cli opens it, for tests that
// fill it before running a command.
#pragma once

#include <QCoreApplication>
#include <QString>

#include <gtest/gtest.h>

#include <string>

#include "store/Database.h"

namespace kestrune::testing {

/** Opens the database of the station folder `station` (with the Qt
 *  application object the SQL drivers need) and hands it to `fill`. */
template <class Fill>
void WithStationDatabase(const std::string& station, Fill fill) {
    int argc = 1;
    char name[] = "cli_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    QString error;
    auto db = store::Database::Open(
        store::DatabaseLocation::StationFile(QString::fromStdString(station)), &error);
    ASSERT_TRUE(db) << error.toStdString();
    fill(*db);
}

}  // namespace kestrune::testing
