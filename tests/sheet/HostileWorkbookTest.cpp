// Workbooks made to hurt the reader, sheet names, file modes, long file
// names, killed writes and a full disk.

#include <sys/mount.h>
#include <sys/stat.h>

#include <sched.h>

#include <algorithm>
#include <filesystem>
#include <random>

#include <QString>

#include <gtest/gtest.h>

#include "SheetTestSupport.h"
#include "sheet/AtomicFile.h"
#include "sheet/Workbook.h"
#include "support/ScratchDir.h"

using namespace kestrune::sheet;
using namespace kestrune::sheet::testing;
using kestrune::testing::ScratchDir;

namespace {

// Reads `path` in a child limited to 100 MB; its error text, or "read".
std::string ReadWithin100Mb(const std::string& path) {
    const auto outcome = RunWithMemoryLimit(100, [&path] {
        std::string error;
        return ReadWorkbook(path, &error) ? std::string("read") : error;
    });
    EXPECT_TRUE(outcome.exited && outcome.status == 0)
        << (outcome.exited ? "exit " : "signal ") << outcome.status << " (3: bad_alloc)";
    return outcome.text;
}

std::string Rows(int count, const std::function<std::string(int row)>& cells) {
    std::string xml;
    for (int r = 1; r <= count; ++r) {
        xml += "<row r=\"" + std::to_string(r) + "\">" + cells(r) + "</row>";
    }
    return xml;
}

}  // namespace

TEST(HostileWorkbook, CraftedFilesAreRefusedWithAMessageWithinAHundredMegabytes) {
    struct Case {
        const char* name;
        std::string sheetData;
        std::string shared;
    };
    const std::vector<Case> cases = {
        // 4000 rows with one cell at column XFD: 2.6 GB laid out from column A.
        {"wide rows",
         Rows(4000, [](int r) { return "<c r=\"XFD" + std::to_string(r) + "\"><v>1</v></c>"; })},
        // One 32 767-character shared string in 40 000 cells: 1.3 GB of copies.
        {"shared-string bomb",
         Rows(400, [](int) { return Repeat("<c t=\"s\"><v>0</v></c>", 100); }),
         "<si><t>" + std::string(32767, 'x') + "</t></si>"},
        // A single cell in the last row a sheet may have.
        {"far row", "<row r=\"1048576\"><c><v>1</v></c></row>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        const std::string path = dir.File("hostile.xlsx");
        WriteHandMadeWorkbook(path, c.sheetData, c.shared);
        ASSERT_LT(std::filesystem::file_size(path), 200u * 1024);
        const std::string text = ReadWithin100Mb(path);
        EXPECT_NE(text.find("can honestly hold"), std::string::npos) << text;
        EXPECT_NE(text.find("Result"), std::string::npos) << text;
    }
}

TEST(HostileWorkbook, APartClaimingMoreThanItCanUnpackIsRefusedWithoutAllocatingIt) {
    ScratchDir dir;
    const std::string path = dir.File("claims.xlsx");
    WriteHandMadeWorkbook(path, "<row><c><v>1</v></c></row>");
    // Make the archive claim 256 MB for the sheet part, in its local header
    // (offset 22) and its central directory entry (offset 24).
    auto bytes = ScratchDir::Read(path);
    const std::string part = "xl/sheet.xml";
    int patched = 0;
    for (std::size_t at = 0; at + 46 + part.size() <= bytes.size(); ++at) {
        const bool local =
            bytes[at] == 'P' && bytes[at + 1] == 'K' && bytes[at + 2] == 3 && bytes[at + 3] == 4;
        const bool central =
            bytes[at] == 'P' && bytes[at + 1] == 'K' && bytes[at + 2] == 1 && bytes[at + 3] == 2;
        const std::size_t nameAt = at + (local ? 30 : 46);
        if ((!local && !central) ||
            std::string(bytes.begin() + static_cast<long>(nameAt),
                        bytes.begin() + static_cast<long>(nameAt + part.size())) != part) {
            continue;
        }
        const std::size_t sizeAt = at + (local ? 22 : 24);
        bytes[sizeAt] = bytes[sizeAt + 1] = bytes[sizeAt + 2] = 0;
        bytes[sizeAt + 3] = 0x10;
        ++patched;
    }
    ASSERT_EQ(patched, 2);
    dir.Write("claims.xlsx", bytes);
    const std::string text = ReadWithin100Mb(path);
    EXPECT_NE(text.find("xl/sheet.xml is damaged or too large"), std::string::npos) << text;
}

TEST(HostileWorkbook, CellsInAnyOrderAreLaidOutInRowsFromColumnA) {
    // Out of order, a cell given twice (the last counts), a far note, an empty last row.
    ScratchDir dir;
    const std::string path = dir.File("sparse.xlsx");
    WriteHandMadeWorkbook(path,
                          "<row r=\"3\"><c r=\"C3\"><v>33</v></c><c r=\"A3\" t=\"s\"><v>1</v></c>"
                          "</row>"
                          "<row r=\"1\"><c r=\"B1\" t=\"inlineStr\"><is><t>b1</t></is></c>"
                          "<c r=\"XFD1\" t=\"s\"><v>0</v></c></row>"
                          "<row r=\"3\"><c r=\"C3\" t=\"str\"><v>again</v></c></row>"
                          "<row r=\"6\"/>",
                          "<si><t>note</t></si><si><t>" + std::string(40, 'L') + "</t></si>");
    std::string error;
    const auto book = ReadWorkbook(path, &error);
    ASSERT_TRUE(book) << error;
    const auto& rows = book->sheets.at(0).rows;
    ASSERT_EQ(rows.size(), 6u);
    ASSERT_EQ(rows[0].size(), 16384u);
    EXPECT_EQ(rows[0][1], (Cell{"b1", false}));
    EXPECT_EQ(rows[0][16383], (Cell{"note", false}));
    EXPECT_EQ(rows[0][0], Cell{});
    EXPECT_TRUE(rows[1].empty());
    EXPECT_EQ(rows[2], (CellRow{{std::string(40, 'L'), false}, {}, {"again", false}}));
    EXPECT_TRUE(rows[3].empty() && rows[4].empty() && rows[5].empty());
}

TEST(HostileWorkbook, SheetNamesAreCheckedBeforeAnythingIsWritten) {
    const std::vector<std::pair<std::string, const char*>> refused = {
        {"", "empty"},
        {std::string(32, 'n'), "longer than 31"},
        {"a:b", "':'"},
        {"a\\b", "'\\'"},
        {"a/b", "'/'"},
        {"what?", "'?'"},
        {"a*", "'*'"},
        {"[x", "'['"},
        {"x]", "']'"},
        {"tab\there", "control character"},
        {"'quoted", "apostrophe"},
        {"quoted'", "apostrophe"},
        {"bad\xff", "UTF-8"},
    };
    ScratchDir dir;
    const std::string path = dir.File("names.xlsx");
    for (const auto& [name, why] : refused) {
        SCOPED_TRACE(name);
        const auto problem = SheetNameProblem(name);
        ASSERT_TRUE(problem);
        EXPECT_NE(problem->find(why), std::string::npos) << *problem;
        std::string error;
        EXPECT_FALSE(WriteWorkbook(path, {{{name, {TextCells({"v"})}}}}, &error));
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    for (const std::string& name :
         std::vector<std::string>{"Result", std::string(31, 'n'), "結果のシート名は三十一文字まで",
                                  "it's", "a b.c-d_(1)"}) {
        EXPECT_EQ(SheetNameProblem(name), std::nullopt) << name;
    }

    const std::vector<std::tuple<std::string, std::string, bool>> same = {
        {"Result", "result", true},   {"RESULT", "Result", true}, {"Ärger", "äRGER", true},
        {"Result", "Result2", false}, {"結果", "結果", true},     {"Result", "Resu1t", false},
    };
    for (const auto& [a, b, expected] : same) EXPECT_EQ(SameSheetName(a, b), expected) << a << b;

    // Two sheets one program would take for one are refused, and the older
    // file stays as it was.
    std::string error;
    ASSERT_TRUE(WriteWorkbook(path, {{{"Result", {TextCells({"old"})}}}}, &error)) << error;
    EXPECT_FALSE(WriteWorkbook(path, {{{"Result", {}}, {"RESULT", {}}}}, &error));
    EXPECT_NE(error.find("has a sheet \"Result\" already"), std::string::npos) << error;
    EXPECT_EQ(SheetText(path, "result"), (Table{{"old"}}));  // found whatever the case
}

TEST(HostileWorkbook, NewFilesFollowTheUmaskAndRewrittenFilesKeepTheirMode) {
    ScratchDir dir;
    const mode_t saved = ::umask(022);
    const std::vector<std::pair<mode_t, mode_t>> cases = {
        {022, 0644}, {027, 0640}, {077, 0600}, {002, 0644}, {0, 0644}};
    for (const auto& [mask, expected] : cases) {
        SCOPED_TRACE(::testing::Message() << "umask " << std::oct << mask);
        ::umask(mask);
        const std::string name = "mode" + std::to_string(mask) + ".xlsx";
        std::string error;
        ASSERT_TRUE(WriteWorkbook(dir.File(name), {{{"S", {TextCells({"v"})}}}}, &error)) << error;
        for (const std::string& file : {dir.File(name), dir.File("." + name + ".lock")}) {
            struct stat info {};
            ASSERT_EQ(::stat(file.c_str(), &info), 0) << file;
            EXPECT_EQ(info.st_mode & 07777, expected) << file;
        }
    }
    // A workbook someone made private stays private when it is rewritten.
    ::umask(022);
    const std::string path = dir.File("private.xlsx");
    std::string error;
    ASSERT_TRUE(WriteWorkbook(path, {{{"S", {TextCells({"v"})}}}}, &error)) << error;
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    ASSERT_TRUE(WriteWorkbook(path, {{{"S", {TextCells({"w"})}}}}, &error)) << error;
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    ::umask(saved);
}

TEST(HostileWorkbook, NamesUpToTheFileSystemLimitAreWrittenAndReadAgain) {
    ScratchDir dir;
    // Byte lengths of the whole file name, ".xlsx" included.
    for (const std::size_t length : {200u, 243u, 246u, 247u, 248u, 250u, 255u}) {
        SCOPED_TRACE(length);
        const std::string name = std::string(length - 5, 'n') + ".xlsx";
        const std::string path = dir.File(name);
        std::string error;
        ASSERT_TRUE(WriteWorkbook(path, {{{"S", {TextCells({name})}}}}, &error)) << error;
        ASSERT_TRUE(WriteWorkbook(path, {{{"S", {TextCells({"again"})}}}}, &error)) << error;
        EXPECT_EQ(SheetText(path, "S"), (Table{{"again"}}));
        EXPECT_LE(TemporaryPrefix(name).size() + 6, 255u);
    }
    const std::string wide = Repeat("音", 83) + ".xlsx";  // 254 bytes
    std::string error;
    ASSERT_TRUE(WriteWorkbook(dir.File(wide), {{{"S", {TextCells({"v"})}}}}, &error)) << error;
    // Shortened prefixes stay whole characters and still differ by name.
    const std::string prefix = TemporaryPrefix(wide);
    EXPECT_TRUE(QString::fromStdString(prefix).toStdString() == prefix);
    EXPECT_NE(TemporaryPrefix(std::string(250, 'a') + "1"),
              TemporaryPrefix(std::string(250, 'a') + "2"));
    EXPECT_EQ(TemporaryPrefix("Yamada.xlsx"), ".Yamada.xlsx.");
}

TEST(HostileWorkbook, TemporaryFilesOfAKilledWriteGoWithTheNextWrite) {
    ScratchDir dir;
    const std::string path = dir.File("Yamada.xlsx");
    // Left by killed writes of this workbook, and files that only look alike.
    const std::vector<std::string> leftovers = {".Yamada.xlsx.AbC123", ".Yamada.xlsx.zz9ZZ9"};
    const std::vector<std::string> others = {".Yamada.xlsx.Ab12",   ".Yamada.xlsx.AbC1234",
                                             ".Yamada.xlsx.Ab-123", ".Tanaka.xlsx.AbC123",
                                             "Yamada.xlsx.AbC123",  ".Yamada.xlsx.xAbC123"};
    for (const auto& name : leftovers) dir.Write(name, std::string("PK half"));
    for (const auto& name : others) dir.Write(name, std::string("keep"));
    std::string error;
    ASSERT_TRUE(WriteWorkbook(path, {{{"S", {TextCells({"v"})}}}}, &error)) << error;
    std::vector<std::string> expected = others;
    expected.push_back("Yamada.xlsx");
    expected.push_back(".Yamada.xlsx.lock");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(FolderContent(dir.Path()), expected);
}

TEST(HostileWorkbook, AFullDiskIsNamedAsSuch) {
    // A 256 KB tmpfs in a child's own mount namespace.
    ScratchDir dir;
    const auto outcome = RunWithMemoryLimit(1024, [&dir]() -> std::string {
        if (::unshare(CLONE_NEWNS) != 0 ||
            ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
            ::mount("tmpfs", dir.Path().c_str(), "tmpfs", 0, "size=256k") != 0) {
            return "no mount";
        }
        // Text that does not compress: 1.2 MB of pseudo-random digits.
        Workbook big{{{"S", {}}}};
        std::mt19937_64 random(7);
        for (int r = 0; r < 40000; ++r) {
            big.sheets[0].rows.push_back(
                TextCells({std::to_string(random()), std::to_string(random())}));
        }
        std::string error;
        if (WriteWorkbook(dir.File("full.xlsx"), big, &error)) return "written";
        const auto left = FolderContent(dir.Path());
        if (left != std::vector<std::string>{".full.xlsx.lock"}) return "left files behind";
        return error;
    });
    ASSERT_TRUE(outcome.exited && outcome.status == 0) << outcome.status;
    if (outcome.text == "no mount") {
        GTEST_SKIP() << "this test needs to mount a small tmpfs (root in a mount namespace)";
    }
    EXPECT_NE(outcome.text.find("No space left on device"), std::string::npos) << outcome.text;
    EXPECT_EQ(outcome.text.find("zip"), std::string::npos) << outcome.text;
}
