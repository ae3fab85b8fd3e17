#include "sheet/RowImage.h"

#include <set>

namespace kestrune::sheet {

bool RowImage::Fail(std::string text) {
    lastError_ = std::move(text);
    return false;
}

void RowImage::Load(std::vector<Row> rows) {
    rows_ = std::move(rows);
    fieldNames_ = rows_.empty() ? Row{} : rows_.front();
    totalColumns_ = static_cast<int>(fieldNames_.size());
    if (workbook_) {
        for (std::size_t i = 1; i < rows_.size(); ++i) {
            if (rows_[i].size() < fieldNames_.size()) rows_[i].resize(fieldNames_.size());
        }
    }
}

bool RowImage::AddHeaders(const Row& names, bool replace, bool sheetExists) {
    if (!sheetExists) {
        totalColumns_ = static_cast<int>(names.size());
        return AddRow(names, 1, true);
    }
    if (replace) return AddRow(names, 1, true);

    Row combined = fieldNames_;
    for (const auto& name : names) {
        if (workbook_) {
            for (const auto& existing : fieldNames_) {
                if (existing == name) return Fail("Duplicate header row field:" + name + "\n");
            }
        }
        combined.push_back(name);
    }
    if (!AddRow(combined, 1, true)) return Fail("Problems with adding headers\n");
    return true;
}

bool RowImage::AddRow(const Row& values, int row, bool replace) {
    if (row == 1) {
        std::set<std::string> seen;
        for (const auto& name : values) {
            if (!seen.insert(name).second) return Fail("Duplicate header row field:" + name + "\n");
        }
        if (static_cast<int>(values.size()) < totalColumns_) {
            return Fail(
                "Number of columns in new header row cannot be less than the number of columns in "
                "previous header row");
        }
        totalColumns_ = static_cast<int>(values.size());
        fieldNames_ = values;
    } else if (workbook_) {
        if (totalColumns_ == 0) return Fail("No header row. Add header row first\n");
        if (static_cast<int>(values.size()) > totalColumns_) {
            return Fail(
                "Number of columns to be added cannot be greater than the number of fields\n");
        }
    } else if (static_cast<int>(values.size()) > totalColumns_) {
        totalColumns_ = static_cast<int>(values.size());
    }

    const int held = TotalRows();
    if (row <= 0) {
        rows_.push_back(values);
    } else if (row <= held) {
        if (replace) {
            rows_[row - 1] = values;
        } else {
            rows_.insert(rows_.begin() + (row - 1), values);
        }
    } else {
        const Row blank(static_cast<std::size_t>(totalColumns_), BlankValue());
        while (TotalRows() < row - 1) rows_.push_back(blank);
        rows_.push_back(values);
    }
    return true;
}

}  // namespace kestrune::sheet
