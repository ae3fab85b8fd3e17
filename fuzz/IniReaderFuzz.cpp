// Feeds arbitrary bytes to CIniFile: the input is both the text and the
// source of the section and key names that are looked up and written.
//
// Layout: byte 0 = section name length (low nibble) and key name length (high
// nibble), byte 1 = line number for the by-line reads, then the section name,
// the key name, and the rest is the INI text. Names are also taken from the
// text itself so that look-ups actually hit.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/ini/IniFile.h"

namespace {

volatile std::size_t g_sink = 0;

void Exercise(const kestrune::CIniFile& ini, std::string_view section, std::string_view key,
              int n) {
    std::size_t sink = 0;
    sink += ini.ReadString(section, key).size();
    sink += static_cast<std::size_t>(ini.ReadInt(section, key));
    sink += ini.ReadStringAt(section, n).size();
    sink += static_cast<std::size_t>(ini.ReadIntAt(section, n));
    sink += ini.ReadKeyAt(section, n).size();
    sink += static_cast<std::size_t>(ini.CountSectionLines(section));
    sink += static_cast<std::size_t>(ini.LineNumberAt(static_cast<int>(n * 7)));
    g_sink = sink;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        kestrune::CIniFile ini;
        ini.LoadText(std::string_view(reinterpret_cast<const char*>(data), size));
        Exercise(ini, "", "", 0);
        return 0;
    }
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    const std::size_t secLen = data[0] & 0x0F;
    const std::size_t keyLen = data[0] >> 4;
    const int n = static_cast<int>(data[1]) - 8;  // a few negative line numbers too
    std::string_view rest = in.substr(2);
    const std::string_view section = rest.substr(0, secLen);
    rest.remove_prefix(section.size());
    const std::string_view key = rest.substr(0, keyLen);
    rest.remove_prefix(key.size());

    kestrune::CIniFile ini;
    ini.LoadText(rest);
    Exercise(ini, section, key, n);

    // Names taken from the text: the first header's name and the first key.
    std::string_view textSection;
    std::string_view textKey;
    if (const std::size_t open = rest.find('['); open != std::string_view::npos) {
        const std::size_t close = rest.find_first_of("];\t\r\n", open + 1);
        textSection = rest.substr(
            open + 1, (close == std::string_view::npos ? rest.size() : close) - (open + 1));
        if (const std::size_t lf = rest.find('\n', open); lf != std::string_view::npos) {
            const std::size_t end = rest.find_first_of("=;\r\n", lf + 1);
            textKey =
                rest.substr(lf + 1, (end == std::string_view::npos ? rest.size() : end) - (lf + 1));
        }
    }
    Exercise(ini, textSection, textKey, n);

    // Writes: replace or create, then read everything back.
    const std::string value(rest.substr(0, data[1] % 24));
    ini.WriteString(textSection, textKey, value);
    Exercise(ini, textSection, textKey, n);
    // A line appended to a text whose last line has no LF joins that line,
    // so the read-back check needs a text that ends in LF (or holds nothing).
    const bool endsClean = ini.Length() == 0 || ini.Data()[ini.Length() - 1] == '\n' ||
                           (ini.Length() == 1 && ini.Data()[0] == '\0');
    const bool written = ini.WriteString(section, key, value);
    Exercise(ini, section, key, n);
    // What was just written must be found again unless the names hold bytes
    // at which the text rules cut them.
    if (written && endsClean && section.find_first_of("];\t\r\n") == std::string_view::npos &&
        key.find_first_of("=;\r\n") == std::string_view::npos &&
        ini.ReadString(section, key) == "Notfound" &&
        value.substr(0, value.find_first_of(";\r\t]\n")) != "Notfound") {
        __builtin_trap();
    }
    ini.WriteInt(section, textKey, n);
    Exercise(ini, section, textKey, n);
    return 0;
}
