#include "StoreFixture.h"

#include <QCoreApplication>
#include <QVariant>

#include <unistd.h>

#include <atomic>

namespace kestrune::store::testing {
namespace {

QString NewConnectionName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("kestrune-test-raw-%1").arg(++counter);
}

}  // namespace

std::optional<DatabaseLocation> TestServer() {
    const QString url = qEnvironmentVariable("KESTRUNE_TEST_POSTGRES_URL");
    if (url.isEmpty()) return std::nullopt;
    QString error;
    std::optional<DatabaseLocation> server = DatabaseLocation::FromUrl(url, &error);
    if (!server) ADD_FAILURE() << "KESTRUNE_TEST_POSTGRES_URL: " << error.toStdString();
    return server;
}

RawConnection::RawConnection(const DatabaseLocation& location) : name_(NewConnectionName()) {
    if (location.engine == Engine::Sqlite) {
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
        db_.setDatabaseName(location.sqlitePath);
    } else {
        db_ = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name_);
        db_.setHostName(location.host);
        db_.setPort(location.port);
        db_.setUserName(location.user);
        db_.setPassword(location.password);
        db_.setDatabaseName(location.name);
    }
    if (!db_.open()) error_ = db_.lastError().text();
}

RawConnection::~RawConnection() {
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(name_);
}

bool RawConnection::Exec(const QString& sql) {
    QSqlQuery query(db_);
    if (query.exec(sql)) return true;
    error_ = query.lastError().text();
    return false;
}

QVariant RawConnection::Scalar(const QString& sql) {
    QSqlQuery query(db_);
    if (!query.exec(sql)) {
        error_ = query.lastError().text();
        return QVariant();
    }
    return query.next() ? query.value(0) : QVariant();
}

ScratchDatabase::ScratchDatabase(Engine engine) {
    if (engine == Engine::Sqlite) {
        location_ = DatabaseLocation::StationFile(QString::fromStdString(dir_.Path().string()));
        return;
    }
    server_ = TestServer();
    if (!server_) {
        skipped_ = true;
        return;
    }
    static std::atomic<int> counter{0};
    location_ = *server_;
    location_.name = QStringLiteral("kestrune_test_%1_%2").arg(::getpid()).arg(++counter);
    RawConnection admin(*server_);
    if (!admin.IsOpen() || !admin.Exec(QStringLiteral("CREATE DATABASE %1").arg(location_.name))) {
        problem_ = QStringLiteral("cannot create a test database on %1: %2")
                       .arg(server_->Describe(), admin.LastError());
        server_.reset();
    }
}

ScratchDatabase::~ScratchDatabase() {
    if (!server_) return;
    RawConnection admin(*server_);
    if (!admin.Exec(
            QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(location_.name))) {
        ADD_FAILURE() << "cannot drop " << location_.name.toStdString() << ": "
                      << admin.LastError().toStdString();
    }
}

void StoreTest::SetUp() {
    scratch_ = std::make_unique<ScratchDatabase>(GetParam());
    if (scratch_->Skipped()) GTEST_SKIP() << kNoServerMessage;
    ASSERT_TRUE(scratch_->Problem().isEmpty()) << scratch_->Problem().toStdString();
}

void OpenStoreTest::SetUp() {
    StoreTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    db = Open();
    ASSERT_TRUE(db);
}

std::unique_ptr<Database> StoreTest::Open() {
    QString error;
    std::unique_ptr<Database> db = Database::Open(Location(), &error);
    EXPECT_NE(db, nullptr) << error.toStdString();
    return db;
}

std::string EngineName(const ::testing::TestParamInfo<Engine>& info) {
    return info.param == Engine::Sqlite ? "Sqlite" : "Postgres";
}

}  // namespace kestrune::store::testing
