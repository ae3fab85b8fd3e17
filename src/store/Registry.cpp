#include "store/Registry.h"

#include <string>

#include "core/registry/Mappings.h"
#include "store/Dialect.h"
#include "store/Schema.h"

namespace kestrune::store {
namespace {

// Texts are bound as texts even when empty, as the dialogs have always
// stored them (a search or "= ?" finds them; a null would not be).
QVariant TextValue(const QString& text) {
    return text.isNull() ? QStringLiteral("") : text;
}

// One-character sex code as stored: M, F, or U for anything else.
QString SexText(char code) {
    return QString(QLatin1Char(SexCodeForIndex(SexIndexForCode(std::string(1, code)))));
}

char SexCode(const QString& stored) {
    return SexCodeForIndex(SexIndexForCode(stored.toStdString()));
}

DbResult<std::vector<ListEntry>> ListRows(Database& db, const Statement& listing,
                                          const QString& keyColumn, const QString& textColumn) {
    DbResult<std::vector<ListEntry>> result;
    DbResult<std::vector<Row>> rows = db.Query(listing);
    result.error = rows.error;
    for (const Row& row : rows.value) {
        result.value.push_back(ListEntry{row.Int(keyColumn), row.Text(textColumn)});
    }
    return result;
}

AudioMaterial MaterialFromRow(const Row& row) {
    AudioMaterial material;
    material.id = row.Int(QStringLiteral("AIID"));
    material.pathname = row.Text(QStringLiteral("AIPathname"));
    material.lengthMs = static_cast<int>(row.Int(QStringLiteral("AILength")));
    material.fileType = row.Text(QStringLiteral("AIFiletype"));
    material.sex = SexCode(row.Text(QStringLiteral("AISex")));
    material.channels = static_cast<int>(row.Int(QStringLiteral("AIChannel")));
    material.bits = static_cast<int>(row.Int(QStringLiteral("AIBits")));
    material.content = row.Text(QStringLiteral("AIContent"));
    return material;
}

// The first AudioInfo row a query returns; nullopt when it returns none.
DbResult<std::optional<AudioMaterial>> FirstMaterial(Database& db, const Statement& query) {
    DbResult<std::optional<AudioMaterial>> result;
    DbResult<std::vector<Row>> rows = db.Query(query);
    result.error = rows.error;
    if (result.Ok() && !rows.value.empty()) result.value = MaterialFromRow(rows.value.front());
    return result;
}

DbError Reserved(const Statement& refused) {
    return DbError{QString::fromUtf8(kPracticeSubjectReserved), refused.Display()};
}

}  // namespace

// ---------------------------------------------------------------- subjects

Statement SubjectRegistry::AllSubjects() {
    // Key order on both engines (PostgreSQL returns updated rows last
    // without an ORDER BY).
    return Statement{QStringLiteral("select * from IndividualInfo ORDER BY IIID"), {}};
}

DbResult<std::vector<ListEntry>> SubjectRegistry::List(const Statement& listing) {
    return ListRows(db_, listing, QStringLiteral("IIID"), QStringLiteral("IIName"));
}

DbResult<std::optional<Subject>> SubjectRegistry::Load(qint64 id) {
    DbResult<std::optional<Subject>> result;
    DbResult<std::vector<Row>> rows =
        db_.Query({QStringLiteral("select * from IndividualInfo where IIID = ?"), {id}});
    result.error = rows.error;
    if (!result.Ok() || rows.value.empty()) return result;
    const Row& row = rows.value.front();
    Subject subject;
    subject.id = row.Int(QStringLiteral("IIID"));
    subject.name = row.Text(QStringLiteral("IIName"));
    subject.sex = SexCode(row.Text(QStringLiteral("IISex")));
    subject.birthYear = static_cast<int>(row.Int(QStringLiteral("IIAge")));
    subject.handuse = static_cast<int>(row.Int(QStringLiteral("IIHanduse")));
    subject.education = static_cast<int>(row.Int(QStringLiteral("IIEducation")));
    subject.description = row.Text(QStringLiteral("IIDescription"));
    result.value = subject;
    return result;
}

DbResult<qint64> SubjectRegistry::Add(const Subject& subject) {
    // The key comes from the insert itself: another station may register
    // the same name at the same moment, so a read-back by name could find
    // its row instead of ours.
    return db_.Insert(QStringLiteral("IndividualInfo"), QStringLiteral("IIID"),
                      {{QStringLiteral("IIName"), TextValue(subject.name)},
                       {QStringLiteral("IISex"), SexText(subject.sex)},
                       {QStringLiteral("IIAge"), subject.birthYear},
                       {QStringLiteral("IIHanduse"), subject.handuse},
                       {QStringLiteral("IIEducation"), subject.education},
                       {QStringLiteral("IIDescription"), TextValue(subject.description)}});
}

DbResult<Done> SubjectRegistry::Remove(qint64 id) {
    const Statement remove{QStringLiteral("delete from IndividualInfo where IIID = ?"), {id}};
    if (id == kPracticeSubjectId) return {{}, Reserved(remove)};
    return db_.Execute(remove);
}

DbResult<bool> SubjectRegistry::Update(const Subject& subject) {
    if (subject.id == kPracticeSubjectId)
        return {false, Reserved({QStringLiteral("update IndividualInfo where IIID = ?"), {1}})};
    return db_.UpdateRow(QStringLiteral("IndividualInfo"), QStringLiteral("IIID"), subject.id,
                         {{QStringLiteral("IIName"), TextValue(subject.name)},
                          {QStringLiteral("IIAge"), subject.birthYear},
                          {QStringLiteral("IIEducation"), subject.education},
                          {QStringLiteral("IIDescription"), TextValue(subject.description)},
                          {QStringLiteral("IISex"), SexText(subject.sex)},
                          {QStringLiteral("IIHanduse"), subject.handuse}});
}

DbResult<std::vector<ListEntry>> SubjectRegistry::Search(const QString& namePart) {
    return List({QStringLiteral("SELECT * FROM IndividualInfo WHERE %1 ORDER BY IIID")
                     .arg(db_.dialect().ContainsPattern(QStringLiteral("IIName"))),
                 {TextValue(namePart)}});
}

DbResult<std::vector<ListEntry>> SubjectRegistry::Described(const QString& description) {
    return List(
        {QStringLiteral("SELECT * FROM IndividualInfo WHERE IIDescription = ? ORDER BY IIID"),
         {TextValue(description)}});
}

DbResult<bool> SubjectRegistry::UpdateNameAndBirthYear(qint64 id, const QString& name,
                                                       int birthYear) {
    if (id == kPracticeSubjectId)
        return {false, Reserved({QStringLiteral("update IndividualInfo where IIID = ?"), {1}})};
    return db_.UpdateRow(
        QStringLiteral("IndividualInfo"), QStringLiteral("IIID"), id,
        {{QStringLiteral("IIName"), TextValue(name)}, {QStringLiteral("IIAge"), birthYear}});
}

// ---------------------------------------------------------------- audio materials

Statement AudioRegistry::AllMaterials() {
    return Statement{QStringLiteral("select * from AudioInfo ORDER BY AIID"), {}};
}

Statement AudioRegistry::OneMaterial(qint64 id) {
    return Statement{QStringLiteral("SELECT * FROM AudioInfo WHERE AIID = ?"), {id}};
}

DbResult<std::vector<ListEntry>> AudioRegistry::List(const Statement& listing) {
    return ListRows(db_, listing, QStringLiteral("AIID"), QStringLiteral("AIPathname"));
}

DbResult<std::optional<AudioMaterial>> AudioRegistry::Load(qint64 id) {
    return FirstMaterial(db_, {QStringLiteral("select * from AudioInfo where AIID = ?"), {id}});
}

DbResult<qint64> AudioRegistry::Add(const AudioMaterial& material) {
    // As for subjects: the insert's own key, never a read-back by path.
    return db_.Insert(QStringLiteral("AudioInfo"), QStringLiteral("AIID"),
                      {{QStringLiteral("AIPathname"), TextValue(material.pathname)},
                       {QStringLiteral("AILength"), material.lengthMs},
                       {QStringLiteral("AIFiletype"), TextValue(material.fileType)},
                       {QStringLiteral("AISex"), SexText(material.sex)},
                       {QStringLiteral("AIChannel"), material.channels},
                       {QStringLiteral("AIBits"), material.bits},
                       {QStringLiteral("AIContent"), TextValue(material.content)}});
}

DbResult<Done> AudioRegistry::Remove(qint64 id) {
    return db_.Execute({QStringLiteral("delete from AudioInfo where AIID = ?"), {id}});
}

DbResult<bool> AudioRegistry::Update(const AudioMaterial& material) {
    return db_.UpdateRow(QStringLiteral("AudioInfo"), QStringLiteral("AIID"), material.id,
                         {{QStringLiteral("AIPathname"), TextValue(material.pathname)},
                          {QStringLiteral("AILength"), material.lengthMs},
                          {QStringLiteral("AIChannel"), material.channels},
                          {QStringLiteral("AIBits"), material.bits},
                          {QStringLiteral("AIContent"), TextValue(material.content)},
                          {QStringLiteral("AIFiletype"), TextValue(material.fileType)},
                          {QStringLiteral("AISex"), SexText(material.sex)}});
}

DbResult<std::vector<ListEntry>> AudioRegistry::Search(const QString& pathPart) {
    return List({QStringLiteral("SELECT * FROM AudioInfo WHERE %1 ORDER BY AIID")
                     .arg(db_.dialect().ContainsPattern(QStringLiteral("AIPathname"))),
                 {TextValue(pathPart)}});
}

DbResult<std::optional<AudioMaterial>> AudioRegistry::FindByPath(const QString& pathname) {
    return FirstMaterial(
        db_, {QStringLiteral("SELECT * FROM AudioInfo WHERE AIPathname = ? ORDER BY AIID LIMIT 1"),
              {TextValue(pathname)}});
}

DbResult<qint64> AudioRegistry::Count() {
    DbResult<qint64> result;
    DbResult<std::vector<Row>> rows =
        db_.Query({QStringLiteral("SELECT COUNT(*) FROM AudioInfo"), {}});
    result.error = rows.error;
    if (result.Ok() && !rows.value.empty()) result.value = rows.value.front().At(0).toLongLong();
    return result;
}

DbResult<std::optional<AudioMaterial>> AudioRegistry::NthInKeyOrder(qint64 n) {
    if (n < 0) return {};
    return FirstMaterial(
        db_, {QStringLiteral("SELECT * FROM AudioInfo ORDER BY AIID LIMIT 1 OFFSET ?"), {n}});
}

}  // namespace kestrune::store
