// The registries of subjects and audio materials, and the practice subject:
// a new database gives key 1 to a subject row of its own before anybody
// registers, because the practice runs store their answers under subject 1.
// A database brought up from schema version 1 gets that row only when it has
// no subjects; one that has subjects keeps them and their keys as they are.

#include <QProcess>

#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "StoreFixture.h"
#include "store/Dialect.h"
#include "store/Integrity.h"
#include "store/Registry.h"
#include "store/Schema.h"

namespace kestrune::store::testing {
namespace {

std::vector<qint64> Ids(const std::vector<ListEntry>& entries) {
    std::vector<qint64> ids;
    for (const ListEntry& e : entries) ids.push_back(e.id);
    return ids;
}

// Every field of a row, to compare whole rows (nullopt when there is none).
std::optional<std::tuple<qint64, QString, char, int, int, int, QString>> Fields(
    const std::optional<Subject>& s) {
    if (!s) return std::nullopt;
    return std::tuple(s->id, s->name, s->sex, s->birthYear, s->handuse, s->education,
                      s->description);
}

std::optional<std::tuple<qint64, QString, int, QString, char, int, int, QString>> Fields(
    const std::optional<AudioMaterial>& m) {
    if (!m) return std::nullopt;
    return std::tuple(m->id, m->pathname, m->lengthMs, m->fileType, m->sex, m->channels, m->bits,
                      m->content);
}

Subject MakeSubject(const QString& name, char sex = 'M') {
    return {0, name, sex, 1962, 1, 12, "右耳が少し悪い"};
}

AudioMaterial MakeMaterial(const QString& path) {
    return {0, path, 1500, "Other", 'F', 1, 16, "きょうはいいてんきです"};
}

TEST_P(OpenStoreTest, SubjectsAreAddedLoadedChangedAndRemoved) {
    SubjectRegistry subjects(*db);
    Subject obrien = MakeSubject("O'Brien", 'f');
    obrien.id = Must(subjects.Add(obrien));
    const qint64 ito = Must(subjects.Add(MakeSubject("いとう'", 'x')));
    EXPECT_GT(ito, obrien.id);
    obrien.sex = 'F';  // stored as the code the mapping writes
    EXPECT_EQ(Fields(Must(subjects.Load(obrien.id))), Fields(obrien));
    EXPECT_EQ(Must(subjects.Load(ito))->sex, 'U');
    EXPECT_FALSE(Must(subjects.Load(ito + 50)));

    Subject changed = {obrien.id, "O'Brien-Sato", 'M', 1970, 2, 3, QString()};
    EXPECT_TRUE(Must(subjects.Update(changed)));
    EXPECT_EQ(Fields(Must(subjects.Load(obrien.id))), Fields(changed));

    // The entry form's correction touches only name and year of birth.
    EXPECT_TRUE(Must(subjects.UpdateNameAndBirthYear(obrien.id, "OBRIEN", 1980)));
    Subject corrected = changed;
    corrected.name = "OBRIEN";
    corrected.birthYear = 1980;
    EXPECT_EQ(Fields(Must(subjects.Load(obrien.id))), Fields(corrected));

    ASSERT_TRUE(subjects.Remove(obrien.id).Ok());
    EXPECT_FALSE(Must(subjects.Load(obrien.id)));
    EXPECT_FALSE(Must(subjects.Update(changed)));
    EXPECT_FALSE(Must(subjects.UpdateNameAndBirthYear(obrien.id, "x", 1)));
    EXPECT_EQ(Ids(Must(subjects.List(SubjectRegistry::AllSubjects()))),
              (std::vector<qint64>{kPracticeSubjectId, ito}));
}

TEST_P(OpenStoreTest, ListingsFollowTheOpenersQueryAndKeyOrder) {
    SubjectRegistry subjects(*db);
    const qint64 a = Must(subjects.Add(MakeSubject("Aoki")));
    const qint64 b = Must(subjects.Add(MakeSubject("Baba")));
    const qint64 c = Must(subjects.Add(MakeSubject("Chiba")));
    // Changing the first row must not move it in the standard listing.
    Subject first = *Must(subjects.Load(a));
    first.description = "changed";
    ASSERT_TRUE(Must(subjects.Update(first)));
    // The standard listing shows every row, the practice subject first.
    const std::vector<ListEntry> all = Must(subjects.List(SubjectRegistry::AllSubjects()));
    EXPECT_EQ(Ids(all), (std::vector<qint64>{kPracticeSubjectId, a, b, c}));
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].text, "PRACTICE");
    EXPECT_EQ(all[2].text, "Baba");
    // An opener's own query is taken as given, rows in the order returned.
    const std::vector<ListEntry> reversed = Must(
        subjects.List({"select * from IndividualInfo where IIID <> ? ORDER BY IIID DESC", {b}}));
    EXPECT_EQ(Ids(reversed), (std::vector<qint64>{c, a, kPracticeSubjectId}));

    AudioRegistry audio(*db);
    const qint64 m = Must(audio.Add(MakeMaterial("wav/a.wav")));
    Must(audio.Add(MakeMaterial("wav/b.wav")));
    const std::vector<ListEntry> one = Must(audio.List(AudioRegistry::OneMaterial(m)));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].id, m);
    EXPECT_EQ(one[0].text, "wav/a.wav");
    EXPECT_EQ(Must(audio.List(AudioRegistry::AllMaterials())).size(), 2u);
}

// A second row of the same path gets a key of its own (the subjects' the
// concurrent registration test shows).
TEST_P(OpenStoreTest, AudioMaterialsAreAddedLoadedChangedAndRemoved) {
    AudioRegistry audio(*db);
    AudioMaterial material = MakeMaterial("C:\\Stimuli\\100%_あ.wav");
    const qint64 m1 = Must(audio.Add(material));
    material.id = Must(audio.Add(material));
    EXPECT_GT(material.id, m1);
    EXPECT_EQ(Fields(Must(audio.Load(material.id))), Fields(material));

    AudioMaterial changed = {m1, "b.wav", 2500, "Others", 'm', 2, 8, "O'Neil"};
    EXPECT_TRUE(Must(audio.Update(changed)));
    changed.sex = 'M';
    EXPECT_EQ(Fields(Must(audio.Load(m1))), Fields(changed));
    ASSERT_TRUE(audio.Remove(m1).Ok());
    EXPECT_FALSE(Must(audio.Load(m1)));
    EXPECT_FALSE(Must(audio.Update(changed)));
    EXPECT_EQ(Must(audio.List(AudioRegistry::AllMaterials())).size(), 1u);
}

// The single-factor experiment confirms a typed path exactly and picks a
// material by its position in key order.
TEST_P(OpenStoreTest, MaterialsAreFoundByExactPathAndByPosition) {
    AudioRegistry audio(*db);
    EXPECT_EQ(Must(audio.Count()), 0);
    EXPECT_FALSE(Must(audio.NthInKeyOrder(0)));
    const qint64 a = Must(audio.Add(MakeMaterial("C:\\Wav\\a_1.wav")));
    const qint64 b = Must(audio.Add(MakeMaterial("wav/b%.WAV")));
    const qint64 twin = Must(audio.Add(MakeMaterial("C:\\Wav\\a_1.wav")));
    ASSERT_TRUE(audio.Remove(Must(audio.Add(MakeMaterial("gone.wav")))).Ok());
    const std::tuple<QString, std::optional<qint64>> byPath[] = {
        {"C:\\Wav\\a_1.wav", a},      {"wav/b%.WAV", b},
        {"wav/b%.wav", std::nullopt}, {"C:\\Wav\\a_%.wav", std::nullopt},
        {"wav/b%", std::nullopt},     {"", std::nullopt},
    };
    for (const auto& [path, id] : byPath) {
        const auto found = Must(audio.FindByPath(path));
        EXPECT_EQ(found ? std::optional(found->id) : std::nullopt, id) << path.toStdString();
    }
    EXPECT_EQ(Must(audio.Count()), 3);
    const std::tuple<qint64, std::optional<qint64>> byPosition[] = {
        {0, a}, {1, b}, {2, twin}, {3, std::nullopt}, {-1, std::nullopt}};
    for (const auto& [n, id] : byPosition) {
        const auto found = Must(audio.NthInKeyOrder(n));
        EXPECT_EQ(found ? std::optional(found->id) : std::nullopt, id) << n;
    }
    EXPECT_EQ(Fields(Must(audio.NthInKeyOrder(1))), Fields(Must(audio.Load(b))));
}

TEST_P(OpenStoreTest, SearchTakesALikePatternIgnoringCase) {
    SubjectRegistry subjects(*db);
    const qint64 sato = Must(subjects.Add(MakeSubject("SATO Kenji")));
    const qint64 kato = Must(subjects.Add(MakeSubject("kato")));
    const qint64 percent = Must(subjects.Add(MakeSubject("100% sure")));
    const qint64 japanese = Must(subjects.Add(MakeSubject("さとう")));
    const qint64 nameless = Must(db->Insert("IndividualInfo", "IIID", {{"IISex", "U"}}));

    EXPECT_EQ(Ids(Must(subjects.Search("ato"))), (std::vector<qint64>{sato, kato}));
    EXPECT_EQ(Ids(Must(subjects.Search("KATO"))), std::vector<qint64>{kato});
    EXPECT_EQ(Ids(Must(subjects.Search("さと"))), std::vector<qint64>{japanese});
    // The text is a pattern: _ stands for one character, % for any run.
    EXPECT_EQ(Ids(Must(subjects.Search("_ato"))), (std::vector<qint64>{sato, kato}));
    EXPECT_EQ(Ids(Must(subjects.Search("s%j"))), std::vector<qint64>{sato});
    EXPECT_EQ(Ids(Must(subjects.Search("100%"))), std::vector<qint64>{percent});
    EXPECT_TRUE(Must(subjects.Search("nobody")).empty());
    // An empty text finds every row that has a name, the practice subject's too.
    EXPECT_EQ(Ids(Must(subjects.Search(QString()))),
              (std::vector<qint64>{kPracticeSubjectId, sato, kato, percent, japanese}));
    EXPECT_GT(nameless, japanese);

    AudioRegistry audio(*db);
    const qint64 backslash = Must(audio.Add(MakeMaterial("C:\\Data\\Wav\\a.wav")));
    const qint64 slash = Must(audio.Add(MakeMaterial("data/wav/b.WAV")));
    EXPECT_EQ(Ids(Must(audio.Search("\\data\\"))), std::vector<qint64>{backslash});
    EXPECT_EQ(Ids(Must(audio.Search("a\\w"))), std::vector<qint64>{backslash});
    EXPECT_EQ(Ids(Must(audio.Search(".wav"))), (std::vector<qint64>{backslash, slash}));
    EXPECT_EQ(Ids(Must(audio.Search(""))), (std::vector<qint64>{backslash, slash}));
}

// Case is ignored in every alphabet, the same way on both engines; kana
// have no case and hiragana never match katakana.
TEST_P(OpenStoreTest, SearchIgnoresTheCaseOfEveryAlphabetAlike) {
    SubjectRegistry subjects(*db);
    const qint64 mueller = Must(subjects.Add(MakeSubject("MÜLLER Jürgen")));
    const qint64 oeztuerk = Must(subjects.Add(MakeSubject("öztürk")));
    const qint64 sophia = Must(subjects.Add(MakeSubject("ΣΟΦΙΑ Παπαδοπούλου")));
    const qint64 wide = Must(subjects.Add(MakeSubject("ＹＡＭＡＤＡ")));
    const qint64 kana = Must(subjects.Add(MakeSubject("やまだ ヤマダ")));
    const qint64 ascii = Must(subjects.Add(MakeSubject("Yamada")));
    const struct {
        const char* text;
        std::vector<qint64> found;
    } rows[] = {
        {"müller", {mueller}},
        {"JÜRGEN", {mueller}},
        {"ÖZTÜRK", {oeztuerk}},
        {"ü", {mueller, oeztuerk}},
        {"σοφια", {sophia}},
        {"ΠΑΠΑΔΟΠΟΎΛΟΥ", {sophia}},
        {"ｙａｍａｄａ", {wide}},
        {"yamada", {ascii}},  // full-width letters are letters of their own
        {"YAMADA", {ascii}},
        {"やまだ", {kana}},
        {"ヤマダ", {kana}},
        {"ダ や", {}},
        {"ﾔﾏﾀﾞ", {}},  // half-width katakana are not folded into full-width
        {"mueller", {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Ids(Must(subjects.Search(QString::fromUtf8(row.text)))), row.found) << row.text;

    AudioRegistry audio(*db);
    const qint64 path = Must(audio.Add(MakeMaterial("D:\\Ärzte\\ÜBUNG.wav")));
    EXPECT_EQ(Ids(Must(audio.Search("\\ärzte\\übung"))), std::vector<qint64>{path});
}

TEST_P(OpenStoreTest, RemovingASubjectLeavesItsRecordsAlone) {
    SubjectRegistry subjects(*db);
    AudioRegistry audio(*db);
    const qint64 subject = Must(subjects.Add(MakeSubject("Gone")));
    const qint64 other = Must(subjects.Add(MakeSubject("Stays")));
    const qint64 material = Must(audio.Add(MakeMaterial("a.wav")));
    Must(db->Insert("TestRecord", "TRID", {{"IIID", subject}, {"AIID", material}}));
    Must(db->Insert("StatisticalRecord", "SRID", {{"IIID", subject}}));
    Must(db->Insert("NewSyllableMaskRecord", QString(), {{"IIID", subject}}));

    ASSERT_TRUE(subjects.Remove(subject).Ok());
    ASSERT_TRUE(audio.Remove(material).Ok());
    // IndividualInfo: the practice subject and the one that stays.
    const std::vector<std::pair<QString, qint64>> expected = {{"IndividualInfo", 2},
                                                              {"AudioInfo", 0},
                                                              {"TestRecord", 1},
                                                              {"StatisticalRecord", 1},
                                                              {"BasicRecord", 0},
                                                              {"SyllableMaskRecord", 0},
                                                              {"NewSyllableMaskRecord", 1},
                                                              {"SyllableSpeedupRecord", 0},
                                                              {"StatisticalSyllableMaskRecord", 0}};
    EXPECT_EQ(Must(db->TableCounts()), expected);
    EXPECT_TRUE(Must(subjects.Load(other)));
}

// ------------------------------------------------------------------ the practice subject

const QString kPracticeRow = "1|PRACTICE|NULL|NULL|NULL|NULL|練習用（被験者ではありません）";

// Every IndividualInfo row in key order, its columns joined by "|" with
// NULL for no value, so whole rows are compared at once.
QStringList SubjectRows(Database& db) {
    QStringList rows;
    for (const Row& row : Rows(db, "SELECT * FROM IndividualInfo ORDER BY IIID")) {
        QStringList fields;
        for (const char* column :
             {"IIID", "IIName", "IISex", "IIAge", "IIHanduse", "IIEducation", "IIDescription"}) {
            fields << (row.IsNull(column) ? QStringLiteral("NULL") : row.Text(column));
        }
        rows << fields.join('|');
    }
    return rows;
}

qint64 AddSubject(Database& db, const QString& name) {
    return Must(SubjectRegistry(db).Add({0, name, 'M', 1970, 0, 12, QString()}));
}

TEST_P(StoreTest, ANewDatabaseHoldsOnlyThePracticeSubjectAndRegistersFromKeyTwo) {
    {
        auto db = Open();
        ASSERT_TRUE(db);
        EXPECT_EQ(SubjectRows(*db), QStringList{kPracticeRow});
        // Both ways of adding a subject go on after the practice subject.
        EXPECT_EQ(AddSubject(*db, "Aoki"), 2);
        EXPECT_EQ(Must(db->Insert("IndividualInfo", "IIID", {{"IIName", "Baba"}})), 3);
    }
    // Opening it again adds nothing and changes nothing.
    auto db = Open();
    ASSERT_TRUE(db);
    EXPECT_EQ(SubjectRows(*db), QStringList({kPracticeRow, "2|Aoki|M|1970|0|12|",
                                             "3|Baba|NULL|NULL|NULL|NULL|NULL"}));
    EXPECT_EQ(Count(*db, "KestruneSchema"), 1);
}

// Databases made before the current schema, through a plain connection so
// that the store's migration has not run yet.
struct OlderDatabase {
    const char* what;
    bool versionOne;  // the tables of version 1's step with that version recorded
    QStringList statements;
    QStringList subjects;  // after the first Open
    qint64 nextKey;        // the next subject's key (0: not tried)
};

const OlderDatabase kOlder[] = {
    // Key 1 is free again, yet no practice row may appear there or anywhere;
    // the key counter carries on where version 1 left it.
    {"version 1 with subjects",
     true,
     {"INSERT INTO IndividualInfo (IIName, IISex) VALUES ('Aoki', 'M')",
      "INSERT INTO IndividualInfo (IIName, IISex) VALUES ('Baba', 'F')",
      "INSERT INTO IndividualInfo (IIName, IIAge) VALUES ('Chiba', 1950)",
      "DELETE FROM IndividualInfo WHERE IIName = 'Aoki'",
      "INSERT INTO BasicRecord (IIID, BRContent) VALUES (2, 'kept')"},
     {"2|Baba|F|NULL|NULL|NULL|NULL", "3|Chiba|NULL|1950|NULL|NULL|NULL"},
     4},
    {"version 1 without subjects",
     true,
     {"INSERT INTO BasicRecord (IIID, BRContent) VALUES (1, 'kept')"},
     {kPracticeRow},
     2},
    // The practice row takes key 1; no removed subject's key is given again.
    {"version 1 with every subject removed",
     true,
     {"INSERT INTO IndividualInfo (IIName) VALUES ('Aoki')",
      "INSERT INTO IndividualInfo (IIName) VALUES ('Baba')",
      "INSERT INTO IndividualInfo (IIName) VALUES ('Chiba')", "DELETE FROM IndividualInfo",
      "INSERT INTO BasicRecord (IIID, BRContent) VALUES (3, 'kept')"},
     {kPracticeRow},
     4},
    // Adopted tables made by hand (no version record), with their rows.
    {"a hand-made subject table with a subject",
     false,
     {"CREATE TABLE IndividualInfo (IIID INTEGER PRIMARY KEY, IIName TEXT, IISex TEXT, "
      "IIAge INTEGER, IIHanduse INTEGER, IIEducation INTEGER, IIDescription TEXT)",
      "INSERT INTO IndividualInfo (IIID, IIName) VALUES (41, 'Kept')"},
     {"41|Kept|NULL|NULL|NULL|NULL|NULL"},
     0},
    // The same without auto-numbering (IIID a plain key) and no subject.
    {"a hand-made subject table without auto-numbering",
     false,
     {"CREATE TABLE IndividualInfo (IIID INTEGER PRIMARY KEY NOT NULL, IIName TEXT, IISex TEXT, "
      "IIAge INTEGER, IIHanduse INTEGER, IIEducation INTEGER, IIDescription TEXT)"},
     {kPracticeRow},
     0},
};

TEST_P(StoreTest, AnOlderDatabaseGetsThePracticeSubjectOnlyWithoutSubjects) {
    for (const OlderDatabase& older : kOlder) {
        SCOPED_TRACE(older.what);
        if (&older != kOlder) NewDatabase();  // a database of its own for each
        QStringList statements;
        if (older.versionOne) {
            statements = MigrationStep(1, Dialect::For(Location().engine));
            statements << QStringLiteral("CREATE TABLE %1 (version INTEGER NOT NULL)")
                              .arg(QLatin1String(kVersionTable))
                       << QStringLiteral("INSERT INTO %1 (version) VALUES (1)")
                              .arg(QLatin1String(kVersionTable));
        }
        {
            RawConnection raw(Location());
            for (const QString& sql : statements + older.statements) {
                ASSERT_TRUE(raw.Exec(sql)) << S(sql) << ": " << S(raw.LastError());
            }
        }
        {
            auto db = Open();
            ASSERT_TRUE(db);
            EXPECT_EQ(db->SchemaVersion(), CurrentSchemaVersion());
            EXPECT_EQ(SubjectRows(*db), older.subjects);
            if (older.nextKey != 0) {
                EXPECT_EQ(AddSubject(*db, "Daido"), older.nextKey);
            }
        }
        RawConnection raw(Location());
        EXPECT_EQ(raw.Scalar("SELECT COUNT(*) FROM KestruneSchema").toInt(), 1);
        EXPECT_EQ(raw.Scalar("SELECT COUNT(*) FROM IndividualInfo").toInt(),
                  older.subjects.size() + (older.nextKey != 0));
        if (older.versionOne) {
            EXPECT_EQ(raw.Scalar("SELECT BRContent FROM BasicRecord").toString(), "kept");
        }
    }
}

// Three stations register one name at the same time, 400 times each: every
// key returned is that station's own row (not one read back by name).
TEST_P(StoreTest, StationsRegisteringOneNameAtOnceEachGetTheirOwnKeys) {
    constexpr int kStations = 3, kEach = 400;
    Open().reset();  // the schema exists before the stations start
    const QString name = "Yamada Hanako";
    QProcess stations[kStations];
    for (int i = 0; i < kStations; ++i) {
        stations[i].setProcessChannelMode(QProcess::ForwardedErrorChannel);
        stations[i].start(
            KESTRUNE_REGISTER_CHILD,
            {ChildUrl(Location()), name, QString("station %1").arg(i), QString::number(kEach)});
    }
    for (QProcess& station : stations) {
        ASSERT_TRUE(station.waitForFinished(-1));
        EXPECT_TRUE(station.exitStatus() == QProcess::NormalExit && station.exitCode() == 0);
        EXPECT_EQ(station.readAllStandardOutput().toStdString(), "registered=400 mixed=0\n");
    }
    auto db = Open();
    ASSERT_TRUE(db);
    EXPECT_EQ(Scalar(*db, "SELECT COUNT(*) FROM IndividualInfo WHERE IIName = ?", {name}).toInt(),
              kStations * kEach);
}

// A table gone behind the store's back: the integrity check names it, and a
// registration there reports the failure and no key.
TEST_P(OpenStoreTest, AMissingTableIsNamedByTheCheckAndRefusesRegistrations) {
    Must(AudioRegistry(*db).Add(MakeMaterial("b.wav")));
    EXPECT_EQ(IntegrityProblems(*db), QStringList());
    {
        RawConnection other(Location());
        ASSERT_TRUE(other.Exec("DROP TABLE AudioInfo")) << S(other.LastError());
    }
    const QStringList problems = IntegrityProblems(*db);
    ASSERT_EQ(problems.size(), 1) << S(problems.join('\n'));
    EXPECT_TRUE(problems[0].startsWith("AudioInfo: ")) << S(problems[0]);
    const DbResult<qint64> key = AudioRegistry(*db).Add(MakeMaterial("a.wav"));
    ASSERT_FALSE(key.Ok());
    EXPECT_EQ(key.value, 0);
    EXPECT_NE(key.error->sql.indexOf("a.wav"), -1) << S(key.error->Text());
}

}  // namespace
}  // namespace kestrune::store::testing
