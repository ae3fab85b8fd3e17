// The answer journal: answers the database could not take, kept on the
// station's disk until it can. "answer-journal.jsonl" in the station folder
// holds one line per answer - a JSON object with the row's own id, the
// database it is meant for, the table and the row's columns - appended and
// synced to disk before the answer counts as kept. Replaying writes the
// lines to the database in order and removes each only once it is there;
// a line whose id the table already holds (the connection dropped after the
// server committed, before the answer came back) is not written again.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

#include "store/Database.h"

namespace kestrune::store {

/** One answer waiting in the journal: the row as it is to be inserted. */
struct JournalEntry {
    QString id;        ///< the row's own id, also among `values`
    QString database;  ///< DatabaseLocation::Describe() of the database it is meant for
    QString table;
    QString idColumn;  ///< the column that holds `id`
    Values values;
    int line = 0;  ///< where it was read (1 = the first line); 0 for a new one
};

/** A line that is no entry: cut short by a crash while it was written, or
 *  changed by hand. It stays in the file and is never replayed. */
struct JournalDamage {
    int line = 0;
    QString reason;
};

/** What the file holds, in its order. */
struct JournalContents {
    std::vector<JournalEntry> entries;
    std::vector<JournalDamage> damaged;
    std::optional<QString> error;  ///< the file exists but could not be read
};

/** What a replay did. */
struct ReplayReport {
    int written = 0;                   ///< entries inserted now
    int alreadyThere = 0;              ///< entries whose id the table held already
    int pending = 0;                   ///< this database's entries still in the journal
    int otherDatabases = 0;            ///< entries meant for another database, left alone
    int damaged = 0;                   ///< lines that are no entry, left in the file
    std::optional<DbError> error;      ///< the failure that stopped the replay
    std::optional<QString> fileError;  ///< the journal could not be read or rewritten
    bool Complete() const { return pending == 0 && !error && !fileError; }
};

/** The journal file of one station. Not thread-safe: the GUI thread (or
 *  the command line) uses it, like the database. */
class AnswerJournal {
  public:
    explicit AnswerJournal(QString path);
    /** "answer-journal.jsonl" in the folder (the working folder if empty). */
    static QString PathIn(const QString& stationFolder);
    const QString& path() const { return path_; }

    /** Adds the entry as the last line and syncs it to disk; nullopt once
     *  it is there, else why it is not. */
    std::optional<QString> Append(const JournalEntry& entry) const;
    /** The entries and damaged lines; an absent file is an empty journal. */
    JournalContents Read() const;
    /** True when an entry for this database is waiting. */
    bool HasPending(const Database& db) const;
    /**
     * Writes this database's entries in their order. The first one that
     * fails stops the replay; it and every entry after it stay. The file is
     * rewritten (synced, then renamed over the old one) without the entries
     * written, and removed once nothing is left in it.
     */
    ReplayReport Replay(Database& db) const;

  private:
    QString path_;
};

/** An entry as its journal line (without the line end). */
QByteArray JournalLine(const JournalEntry& entry);
/** The entry of a journal line; nullopt with a reason in *reason when the
 *  line is none. */
std::optional<JournalEntry> ParseJournalLine(const QByteArray& line, QString* reason);

}  // namespace kestrune::store
