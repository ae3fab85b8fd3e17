#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>

#include <gtest/gtest.h>

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
 * A plain Qt SQL connection beside the store's own, for looking at a
 * database from outside (another program) or changing it behind the
 * store's back. Removed with the object.
 */
class RawConnection {
  public:
    explicit RawConnection(const DatabaseLocation& location);
    ~RawConnection();
    RawConnection(const RawConnection&) = delete;
    RawConnection& operator=(const RawConnection&) = delete;

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
 * A database of its own for one test: a fresh SQLite station folder, or a
 * fresh database created on the test server and dropped afterwards.
 */
class ScratchDatabase {
  public:
    explicit ScratchDatabase(Engine engine);
    ~ScratchDatabase();
    ScratchDatabase(const ScratchDatabase&) = delete;
    ScratchDatabase& operator=(const ScratchDatabase&) = delete;

    /** Empty when ready; otherwise why the database could not be made. */
    const QString& Problem() const { return problem_; }
    bool Skipped() const { return skipped_; }
    const DatabaseLocation& Location() const { return location_; }
    const kestrune::testing::ScratchDir& Dir() const { return dir_; }

  private:
    kestrune::testing::ScratchDir dir_;
    DatabaseLocation location_;
    std::optional<DatabaseLocation> server_;
    QString problem_;
    bool skipped_ = false;
};

/** The test suite shared by both engines. */
class StoreTest : public ::testing::TestWithParam<Engine> {
  protected:
    void SetUp() override;

    /** Opens the test's database; fails the test when that fails. */
    std::unique_ptr<Database> Open();
    const DatabaseLocation& Location() const { return scratch_->Location(); }

    std::unique_ptr<ScratchDatabase> scratch_;
};

/** The same suite with the test's database already open as `db`. */
class OpenStoreTest : public StoreTest {
  protected:
    void SetUp() override;

    std::unique_ptr<Database> db;
};

std::string EngineName(const ::testing::TestParamInfo<Engine>& info);

}  // namespace kestrune::store::testing
