#include "core/text/Encoding.h"

#include <iconv.h>
#include <cerrno>

namespace kestrune {
namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD in UTF-8
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Converts with iconv. On an invalid or incomplete sequence, either gives up
// (replacement empty) or writes the replacement and skips one input byte.
std::optional<std::string> Convert(const char* to, const char* from, std::string_view in,
                                   std::optional<std::string_view> replacement) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;

    std::string out;
    out.reserve(in.size() * 3 / 2 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t srcLeft = in.size();
    char chunk[1024];
    bool failed = false;
    while (srcLeft > 0) {
        char* dst = chunk;
        std::size_t dstLeft = sizeof chunk;
        const std::size_t rc = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        out.append(chunk, static_cast<std::size_t>(dst - chunk));
        if (rc != static_cast<std::size_t>(-1)) continue;
        if (errno == E2BIG) continue;  // chunk full: drain and go on
        if (!replacement) {
            failed = true;
            break;
        }
        out.append(*replacement);
        ++src;
        --srcLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);  // reset shift state
    }
    iconv_close(cd);
    if (failed) return std::nullopt;
    return out;
}

}  // namespace

std::size_t DecodeUtf8At(std::string_view bytes, std::size_t at, char32_t* code) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[at + i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    char32_t value = 0;
    char32_t least = 0;
    if (lead < 0x80) {
        *code = lead;
        return 1;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2, value = lead & 0x1F, least = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3, value = lead & 0x0F, least = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4, value = lead & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    if (at + length > bytes.size()) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    // No overlong forms, nothing above U+10FFFF, no surrogates.
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *code = value;
    return length;
}

bool IsValidUtf8(std::string_view bytes) {
    char32_t code = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        const std::size_t length = DecodeUtf8At(bytes, at, &code);
        if (length == 0) return false;
        at += length;
    }
    return true;
}

bool EndsWithAsciiNoCase(std::string_view text, std::string_view ending) {
    if (text.size() < ending.size()) return false;
    const auto lower = [](char c) {
        return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    };
    const std::string_view tail = text.substr(text.size() - ending.size());
    for (std::size_t i = 0; i < ending.size(); ++i) {
        if (lower(tail[i]) != lower(ending[i])) return false;
    }
    return true;
}

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
    return Convert("UTF-8", "CP932", cp932, std::nullopt);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    if (!IsValidUtf8(utf8)) return std::nullopt;
    return Convert("CP932", "UTF-8", utf8, std::nullopt);
}

std::string DecodeLegacyText(std::string_view bytes) {
    if (IsValidUtf8(bytes)) {
        if (bytes.starts_with(kBom)) bytes.remove_prefix(kBom.size());
        return std::string(bytes);
    }
    auto text = Convert("UTF-8", "CP932", bytes, kReplacement);
    return text ? *text : std::string();
}

std::optional<std::size_t> Cp932ByteLength(std::string_view utf8) {
    const auto encoded = Utf8ToCp932(utf8);
    if (!encoded) return std::nullopt;
    return encoded->size();
}

}  // namespace kestrune
