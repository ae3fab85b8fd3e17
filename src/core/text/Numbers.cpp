#include "core/text/Numbers.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <string_view>
#include <system_error>

namespace kestrune {

namespace {

// The part atoi and atof share: white space, then an optional sign. Returns
// the position of the first digit (or whatever stands there).
std::size_t SkipSpaceAndSign(std::string_view s, bool& negative) {
    auto isSpace = [](char c) {
        return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
    };
    std::size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
        negative = s[i] == '-';
        ++i;
    }
    return i;
}

}  // namespace

int LeadingInt(std::string_view s) {
    bool negative = false;
    std::size_t i = SkipSpaceAndSign(s, negative);
    const long long limit = negative ? -static_cast<long long>(INT_MIN) : INT_MAX;
    long long v = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        v = v * 10 + (s[i] - '0');
        if (v >= limit) {
            v = limit;
            break;
        }
    }
    return static_cast<int>(negative ? -v : v);
}

double LeadingReal(std::string_view text) {
    bool negative = false;
    const std::size_t i = SkipSpaceAndSign(text, negative);
    // from_chars takes no sign of its own and reads only decimal forms here,
    // independent of the process locale.
    if (i >= text.size() ||
        !(std::isdigit(static_cast<unsigned char>(text[i])) || text[i] == '.')) {
        return 0.0;
    }
    double value = 0.0;
    const char* first = text.data() + i;
    const auto [end, error] =
        std::from_chars(first, text.data() + text.size(), value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Beyond the double range: a negative exponent fades to zero, anything
        // else saturates to infinity, as strtod does.
        const std::string_view number(first, static_cast<std::size_t>(end - first));
        const std::size_t e = number.find_first_of("eE");
        const bool tiny =
            e != std::string_view::npos && e + 1 < number.size() && number[e + 1] == '-';
        value = tiny ? 0.0 : HUGE_VAL;
    } else if (error != std::errc()) {
        return 0.0;
    }
    return negative ? -value : value;
}

}  // namespace kestrune
