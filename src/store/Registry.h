#pragma once

#include <QString>

#include <optional>
#include <vector>

#include "store/Database.h"

namespace kestrune::store {

/** One IndividualInfo row. */
struct Subject {
    qint64 id = 0;      ///< IIID, given by the database
    QString name;       ///< IIName
    char sex = 'U';     ///< IISex: 'M', 'F' or 'U'
    int birthYear = 0;  ///< IIAge (it holds the year of birth)
    int handuse = 0;    ///< IIHanduse: index of the dominant-side choice
    int education = 0;  ///< IIEducation (the entry form stores its hearing choice here)
    QString description;
};

/** One AudioInfo row. */
struct AudioMaterial {
    qint64 id = 0;     ///< AIID
    QString pathname;  ///< AIPathname
    int lengthMs = 0;  ///< AILength
    QString fileType;  ///< AIFiletype: "Wav", "Mp3", "Other"/"Others", "Unknown"
    char sex = 'U';    ///< AISex
    int channels = 0;  ///< AIChannel
    int bits = 0;      ///< AIBits
    QString content;   ///< AIContent
};

/** A list row of a registry: the key and the text shown beside it. */
struct ListEntry {
    qint64 id = 0;
    QString text;
};

/** Why the practice subject's row is refused a change or a deletion. */
inline constexpr const char* kPracticeSubjectReserved =
    "The practice subject PRACTICE (ID 1) is reserved and can not be changed or deleted";

/** The subjects' table as the registry and the entry form use it. The
 *  practice subject (kPracticeSubjectId) is never changed or deleted: those
 *  calls fail with kPracticeSubjectReserved and leave the row alone. */
class SubjectRegistry {
  public:
    explicit SubjectRegistry(Database& db) : db_(db) {}

    /** The standard listing: every subject in key order. */
    static Statement AllSubjects();
    /** Rows of a listing query (IIID, IIName) in the order returned. */
    DbResult<std::vector<ListEntry>> List(const Statement& listing);
    /** The subject with that key; nullopt when there is none. */
    DbResult<std::optional<Subject>> Load(qint64 id);
    /** Inserts a new subject and returns the key the database gave that
     *  row (never another station's row of the same name). */
    DbResult<qint64> Add(const Subject& subject);
    DbResult<Done> Remove(qint64 id);
    /** Writes every column of subject.id's row; false when the row is gone. */
    DbResult<bool> Update(const Subject& subject);
    /** Subjects whose name contains the text (a LIKE pattern, ignoring the
     *  case of every alphabet the same way on both engines), in key order. */
    DbResult<std::vector<ListEntry>> Search(const QString& namePart);
    /** Subjects whose description is exactly `description`, in key order. */
    DbResult<std::vector<ListEntry>> Described(const QString& description);
    /** Only name and year of birth, as the entry form corrects them. */
    DbResult<bool> UpdateNameAndBirthYear(qint64 id, const QString& name, int birthYear);

  private:
    Database& db_;
};

/** The audio materials' table. */
class AudioRegistry {
  public:
    explicit AudioRegistry(Database& db) : db_(db) {}

    static Statement AllMaterials();
    /** Listing of one material (the single-factor experiment's view). */
    static Statement OneMaterial(qint64 id);
    DbResult<std::vector<ListEntry>> List(const Statement& listing);  ///< (AIID, AIPathname)
    DbResult<std::optional<AudioMaterial>> Load(qint64 id);
    /** Inserts and returns the key the database gave that row. */
    DbResult<qint64> Add(const AudioMaterial& material);
    DbResult<Done> Remove(qint64 id);
    DbResult<bool> Update(const AudioMaterial& material);
    DbResult<std::vector<ListEntry>> Search(const QString& pathPart);

    /** The material registered under exactly that path (the same text,
     *  case included; no wildcards); the lowest key when there are several. */
    DbResult<std::optional<AudioMaterial>> FindByPath(const QString& pathname);
    /** How many materials are registered. */
    DbResult<qint64> Count();
    /** The material at position `n` (from 0) in key order; nullopt past the
     *  last one (a random pick that came after a removal). */
    DbResult<std::optional<AudioMaterial>> NthInKeyOrder(qint64 n);

  private:
    Database& db_;
};

}  // namespace kestrune::store
