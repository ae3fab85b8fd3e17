// The sheet's memory image (no files): what the rows become after each header
// and row operation, the failure texts, and the text-file row format.

#include <gtest/gtest.h>

#include "sheet/RowImage.h"
#include "sheet/TextTable.h"

using namespace kestrune::sheet;

namespace {

using Rows = std::vector<Row>;

RowImage NewImage(bool workbook, const Row& header) {
    RowImage image(workbook);
    EXPECT_TRUE(image.AddHeaders(header, false, false)) << image.LastError();
    return image;
}

}  // namespace

TEST(RowImage, NewSheetTakesHeaderThenAppendsRowsInOrder) {
    RowImage image = NewImage(true, {"a", "b", "c"});
    EXPECT_EQ(image.TotalRows(), 1);
    EXPECT_EQ(image.TotalColumns(), 3);
    ASSERT_TRUE(image.AddRow({"1", "2", "3"}, 0, false));
    ASSERT_TRUE(image.AddRow({"4"}, 0, false));  // shorter rows are fine
    EXPECT_EQ(image.Rows(), (Rows{{"a", "b", "c"}, {"1", "2", "3"}, {"4"}}));
    EXPECT_EQ(image.FieldNames(), (Row{"a", "b", "c"}));
    EXPECT_EQ(image.LastError(), "");
}

TEST(RowImage, WorkbookRefusesDataRowsWithoutOrWiderThanTheHeader) {
    RowImage image(true);
    EXPECT_FALSE(image.AddRow({"x"}, 0, false));
    EXPECT_EQ(image.LastError(), "No header row. Add header row first\n");
    EXPECT_EQ(image.TotalRows(), 0);

    image = NewImage(true, {"a", "b"});
    EXPECT_FALSE(image.AddRow({"1", "2", "3"}, 0, false));
    EXPECT_EQ(image.LastError(),
              "Number of columns to be added cannot be greater than the number of fields\n");
    EXPECT_EQ(image.TotalRows(), 1);
}

TEST(RowImage, TextImageGrowsItsColumnsWithTheWidestRow) {
    RowImage image(false);
    ASSERT_TRUE(image.AddRow({"x", "y"}, 0, false));  // no header needed
    image = NewImage(false, {"a"});
    ASSERT_TRUE(image.AddRow({"1", "2", "3"}, 0, false));
    EXPECT_EQ(image.TotalColumns(), 3);
    // Blank rows then take the new width.
    ASSERT_TRUE(image.AddRow({"z"}, 5, false));
    EXPECT_EQ(image.Rows(), (Rows{{"a"}, {"1", "2", "3"}, {"", "", ""}, {"", "", ""}, {"z"}}));
}

TEST(RowImage, RowNumbersInsertReplaceOrFillTheGapWithBlankRows) {
    RowImage image = NewImage(true, {"a", "b"});
    ASSERT_TRUE(image.AddRow({"r1"}, 0, false));
    ASSERT_TRUE(image.AddRow({"r2"}, 0, false));
    ASSERT_TRUE(image.AddRow({"ins"}, 2, false));  // before the first data row
    EXPECT_EQ(image.Rows(), (Rows{{"a", "b"}, {"ins"}, {"r1"}, {"r2"}}));
    ASSERT_TRUE(image.AddRow({"rep", "x"}, 3, true));
    EXPECT_EQ(image.Rows(), (Rows{{"a", "b"}, {"ins"}, {"rep", "x"}, {"r2"}}));
    ASSERT_TRUE(image.AddRow({"last"}, 4, true));  // the last held row is replaced
    EXPECT_EQ(image.TotalRows(), 4);

    // Beyond the held rows: blank rows (one space per column in a workbook)
    // up to the row before, then the row; the total becomes the row number.
    ASSERT_TRUE(image.AddRow({"far"}, 7, false));
    EXPECT_EQ(image.TotalRows(), 7);
    EXPECT_EQ(image.Rows()[4], (Row{" ", " "}));
    EXPECT_EQ(image.Rows()[5], (Row{" ", " "}));
    EXPECT_EQ(image.Rows()[6], (Row{"far"}));
    ASSERT_TRUE(image.AddRow({"next"}, 0, false));
    EXPECT_EQ(image.Rows().back(), (Row{"next"}));
}

TEST(RowImage, HeaderRowRules) {
    RowImage image = NewImage(true, {"a", "b"});
    EXPECT_FALSE(image.AddRow({"x", "y", "x"}, 1, true));
    EXPECT_EQ(image.LastError(), "Duplicate header row field:x\n");
    EXPECT_FALSE(image.AddRow({"only"}, 1, true));
    EXPECT_EQ(image.LastError(),
              "Number of columns in new header row cannot be less than the number of columns in "
              "previous header row");
    EXPECT_EQ(image.FieldNames(), (Row{"a", "b"}));

    ASSERT_TRUE(image.AddRow({"p", "q", "r"}, 1, true));
    EXPECT_EQ(image.FieldNames(), (Row{"p", "q", "r"}));
    EXPECT_EQ(image.TotalColumns(), 3);
    EXPECT_EQ(image.Rows().front(), (Row{"p", "q", "r"}));

    RowImage fresh(true);
    EXPECT_FALSE(fresh.AddHeaders({"n", "n"}, false, false));
    EXPECT_EQ(fresh.LastError(), "Duplicate header row field:n\n");
}

TEST(RowImage, HeadersOfAnExistingSheetAreExtendedOrReplaced) {
    RowImage image(true);
    image.Load({{"a", "b"}, {"1"}, {"3", "4"}});
    EXPECT_EQ(image.Rows()[1], (Row{"1", ""}));  // padded to the header
    EXPECT_EQ(image.TotalColumns(), 2);

    // The same header again, as every later writer of a result sheet adds it.
    EXPECT_FALSE(image.AddHeaders({"a", "b"}, false, true));
    EXPECT_EQ(image.LastError(), "Duplicate header row field:a\n");
    EXPECT_EQ(image.FieldNames(), (Row{"a", "b"}));
    ASSERT_TRUE(image.AddRow({"5", "6"}, 0, false));

    ASSERT_TRUE(image.AddHeaders({"c"}, false, true));
    EXPECT_EQ(image.FieldNames(), (Row{"a", "b", "c"}));
    EXPECT_EQ(image.TotalColumns(), 3);
    ASSERT_TRUE(image.AddHeaders({"x", "y", "z"}, true, true));
    EXPECT_EQ(image.Rows(), (Rows{{"x", "y", "z"}, {"1", ""}, {"3", "4"}, {"5", "6"}}));

    // A text file checks only within the combined row.
    RowImage text(false);
    text.Load({{"a", "b"}});
    EXPECT_FALSE(text.AddHeaders({"a"}, false, true));
    EXPECT_EQ(text.LastError(), "Problems with adding headers\n");
    ASSERT_TRUE(text.AddHeaders({"c"}, false, true));
    EXPECT_EQ(text.FieldNames(), (Row{"a", "b", "c"}));
}

TEST(TextTable, RowsAreQuotedJoinedAndEndInCrLf) {
    EXPECT_EQ(JoinRow({"a", "", "c d"}, ";"), "\"a\";\"\";\"c d\"");
    EXPECT_EQ(JoinRow({}, ";"), "");
    EXPECT_EQ(FormatTextTable({{"h1", "h2"}, {"1", "2"}}, "\t"),
              "\"h1\"\t\"h2\"\r\n\"1\"\t\"2\"\r\n");
}

TEST(TextTable, ParsingReadsBackWhatWasWritten) {
    const std::vector<Row> rows = {{"name", "note"},
                                   {"O'Hara", "two\r\nlines"},
                                   {"", "a,b"},
                                   {"日本語", "say \"hi\" there"},
                                   {"lf\nonly", ""}};
    EXPECT_EQ(ParseTextTable(FormatTextTable(rows, ","), ","), rows);
    EXPECT_EQ(ParseTextTable(FormatTextTable(rows, ",;.?"), ",;.?"), rows);
}

TEST(TextTable, ParsingAcceptsLfFilesUnquotedLinesAndAMissingLastBreak) {
    EXPECT_EQ(ParseTextTable("\"a\",\"b\"\n\"1\",\"2\"", ","),
              (std::vector<Row>{{"a", "b"}, {"1", "2"}}));
    EXPECT_EQ(ParseTextTable("x,y\r\n\r\nz\r\n", ","), (std::vector<Row>{{"x", "y"}, {""}, {"z"}}));
    EXPECT_EQ(ParseTextTable("", ","), (std::vector<Row>{}));
    // Values are not escaped: quote-separator-quote inside a value splits it.
    EXPECT_EQ(SplitRow(JoinRow({"x\",\"y"}, ","), ","), (Row{"x", "y"}));
}
