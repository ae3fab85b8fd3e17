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
#include "support/ScratchDir.h"

using namespace kestrune::sheet;
using namespace kestrune::sheet::testing;
using kestrune::testing::ScratchDir;

namespace {

// Every sheet to its own UTF-8 CSV file "<name>-<sheet>.csv" (comma, double
// quotes, all sheets: the last token -1).
const char* const kCsvFilter =
    "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1";

std::string Quoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

/** Runs soffice with the arguments; its output goes to a log in `home`. */
void RunSoffice(const std::filesystem::path& home, const std::vector<std::string>& arguments) {
    std::string command = "HOME=" + Quoted(home) + " soffice " +
                          Quoted("-env:UserInstallation=file://" + (home / "profile").string()) +
                          " --headless --norestore";
    for (const auto& argument : arguments) command += " " + Quoted(argument);
    const std::string log = (home / "soffice.log").string();
    const int status = std::system((command + " >>" + Quoted(log) + " 2>&1").c_str());
    std::ifstream in(log);
    ASSERT_EQ(status, 0) << "soffice (LibreOffice is needed for these tests): "
                         << std::string((std::istreambuf_iterator<char>(in)), {});
}

/** RFC 4180 CSV as LibreOffice writes it: quoted fields may hold quotes
 *  (doubled), commas and line breaks. */
Table ParseCsv(const std::string& text) {
    Table rows(1);
    std::string field;
    bool quoted = false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted && c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
            field += text[++i];
        } else if (c == '"') {
            quoted = !quoted;
        } else if (quoted || (c != ',' && c != '\n' && c != '\r')) {
            field += c;
        } else {
            rows.back().push_back(std::exchange(field, {}));
            if (c == ',') continue;
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            rows.emplace_back();
        }
    }
    if (!field.empty() || !rows.back().empty())
        rows.back().push_back(field);
    else
        rows.pop_back();
    return rows;
}

/** Rows without their trailing empty cells, and without trailing empty rows:
 *  how far a CSV export reaches depends on the sheet's used range only. */
Table Trimmed(Table rows) {
    for (auto& row : rows) {
        while (!row.empty() && row.back().empty()) row.pop_back();
    }
    while (!rows.empty() && rows.back().empty()) rows.pop_back();
    return rows;
}

/** Every sheet of the workbook as LibreOffice reads it, by sheet name. */
std::map<std::string, Table> ReadWithLibreOffice(const ScratchDir& dir,
                                                 const std::string& workbook) {
    const auto out = dir.Path() / ("csv-" + std::to_string(std::rand()));
    std::filesystem::create_directories(out);
    RunSoffice(dir.Path(), {"--convert-to", kCsvFilter, "--outdir", out.string(), workbook});
    const std::string prefix = std::filesystem::path(workbook).stem().string() + "-";
    std::map<std::string, Table> sheets;
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        const std::string name = entry.path().filename().string();
        EXPECT_TRUE(name.starts_with(prefix) && name.ends_with(".csv")) << name;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        sheets[name.substr(prefix.size(), name.size() - prefix.size() - 4)] =
            Trimmed(ParseCsv(text));
    }
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
    EXPECT_EQ(sheets.at("Result"), Trimmed(expected));
    EXPECT_EQ(sheets.at("Notes"), notes);
    EXPECT_EQ(sheets.at("CSpreadSheetBackup"), Trimmed(firstState));
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
    RunSoffice(dir.Path(), {"--convert-to", "xlsx", "--outdir", resaved.string(), ours});
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
