#include "core/registry/Mappings.h"
#include "core/text/Numbers.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <utility>

namespace kestrune {
namespace {

TEST(MappingsTest, SexCodesRoundTripAndAcceptLowerCase) {
    const std::pair<int, char> codes[] = {{0, 'U'}, {1, 'M'}, {2, 'F'}, {-1, 'U'}, {3, 'U'}};
    for (const auto& [index, code] : codes) EXPECT_EQ(SexCodeForIndex(index), code) << index;
    const std::pair<const char*, int> indexes[] = {{"U", 0},      {"M", 1}, {"F", 2}, {"m", 1},
                                                   {"female", 2}, {"x", 0}, {"", 0}};
    for (const auto& [code, index] : indexes) EXPECT_EQ(SexIndexForCode(code), index) << code;
}

// Inserting and updating spell the fourth choice differently; both read back
// as that choice. Only the first letter of a stored type counts.
TEST(MappingsTest, FileTypesDifferBetweenInsertAndUpdate) {
    const std::tuple<int, const char*, const char*> types[] = {
        {0, "Unknown", "Unknown"}, {1, "Wav", "Wav"},         {2, "Mp3", "Mp3"},
        {3, "Other", "Others"},    {7, "Unknown", "Unknown"}, {-1, "Unknown", "Unknown"}};
    for (const auto& [index, insert, update] : types) {
        EXPECT_EQ(FileTypeForInsert(index), insert) << index;
        EXPECT_EQ(FileTypeForUpdate(index), update) << index;
    }
    const std::pair<const char*, int> indexes[] = {{"Wav", 1},    {"Mp3", 2},  {"Other", 3},
                                                   {"Others", 3}, {"wave", 1}, {"mpeg", 2},
                                                   {"ogg", 3},    {"Flac", 0}, {"", 0}};
    for (const auto& [text, index] : indexes) EXPECT_EQ(FileTypeIndexFor(text), index) << text;
}

TEST(MappingsTest, AgesAndYearsOfBirth) {
    EXPECT_EQ(BirthYearForAge(2006, 45), 1962);
    EXPECT_EQ(BirthYearForAge(2026, 1), 2026);
    const std::pair<int, bool> ages[] = {
        {0, false}, {1, true}, {199, true}, {200, false}, {-5, false}};
    for (const auto& [age, ok] : ages) EXPECT_EQ(IsAcceptableAge(age), ok) << age;
}

TEST(LeadingIntTest, ReadsAsAtoiDoes) {
    // Full-width digits are not digits; out-of-range values saturate.
    const std::pair<const char*, int> rows[] = {{" 5", 5},
                                                {"\t-12abc", -12},
                                                {"+7", 7},
                                                {"abc", 0},
                                                {"", 0},
                                                {"-", 0},
                                                {"3.9", 3},
                                                {"１２", 0},
                                                {"99999999999999", INT_MAX},
                                                {"-99999999999999", INT_MIN},
                                                {"2147483647", INT_MAX},
                                                {"-2147483648", INT_MIN}};
    for (const auto& [text, value] : rows) EXPECT_EQ(LeadingInt(text), value) << text;
}

}  // namespace
}  // namespace kestrune
