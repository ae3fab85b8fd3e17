#include <QDateTime>

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <csignal>
#include <future>
#include <map>
#include <string>
#include <thread>

#include "StoreFixture.h"
#include "store/Database.h"
#include "store/Schema.h"

extern char** environ;

namespace kestrune::store::testing {
namespace {

qint64 InsertTrial(Database& db, const QString& content, const QVariant& duration = 1) {
    return Must(db.Insert("BasicRecord", "BRID",
                          {{"IIID", 7},
                           {"SRID", 3},
                           {"BRTime", "2024-05-06 07:08:09"},
                           {"BRDuration", duration},
                           {"BRContent", content},
                           {"BRRecognise", content}}));
}

// A query's single number.
double Number(Database& db, const QString& sql) {
    return Scalar(db, sql).toDouble();
}

// The tables, in their order, and their columns as the tests and analyses name them.
const std::vector<std::pair<QString, QStringList>> kColumns = [] {
    std::vector<std::pair<QString, QStringList>> tables;
    for (const char* line :
         {"IndividualInfo IIID IIName IISex IIAge IIHanduse IIEducation IIDescription",
          "AudioInfo AIID AIPathname AILength AIFiletype AISex AIChannel AIBits AIContent",
          "TestRecord TRID IIID AIID TRSelfevaluation TRVolume TRTimes TRTime TRDuration "
          "TRState TRRecognise TRFactormask TRPlayspeed TRSNR TRCycle TRDutycycle TRContent",
          "StatisticalRecord SRID IIID SRSelfevaluation SRVolume SRTimes SRType SRNumber "
          "SRDuration SRCorrect SRFactormask SRRate SRPlayspeed SRSNR SRCycle SRDutycycle "
          "SRValidity SROther",
          "BasicRecord BRID IIID SRID BRTime BRDuration BRContent BRRecognise BROther",
          "SyllableMaskRecord IIID SMRVolume SMRSelfevaluation SMRTime SMRDuration "
          "SMRMaskingContent SMRMaskedContent SMRRecognise SMRState SMRValidity SMRSNR",
          "NewSyllableMaskRecord IIID NSMRVolume NSMRSelfevaluation NSMRTime NSMRDuration "
          "NSMRMaskingContent NSMRMaskedContent NSMRSNR NSMRRecognise NSMRState NSMRValidity "
          "NSMROther NSMRUid",
          "SyllableSpeedupRecord IIID SSRVolume SSRSelfevaluation SSRTime SSRDuration "
          "SSRContent SSRRecognise SSRSpeed SSRState SSRValidity",
          "StatisticalSyllableMaskRecord SSMRMaskingcontent SSMRMaskedcontent SSMRSNR SSMROther"}) {
        QStringList words = QString(line).split(' ');
        tables.emplace_back(words.takeFirst(), words);
    }
    return tables;
}();

// ------------------------------------------------------------------ schema

TEST_P(StoreTest, CreatesTheNineTablesOnceAndReopensWithoutChange) {
    {
        auto db = Open();
        ASSERT_TRUE(db);
        EXPECT_EQ(db->SchemaVersion(), CurrentSchemaVersion());
        EXPECT_EQ(InsertTrial(*db, "か"), 1);
    }
    auto db = Open();
    ASSERT_TRUE(db);
    EXPECT_EQ(db->SchemaVersion(), CurrentSchemaVersion());
    EXPECT_EQ(Count(*db, "KestruneSchema"), 1);
    const auto counts = Must(db->TableCounts());
    ASSERT_EQ(counts.size(), kColumns.size());
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        // The practice subject in IndividualInfo, the trial in BasicRecord.
        EXPECT_EQ(counts[i], std::make_pair(kColumns[i].first, qint64(i == 0 || i == 4)));
    }
}

TEST_P(OpenStoreTest, TablesHaveExactlyTheNamedColumns) {
    QStringList tables;
    for (const auto& [table, expected] : kColumns) {
        tables << table;
        // The engine's own description of each table: SQLite keeps the names
        // as written, PostgreSQL folds unquoted names to lower case.
        const bool sqlite = GetParam() == Engine::Sqlite;
        const std::vector<Row> rows =
            sqlite ? Rows(*db, "SELECT name FROM pragma_table_info(?) ORDER BY cid", {table})
                   : Rows(*db,
                          "SELECT column_name AS name FROM information_schema.columns "
                          "WHERE table_schema = 'public' AND table_name = ? "
                          "ORDER BY ordinal_position",
                          {table.toLower()});
        QStringList columns;
        for (const Row& row : rows) columns << row.Text("name");
        EXPECT_EQ(columns, sqlite ? expected : QStringList(expected.join('|').toLower().split('|')))
            << S(table);
    }
    EXPECT_EQ(Database::TableNames(), tables);
}

TEST_P(OpenStoreTest, NamesInQueriesAndRowsIgnoreCase) {
    const auto inserted = Must(db->Insert("NewSyllableMaskRecord", QString(),
                                          {{"IIID", 4},
                                           {"NSMRMaskingContent", "あ"},
                                           {"NSMRMaskedContent", "い"},
                                           {"NSMRState", "0.5"}}));
    EXPECT_EQ(inserted, 0);  // no key column
    const std::vector<Row> rows = Rows(*db,
                                       "select NSMRMaskingcontent, nsmrstate from "
                                       "newsyllablemaskrecord where NSMRMASKEDCONTENT = ?",
                                       {"い"});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Text("NSMRMaskingContent"), "あ");
    EXPECT_DOUBLE_EQ(rows[0].Real("NSMRState"), 0.5);
    // max() over no rows is one row holding null; a plain query, no row.
    const std::vector<Row> none =
        Rows(*db, "select max(TRTimes) from TestRecord where IIID = ?", {1});
    ASSERT_EQ(none.size(), 1u);
    EXPECT_TRUE(none[0].At(0).isNull());
    EXPECT_TRUE(Rows(*db, "select * from TestRecord").empty());
}

// ------------------------------------------------------------------ values

TEST_P(OpenStoreTest, BoundTextsAreStoredAndFoundAsGiven) {
    const QString longName = QString("やy").repeated(50) + QString(100, '\'');  // 200 characters
    const QStringList names = {"O'Brien", "いとう'", "100%_",       "100",
                               longName,  "a?b",     "semi;colon--"};
    const qint64 before = Count(*db, "IndividualInfo");
    std::map<QString, qint64> keys;
    for (const QString& name : names) {
        keys[name] = Must(db->Insert("IndividualInfo", "IIID", {{"IIName", name}, {"IISex", "U"}}));
    }
    for (const QString& name : names) {
        const std::vector<Row> rows =
            Rows(*db, "select IIID, IIName from IndividualInfo where IIName = ?", {name});
        ASSERT_EQ(rows.size(), 1u) << S(name);
        EXPECT_EQ(rows[0].Int("IIID"), keys[name]);
        EXPECT_EQ(rows[0].Text("IIName"), name);
    }
    EXPECT_EQ(Count(*db, "IndividualInfo"), before + qint64(names.size()));
}

TEST_P(OpenStoreTest, NumbersWrittenAsTextCompareAsNumbers) {
    for (const char* duty : {"0.500000", "0.250000", "0.5", "10.000000"}) {
        Must(db->Insert("StatisticalRecord", "SRID",
                        {{"IIID", 1}, {"SRDutycycle", duty}, {"SRRate", duty}}));
    }
    EXPECT_EQ(Number(*db, "SELECT COUNT(*) FROM StatisticalRecord WHERE SRDutycycle=0.5"), 2);
    // As texts "9" would beat "10"; as numbers 10 is the largest.
    EXPECT_DOUBLE_EQ(Number(*db, "SELECT max(SRRate) FROM StatisticalRecord"), 10.0);

    for (const auto& [speed, state] :
         {std::pair{"1.500000", "0"}, std::pair{"2.500000", "0"}, std::pair{"9.000000", "1"}}) {
        Must(db->Insert(
            "SyllableSpeedupRecord", QString(),
            {{"IIID", 1}, {"SSRSpeed", speed}, {"SSRState", state}, {"SSRValidity", 1}}));
    }
    EXPECT_DOUBLE_EQ(Number(*db,
                            "SELECT AVG(SSRSpeed) FROM SyllableSpeedupRecord "
                            "WHERE SSRState=0 AND SSRValidity=1"),
                     2.0);

    // The mixed columns: an integer, the text "0.5", and SMRState's empty
    // text, which is stored as no value.
    Must(db->Insert("TestRecord", "TRID", {{"TRRecognise", "0.5"}, {"TRFactormask", "5"}}));
    Must(db->Insert("TestRecord", "TRID", {{"TRRecognise", 1}, {"TRFactormask", 5}}));
    EXPECT_DOUBLE_EQ(Number(*db, "SELECT AVG(TRRecognise) FROM TestRecord WHERE TRFactormask=5"),
                     0.75);
    for (const QVariant& state : {QVariant(""), QVariant(1), QVariant("0")}) {
        Must(db->Insert("SyllableMaskRecord", QString(), {{"IIID", 2}, {"SMRState", state}}));
    }
    EXPECT_EQ(Number(*db, "SELECT COUNT(*) FROM SyllableMaskRecord WHERE SMRState IS NULL"), 1);
    EXPECT_EQ(Number(*db, "SELECT COUNT(*) FROM SyllableMaskRecord WHERE SMRState=0"), 1);

    // A text that is no number is refused the same way on both engines.
    const auto refused = db->Insert("StatisticalRecord", "SRID", {{"SRRate", "abc"}});
    ASSERT_FALSE(refused.Ok());
    // (PostgreSQL's statement ends with RETURNING SRID: that is how it reports the key.)
    EXPECT_TRUE(refused.error->Text().startsWith(
        "Failed to operate database\n Error message:column SRRate: 'abc' is not a number\n"
        "Executed SQL:INSERT INTO StatisticalRecord (SRRate) VALUES ('abc')"))
        << S(refused.error->Text());
    EXPECT_EQ(Count(*db, "StatisticalRecord"), 4);
}

TEST_P(OpenStoreTest, TimesAreStoredAndReadAsClockTexts) {
    InsertTrial(*db, "a");
    Must(db->Insert(
        "BasicRecord", "BRID",
        {{"BRTime", QDateTime(QDate(2024, 12, 31), QTime(23, 59, 58))}, {"BRContent", "b"}}));
    const std::vector<Row> rows =
        Rows(*db, "SELECT BRTime FROM BasicRecord WHERE BRTime > ? ORDER BY BRTime",
             {"2024-05-06 07:08:08"});
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].Text("BRTime"), "2024-05-06 07:08:09");
    EXPECT_EQ(rows[1].Text("BRTime"), "2024-12-31 23:59:58");
    const auto refused = db->Insert("BasicRecord", "BRID", {{"BRTime", "yesterday"}});
    ASSERT_FALSE(refused.Ok());
    EXPECT_NE(refused.error->message.indexOf("BRTime"), -1);
}

// ------------------------------------------------------------------ keys and rows

// A failed operation writes nothing and leaves the connection usable; keys
// grow and are never handed out again, not even after a reopen.
TEST_P(OpenStoreTest, KeysAreNeverReusedAndFailuresLeaveRowsAndConnectionIntact) {
    const qint64 first = InsertTrial(*db, "kept 1");
    const qint64 second = InsertTrial(*db, "removed");
    EXPECT_LT(first, second);
    EXPECT_FALSE(
        db->Insert("BasicRecord", "BRID", {{"BRContent", "lost"}, {"NoSuchColumn", 1}}).Ok());
    EXPECT_FALSE(db->UpdateRow("BasicRecord", "BRID", first,
                               {{"BRContent", "changed"}, {"BRID; DROP TABLE BasicRecord", 1}})
                     .Ok());
    EXPECT_EQ(Scalar(*db, "select BRContent from BasicRecord where BRID = ?", {first}).toString(),
              "kept 1");
    Must(db->Execute({"delete from BasicRecord where BRID = ?", {second}}));
    db.reset();
    db = Open();
    ASSERT_TRUE(db);
    EXPECT_GT(InsertTrial(*db, "kept 2"), second);
    EXPECT_EQ(Count(*db, "BasicRecord"), 2);
}

TEST_P(OpenStoreTest, UpdateRowSaysWhetherTheRowExists) {
    const qint64 key = InsertTrial(*db, "before");
    EXPECT_TRUE(Must(db->UpdateRow("BasicRecord", "BRID", key,
                                   {{"BRRecognise", "after"}, {"BRDuration", "2.50"}})));
    // The same values again still find the row.
    EXPECT_TRUE(Must(db->UpdateRow("BasicRecord", "BRID", key, {{"BRRecognise", "after"}})));
    const std::vector<Row> rows = Rows(*db, "select * from BasicRecord");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Text("BRRecognise"), "after");
    EXPECT_EQ(rows[0].Text("BRContent"), "before");
    EXPECT_DOUBLE_EQ(rows[0].Real("BRDuration"), 2.5);

    EXPECT_FALSE(Must(db->UpdateRow("BasicRecord", "BRID", key + 100, {{"BRRecognise", "x"}})));
    EXPECT_TRUE(Must(db->UpdateRow("BasicRecord", "BRID", key, {})));
}

// ------------------------------------------------------------------ failures

TEST_P(OpenStoreTest, FailuresCarryTheDriversWordsAndTheStatementWithItsValues) {
    const auto failed = db->Execute(
        {"INSERT INTO NoSuchTable (a, b, c) VALUES (?, ?, ?)", {"O'Brien", 3, QVariant()}});
    ASSERT_FALSE(failed.Ok());
    const QString text = failed.error->Text();
    EXPECT_TRUE(text.startsWith("Failed to operate database\n Error message:")) << S(text);
    EXPECT_TRUE(text.endsWith(
        "\nExecuted SQL:INSERT INTO NoSuchTable (a, b, c) VALUES ('O''Brien', 3, NULL)"))
        << S(text);
    EXPECT_NE(failed.error->message.indexOf("nosuchtable", 0, Qt::CaseInsensitive), -1)
        << S(failed.error->message);

    const auto badColumn = db->Query({"SELECT NoSuchColumn FROM BasicRecord WHERE BRID = ?", {5}});
    ASSERT_FALSE(badColumn.Ok());
    EXPECT_EQ(badColumn.error->sql, "SELECT NoSuchColumn FROM BasicRecord WHERE BRID = 5");
    EXPECT_TRUE(badColumn.value.empty());
}

TEST_P(StoreTest, ANewerSchemaIsRefusedAndLeftAlone) {
    const int newer = CurrentSchemaVersion() + 1;
    {
        auto db = Open();
        ASSERT_TRUE(db);
        InsertTrial(*db, "x");
        Must(db->Execute({"UPDATE KestruneSchema SET version = ?", {newer}}));
    }
    QString error;
    EXPECT_EQ(Database::Open(Location(), &error), nullptr);
    EXPECT_EQ(error, QString("Failed to connect database\r\n Error message:the database is at "
                             "schema version %1, but this program knows versions up to %2; it "
                             "is left untouched (use a newer Kestrune)")
                         .arg(newer)
                         .arg(CurrentSchemaVersion()));
    RawConnection raw(Location());
    ASSERT_TRUE(raw.IsOpen());
    EXPECT_EQ(raw.Scalar("SELECT version FROM KestruneSchema").toInt(), newer);
    EXPECT_EQ(raw.Scalar("SELECT COUNT(*) FROM BasicRecord").toInt(), 1);
}

// ------------------------------------------------------------------ concurrency

// Another program holds the write lock (an analysis in another window, a
// second station on the server): reads go on, and a write waits for the lock
// instead of failing - until the busy timeout runs out, when it fails.
TEST_P(OpenStoreTest, AWriteWaitsForAnotherConnectionsLockUntilTheBusyTimeout) {
    InsertTrial(*db, "first");
    const bool sqlite = GetParam() == Engine::Sqlite;
    for (const bool released : {true, false}) {
        SCOPED_TRACE(released ? "released" : "kept");
        SqliteSleeps::Pretend(!released);  // the SQLite timeout then runs out at once
        std::promise<bool> locked;
        std::atomic<bool> writerReturned{false};
        std::thread other([&] {
            RawConnection raw(Location());
            const bool ok = raw.Exec(sqlite ? "BEGIN IMMEDIATE" : "BEGIN") &&
                            raw.Exec("INSERT INTO BasicRecord (BRContent) VALUES ('other')") &&
                            (sqlite || raw.Exec("LOCK TABLE BasicRecord IN EXCLUSIVE MODE"));
            const long sleepsBefore = SqliteSleeps::SoFar().count;
            locked.set_value(ok);
            // Let go once our write is seen waiting for the lock.
            auto waiting = [&] {
                return sqlite ? SqliteSleeps::SoFar().count > sleepsBefore
                              : raw.Scalar(
                                       "SELECT COUNT(*) FROM pg_locks l JOIN pg_database d "
                                       "ON d.oid = l.database WHERE NOT l.granted AND "
                                       "d.datname = current_database()")
                                        .toInt() > 0;
            };
            while (ok && !writerReturned && !(released && waiting())) std::this_thread::yield();
            raw.Exec(released ? "COMMIT" : "ROLLBACK");
        });
        const bool ok = locked.get_future().get();
        // Reading does not wait: the other program's row is not committed yet.
        EXPECT_EQ(Count(*db, "BasicRecord"), released ? 1 : 3);
        const auto key =
            ok ? db->Insert("BasicRecord", "BRID", {{"BRContent", "mine"}}) : DbResult<qint64>{};
        writerReturned = true;
        other.join();
        SqliteSleeps::Pretend(false);
        ASSERT_TRUE(ok);
        if (released) {
            ASSERT_TRUE(key.Ok()) << S(key.error->Text());
        } else {
            ASSERT_FALSE(key.Ok());
            EXPECT_NE(key.error->message.indexOf("lock", 0, Qt::CaseInsensitive), -1)
                << S(key.error->Text());
        }
    }
    EXPECT_EQ(Count(*db, "BasicRecord"), 3);
}

// ------------------------------------------------------------------ crash safety

// A child process writes N trial rows and kills itself with SIGKILL right
// after the last Insert returns: every row it was told about is there.
TEST_P(OpenStoreTest, RowsSurviveAKillRightAfterTheirInsert) {
    db.reset();  // the schema exists before the child starts
    std::string child = KESTRUNE_CRASH_CHILD, target = S(ChildUrl(Location())), rows = "25";
    char* argv[] = {child.data(), target.data(), rows.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, child.c_str(), nullptr, nullptr, argv, environ), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended with status " << WEXITSTATUS(status);
    EXPECT_EQ(WTERMSIG(status), SIGKILL);

    db = Open();
    ASSERT_TRUE(db);
    const std::vector<Row> stored =
        Rows(*db, "select BRID, BRContent from BasicRecord order by BRID");
    ASSERT_EQ(stored.size(), 25u);
    for (int i = 0; i < 25; ++i) {
        EXPECT_EQ(stored[i].Int("BRID"), i + 1);
        EXPECT_EQ(stored[i].Text("BRContent"), QString("answer %1").arg(i + 1));
    }
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         EngineName);
INSTANTIATE_TEST_SUITE_P(Engines, OpenStoreTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

}  // namespace
}  // namespace kestrune::store::testing
