#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kestrune {

/**
 * Text encodings met in station files. Legacy scenario files and answers are
 * Japanese text in cp932 (Windows Shift_JIS); new files are UTF-8. Inside the
 * program every text is UTF-8.
 */

/** True when bytes form well-formed UTF-8 (no overlongs, no surrogates). */
bool IsValidUtf8(std::string_view bytes);

/** The length of the well-formed UTF-8 sequence at `at`, its code point in
 *  *code; 0 (and *code untouched) when the bytes there are no such sequence. */
std::size_t DecodeUtf8At(std::string_view bytes, std::size_t at, char32_t* code);

/** True when `text` ends with `ending`, ASCII letters compared without
 *  regard to case (file name endings such as ".xlsx"). */
bool EndsWithAsciiNoCase(std::string_view text, std::string_view ending);

/** cp932 -> UTF-8; nullopt when the bytes are not valid cp932. */
std::optional<std::string> Cp932ToUtf8(std::string_view cp932);

/** UTF-8 -> cp932; nullopt when the text is not valid UTF-8 or has a
 *  character cp932 cannot hold. */
std::optional<std::string> Utf8ToCp932(std::string_view utf8);

/**
 * Decodes a value read from a station file to UTF-8: well-formed UTF-8 stays
 * as it is (a leading byte-order mark is dropped), anything else is read as
 * cp932. Bytes that are valid in neither become U+FFFD, so a damaged file
 * still shows what can be shown.
 */
std::string DecodeLegacyText(std::string_view bytes);

/** How many bytes a UTF-8 text takes in cp932 (one per ASCII character, two
 *  per kana or kanji); nullopt when cp932 cannot hold it. */
std::optional<std::size_t> Cp932ByteLength(std::string_view utf8);

}  // namespace kestrune
