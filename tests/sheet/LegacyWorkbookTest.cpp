// The older binary workbook beside a missing .xlsx: which file is taken, and
// files that are not binary workbooks refused without anything written.

#include "sheet/LegacyWorkbook.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "SheetTestSupport.h"
#include "sheet/SpreadSheet.h"
#include "support/ScratchDir.h"

using namespace kestrune::sheet;
using kestrune::testing::ScratchDir;

TEST(LegacyWorkbook, TheOlderFileIsTakenOnlyWhenTheWorkbookIsMissing) {
    struct Case {
        const char* name;
        std::vector<std::string> present;  // files in the folder
        const char* asked;
        const char* expected;  // "" for none
    };
    const Case cases[] = {
        {"only the older file", {"a.xls"}, "a.xlsx", "a.xls"},
        {"its ending in capitals", {"a.XLS"}, "a.xlsx", "a.XLS"},
        {"a workbook asked for in capitals", {"a.xls"}, "a.XLSX", "a.xls"},
        {"the workbook exists too", {"a.xls", "a.xlsx"}, "a.xlsx", ""},
        {"neither", {"b.xls"}, "a.xlsx", ""},
        {"not a workbook path", {"a.xls"}, "a.csv", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        for (const auto& file : c.present) dir.Write(file, std::string("x"));
        const std::string expected = *c.expected == '\0' ? "" : dir.File(c.expected);
        EXPECT_EQ(LegacyWorkbookFor(dir.File(c.asked)), expected);
    }
    ScratchDir dir;
    std::filesystem::create_directories(dir.Path() / "a.xls");
    EXPECT_EQ(LegacyWorkbookFor(dir.File("a.xlsx")), "") << "a folder is not a workbook";
    // With neither file there is nothing to read, and that is no error.
    std::string error = "stale";
    EXPECT_FALSE(ReadWorkbookOrLegacy(dir.File("a.xlsx"), &error));
    EXPECT_EQ(error, "");
}

TEST(LegacyWorkbook, AFileThatIsNoBinaryWorkbookIsRefusedAndNothingIsWritten) {
    ScratchDir source;
    const std::string zipped = source.File("ours.xlsx");
    std::string error;
    ASSERT_TRUE(WriteWorkbook(zipped, {{{"Result", {TextCells({"a"})}}}}, &error)) << error;
    const auto zipBytes = ScratchDir::Read(zipped);
    // A compound-file signature followed by nothing sensible.
    std::vector<std::uint8_t> header = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    header.resize(1536, 0xFF);

    const char* notOne = "not a binary Excel workbook";
    struct Case {
        const char* name;
        std::vector<std::uint8_t> bytes;
        const char* why;
    };
    const Case cases[] = {
        {"empty", {}, notOne},
        {"text", {'n', 'a', 'm', 'e', ',', '1', '\r', '\n'}, notOne},
        {"an .xlsx under the older name", zipBytes, notOne},
        {"a compound-file header with garbage after it", header, "compound file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        std::filesystem::create_directories(dir.Path() / "Data");
        const std::string old = dir.Write("Data/山田.xls", c.bytes);

        EXPECT_FALSE(ReadLegacyWorkbook(old, &error));
        EXPECT_NE(error.find(old + ": cannot read this binary Excel workbook"), std::string::npos)
            << error;
        EXPECT_NE(error.find(c.why), std::string::npos) << error;

        error.clear();
        EXPECT_FALSE(
            AppendRows(dir.File("Data/山田.xls"), "Result", {"a", "b"}, {{"1", "2"}}, &error));
        EXPECT_NE(error.find(old), std::string::npos) << error;
        EXPECT_FALSE(std::filesystem::exists(dir.File("Data/山田.xlsx")));
        EXPECT_EQ(ScratchDir::Read(old), c.bytes);
        // Only the writers' lock file may stand beside it, no temporary file.
        EXPECT_EQ(kestrune::sheet::testing::FolderContent(dir.Path() / "Data"),
                  (std::vector<std::string>{".山田.xlsx.lock", "山田.xls"}));
    }
}
