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
