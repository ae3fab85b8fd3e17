#include "sheet/Workbook.h"

#include <sys/statvfs.h>
#include <xlsxwriter.h>
#include <zip.h>

#include <QString>
#include <QXmlStreamReader>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <map>
#include <memory>

#include "sheet/AtomicFile.h"

namespace kestrune::sheet {

namespace {

// Limits of the format; a part that claims more is damaged.
constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;
// No part of a workbook we accept unpacks to more than this.
constexpr zip_uint64_t kMaxPartSize = 512ull * 1024 * 1024;

// ---------------------------------------------------------------- zip parts

// Most bytes a part can honestly unpack to: a stored part is as long as its
// packed bytes; deflate turns no fewer than about one byte into 1032.
zip_uint64_t MostUnpacked(const zip_stat_t& stat) {
    constexpr zip_uint64_t kDeflateRatio = 1032;
    constexpr zip_uint64_t kSlack = 1024;
    if ((stat.valid & ZIP_STAT_COMP_SIZE) == 0 || (stat.valid & ZIP_STAT_COMP_METHOD) == 0) {
        return kMaxPartSize;
    }
    if (stat.comp_method == ZIP_CM_STORE) return stat.comp_size;
    return stat.comp_size * kDeflateRatio + kSlack;
}

class ZipArchive {
  public:
    static std::unique_ptr<ZipArchive> Open(const std::string& path, std::string* error) {
        int code = 0;
        zip_t* archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
        if (archive == nullptr) {
            zip_error_t zipError;
            zip_error_init_with_code(&zipError, code);
            *error = std::string("not a readable workbook (zip archive): ") +
                     zip_error_strerror(&zipError);
            zip_error_fini(&zipError);
            return nullptr;
        }
        return std::unique_ptr<ZipArchive>(new ZipArchive(archive));
    }
    ~ZipArchive() { zip_discard(archive_); }
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    bool Has(const std::string& name) const {
        return zip_name_locate(archive_, name.c_str(), 0) >= 0;
    }

    /** The whole part, or nullopt with the reason in *error. */
    std::optional<std::string> Read(const std::string& name, std::string* error) {
        const zip_int64_t index = zip_name_locate(archive_, name.c_str(), 0);
        if (index < 0) {
            *error = "the workbook has no part " + name;
            return std::nullopt;
        }
        zip_stat_t stat;
        zip_stat_init(&stat);
        if (zip_stat_index(archive_, static_cast<zip_uint64_t>(index), 0, &stat) != 0 ||
            (stat.valid & ZIP_STAT_SIZE) == 0 || stat.size > kMaxPartSize ||
            stat.size > MostUnpacked(stat)) {
            *error = "the workbook part " + name + " is damaged or too large";
            return std::nullopt;
        }
        zip_file_t* file = zip_fopen_index(archive_, static_cast<zip_uint64_t>(index), 0);
        if (file == nullptr) {
            *error = "cannot open the workbook part " + name + ": " +
                     zip_error_strerror(zip_get_error(archive_));
            return std::nullopt;
        }
        // The size is what the archive claims; the part grows with what
        // actually unpacks, so a false claim costs no memory.
        constexpr std::size_t kChunk = 64 * 1024;
        std::string bytes;
        while (bytes.size() < stat.size) {
            const std::size_t done = bytes.size();
            const std::size_t want = std::min<std::size_t>(kChunk, stat.size - done);
            bytes.resize(done + want);
            const zip_int64_t got = zip_fread(file, bytes.data() + done, want);
            if (got <= 0) {
                *error = "cannot read the workbook part " + name + ": " +
                         (got < 0 ? zip_file_strerror(file) : "it ends early");
                zip_fclose(file);
                return std::nullopt;
            }
            bytes.resize(done + static_cast<std::size_t>(got));
        }
        // A final read checks the CRC of a part that unpacked to its full size.
        char extra;
        if (zip_fread(file, &extra, 1) != 0) {
            *error = "cannot read the workbook part " + name + ": " + zip_file_strerror(file);
            zip_fclose(file);
            return std::nullopt;
        }
        zip_fclose(file);
        unpacked_ += bytes.size();
        return bytes;
    }

    /** Bytes of every part read so far, unpacked. */
    std::size_t Unpacked() const { return unpacked_; }

  private:
    explicit ZipArchive(zip_t* archive) : archive_(archive) {}
    zip_t* archive_;
    std::size_t unpacked_ = 0;
};

// ---------------------------------------------------------------- XML helpers

std::string XmlError(const QXmlStreamReader& xml, const std::string& part) {
    return "damaged workbook part " + part + ": " + xml.errorString().toStdString() + " (line " +
           std::to_string(xml.lineNumber()) + ")";
}

int HexDigit(char16_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Text in the format's own escape for characters XML cannot carry: "_xHHHH_"
// stands for the UTF-16 code unit HHHH (so "_x005F_" is a literal '_').
QString DecodeEscapes(const QString& text) {
    if (!text.contains(QLatin1String("_x"))) return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == QLatin1Char('_') && i + 6 < text.size() && text[i + 1] == QLatin1Char('x') &&
            text[i + 6] == QLatin1Char('_')) {
            uint code = 0;
            bool hex = true;
            for (qsizetype k = i + 2; k < i + 6 && hex; ++k) {
                const int digit = HexDigit(text[k].unicode());
                hex = digit >= 0;
                code = code * 16 + static_cast<uint>(digit);
            }
            if (hex) {
                out += QChar(static_cast<char16_t>(code));
                i += 6;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

// The text of a string item (<si> or <is>, the reader on its start tag): its
// <t> elements joined, without those of phonetic runs (<rPh>). Leaves the
// reader on the item's end tag.
QString ReadStringItem(QXmlStreamReader& xml) {
    QString text;
    int phonetic = 0;
    int depth = 1;
    while (depth > 0 && !xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (xml.name() == QLatin1String("rPh")) {
                ++phonetic;
                ++depth;
            } else if (xml.name() == QLatin1String("t")) {
                const QString part = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                if (phonetic == 0) text += part;
            } else {
                ++depth;
            }
        } else if (token == QXmlStreamReader::EndElement) {
            if (xml.name() == QLatin1String("rPh")) --phonetic;
            --depth;
        }
    }
    return DecodeEscapes(text);
}

// The relationship id attribute (r:id) of the current element.
QString RelationshipId(const QXmlStreamReader& xml) {
    for (const auto& attribute : xml.attributes()) {
        if (attribute.name() == QLatin1String("id") && !attribute.namespaceUri().isEmpty()) {
            return attribute.value().toString();
        }
    }
    return {};
}

struct Relationship {
    std::string type;    ///< the type's last path segment ("worksheet", "sharedStrings", ...)
    std::string target;  ///< part name inside the archive
};

// The folder of a part name, with its trailing '/' ("xl/" for "xl/workbook.xml").
std::string FolderOf(const std::string& part) {
    const auto slash = part.rfind('/');
    return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// A relationship target resolved against the folder of its source part.
std::string ResolveTarget(const std::string& folder, const std::string& target) {
    std::string joined = !target.empty() && target[0] == '/' ? target.substr(1) : folder + target;
    std::vector<std::string> segments;
    std::size_t start = 0;
    while (start <= joined.size()) {
        const auto end = std::min(joined.find('/', start), joined.size());
        const std::string segment = joined.substr(start, end - start);
        if (segment == "..") {
            if (!segments.empty()) segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& segment : segments) out += (out.empty() ? "" : "/") + segment;
    return out;
}

// Reads a relationships part; a missing part means no relationships.
std::optional<std::map<std::string, Relationship>> ReadRelationships(ZipArchive& zip,
                                                                     const std::string& source,
                                                                     std::string* error) {
    const std::string folder = FolderOf(source);
    const std::string name = folder + "_rels/" + source.substr(folder.size()) + ".rels";
    std::map<std::string, Relationship> relationships;
    if (!zip.Has(name)) return relationships;
    const auto bytes = zip.Read(name, error);
    if (!bytes) return std::nullopt;
    QXmlStreamReader xml(
        QByteArray::fromRawData(bytes->data(), static_cast<qsizetype>(bytes->size())));
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement ||
            xml.name() != QLatin1String("Relationship")) {
            continue;
        }
        const auto attributes = xml.attributes();
        if (attributes.value(QLatin1String("TargetMode")) == QLatin1String("External")) continue;
        const std::string type = attributes.value(QLatin1String("Type")).toString().toStdString();
        relationships[attributes.value(QLatin1String("Id")).toString().toStdString()] = {
            type.substr(type.rfind('/') + 1),
            ResolveTarget(folder,
                          attributes.value(QLatin1String("Target")).toString().toStdString())};
    }
    if (xml.hasError()) {
        *error = XmlError(xml, name);
        return std::nullopt;
    }
    return relationships;
}

// The 0-based column of a cell reference: "A7" -> 0, "BC12" -> 54; -1 when out of range.
int ColumnOf(QStringView reference) {
    int column = 0;
    for (QChar c : reference) {
        const char16_t u = c.unicode();
        if (u >= 'A' && u <= 'Z') {
            column = column * 26 + (u - 'A' + 1);
        } else if (u >= 'a' && u <= 'z') {
            column = column * 26 + (u - 'a' + 1);
        } else {
            break;
        }
        if (column > kMaxColumns) return -1;
    }
    return column - 1;
}

std::optional<std::vector<std::string>> ReadSharedStrings(ZipArchive& zip, const std::string& name,
                                                          std::string* error) {
    const auto bytes = zip.Read(name, error);
    if (!bytes) return std::nullopt;
    QXmlStreamReader xml(
        QByteArray::fromRawData(bytes->data(), static_cast<qsizetype>(bytes->size())));
    // Each item takes at least "<si/>" of the part, so the table stays within
    // a small multiple of the part's size.
    std::vector<std::string> strings;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("si")) {
            strings.push_back(ReadStringItem(xml).toStdString());
        }
    }
    if (xml.hasError()) {
        *error = XmlError(xml, name);
        return std::nullopt;
    }
    return strings;
}

// What the cells of a workbook may take in memory once they are laid out as
// rows from column A. The parts are held whole while they are read, so their
// unpacked size is spent anyway; the table may take a few times that, plus a
// floor for small files with a few cells far apart. A file past this is
// either crafted or so sparse that no table of ours came from it: one cell at
// column XFD pads its row to 16 384 cells, and one long shared string used by
// every cell of a sheet is copied into every cell.
class MemoryBudget {
  public:
    static constexpr std::size_t kFloor = 16u * 1024 * 1024;
    static constexpr std::size_t kPerUnpackedByte = 8;

    explicit MemoryBudget(const ZipArchive& zip) : zip_(zip) {}

    std::size_t Limit() const { return kFloor + kPerUnpackedByte * zip_.Unpacked(); }
    std::size_t Used() const { return used_; }
    /** Adds `bytes`; false when that goes past the limit (nothing is added). */
    bool Spend(std::size_t bytes) {
        if (bytes > Limit() || used_ > Limit() - bytes) return false;
        used_ += bytes;
        return true;
    }

  private:
    const ZipArchive& zip_;
    std::size_t used_ = 0;
};

// Heap bytes a std::string of this length takes beyond the object itself
// (short texts live inside it).
std::size_t TextBytes(std::size_t length) {
    constexpr std::size_t kInline = 15;
    return length > kInline ? length + 1 : 0;
}

// A cell as found in the file, before the rows are laid out.
struct FoundCell {
    int row;
    int column;
    std::size_t shared;  ///< index into the shared strings, or kOwnText
    Cell cell;           ///< the value, unless `shared` names it
};
constexpr std::size_t kOwnText = static_cast<std::size_t>(-1);

bool ReadSheetCells(ZipArchive& zip, const std::string& name,
                    const std::vector<std::string>& shared, MemoryBudget& budget, Worksheet* sheet,
                    std::string* error) {
    const auto bytes = zip.Read(name, error);
    if (!bytes) return false;
    QXmlStreamReader xml(
        QByteArray::fromRawData(bytes->data(), static_cast<qsizetype>(bytes->size())));
    // Cells are collected as they stand in the file (a few per element, so
    // within a small multiple of the part's size) and laid out as rows only
    // once the rows' widths are known to fit the budget.
    std::vector<FoundCell> found;
    bool inData = false;
    int row = -1;
    int column = -1;
    int rowCount = 0;
    auto damaged = [&](const std::string& why) {
        *error = "damaged workbook part " + name + ": " + why;
        return false;
    };
    auto tooLarge = [&](std::size_t bytes) {
        *error = "the sheet \"" + sheet->name + "\" would take " +
                 std::to_string(bytes / (1024 * 1024)) + " MB as a table, more than a file of " +
                 std::to_string(zip.Unpacked() / 1024) +
                 " KB can honestly hold (cells far apart, or one text repeated in many cells); "
                 "it is not read";
        return false;
    };
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::EndElement && xml.name() == QLatin1String("sheetData")) {
            inData = false;
        }
        if (token != QXmlStreamReader::StartElement) continue;
        if (xml.name() == QLatin1String("sheetData")) {
            inData = true;
            continue;
        }
        if (!inData) continue;
        if (xml.name() == QLatin1String("row")) {
            const auto r = xml.attributes().value(QLatin1String("r"));
            row = r.isEmpty() ? row + 1 : r.toInt() - 1;
            column = -1;
            if (row < 0 || row >= kMaxRows) return damaged("row number out of range");
            rowCount = std::max(rowCount, row + 1);
            continue;
        }
        if (xml.name() != QLatin1String("c")) continue;
        if (row < 0) return damaged("a cell outside any row");
        const auto attributes = xml.attributes();
        const auto reference = attributes.value(QLatin1String("r"));
        column = reference.isEmpty() ? column + 1 : ColumnOf(reference);
        if (column < 0 || column >= kMaxColumns) return damaged("column out of range");
        const QString type = attributes.value(QLatin1String("t")).toString();

        QString value;
        QString inlineText;
        bool hasValue = false;
        int depth = 1;
        while (depth > 0 && !xml.atEnd()) {
            const auto inner = xml.readNext();
            if (inner == QXmlStreamReader::StartElement) {
                if (xml.name() == QLatin1String("v")) {
                    value = xml.readElementText();
                    hasValue = true;
                } else if (xml.name() == QLatin1String("is")) {
                    inlineText = ReadStringItem(xml);
                } else {
                    ++depth;
                }
            } else if (inner == QXmlStreamReader::EndElement) {
                --depth;
            }
        }
        if (xml.hasError()) break;

        FoundCell cell{row, column, kOwnText, {}};
        if (type == QLatin1String("inlineStr")) {
            cell.cell.text = inlineText.toStdString();
        } else if (!hasValue) {
            // A blank cell: it holds nothing but counts for the row's width.
        } else if (type == QLatin1String("s")) {
            bool ok = false;
            const qsizetype index = value.trimmed().toLongLong(&ok);
            if (!ok || index < 0 || static_cast<std::size_t>(index) >= shared.size()) {
                return damaged("a shared string that does not exist");
            }
            cell.shared = static_cast<std::size_t>(index);
        } else if (type == QLatin1String("b")) {
            cell.cell.text = value.trimmed() == QLatin1String("1") ? "TRUE" : "FALSE";
        } else if (type == QLatin1String("str") || type == QLatin1String("e") ||
                   type == QLatin1String("d")) {
            cell.cell.text = DecodeEscapes(value).toStdString();
        } else {
            cell.cell.text = value.trimmed().toStdString();
            cell.cell.number = !cell.cell.text.empty();
        }
        // The list itself is held to the budget too (a part of bare "<c/>"
        // elements makes more list than XML).
        if ((found.size() + 1) * sizeof(FoundCell) > budget.Limit() - budget.Used()) {
            return tooLarge((found.size() + 1) * sizeof(FoundCell));
        }
        found.push_back(std::move(cell));
    }
    if (xml.hasError()) {
        *error = XmlError(xml, name);
        return false;
    }

    // Rows in order, and within a row by column; a cell given twice keeps
    // its last value.
    std::stable_sort(found.begin(), found.end(), [](const FoundCell& a, const FoundCell& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    std::size_t needed = static_cast<std::size_t>(rowCount) * sizeof(CellRow);
    for (std::size_t i = 0; i < found.size(); ++i) {
        const FoundCell& cell = found[i];
        const bool lastOfRow = i + 1 == found.size() || found[i + 1].row != cell.row;
        if (lastOfRow) needed += static_cast<std::size_t>(cell.column + 1) * sizeof(Cell);
        needed +=
            TextBytes(cell.shared == kOwnText ? cell.cell.text.size() : shared[cell.shared].size());
    }
    if (!budget.Spend(needed)) return tooLarge(needed);
    sheet->rows.resize(static_cast<std::size_t>(rowCount));
    for (std::size_t i = 0; i < found.size(); ++i) {
        FoundCell& cell = found[i];
        CellRow& cells = sheet->rows[static_cast<std::size_t>(cell.row)];
        if (cells.empty()) {
            // The row's last cell comes last in its run.
            std::size_t last = i;
            while (last + 1 < found.size() && found[last + 1].row == cell.row) ++last;
            cells.resize(static_cast<std::size_t>(found[last].column + 1));
        }
        Cell& target = cells[static_cast<std::size_t>(cell.column)];
        if (cell.shared == kOwnText) {
            target = std::move(cell.cell);
        } else {
            target = Cell{shared[cell.shared], false};
        }
    }
    return true;
}

// ---------------------------------------------------------------- writing

// Length of UTF-8 text in UTF-16 code units.
std::size_t Utf16Length(const std::string& text) {
    std::size_t units = 0;
    for (unsigned char byte : text) {
        if ((byte & 0xC0) != 0x80) units += byte >= 0xF0 ? 2 : 1;
    }
    return units;
}

bool IsHex(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Text as a cell must carry it. The writing library turns control characters
// into "_xHHHH_" but leaves such sequences already in the text alone, and
// every reader would take them for escapes: their '_' is written as
// "_x005F_" so the text reads back as given.
std::string EscapeForCell(const std::string& text) {
    if (text.find("_x") == std::string::npos) return text;
    std::string out;
    out.reserve(text.size() + 16);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '_' && i + 6 < text.size() && text[i + 1] == 'x' && IsHex(text[i + 2]) &&
            IsHex(text[i + 3]) && IsHex(text[i + 4]) && IsHex(text[i + 5]) && text[i + 6] == '_') {
            out += "_x005F";
        }
        out += text[i];
    }
    return out;
}

// Why the library could not write `temp`. Its own codes speak of zip
// operations; the cause a user can act on is the system's, which is still in
// errno, or failing that a folder with no space left.
std::string WriteFailure(const std::string& temp, lxw_error code, int cause) {
    constexpr int kFileErrors[] = {ENOSPC, EDQUOT, EFBIG, EIO, EROFS, EACCES};
    if (std::find(std::begin(kFileErrors), std::end(kFileErrors), cause) == std::end(kFileErrors)) {
        struct statvfs space {};
        const auto folder = std::filesystem::path(temp).parent_path();
        if (::statvfs(folder.empty() ? "." : folder.c_str(), &space) == 0 && space.f_bavail == 0) {
            cause = ENOSPC;
        } else {
            cause = 0;
        }
    }
    if (cause != 0) return std::string("cannot write the workbook: ") + std::strerror(cause);
    return std::string("cannot write the workbook: ") + lxw_strerror(code);
}

std::optional<std::string> WriteWithLibrary(const std::string& temp, const Workbook& workbook) {
    lxw_workbook_options options{};
    options.constant_memory = LXW_FALSE;
    lxw_workbook* book = workbook_new_opt(temp.c_str(), &options);
    if (book == nullptr) return "cannot start a workbook in " + temp;
    // Text cells carry the text number format "@", so a spreadsheet program
    // keeps what is typed into them as text too, and empty cells are stored
    // as blank cells (a row of empty values keeps its place and its width).
    lxw_format* text = workbook_add_format(book);
    format_set_num_format(text, "@");
    std::optional<std::string> error;
    for (const Worksheet& sheet : workbook.sheets) {
        if (const lxw_error invalid = workbook_validate_sheet_name(book, sheet.name.c_str())) {
            error = "sheet name \"" + sheet.name + "\" cannot be used: " + lxw_strerror(invalid);
            break;
        }
        lxw_worksheet* out = workbook_add_worksheet(book, sheet.name.c_str());
        if (out == nullptr) {
            error = "cannot add the sheet \"" + sheet.name + "\"";
            break;
        }
        for (std::size_t r = 0; r < sheet.rows.size() && !error; ++r) {
            if (r >= static_cast<std::size_t>(kMaxRows) ||
                sheet.rows[r].size() > static_cast<std::size_t>(kMaxColumns)) {
                error =
                    "sheet \"" + sheet.name + "\" has more rows or columns than a workbook holds";
                break;
            }
            const auto row = static_cast<lxw_row_t>(r);
            // An empty row still gets a blank cell, so that it is not lost
            // when it is the last one of a sheet.
            if (sheet.rows[r].empty()) worksheet_write_blank(out, row, 0, text);
            for (std::size_t c = 0; c < sheet.rows[r].size(); ++c) {
                const Cell& cell = sheet.rows[r][c];
                const auto column = static_cast<lxw_col_t>(c);
                if (Utf16Length(cell.text) > kMaxCellLength) {
                    error = "a cell of sheet \"" + sheet.name + "\" (row " + std::to_string(r + 1) +
                            ") is longer than " + std::to_string(kMaxCellLength) + " characters";
                    break;
                }
                lxw_error written = LXW_NO_ERROR;
                if (cell.number) {
                    written = worksheet_write_number(
                        out, row, column, std::strtod(cell.text.c_str(), nullptr), nullptr);
                } else if (cell.text.empty()) {
                    written = worksheet_write_blank(out, row, column, text);
                } else {
                    written = worksheet_write_string(out, row, column,
                                                     EscapeForCell(cell.text).c_str(), text);
                }
                if (written != LXW_NO_ERROR) {
                    error = "cannot write a cell of sheet \"" + sheet.name +
                            "\": " + lxw_strerror(written);
                    break;
                }
            }
        }
        if (error) break;
    }
    errno = 0;
    const lxw_error closed = workbook_close(book);
    const int cause = errno;
    if (!error && closed != LXW_NO_ERROR) error = WriteFailure(temp, closed, cause);
    return error;
}

}  // namespace

bool SameSheetName(const std::string& a, const std::string& b) {
    return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

std::optional<std::string> SheetNameProblem(const std::string& name) {
    auto problem = [&name](const std::string& why) {
        return std::optional<std::string>("sheet name \"" + name + "\" cannot be used: " + why);
    };
    if (name.empty()) return problem("it is empty");
    const QString text = QString::fromStdString(name);
    if (text.toStdString() != name) return problem("it is not UTF-8 text");
    if (static_cast<std::size_t>(text.toUcs4().size()) > kMaxSheetNameLength) {
        return problem("it is longer than " + std::to_string(kMaxSheetNameLength) + " characters");
    }
    for (const char c : name) {
        if (std::strchr(":\\/?*[]", c) != nullptr && c != '\0') {
            return problem(std::string("it contains '") + c + "'");
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return problem("it contains a control character");
        }
    }
    if (name.front() == '\'' || name.back() == '\'') {
        return problem("it begins or ends with an apostrophe");
    }
    return std::nullopt;
}

Worksheet* Workbook::Find(const std::string& name) {
    for (Worksheet& sheet : sheets) {
        if (sheet.name == name) return &sheet;
    }
    for (Worksheet& sheet : sheets) {
        if (SameSheetName(sheet.name, name)) return &sheet;
    }
    return nullptr;
}

const Worksheet* Workbook::Find(const std::string& name) const {
    return const_cast<Workbook*>(this)->Find(name);
}

std::optional<Workbook> ReadWorkbook(const std::string& path, std::string* error) {
    std::string reason;
    auto fail = [&]() -> std::optional<Workbook> {
        *error = path + ": " + reason;
        return std::nullopt;
    };
    auto zip = ZipArchive::Open(path, &reason);
    if (!zip) return fail();

    const auto root = ReadRelationships(*zip, "", &reason);
    if (!root) return fail();
    std::string bookPart;
    for (const auto& [id, relationship] : *root) {
        if (relationship.type == "officeDocument") bookPart = relationship.target;
    }
    if (bookPart.empty()) {
        reason = "not a workbook (no office document in the package)";
        return fail();
    }
    const auto relationships = ReadRelationships(*zip, bookPart, &reason);
    if (!relationships) return fail();

    MemoryBudget budget(*zip);
    std::vector<std::string> shared;
    for (const auto& [id, relationship] : *relationships) {
        if (relationship.type != "sharedStrings") continue;
        auto strings = ReadSharedStrings(*zip, relationship.target, &reason);
        if (!strings) return fail();
        shared = std::move(*strings);
    }

    const auto bookBytes = zip->Read(bookPart, &reason);
    if (!bookBytes) return fail();
    QXmlStreamReader xml(
        QByteArray::fromRawData(bookBytes->data(), static_cast<qsizetype>(bookBytes->size())));
    std::vector<std::pair<std::string, std::string>> listed;  // name, relationship id
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement &&
            xml.name() == QLatin1String("sheet")) {
            listed.emplace_back(
                xml.attributes().value(QLatin1String("name")).toString().toStdString(),
                RelationshipId(xml).toStdString());
        }
    }
    if (xml.hasError()) {
        reason = XmlError(xml, bookPart);
        return fail();
    }

    Workbook workbook;
    for (const auto& [name, id] : listed) {
        const auto found = relationships->find(id);
        if (found == relationships->end()) {
            reason = "sheet \"" + name + "\" has no part";
            return fail();
        }
        if (found->second.type != "worksheet") continue;  // chart and dialog sheets hold no cells
        Worksheet sheet{name, {}};
        if (!ReadSheetCells(*zip, found->second.target, shared, budget, &sheet, &reason)) {
            return fail();
        }
        workbook.sheets.push_back(std::move(sheet));
    }
    return workbook;
}

bool WriteWorkbook(const std::string& path, const Workbook& workbook, std::string* error) {
    for (std::size_t i = 0; i < workbook.sheets.size(); ++i) {
        const std::string& name = workbook.sheets[i].name;
        auto problem = SheetNameProblem(name);
        for (std::size_t k = 0; k < i && !problem; ++k) {
            if (SameSheetName(workbook.sheets[k].name, name)) {
                problem = "sheet name \"" + name +
                          "\" cannot be used: the workbook has a sheet \"" +
                          workbook.sheets[k].name + "\" already";
            }
        }
        if (problem) {
            *error = path + ": " + *problem;
            return false;
        }
    }
    std::string reason;
    const auto lock = FileLock::Acquire(path, &reason);
    if (!lock) {
        *error = path + ": " + reason;
        return false;
    }
    // Under the lock no other writer has a temporary file of this workbook
    // open, so any there is a killed write's.
    RemoveLeftoverTemporaries(path);
    const auto failed = ReplaceFileAtomically(
        path, [&workbook](const std::string& temp) { return WriteWithLibrary(temp, workbook); });
    if (failed) *error = path + ": " + *failed;
    return !failed;
}

CellRow TextCells(const std::vector<std::string>& values) {
    CellRow row;
    row.reserve(values.size());
    for (const auto& value : values) row.push_back({value, false});
    return row;
}

std::vector<std::string> CellTexts(const CellRow& row) {
    std::vector<std::string> texts;
    texts.reserve(row.size());
    for (const auto& cell : row) texts.push_back(cell.text);
    return texts;
}

}  // namespace kestrune::sheet
