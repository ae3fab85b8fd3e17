// CSpreadSheet on real files: new and existing workbook sheets, the backup
// sheet, other sheets kept, damaged workbooks left alone, text files, sheet
// names, and appends from several processes at once.

#include <filesystem>
#include <thread>

#include <gtest/gtest.h>

#include "SheetTestSupport.h"
#include "sheet/SpreadSheet.h"
#include "sheet/Workbook.h"
#include "support/ScratchDir.h"

using namespace kestrune::sheet;
using namespace kestrune::sheet::testing;
using kestrune::testing::ScratchDir;

namespace {

/** The program's way of writing a sheet: transaction, header, rows, commit. */
bool Export(const std::string& file, const std::string& sheet, const Row& header,
            const std::vector<Row>& rows, std::string* lastError = nullptr, bool backup = true) {
    CSpreadSheet out(file, sheet, backup);
    out.BeginTransaction();
    out.AddHeaders(header, false);
    for (const auto& row : rows) out.AddRow(row, 0, false);
    const bool committed = out.Commit();
    if (lastError != nullptr) *lastError = out.LastError();
    return committed;
}

}  // namespace

TEST(SpreadSheet, PathsEndingInXlsAreWorkbooksStoredAsXlsx) {
    for (const auto& [path, stored] : {std::pair{"Data/山田.xls", "Data/山田.xlsx"},
                                       {"B.XLS", "B.xlsx"},
                                       {"c.xlsx", "c.xlsx"}}) {
        EXPECT_TRUE(IsWorkbookPath(path));
        EXPECT_EQ(WorkbookPathFor(path), stored);
        EXPECT_EQ(CSpreadSheet(path, "Result", true).Path(), stored);
    }
    EXPECT_FALSE(IsWorkbookPath("a.csv"));
    EXPECT_FALSE(IsWorkbookPath("xls"));
    EXPECT_EQ(CSpreadSheet("x.txt", "\t", true).Separator(), "\t");
}

TEST(SpreadSheet, ReopeningASheetBacksItUpOnceAndAppendsAfterItsRows) {
    ScratchDir dir;
    const std::string file = dir.File("subject.xls");
    const std::string stored = dir.File("subject.xlsx");
    ASSERT_TRUE(Export(file, "Result", {"a", "b", "c"}, {{"first"}, {"1", "2", "3"}}));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(SheetNames(stored), (std::vector<std::string>{"Result"}));

    {
        CSpreadSheet again(file, "Result", true);
        EXPECT_TRUE(again.SheetExists());
        EXPECT_TRUE(again.BackupMade());
        EXPECT_EQ(again.TotalRows(), 3);
        EXPECT_EQ(again.TotalColumns(), 3);
        // The backup is written at once, before anything is added.
        EXPECT_EQ(SheetNames(stored), (std::vector<std::string>{"Result", "CSpreadSheetBackup"}));
        again.BeginTransaction();
        EXPECT_FALSE(again.AddHeaders({"a", "b", "c"}, false));
        EXPECT_EQ(again.LastError(), "Duplicate header row field:a\n");
        ASSERT_TRUE(again.AddRow({"second", "", "x"}));
        ASSERT_TRUE(again.Commit()) << again.LastError();
    }
    const Table afterSecond = {
        {"a", "b", "c"}, {"first", "", ""}, {"1", "2", "3"}, {"second", "", "x"}};
    EXPECT_EQ(SheetText(stored, "Result"), afterSecond);
    EXPECT_EQ(SheetText(stored, "CSpreadSheetBackup"),
              (Table{{"a", "b", "c"}, {"first", "", ""}, {"1", "2", "3"}}));

    // A third writer finds the backup sheet taken: no new backup, no harm.
    CSpreadSheet third(file, "Result", true);
    EXPECT_TRUE(third.SheetExists());
    EXPECT_FALSE(third.BackupMade());
    EXPECT_NE(third.LastError().find("CSpreadSheetBackup already exists"), std::string::npos)
        << third.LastError();
    third.BeginTransaction();
    ASSERT_TRUE(third.AddRow({"third"}));
    ASSERT_TRUE(third.Commit()) << third.LastError();
    EXPECT_EQ(SheetText(stored, "Result").back(), (Row{"third", "", ""}));
    EXPECT_EQ(SheetText(stored, "CSpreadSheetBackup").size(), 3u);
}

TEST(SpreadSheet, ANewSheetJoinsTheWorkbookAndLeavesOtherSheetsAsTheyWere) {
    ScratchDir dir;
    const std::string path = dir.File("analysis.xlsx");
    std::string error;
    Workbook other{{{"Numbers", {{{"n", false}, {"7", true}}, {{"x", false}, {"2.25", true}}}},
                    {"Text", {TextCells({"keep", "me"})}}}};
    ASSERT_TRUE(WriteWorkbook(path, other, &error)) << error;

    ASSERT_TRUE(Export(dir.File("analysis.xls"), "Masking", {"masked", "あ"}, {{"masking"}}));
    std::string readError;
    const auto book = ReadWorkbook(path, &readError);
    ASSERT_TRUE(book) << readError;
    ASSERT_EQ(book->sheets.size(), 3u);
    EXPECT_EQ(book->sheets[0].name, "Numbers");
    EXPECT_EQ(book->sheets[0].rows, other.sheets[0].rows);  // numbers stay numbers
    EXPECT_EQ(book->sheets[1].rows, other.sheets[1].rows);
    EXPECT_EQ(book->sheets[2].name, "Masking");
    EXPECT_EQ(SheetText(path, "Masking"), (Table{{"masked", "あ"}, {"masking", ""}}));
}

TEST(SpreadSheet, WithoutATransactionEveryRowIsWrittenAtOnceAndTheDestructorWritesNothing) {
    ScratchDir dir;
    const std::string path = dir.File("live.xlsx");
    {
        CSpreadSheet sheet(path, "Live", false);
        ASSERT_TRUE(sheet.AddHeaders({"h"}, false));
        EXPECT_FALSE(std::filesystem::exists(path));  // a header alone is not written
        ASSERT_TRUE(sheet.AddRow({"1"}));
        EXPECT_EQ(SheetText(path, "Live"), (Table{{"h"}, {"1"}}));
        ASSERT_TRUE(sheet.AddRow({"2"}, 5, false));
        EXPECT_EQ(SheetText(path, "Live"), (Table{{"h"}, {"1"}, {" "}, {" "}, {"2"}}));
        sheet.BeginTransaction();
        ASSERT_TRUE(sheet.AddRow({"lost"}));
        EXPECT_TRUE(sheet.InTransaction());
    }
    EXPECT_EQ(SheetText(path, "Live").size(), 5u);
    // Backup off: reopening adds no backup sheet.
    CSpreadSheet reopened(path, "Live", false);
    EXPECT_TRUE(reopened.SheetExists());
    EXPECT_EQ(SheetNames(path), (std::vector<std::string>{"Live"}));
}

TEST(SpreadSheet, ADamagedWorkbookIsReportedAndNeverOverwritten) {
    ScratchDir dir;
    const std::string good = dir.File("good.xlsx");
    ASSERT_TRUE(Export(good, "Result", {"a"}, {{"1"}}));
    for (const auto& path : DamagedCopies(dir, good)) {
        const auto before = ScratchDir::Read(path);
        CSpreadSheet sheet(path, "Result", true);
        EXPECT_FALSE(sheet.SheetExists()) << path;
        EXPECT_NE(sheet.LastError().find(path), std::string::npos) << sheet.LastError();
        sheet.BeginTransaction();
        sheet.AddHeaders({"a"}, false);
        sheet.AddRow({"new"});
        EXPECT_FALSE(sheet.Commit()) << path;
        EXPECT_NE(sheet.LastError().find(path), std::string::npos) << sheet.LastError();
        EXPECT_EQ(sheet.LastError().back(), '\n');
        // Without a transaction the failure shows in AddRow's result.
        CSpreadSheet direct(path, "Result", false);
        ASSERT_TRUE(direct.AddHeaders({"a"}, false));
        EXPECT_FALSE(direct.AddRow({"x"}));
        EXPECT_EQ(ScratchDir::Read(path), before) << path;
    }
}

TEST(SpreadSheet, CommitFailuresKeepTheWorkbook) {
    ScratchDir dir;
    std::string error;
    EXPECT_FALSE(Export(dir.File("Data/none.xls"), "Result", {"a"}, {{"1"}}, &error));
    EXPECT_NE(error.find("does not exist"), std::string::npos) << error;

    const std::string path = dir.File("long.xlsx");
    ASSERT_TRUE(Export(path, "Result", {"a"}, {{"short"}}));
    const auto before = ScratchDir::Read(path);
    EXPECT_FALSE(Export(path, "Result", {"a"}, {{std::string(40000, 'x')}}, &error, false));
    EXPECT_NE(error.find("longer than 32767"), std::string::npos) << error;
    EXPECT_EQ(ScratchDir::Read(path), before);
}

TEST(SpreadSheet, TextFilesKeepTheirFormatAndAreBackedUpToBak) {
    ScratchDir dir;
    const std::string path = dir.File("table.txt");
    ASSERT_TRUE(Export(path, ";", {"name", "score"}, {{"山田", "12"}, {"O'Hara", "two\r\nlines"}}));
    const std::string first =
        "\"name\";\"score\"\r\n\"山田\";\"12\"\r\n\"O'Hara\";\"two\r\nlines\"\r\n";
    const auto firstBytes = ScratchDir::Read(path);
    EXPECT_EQ(std::string(firstBytes.begin(), firstBytes.end()), first);
    EXPECT_FALSE(std::filesystem::exists(path + ".bak"));

    CSpreadSheet again(path, ";", true);
    EXPECT_TRUE(again.SheetExists());
    EXPECT_TRUE(again.BackupMade());
    EXPECT_EQ(again.TotalRows(), 3);
    EXPECT_EQ(ScratchDir::Read(path + ".bak"), firstBytes);
    again.BeginTransaction();
    ASSERT_TRUE(again.AddRow({"wide", "row", "grows"}));
    ASSERT_TRUE(again.AddRow({"gap"}, 6, false));
    ASSERT_TRUE(again.Commit()) << again.LastError();
    const auto now = ScratchDir::Read(path);
    EXPECT_EQ(std::string(now.begin(), now.end()),
              first + "\"wide\";\"row\";\"grows\"\r\n\"\";\"\";\"\"\r\n\"gap\"\r\n");
    EXPECT_EQ(ScratchDir::Read(path + ".bak"), firstBytes);
}

TEST(SpreadSheet, AppendsFromSeveralProcessesAndThreadsAtOnceAllArrive) {
    ScratchDir dir;
    const std::string file = dir.File("Data/shared.xls");
    constexpr int kWriters = 6;  // three processes of two threads each
    constexpr int kRowsEach = 10;
    const auto write = [&file](int writer) {
        bool ok = true;
        for (int i = 0; i < kRowsEach; ++i) {
            std::string error;
            ok = AppendRows(file, "Result", {"writer", "row"},
                            {{std::to_string(writer), std::to_string(i)}}, &error) &&
                 ok;
        }
        return ok;
    };
    ASSERT_TRUE(RunInChildren(kWriters / 2, [&write](int child) {
        bool second = false;
        std::thread other([&] { second = write(2 * child + 1); });
        const bool first = write(2 * child);
        other.join();
        return first && second;
    }));
    const Table rows = SheetText(dir.File("Data/shared.xlsx"), "Result");
    ASSERT_EQ(rows.size(), 1u + kWriters * kRowsEach);
    EXPECT_EQ(rows[0], (Row{"writer", "row"}));
    // Each writer's rows arrive whole and in its own order.
    std::vector<int> next(kWriters, 0);
    for (std::size_t r = 1; r < rows.size(); ++r) {
        ASSERT_EQ(rows[r].size(), 2u);
        const int writer = std::stoi(rows[r][0]);
        ASSERT_TRUE(writer >= 0 && writer < kWriters) << rows[r][0];
        EXPECT_EQ(rows[r][1], std::to_string(next[writer]++));
    }
    EXPECT_EQ(next, std::vector<int>(kWriters, kRowsEach));
}

TEST(SpreadSheet, AnExistingSheetIsFoundWhateverItsLetterCase) {
    ScratchDir dir;
    const std::string path = dir.File("case.xlsx");
    std::string error;
    ASSERT_TRUE(WriteWorkbook(path,
                              {{{"result", {TextCells({"a", "b"}), TextCells({"1", "2"})}},
                                {"Other", {TextCells({"keep"})}}}},
                              &error))
        << error;
    ASSERT_TRUE(AppendRows(path, "Result", {"a", "b"}, {{"3", "4"}}, &error)) << error;
    ASSERT_TRUE(AppendRows(path, "RESULT", {"a", "b"}, {{"5", "6"}}, &error)) << error;
    EXPECT_EQ(SheetNames(path), (std::vector<std::string>{"result", "Other"}));
    EXPECT_EQ(SheetText(path, "result"), (Table{{"a", "b"}, {"1", "2"}, {"3", "4"}, {"5", "6"}}));
    EXPECT_EQ(CSpreadSheet(path, "OTHER", false).SheetName(), "Other");
}

// Which names are refused is the workbook's table (the hostile workbook tests).
TEST(SpreadSheet, AnInvalidSheetNameIsRefusedBeforeAnythingIsWritten) {
    ScratchDir dir;
    std::string error;
    EXPECT_FALSE(AppendRows(dir.File("Data/x.xls"), "x[1]", {"a"}, {{"1"}}, &error));
    EXPECT_NE(error.find("cannot be used"), std::string::npos) << error;
    CSpreadSheet sheet(dir.File("x.xls"), "x[1]", true);
    EXPECT_FALSE(sheet.LastError().empty());
    sheet.AddHeaders({"a"}, false);
    EXPECT_FALSE(sheet.Commit());
    EXPECT_NE(sheet.LastError().find("cannot be used"), std::string::npos);
    EXPECT_TRUE(FolderContent(dir.Path()).empty());
}

TEST(SpreadSheet, ASheetWithAHeaderFarWiderThanItsRowsIsRefusedWithinAHundredMegabytes) {
    // One header cell at XFD over 3000 one-cell rows: 1.5 GB padded to its width.
    ScratchDir dir;
    const std::string path = dir.File("wide.xlsx");
    std::string rows =
        "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>a</t></is></c>"
        "<c r=\"XFD1\"><v>1</v></c></row>";
    for (int r = 2; r <= 3001; ++r) rows += "<row><c><v>" + std::to_string(r) + "</v></c></row>";
    WriteHandMadeWorkbook(path, rows);
    const auto before = ScratchDir::Read(path);
    const auto outcome = RunWithMemoryLimit(100, [&path] {
        std::string error;
        return AppendRows(path, "Result", {"a"}, {{"new"}}, &error) ? "appended" : error;
    });
    ASSERT_TRUE(outcome.exited) << "killed by signal " << outcome.status;
    ASSERT_EQ(outcome.status, 0) << "3 is std::bad_alloc";
    EXPECT_NE(outcome.text.find("too sparse"), std::string::npos) << outcome.text;
    EXPECT_EQ(ScratchDir::Read(path), before);
}

TEST(SpreadSheet, NamesBecomeFileNamesThatShowWhatTheyAre) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"Yamada Taro", "Yamada Taro"},
        {"山田　太郎", "山田　太郎"},
        {"O'NEIL 50%", "O'NEIL 50%"},
        {"a/b\\c", "a_b_c"},
        {".", "_"},
        {"..", "_."},
        {".hidden", "_hidden"},
        {"", "_"},
        {"tab\there\nnext\r", "tab_here_next_"},
        {"del\x7f c1\xc2\x85", "del_ c1_"},
        {"abc\u202Egpj.exe", "abc_gpj.exe"},
        {"\u2066x\u2069 \u200Ey\u200F \u061C", "_x_ _y_ _"},
        {"line\u2028para\u2029", "line_para_"},
        {"bad\xff\xfe utf8 \xe3\x81", "bad__ utf8 __"},
        {"\xed\xa0\x80 surrogate", "___ surrogate"},
        {std::string(260, 'a'), std::string(250, 'a')},
    };
    for (const auto& [name, expected] : cases) EXPECT_EQ(SafeFileName(name), expected) << name;

    // A long name in three-byte characters is cut before a whole character.
    EXPECT_EQ(SafeFileName(Repeat("あ", 100)), Repeat("あ", 83));
    EXPECT_EQ(SafeFileName("abcdef", 4), "abcd");
}
