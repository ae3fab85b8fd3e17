// The answer journal on both engines: waiting answers written once, in order;
// a lost PostgreSQL connection back on the injected clock's back-off.

#include <QFile>
#include <QTemporaryDir>
#include <QUuid>

#include <cstdlib>
#include <map>
#include <tuple>

#include <gtest/gtest.h>

#include "StoreFixture.h"
#include "core/util/Clock.h"
#include "store/AnswerJournal.h"
#include "store/Results.h"
#include "store/Schema.h"

namespace kestrune::store::testing {
namespace {

// Answer n: told apart by NSMROther and its time n seconds after 10:00.
VowelAnswerRow Answer(int n) {
    const QString time = QString("2024-05-01 10:00:%1").arg(n, 2, 10, QLatin1Char('0'));
    const QString other = QString("answer %1").arg(n);
    const QString uid = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return {2, 55, 0, time, "1.50", "あ", "い", -n, "あい", 1.0, 1, other, uid};
}

class AnswerJournalTest : public OpenStoreTest {
  protected:
    void SetUp() override {
        OpenStoreTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        ASSERT_TRUE(journalDir_.isValid());
        journal_.emplace(AnswerJournal::PathIn(journalDir_.path()));
    }

    /** A journal entry for the row (the columns the checks tell apart). */
    JournalEntry EntryFor(const VowelAnswerRow& row, const QString& database = QString()) {
        return {row.uid,
                database.isEmpty() ? db->location().Describe() : database,
                "NewSyllableMaskRecord",
                "NSMRUid",
                {{"IIID", row.subjectId}, {"NSMROther", row.other}, {"NSMRUid", row.uid}}};
    }

    /** Stores the answer, expecting its fate and, when given, its failure's kind. */
    AnswerOutcome Store(const VowelAnswerRow& row, AnswerFate fate,
                        std::optional<FailureKind> kind = std::nullopt) {
        AnswerOutcome outcome = StoreVowelAnswer(*db, *journal_, row);
        EXPECT_EQ(outcome.fate, fate) << S(row.other);
        EXPECT_TRUE(!kind || (outcome.error && outcome.error->kind == *kind)) << S(row.other);
        return outcome;
    }

    /** Appends bytes with no line end, as a write the program was killed in. */
    void CutShort(const QByteArray& bytes) {
        QFile file(journal_->path());
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(bytes);
    }

    /** NSMROther of the rows in the order they went into the table. */
    QStringList StoredOrder() {
        const QString order = db->engine() == Engine::Sqlite ? "rowid" : "ctid";
        QStringList others;
        for (const Row& row :
             Rows(*db, "SELECT NSMROther FROM NewSyllableMaskRecord ORDER BY " + order))
            others << row.Text("NSMROther");
        return others;
    }

    QTemporaryDir journalDir_;
    std::optional<AnswerJournal> journal_;
};

// Answers n stored and journaled (-n: for another database; cut: a half-written
// line after the first, not to be run into) before a replay, and its report.
struct ReplayCase {
    const char* name;
    std::vector<int> inTable, journaled;
    bool cut;
    int written, alreadyThere, otherDatabases, damaged;
    std::vector<int> order;  ///< answers in table order afterwards
};

const ReplayCase kReplayCases[] = {
    {"in order", {}, {1, 2, 3}, false, 3, 0, 0, 0, {1, 2, 3}},
    {"stored before the drop: not twice", {1}, {1, 2}, false, 1, 1, 0, 0, {1, 2}},
    {"cut-short line reported and kept", {}, {1, 2}, true, 2, 0, 0, 1, {1, 2}},
    {"another database's left alone", {}, {1, -2, 3}, false, 2, 0, 1, 0, {1, 3}},
};

TEST_P(AnswerJournalTest, ReplayWritesEachWaitingAnswerOnceInOrder) {
    for (const ReplayCase& c : kReplayCases) {
        SCOPED_TRACE(c.name);
        Must(db->Execute({"DELETE FROM NewSyllableMaskRecord", {}}));
        QFile::remove(journal_->path());
        std::map<int, VowelAnswerRow> answers;
        for (int n = 1; n <= 3; ++n) answers[n] = Answer(n);
        for (int n : c.inTable) Must(AddVowelAnswer(*db, answers[n]));
        for (int n : c.journaled) {
            if (c.cut && n != c.journaled.front()) CutShort("{\"id\":\"4");
            const QString database = n < 0 ? "elsewhere" : "";
            EXPECT_EQ(journal_->Append(EntryFor(answers[std::abs(n)], database)), std::nullopt);
        }
        QStringList order;
        for (int n : c.order) order << answers[n].other;
        const ReplayReport report = journal_->Replay(*db);
        EXPECT_EQ(report.error, std::nullopt);
        EXPECT_EQ(std::tuple(report.written, report.alreadyThere, report.pending,
                             report.otherDatabases, report.damaged),
                  std::tuple(c.written, c.alreadyThere, 0, c.otherDatabases, c.damaged));
        EXPECT_EQ(StoredOrder(), order);
        // Kept: the other databases' lines and the damaged ones.
        const JournalContents left = journal_->Read();
        EXPECT_EQ(QFile::exists(journal_->path()), c.otherDatabases + c.damaged > 0);
        EXPECT_EQ(left.entries.size(), std::size_t(c.otherDatabases));
        EXPECT_EQ(left.damaged.size(), std::size_t(c.damaged));
        for (const JournalDamage& damage : left.damaged)
            EXPECT_TRUE(damage.line == 1 && damage.reason.startsWith("not JSON"))
                << S(damage.reason);
        // Replaying again writes nothing more.
        EXPECT_EQ(journal_->Replay(*db).written, 0);
        EXPECT_EQ(StoredOrder(), order);
    }
}

TEST_P(AnswerJournalTest, AnAnswerTheDatabaseFailsToTakeIsKeptAndWrittenBehindTheWaitingOnes) {
    RawConnection other(Location());
    ASSERT_TRUE(other.IsOpen()) << S(other.LastError());
    Store(Answer(1), AnswerFate::Stored);

    // The table is away: the next two answers wait in the journal, in order.
    ASSERT_TRUE(other.Exec("ALTER TABLE NewSyllableMaskRecord RENAME TO Away"))
        << S(other.LastError());
    for (int n : {2, 3}) {
        const AnswerOutcome kept = Store(Answer(n), AnswerFate::Journaled);
        ASSERT_TRUE(kept.error);
        EXPECT_NE(kept.error->kind, FailureKind::Refused);
    }
    EXPECT_EQ(journal_->Read().entries.size(), 2u);

    // Values the table can never take are refused at once, not kept.
    VowelAnswerRow bad = Answer(8);
    bad.time = QStringLiteral("yesterday");
    ASSERT_TRUE(other.Exec("ALTER TABLE Away RENAME TO NewSyllableMaskRecord"));
    // That attempt wrote the waiting ones first; the next answer follows them.
    EXPECT_EQ(Store(bad, AnswerFate::Lost, FailureKind::Refused).replay.written, 2);
    Store(Answer(4), AnswerFate::Stored);
    EXPECT_EQ(StoredOrder(), QStringList({"answer 1", "answer 2", "answer 3", "answer 4"}));
    EXPECT_FALSE(QFile::exists(journal_->path()));
}

// Cuts the store's connection from the server's side, as a restart does.
void DropStoreConnections(RawConnection& inside) {
    ASSERT_TRUE(
        inside.Exec("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                    "WHERE datname = current_database() AND pid <> pg_backend_pid()"))
        << S(inside.LastError());
}

TEST_P(AnswerJournalTest, ALostConnectionComesBackOnTheNextAnswerWithABackOff) {
    if (GetParam() != Engine::Postgres) GTEST_SKIP() << "an SQLite file has no connection to lose";
    FakeClock clock(1'700'000'000, 5'000);
    db->SetClock(clock);
    RawConnection inside(Location());
    RawConnection admin(*TestServer());  // a database may not lock its own users out
    ASSERT_TRUE(inside.IsOpen() && admin.IsOpen()) << S(inside.LastError() + admin.LastError());
    Must(AddVowelAnswer(*db, Answer(1)));

    // Dropped while nobody can connect: the answer waits in the journal.
    ASSERT_TRUE(admin.Exec("ALTER DATABASE " + Location().name + " ALLOW_CONNECTIONS false"))
        << S(admin.LastError());
    DropStoreConnections(inside);
    Store(Answer(2), AnswerFate::Journaled, FailureKind::Connection);
    EXPECT_EQ(db->ReconnectAttempts(), 0);

    // The next operation tries at once; within the back-off nobody tries.
    Store(Answer(3), AnswerFate::Journaled);
    EXPECT_EQ(db->ReconnectAttempts(), 1);
    ASSERT_TRUE(admin.Exec("ALTER DATABASE " + Location().name + " ALLOW_CONNECTIONS true"));
    clock.AdvanceMs(Database::kReconnectBackoffMs - 1);
    Store(Answer(4), AnswerFate::Journaled, FailureKind::Connection);
    EXPECT_EQ(db->ReconnectAttempts(), 1);

    clock.AdvanceMs(1);
    EXPECT_EQ(Store(Answer(5), AnswerFate::Stored).replay.written, 3);
    EXPECT_EQ(db->ReconnectAttempts(), 2);
    EXPECT_EQ(StoredOrder(),
              QStringList({"answer 1", "answer 2", "answer 3", "answer 4", "answer 5"}));

    // Dropped while the server takes connections: back at the first try.
    DropStoreConnections(inside);
    Store(Answer(6), AnswerFate::Journaled);
    Store(Answer(7), AnswerFate::Stored);
    EXPECT_EQ(db->ReconnectAttempts(), 3);
    EXPECT_EQ(Count(*db, "NewSyllableMaskRecord"), 7);
}

// Version 2 gets the id column, answers kept; an id is taken only once.
TEST_P(StoreTest, AVersionTwoDatabaseGetsAnswerIdsAndKeepsItsAnswers) {
    const Dialect dialect = Dialect::For(Location().engine);
    {
        RawConnection raw(Location());
        for (const QString& sql :
             MigrationStep(1, dialect) + MigrationStep(2, dialect) +
                 QStringList{
                     QStringLiteral("CREATE TABLE %1 (version INTEGER NOT NULL)")
                         .arg(QLatin1String(kVersionTable)),
                     QStringLiteral("INSERT INTO %1 (version) VALUES (2)")
                         .arg(QLatin1String(kVersionTable)),
                     "INSERT INTO NewSyllableMaskRecord (IIID, NSMROther) VALUES (2, 'old')"})
            ASSERT_TRUE(raw.Exec(sql)) << S(sql) << ": " << S(raw.LastError());
    }
    auto db = Open();
    ASSERT_TRUE(db);
    EXPECT_EQ(db->SchemaVersion(), CurrentSchemaVersion());
    Must(db->Insert("NewSyllableMaskRecord", QString(), {{"IIID", 2}, {"NSMROther", "no id"}}));
    const VowelAnswerRow answer = Answer(1);
    Must(AddVowelAnswer(*db, answer));
    const auto twice = AddVowelAnswer(*db, answer);
    ASSERT_FALSE(twice.Ok());
    EXPECT_EQ(twice.error->kind, FailureKind::Statement);
    EXPECT_EQ(Rows(*db, "SELECT NSMROther FROM NewSyllableMaskRecord WHERE NSMRUid IS NULL").size(),
              2u);
    EXPECT_EQ(
        Scalar(*db, "SELECT NSMROther FROM NewSyllableMaskRecord WHERE NSMRUid = ?", {answer.uid}),
        QStringLiteral("answer 1"));
}

INSTANTIATE_TEST_SUITE_P(Engines, AnswerJournalTest,
                         ::testing::Values(Engine::Sqlite, Engine::Postgres), EngineName);

}  // namespace
}  // namespace kestrune::store::testing
