#include "core/registry/Mappings.h"
#include "core/text/Numbers.h"

#include <gtest/gtest.h>

#include <climits>

namespace kestrune {
namespace {

TEST(MappingsTest, SexCodesRoundTripAndAcceptLowerCase) {
    EXPECT_EQ(SexCodeForIndex(0), 'U');
    EXPECT_EQ(SexCodeForIndex(1), 'M');
    EXPECT_EQ(SexCodeForIndex(2), 'F');
    EXPECT_EQ(SexCodeForIndex(-1), 'U');
    EXPECT_EQ(SexCodeForIndex(3), 'U');
    for (int i = 0; i < 3; ++i) EXPECT_EQ(SexIndexForCode(std::string(1, SexCodeForIndex(i))), i);
    EXPECT_EQ(SexIndexForCode("m"), 1);
    EXPECT_EQ(SexIndexForCode("female"), 2);
    EXPECT_EQ(SexIndexForCode("x"), 0);
    EXPECT_EQ(SexIndexForCode(""), 0);
}

// Inserting and updating spell the fourth choice differently; both read back
// as that choice.
TEST(MappingsTest, FileTypesDifferBetweenInsertAndUpdate) {
    EXPECT_EQ(FileTypeForInsert(3), "Other");
    EXPECT_EQ(FileTypeForUpdate(3), "Others");
    EXPECT_EQ(FileTypeIndexFor("Other"), 3);
    EXPECT_EQ(FileTypeIndexFor("Others"), 3);
    for (int i = 0; i <= 2; ++i) {
        EXPECT_EQ(FileTypeForInsert(i), FileTypeForUpdate(i));
        EXPECT_EQ(FileTypeIndexFor(FileTypeForInsert(i)), i);
    }
    EXPECT_EQ(FileTypeForInsert(7), "Unknown");
    EXPECT_EQ(FileTypeForUpdate(-1), "Unknown");
    EXPECT_EQ(FileTypeIndexFor("wave"), 1);
    EXPECT_EQ(FileTypeIndexFor("mpeg"), 2);
    EXPECT_EQ(FileTypeIndexFor("ogg"), 3);  // only the first letter counts
    EXPECT_EQ(FileTypeIndexFor("Flac"), 0);
    EXPECT_EQ(FileTypeIndexFor(""), 0);
}

TEST(MappingsTest, AgesAndYearsOfBirth) {
    EXPECT_EQ(BirthYearForAge(2006, 45), 1962);
    EXPECT_EQ(BirthYearForAge(2026, 1), 2026);
    EXPECT_FALSE(IsAcceptableAge(0));
    EXPECT_TRUE(IsAcceptableAge(1));
    EXPECT_TRUE(IsAcceptableAge(199));
    EXPECT_FALSE(IsAcceptableAge(200));
    EXPECT_FALSE(IsAcceptableAge(-5));
}

TEST(LeadingIntTest, ReadsAsAtoiDoes) {
    EXPECT_EQ(LeadingInt(" 5"), 5);
    EXPECT_EQ(LeadingInt("\t-12abc"), -12);
    EXPECT_EQ(LeadingInt("+7"), 7);
    EXPECT_EQ(LeadingInt("abc"), 0);
    EXPECT_EQ(LeadingInt(""), 0);
    EXPECT_EQ(LeadingInt("-"), 0);
    EXPECT_EQ(LeadingInt("3.9"), 3);
    EXPECT_EQ(LeadingInt("１２"), 0);  // full-width digits are not digits
    EXPECT_EQ(LeadingInt("99999999999999"), INT_MAX);
    EXPECT_EQ(LeadingInt("-99999999999999"), INT_MIN);
    EXPECT_EQ(LeadingInt("2147483647"), INT_MAX);
    EXPECT_EQ(LeadingInt("-2147483648"), INT_MIN);
}

}  // namespace
}  // namespace kestrune
