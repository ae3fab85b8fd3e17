// Workbook files: round trips of awkward text, workbooks written by other
// programs, damaged files and the one-step replacement of the file.

#include <signal.h>
#include <sys/inotify.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "SheetTestSupport.h"
#include "sheet/Workbook.h"
#include "support/ScratchDir.h"

using namespace kestrune::sheet;
using namespace kestrune::sheet::testing;
using kestrune::testing::ScratchDir;

namespace {

const std::vector<std::string> kAwkward = {
    "it's O'Hara's",
    "say \"hi\"",
    "x\",;.?\"y",
    "line one\nline two",
    "crlf\r\nend",
    "tab\there",
    std::string("bell\x07 and \x01"),
    "日本語の回答　ｶﾀｶﾅ",
    "_x0041_ stays as typed",
    "emoji \xF0\x9F\x8E\xA7",
    "  leading and trailing  ",
    "<tag attr=\"v\">&amp;</tag>",
};

}  // namespace

TEST(Workbook, AwkwardTextAndEverySheetSurviveARoundTrip) {
    ScratchDir dir;
    Workbook book;
    book.sheets.push_back({"Result", {TextCells({"a", "b"})}});
    for (const auto& value : kAwkward)
        book.sheets[0].rows.push_back(TextCells({value, value + "2"}));
    book.sheets[0].rows.push_back(TextCells({Repeat("x", 32000), Repeat("音", 32000)}));
    book.sheets[0].rows.push_back(TextCells({Repeat("y", kMaxCellLength)}));
    // A second sheet with numbers and gaps (an empty row, empty cells).
    book.sheets.push_back({"数値",
                           {{{"12", true}, {"-0.5", true}, {"1e-07", true}},
                            {},
                            {{"", false}, {"", false}, {"after a gap", false}}}});

    const std::string path = dir.File("awkward.xlsx");
    std::string error;
    ASSERT_TRUE(WriteWorkbook(path, book, &error)) << error;
    const auto back = ReadWorkbook(path, &error);
    ASSERT_TRUE(back) << error;
    ASSERT_EQ(back->sheets.size(), 2u);
    EXPECT_EQ(back->sheets[0].name, "Result");
    ASSERT_EQ(back->sheets[0].rows.size(), book.sheets[0].rows.size());
    for (std::size_t r = 0; r < book.sheets[0].rows.size(); ++r) {
        EXPECT_EQ(back->sheets[0].rows[r], book.sheets[0].rows[r]) << "row " << r;
    }
    EXPECT_EQ(back->sheets[1].name, "数値");
    EXPECT_EQ(back->sheets[1].rows[0], (CellRow{{"12", true}, {"-0.5", true}, {"1E-07", true}}));
    EXPECT_EQ(back->sheets[1].rows[1], CellRow{Cell{}});  // kept as one blank cell
    EXPECT_EQ(back->sheets[1].rows[2], (CellRow{{}, {}, {"after a gap", false}}));
}

TEST(Workbook, AFailedWriteKeepsTheOldFileAndLeavesNothingBehind) {
    ScratchDir dir;
    const std::string path = dir.File("keep.xlsx");
    std::string error;
    ASSERT_TRUE(WriteWorkbook(path, {{{"Old", {TextCells({"old"})}}}}, &error)) << error;
    const auto before = ScratchDir::Read(path);

    Workbook tooLong{{{"New", {TextCells({Repeat("z", kMaxCellLength + 1)})}}}};
    EXPECT_FALSE(WriteWorkbook(path, tooLong, &error));
    EXPECT_NE(error.find("longer than 32767"), std::string::npos) << error;
    // (Refused sheet names keep the file too: the hostile workbook tests.)

    EXPECT_EQ(ScratchDir::Read(path), before);
    // The writers' lock file stays (see FileLock); no temporary file does.
    EXPECT_EQ(FolderContent(dir.Path()),
              (std::vector<std::string>{".keep.xlsx.lock", "keep.xlsx"}));
}

TEST(Workbook, ReadsWorkbooksFromOtherProgramsInEveryStringForm) {
    // A hand-made package: absolute and relative targets, shared strings with
    // rich-text runs and a phonetic run, inline strings, a formula result,
    // a boolean, rows and cells without their r attributes, and a chart sheet.
    const std::string &ns = kSheetNs, &rel = kRelNs, &rels = kRelsOpen;
    auto link = [&](const char* id, const char* type, const char* target, const char* extra = "") {
        return std::string("<Relationship Id=\"") + id + "\" Type=\"" + rel + "/" + type +
               "\" Target=\"" + target + "\"" + extra + "/>";
    };
    ScratchDir dir;
    const std::string path = dir.File("foreign.xlsx");
    WriteZip(
        path,
        {{"[Content_Types].xml", "<Types/>"},
         {"_rels/.rels",
          rels + link("r1", "officeDocument", "/book/main.xml") + "</Relationships>"},
         {"book/main.xml",
          "<workbook xmlns=\"" + ns + "\" xmlns:x=\"" + rel +
              "\"><sheets>"
              "<sheet name=\"Chart\" sheetId=\"3\" x:id=\"c\"/>"
              "<sheet name=\"First\" sheetId=\"1\" x:id=\"a\"/>"
              "<sheet name=\"Second\" sheetId=\"2\" x:id=\"b\"/></sheets></workbook>"},
         {"book/_rels/main.xml.rels",
          rels + link("a", "worksheet", "sheets/one.xml") +
              link("b", "worksheet", "/book/sheets/../two.xml") +
              link("c", "chartsheet", "charts/c.xml") + link("s", "sharedStrings", "strings.xml") +
              link("l", "hyperlink", "http://x", " TargetMode=\"External\"") + "</Relationships>"},
         {"book/strings.xml", "<sst xmlns=\"" + ns +
                                  "\"><si><t>plain</t></si>"
                                  "<si><r><rPr><b/></rPr><t xml:space=\"preserve\">bold "
                                  "</t></r><r><t>and not</t></r></si>"
                                  "<si><t>山田</t><rPh sb=\"0\" eb=\"2\"><t>ヤマダ</t></rPh></si>"
                                  "<si><t>a_x000D_&#10;b_x005F_x0041_</t></si></sst>"},
         {"book/sheets/one.xml",
          "<worksheet xmlns=\"" + ns +
              "\"><sheetData>"
              "<row r=\"1\"><c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"C1\" t=\"s\"><v>1</v></c></row>"
              "<row r=\"3\"><c t=\"s\"><v>2</v></c><c t=\"inlineStr\"><is><t>inline &amp; "
              "&lt;x&gt;</t></is></c>"
              "<c t=\"str\"><f>A1&amp;\"!\"</f><v>plain!</v></c><c "
              "t=\"b\"><v>1</v></c><c><v>42.5</v></c></row>"
              "<row><c r=\"B4\" t=\"s\"><v>3</v></c></row>"
              "</sheetData><mergeCells count=\"0\"/></worksheet>"},
         {"book/two.xml", "<worksheet xmlns=\"" + ns + "\"><sheetData/></worksheet>"}});

    std::string error;
    const auto book = ReadWorkbook(path, &error);
    ASSERT_TRUE(book) << error;
    ASSERT_EQ(book->sheets.size(), 2u);
    EXPECT_EQ(book->sheets[0].name, "First");
    EXPECT_EQ(book->sheets[1].name, "Second");
    EXPECT_TRUE(book->sheets[1].rows.empty());
    const auto& rows = book->sheets[0].rows;
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0], (CellRow{{"plain", false}, {}, {"bold and not", false}}));
    EXPECT_TRUE(rows[1].empty());
    EXPECT_EQ(rows[2], (CellRow{{"山田", false},
                                {"inline & <x>", false},
                                {"plain!", false},
                                {"TRUE", false},
                                {"42.5", true}}));
    EXPECT_EQ(rows[3], (CellRow{{}, {"a\r\nb_x0041_", false}}));
}

TEST(Workbook, DamagedFilesFailWithTheirReason) {
    ScratchDir dir;
    const std::string good = dir.File("good.xlsx");
    std::string error;
    ASSERT_TRUE(
        WriteWorkbook(good, {{{"S", {TextCells({"a", "b"}), TextCells({"1", "2"})}}}}, &error));
    const auto parts = ReadZip(good);
    // A copy of the good workbook's parts with one of them changed.
    auto changed = [&](const std::string& name, const std::string& part, const char* bytes) {
        auto copy = parts;
        if (bytes == nullptr)
            copy.erase(part);
        else
            copy[part] = bytes;
        WriteZip(dir.File(name), copy);
        return dir.File(name);
    };
    const auto damaged = DamagedCopies(dir, good);
    const std::pair<std::string, const char*> cases[] = {
        {damaged[0], "not a readable workbook"},
        {damaged[1], "not a readable workbook"},
        {damaged[2], "xl/worksheets/sheet1.xml"},
        {dir.Write("empty.xlsx", std::string()), "not a readable workbook"},
        {changed("nostrings.xlsx", "xl/sharedStrings.xml", nullptr), "xl/sharedStrings.xml"},
        {changed("badindex.xlsx", "xl/sharedStrings.xml",
                 "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                 "<si><t>a</t></si></sst>"),
         "shared string that does not exist"},
        {changed("nobook.xlsx", "_rels/.rels", nullptr), "not a workbook"}};
    for (const auto& [path, reason] : cases) {
        error.clear();
        EXPECT_FALSE(ReadWorkbook(path, &error)) << path;
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_NE(error.find(reason), std::string::npos) << error;
    }
}

// A child writes two versions of a workbook in turn, for ever; it is killed
// at the moments that matter, seen through inotify on the folder: the
// temporary file made, written to, closed, and renamed over the workbook.
TEST(Workbook, AKilledWriterLeavesTheOldOrTheNewWorkbookWhole) {
    ScratchDir dir;
    const std::string path = dir.File("crash.xlsx");
    auto version = [](const std::string& mark) {
        Workbook book{{{"S", {}}}};
        for (int r = 0; r < 4000; ++r) {
            book.sheets[0].rows.push_back(
                TextCells({mark, std::to_string(r), "filler text " + std::to_string(r * 7919)}));
        }
        return book;
    };
    const Workbook first = version("first");
    const Workbook second = version("second");
    std::string error;
    ASSERT_TRUE(WriteWorkbook(path, first, &error)) << error;

    for (const uint32_t moment : {IN_CREATE, IN_MODIFY, IN_CLOSE_WRITE, IN_MOVED_TO}) {
        for (int events = 1; events <= 3; events += 2) {
            SCOPED_TRACE(::testing::Message() << "event " << moment << " #" << events);
            const int watch = inotify_init1(IN_CLOEXEC);
            ASSERT_GE(watch, 0);
            ASSERT_GE(inotify_add_watch(watch, dir.Path().c_str(), moment), 0);
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                std::string childError;
                for (int i = 0;; ++i) WriteWorkbook(path, i % 2 ? first : second, &childError);
            }
            alignas(inotify_event) char buffer[4096];
            for (int seen = 0; seen < events;) {
                const ssize_t got = read(watch, buffer, sizeof buffer);
                for (ssize_t at = 0; at < got; ++seen) {
                    at +=
                        sizeof(inotify_event) + reinterpret_cast<inotify_event*>(buffer + at)->len;
                }
            }
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
            close(watch);

            const auto book = ReadWorkbook(path, &error);
            ASSERT_TRUE(book) << error;
            ASSERT_EQ(book->sheets.size(), 1u);
            const auto& rows = book->sheets[0].rows;
            ASSERT_EQ(rows.size(), 4000u);
            const std::string mark = rows.front()[0].text;
            EXPECT_TRUE(mark == "first" || mark == "second");
            EXPECT_EQ(rows.back()[0].text, mark);
            // Only the target, the lock file and at most one left-over
            // temporary file, which the next write removes.
            for (const auto& name : FolderContent(dir.Path())) {
                EXPECT_TRUE(name == "crash.xlsx" || name.starts_with(".crash.xlsx.")) << name;
            }
            ASSERT_TRUE(WriteWorkbook(path, first, &error)) << error;
            EXPECT_EQ(FolderContent(dir.Path()),
                      (std::vector<std::string>{".crash.xlsx.lock", "crash.xlsx"}));
        }
    }
}
