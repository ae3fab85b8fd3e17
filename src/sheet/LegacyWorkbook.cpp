#include "sheet/LegacyWorkbook.h"

#include <freexl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string_view>

#include "core/text/Encoding.h"

namespace kestrune::sheet {

namespace {

bool IsFile(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::is_regular_file(path, ignored);
}

bool Exists(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::exists(path, ignored);
}

/** What a libfreexl error code means for the file that gave it. */
std::string Reason(int code) {
    switch (code) {
        case FREEXL_FILE_NOT_FOUND:
            return "the file does not exist or cannot be read";
        case FREEXL_INSUFFICIENT_MEMORY:
            return "not enough memory to read it";
        case FREEXL_INVALID_CFBF_HEADER:
        case FREEXL_CFBF_INVALID_SIGNATURE:
        case FREEXL_CFBF_INVALID_SECTOR_SIZE:
            return "not a binary Excel workbook (no valid compound file header)";
        case FREEXL_CFBF_READ_ERROR:
        case FREEXL_CFBF_SEEK_ERROR:
        case FREEXL_CFBF_EMPTY_FAT_CHAIN:
        case FREEXL_CFBF_ILLEGAL_FAT_ENTRY:
            return "the compound file is damaged or cut short";
        case FREEXL_BIFF_INVALID_BOF:
        case FREEXL_BIFF_WORKBOOK_NOT_FOUND:
            return "the file holds no readable workbook stream";
        case FREEXL_BIFF_INVALID_SST:
        case FREEXL_BIFF_ILLEGAL_SST_INDEX:
            return "its string table is damaged";
        case FREEXL_INVALID_CHARACTER:
        case FREEXL_UNSUPPORTED_CHARSET:
            return "its text is not in the character set it declares, or that set is unknown";
        case FREEXL_ILLEGAL_RK_VALUE:
            return "a number in it is damaged";
        default:
            return "it is damaged (libfreexl error " + std::to_string(code) + ")";
    }
}

/** True when the file begins with the compound-file signature every binary
 *  workbook has. */
bool StartsAsCompoundFile(const std::string& path) {
    static constexpr std::array<unsigned char, 8> kSignature = {0xD0, 0xCF, 0x11, 0xE0,
                                                                0xA1, 0xB1, 0x1A, 0xE1};
    std::ifstream in(path, std::ios::binary);
    std::array<char, 8> head{};
    if (!in.read(head.data(), head.size())) return false;
    return std::equal(head.begin(), head.end(), kSignature.begin(),
                      [](char a, unsigned char b) { return static_cast<unsigned char>(a) == b; });
}

// How many cells of a used range a file may make us lay out (see
// ReadActiveSheet).
constexpr std::uintmax_t kCellFloor = 1u << 20;
constexpr std::uintmax_t kCellsPerFileByte = 16;

/** Closes the libfreexl handle, which must be closed even when opening failed. */
struct HandleCloser {
    void operator()(const void* handle) const { freexl_close(handle); }
};
using Handle = std::unique_ptr<const void, HandleCloser>;

/** A number's shortest text that reads back as the same value. */
std::string NumberText(double value) {
    std::array<char, 32> buffer{};
    const auto [end, failed] = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
    if (failed != std::errc()) return std::to_string(value);
    return std::string(buffer.data(), end);
}

Cell CellFrom(const FreeXL_CellValue& value) {
    switch (value.type) {
        case FREEXL_CELL_INT:
            return {std::to_string(value.value.int_value), true};
        case FREEXL_CELL_DOUBLE:
            return {NumberText(value.value.double_value), true};
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
        case FREEXL_CELL_TIME:
            return {value.value.text_value != nullptr ? value.value.text_value : "", false};
        default:
            return {};
    }
}

bool IsEmpty(const Cell& cell) {
    return !cell.number && cell.text.empty();
}

/** The active sheet's cells; false with the reason in *error. */
bool ReadActiveSheet(const void* handle, std::uintmax_t fileSize, Worksheet* sheet,
                     std::string* error) {
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (const int code = freexl_worksheet_dimensions(handle, &rows, &columns); code != FREEXL_OK) {
        *error = "sheet \"" + sheet->name + "\": " + Reason(code);
        return false;
    }
    // The used range is laid out cell by cell: a range far larger than the
    // file could fill (a few header bytes claiming 65536 x 256 cells) is
    // refused rather than allocated.
    const std::uintmax_t cells = std::uintmax_t{rows} * columns;
    if (cells > std::max<std::uintmax_t>(kCellFloor, kCellsPerFileByte * fileSize)) {
        *error = "sheet \"" + sheet->name + "\" claims " + std::to_string(rows) + " rows of " +
                 std::to_string(columns) + " columns, more than a file of " +
                 std::to_string(fileSize / 1024 + 1) + " KB can honestly hold";
        return false;
    }
    sheet->rows.resize(rows);
    for (unsigned int r = 0; r < rows; ++r) {
        CellRow& cells = sheet->rows[r];
        cells.resize(columns);
        for (unsigned short c = 0; c < columns; ++c) {
            FreeXL_CellValue value{};
            if (const int code = freexl_get_cell_value(handle, r, c, &value); code != FREEXL_OK) {
                *error = "sheet \"" + sheet->name + "\", row " + std::to_string(r + 1) + ": " +
                         Reason(code);
                return false;
            }
            cells[c] = CellFrom(value);
        }
        // Every row comes padded to the used range's width; a row of ours
        // reaches to its last value.
        while (!cells.empty() && IsEmpty(cells.back())) cells.pop_back();
    }
    return true;
}

/** Reads in this process; the reason alone in *reason on failure. */
std::optional<Workbook> ReadHere(const std::string& path, std::string* reason) {
    auto fail = [&](const std::string& why) -> std::optional<Workbook> {
        *reason = why;
        return std::nullopt;
    };
    std::error_code sizeError;
    const std::uintmax_t fileSize = std::filesystem::file_size(path, sizeError);
    const void* opened = nullptr;
    const int code = freexl_open(path.c_str(), &opened);
    const Handle handle(opened);
    if (code != FREEXL_OK) {
        // libfreexl says "read error" for anything too short to hold a
        // compound file; a file that does not even start as one (a text or
        // an .xlsx under the older name) is named for what it is.
        if (code != FREEXL_FILE_NOT_FOUND && !StartsAsCompoundFile(path)) {
            return fail("not a binary Excel workbook (it does not start as a compound file)");
        }
        return fail(Reason(code));
    }

    unsigned int info = 0;
    if (freexl_get_info(handle.get(), FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
        info == FREEXL_BIFF_OBFUSCATED) {
        return fail("it is protected by a password");
    }
    unsigned int count = 0;
    if (const int got = freexl_get_info(handle.get(), FREEXL_BIFF_SHEET_COUNT, &count);
        got != FREEXL_OK) {
        return fail(Reason(got));
    }

    Workbook workbook;
    for (unsigned int index = 0; index < count; ++index) {
        const auto sheetIndex = static_cast<unsigned short>(index);
        const char* name = nullptr;
        int got = freexl_get_worksheet_name(handle.get(), sheetIndex, &name);
        if (got == FREEXL_OK) got = freexl_select_active_worksheet(handle.get(), sheetIndex);
        if (got != FREEXL_OK)
            return fail("sheet " + std::to_string(index + 1) + ": " + Reason(got));
        Worksheet sheet{name != nullptr ? name : "", {}};
        std::string why;
        if (!ReadActiveSheet(handle.get(), sizeError ? 0 : fileSize, &sheet, &why))
            return fail(why);
        workbook.sheets.push_back(std::move(sheet));
    }
    return workbook;
}

// The child's answer on the pipe: 'W' and the workbook, or 'E' and the
// reason; texts as a 32-bit length and their bytes, counts as 32 bits.
void PutCount(std::string& out, std::size_t n) {
    const auto value = static_cast<std::uint32_t>(n);
    out.append(reinterpret_cast<const char*>(&value), sizeof value);
}
void PutText(std::string& out, const std::string& text) {
    PutCount(out, text.size());
    out += text;
}
std::string Encode(const std::optional<Workbook>& book, const std::string& reason) {
    std::string out(1, book ? 'W' : 'E');
    if (!book) {
        PutText(out, reason);
        return out;
    }
    PutCount(out, book->sheets.size());
    for (const Worksheet& sheet : book->sheets) {
        PutText(out, sheet.name);
        PutCount(out, sheet.rows.size());
        for (const CellRow& row : sheet.rows) {
            PutCount(out, row.size());
            for (const Cell& cell : row) {
                out += cell.number ? 'n' : 't';
                PutText(out, cell.text);
            }
        }
    }
    return out;
}

/** Reads back what Encode wrote; false when the bytes end early. */
class Decoder {
  public:
    explicit Decoder(const std::string& bytes) : bytes_(bytes) {}
    bool Count(std::size_t* n) {
        std::uint32_t value = 0;
        if (bytes_.size() - at_ < sizeof value) return false;
        std::memcpy(&value, bytes_.data() + at_, sizeof value);
        at_ += sizeof value;
        *n = value;
        return true;
    }
    bool Text(std::string* text) {
        std::size_t n = 0;
        if (!Count(&n) || bytes_.size() - at_ < n) return false;
        text->assign(bytes_, at_, n);
        at_ += n;
        return true;
    }
    bool Char(char* c) {
        if (at_ >= bytes_.size()) return false;
        *c = bytes_[at_++];
        return true;
    }
    bool Book(Workbook* book) {
        std::size_t sheets = 0;
        if (!Count(&sheets)) return false;
        for (std::size_t s = 0; s < sheets; ++s) {
            Worksheet sheet;
            std::size_t rows = 0;
            if (!Text(&sheet.name) || !Count(&rows)) return false;
            for (std::size_t r = 0; r < rows; ++r) {
                std::size_t cells = 0;
                if (!Count(&cells)) return false;
                CellRow row;
                for (std::size_t c = 0; c < cells; ++c) {
                    char kind = 0;
                    Cell cell;
                    if (!Char(&kind) || !Text(&cell.text)) return false;
                    cell.number = kind == 'n';
                    row.push_back(std::move(cell));
                }
                sheet.rows.push_back(std::move(row));
            }
            book->sheets.push_back(std::move(sheet));
        }
        return at_ == bytes_.size();
    }

  private:
    const std::string& bytes_;
    std::size_t at_ = 0;
};

bool WriteAll(int fd, const std::string& bytes) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

std::optional<Workbook> ReadLegacyWorkbook(const std::string& path, std::string* error) {
    auto fail = [&](const std::string& reason) -> std::optional<Workbook> {
        *error = path + ": cannot read this binary Excel workbook (.xls): " + reason;
        return std::nullopt;
    };
    // libfreexl is not safe on every damaged file (a scrambled string table
    // can make it write outside its buffers), so it reads in a child process:
    // whatever it does to itself there, this program only sees the answer
    // or that there was none.
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return fail(std::string("no pipe: ") + std::strerror(errno));
    const pid_t child = ::fork();
    if (child < 0) {
        const int saved = errno;
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return fail(std::string("no child process: ") + std::strerror(saved));
    }
    if (child == 0) {
        ::close(pipeFds[0]);
        std::string reason;
        const auto book = ReadHere(path, &reason);
        ::_exit(WriteAll(pipeFds[1], Encode(book, reason)) ? 0 : 1);
    }
    ::close(pipeFds[1]);
    std::string answer;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        answer.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || answer.empty()) {
        return fail("it is damaged (the reader failed on it)");
    }
    Decoder decoder(answer);
    char kind = 0;
    std::string reason;
    Workbook workbook;
    decoder.Char(&kind);
    if (kind == 'E' && decoder.Text(&reason)) return fail(reason);
    if (kind == 'W' && decoder.Book(&workbook)) return workbook;
    return fail("it is damaged (the reader failed on it)");
}

std::string LegacyWorkbookFor(const std::string& path) {
    if (!EndsWithAsciiNoCase(path, ".xlsx") || Exists(path)) return {};
    const std::string stem = path.substr(0, path.size() - 5);
    for (const char* ending : {".xls", ".XLS"}) {
        if (IsFile(stem + ending)) return stem + ending;
    }
    return {};
}

std::optional<Workbook> ReadWorkbookOrLegacy(const std::string& path, std::string* error) {
    error->clear();
    if (Exists(path)) return ReadWorkbook(path, error);
    // The older workbook is only read: the caller's next write creates `path`
    // and the lab's .xls stays where it is, as it is.
    const std::string legacy = LegacyWorkbookFor(path);
    if (legacy.empty()) return std::nullopt;
    return ReadLegacyWorkbook(legacy, error);
}

}  // namespace kestrune::sheet
