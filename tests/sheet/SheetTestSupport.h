#pragma once

#include <zip.h>

#include <map>
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

}  // namespace kestrune::sheet::testing
