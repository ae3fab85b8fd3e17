#include <gtest/gtest.h>

#include "StoreFixture.h"
#include "store/Registry.h"

namespace kestrune::store::testing {
namespace {

std::string S(const QString& text) {
    return text.toStdString();
}

template <typename T>
T Must(DbResult<T> result) {
    EXPECT_TRUE(result.Ok()) << S(result.error->Text());
    return std::move(result.value);
}

std::vector<qint64> Ids(const std::vector<ListEntry>& entries) {
    std::vector<qint64> ids;
    for (const ListEntry& e : entries) ids.push_back(e.id);
    return ids;
}

Subject MakeSubject(const QString& name, char sex = 'M') {
    Subject s;
    s.name = name;
    s.sex = sex;
    s.birthYear = 1962;
    s.handuse = 1;
    s.education = 12;
    s.description = QStringLiteral("右耳が少し悪い");
    return s;
}

AudioMaterial MakeMaterial(const QString& path) {
    AudioMaterial m;
    m.pathname = path;
    m.lengthMs = 1500;
    m.fileType = QStringLiteral("Other");
    m.sex = 'F';
    m.channels = 1;
    m.bits = 16;
    m.content = QStringLiteral("きょうはいいてんきです");
    return m;
}

TEST_P(StoreTest, SubjectsAreAddedLoadedChangedAndRemoved) {
    auto db = Open();
    ASSERT_TRUE(db);
    SubjectRegistry subjects(*db);
    const qint64 obrien = Must(subjects.Add(MakeSubject(QStringLiteral("O'Brien"), 'f')));
    const qint64 ito = Must(subjects.Add(MakeSubject(QStringLiteral("いとう'"), 'x')));
    EXPECT_GT(ito, obrien);

    std::optional<Subject> loaded = Must(subjects.Load(obrien));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->id, obrien);
    EXPECT_EQ(loaded->name, QStringLiteral("O'Brien"));
    EXPECT_EQ(loaded->sex, 'F');  // stored as the code the mapping writes
    EXPECT_EQ(loaded->birthYear, 1962);
    EXPECT_EQ(loaded->handuse, 1);
    EXPECT_EQ(loaded->education, 12);
    EXPECT_EQ(loaded->description, QStringLiteral("右耳が少し悪い"));
    EXPECT_EQ(Must(subjects.Load(ito))->sex, 'U');
    EXPECT_FALSE(Must(subjects.Load(ito + 50)));

    Subject changed = *loaded;
    changed.name = QStringLiteral("O'Brien-Sato");
    changed.sex = 'M';
    changed.birthYear = 1970;
    changed.handuse = 2;
    changed.education = 3;
    changed.description.clear();
    EXPECT_TRUE(Must(subjects.Update(changed)));
    loaded = Must(subjects.Load(obrien));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->name, changed.name);
    EXPECT_EQ(loaded->sex, 'M');
    EXPECT_EQ(loaded->birthYear, 1970);
    EXPECT_EQ(loaded->handuse, 2);
    EXPECT_EQ(loaded->education, 3);
    EXPECT_EQ(loaded->description, QString());

    // The entry form's correction touches only name and year of birth.
    EXPECT_TRUE(Must(subjects.UpdateNameAndBirthYear(obrien, QStringLiteral("OBRIEN"), 1980)));
    loaded = Must(subjects.Load(obrien));
    EXPECT_EQ(loaded->name, QStringLiteral("OBRIEN"));
    EXPECT_EQ(loaded->birthYear, 1980);
    EXPECT_EQ(loaded->handuse, 2);

    ASSERT_TRUE(subjects.Remove(obrien).Ok());
    EXPECT_FALSE(Must(subjects.Load(obrien)));
    EXPECT_FALSE(Must(subjects.Update(changed)));
    EXPECT_FALSE(Must(subjects.UpdateNameAndBirthYear(obrien, QStringLiteral("x"), 1)));
    EXPECT_EQ(Ids(Must(subjects.List(SubjectRegistry::AllSubjects()))), std::vector<qint64>{ito});
}

TEST_P(StoreTest, ListingsFollowTheOpenersQueryAndKeyOrder) {
    auto db = Open();
    ASSERT_TRUE(db);
    SubjectRegistry subjects(*db);
    const qint64 a = Must(subjects.Add(MakeSubject(QStringLiteral("Aoki"))));
    const qint64 b = Must(subjects.Add(MakeSubject(QStringLiteral("Baba"))));
    const qint64 c = Must(subjects.Add(MakeSubject(QStringLiteral("Chiba"))));
    // Changing the first row must not move it in the standard listing.
    Subject first = *Must(subjects.Load(a));
    first.description = QStringLiteral("changed");
    ASSERT_TRUE(Must(subjects.Update(first)));
    const std::vector<ListEntry> all = Must(subjects.List(SubjectRegistry::AllSubjects()));
    EXPECT_EQ(Ids(all), (std::vector<qint64>{a, b, c}));
    ASSERT_EQ(all.size(), 3u);
    EXPECT_EQ(all[1].text, QStringLiteral("Baba"));
    // An opener's own query is taken as given, rows in the order returned.
    const std::vector<ListEntry> reversed = Must(subjects.List(
        {QStringLiteral("select * from IndividualInfo where IIID <> ? ORDER BY IIID DESC"), {b}}));
    EXPECT_EQ(Ids(reversed), (std::vector<qint64>{c, a}));

    AudioRegistry audio(*db);
    const qint64 m = Must(audio.Add(MakeMaterial(QStringLiteral("wav/a.wav"))));
    Must(audio.Add(MakeMaterial(QStringLiteral("wav/b.wav"))));
    const std::vector<ListEntry> one = Must(audio.List(AudioRegistry::OneMaterial(m)));
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].id, m);
    EXPECT_EQ(one[0].text, QStringLiteral("wav/a.wav"));
    EXPECT_EQ(Must(audio.List(AudioRegistry::AllMaterials())).size(), 2u);
}

TEST_P(StoreTest, ANewRowsKeyIsTheNewestWithItsNameOrPath) {
    auto db = Open();
    ASSERT_TRUE(db);
    SubjectRegistry subjects(*db);
    const qint64 first = Must(subjects.Add(MakeSubject(QStringLiteral("Tanaka"))));
    Must(subjects.Add(MakeSubject(QStringLiteral("Other"))));
    const qint64 second = Must(subjects.Add(MakeSubject(QStringLiteral("Tanaka"))));
    EXPECT_GT(second, first);
    EXPECT_EQ(Must(subjects.Load(second))->name, QStringLiteral("Tanaka"));

    AudioRegistry audio(*db);
    const QString path = QStringLiteral("C:\\Stimuli\\100%_あ.wav");
    const qint64 m1 = Must(audio.Add(MakeMaterial(path)));
    const qint64 m2 = Must(audio.Add(MakeMaterial(path)));
    EXPECT_GT(m2, m1);
    const std::optional<AudioMaterial> loaded = Must(audio.Load(m2));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->pathname, path);
    EXPECT_EQ(loaded->fileType, QStringLiteral("Other"));
    EXPECT_EQ(loaded->sex, 'F');
    EXPECT_EQ(loaded->lengthMs, 1500);
    EXPECT_EQ(loaded->channels, 1);
    EXPECT_EQ(loaded->bits, 16);
    EXPECT_EQ(loaded->content, QStringLiteral("きょうはいいてんきです"));
}

TEST_P(StoreTest, MaterialsAreChangedAndRemoved) {
    auto db = Open();
    ASSERT_TRUE(db);
    AudioRegistry audio(*db);
    const qint64 id = Must(audio.Add(MakeMaterial(QStringLiteral("a.wav"))));
    AudioMaterial changed = *Must(audio.Load(id));
    changed.pathname = QStringLiteral("b.wav");
    changed.fileType = QStringLiteral("Others");
    changed.sex = 'm';
    changed.lengthMs = 2500;
    changed.channels = 2;
    changed.bits = 8;
    changed.content = QStringLiteral("O'Neil");
    EXPECT_TRUE(Must(audio.Update(changed)));
    const AudioMaterial loaded = *Must(audio.Load(id));
    EXPECT_EQ(loaded.pathname, QStringLiteral("b.wav"));
    EXPECT_EQ(loaded.fileType, QStringLiteral("Others"));
    EXPECT_EQ(loaded.sex, 'M');
    EXPECT_EQ(loaded.lengthMs, 2500);
    EXPECT_EQ(loaded.channels, 2);
    EXPECT_EQ(loaded.bits, 8);
    EXPECT_EQ(loaded.content, QStringLiteral("O'Neil"));
    ASSERT_TRUE(audio.Remove(id).Ok());
    EXPECT_FALSE(Must(audio.Load(id)));
    EXPECT_FALSE(Must(audio.Update(changed)));
    EXPECT_TRUE(Must(audio.List(AudioRegistry::AllMaterials())).empty());
}

TEST_P(StoreTest, SearchTakesALikePatternIgnoringAsciiCase) {
    auto db = Open();
    ASSERT_TRUE(db);
    SubjectRegistry subjects(*db);
    const qint64 sato = Must(subjects.Add(MakeSubject(QStringLiteral("SATO Kenji"))));
    const qint64 kato = Must(subjects.Add(MakeSubject(QStringLiteral("kato"))));
    const qint64 percent = Must(subjects.Add(MakeSubject(QStringLiteral("100% sure"))));
    const qint64 japanese = Must(subjects.Add(MakeSubject(QStringLiteral("さとう"))));
    const qint64 nameless =
        Must(db->Insert(QStringLiteral("IndividualInfo"), QStringLiteral("IIID"),
                        {{QStringLiteral("IISex"), QStringLiteral("U")}}));

    EXPECT_EQ(Ids(Must(subjects.Search(QStringLiteral("ato")))), (std::vector<qint64>{sato, kato}));
    EXPECT_EQ(Ids(Must(subjects.Search(QStringLiteral("Sato")))), std::vector<qint64>{sato});
    EXPECT_EQ(Ids(Must(subjects.Search(QStringLiteral("KATO")))), std::vector<qint64>{kato});
    EXPECT_EQ(Ids(Must(subjects.Search(QStringLiteral("さと")))), std::vector<qint64>{japanese});
    // The text is a pattern: _ stands for one character, % for any run.
    EXPECT_EQ(Ids(Must(subjects.Search(QStringLiteral("_ato")))),
              (std::vector<qint64>{sato, kato}));
    EXPECT_EQ(Ids(Must(subjects.Search(QStringLiteral("s%j")))), std::vector<qint64>{sato});
    EXPECT_EQ(Ids(Must(subjects.Search(QStringLiteral("100%")))), std::vector<qint64>{percent});
    EXPECT_TRUE(Must(subjects.Search(QStringLiteral("nobody"))).empty());
    // An empty text finds every row that has a name.
    EXPECT_EQ(Ids(Must(subjects.Search(QString()))),
              (std::vector<qint64>{sato, kato, percent, japanese}));
    EXPECT_GT(nameless, japanese);

    AudioRegistry audio(*db);
    const qint64 backslash = Must(audio.Add(MakeMaterial(QStringLiteral("C:\\Data\\Wav\\a.wav"))));
    const qint64 slash = Must(audio.Add(MakeMaterial(QStringLiteral("data/wav/b.WAV"))));
    EXPECT_EQ(Ids(Must(audio.Search(QStringLiteral("\\data\\")))), std::vector<qint64>{backslash});
    EXPECT_EQ(Ids(Must(audio.Search(QStringLiteral("a\\w")))), std::vector<qint64>{backslash});
    EXPECT_EQ(Ids(Must(audio.Search(QStringLiteral(".wav")))),
              (std::vector<qint64>{backslash, slash}));
    EXPECT_EQ(Ids(Must(audio.Search(QStringLiteral("")))), (std::vector<qint64>{backslash, slash}));
}

TEST_P(StoreTest, RemovingASubjectLeavesItsRecordsAlone) {
    auto db = Open();
    ASSERT_TRUE(db);
    SubjectRegistry subjects(*db);
    AudioRegistry audio(*db);
    const qint64 subject = Must(subjects.Add(MakeSubject(QStringLiteral("Gone"))));
    const qint64 other = Must(subjects.Add(MakeSubject(QStringLiteral("Stays"))));
    const qint64 material = Must(audio.Add(MakeMaterial(QStringLiteral("a.wav"))));
    Must(db->Insert(QStringLiteral("TestRecord"), QStringLiteral("TRID"),
                    {{QStringLiteral("IIID"), subject}, {QStringLiteral("AIID"), material}}));
    Must(db->Insert(QStringLiteral("StatisticalRecord"), QStringLiteral("SRID"),
                    {{QStringLiteral("IIID"), subject}}));
    Must(db->Insert(QStringLiteral("NewSyllableMaskRecord"), QString(),
                    {{QStringLiteral("IIID"), subject}}));

    ASSERT_TRUE(subjects.Remove(subject).Ok());
    ASSERT_TRUE(audio.Remove(material).Ok());
    const auto counts = Must(db->TableCounts());
    const std::vector<std::pair<QString, qint64>> expected = {{"IndividualInfo", 1},
                                                              {"AudioInfo", 0},
                                                              {"TestRecord", 1},
                                                              {"StatisticalRecord", 1},
                                                              {"BasicRecord", 0},
                                                              {"SyllableMaskRecord", 0},
                                                              {"NewSyllableMaskRecord", 1},
                                                              {"SyllableSpeedupRecord", 0},
                                                              {"StatisticalSyllableMaskRecord", 0}};
    EXPECT_EQ(counts, expected);
    EXPECT_TRUE(Must(subjects.Load(other)));
}

}  // namespace
}  // namespace kestrune::store::testing
