#include "cli/AnalyseOutput.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "sheet/SpreadSheet.h"
#include "sheet/Workbook.h"

namespace kestrune::cli {

bool ReadAnalyseOptions(const std::vector<std::string>& args, std::size_t first,
                        const std::vector<std::string>& known, const std::string& command,
                        std::map<std::string, std::string>* values, std::string* outPath,
                        std::ostream& err) {
    bool outGiven = false;
    for (std::size_t i = first; i < args.size(); i += 2) {
        const std::string& name = args[i];
        const bool isOut = name == "--out";
        if (!isOut && std::find(known.begin(), known.end(), name) == known.end()) {
            err << "kestrune-cli: " << command << ": unknown option '" << name << "'\n";
            return false;
        }
        if (i + 1 >= args.size()) {
            err << "kestrune-cli: " << command << ": " << name << " needs a value\n";
            return false;
        }
        if (isOut ? outGiven : values->count(name) > 0) {
            err << "kestrune-cli: " << command << ": " << name << " is given twice\n";
            return false;
        }
        if (isOut) {
            outGiven = true;
            *outPath = args[i + 1];
        } else {
            (*values)[name] = args[i + 1];
        }
    }
    return true;
}

namespace {

bool WriteSheet(const std::string& path, const std::string& sheet,
                const analysis::ResultTable& table, std::string* error) {
    const std::string file = sheet::WorkbookPathFor(path);
    sheet::Workbook book;
    if (std::filesystem::exists(file)) {
        auto read = sheet::ReadWorkbook(file, error);
        if (!read) return false;
        book = std::move(*read);
    }
    sheet::Worksheet* target = book.Find(sheet);
    if (target == nullptr) {
        book.sheets.push_back({sheet, {}});
        target = &book.sheets.back();
    }
    target->rows.clear();
    target->rows.push_back(sheet::TextCells(table.captions));
    for (const auto& row : table.rows) target->rows.push_back(sheet::TextCells(row));
    return sheet::WriteWorkbook(file, book, error);
}

}  // namespace

int WriteAnalysisTable(const Invocation& in, const analysis::ResultTable& table,
                       const std::string& outPath, const std::string& sheet) {
    if (outPath.empty()) {
        in.out << analysis::ToCsv(table);
        return kExitOk;
    }
    std::string error;
    if (sheet::IsWorkbookPath(outPath)) {
        if (WriteSheet(outPath, sheet, table, &error)) return kExitOk;
    } else {
        std::ofstream file(outPath, std::ios::binary | std::ios::trunc);
        file << analysis::ToCsv(table);
        file.close();
        if (file) return kExitOk;
        error = "cannot write the file";
    }
    in.err << "kestrune-cli: cannot write '" << outPath << "': " << error << '\n';
    return kExitFailed;
}

}  // namespace kestrune::cli
