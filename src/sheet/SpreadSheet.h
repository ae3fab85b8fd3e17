// CSpreadSheet: writes a table of text to one sheet of a workbook, or to a
// delimited text file.
//
// One object serves one export: construct it on a file and a sheet, begin a
// transaction, add the header row and the data rows, commit, destroy. The
// whole sheet is held in memory (a RowImage); every commit rewrites the file
// from that image, keeping every other sheet of the workbook as it was read
// at the time of the commit. Nothing is committed by the destructor.
//
// A path ending in ".xls" or ".xlsx" (any letter case) names a workbook; it
// is stored as an Office Open XML workbook whose name ends in ".xlsx", so
// "Data/Yamada.xls" is written as "Data/Yamada.xlsx". While that .xlsx does
// not exist, an older binary "Data/Yamada.xls" is read in its place and its
// sheets go into the .xlsx with the first commit (LegacyWorkbook.h); the .xls
// is left as it is. Every cell written is text. Any other path is a text
// file whose separator is the second constructor argument.
//
// Operations report failure by returning false and leaving a text in
// LastError(); they never show anything. A commit holds the file's FileLock
// from reading the workbook again to replacing it.
#pragma once

#include <string>

#include "sheet/RowImage.h"

namespace kestrune::sheet {

/** True for a path ending in ".xls" or ".xlsx", in any letter case. */
bool IsWorkbookPath(const std::string& path);

/** The file a workbook path is stored in: the ".xls" ending becomes ".xlsx";
 *  other paths are returned unchanged. */
std::string WorkbookPathFor(const std::string& path);

/** Longest name SafeFileName gives by default, in bytes: a file name may
 *  take 255, and ".xlsx" follows. */
inline constexpr std::size_t kMaxSafeNameBytes = 250;

/**
 * A person's name (any UTF-8 text) made safe as one file name in a folder:
 * '/' and '\', control characters (C0, DEL, C1), line and paragraph
 * separators, the invisible direction marks, embeddings, overrides and
 * isolates (which make a name display other than it sorts and opens), and
 * bytes that are not UTF-8 each become '_'; so does a leading '.' (no hidden
 * file, never "." or ".."), and an empty name is "_". The result is cut at
 * a character boundary to `maxBytes`.
 */
std::string SafeFileName(const std::string& name, std::size_t maxBytes = kMaxSafeNameBytes);

class CSpreadSheet {
  public:
    /** The sheet that receives a copy of an existing sheet before it is changed. */
    static constexpr const char* kBackupSheet = "CSpreadSheetBackup";
    /** The separator of the row image of a workbook sheet. */
    static constexpr const char* kWorkbookSeparator = ",;.?";

    /**
     * Opens `file`: for a workbook, the sheet `sheetOrSeparator`; otherwise
     * a text file with that separator. When the sheet (or text file) exists
     * its rows are read into the image; with `backup`, they are then copied
     * to the sheet "CSpreadSheetBackup" of the same workbook (committed at
     * once), or for a text file to the file name with ".bak" appended. A
     * backup that fails (the backup sheet exists already) switches backup off
     * without further notice.
     */
    CSpreadSheet(const std::string& file, const std::string& sheetOrSeparator, bool backup);

    CSpreadSheet(const CSpreadSheet&) = delete;
    CSpreadSheet& operator=(const CSpreadSheet&) = delete;

    /** From now on AddRow collects rows and only Commit writes them. */
    void BeginTransaction() { transaction_ = true; }

    /** Sets (new sheet, or `replace`) or extends the header row. */
    bool AddHeaders(const Row& names, bool replace);

    /** Adds a row (0 appends; see RowImage::AddRow), then commits unless a
     *  transaction is open. False when the row is refused or the commit fails. */
    bool AddRow(const Row& values, int row = 0, bool replace = false);

    /** Writes the image to the file in one step; ends the transaction. */
    bool Commit();

    const std::string& LastError() const { return image_.LastError(); }

    bool IsWorkbook() const { return image_.IsWorkbook(); }
    /** The file actually read and written (".xlsx" for a ".xls" path). */
    const std::string& Path() const { return path_; }
    const std::string& SheetName() const { return sheet_; }
    const std::string& Separator() const { return separator_; }
    /** The sheet (or text file) existed or has been written by a commit. */
    bool SheetExists() const { return append_; }
    /** A backup was asked for and has been made. */
    bool BackupMade() const { return backup_; }
    bool InTransaction() const { return transaction_; }
    int TotalRows() const { return image_.TotalRows(); }
    int TotalColumns() const { return image_.TotalColumns(); }
    const RowImage& Image() const { return image_; }

  private:
    bool OpenWorkbookSheet();
    bool OpenTextFile();
    bool CommitWorkbook();
    bool CommitText();
    bool Fail(std::string text);

    RowImage image_;
    std::string openError_;  ///< why the existing sheet could not be read
    bool append_ = false;
    bool backup_ = false;
    bool transaction_ = false;
    std::string path_;
    std::string sheet_;
    std::string separator_;
};

}  // namespace kestrune::sheet

namespace kestrune::sheet {

/**
 * Appends `rows` to sheet `sheetName` of the workbook at `path` in one
 * commit, making its folder when missing. A sheet that does not exist yet
 * first gets `header` as its header row; with an empty `header` the first of
 * `rows` becomes the header row, widened with numbered columns to the widest
 * row. False with `error` set when nothing could be written. Appends to one
 * workbook from several threads or processes wait for each other (FileLock),
 * so none is lost.
 */
bool AppendRows(const std::string& path, const std::string& sheetName, const Row& header,
                const std::vector<Row>& rows, std::string* error);

}  // namespace kestrune::sheet
