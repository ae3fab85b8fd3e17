// The practice subject: a new database gives key 1 to a subject row of its
// own before anybody registers, because the practice runs store their
// answers under subject 1. A database brought up from schema version 1
// gets that row only when it has no subjects; one that has subjects keeps
// them and their keys exactly as they are.

#include <gtest/gtest.h>

#include "StoreFixture.h"
#include "store/Dialect.h"
#include "store/Registry.h"
#include "store/Schema.h"

namespace kestrune::store::testing {
namespace {

const QString kPracticeRow = "1|PRACTICE|NULL|NULL|NULL|NULL|練習用（被験者ではありません）";

// Every IndividualInfo row in key order, its columns joined by "|" with
// NULL for no value, so whole rows are compared at once.
QStringList SubjectRows(Database& db) {
    QStringList rows;
    for (const Row& row : Rows(db, "SELECT * FROM IndividualInfo ORDER BY IIID")) {
        QStringList fields;
        for (const char* column :
             {"IIID", "IIName", "IISex", "IIAge", "IIHanduse", "IIEducation", "IIDescription"}) {
            fields << (row.IsNull(column) ? QStringLiteral("NULL") : row.Text(column));
        }
        rows << fields.join('|');
    }
    return rows;
}

qint64 AddSubject(Database& db, const QString& name) {
    return Must(SubjectRegistry(db).Add({0, name, 'M', 1970, 0, 12, QString()}));
}

TEST_P(StoreTest, ANewDatabaseHoldsOnlyThePracticeSubjectAndRegistersFromKeyTwo) {
    {
        auto db = Open();
        ASSERT_TRUE(db);
        EXPECT_EQ(SubjectRows(*db), QStringList{kPracticeRow});
        // Both ways of adding a subject go on after the practice subject.
        EXPECT_EQ(AddSubject(*db, "Aoki"), 2);
        EXPECT_EQ(Must(db->Insert("IndividualInfo", "IIID", {{"IIName", "Baba"}})), 3);
    }
    // Opening it again adds nothing and changes nothing.
    auto db = Open();
    ASSERT_TRUE(db);
    EXPECT_EQ(SubjectRows(*db), QStringList({kPracticeRow, "2|Aoki|M|1970|0|12|",
                                             "3|Baba|NULL|NULL|NULL|NULL|NULL"}));
    EXPECT_EQ(Count(*db, "KestruneSchema"), 1);
}

// Databases made before the current schema, through a plain connection so
// that the store's migration has not run yet.
struct OlderDatabase {
    const char* what;
    bool versionOne;  // the tables of version 1's step with that version recorded
    QStringList statements;
    QStringList subjects;  // after the first Open
    qint64 nextKey;        // the next subject's key (0: not tried)
};

const OlderDatabase kOlder[] = {
    // Key 1 is free again, yet no practice row may appear there or anywhere;
    // the key counter carries on where version 1 left it.
    {"version 1 with subjects",
     true,
     {"INSERT INTO IndividualInfo (IIName, IISex) VALUES ('Aoki', 'M')",
      "INSERT INTO IndividualInfo (IIName, IISex) VALUES ('Baba', 'F')",
      "INSERT INTO IndividualInfo (IIName, IIAge) VALUES ('Chiba', 1950)",
      "DELETE FROM IndividualInfo WHERE IIName = 'Aoki'",
      "INSERT INTO BasicRecord (IIID, BRContent) VALUES (2, 'kept')"},
     {"2|Baba|F|NULL|NULL|NULL|NULL", "3|Chiba|NULL|1950|NULL|NULL|NULL"},
     4},
    {"version 1 without subjects",
     true,
     {"INSERT INTO BasicRecord (IIID, BRContent) VALUES (1, 'kept')"},
     {kPracticeRow},
     2},
    // The practice row takes key 1; no removed subject's key is given again.
    {"version 1 with every subject removed",
     true,
     {"INSERT INTO IndividualInfo (IIName) VALUES ('Aoki')",
      "INSERT INTO IndividualInfo (IIName) VALUES ('Baba')",
      "INSERT INTO IndividualInfo (IIName) VALUES ('Chiba')", "DELETE FROM IndividualInfo",
      "INSERT INTO BasicRecord (IIID, BRContent) VALUES (3, 'kept')"},
     {kPracticeRow},
     4},
    // Adopted tables made by hand (no version record), with their rows.
    {"a hand-made subject table with a subject",
     false,
     {"CREATE TABLE IndividualInfo (IIID INTEGER PRIMARY KEY, IIName TEXT, IISex TEXT, "
      "IIAge INTEGER, IIHanduse INTEGER, IIEducation INTEGER, IIDescription TEXT)",
      "INSERT INTO IndividualInfo (IIID, IIName) VALUES (41, 'Kept')"},
     {"41|Kept|NULL|NULL|NULL|NULL|NULL"},
     0},
    // The same without auto-numbering (IIID a plain key) and no subject.
    {"a hand-made subject table without auto-numbering",
     false,
     {"CREATE TABLE IndividualInfo (IIID INTEGER PRIMARY KEY NOT NULL, IIName TEXT, IISex TEXT, "
      "IIAge INTEGER, IIHanduse INTEGER, IIEducation INTEGER, IIDescription TEXT)"},
     {kPracticeRow},
     0},
};

TEST_P(StoreTest, AnOlderDatabaseGetsThePracticeSubjectOnlyWithoutSubjects) {
    for (const OlderDatabase& older : kOlder) {
        SCOPED_TRACE(older.what);
        if (&older != kOlder) NewDatabase();  // a database of its own for each
        QStringList statements;
        if (older.versionOne) {
            statements = MigrationStep(1, Dialect::For(Location().engine));
            statements << QStringLiteral("CREATE TABLE %1 (version INTEGER NOT NULL)")
                              .arg(QLatin1String(kVersionTable))
                       << QStringLiteral("INSERT INTO %1 (version) VALUES (1)")
                              .arg(QLatin1String(kVersionTable));
        }
        {
            RawConnection raw(Location());
            for (const QString& sql : statements + older.statements) {
                ASSERT_TRUE(raw.Exec(sql)) << S(sql) << ": " << S(raw.LastError());
            }
        }
        {
            auto db = Open();
            ASSERT_TRUE(db);
            EXPECT_EQ(db->SchemaVersion(), CurrentSchemaVersion());
            EXPECT_EQ(SubjectRows(*db), older.subjects);
            if (older.nextKey != 0) {
                EXPECT_EQ(AddSubject(*db, "Daido"), older.nextKey);
            }
        }
        RawConnection raw(Location());
        EXPECT_EQ(raw.Scalar("SELECT COUNT(*) FROM KestruneSchema").toInt(), 1);
        EXPECT_EQ(raw.Scalar("SELECT COUNT(*) FROM IndividualInfo").toInt(),
                  older.subjects.size() + (older.nextKey != 0));
        if (older.versionOne) {
            EXPECT_EQ(raw.Scalar("SELECT BRContent FROM BasicRecord").toString(), "kept");
        }
    }
}

}  // namespace
}  // namespace kestrune::store::testing
