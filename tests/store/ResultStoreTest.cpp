// The result functions on both engines: a vowel answer stored with every
// value bound and read back column by column (its refusals are the answer
// journal's), the input dialog's previous answer, and the practice subject
// that neither the registry nor the entry form may change or delete.

#include <gtest/gtest.h>

#include "StoreFixture.h"
#include "store/Registry.h"
#include "store/Results.h"
#include "store/Schema.h"

namespace kestrune::store::testing {
namespace {

VowelAnswerRow Answer() {
    VowelAnswerRow row;
    row.subjectId = 7;
    row.volume = 55;
    row.selfEvaluation = 6;
    row.time = QStringLiteral("2024-05-01 10:20:30");
    row.duration = QStringLiteral("1.25");
    row.maskingContent = QStringLiteral("あ");
    row.maskedContent = QStringLiteral("い");
    row.snr = -12;
    row.recognised = QStringLiteral("い");
    row.state = 0.5;
    row.validity = 3;
    row.other = QStringLiteral("it's 100%");
    return row;
}

TEST_P(OpenStoreTest, AVowelAnswerIsStoredColumnByColumn) {
    Must(AddVowelAnswer(*db, Answer()));
    VowelAnswerRow untyped = Answer();
    untyped.validity.reset();
    untyped.recognised.clear();
    Must(AddVowelAnswer(*db, untyped));

    const auto rows =
        Rows(*db, "SELECT * FROM NewSyllableMaskRecord ORDER BY NSMRValidity IS NULL");
    ASSERT_EQ(rows.size(), 2u);
    const Row& row = rows[0];
    EXPECT_EQ(row.Int("IIID"), 7);
    EXPECT_EQ(row.Int("NSMRVolume"), 55);
    EXPECT_EQ(row.Int("NSMRSelfevaluation"), 6);
    EXPECT_TRUE(row.Text("NSMRTime").startsWith("2024-05-01")) << S(row.Text("NSMRTime"));
    EXPECT_DOUBLE_EQ(row.Real("NSMRDuration"), 1.25);
    EXPECT_EQ(row.Text("NSMRMaskingContent"), QStringLiteral("あ"));
    EXPECT_EQ(row.Text("NSMRMaskedContent"), QStringLiteral("い"));
    EXPECT_EQ(row.Int("NSMRSNR"), -12);
    EXPECT_EQ(row.Text("NSMRRecognise"), QStringLiteral("い"));
    EXPECT_DOUBLE_EQ(row.Real("NSMRState"), 0.5);
    EXPECT_EQ(row.Int("NSMRValidity"), 3);
    EXPECT_EQ(row.Text("NSMROther"), QStringLiteral("it's 100%"));
    // An unknown run type leaves the validity empty, not 0.
    EXPECT_TRUE(rows[1].IsNull("NSMRValidity"));
    EXPECT_EQ(rows[1].Text("NSMRRecognise"), QString());
}

TEST_P(OpenStoreTest, ThePreviousAnswerIsTheNewestTypedOne) {
    EXPECT_EQ(Must(LastTypedAnswer(*db)), std::nullopt);
    for (const char* content : {"はる", "な'つ", ""}) {
        Must(db->Insert(QStringLiteral("TestRecord"), QStringLiteral("TRID"),
                        {{QStringLiteral("IIID"), 2},
                         {QStringLiteral("TRContent"), QString::fromUtf8(content)}}));
    }
    EXPECT_EQ(Must(LastTypedAnswer(*db)), QStringLiteral("な'つ"));
}

TEST_P(OpenStoreTest, SessionItemsTheirTrialsAndTheHalfDutyScore) {
    SessionItemRow item;
    item.subjectId = 7;
    item.type = 2;
    item.number = 3;
    item.dutyCycle = 0.5;
    const qint64 first = Must(StartSessionItem(*db, item));
    const qint64 second = Must(StartSessionItem(*db, item));
    EXPECT_EQ(Scalar(*db, "SELECT SRTimes FROM StatisticalRecord WHERE SRID = ?", {second}).toInt(),
              2);
    // Trials: played / answered; two of three right, one taken back.
    const char* trials[][2] = {{"あ", "あ"}, {"い", "え"}, {"う", "う"}, {"お", "お"}};
    qint64 last = 0;
    for (const auto& [played, answered] : trials)
        last = Must(AddTrial(*db, {7,
                                   first,
                                   QStringLiteral("2024-05-01 10:20:30"),
                                   1.5,
                                   QString::fromUtf8(played),
                                   QString::fromUtf8(answered),
                                   {}}));
    EXPECT_EQ(Must(TakeTrial(*db, last)), std::optional<QString>(QStringLiteral("お")));
    EXPECT_EQ(Must(TakeTrial(*db, last)), std::nullopt);
    const SessionItemEnd end = Must(FinishSessionItem(*db, first, 42, 3, 2));
    EXPECT_TRUE(end.found);
    EXPECT_EQ(end.correct, 2);
    const auto rows = Rows(*db, "SELECT * FROM StatisticalRecord WHERE SRID = ?", {first});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].Int("SRTimes"), 1);
    EXPECT_EQ(rows[0].Int("SRDuration"), 42);
    EXPECT_EQ(rows[0].Int("SRCorrect"), 2);
    EXPECT_NEAR(rows[0].Real("SRRate"), 2.0 / 3.0, 1e-6);
    EXPECT_EQ(rows[0].Int("SRValidity"), 2);
    EXPECT_FALSE(Must(FinishSessionItem(*db, second + 100, 1, 3, 1)).found);

    // Only trials numbered above 5400 of half-duty items count.
    for (const auto& [id, content, answer] :
         {std::tuple{5400, "か", "か"}, {5401, "き", "き"}, {5402, "く", "け"}})
        Must(db->Execute({QStringLiteral("INSERT INTO BasicRecord (BRID, IIID, SRID, BRContent, "
                                         "BRRecognise) VALUES (?, 7, ?, ?, ?)"),
                          {id, second, QString::fromUtf8(content), QString::fromUtf8(answer)}}));
    const HalfDutyScore score = Must(ReadHalfDutyScore(*db, 7));
    EXPECT_EQ(score.correct, 1);
    EXPECT_EQ(score.total, 2);
}

TEST_P(OpenStoreTest, ThePracticeSubjectCanNeitherBeChangedNorDeleted) {
    SubjectRegistry registry(*db);
    const auto before = Must(registry.Load(kPracticeSubjectId));
    ASSERT_TRUE(before.has_value());

    Subject renamed = *before;
    renamed.name = QStringLiteral("Yamada");
    const auto updated = registry.Update(renamed);
    const auto corrected = registry.UpdateNameAndBirthYear(kPracticeSubjectId, "Yamada", 1962);
    const auto removed = registry.Remove(kPracticeSubjectId);
    for (const std::optional<DbError>& error : {updated.error, corrected.error, removed.error}) {
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->message, QString::fromUtf8(kPracticeSubjectReserved));
    }
    const auto after = Must(registry.Load(kPracticeSubjectId));
    ASSERT_TRUE(after.has_value());
    EXPECT_EQ(after->name, QStringLiteral("PRACTICE"));

    // Every other subject is the registry's to change.
    const qint64 other = Must(registry.Add({0, "Sato", 'F', 1980, 0, 6, QString()}));
    EXPECT_TRUE(Must(registry.UpdateNameAndBirthYear(other, "Sato", 1981)));
    Must(registry.Remove(other));
    EXPECT_EQ(Count(*db, "IndividualInfo"), 1);
}

}  // namespace
}  // namespace kestrune::store::testing
