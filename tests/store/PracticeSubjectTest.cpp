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

const QString kPracticeRow =
    QStringLiteral("1|PRACTICE|NULL|NULL|NULL|NULL|練習用（被験者ではありません）");

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

// A database as this program left it at schema version 1: the tables made by
// version 1's step, that version recorded, and then `rows` written. All
// through a plain connection, so the store's migration has not run yet.
void MakeVersionOne(const DatabaseLocation& location, const QStringList& rows) {
    RawConnection raw(location);
    ASSERT_TRUE(raw.IsOpen()) << S(raw.LastError());
    QStringList statements = MigrationStep(1, Dialect::For(location.engine));
    statements
        << QStringLiteral("CREATE TABLE %1 (version INTEGER NOT NULL)")
               .arg(QLatin1String(kVersionTable))
        << QStringLiteral("INSERT INTO %1 (version) VALUES (1)").arg(QLatin1String(kVersionTable))
        << rows;
    for (const QString& sql : statements) {
        ASSERT_TRUE(raw.Exec(sql)) << S(sql) << ": " << S(raw.LastError());
    }
}

TEST_P(StoreTest, ANewDatabaseHoldsOnlyThePracticeSubjectAndRegistersFromKeyTwo) {
    {
        auto db = Open();
        ASSERT_TRUE(db);
        EXPECT_EQ(db->SchemaVersion(), CurrentSchemaVersion());
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

TEST_P(StoreTest, AVersionOneDatabaseWithSubjectsKeepsThemAndTheirKeys) {
    // Three subjects registered at version 1, the first of them removed
    // again: key 1 is free, yet no practice row may appear there or anywhere.
    MakeVersionOne(Location(), {"INSERT INTO IndividualInfo (IIName, IISex) VALUES ('Aoki', 'M')",
                                "INSERT INTO IndividualInfo (IIName, IISex) VALUES ('Baba', 'F')",
                                "INSERT INTO IndividualInfo (IIName, IIAge) VALUES ('Chiba', 1950)",
                                "DELETE FROM IndividualInfo WHERE IIName = 'Aoki'",
                                "INSERT INTO TestRecord (IIID, TRContent) VALUES (2, 'answer')"});
    if (HasFatalFailure()) return;
    const QStringList before = {"2|Baba|F|NULL|NULL|NULL|NULL", "3|Chiba|NULL|1950|NULL|NULL|NULL"};
    {
        auto db = Open();
        ASSERT_TRUE(db);
        EXPECT_EQ(db->SchemaVersion(), CurrentSchemaVersion());
        EXPECT_EQ(SubjectRows(*db), before);
        EXPECT_EQ(Scalar(*db, "SELECT IIID FROM TestRecord").toLongLong(), 2);
        // The key counter carries on where version 1 left it.
        EXPECT_EQ(AddSubject(*db, "Daido"), 4);
    }
    RawConnection raw(Location());
    ASSERT_TRUE(raw.IsOpen()) << S(raw.LastError());
    EXPECT_EQ(raw.Scalar("SELECT version FROM KestruneSchema").toInt(), CurrentSchemaVersion());
    EXPECT_EQ(raw.Scalar("SELECT COUNT(*) FROM KestruneSchema").toInt(), 1);
    EXPECT_EQ(raw.Scalar("SELECT COUNT(*) FROM IndividualInfo").toInt(), 3);
}

TEST_P(StoreTest, AVersionOneDatabaseWithoutSubjectsGetsThePracticeSubject) {
    MakeVersionOne(Location(), {"INSERT INTO BasicRecord (IIID, BRContent) VALUES (1, 'kept')"});
    if (HasFatalFailure()) return;
    {
        auto db = Open();
        ASSERT_TRUE(db);
        EXPECT_EQ(db->SchemaVersion(), CurrentSchemaVersion());
        EXPECT_EQ(SubjectRows(*db), QStringList{kPracticeRow});
        EXPECT_EQ(Scalar(*db, "SELECT BRContent FROM BasicRecord").toString(), "kept");
        EXPECT_EQ(AddSubject(*db, "Aoki"), 2);
    }
    auto db = Open();
    ASSERT_TRUE(db);
    EXPECT_EQ(Count(*db, "IndividualInfo"), 2);
    EXPECT_EQ(Count(*db, "KestruneSchema"), 1);
}

TEST_P(StoreTest, AnEmptiedSubjectTableGetsKeyOneAndNeverReusesOldKeys) {
    // Every subject of version 1 removed again: the practice row still takes
    // key 1, and the next subject does not get a removed subject's key.
    MakeVersionOne(Location(), {"INSERT INTO IndividualInfo (IIName) VALUES ('Aoki')",
                                "INSERT INTO IndividualInfo (IIName) VALUES ('Baba')",
                                "INSERT INTO IndividualInfo (IIName) VALUES ('Chiba')",
                                "DELETE FROM IndividualInfo"});
    if (HasFatalFailure()) return;
    auto db = Open();
    ASSERT_TRUE(db);
    EXPECT_EQ(SubjectRows(*db), QStringList{kPracticeRow});
    EXPECT_EQ(AddSubject(*db, "Daido"), 4);
}

TEST_P(StoreTest, AHandMadeSubjectTableWithoutAutoNumberingTakesThePracticeRow) {
    // Adopted tables made by hand (no version record): IIID a plain key.
    {
        RawConnection raw(Location());
        ASSERT_TRUE(raw.IsOpen()) << S(raw.LastError());
        ASSERT_TRUE(
            raw.Exec("CREATE TABLE IndividualInfo (IIID INTEGER PRIMARY KEY NOT NULL, "
                     "IIName TEXT, IISex TEXT, IIAge INTEGER, IIHanduse INTEGER, "
                     "IIEducation INTEGER, IIDescription TEXT)"))
            << S(raw.LastError());
    }
    auto db = Open();
    ASSERT_TRUE(db);
    EXPECT_EQ(db->SchemaVersion(), CurrentSchemaVersion());
    EXPECT_EQ(SubjectRows(*db), QStringList{kPracticeRow});
}

}  // namespace
}  // namespace kestrune::store::testing
