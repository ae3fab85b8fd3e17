#include "store/Database.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUrl>
#include <QUrlQuery>

#include <atomic>
#include <cmath>

#include "core/util/Clock.h"
#include "store/CaseFolding.h"
#include "store/Dialect.h"
#include "store/Schema.h"
#include "store/Secrets.h"

namespace kestrune::store {
namespace {

constexpr const char* kTimeFormat = "yyyy-MM-dd HH:mm:ss";
constexpr const char* kStationFileName = "TestData.db";

QString ConnectionText(const QString& reason) {
    return QStringLiteral("Failed to connect database\r\n Error message:") + reason;
}

// What the driver said, preferring the engine's own words ("no such table:
// X") over Qt's summary ("Unable to execute statement").
QString DriverMessage(const QSqlError& error) {
    QString text = error.databaseText().trimmed();
    if (text.isEmpty()) text = error.driverText().trimmed();
    if (text.isEmpty()) text = QStringLiteral("Unknown error");
    return text;
}

bool IsNull(const QVariant& value) {
    return !value.isValid() || value.isNull();
}

// Values as the engines receive them. Times travel as "yyyy-MM-dd HH:mm:ss"
// text on both engines (Qt would otherwise send an ISO text with a "T").
QVariant ForBinding(const QVariant& value) {
    if (IsNull(value)) return QVariant();
    if (value.typeId() == QMetaType::QDateTime) {
        return value.toDateTime().toString(QLatin1String(kTimeFormat));
    }
    return value;
}

// Values as Row hands them out. PostgreSQL returns its TIMESTAMP columns as
// QDateTime, SQLite the stored text; both become the stored text form.
QVariant FromResult(const QVariant& value) {
    if (value.typeId() == QMetaType::QDateTime && !value.isNull()) {
        return value.toDateTime().toString(QLatin1String(kTimeFormat));
    }
    return value;
}

QString Literal(const QVariant& value) {
    if (IsNull(value)) return QStringLiteral("NULL");
    switch (value.typeId()) {
        case QMetaType::Bool:
            return value.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::ULong:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
            return value.toString();
        case QMetaType::Double:
        case QMetaType::Float:
            return QString::number(value.toDouble(), 'g', 15);
        case QMetaType::QByteArray:
            return QStringLiteral("X'") + QString::fromLatin1(value.toByteArray().toHex()) +
                   QStringLiteral("'");
        default: {
            QString text = ForBinding(value).toString();
            text.replace(QLatin1Char('\''), QStringLiteral("''"));
            return QLatin1Char('\'') + text + QLatin1Char('\'');
        }
    }
}

// Table and column names are written into the SQL text, so they must be
// plain identifiers; values never are.
bool IsIdentifier(const QString& name) {
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return pattern.match(name).hasMatch();
}

// Brings a value for a column of the result tables into the column's kind,
// the same way for both engines: an empty text in a numeric or time column
// is NULL (SMRState is written as an empty text), a number written as text
// becomes the number, and a text that is no number is refused here rather
// than stored as text by one engine and rejected by the other.
std::optional<QString> Coerce(ColumnType type, const QString& column, QVariant& value) {
    if (IsNull(value)) {
        value = QVariant();
        return std::nullopt;
    }
    const bool isText = value.typeId() == QMetaType::QString;
    const QString text = isText ? value.toString().trimmed() : QString();
    auto refuse = [&](const char* what) {
        return QStringLiteral("column %1: '%2' is not %3")
            .arg(column, value.toString(), QLatin1String(what));
    };
    switch (type) {
        case ColumnType::Text:
            if (!isText && value.typeId() != QMetaType::QByteArray) value = value.toString();
            return std::nullopt;
        case ColumnType::Time:
            if (value.typeId() == QMetaType::QDateTime) {
                value = value.toDateTime().toString(QLatin1String(kTimeFormat));
                return std::nullopt;
            }
            if (isText && text.isEmpty()) {
                value = QVariant();
                return std::nullopt;
            }
            if (!QDateTime::fromString(text, QLatin1String(kTimeFormat)).isValid()) {
                return refuse("a time of the form yyyy-MM-dd HH:mm:ss");
            }
            value = text;
            return std::nullopt;
        case ColumnType::Key:
        case ColumnType::Integer: {
            if (isText && text.isEmpty()) {
                value = QVariant();
                return std::nullopt;
            }
            bool ok = false;
            qint64 number = isText ? text.toLongLong(&ok) : 0;
            if (!ok) {
                const double real = isText ? text.toDouble(&ok) : value.toDouble(&ok);
                ok = ok && std::isfinite(real) && std::trunc(real) == real &&
                     std::fabs(real) < 9.2e18;
                number = ok ? static_cast<qint64>(real) : 0;
            }
            if (!ok) return refuse("a whole number");
            value = number;
            return std::nullopt;
        }
        case ColumnType::Real: {
            if (isText && text.isEmpty()) {
                value = QVariant();
                return std::nullopt;
            }
            bool ok = false;
            const double number = isText ? text.toDouble(&ok) : value.toDouble(&ok);
            if (!ok || !std::isfinite(number)) return refuse("a number");
            value = number;
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace

// ---------------------------------------------------------------- location

DatabaseLocation DatabaseLocation::StationFile(const QString& stationDir) {
    DatabaseLocation location;
    location.engine = Engine::Sqlite;
    const QString dir = stationDir.isEmpty() ? QStringLiteral(".") : stationDir;
    location.sqlitePath =
        QDir::cleanPath(QDir(dir).absoluteFilePath(QLatin1String(kStationFileName)));
    return location;
}

std::optional<DatabaseLocation> DatabaseLocation::FromUrl(const QString& url, QString* error) {
    // The password never reaches a message: the URL is shown masked, and
    // Qt's reason loses the copy of the URL it quotes ("; source was ...").
    const QString masked = MaskUrlPassword(url);
    auto fail = [&](QString reason) -> std::optional<DatabaseLocation> {
        if (const qsizetype source = reason.indexOf(QLatin1String("; source was")); source >= 0) {
            reason.truncate(source);
        }
        // Qt's "Invalid password (character 'x' not permitted)" quotes it.
        if (reason.startsWith(QLatin1String("Invalid password"))) {
            reason =
                QStringLiteral("the password holds a character a URL cannot (percent-encode it)");
        }
        if (error) *error = QStringLiteral("bad database URL '%1': %2").arg(masked, reason);
        return std::nullopt;
    };
    const QString trimmed = url.trimmed();
    const QUrl parsed(trimmed, QUrl::StrictMode);
    if (trimmed.isEmpty()) return fail(QStringLiteral("it is empty"));
    if (!parsed.isValid()) return fail(parsed.errorString());
    if (parsed.hasFragment()) return fail(QStringLiteral("a fragment part is not supported"));
    const QString scheme = parsed.scheme().toLower();
    DatabaseLocation location;
    if (scheme == QLatin1String("sqlite") && parsed.hasQuery()) {
        return fail(QStringLiteral("an SQLite URL takes no query part"));
    }
    if (scheme == QLatin1String("sqlite")) {
        if (!parsed.host().isEmpty() || !parsed.userName().isEmpty() || parsed.port() != -1) {
            return fail(
                QStringLiteral("an SQLite URL names a file: sqlite:///absolute/path or "
                               "sqlite:relative/path"));
        }
        const QString path = parsed.path(QUrl::FullyDecoded);
        if (path.isEmpty() || path.endsWith(QLatin1Char('/'))) {
            return fail(QStringLiteral("no database file is named"));
        }
        location.engine = Engine::Sqlite;
        location.sqlitePath = path;
        return location;
    }
    if (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres")) {
        return fail(QStringLiteral("the scheme must be postgresql://, postgres:// or sqlite:"));
    }
    location.engine = Engine::Postgres;
    location.host = parsed.host(QUrl::FullyDecoded);
    if (location.host.isEmpty()) return fail(QStringLiteral("no server is named"));
    if (parsed.port() == 0) return fail(QStringLiteral("port 0 is not a port"));
    location.port = parsed.port(5432);
    location.user = parsed.userName(QUrl::FullyDecoded);
    location.password = parsed.password(QUrl::FullyDecoded);
    QString name = parsed.path(QUrl::FullyDecoded);
    if (name.startsWith(QLatin1Char('/'))) name.remove(0, 1);
    if (name.isEmpty()) return fail(QStringLiteral("no database name is given after the server"));
    if (name.contains(QLatin1Char('/'))) {
        return fail(QStringLiteral("the database name '%1' contains a '/'").arg(name));
    }
    location.name = name;
    // The one connection option a URL may carry: how the server's TLS is
    // required and checked (libpq's sslmode).
    static const QStringList kSslModes{QStringLiteral("disable"),   QStringLiteral("allow"),
                                       QStringLiteral("prefer"),    QStringLiteral("require"),
                                       QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
    const QUrlQuery query(parsed);
    for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key != QLatin1String("sslmode")) {
            return fail(QStringLiteral("the option '%1' is not supported (only sslmode)").arg(key));
        }
        if (!kSslModes.contains(value)) {
            return fail(QStringLiteral("sslmode must be one of %1, not '%2'")
                            .arg(kSslModes.join(QStringLiteral(", ")), value));
        }
        location.sslMode = value;
    }
    return location;
}

QString DatabaseLocation::Describe() const {
    if (engine == Engine::Sqlite) return sqlitePath;
    QString text;
    if (!user.isEmpty()) text += user + QLatin1Char('@');
    const bool ipv6 = host.contains(QLatin1Char(':'));
    text += ipv6 ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    text += QLatin1Char(':') + QString::number(port) + QLatin1Char('/') + name;
    if (!sslMode.isEmpty()) text += QStringLiteral("?sslmode=") + sslMode;
    return text;
}

std::optional<DatabaseLocation> ResolveLocation(const QString& stationDir,
                                                const QString& databaseOption,
                                                const QString& environmentValue, QString* error) {
    if (!databaseOption.isEmpty()) return DatabaseLocation::FromUrl(databaseOption, error);
    if (!environmentValue.trimmed().isEmpty()) {
        QString reason;
        auto location = DatabaseLocation::FromUrl(environmentValue, &reason);
        if (!location && error) *error = QStringLiteral("KESTRUNE_DATABASE: ") + reason;
        return location;
    }
    return DatabaseLocation::StationFile(stationDir);
}

// ---------------------------------------------------------------- statement

QString Statement::Display() const {
    QString text;
    text.reserve(sql.size() + 16 * values.size());
    qsizetype next = 0;
    bool inQuotes = false;
    for (const QChar c : sql) {
        if (c == QLatin1Char('\'')) inQuotes = !inQuotes;
        if (c == QLatin1Char('?') && !inQuotes && next < values.size()) {
            text += Literal(values[next++]);
        } else {
            text += c;
        }
    }
    return text;
}

QString DbError::Text() const {
    return QStringLiteral("Failed to operate database\n Error message:") + message +
           QStringLiteral("\nExecuted SQL:") + sql;
}

// ---------------------------------------------------------------- row

Row::Row(QStringList names, QVariantList values)
    : names_(std::move(names)), values_(std::move(values)) {}

QVariant Row::Value(const QString& column) const {
    for (qsizetype i = 0; i < names_.size() && i < values_.size(); ++i) {
        if (names_[i].compare(column, Qt::CaseInsensitive) == 0) return values_[i];
    }
    return QVariant();
}

QVariant Row::At(int index) const {
    if (index < 0 || index >= values_.size()) return QVariant();
    return values_[index];
}

bool Row::IsNull(const QString& column) const {
    return store::IsNull(Value(column));
}

qint64 Row::Int(const QString& column) const {
    const QVariant value = Value(column);
    if (store::IsNull(value)) return 0;
    bool ok = false;
    if (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float) {
        const double real = value.toDouble();
        return std::isfinite(real) ? static_cast<qint64>(real) : 0;
    }
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        const qint64 whole = text.toLongLong(&ok);
        if (ok) return whole;
        const double real = text.toDouble(&ok);
        return ok && std::isfinite(real) ? static_cast<qint64>(real) : 0;
    }
    const qint64 whole = value.toLongLong(&ok);
    return ok ? whole : 0;
}

double Row::Real(const QString& column) const {
    const QVariant value = Value(column);
    if (store::IsNull(value)) return 0;
    bool ok = false;
    const double real = value.typeId() == QMetaType::QString
                            ? value.toString().trimmed().toDouble(&ok)
                            : value.toDouble(&ok);
    return ok ? real : 0;
}

QString Row::Text(const QString& column) const {
    const QVariant value = Value(column);
    return store::IsNull(value) ? QString() : value.toString();
}

// ---------------------------------------------------------------- database

struct Database::Impl {
    DatabaseLocation location;
    Dialect dialect;
    QString connectionName;
    QSqlDatabase db;
    int schemaVersion = 0;
    const Clock* clock = nullptr;  ///< null: the system's
    bool lost = false;             ///< a failure showed the connection gone
    bool retried = false;          ///< an attempt to connect again has failed since
    std::uint64_t lastAttemptMs = 0;
    int reconnectAttempts = 0;

    std::uint64_t TickMs() const;
    bool IsConnectionLoss(const QSqlError& error);
    std::optional<QString> Reconnect();

    bool Connect(QString* reason);
    bool RunSetup(const QString& sql, QString* reason);
    std::optional<int> StoredVersion(QString* reason);
    bool EnsureSchema(QString* reason);
    bool Migrate(QString* reason);
    std::optional<DbError> Run(QSqlQuery& query, const Statement& statement);
};

bool Database::Impl::RunSetup(const QString& sql, QString* reason) {
    QSqlQuery query(db);
    if (query.exec(sql)) return true;
    *reason = DriverMessage(query.lastError());
    return false;
}

bool Database::Impl::Connect(QString* reason) {
    const QString driver = dialect.DriverName();
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        *reason = QStringLiteral("the Qt SQL driver %1 is not installed").arg(driver);
        return false;
    }
    db = QSqlDatabase::addDatabase(driver, connectionName);
    if (location.engine == Engine::Sqlite) {
        if (location.sqlitePath.isEmpty()) {
            *reason = QStringLiteral("no database file is named");
            return false;
        }
        // SQLite would happily create a file in a folder we cannot use and
        // fail later; name the folder problem instead.
        const QFileInfo folder(QFileInfo(location.sqlitePath).absolutePath());
        if (!folder.isDir()) {
            *reason = QStringLiteral(
                          "unable to open database file: %1 is not an existing "
                          "folder")
                          .arg(QDir::toNativeSeparators(folder.filePath()));
            return false;
        }
        db.setDatabaseName(location.sqlitePath);
    } else {
        db.setHostName(location.host);
        db.setPort(location.port);
        db.setUserName(location.user);
        // An empty password is not passed on, so that libpq looks in
        // PGPASSWORD, PGPASSFILE or ~/.pgpass.
        if (!location.password.isEmpty()) db.setPassword(location.password);
        db.setDatabaseName(location.name);
        QString options = QStringLiteral("connect_timeout=10");
        if (!location.sslMode.isEmpty()) options += QStringLiteral(";sslmode=") + location.sslMode;
        db.setConnectOptions(options);
    }
    db.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (!db.open()) {
        *reason = DriverMessage(db.lastError());
        return false;
    }
    if (location.engine == Engine::Sqlite && !InstallUnicodeLower(db, reason)) return false;
    for (const QString& sql : dialect.SessionSetup()) {
        if (!RunSetup(sql, reason)) return false;
    }
    return EnsureSchema(reason);
}

// The version recorded in the database; 0 when it has no version table yet
// (an empty database). nullopt with a reason when it cannot be read.
std::optional<int> Database::Impl::StoredVersion(QString* reason) {
    QSqlQuery query(db);
    bool hasTable = false;
    for (const QString& table : db.tables(QSql::Tables)) {
        if (table.compare(QLatin1String(kVersionTable), Qt::CaseInsensitive) == 0) hasTable = true;
    }
    if (!hasTable) return 0;
    if (!query.exec(
            QStringLiteral("SELECT max(version) FROM %1").arg(QLatin1String(kVersionTable)))) {
        *reason = DriverMessage(query.lastError());
        return std::nullopt;
    }
    if (!query.next()) return 0;
    return query.value(0).isNull() ? 0 : query.value(0).toInt();
}

namespace {

QString NewerSchemaReason(int stored) {
    return QStringLiteral(
               "the database is at schema version %1, but this program knows versions up to %2; "
               "it is left untouched (use a newer Kestrune)")
        .arg(stored)
        .arg(CurrentSchemaVersion());
}

}  // namespace

bool Database::Impl::EnsureSchema(QString* reason) {
    const std::optional<int> stored = StoredVersion(reason);
    if (!stored) return false;
    if (*stored > CurrentSchemaVersion()) {
        *reason = NewerSchemaReason(*stored);
        return false;
    }
    if (*stored == CurrentSchemaVersion()) {
        schemaVersion = *stored;
        return true;
    }
    return Migrate(reason);
}

// Brings the schema to the current version in one transaction, step by
// step from the version found inside the transaction (another program may
// have migrated it meanwhile).
bool Database::Impl::Migrate(QString* reason) {
    auto rollback = [&] {
        QSqlQuery query(db);
        query.exec(QStringLiteral("ROLLBACK"));
        return false;
    };
    for (const QString& sql : dialect.BeginSchemaChange()) {
        if (!RunSetup(sql, reason)) return rollback();
    }
    if (!RunSetup(QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (version INTEGER NOT NULL)")
                      .arg(QLatin1String(kVersionTable)),
                  reason)) {
        return rollback();
    }
    const std::optional<int> stored = StoredVersion(reason);
    if (!stored) return rollback();
    if (*stored > CurrentSchemaVersion()) {
        *reason = NewerSchemaReason(*stored);
        return rollback();
    }
    for (int version = *stored + 1; version <= CurrentSchemaVersion(); ++version) {
        for (const QString& sql : MigrationStep(version, dialect)) {
            if (!RunSetup(sql, reason)) return rollback();
        }
    }
    if (!RunSetup(QStringLiteral("DELETE FROM %1").arg(QLatin1String(kVersionTable)), reason)) {
        return rollback();
    }
    QSqlQuery insert(db);
    insert.prepare(
        QStringLiteral("INSERT INTO %1 (version) VALUES (?)").arg(QLatin1String(kVersionTable)));
    insert.addBindValue(CurrentSchemaVersion());
    if (!insert.exec()) {
        *reason = DriverMessage(insert.lastError());
        return rollback();
    }
    insert.finish();
    if (!RunSetup(QStringLiteral("COMMIT"), reason)) return rollback();
    schemaVersion = CurrentSchemaVersion();
    return true;
}

std::uint64_t Database::Impl::TickMs() const {
    static const SystemClock system;
    return (clock != nullptr ? clock : &system)->TickMs();
}

// Whether a failed statement failed because the connection is gone. An
// SQLite file has no connection to lose. PostgreSQL names a dropped
// connection by its SQLSTATE when the server said goodbye (08xxx, 57P0x);
// when it just vanished libpq has no state to give, so a trivial query
// decides: it fails only when the connection is gone (or inside a
// transaction the failure aborted, which says nothing about the link).
bool Database::Impl::IsConnectionLoss(const QSqlError& error) {
    if (location.engine != Engine::Postgres) return false;
    if (!db.isOpen()) return true;
    const QString state = error.nativeErrorCode();
    if (state.startsWith(QLatin1String("08")) || state.startsWith(QLatin1String("57P0")))
        return true;
    QSqlQuery probe(db);
    if (probe.exec(QStringLiteral("SELECT 1"))) return false;
    return probe.lastError().nativeErrorCode() != QLatin1String("25P02");
}

// Connects again after a loss, at once the first time and then at most once
// per back-off. nullopt when the connection is back; else why not.
std::optional<QString> Database::Impl::Reconnect() {
    const std::uint64_t now = TickMs();
    if (retried && now - lastAttemptMs < kReconnectBackoffMs) {
        return QStringLiteral(
                   "the connection to the database is lost; the next attempt to connect is in "
                   "%1 ms")
            .arg(kReconnectBackoffMs - (now - lastAttemptMs));
    }
    lastAttemptMs = now;
    ++reconnectAttempts;
    db.close();
    QString reason;
    bool ok = db.open();
    if (!ok) reason = DriverMessage(db.lastError());
    for (const QString& sql : ok ? dialect.SessionSetup() : QStringList()) {
        if (!RunSetup(sql, &reason)) ok = false;
    }
    ok = ok && EnsureSchema(&reason);
    if (!ok) {
        retried = true;
        return QStringLiteral(
                   "the connection to the database is lost and could not be made "
                   "again: ") +
               reason;
    }
    lost = false;
    retried = false;
    return std::nullopt;
}

std::optional<DbError> Database::Impl::Run(QSqlQuery& query, const Statement& statement) {
    auto failure = [&](const QString& message, FailureKind kind = FailureKind::Statement) {
        return std::optional<DbError>(DbError{message, statement.Display(), kind});
    };
    if (lost) {
        if (const std::optional<QString> reason = Reconnect())
            return failure(*reason, FailureKind::Connection);
    }
    if (!db.isOpen()) return failure(QStringLiteral("the database connection is not open"));
    auto failed = [&](const QSqlError& error) {
        const QString message = DriverMessage(error);
        if (!IsConnectionLoss(error)) return failure(message);
        lost = true;
        return failure(message, FailureKind::Connection);
    };
    query.setForwardOnly(true);
    if (!query.prepare(statement.sql)) return failed(query.lastError());
    for (const QVariant& value : statement.values) query.addBindValue(ForBinding(value));
    if (!query.exec()) return failed(query.lastError());
    return std::nullopt;
}

Database::Database(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Database::~Database() {
    if (!impl_) return;
    const QString name = impl_->connectionName;
    if (impl_->db.isOpen()) impl_->db.close();
    impl_->db = QSqlDatabase();
    if (QSqlDatabase::contains(name)) QSqlDatabase::removeDatabase(name);
}

std::unique_ptr<Database> Database::Open(const DatabaseLocation& location, QString* errorText) {
    static std::atomic<int> counter{0};
    auto impl = std::make_unique<Impl>();
    impl->location = location;
    impl->dialect = Dialect::For(location.engine);
    impl->connectionName = QStringLiteral("kestrune-store-%1").arg(++counter);
    std::unique_ptr<Database> database(new Database(std::move(impl)));
    QString reason;
    if (!database->impl_->Connect(&reason)) {
        // libpq does not quote the password back, but a driver might.
        if (!location.password.isEmpty())
            reason.replace(location.password, QLatin1String(kMaskedPassword));
        if (errorText) *errorText = ConnectionText(reason);
        return nullptr;
    }
    return database;
}

Engine Database::engine() const {
    return impl_->location.engine;
}
const DatabaseLocation& Database::location() const {
    return impl_->location;
}
const Dialect& Database::dialect() const {
    return impl_->dialect;
}

void Database::SetClock(const Clock& clock) {
    impl_->clock = &clock;
}

int Database::ReconnectAttempts() const {
    return impl_->reconnectAttempts;
}

DbResult<Done> Database::Execute(const Statement& statement) {
    DbResult<Done> result;
    QSqlQuery query(impl_->db);
    result.error = impl_->Run(query, statement);
    return result;
}

DbResult<std::vector<Row>> Database::Query(const Statement& statement) {
    DbResult<std::vector<Row>> result;
    QSqlQuery query(impl_->db);
    result.error = impl_->Run(query, statement);
    if (result.error) return result;
    const QSqlRecord record = query.record();
    QStringList names;
    for (int i = 0; i < record.count(); ++i) names << record.fieldName(i);
    while (query.next()) {
        QVariantList values;
        values.reserve(record.count());
        for (int i = 0; i < record.count(); ++i) values << FromResult(query.value(i));
        result.value.emplace_back(names, std::move(values));
    }
    if (query.lastError().isValid()) {
        result.error = DbError{DriverMessage(query.lastError()), statement.Display()};
        result.value.clear();
    }
    return result;
}

namespace {

// Checks the names and brings the values into their columns' kinds; the
// statement is filled in either way so a refusal can show it.
std::optional<QString> PrepareRowValues(const QString& table, const QString& keyColumn,
                                        const Values& values, QStringList* columns,
                                        QVariantList* bound) {
    std::optional<QString> problem;
    if (!IsIdentifier(table)) problem = QStringLiteral("'%1' is not a table name").arg(table);
    if (!keyColumn.isEmpty() && !IsIdentifier(keyColumn)) {
        problem = QStringLiteral("'%1' is not a column name").arg(keyColumn);
    }
    const TableDef* definition = FindTable(table);
    for (const auto& [column, value] : values) {
        QVariant v = value;
        if (!IsIdentifier(column)) {
            if (!problem) problem = QStringLiteral("'%1' is not a column name").arg(column);
        } else if (definition) {
            if (const std::optional<ColumnType> type = definition->TypeOf(column)) {
                if (auto refused = Coerce(*type, column, v); refused && !problem) problem = refused;
            }
        }
        *columns << column;
        *bound << v;
    }
    return problem;
}

}  // namespace

DbResult<qint64> Database::Insert(const QString& table, const QString& keyColumn,
                                  const Values& values) {
    DbResult<qint64> result;
    QStringList columns;
    Statement statement;
    const std::optional<QString> problem =
        PrepareRowValues(table, keyColumn, values, &columns, &statement.values);
    if (columns.isEmpty()) {
        statement.sql = QStringLiteral("INSERT INTO %1 DEFAULT VALUES").arg(table);
    } else {
        QStringList marks;
        for (qsizetype i = 0; i < columns.size(); ++i) marks << QStringLiteral("?");
        statement.sql =
            QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                .arg(table, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
    }
    const bool returning = !keyColumn.isEmpty() && impl_->dialect.InsertReturnsKey();
    if (returning) statement.sql += QStringLiteral(" RETURNING ") + keyColumn;
    if (problem) {
        result.error = DbError{*problem, statement.Display(), FailureKind::Refused};
        return result;
    }
    QSqlQuery query(impl_->db);
    result.error = impl_->Run(query, statement);
    if (result.error || keyColumn.isEmpty()) return result;
    // The key of this very row, as the insert reports it: never looked up
    // again afterwards, where another station's row could answer.
    const QVariant key =
        returning ? (query.next() ? query.value(0) : QVariant()) : query.lastInsertId();
    bool ok = false;
    result.value = key.toLongLong(&ok);
    if (IsNull(key) || !ok || result.value <= 0) {
        result.value = 0;
        result.error = DbError{QStringLiteral("the database did not report the new row's key"),
                               statement.Display()};
    }
    return result;
}

DbResult<bool> Database::UpdateRow(const QString& table, const QString& keyColumn, qint64 key,
                                   const Values& values) {
    DbResult<bool> result;
    QStringList columns;
    Statement statement;
    std::optional<QString> problem =
        PrepareRowValues(table, keyColumn, values, &columns, &statement.values);
    if (keyColumn.isEmpty() && !problem) problem = QStringLiteral("no key column is named");
    statement.values << key;
    if (columns.isEmpty()) {
        // Nothing to change: only say whether the row is there.
        statement.sql =
            QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?").arg(table, keyColumn);
    } else {
        QStringList assignments;
        for (const QString& column : columns) assignments << column + QStringLiteral(" = ?");
        statement.sql = QStringLiteral("UPDATE %1 SET %2 WHERE %3 = ?")
                            .arg(table, assignments.join(QStringLiteral(", ")), keyColumn);
    }
    if (problem) {
        result.error = DbError{*problem, statement.Display(), FailureKind::Refused};
        return result;
    }
    QSqlQuery query(impl_->db);
    result.error = impl_->Run(query, statement);
    if (result.error) return result;
    if (columns.isEmpty()) {
        result.value = query.next() && query.value(0).toLongLong() > 0;
    } else {
        result.value = query.numRowsAffected() > 0;
    }
    return result;
}

int Database::SchemaVersion() {
    QString reason;
    if (const std::optional<int> stored = impl_->StoredVersion(&reason)) {
        impl_->schemaVersion = *stored;
    }
    return impl_->schemaVersion;
}

DbResult<std::vector<std::pair<QString, qint64>>> Database::TableCounts() {
    DbResult<std::vector<std::pair<QString, qint64>>> result;
    for (const TableDef& table : Tables()) {
        const QString name = QLatin1String(table.name);
        DbResult<std::vector<Row>> rows =
            Query(Statement{QStringLiteral("SELECT COUNT(*) FROM ") + name, {}});
        if (!rows.Ok()) {
            result.error = rows.error;
            result.value.clear();
            return result;
        }
        const qint64 count = rows.value.empty() ? 0 : rows.value.front().At(0).toLongLong();
        result.value.emplace_back(name, count);
    }
    return result;
}

const QStringList& Database::TableNames() {
    static const QStringList names = [] {
        QStringList list;
        for (const TableDef& table : Tables()) list << QLatin1String(table.name);
        return list;
    }();
    return names;
}

// ---------------------------------------------------------------- dialect

QString Dialect::DriverName() const {
    return engine == Engine::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
}

QString Dialect::ColumnDdl(ColumnType type) const {
    const bool sqlite = engine == Engine::Sqlite;
    switch (type) {
        case ColumnType::Key:
            // AUTOINCREMENT: SQLite never hands out a deleted row's key again.
            return sqlite ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
                          : QStringLiteral("INTEGER GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY");
        case ColumnType::Integer:
            return QStringLiteral("INTEGER");
        case ColumnType::Real:
            return sqlite ? QStringLiteral("REAL") : QStringLiteral("DOUBLE PRECISION");
        case ColumnType::Text:
            return QStringLiteral("TEXT");
        case ColumnType::Time:
            return sqlite ? QStringLiteral("TEXT") : QStringLiteral("TIMESTAMP(0)");
    }
    return QStringLiteral("TEXT");
}

QString Dialect::ContainsPattern(const QString& column) const {
    return engine == Engine::Sqlite
               ? QStringLiteral("lower(%1) LIKE '%' || lower(?) || '%'").arg(column)
               : QStringLiteral("lower(%1) LIKE '%' || lower(?) || '%' ESCAPE ''").arg(column);
}

bool Dialect::InsertReturnsKey() const {
    return engine == Engine::Postgres;
}

QStringList Dialect::BeginSchemaChange() const {
    if (engine == Engine::Sqlite) return {QStringLiteral("BEGIN IMMEDIATE")};
    // Any fixed number serves as the lock's name; it is released at COMMIT.
    return {QStringLiteral("BEGIN"), QStringLiteral("SELECT pg_advisory_xact_lock(461375)")};
}

QStringList Dialect::SessionSetup() const {
    if (engine == Engine::Sqlite) {
        return {QStringLiteral("PRAGMA busy_timeout = %1").arg(kBusyTimeoutMs),
                QStringLiteral("PRAGMA journal_mode = WAL"),
                QStringLiteral("PRAGMA synchronous = FULL")};
    }
    return {QStringLiteral("SET client_min_messages = warning"),
            QStringLiteral("SET lock_timeout = %1").arg(kBusyTimeoutMs)};
}

}  // namespace kestrune::store
