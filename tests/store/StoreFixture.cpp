#include "StoreFixture.h"

#include <QCoreApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <sqlite3.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <mutex>

namespace kestrune::store::testing {
namespace {

std::mutex sleepMutex;
SqliteSleeps sleeps;
bool pretendSleeps = false;
sqlite3_vfs countingVfs;
int (*systemSleep)(sqlite3_vfs*, int) = nullptr;

int CountingSleep(sqlite3_vfs* vfs, int microseconds) {
    {
        std::lock_guard lock(sleepMutex);
        ++sleeps.count;
        sleeps.total += std::chrono::microseconds(microseconds);
        if (pretendSleeps) return microseconds;
    }
    return systemSleep(vfs, microseconds);
}

/** The system's file-system layer with only its sleep replaced, as default. */
void InstallCountingSleep() {
    sqlite3_vfs* system = sqlite3_vfs_find(nullptr);
    countingVfs = *system;
    countingVfs.zName = "kestrune-test";
    systemSleep = system->xSleep;
    countingVfs.xSleep = CountingSleep;
    sqlite3_vfs_register(&countingVfs, 1);
}

}  // namespace

SqliteSleeps SqliteSleeps::SoFar() {
    std::lock_guard lock(sleepMutex);
    return sleeps;
}

void SqliteSleeps::Pretend(bool pretend) {
    std::lock_guard lock(sleepMutex);
    pretendSleeps = pretend;
}

std::optional<DatabaseLocation> TestServer() {
    const QString url = qEnvironmentVariable("KESTRUNE_TEST_POSTGRES_URL");
    if (url.isEmpty()) return std::nullopt;
    QString error;
    std::optional<DatabaseLocation> server = DatabaseLocation::FromUrl(url, &error);
    if (!server) ADD_FAILURE() << "KESTRUNE_TEST_POSTGRES_URL: " << error.toStdString();
    return server;
}

QString ChildUrl(const DatabaseLocation& where) {
    if (where.engine == Engine::Sqlite)
        return "sqlite://" + QUrl::toPercentEncoding(where.sqlitePath, "/");
    const QString url = qEnvironmentVariable("KESTRUNE_TEST_POSTGRES_URL");
    return url.left(url.lastIndexOf('/') + 1) + where.name;
}

RawConnection::RawConnection(const DatabaseLocation& location) {
    static std::atomic<int> counter{0};
    name_ = QStringLiteral("kestrune-test-raw-%1").arg(++counter);
    const bool sqlite = location.engine == Engine::Sqlite;
    db_ = QSqlDatabase::addDatabase(sqlite ? "QSQLITE" : "QPSQL", name_);
    db_.setDatabaseName(sqlite ? location.sqlitePath : location.name);
    if (!sqlite) {
        db_.setHostName(location.host);
        db_.setPort(location.port);
        db_.setUserName(location.user);
        db_.setPassword(location.password);
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
    if (!query.exec(sql)) error_ = query.lastError().text();
    return query.next() ? query.value(0) : QVariant();
}

void StoreTest::SetUp() {
    if (GetParam() == Engine::Postgres && !TestServer()) GTEST_SKIP() << kNoServerMessage;
    NewDatabase();
}

void StoreTest::NewDatabase() {
    static std::atomic<int> counter{0};
    const int number = ++counter;
    if (GetParam() == Engine::Sqlite) {
        const auto folder = dir_.Path() / std::to_string(number);
        std::filesystem::create_directory(folder);
        location_ = DatabaseLocation::StationFile(QString::fromStdString(folder.string()));
        return;
    }
    TearDown();
    server_ = TestServer();
    location_ = *server_;
    location_.name = QStringLiteral("kestrune_test_%1_%2").arg(::getpid()).arg(number);
    RawConnection admin(*server_);
    if (!admin.Exec(QStringLiteral("CREATE DATABASE %1").arg(location_.name))) {
        server_.reset();
        FAIL() << "cannot create a test database: " << S(admin.LastError());
    }
}

void StoreTest::TearDown() {
    if (!server_) return;
    RawConnection admin(*server_);
    EXPECT_TRUE(admin.Exec("DROP DATABASE IF EXISTS " + location_.name + " WITH (FORCE)"))
        << S(admin.LastError());
    server_.reset();
}

std::unique_ptr<Database> StoreTest::Open() {
    QString error;
    std::unique_ptr<Database> db = Database::Open(Location(), &error);
    EXPECT_NE(db, nullptr) << error.toStdString();
    return db;
}

void OpenStoreTest::SetUp() {
    StoreTest::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    db = Open();
    ASSERT_TRUE(db);
}

}  // namespace kestrune::store::testing

// The Qt SQL drivers are plugins, and loading them needs an application
// object; one lives for the whole test run.
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    kestrune::store::testing::InstallCountingSleep();
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
