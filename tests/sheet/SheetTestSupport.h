#pragma once

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <new>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "sheet/Workbook.h"
#include "support/ScratchDir.h"

namespace kestrune::sheet::testing {

using Table = std::vector<std::vector<std::string>>;

/** The rows of one sheet of a workbook as text; fails the test when the
 *  workbook cannot be read or has no such sheet. */
inline Table SheetText(const std::string& path, const std::string& sheet) {
    std::string error;
    const auto book = ReadWorkbook(path, &error);
    if (!book) {
        ADD_FAILURE() << error;
        return {};
    }
    const Worksheet* found = book->Find(sheet);
    if (found == nullptr) {
        ADD_FAILURE() << path << " has no sheet " << sheet;
        return {};
    }
    Table rows;
    for (const auto& row : found->rows) rows.push_back(CellTexts(row));
    return rows;
}

inline std::vector<std::string> SheetNames(const std::string& path) {
    std::string error;
    const auto book = ReadWorkbook(path, &error);
    EXPECT_TRUE(book) << error;
    std::vector<std::string> names;
    if (book) {
        for (const auto& sheet : book->sheets) names.push_back(sheet.name);
    }
    return names;
}

/** Writes a zip archive holding exactly these parts (name -> bytes). */
inline void WriteZip(const std::string& path, const std::map<std::string, std::string>& parts) {
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    ASSERT_NE(archive, nullptr) << "zip_open " << code;
    for (const auto& [name, bytes] : parts) {
        zip_source_t* source = zip_source_buffer(archive, bytes.data(), bytes.size(), 0);
        ASSERT_NE(source, nullptr);
        ASSERT_GE(zip_file_add(archive, name.c_str(), source, ZIP_FL_OVERWRITE), 0);
    }
    ASSERT_EQ(zip_close(archive), 0) << zip_strerror(archive);
}

/** Every part of a zip archive. */
inline std::map<std::string, std::string> ReadZip(const std::string& path) {
    std::map<std::string, std::string> parts;
    int code = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
    EXPECT_NE(archive, nullptr);
    if (archive == nullptr) return parts;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        zip_stat_t stat;
        zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat);
        std::string bytes(stat.size, '\0');
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (!bytes.empty()) zip_fread(file, bytes.data(), bytes.size());
        zip_fclose(file);
        parts[stat.name] = bytes;
    }
    zip_discard(archive);
    return parts;
}

/** Copies of a good workbook damaged as files on disk get damaged: not a zip
 *  at all, a zip cut off halfway, and a zip whose first sheet's XML is cut
 *  in half. */
inline std::vector<std::string> DamagedCopies(const kestrune::testing::ScratchDir& dir,
                                              const std::string& good) {
    const auto bytes = kestrune::testing::ScratchDir::Read(good);
    auto parts = ReadZip(good);
    EXPECT_TRUE(parts.count("xl/worksheets/sheet1.xml"));
    parts["xl/worksheets/sheet1.xml"].resize(parts["xl/worksheets/sheet1.xml"].size() / 2);
    WriteZip(dir.File("cut.xlsx"), parts);
    return {dir.Write("notzip.xlsx", std::string("just text\r\n")),
            dir.Write("truncated.xlsx",
                      std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + bytes.size() / 2)),
            dir.File("cut.xlsx")};
}

/** `piece` `times` over. */
inline std::string Repeat(const std::string& piece, std::size_t times) {
    std::string out;
    for (std::size_t i = 0; i < times; ++i) out += piece;
    return out;
}

/** The names in `folder`, sorted. */
inline std::vector<std::string> FolderContent(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

/** How a body run in a child process ended. */
struct ChildOutcome {
    bool exited = false;  ///< it returned (else it crashed or was killed)
    int status = 0;       ///< 0 returned, 3 std::bad_alloc; the signal when !exited
    std::string text;     ///< what the body returned
};

/** Runs `body` in a forked child whose address space may grow by at most
 *  `megabytes`, and hands back its text; running out ends in the child. */
inline ChildOutcome RunWithMemoryLimit(std::size_t megabytes,
                                       const std::function<std::string()>& body) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        ADD_FAILURE() << "pipe";
        return {};
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        std::size_t mappedKb = 0;
        std::ifstream status("/proc/self/status");
        for (std::string line; std::getline(status, line);) {
            if (line.rfind("VmSize:", 0) == 0) mappedKb = std::stoul(line.substr(7));
        }
        const rlim_t limit = (mappedKb + megabytes * 1024) * 1024;
        const rlimit bound{limit, limit};
        if (mappedKb == 0 || ::setrlimit(RLIMIT_AS, &bound) != 0) ::_exit(4);
        int code = 0;
        std::string text;
        try {
            text = body();
        } catch (const std::bad_alloc&) {
            code = 3;
        }
        if (!text.empty() && ::write(pipeEnds[1], text.data(), text.size()) < 0) code = 5;
        ::_exit(code);
    }
    ::close(pipeEnds[1]);
    ChildOutcome outcome;
    char buffer[4096];
    for (ssize_t got; (got = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0;) {
        outcome.text.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    outcome.exited = WIFEXITED(status);
    outcome.status = outcome.exited ? WEXITSTATUS(status) : WTERMSIG(status);
    return outcome;
}

/** Runs `body` in `count` forked children at once and waits for them all;
 *  true when every one returned true. */
inline bool RunInChildren(int count, const std::function<bool(int child)>& body) {
    std::vector<pid_t> children;
    for (int i = 0; i < count; ++i) {
        const pid_t child = ::fork();
        if (child == 0) ::_exit(body(i) ? 0 : 1);
        if (child < 0) return false;
        children.push_back(child);
    }
    bool all = true;
    for (const pid_t child : children) {
        int status = 0;
        ::waitpid(child, &status, 0);
        all = all && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    return all;
}

/** The namespaces of a workbook's parts, and the opening of a relationships part. */
inline const std::string kSheetNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
inline const std::string kRelNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline const std::string kRelsOpen =
    "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";

/** A minimal package around the given sheet XML (the part's <sheetData>
 *  content) and shared-string items. */
inline void WriteHandMadeWorkbook(const std::string& path, const std::string& sheetData,
                                  const std::string& sharedItems = {},
                                  const std::string& sheetName = "Result") {
    WriteZip(path,
             {{"[Content_Types].xml", "<Types/>"},
              {"_rels/.rels", kRelsOpen + "<Relationship Id=\"r1\" Type=\"" + kRelNs +
                                  "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"},
              {"xl/workbook.xml", "<workbook xmlns=\"" + kSheetNs + "\" xmlns:r=\"" + kRelNs +
                                      "\"><sheets><sheet name=\"" + sheetName +
                                      "\" sheetId=\"1\" r:id=\"a\"/></sheets></workbook>"},
              {"xl/_rels/workbook.xml.rels",
               kRelsOpen + "<Relationship Id=\"a\" Type=\"" + kRelNs +
                   "/worksheet\" Target=\"sheet.xml\"/><Relationship Id=\"s\" Type=\"" + kRelNs +
                   "/sharedStrings\" Target=\"strings.xml\"/></Relationships>"},
              {"xl/strings.xml", "<sst xmlns=\"" + kSheetNs + "\">" + sharedItems + "</sst>"},
              {"xl/sheet.xml", "<worksheet xmlns=\"" + kSheetNs + "\"><sheetData>" + sheetData +
                                   "</sheetData></worksheet>"}});
}

}  // namespace kestrune::sheet::testing
