// LibreOffice as the independent reader: every sheet of a workbook we wrote
// is converted to CSV by soffice and compared cell by cell. soffice runs with
// its own profile and HOME in the test's folder, so the tests may run in
// parallel and as root.

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <utility>

#include <gtest/gtest.h>

#include "SheetTestSupport.h"
#include "sheet/SpreadSheet.h"
#include "support/LibreOffice.h"
#include "support/ScratchDir.h"

using namespace kestrune::sheet;
using namespace kestrune::sheet::testing;
using kestrune::testing::ScratchDir;

namespace {

/** Every sheet of the workbook as LibreOffice reads it, by sheet name;
 *  fails the test when soffice fails. */
std::map<std::string, Table> ReadWithLibreOffice(const ScratchDir& dir,
                                                 const std::string& workbook) {
    std::string error;
    auto sheets = kestrune::testing::ReadWithLibreOffice(dir.Path(), workbook, &error);
    EXPECT_TRUE(error.empty()) << error;
    return sheets;
}

void Write(CSpreadSheet& sheet, const std::vector<Row>& rows) {
    for (const auto& row : rows) ASSERT_TRUE(sheet.AddRow(row, 0, false)) << sheet.LastError();
}

}  // namespace

TEST(LibreOffice, ResultWorkbookOfASessionReadsBackRowByRow) {
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path() / "Data");
    const std::string name = "山田 太郎";
    const std::string file = (dir.Path() / "Data" / (name + ".xls")).string();
    const Row header = {"a", "b", "c", "d", "e", "f", "g"};

    // The entry form starts the subject's workbook.
    const std::vector<Row> registration = {{name + " voice separation test result"},
                                           {""},
                                           {"記録時刻：", "2024-05-01 10:15:00"},
                                           {"被験者名前：", name},
                                           {"性別：", "男"},
                                           {"年齢：", "63"},
                                           {"利き側：", "右"},
                                           {"耳の聴力：", "普通"},
                                           {"その他：", "O'Hara said \"ok\", then ,;.? left"},
                                           {""},
                                           {""}};
    {
        CSpreadSheet sheet(file, "Result", true);
        sheet.BeginTransaction();
        ASSERT_TRUE(sheet.AddHeaders(header, false)) << sheet.LastError();
        Write(sheet, registration);
        ASSERT_TRUE(sheet.Commit()) << sheet.LastError();
    }
    // Someone keeps notes in the same workbook meanwhile, with awkward values
    // (a formula-looking value and leading zeros stay text).
    const std::vector<Row> notes = {{"one", "two", "three"},
                                    {"it's", "say \"hi\"", "x\",;.?\"y"},
                                    {",;.?", "line one\nline two", "日本語　ｶﾀｶﾅ"},
                                    {"_x0041_", "=1+1", "0012"},
                                    {std::string(32000, 'q'), "  spaced  ", "<&>"}};
    {
        CSpreadSheet sheet(file, "Notes", true);
        sheet.BeginTransaction();
        ASSERT_TRUE(sheet.AddHeaders(notes[0], false));
        Write(sheet, {notes.begin() + 1, notes.end()});
        ASSERT_TRUE(sheet.Commit()) << sheet.LastError();
    }
    // The vowel test appends its threshold table at the end of the session.
    std::vector<Row> thresholds = {
        {"."}, {"."}, {"masked", "あ", "い", "う", "え", "お"}, {"masking"}};
    const char* const vowels[] = {"あ", "い", "う", "え", "お"};
    for (int i = 0; i < 5; ++i) {
        Row row = {vowels[i]};
        for (int j = 0; j < 5; ++j)
            row.push_back(i == 4 && j == 3 ? "Null" : std::to_string(-3 * (i + j)));
        thresholds.push_back(row);
    }
    thresholds.push_back({"Average of hearing thresthold:", "-12.000000"});
    thresholds.push_back({"Average of separation thresthold:", "-10.650000"});
    thresholds.push_back({"."});
    thresholds.push_back({"."});
    thresholds.push_back(
        {"貴方の脳内音声識別能力に特に心配することはありません。\n\n測定結果により，55－61歳の聴覚"
         "識別能力でした．"});
    {
        CSpreadSheet sheet(file, "Result", true);
        sheet.BeginTransaction();
        sheet.AddHeaders(header, false);  // refused: the header is there already
        Write(sheet, thresholds);
        ASSERT_TRUE(sheet.Commit()) << sheet.LastError();
    }

    const std::string stored = (dir.Path() / "Data" / (name + ".xlsx")).string();
    ASSERT_TRUE(std::filesystem::exists(stored));
    const auto sheets = ReadWithLibreOffice(dir, stored);
    std::vector<Row> expected = {header};
    expected.insert(expected.end(), registration.begin(), registration.end());
    const std::vector<Row> firstState = expected;
    expected.insert(expected.end(), thresholds.begin(), thresholds.end());
    ASSERT_EQ(sheets.size(), 3u);
    ASSERT_TRUE(sheets.count("Result"));
    EXPECT_EQ(sheets.at("Result"), kestrune::testing::Trimmed(expected));
    EXPECT_EQ(sheets.at("Notes"), notes);
    EXPECT_EQ(sheets.at("CSpreadSheetBackup"), kestrune::testing::Trimmed(firstState));
}

TEST(LibreOffice, AWorkbookSavedAgainByLibreOfficeStillOpensAndAppends) {
    ScratchDir dir;
    const std::string ours = dir.File("session.xlsx");
    {
        CSpreadSheet sheet(ours, "Result", true);
        sheet.BeginTransaction();
        ASSERT_TRUE(sheet.AddHeaders({"a", "b"}, false));
        Write(sheet, {{"before", "保存"}, {"two\nlines", "it's"}});
        ASSERT_TRUE(sheet.Commit()) << sheet.LastError();
        CSpreadSheet other(ours, "Other", false);
        ASSERT_TRUE(other.AddHeaders({"x"}, false));
        ASSERT_TRUE(other.AddRow({"kept"}));
    }
    const auto resaved = dir.Path() / "resaved";
    std::filesystem::create_directories(resaved);
    std::string error;
    ASSERT_TRUE(kestrune::testing::RunSoffice(
        dir.Path(), {"--convert-to", "xlsx", "--outdir", resaved.string(), ours}, &error))
        << error;
    const std::string theirs = (resaved / "session.xlsx").string();
    ASSERT_TRUE(std::filesystem::exists(theirs));
    ASSERT_NE(ScratchDir::Read(theirs), ScratchDir::Read(ours));

    {
        CSpreadSheet sheet(theirs, "Result", true);
        ASSERT_TRUE(sheet.SheetExists()) << sheet.LastError();
        EXPECT_TRUE(sheet.BackupMade()) << sheet.LastError();
        EXPECT_EQ(sheet.TotalRows(), 3);
        sheet.BeginTransaction();
        Write(sheet, {{"after", "追加"}});
        ASSERT_TRUE(sheet.Commit()) << sheet.LastError();
    }
    const auto sheets = ReadWithLibreOffice(dir, theirs);
    const Table result = {
        {"a", "b"}, {"before", "保存"}, {"two\nlines", "it's"}, {"after", "追加"}};
    EXPECT_EQ(sheets.at("Result"), result);
    EXPECT_EQ(sheets.at("Other"), (Table{{"x"}, {"kept"}}));
    EXPECT_EQ(sheets.at("CSpreadSheetBackup"), (Table{result[0], result[1], result[2]}));
}
