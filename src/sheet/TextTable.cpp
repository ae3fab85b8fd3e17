#include "sheet/TextTable.h"

namespace kestrune::sheet {

namespace {

std::vector<std::string> SplitAt(std::string_view text, std::string_view delimiter) {
    std::vector<std::string> parts;
    if (delimiter.empty()) {
        parts.emplace_back(text);
        return parts;
    }
    std::size_t start = 0;
    for (;;) {
        const auto found = text.find(delimiter, start);
        if (found == std::string_view::npos) break;
        parts.emplace_back(text.substr(start, found - start));
        start = found + delimiter.size();
    }
    parts.emplace_back(text.substr(start));
    return parts;
}

}  // namespace

std::string JoinRow(const Row& values, const std::string& separator) {
    std::string text;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (i > 0) text += separator;
        text += '"';
        text += values[i];
        text += '"';
    }
    return text;
}

Row SplitRow(std::string_view text, const std::string& separator) {
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') {
        return SplitAt(text.substr(1, text.size() - 2), "\"" + separator + "\"");
    }
    return SplitAt(text, separator);
}

std::vector<Row> ParseTextTable(std::string_view text, const std::string& separator) {
    std::vector<Row> rows;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = std::string_view::npos;  // one past the row's text
        std::size_t next = text.size();            // where the next row starts
        if (text[start] == '"') {
            for (std::size_t quote = text.find('"', start + 1); quote != std::string_view::npos;
                 quote = text.find('"', quote + 1)) {
                const std::string_view rest = text.substr(quote + 1);
                if (rest.empty() || rest.starts_with("\n") || rest.starts_with("\r\n")) {
                    end = quote + 1;
                    next = rest.empty() ? text.size() : end + (rest[0] == '\r' ? 2 : 1);
                    break;
                }
            }
        }
        if (end == std::string_view::npos) {
            const auto lineEnd = text.find('\n', start);
            next = lineEnd == std::string_view::npos ? text.size() : lineEnd + 1;
            end = lineEnd == std::string_view::npos ? text.size() : lineEnd;
            if (end > start && text[end - 1] == '\r') --end;
        }
        rows.push_back(SplitRow(text.substr(start, end - start), separator));
        start = next;
    }
    return rows;
}

std::string FormatTextTable(const std::vector<Row>& rows, const std::string& separator) {
    std::string text;
    for (const auto& row : rows) {
        text += JoinRow(row, separator);
        text += "\r\n";
    }
    return text;
}

}  // namespace kestrune::sheet
