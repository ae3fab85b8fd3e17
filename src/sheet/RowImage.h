// The memory image of one sheet: what its rows become after each header or
// row operation, with no file behind it.
//
// Row 1 is the header row; its values are the field names and their number is
// the number of columns. Workbook images (`workbook` true) need a header row
// before any data row and refuse rows wider than it; text-file images grow
// their column count with the widest row. Rows are held as their values, so
// any text (quotes, separators, line breaks) is kept as given.
#pragma once

#include <string>
#include <vector>

namespace kestrune::sheet {

using Row = std::vector<std::string>;

class RowImage {
  public:
    explicit RowImage(bool workbook) : workbook_(workbook) {}

    /** Takes rows read from a file, header first; the field names and the
     *  column count come from the header. Data rows of a workbook shorter
     *  than the header are padded with empty values. */
    void Load(std::vector<Row> rows);

    /**
     * Sets or extends the header row. For a sheet that does not exist yet
     * (`sheetExists` false) the names become row 1. Otherwise, with `replace`
     * they replace row 1, and without it they are appended to the existing
     * names (a workbook refuses a name it already has).
     */
    bool AddHeaders(const Row& names, bool replace, bool sheetExists);

    /**
     * Adds one row: `row` 0 appends, 1 is the header row, a number within the
     * held rows replaces that row (`replace`) or inserts before it, a number
     * beyond them first fills the gap with blank rows.
     */
    bool AddRow(const Row& values, int row, bool replace);

    /** Every row, header first. */
    const std::vector<Row>& Rows() const { return rows_; }
    const Row& FieldNames() const { return fieldNames_; }
    int TotalRows() const { return static_cast<int>(rows_.size()); }
    int TotalColumns() const { return totalColumns_; }
    void SetTotalColumns(int columns) { totalColumns_ = columns; }
    bool IsWorkbook() const { return workbook_; }
    /** The text of the last failure; kept until the next failure. */
    const std::string& LastError() const { return lastError_; }
    void SetLastError(std::string text) { lastError_ = std::move(text); }

    /** The value of each cell of a blank row: one space in a workbook,
     *  nothing in a text file. */
    std::string BlankValue() const { return workbook_ ? " " : ""; }

  private:
    bool Fail(std::string text);

    bool workbook_;
    std::vector<Row> rows_;
    Row fieldNames_;
    int totalColumns_ = 0;
    std::string lastError_;
};

}  // namespace kestrune::sheet
