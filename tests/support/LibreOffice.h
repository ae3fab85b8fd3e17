// LibreOffice as the independent reader of our workbooks: soffice converts
// every sheet of a workbook to CSV, which is parsed back into rows of text.
// soffice runs with its own profile and HOME in the caller's folder, so tests
// may run in parallel and as root. No test framework here: the GoogleTest
// and the Qt Test suites both use it.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace kestrune::testing {

using CsvTable = std::vector<std::vector<std::string>>;

inline std::string ShellQuoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

/** Runs soffice with the arguments; its output goes to a log in `home`.
 *  False with the log in `error` when it fails. */
inline bool RunSoffice(const std::filesystem::path& home, const std::vector<std::string>& arguments,
                       std::string* error) {
    std::string command =
        "HOME=" + ShellQuoted(home) + " soffice " +
        ShellQuoted("-env:UserInstallation=file://" + (home / "profile").string()) +
        " --headless --norestore";
    for (const auto& argument : arguments) command += " " + ShellQuoted(argument);
    const std::string log = (home / "soffice.log").string();
    const int status = std::system((command + " >>" + ShellQuoted(log) + " 2>&1").c_str());
    if (status == 0) return true;
    std::ifstream in(log);
    *error = "soffice (LibreOffice is needed for these tests) failed: " +
             std::string((std::istreambuf_iterator<char>(in)), {});
    return false;
}

/** RFC 4180 CSV as LibreOffice writes it: quoted fields may hold quotes
 *  (doubled), commas and line breaks. */
inline CsvTable ParseCsv(const std::string& text) {
    CsvTable rows(1);
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
inline CsvTable Trimmed(CsvTable rows) {
    for (auto& row : rows) {
        while (!row.empty() && row.back().empty()) row.pop_back();
    }
    while (!rows.empty() && rows.back().empty()) rows.pop_back();
    return rows;
}

/**
 * Every sheet of the workbook as LibreOffice reads it, by sheet name, each
 * trimmed. `folder` takes soffice's profile and the CSV files. Empty with
 * `error` set when soffice fails.
 */
inline std::map<std::string, CsvTable> ReadWithLibreOffice(const std::filesystem::path& folder,
                                                           const std::string& workbook,
                                                           std::string* error) {
    // Every sheet to its own UTF-8 CSV file "<name>-<sheet>.csv" (comma,
    // double quotes, all sheets: the last token -1).
    static const char* const kCsvFilter =
        "csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,-1";
    const auto out = folder / ("csv-" + std::to_string(std::rand()));
    std::filesystem::create_directories(out);
    std::map<std::string, CsvTable> sheets;
    if (!RunSoffice(folder, {"--convert-to", kCsvFilter, "--outdir", out.string(), workbook},
                    error))
        return sheets;
    const std::string prefix = std::filesystem::path(workbook).stem().string() + "-";
    for (const auto& entry : std::filesystem::directory_iterator(out)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(prefix) || !name.ends_with(".csv")) {
            *error = "unexpected file from soffice: " + name;
            continue;
        }
        std::ifstream in(entry.path(), std::ios::binary);
        const std::string text((std::istreambuf_iterator<char>(in)), {});
        sheets[name.substr(prefix.size(), name.size() - prefix.size() - 4)] =
            Trimmed(ParseCsv(text));
    }
    return sheets;
}

}  // namespace kestrune::testing
