// LibreOffice as the independent reader: every sheet of a workbook we wrote
// is converted to CSV by soffice and compared cell by cell, and a workbook
// that LibreOffice saved is opened and appended to. soffice runs with its
// own profile and HOME in the test's folder. (The session's own result rows
// are read back by LibreOffice in the session tests.)

#include <filesystem>
#include <map>

#include <gtest/gtest.h>

#include "SheetTestSupport.h"
#include "sheet/SpreadSheet.h"
#include "support/LibreOffice.h"
#include "support/ScratchDir.h"

using namespace kestrune::sheet;
using namespace kestrune::sheet::testing;
using kestrune::testing::ScratchDir;

namespace {

/** Every sheet of the workbook as LibreOffice reads it, by sheet name. */
std::map<std::string, Table> ReadWithLibreOffice(const ScratchDir& dir,
                                                 const std::string& workbook) {
    std::string error;
    auto sheets = kestrune::testing::ReadWithLibreOffice(dir.Path(), workbook, &error);
    EXPECT_TRUE(error.empty()) << error;
    return sheets;
}

/** Appends rows in one transaction (a header first when given). */
void Append(const std::string& file, const std::string& sheetName, const std::vector<Row>& rows,
            const Row& header = {}) {
    CSpreadSheet sheet(file, sheetName, true);
    sheet.BeginTransaction();
    if (!header.empty()) {
        ASSERT_TRUE(sheet.AddHeaders(header, false)) << sheet.LastError();
    }
    for (const auto& row : rows) ASSERT_TRUE(sheet.AddRow(row, 0, false)) << sheet.LastError();
    ASSERT_TRUE(sheet.Commit()) << sheet.LastError();
}

}  // namespace

TEST(LibreOffice, ReadsEverySheetWeWroteAndWeAppendToWhatItSaved) {
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path() / "Data");
    const std::string file = (dir.Path() / "Data" / "山田 太郎.xls").string();
    const std::string ours = (dir.Path() / "Data" / "山田 太郎.xlsx").string();
    const Row header = {"a", "b", "c"};
    const std::vector<Row> first = {{"記録時刻：", "2024-05-01 10:15:00"},
                                    {""},
                                    {"その他：", "O'Hara said \"ok\", then ,;.? left"}};
    // Awkward values: a formula-looking value and leading zeros stay text.
    const std::vector<Row> notes = {{"it's", "say \"hi\"", "x\",;.?\"y"},
                                    {",;.?", "line one\nline two", "日本語　ｶﾀｶﾅ"},
                                    {"_x0041_", "=1+1", "0012"},
                                    {std::string(32000, 'q'), "  spaced  ", "<&>"}};
    const std::vector<Row> later = {{"."}, {"あ", "-3", "Null"}, {"評価：\n\n55－61歳"}};
    Append(file, "Result", first, header);
    Append(file, "Notes", notes, {"one", "two", "three"});
    Append(file, "Result", later);  // backs "Result" up first

    std::vector<Row> result = {header};
    result.insert(result.end(), first.begin(), first.end());
    const std::vector<Row> backup = result;
    result.insert(result.end(), later.begin(), later.end());
    std::vector<Row> notesSheet = {{"one", "two", "three"}};
    notesSheet.insert(notesSheet.end(), notes.begin(), notes.end());
    auto sheets = ReadWithLibreOffice(dir, ours);
    ASSERT_EQ(sheets.size(), 3u);
    EXPECT_EQ(sheets["Result"], kestrune::testing::Trimmed(result));
    EXPECT_EQ(sheets["Notes"], notesSheet);
    EXPECT_EQ(sheets["CSpreadSheetBackup"], kestrune::testing::Trimmed(backup));

    // LibreOffice saves the workbook again; we open its file and append.
    const auto resaved = dir.Path() / "resaved";
    std::filesystem::create_directories(resaved);
    std::string error;
    ASSERT_TRUE(kestrune::testing::RunSoffice(
        dir.Path(), {"--convert-to", "xlsx", "--outdir", resaved.string(), ours}, &error))
        << error;
    const std::string theirs = (resaved / "山田 太郎.xlsx").string();
    ASSERT_NE(ScratchDir::Read(theirs), ScratchDir::Read(ours));
    {
        CSpreadSheet sheet(theirs, "Result", true);
        ASSERT_TRUE(sheet.SheetExists()) << sheet.LastError();
        EXPECT_EQ(sheet.TotalRows(), static_cast<int>(result.size()));
        sheet.BeginTransaction();
        ASSERT_TRUE(sheet.AddRow({"after", "追加"}, 0, false));
        ASSERT_TRUE(sheet.Commit()) << sheet.LastError();
    }
    result.push_back({"after", "追加"});
    sheets = ReadWithLibreOffice(dir, theirs);
    EXPECT_EQ(sheets["Result"], kestrune::testing::Trimmed(result));
    EXPECT_EQ(sheets["Notes"], notesSheet);
}
