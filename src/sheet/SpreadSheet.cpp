#include "sheet/SpreadSheet.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "core/text/Encoding.h"
#include "sheet/AtomicFile.h"
#include "sheet/LegacyWorkbook.h"
#include "sheet/TextTable.h"
#include "sheet/Workbook.h"

namespace kestrune::sheet {

namespace {

// How far the image may pad the cells a sheet holds (see OpenWorkbookSheet).
constexpr std::size_t kPaddedCellsFloor = 512 * 1024;
constexpr std::size_t kPaddingPerCell = 8;

// Characters no file name of ours carries (see SafeFileName).
bool UnsafeInFileName(char32_t c) {
    return c < 0x20 || c == '/' || c == '\\' || (c >= 0x7F && c <= 0x9F) || c == 0x061C ||
           c == 0x200E || c == 0x200F || (c >= 0x2028 && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069);
}

}  // namespace

std::string SafeFileName(const std::string& name, std::size_t maxBytes) {
    std::string out;
    out.reserve(name.size());
    for (std::size_t at = 0; at < name.size();) {
        char32_t code = 0;
        const std::size_t length = DecodeUtf8At(name, at, &code);
        const bool unsafe = length == 0 || UnsafeInFileName(code) || (at == 0 && code == '.');
        const std::size_t taken = unsafe ? 1 : length;
        if (out.size() + taken > maxBytes) break;
        if (unsafe) {
            out += '_';
            at += length == 0 ? 1 : length;
        } else {
            out.append(name, at, length);
            at += length;
        }
    }
    return out.empty() ? "_" : out;
}

bool IsWorkbookPath(const std::string& path) {
    return EndsWithAsciiNoCase(path, ".xls") || EndsWithAsciiNoCase(path, ".xlsx");
}

std::string WorkbookPathFor(const std::string& path) {
    if (EndsWithAsciiNoCase(path, ".xls")) return path.substr(0, path.size() - 4) + ".xlsx";
    return path;
}

CSpreadSheet::CSpreadSheet(const std::string& file, const std::string& sheetOrSeparator,
                           bool backup)
    : image_(IsWorkbookPath(file)) {
    if (image_.IsWorkbook()) {
        path_ = WorkbookPathFor(file);
        sheet_ = sheetOrSeparator;
        separator_ = kWorkbookSeparator;
        if (const auto problem = SheetNameProblem(sheet_)) {
            // Refused before anything is read or written.
            openError_ = *problem + "\n";
            Fail(openError_);
        } else if (OpenWorkbookSheet() && backup) {
            // Copy the rows just read to the backup sheet; the copy is a new
            // sheet, so it fails when an earlier backup is still there.
            backup_ = true;
            const std::string saved = sheet_;
            sheet_ = kBackupSheet;
            append_ = false;
            if (!Commit()) backup_ = false;
            append_ = true;
            sheet_ = saved;
        }
    } else {
        path_ = file;
        separator_ = sheetOrSeparator;
        if (OpenTextFile() && backup) {
            backup_ = true;
            const std::string saved = path_;
            path_ += ".bak";
            if (!Commit()) backup_ = false;
            path_ = saved;
        }
    }
}

bool CSpreadSheet::Fail(std::string text) {
    image_.SetLastError(std::move(text));
    return false;
}

bool CSpreadSheet::OpenWorkbookSheet() {
    std::string error;
    const auto book = ReadWorkbookOrLegacy(path_, &error);
    if (!book) {
        if (error.empty()) return false;
        openError_ = error + "\n";
        return Fail(openError_);
    }
    const Worksheet* sheet = book->Find(sheet_);
    if (sheet == nullptr) return false;
    sheet_ = sheet->name;  // as the workbook spells it
    // The image pads every data row to the header's width; a header row far
    // wider than the rows below it (one cell at column XFD) would make that
    // many times the sheet the reader was willing to hold.
    std::size_t held = 0;
    for (const auto& cells : sheet->rows) held += cells.size();
    const std::size_t width = sheet->rows.empty() ? 0 : sheet->rows.front().size();
    if (width * sheet->rows.size() > std::max(kPaddedCellsFloor, kPaddingPerCell * held)) {
        openError_ = "Sheet " + sheet_ + " of " + path_ + " has a header row of " +
                     std::to_string(width) + " columns over " + std::to_string(sheet->rows.size()) +
                     " rows holding " + std::to_string(held) +
                     " cells; it is too sparse to be a table and is not read\n";
        return Fail(openError_);
    }
    std::vector<Row> rows;
    rows.reserve(sheet->rows.size());
    for (const auto& cells : sheet->rows) rows.push_back(CellTexts(cells));
    image_.Load(std::move(rows));
    append_ = true;
    return true;
}

bool CSpreadSheet::OpenTextFile() {
    std::ifstream in(path_, std::ios::binary);
    if (!in) return false;
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    if (in.bad()) return Fail("Error reading row\n");
    image_.Load(ParseTextTable(text, separator_));
    append_ = true;
    return true;
}

bool CSpreadSheet::AddHeaders(const Row& names, bool replace) {
    return image_.AddHeaders(names, replace, append_);
}

bool CSpreadSheet::AddRow(const Row& values, int row, bool replace) {
    if (!image_.AddRow(values, row, replace)) return false;
    return transaction_ || Commit();
}

bool CSpreadSheet::Commit() {
    const bool written = image_.IsWorkbook() ? CommitWorkbook() : CommitText();
    if (written) transaction_ = false;
    return written;
}

bool CSpreadSheet::CommitWorkbook() {
    // A sheet that could not be read is never overwritten.
    if (!openError_.empty()) return Fail(openError_);
    std::error_code ignored;
    const auto folder = std::filesystem::path(path_).parent_path();
    if (!folder.empty() && !std::filesystem::is_directory(folder, ignored)) {
        return Fail("Folder " + folder.string() + " does not exist\n");
    }
    // From the read to the replacement no other writer may change the file,
    // or what it writes in between would be lost.
    std::string lockError;
    const auto lock = FileLock::Acquire(path_, &lockError);
    if (!lock) return Fail(lockError + "\n");
    // The workbook is read again now, so sheets written by anyone since this
    // object was made are kept too; a damaged file is never overwritten.
    // Before our first write a station's older .xls of the same name is read
    // instead, so its sheets are carried into the new workbook.
    Workbook book;
    {
        std::string error;
        auto read = ReadWorkbookOrLegacy(path_, &error);
        if (!read && !error.empty()) return Fail(error + "\n");
        if (read) book = std::move(*read);
    }

    Worksheet table{sheet_, {}};
    const auto& rows = image_.Rows();
    table.rows.reserve(rows.size());
    table.rows.push_back(TextCells(image_.FieldNames()));
    // Each data row fills every field's column (blank cells where a row is
    // shorter), as rows of a table with one column per field.
    for (std::size_t r = 1; r < rows.size(); ++r) {
        table.rows.push_back(TextCells(rows[r]));
        if (table.rows.back().size() < image_.FieldNames().size()) {
            table.rows.back().resize(image_.FieldNames().size());
        }
    }

    Worksheet* existing = book.Find(sheet_);
    if (existing != nullptr && !append_) {
        return Fail("Sheet " + sheet_ + " already exists in " + path_ + "\n");
    }
    if (existing != nullptr) {
        existing->rows = std::move(table.rows);
    } else {
        book.sheets.push_back(std::move(table));
    }

    std::string error;
    if (!WriteWorkbook(path_, book, &error)) return Fail(error + "\n");
    if (!append_) {
        image_.SetTotalColumns(static_cast<int>(image_.FieldNames().size()));
        append_ = true;
    }
    return true;
}

bool CSpreadSheet::CommitText() {
    if (const auto error = WriteFileAtomically(path_, FormatTextTable(image_.Rows(), separator_))) {
        return Fail(*error + "\n");
    }
    return true;
}

}  // namespace kestrune::sheet

namespace kestrune::sheet {

bool AppendRows(const std::string& path, const std::string& sheetName, const Row& header,
                const std::vector<Row>& rows, std::string* error) {
    if (IsWorkbookPath(path)) {
        if (const auto problem = SheetNameProblem(sheetName)) {
            *error = *problem;
            return false;
        }
    }
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    std::error_code made;
    if (!folder.empty()) std::filesystem::create_directories(folder, made);
    if (made) {
        *error = "Can not make the folder " + folder.string();
        return false;
    }
    // The sheet is read when it is opened and the rows go after what was
    // read: the lock keeps other writers out from that read to the commit,
    // so a second writer waits and then appends to this one's rows.
    std::string lockError;
    const auto lock = FileLock::Acquire(WorkbookPathFor(path), &lockError);
    if (!lock) {
        *error = lockError;
        return false;
    }
    CSpreadSheet sheet(path, sheetName, false);
    sheet.BeginTransaction();
    bool ok = true;
    std::size_t first = 0;
    if (!sheet.SheetExists()) {
        Row top = header;
        if (top.empty() && !rows.empty()) {
            // A sheet's header row is as wide as its widest row.
            std::size_t width = 0;
            for (const Row& row : rows) width = std::max(width, row.size());
            top = rows.front();
            for (std::size_t c = top.size(); c < width; ++c) top.push_back(std::to_string(c));
            first = 1;
        }
        ok = top.empty() || sheet.AddHeaders(top, true);
    }
    for (std::size_t r = first; ok && r < rows.size(); ++r) ok = sheet.AddRow(rows[r]);
    ok = ok && sheet.Commit();
    if (!ok) *error = sheet.LastError();
    return ok;
}

}  // namespace kestrune::sheet
