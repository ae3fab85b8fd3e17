#include <QDateTime>

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <map>
#include <string>
#include <thread>

#include "StoreFixture.h"
#include "store/Database.h"

extern char** environ;

namespace kestrune::store::testing {
namespace {

using namespace std::chrono_literals;

std::string S(const QString& text) {
    return text.toStdString();
}

// The row values of a query, failing the test when the query fails.
std::vector<Row> Rows(Database& db, const QString& sql, const QVariantList& values = {}) {
    DbResult<std::vector<Row>> result = db.Query({sql, values});
    EXPECT_TRUE(result.Ok()) << S(result.error->Text());
    return result.value;
}

QVariant Scalar(Database& db, const QString& sql, const QVariantList& values = {}) {
    const std::vector<Row> rows = Rows(db, sql, values);
    return rows.empty() ? QVariant() : rows.front().At(0);
}

qint64 Count(Database& db, const QString& table) {
    return Scalar(db, QStringLiteral("SELECT COUNT(*) FROM ") + table).toLongLong();
}

qint64 InsertTrial(Database& db, const QString& content, const QVariant& duration = 1) {
    DbResult<qint64> key =
        db.Insert(QStringLiteral("BasicRecord"), QStringLiteral("BRID"),
                  {{QStringLiteral("IIID"), 7},
                   {QStringLiteral("SRID"), 3},
                   {QStringLiteral("BRTime"), QStringLiteral("2024-05-06 07:08:09")},
                   {QStringLiteral("BRDuration"), duration},
                   {QStringLiteral("BRContent"), content},
                   {QStringLiteral("BRRecognise"), content}});
    EXPECT_TRUE(key.Ok()) << S(key.error->Text());
    return key.value;
}

// The tables and columns as the tests and analyses name them.
const std::map<QString, QStringList>& ExpectedColumns() {
    static const std::map<QString, QStringList> columns = {
        {"IndividualInfo",
         {"IIID", "IIName", "IISex", "IIAge", "IIHanduse", "IIEducation", "IIDescription"}},
        {"AudioInfo",
         {"AIID", "AIPathname", "AILength", "AIFiletype", "AISex", "AIChannel", "AIBits",
          "AIContent"}},
        {"TestRecord",
         {"TRID", "IIID", "AIID", "TRSelfevaluation", "TRVolume", "TRTimes", "TRTime", "TRDuration",
          "TRState", "TRRecognise", "TRFactormask", "TRPlayspeed", "TRSNR", "TRCycle",
          "TRDutycycle", "TRContent"}},
        {"StatisticalRecord",
         {"SRID", "IIID", "SRSelfevaluation", "SRVolume", "SRTimes", "SRType", "SRNumber",
          "SRDuration", "SRCorrect", "SRFactormask", "SRRate", "SRPlayspeed", "SRSNR", "SRCycle",
          "SRDutycycle", "SRValidity", "SROther"}},
        {"BasicRecord",
         {"BRID", "IIID", "SRID", "BRTime", "BRDuration", "BRContent", "BRRecognise", "BROther"}},
        {"SyllableMaskRecord",
         {"IIID", "SMRVolume", "SMRSelfevaluation", "SMRTime", "SMRDuration", "SMRMaskingContent",
          "SMRMaskedContent", "SMRRecognise", "SMRState", "SMRValidity", "SMRSNR"}},
        {"NewSyllableMaskRecord",
         {"IIID", "NSMRVolume", "NSMRSelfevaluation", "NSMRTime", "NSMRDuration",
          "NSMRMaskingContent", "NSMRMaskedContent", "NSMRSNR", "NSMRRecognise", "NSMRState",
          "NSMRValidity", "NSMROther"}},
        {"SyllableSpeedupRecord",
         {"IIID", "SSRVolume", "SSRSelfevaluation", "SSRTime", "SSRDuration", "SSRContent",
          "SSRRecognise", "SSRSpeed", "SSRState", "SSRValidity"}},
        {"StatisticalSyllableMaskRecord",
         {"SSMRMaskingcontent", "SSMRMaskedcontent", "SSMRSNR", "SSMROther"}},
    };
    return columns;
}

// ------------------------------------------------------------------ schema

TEST_P(StoreTest, CreatesTheNineTablesOnceAndReopensWithoutChange) {
    {
        auto db = Open();
        ASSERT_TRUE(db);
        EXPECT_EQ(db->SchemaVersion(), 1);
        EXPECT_EQ(InsertTrial(*db, QStringLiteral("か")), 1);
    }
    for (int again = 0; again < 2; ++again) {
        auto db = Open();
        ASSERT_TRUE(db);
        EXPECT_EQ(db->SchemaVersion(), 1);
        EXPECT_EQ(Count(*db, QStringLiteral("KestruneSchema")), 1);
        const auto counts = db->TableCounts();
        ASSERT_TRUE(counts.Ok());
        ASSERT_EQ(counts.value.size(), 9u);
        for (int i = 0; i < 9; ++i) {
            EXPECT_EQ(counts.value[i].first, Database::TableNames()[i]);
            EXPECT_EQ(counts.value[i].second, counts.value[i].first == "BasicRecord" ? 1 : 0);
        }
    }
}

TEST_P(StoreTest, TablesHaveExactlyTheNamedColumns) {
    auto db = Open();
    ASSERT_TRUE(db);
    EXPECT_EQ(Database::TableNames(),
              QStringList({"IndividualInfo", "AudioInfo", "TestRecord", "StatisticalRecord",
                           "BasicRecord", "SyllableMaskRecord", "NewSyllableMaskRecord",
                           "SyllableSpeedupRecord", "StatisticalSyllableMaskRecord"}));
    // The engine's own description of each table: SQLite keeps the names as
    // written, PostgreSQL folds unquoted names to lower case.
    const bool sqlite = GetParam() == Engine::Sqlite;
    for (const auto& [table, expected] : ExpectedColumns()) {
        QStringList columns;
        const std::vector<Row> rows =
            sqlite
                ? Rows(*db, QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid"),
                       {table})
                : Rows(*db,
                       QStringLiteral("SELECT column_name AS name FROM information_schema.columns "
                                      "WHERE table_schema = 'public' AND table_name = ? "
                                      "ORDER BY ordinal_position"),
                       {table.toLower()});
        for (const Row& row : rows) columns << row.Text(QStringLiteral("name"));
        QStringList wanted = expected;
        if (!sqlite) {
            for (QString& c : wanted) c = c.toLower();
        }
        EXPECT_EQ(columns, wanted) << S(table);
        // And the names as the queries write them reach every column.
        const auto probe = db->Query(
            {QStringLiteral("SELECT %1 FROM %2 WHERE 1 = 0").arg(expected.join(", "), table), {}});
        EXPECT_TRUE(probe.Ok()) << S(probe.error ? probe.error->Text() : QString());
    }
}

TEST_P(StoreTest, NamesInQueriesAndRowsIgnoreCase) {
    auto db = Open();
    ASSERT_TRUE(db);
    const auto inserted = db->Insert(QStringLiteral("NewSyllableMaskRecord"), QString(),
                                     {{QStringLiteral("IIID"), 4},
                                      {QStringLiteral("NSMRMaskingContent"), QStringLiteral("あ")},
                                      {QStringLiteral("NSMRMaskedContent"), QStringLiteral("い")},
                                      {QStringLiteral("NSMRState"), QStringLiteral("0.5")}});
    ASSERT_TRUE(inserted.Ok()) << S(inserted.error->Text());
    EXPECT_EQ(inserted.value, 0);  // no key column
    const std::vector<Row> rows =
        Rows(*db,
             QStringLiteral("select NSMRMaskingcontent, nsmrstate from newsyllablemaskrecord "
                            "where NSMRMASKEDCONTENT = ?"),
             {QStringLiteral("い")});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Text(QStringLiteral("NSMRMaskingContent")), QStringLiteral("あ"));
    EXPECT_EQ(rows[0].Text(QStringLiteral("nsmrmaskingcontent")), QStringLiteral("あ"));
    EXPECT_DOUBLE_EQ(rows[0].Real(QStringLiteral("NSMRState")), 0.5);
    EXPECT_FALSE(rows[0].Value(QStringLiteral("NSMRNoSuchColumn")).isValid());
    EXPECT_TRUE(rows[0].IsNull(QStringLiteral("NSMRNoSuchColumn")));
}

// ------------------------------------------------------------------ values

TEST_P(StoreTest, BoundTextsAreStoredAndFoundAsGiven) {
    auto db = Open();
    ASSERT_TRUE(db);
    QString longName;
    for (int i = 0; i < 100; ++i) longName += i % 2 ? QStringLiteral("y") : QStringLiteral("や");
    longName += QString(100, QLatin1Char('\''));
    ASSERT_EQ(longName.size(), 200);
    const QStringList names = {QStringLiteral("O'Brien"),
                               QStringLiteral("いとう'"),
                               QStringLiteral("100%_"),
                               QStringLiteral("100"),
                               longName,
                               QStringLiteral("a?b"),
                               QStringLiteral("semi;colon--")};
    std::map<QString, qint64> keys;
    for (const QString& name : names) {
        const auto key = db->Insert(
            QStringLiteral("IndividualInfo"), QStringLiteral("IIID"),
            {{QStringLiteral("IIName"), name}, {QStringLiteral("IISex"), QStringLiteral("U")}});
        ASSERT_TRUE(key.Ok()) << S(key.error->Text());
        keys[name] = key.value;
    }
    for (const QString& name : names) {
        const std::vector<Row> rows =
            Rows(*db, QStringLiteral("select IIID, IIName from IndividualInfo where IIName = ?"),
                 {name});
        ASSERT_EQ(rows.size(), 1u) << S(name);
        EXPECT_EQ(rows[0].Int(QStringLiteral("IIID")), keys[name]);
        EXPECT_EQ(rows[0].Text(QStringLiteral("IIName")), name);
    }
    EXPECT_EQ(Count(*db, QStringLiteral("IndividualInfo")), names.size());
}

TEST_P(StoreTest, NumbersWrittenAsTextCompareAsNumbers) {
    auto db = Open();
    ASSERT_TRUE(db);
    for (const QString& duty : {QStringLiteral("0.500000"), QStringLiteral("0.250000"),
                                QStringLiteral("0.5"), QStringLiteral("10.000000")}) {
        const auto key = db->Insert(QStringLiteral("StatisticalRecord"), QStringLiteral("SRID"),
                                    {{QStringLiteral("IIID"), 1},
                                     {QStringLiteral("SRDutycycle"), duty},
                                     {QStringLiteral("SRRate"), duty}});
        ASSERT_TRUE(key.Ok()) << S(key.error->Text());
    }
    EXPECT_EQ(
        Scalar(*db, QStringLiteral("SELECT COUNT(*) FROM StatisticalRecord WHERE SRDutycycle=0.5"))
            .toInt(),
        2);
    // As texts "9" would beat "10"; as numbers 10 is the largest.
    EXPECT_DOUBLE_EQ(
        Scalar(*db, QStringLiteral("SELECT max(SRRate) FROM StatisticalRecord")).toDouble(), 10.0);

    for (const auto& [speed, state] :
         {std::pair{"1.500000", "0"}, std::pair{"2.500000", "0"}, std::pair{"9.000000", "1"}}) {
        ASSERT_TRUE(db->Insert(QStringLiteral("SyllableSpeedupRecord"), QString(),
                               {{QStringLiteral("IIID"), 1},
                                {QStringLiteral("SSRSpeed"), QString::fromLatin1(speed)},
                                {QStringLiteral("SSRState"), QString::fromLatin1(state)},
                                {QStringLiteral("SSRValidity"), 1}})
                        .Ok());
    }
    EXPECT_DOUBLE_EQ(Scalar(*db, QStringLiteral("SELECT AVG(SSRSpeed) FROM SyllableSpeedupRecord "
                                                "WHERE SSRState=0 AND SSRValidity=1"))
                         .toDouble(),
                     2.0);

    // The mixed columns: an integer, the text "0.5", and SMRState's empty
    // text, which is stored as no value.
    ASSERT_TRUE(db->Insert(QStringLiteral("TestRecord"), QStringLiteral("TRID"),
                           {{QStringLiteral("TRRecognise"), QStringLiteral("0.5")},
                            {QStringLiteral("TRFactormask"), QStringLiteral("5")}})
                    .Ok());
    ASSERT_TRUE(
        db->Insert(QStringLiteral("TestRecord"), QStringLiteral("TRID"),
                   {{QStringLiteral("TRRecognise"), 1}, {QStringLiteral("TRFactormask"), 5}})
            .Ok());
    EXPECT_DOUBLE_EQ(
        Scalar(*db, QStringLiteral("SELECT AVG(TRRecognise) FROM TestRecord WHERE TRFactormask=5"))
            .toDouble(),
        0.75);
    for (const QVariant& state :
         {QVariant(QStringLiteral("")), QVariant(1), QVariant(QStringLiteral("0"))}) {
        const auto key =
            db->Insert(QStringLiteral("SyllableMaskRecord"), QString(),
                       {{QStringLiteral("IIID"), 2}, {QStringLiteral("SMRState"), state}});
        ASSERT_TRUE(key.Ok()) << S(key.error->Text());
    }
    EXPECT_EQ(Scalar(*db, QStringLiteral(
                              "SELECT COUNT(*) FROM SyllableMaskRecord WHERE SMRState IS NULL"))
                  .toInt(),
              1);
    EXPECT_EQ(
        Scalar(*db, QStringLiteral("SELECT COUNT(*) FROM SyllableMaskRecord WHERE SMRState=0"))
            .toInt(),
        1);

    // A text that is no number is refused the same way on both engines.
    const auto refused = db->Insert(QStringLiteral("StatisticalRecord"), QStringLiteral("SRID"),
                                    {{QStringLiteral("SRRate"), QStringLiteral("abc")}});
    ASSERT_FALSE(refused.Ok());
    // (PostgreSQL's statement ends with RETURNING SRID: that is how it reports the key.)
    EXPECT_TRUE(refused.error->Text().startsWith(QStringLiteral(
        "Failed to operate database\n Error message:column SRRate: 'abc' is not a number\n"
        "Executed SQL:INSERT INTO StatisticalRecord (SRRate) VALUES ('abc')")))
        << S(refused.error->Text());
    EXPECT_EQ(Count(*db, QStringLiteral("StatisticalRecord")), 4);
}

TEST_P(StoreTest, TimesAreStoredAndReadAsClockTexts) {
    auto db = Open();
    ASSERT_TRUE(db);
    InsertTrial(*db, QStringLiteral("a"));
    ASSERT_TRUE(
        db->Insert(QStringLiteral("BasicRecord"), QStringLiteral("BRID"),
                   {{QStringLiteral("BRTime"), QDateTime(QDate(2024, 12, 31), QTime(23, 59, 58))},
                    {QStringLiteral("BRContent"), QStringLiteral("b")}})
            .Ok());
    const std::vector<Row> rows =
        Rows(*db,
             QStringLiteral(
                 "SELECT BRTime, BRContent FROM BasicRecord WHERE BRTime > ? ORDER BY BRTime"),
             {QStringLiteral("2024-05-06 07:08:08")});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Text(QStringLiteral("BRTime")), QStringLiteral("2024-05-06 07:08:09"));
    EXPECT_EQ(rows[1].Text(QStringLiteral("BRTime")), QStringLiteral("2024-12-31 23:59:58"));
    const auto refused = db->Insert(QStringLiteral("BasicRecord"), QStringLiteral("BRID"),
                                    {{QStringLiteral("BRTime"), QStringLiteral("yesterday")}});
    ASSERT_FALSE(refused.Ok());
    EXPECT_NE(refused.error->message.indexOf(QStringLiteral("BRTime")), -1);
}

TEST_P(StoreTest, MaxOverNoRowsIsOneNullRow) {
    auto db = Open();
    ASSERT_TRUE(db);
    const std::vector<Row> rows =
        Rows(*db, QStringLiteral("select max(TRTimes) from TestRecord where IIID = ? and AIID = ?"),
             {1, 2});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_TRUE(rows[0].At(0).isNull());
    EXPECT_EQ(rows[0].Size(), 1);
    // What the sentence test does with it: null counts as 0.
    EXPECT_EQ(rows[0].At(0).toLongLong(), 0);
    EXPECT_TRUE(Rows(*db, QStringLiteral("select * from TestRecord")).empty());
}

// ------------------------------------------------------------------ keys and rows

TEST_P(StoreTest, KeysGrowAndAreNeverHandedOutAgain) {
    auto db = Open();
    ASSERT_TRUE(db);
    const qint64 first = InsertTrial(*db, QStringLiteral("1"));
    const qint64 second = InsertTrial(*db, QStringLiteral("2"));
    const qint64 third = InsertTrial(*db, QStringLiteral("3"));
    EXPECT_LT(first, second);
    EXPECT_LT(second, third);
    EXPECT_EQ(Scalar(*db, QStringLiteral("select max(BRID) from BasicRecord")).toLongLong(), third);
    ASSERT_TRUE(
        db->Execute({QStringLiteral("delete from BasicRecord where BRID = ?"), {third}}).Ok());
    db.reset();
    db = Open();
    ASSERT_TRUE(db);
    const qint64 fourth = InsertTrial(*db, QStringLiteral("4"));
    EXPECT_GT(fourth, third);
    EXPECT_EQ(
        Scalar(*db, QStringLiteral("select BRContent from BasicRecord where BRID = ?"), {fourth})
            .toString(),
        QStringLiteral("4"));
}

TEST_P(StoreTest, UpdateRowSaysWhetherTheRowExists) {
    auto db = Open();
    ASSERT_TRUE(db);
    const qint64 key = InsertTrial(*db, QStringLiteral("before"));
    auto changed = db->UpdateRow(QStringLiteral("BasicRecord"), QStringLiteral("BRID"), key,
                                 {{QStringLiteral("BRRecognise"), QStringLiteral("after")},
                                  {QStringLiteral("BRDuration"), QStringLiteral("2.50")}});
    ASSERT_TRUE(changed.Ok()) << S(changed.error->Text());
    EXPECT_TRUE(changed.value);
    // The same values again still find the row.
    changed = db->UpdateRow(QStringLiteral("BasicRecord"), QStringLiteral("BRID"), key,
                            {{QStringLiteral("BRRecognise"), QStringLiteral("after")}});
    EXPECT_TRUE(changed.Ok() && changed.value);
    const std::vector<Row> rows = Rows(*db, QStringLiteral("select * from BasicRecord"));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Text(QStringLiteral("BRRecognise")), QStringLiteral("after"));
    EXPECT_EQ(rows[0].Text(QStringLiteral("BRContent")), QStringLiteral("before"));
    EXPECT_DOUBLE_EQ(rows[0].Real(QStringLiteral("BRDuration")), 2.5);

    const auto missing =
        db->UpdateRow(QStringLiteral("BasicRecord"), QStringLiteral("BRID"), key + 100,
                      {{QStringLiteral("BRRecognise"), QStringLiteral("x")}});
    ASSERT_TRUE(missing.Ok());
    EXPECT_FALSE(missing.value);
    const auto nothingToSet =
        db->UpdateRow(QStringLiteral("BasicRecord"), QStringLiteral("BRID"), key, {});
    EXPECT_TRUE(nothingToSet.Ok() && nothingToSet.value);
}

// ------------------------------------------------------------------ failures

TEST_P(StoreTest, FailuresCarryTheDriversWordsAndTheStatementWithItsValues) {
    auto db = Open();
    ASSERT_TRUE(db);
    const auto failed =
        db->Execute({QStringLiteral("INSERT INTO NoSuchTable (a, b, c) VALUES (?, ?, ?)"),
                     {QStringLiteral("O'Brien"), 3, QVariant()}});
    ASSERT_FALSE(failed.Ok());
    const QString text = failed.error->Text();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Failed to operate database\n Error message:")))
        << S(text);
    EXPECT_TRUE(text.endsWith(QStringLiteral(
        "\nExecuted SQL:INSERT INTO NoSuchTable (a, b, c) VALUES ('O''Brien', 3, NULL)")))
        << S(text);
    EXPECT_NE(failed.error->message.indexOf(QStringLiteral("nosuchtable"), 0, Qt::CaseInsensitive),
              -1)
        << S(failed.error->message);

    const auto badColumn =
        db->Query({QStringLiteral("SELECT NoSuchColumn FROM BasicRecord WHERE BRID = ?"), {5}});
    ASSERT_FALSE(badColumn.Ok());
    EXPECT_EQ(badColumn.error->sql,
              QStringLiteral("SELECT NoSuchColumn FROM BasicRecord WHERE BRID = 5"));
    EXPECT_TRUE(badColumn.value.empty());
}

TEST_P(StoreTest, AFailedOperationLeavesEarlierRowsAndTheConnectionIntact) {
    auto db = Open();
    ASSERT_TRUE(db);
    InsertTrial(*db, QStringLiteral("kept 1"));
    InsertTrial(*db, QStringLiteral("kept 2"));
    const auto failed = db->Insert(QStringLiteral("BasicRecord"), QStringLiteral("BRID"),
                                   {{QStringLiteral("BRContent"), QStringLiteral("lost")},
                                    {QStringLiteral("NoSuchColumn"), 1}});
    ASSERT_FALSE(failed.Ok());
    EXPECT_TRUE(failed.error->sql.startsWith(
        QStringLiteral("INSERT INTO BasicRecord (BRContent, NoSuchColumn) VALUES ('lost', 1)")))
        << S(failed.error->sql);
    const auto badUpdate = db->UpdateRow(QStringLiteral("BasicRecord"), QStringLiteral("BRID"), 1,
                                         {{QStringLiteral("BRContent"), QStringLiteral("changed")},
                                          {QStringLiteral("BRID; DROP TABLE BasicRecord"), 1}});
    ASSERT_FALSE(badUpdate.Ok());
    EXPECT_EQ(Count(*db, QStringLiteral("BasicRecord")), 2);
    EXPECT_EQ(
        Scalar(*db, QStringLiteral("select BRContent from BasicRecord where BRID = 1")).toString(),
        QStringLiteral("kept 1"));
    InsertTrial(*db, QStringLiteral("kept 3"));
    db.reset();
    db = Open();
    ASSERT_TRUE(db);
    EXPECT_EQ(Count(*db, QStringLiteral("BasicRecord")), 3);
}

TEST_P(StoreTest, ANewerSchemaIsRefusedAndLeftAlone) {
    {
        auto db = Open();
        ASSERT_TRUE(db);
        InsertTrial(*db, QStringLiteral("x"));
        ASSERT_TRUE(
            db->Execute({QStringLiteral("UPDATE KestruneSchema SET version = ?"), {2}}).Ok());
    }
    QString error;
    EXPECT_EQ(Database::Open(Location(), &error), nullptr);
    EXPECT_EQ(
        error,
        QStringLiteral(
            "Failed to connect database\r\n Error message:the database is at schema version 2, but "
            "this program knows versions up to 1; it is left untouched (use a newer Kestrune)"));
    RawConnection raw(Location());
    ASSERT_TRUE(raw.IsOpen());
    EXPECT_EQ(raw.Scalar(QStringLiteral("SELECT version FROM KestruneSchema")).toInt(), 2);
    EXPECT_EQ(raw.Scalar(QStringLiteral("SELECT COUNT(*) FROM BasicRecord")).toInt(), 1);
}

TEST_P(StoreTest, TablesMadeWithoutAVersionAreAdoptedWithTheirRows) {
    {
        RawConnection raw(Location());
        ASSERT_TRUE(raw.IsOpen()) << S(raw.LastError());
        ASSERT_TRUE(raw.Exec(QStringLiteral(
            "CREATE TABLE IndividualInfo (IIID INTEGER PRIMARY KEY, IIName TEXT, IISex TEXT, IIAge "
            "INTEGER, IIHanduse INTEGER, IIEducation INTEGER, IIDescription TEXT)")));
        ASSERT_TRUE(raw.Exec(
            QStringLiteral("INSERT INTO IndividualInfo (IIID, IIName) VALUES (41, 'Kept')")));
    }
    auto db = Open();
    ASSERT_TRUE(db);
    EXPECT_EQ(db->SchemaVersion(), 1);
    EXPECT_EQ(
        Scalar(*db, QStringLiteral("select IIName from IndividualInfo where IIID = 41")).toString(),
        QStringLiteral("Kept"));
    EXPECT_EQ(Count(*db, QStringLiteral("StatisticalSyllableMaskRecord")), 0);
}

// ------------------------------------------------------------------ concurrency

// Another program holds the write lock for a moment (an analysis in another
// window, a second station on the server): reads go on, and a write waits
// for the lock instead of failing.
TEST_P(StoreTest, AWriteWaitsForAnotherConnectionsLock) {
    auto db = Open();
    ASSERT_TRUE(db);
    InsertTrial(*db, QStringLiteral("first"));
    std::atomic<bool> locked{false};
    std::atomic<bool> lockFailed{false};
    std::thread other([&] {
        RawConnection raw(Location());
        const bool sqlite = GetParam() == Engine::Sqlite;
        if (!raw.Exec(sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN")) ||
            !raw.Exec(QStringLiteral("INSERT INTO BasicRecord (BRContent) VALUES ('other')")) ||
            (!sqlite && !raw.Exec(QStringLiteral("LOCK TABLE BasicRecord IN EXCLUSIVE MODE")))) {
            lockFailed = true;
            locked = true;
            return;
        }
        locked = true;
        std::this_thread::sleep_for(700ms);
        raw.Exec(QStringLiteral("COMMIT"));
    });
    while (!locked) std::this_thread::sleep_for(5ms);
    ASSERT_FALSE(lockFailed);
    // Reading does not wait: the other program's row is not committed yet.
    EXPECT_EQ(Count(*db, QStringLiteral("BasicRecord")), 1);
    const auto start = std::chrono::steady_clock::now();
    const auto key = db->Insert(QStringLiteral("BasicRecord"), QStringLiteral("BRID"),
                                {{QStringLiteral("BRContent"), QStringLiteral("mine")}});
    const auto waited = std::chrono::steady_clock::now() - start;
    other.join();
    ASSERT_TRUE(key.Ok()) << S(key.error->Text());
    EXPECT_GT(waited, 300ms);
    EXPECT_EQ(Count(*db, QStringLiteral("BasicRecord")), 3);
}

// ------------------------------------------------------------------ crash safety

// A child process writes N trial rows and kills itself with SIGKILL right
// after the last Insert returns: every row it was told about is there.
TEST_P(StoreTest, RowsSurviveAKillRightAfterTheirInsert) {
    {
        auto db = Open();  // the schema exists before the child starts
        ASSERT_TRUE(db);
    }
    const DatabaseLocation& where = Location();
    const std::string kind = where.engine == Engine::Sqlite ? "sqlite" : "postgres";
    const std::string target = where.engine == Engine::Sqlite ? S(where.sqlitePath) : S(where.name);
    const std::string rows = "25";
    const std::string child = KESTRUNE_CRASH_CHILD;
    std::vector<char*> argv = {const_cast<char*>(child.c_str()), const_cast<char*>(kind.c_str()),
                               const_cast<char*>(target.c_str()), const_cast<char*>(rows.c_str()),
                               nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, child.c_str(), nullptr, nullptr, argv.data(), environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended with status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGKILL);

    auto db = Open();
    ASSERT_TRUE(db);
    const std::vector<Row> stored =
        Rows(*db, QStringLiteral("select BRID, BRContent from BasicRecord order by BRID"));
    ASSERT_EQ(stored.size(), 25u);
    for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(stored[i].Int(QStringLiteral("BRID")), i + 1);
        EXPECT_EQ(stored[i].Text(QStringLiteral("BRContent")),
                  QStringLiteral("answer %1").arg(i + 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         EngineName);

}  // namespace
}  // namespace kestrune::store::testing
