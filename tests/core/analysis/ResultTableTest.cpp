#include <gtest/gtest.h>

#include <cmath>

#include "core/analysis/ResultTable.h"

namespace kestrune::analysis {
namespace {

TEST(ResultTableTest, CsvQuotesOnlyFieldsThatNeedIt) {
    const struct {
        std::string field;
        std::string written;
    } cases[] = {
        {"あ", "あ"},
        {"", ""},
        {"12.500000", "12.500000"},
        {"a,b", "\"a,b\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"cr\r", "\"cr\r\""},
        {"'; DROP TABLE x", "'; DROP TABLE x"},
    };
    for (const auto& c : cases) {
        const ResultTable table{{"caption", "x"}, {}, {{c.field, "1"}}};
        EXPECT_EQ(ToCsv(table), "caption,x\n" + c.written + ",1\n") << c.field;
    }
}

TEST(ResultTableTest, CsvOfAnEmptyTableIsItsCaptionLine) {
    EXPECT_EQ(ToCsv({{"認識されたカナ", "回数", "%"}, {}, {}}), "認識されたカナ,回数,%\n");
}

TEST(ResultTableTest, FormatFWritesSixDecimals) {
    const struct {
        double value;
        const char* text;
    } cases[] = {
        {0.0, "0.000000"},   {100.0, "100.000000"},   {1.0 / 3.0, "0.333333"},
        {-2.5, "-2.500000"}, {0.0000004, "0.000000"}, {0.0000006, "0.000001"},
        {INFINITY, "inf"},   {-INFINITY, "-inf"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatF(c.value), c.text) << c.value;
    EXPECT_EQ(FormatF(1e300).size(), 301u + 7u);
}

}  // namespace
}  // namespace kestrune::analysis
