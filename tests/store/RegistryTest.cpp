#include <gtest/gtest.h>

#include <optional>
#include <tuple>

#include "StoreFixture.h"
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

TEST_P(OpenStoreTest, ANewRowsKeyIsTheNewestWithItsNameOrPathAndMaterialsChange) {
    SubjectRegistry subjects(*db);
    const qint64 first = Must(subjects.Add(MakeSubject("Tanaka")));
    Must(subjects.Add(MakeSubject("Other")));
    const qint64 second = Must(subjects.Add(MakeSubject("Tanaka")));
    EXPECT_GT(second, first);
    EXPECT_EQ(Must(subjects.Load(second))->name, "Tanaka");

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

TEST_P(OpenStoreTest, SearchTakesALikePatternIgnoringAsciiCase) {
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

}  // namespace
}  // namespace kestrune::store::testing
