// An older binary workbook made by LibreOffice from one we wrote: read back
// cell by cell and carried into the new .xlsx by the first append. One
// soffice run serves the whole test.

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SheetTestSupport.h"
#include "sheet/LegacyWorkbook.h"
#include "sheet/SpreadSheet.h"
#include "support/LibreOffice.h"
#include "support/ScratchDir.h"

using namespace kestrune::sheet;
using namespace kestrune::sheet::testing;
using kestrune::testing::ScratchDir;

namespace {

Cell T(const char* text) {
    return {text, false};
}
Cell N(const char* digits) {
    return {digits, true};
}

/** Several sheets of awkward texts, numbers, and empty cells and rows. */
Workbook OlderStationWorkbook() {
    return {{
        {"Result",
         {
             {T("a"), T("b"), T("c"), T("d")},
             {T("氏名："), T("山田 太郎"), T("年齢："), N("52")},
             {},
             {T("記録時刻："), T("2024-05-01 10:15:00")},
             {T("あ"), N("-3.25"), T(""), N("0.1")},
             {T("評価：\n55－61歳"), T("ｶﾀｶﾅ　全角"), T("0012"), T("=1+1")},
         }},
        {"閾値",
         {
             {T("masked"), T("あ"), T("い"), T("う")},
             {T("あ"), N("0"), N("12.5"), N("-7")},
             {T(""), T(""), N("1e-07"), N("123456789")},
             {T("Null"), T(""), T(""), N("1.5e+300")},
         }},
        {"Empty", {}},
        {"Notes", {{}, {}, {T(""), T("it's \"quoted\", with ,;.?")}, {}}},
    }};
}

/** The workbook as the reader hands it back: no trailing empty cells. */
Workbook Trimmed(Workbook book) {
    for (auto& sheet : book.sheets) {
        for (auto& row : sheet.rows) {
            while (!row.empty() && row.back() == Cell{}) row.pop_back();
        }
    }
    return book;
}

/** Per sheet its name, then its rows; a number as "#" and its value. */
std::vector<Table> Shown(const Workbook& book) {
    std::vector<Table> sheets;
    for (const Worksheet& sheet : book.sheets) {
        Table& table = sheets.emplace_back(Table{{sheet.name}});
        for (const CellRow& row : sheet.rows) {
            auto& cells = table.emplace_back();
            for (const Cell& cell : row) {
                std::array<char, 32> value{};
                std::snprintf(value.data(), value.size(), "#%.17g",
                              std::strtod(cell.text.c_str(), nullptr));
                cells.push_back(cell.number ? value.data() : cell.text);
            }
        }
    }
    return sheets;
}

}  // namespace

TEST(LegacyWorkbookFromLibreOffice, IsReadCellByCellAndCarriedIntoTheNewWorkbook) {
    ScratchDir dir;
    const Workbook older = OlderStationWorkbook();
    std::string error;
    ASSERT_TRUE(WriteWorkbook(dir.File("山田 太郎.xlsx"), older, &error)) << error;
    const auto data = dir.Path() / "Data";
    std::filesystem::create_directories(data);
    ASSERT_TRUE(kestrune::testing::RunSoffice(
        dir.Path(), {"--convert-to", "xls", "--outdir", data.string(), dir.File("山田 太郎.xlsx")},
        &error))
        << error;
    const std::string xls = (data / "山田 太郎.xls").string();
    const std::string xlsx = (data / "山田 太郎.xlsx").string();
    ASSERT_TRUE(std::filesystem::exists(xls));
    const auto xlsBytes = ScratchDir::Read(xls);
    ASSERT_GT(xlsBytes.size(), 512u);
    ASSERT_EQ(xlsBytes[0], 0xD0) << "a compound file, not another .xlsx";

    // Every sheet, in order, with its texts and numbers.
    const auto read = ReadLegacyWorkbook(xls, &error);
    ASSERT_TRUE(read) << error;
    EXPECT_EQ(Shown(*read), Shown(Trimmed(older)));

    // Damaged copies are refused with the file named, and nothing is written.
    {
        SCOPED_TRACE("damaged copies");
        const auto damaged = data / "damaged";
        std::filesystem::create_directories(damaged);
        auto scrambled = xlsBytes;  // the directory and the workbook stream
        for (std::size_t i = 512; i < scrambled.size(); i += 7) scrambled[i] ^= 0x5A;
        const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> copies = {
            {"cut.xls", {xlsBytes.begin(), xlsBytes.begin() + xlsBytes.size() / 3}},
            {"scrambled.xls", scrambled},
        };
        for (const auto& [name, bytes] : copies) {
            SCOPED_TRACE(name);
            const std::string path = dir.Write("Data/damaged/" + name, bytes);
            error.clear();
            EXPECT_FALSE(ReadLegacyWorkbook(path, &error));
            EXPECT_NE(error.find(path + ": cannot read"), std::string::npos) << error;
            error.clear();
            EXPECT_FALSE(AppendRows(path, "Result", {}, {{"1"}}, &error));
            EXPECT_NE(error.find(path), std::string::npos) << error;
            EXPECT_EQ(ScratchDir::Read(path), bytes);
        }
        // Beside the two copies only the writers' lock files stand.
        EXPECT_EQ(FolderContent(damaged),
                  (std::vector<std::string>{".cut.xlsx.lock", ".scrambled.xlsx.lock", "cut.xls",
                                            "scrambled.xls"}));
    }

    // The first append makes the .xlsx with every older sheet; the .xls stays.
    const std::vector<Row> first = {{"記録時刻：", "2026-12-06 09:00:00"}, {"う", "-1"}};
    ASSERT_TRUE(AppendRows(xls, "Result", {"a", "b", "c", "d"}, first, &error)) << error;
    ASSERT_TRUE(std::filesystem::exists(xlsx));
    EXPECT_EQ(ScratchDir::Read(xls), xlsBytes);

    Workbook expected = Trimmed(older);
    // The appended sheet becomes text, every row as wide as its header.
    Worksheet& result = expected.sheets[0];
    for (std::size_t r = 1; r < result.rows.size(); ++r) {
        for (Cell& cell : result.rows[r]) cell.number = false;
        result.rows[r].resize(4);
    }
    for (const Row& row : first) {
        result.rows.push_back(TextCells(row));
        result.rows.back().resize(4);
    }
    // The other sheets come across as read; an empty row keeps its place as one blank cell.
    for (std::size_t s = 1; s < expected.sheets.size(); ++s) {
        for (CellRow& row : expected.sheets[s].rows) {
            if (row.empty()) row.push_back(Cell{});
        }
    }
    auto carried = ReadWorkbook(xlsx, &error);
    ASSERT_TRUE(carried) << error;
    EXPECT_EQ(Shown(*carried), Shown(expected));

    // Later writes go to the .xlsx alone: the older rows are not carried twice.
    ASSERT_TRUE(AppendRows(xls, "Result", {}, {{"次", "1"}}, &error)) << error;
    ASSERT_TRUE(AppendRows(xls, "追加", {"x"}, {{"y"}}, &error)) << error;
    result.rows.push_back(TextCells({"次", "1", "", ""}));
    expected.sheets.push_back({"追加", {TextCells({"x"}), TextCells({"y"})}});
    carried = ReadWorkbook(xlsx, &error);
    ASSERT_TRUE(carried) << error;
    EXPECT_EQ(Shown(*carried), Shown(expected));
    EXPECT_EQ(ScratchDir::Read(xls), xlsBytes);
}
