#include "store/AnswerJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <fcntl.h>
#include <unistd.h>

#include <utility>

#include "store/Schema.h"

namespace kestrune::store {
namespace {

constexpr const char* kJournalFileName = "answer-journal.jsonl";

// A rename or a new file is durable only once its folder is synced too.
void SyncFolder(const QString& file) {
    const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

// One line of the file as read: its bytes without the line end, and whether
// it had one (a line cut short by a crash has none).
struct RawLine {
    QByteArray bytes;
    bool ended = true;
};

std::optional<std::vector<RawLine>> ReadLines(const QString& path, QString* error) {
    QFile file(path);
    if (!file.exists()) return std::vector<RawLine>{};
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("%1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    const QByteArray all = file.readAll();
    std::vector<RawLine> lines;
    qsizetype start = 0;
    while (start < all.size()) {
        const qsizetype end = all.indexOf('\n', start);
        if (end < 0) {
            lines.push_back({all.mid(start), false});
            break;
        }
        lines.push_back({all.mid(start, end - start), true});
        start = end + 1;
    }
    return lines;
}

// The entry of a line, or why it is none.
std::optional<JournalEntry> Entry(const RawLine& raw, int number, QString* reason) {
    if (!raw.ended) {
        *reason = QStringLiteral("cut short (no line end): the answer was never confirmed");
        return std::nullopt;
    }
    std::optional<JournalEntry> entry = ParseJournalLine(raw.bytes, reason);
    if (entry) entry->line = number;
    return entry;
}

bool SameDatabase(const JournalEntry& entry, const Database& db) {
    return entry.database == db.location().Describe();
}

// Whether the table holds a row with the entry's id.
DbResult<bool> HasRow(Database& db, const JournalEntry& entry) {
    DbResult<bool> result;
    const auto rows = db.Query(
        {QStringLiteral("SELECT COUNT(*) FROM %1 WHERE %2 = ?").arg(entry.table, entry.idColumn),
         {entry.id}});
    result.error = rows.error;
    result.value = rows.Ok() && !rows.value.empty() && rows.value.front().At(0).toLongLong() > 0;
    return result;
}

}  // namespace

QByteArray JournalLine(const JournalEntry& entry) {
    QJsonArray row;
    for (const auto& [column, value] : entry.values)
        row.append(QJsonArray{column, QJsonValue::fromVariant(value)});
    const QJsonObject object{{QStringLiteral("id"), entry.id},
                             {QStringLiteral("database"), entry.database},
                             {QStringLiteral("table"), entry.table},
                             {QStringLiteral("idColumn"), entry.idColumn},
                             {QStringLiteral("row"), row}};
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<JournalEntry> ParseJournalLine(const QByteArray& line, QString* reason) {
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(line, &parseError);
    if (document.isNull() || !document.isObject()) {
        *reason = parseError.error != QJsonParseError::NoError
                      ? QStringLiteral("not JSON: %1").arg(parseError.errorString())
                      : QStringLiteral("not a JSON object");
        return std::nullopt;
    }
    const QJsonObject object = document.object();
    JournalEntry entry;
    entry.id = object.value(QStringLiteral("id")).toString();
    entry.database = object.value(QStringLiteral("database")).toString();
    entry.table = object.value(QStringLiteral("table")).toString();
    entry.idColumn = object.value(QStringLiteral("idColumn")).toString();
    const TableDef* table = FindTable(entry.table);
    if (entry.id.isEmpty() || table == nullptr || !table->TypeOf(entry.idColumn)) {
        *reason = QStringLiteral("no id, or no known table and id column");
        return std::nullopt;
    }
    bool hasId = false;
    for (const QJsonValue& pair : object.value(QStringLiteral("row")).toArray()) {
        const QJsonArray columnValue = pair.toArray();
        const QString column = columnValue.at(0).toString();
        if (columnValue.size() != 2 || !table->TypeOf(column)) {
            *reason = QStringLiteral("a column that %1 does not have").arg(entry.table);
            return std::nullopt;
        }
        const QVariant value = columnValue.at(1).toVariant();
        if (column.compare(entry.idColumn, Qt::CaseInsensitive) == 0)
            hasId = value.toString() == entry.id;
        entry.values.emplace_back(column, value);
    }
    if (!hasId) {
        *reason = QStringLiteral("the row does not carry its id");
        return std::nullopt;
    }
    return entry;
}

AnswerJournal::AnswerJournal(QString path) : path_(std::move(path)) {}

QString AnswerJournal::PathIn(const QString& stationFolder) {
    const QString folder = stationFolder.isEmpty() ? QDir::currentPath() : stationFolder;
    return QDir::cleanPath(QDir(folder).absoluteFilePath(QLatin1String(kJournalFileName)));
}

std::optional<QString> AnswerJournal::Append(const JournalEntry& entry) const {
    QFile file(path_);
    const bool created = !file.exists();
    auto failed = [&] { return QStringLiteral("%1: %2").arg(path_, file.errorString()); };
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append)) return failed();
    QByteArray line = JournalLine(entry) + '\n';
    // A line cut short by a crash gets its end first, so that this one
    // starts a line of its own.
    if (file.size() > 0 && file.seek(file.size() - 1) && file.read(1) != "\n") line.prepend('\n');
    if (file.write(line) != line.size() || !file.flush()) return failed();
    if (::fsync(file.handle()) != 0) return QStringLiteral("%1: not synced to disk").arg(path_);
    file.close();
    if (created) SyncFolder(path_);
    return std::nullopt;
}

JournalContents AnswerJournal::Read() const {
    JournalContents contents;
    QString error;
    const std::optional<std::vector<RawLine>> lines = ReadLines(path_, &error);
    if (!lines) {
        contents.error = error;
        return contents;
    }
    for (std::size_t i = 0; i < lines->size(); ++i) {
        const int number = static_cast<int>(i) + 1;
        QString reason;
        if (std::optional<JournalEntry> entry = Entry((*lines)[i], number, &reason))
            contents.entries.push_back(std::move(*entry));
        else
            contents.damaged.push_back({number, reason});
    }
    return contents;
}

bool AnswerJournal::HasPending(const Database& db) const {
    if (!QFile::exists(path_)) return false;
    for (const JournalEntry& entry : Read().entries)
        if (SameDatabase(entry, db)) return true;
    return false;
}

ReplayReport AnswerJournal::Replay(Database& db) const {
    ReplayReport report;
    QString error;
    const std::optional<std::vector<RawLine>> lines = ReadLines(path_, &error);
    if (!lines) {
        report.fileError = error;
        return report;
    }
    QByteArray kept;
    bool stopped = false;
    for (std::size_t i = 0; i < lines->size(); ++i) {
        const RawLine& raw = (*lines)[i];
        QString reason;
        const std::optional<JournalEntry> entry = Entry(raw, static_cast<int>(i) + 1, &reason);
        bool done = false;
        if (!entry) {
            ++report.damaged;
        } else if (!SameDatabase(*entry, db)) {
            ++report.otherDatabases;
        } else if (!stopped) {
            DbResult<bool> there = HasRow(db, *entry);
            if (there.Ok() && !there.value) {
                const auto inserted = db.Insert(entry->table, QString(), entry->values);
                // A unique-id violation means another replay got there first.
                there = inserted.Ok() ? DbResult<bool>{} : HasRow(db, *entry);
                if (inserted.Ok()) {
                    ++report.written;
                    done = true;
                } else if (!there.Ok() || !there.value) {
                    there.error = inserted.error;
                }
            }
            if (!done && there.Ok() && there.value) {
                ++report.alreadyThere;
                done = true;
            }
            if (!done) {
                report.error = there.error;
                stopped = true;
            }
        }
        if (entry && !done && SameDatabase(*entry, db)) ++report.pending;
        // A line cut short stays as it is (the last): the next Append ends it.
        if (!done) kept += raw.ended ? raw.bytes + '\n' : raw.bytes;
    }
    if (report.written + report.alreadyThere == 0) return report;
    if (kept.isEmpty()) {
        if (!QFile::remove(path_)) report.fileError = QStringLiteral("%1: not removed").arg(path_);
        SyncFolder(path_);
        return report;
    }
    // The new file is on disk before it replaces the old one.
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || file.write(kept) != kept.size() || !file.flush() ||
        ::fsync(file.handle()) != 0 || !file.commit()) {
        report.fileError = QStringLiteral("%1: %2").arg(path_, file.errorString());
        return report;
    }
    SyncFolder(path_);
    return report;
}

}  // namespace kestrune::store
