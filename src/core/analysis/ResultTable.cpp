#include "core/analysis/ResultTable.h"

#include <cstdio>

namespace kestrune::analysis {
namespace {

void AppendField(std::string& out, const std::string& field) {
    if (field.find_first_of(",\"\r\n") == std::string::npos) {
        out += field;
        return;
    }
    out += '"';
    for (const char c : field) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void AppendLine(std::string& out, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) out += ',';
        AppendField(out, fields[i]);
    }
    out += '\n';
}

}  // namespace

std::string ToCsv(const ResultTable& table) {
    std::string out;
    AppendLine(out, table.captions);
    for (const auto& row : table.rows) AppendLine(out, row);
    return out;
}

std::string FormatF(double value) {
    char text[400];  // "%f" of the largest double has 309 digits before the point
    const int length = std::snprintf(text, sizeof text, "%f", value);
    return std::string(text, length > 0 ? static_cast<std::size_t>(length) : 0);
}

}  // namespace kestrune::analysis
