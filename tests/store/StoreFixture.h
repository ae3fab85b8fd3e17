#pragma once

#include <QSqlDatabase>
#include <QString>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "store/Database.h"
#include "support/ScratchDir.h"

/** Readable QStrings in test failure messages. */
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace kestrune::store {
inline void PrintTo(Engine engine, std::ostream* out) {
    *out << (engine == Engine::Sqlite ? "Sqlite" : "Postgres");
}
}  // namespace kestrune::store

namespace kestrune::store::testing {

/** The server named by KESTRUNE_TEST_POSTGRES_URL; nullopt when unset. */
std::optional<DatabaseLocation> TestServer();
inline constexpr const char* kNoServerMessage = "KESTRUNE_TEST_POSTGRES_URL is not set";

inline std::string S(const QString& text) {
    return text.toStdString();
}

/** A URL naming the test's database, for a child process (with the test
 *  server's password). */
QString ChildUrl(const DatabaseLocation& where);

/** The value of a result, failing the test when the operation failed. */
template <typename T>
T Must(DbResult<T> result) {
    EXPECT_TRUE(result.Ok()) << S(result.error->Text());
    return std::move(result.value);
}

inline std::vector<Row> Rows(Database& db, const QString& sql, const QVariantList& values = {}) {
    return Must(db.Query({sql, values}));
}

/** The first column of the first row (invalid when there is none). */
inline QVariant Scalar(Database& db, const QString& sql, const QVariantList& values = {}) {
    const std::vector<Row> rows = Rows(db, sql, values);
    return rows.empty() ? QVariant() : rows.front().At(0);
}

inline qint64 Count(Database& db, const QString& table) {
    return Scalar(db, "SELECT COUNT(*) FROM " + table).toLongLong();
}

/**
 * SQLite's waits for a lock held by another connection (the busy timeout),
 * as the test sees them: every connection in the test process sleeps through
 * a file-system layer that counts the sleeps and adds up their length, and
 * that only pretends to sleep while told to, so that a busy timeout runs out
 * at once. Installed by main() before any connection opens.
 */
struct SqliteSleeps {
    long count = 0;
    std::chrono::microseconds total{0};

    static SqliteSleeps SoFar();
    static void Pretend(bool pretend);
};

/**
 * A plain Qt SQL connection beside the store's own, for looking at a
 * database from outside (another program) or changing it behind the
 * store's back. Removed with the object.
 */
class RawConnection {
  public:
    explicit RawConnection(const DatabaseLocation& location);
    ~RawConnection();

    bool IsOpen() const { return db_.isOpen(); }
    QString LastError() const { return error_; }
    /** Runs SQL text; false (and LastError) when it fails. */
    bool Exec(const QString& sql);
    /** The first column of the first row of a query (invalid when none). */
    QVariant Scalar(const QString& sql);

  private:
    QString name_;
    QSqlDatabase db_;
    QString error_;
};

/**
 * The suite shared by both engines. Each test has a database of its own: a
 * fresh SQLite station folder, or a fresh database created on the test
 * server and dropped afterwards (skipped when there is no server).
 */
class StoreTest : public ::testing::TestWithParam<Engine> {
  protected:
    void SetUp() override;
    void TearDown() override;

    /** Replaces the test's database with another new one. */
    void NewDatabase();
    /** Opens the test's database; fails the test when that fails. */
    std::unique_ptr<Database> Open();
    const DatabaseLocation& Location() const { return location_; }

  private:
    kestrune::testing::ScratchDir dir_;
    DatabaseLocation location_;
    std::optional<DatabaseLocation> server_;
};

/** The same suite with the test's database already open as `db`. */
class OpenStoreTest : public StoreTest {
  protected:
    void SetUp() override;
    void TearDown() override {
        db.reset();
        StoreTest::TearDown();
    }

    std::unique_ptr<Database> db;
};

inline std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
    return info.param == Engine::Sqlite ? "Sqlite" : "Postgres";
}

}  // namespace kestrune::store::testing
