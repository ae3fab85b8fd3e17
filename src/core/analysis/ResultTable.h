// The table an analysis produces: the captions of its columns and its rows of
// text, in the order the analysis window lists them. The windows show it, the
// command line writes it as CSV or a workbook sheet, so both give the same
// table for the same parameters.
#pragma once

#include <string>
#include <vector>

namespace kestrune::analysis {

struct ResultTable {
    std::vector<std::string> captions;
    std::vector<int> widths;  ///< the column widths the window uses, in pixels; may be empty
    std::vector<std::vector<std::string>> rows;

    friend bool operator==(const ResultTable&, const ResultTable&) = default;
};

/**
 * The table as CSV: the captions, then one line per row, "\n" after each
 * line. A field holding a comma, a quote, a carriage return or a line feed
 * is quoted, its quotes doubled; other fields are written as they are.
 */
std::string ToCsv(const ResultTable& table);

/** What an analysis says when it found nothing to count. */
inline constexpr const char* kNoResultCollected = "No result was collected!";

/** A number as C's "%f" writes it ("12.500000"; "inf", "-nan" as C prints them). */
std::string FormatF(double value);

}  // namespace kestrune::analysis
