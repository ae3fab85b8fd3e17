// Office Open XML workbooks (.xlsx) as plain tables of cells.
//
// Reading takes every worksheet of a workbook apart through its zip container
// (libzip) and its XML parts (Qt's stream reader): the workbook's sheet list
// and relationships, the shared-string table (rich-text runs joined, phonetic
// runs left out) and each sheet's cells, whether they hold shared strings,
// inline strings, formula results, numbers or booleans. Workbooks from other
// programs (a spreadsheet program saving ours again) read the same way.
//
// Writing goes through libxlsxwriter into a temporary file that replaces the
// target atomically. Only cell values survive a read and a rewrite: numbers
// stay numbers and everything else becomes text; formulas keep their last
// value, and formatting, charts and chart sheets are not carried over.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kestrune::sheet {

/** One cell's value; `number` marks a numeric cell (text holds its digits). */
struct Cell {
    std::string text;
    bool number = false;

    friend bool operator==(const Cell&, const Cell&) = default;
};

using CellRow = std::vector<Cell>;

/** A worksheet: its name and its rows from row 1, each from column A. Rows and
 *  cells missing in the file are empty; a row reaches to its last cell, blank
 *  or not. */
struct Worksheet {
    std::string name;
    std::vector<CellRow> rows;
};

struct Workbook {
    std::vector<Worksheet> sheets;  ///< in the workbook's order

    /** The sheet with this name: the one written exactly so, else the one
     *  that differs in letter case only (see SameSheetName); or nullptr. */
    Worksheet* Find(const std::string& name);
    const Worksheet* Find(const std::string& name) const;
};

/** Longest sheet name, in characters. */
inline constexpr std::size_t kMaxSheetNameLength = 31;

/** Why `name` cannot name a sheet (empty, longer than 31 characters, holding
 *  one of : \ / ? * [ ] or a control character, or beginning or ending with
 *  an apostrophe), or nullopt when it can. */
std::optional<std::string> SheetNameProblem(const std::string& name);

/** True when spreadsheet programs take the two names for one sheet: they
 *  compare sheet names without regard to letter case ("Result", "RESULT"). */
bool SameSheetName(const std::string& a, const std::string& b);

/** Longest text a cell may hold, in UTF-16 code units (the format's limit). */
inline constexpr std::size_t kMaxCellLength = 32767;

/** Reads every worksheet of the workbook at `path`. On failure returns
 *  nullopt and leaves the reason in *error. */
std::optional<Workbook> ReadWorkbook(const std::string& path, std::string* error);

/** Writes the workbook to `path`, replacing any file there in one step.
 *  Numeric cells are written as numbers, all others as text. Every sheet name
 *  is checked first (SheetNameProblem, and no two the same by SameSheetName).
 *  Returns false with the reason in *error; the old file is then unchanged. */
bool WriteWorkbook(const std::string& path, const Workbook& workbook, std::string* error);

/** Text cells from strings, and back. */
CellRow TextCells(const std::vector<std::string>& values);
std::vector<std::string> CellTexts(const CellRow& row);

}  // namespace kestrune::sheet
