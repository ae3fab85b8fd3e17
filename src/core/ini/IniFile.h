// CIniFile: sectioned key/value text files (scenario files, mix descriptions).
//
// The whole file is held in memory as raw bytes and every look-up is a linear,
// byte-exact scan of that text. Nothing is converted: cp932 (or any other
// encoding) passes through untouched, a byte-order mark is just three bytes.
//
// Text rules, shared by every read and write:
//  * Lines are split at LF. A CR ends key names and values; in a CRLF file the
//    LF only marks where the next line starts.
//  * A section header is a '[' at byte 0 or right after an LF (a '[' after
//    leading blanks is not a header). Its name runs up to the first ']', ';',
//    TAB or CR.
//  * On any other line the key name runs from the start of the line up to the
//    first '=', ';' or CR; the value runs from after the '=' up to the first
//    ';', CR, TAB or ']'.
//  * Nothing is trimmed: blanks before '=' belong to the name, blanks after '='
//    (and before a ';' comment) belong to the value.
//  * Names are compared byte for byte, case-sensitively.
//  * The key search started from a section runs on to the end of the text: a
//    key missing from its own section is found in a later section. Duplicate
//    keys and duplicate sections resolve to the first one.
//
// Decisions for inputs outside the plain CRLF format:
//  * LF also ends section names, key names and values, so a read never runs
//    past the end of its own line in a file whose lines end in LF alone. For
//    CRLF text this changes nothing, because the CR always comes first.
//  * Key names are at most kMaxKeyLength (63) bytes. A look-up with a longer
//    key never matches (so a longer name in the text can never be matched
//    either), and WriteString/WriteInt refuse such a key and return false.
//  * A key line without '=' (the name ends at CR, LF or the end of the text)
//    still matches its name; its value reads as "". Writing to such a key
//    inserts "=value" where the name ends, so "KEY\r\n" becomes "KEY=v\r\n".
//  * Reads of a missing section give the not-found results: ReadInt 0,
//    ReadStringAt "", ReadIntAt kNotFoundInt, ReadKeyAt "", CountSectionLines 0.
//    ReadInt of a missing key gives 0. A negative line number counts as 0.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune {

class CIniFile {
  public:
    // Result of ReadIntAt when the line has no '=' (or the section is missing).
    static constexpr int kNotFoundInt = -99999999;
    // Longest key name that can be looked up or written.
    static constexpr std::size_t kMaxKeyLength = 63;

    // An empty object: no text, no sections.
    CIniFile();
    // An empty object followed by Open(path); Open's result is not kept.
    explicit CIniFile(const std::string& path);
    virtual ~CIniFile();

    CIniFile(const CIniFile&) = default;
    CIniFile& operator=(const CIniFile&) = default;
    CIniFile(CIniFile&&) noexcept = default;
    CIniFile& operator=(CIniFile&&) noexcept = default;

    // Loads the file's bytes. Returns true if at least one byte was read.
    // A missing, unreadable or empty file leaves a one-byte text holding a
    // single zero byte and returns false; every look-up then reports "not
    // found". The path is remembered as the default target of Save() even
    // when loading fails. (Paths were once limited to 260 bytes; any length
    // is kept here, without truncation.)
    bool Open(const std::string& path);

    // Loads the given bytes exactly as Open loads a file's bytes; an empty
    // input behaves as an empty file. The remembered path is not changed.
    void LoadText(std::string_view bytes);

    // Writes the text unchanged, in binary mode, to the remembered path or to
    // the given one. Returns false when the target cannot be created or not
    // every byte could be written, true otherwise.
    bool Save();
    bool Save(const std::string& path);

    // Frees the text and the section index.
    void Clear();

    // The text itself (not zero-terminated) and its length in bytes.
    const char* Data() const { return text_.data(); }
    std::size_t Length() const { return text_.size(); }
    // The path given to the last Open (or the constructor).
    const std::string& Path() const { return path_; }

    // 1 + the number of LF bytes among the first `position` bytes (the
    // position is clamped to the text).
    int LineNumberAt(int position) const;

    // The key's value, or "Notfound" when the section or the key is missing.
    std::string ReadString(std::string_view section, std::string_view key) const;
    // The value converted by atoi rules (leading white space, optional sign,
    // digits; no digits gives 0; out-of-range numbers saturate).
    int ReadInt(std::string_view section, std::string_view key) const;

    // Reads by line number: line n (from 0) after the section header.
    // ReadStringAt gives "" and ReadIntAt kNotFoundInt when that line has no
    // '=' before its end or the end of the text has been passed.
    std::string ReadStringAt(std::string_view section, int n) const;
    int ReadIntAt(std::string_view section, int n) const;
    // The key name of line n after the header.
    std::string ReadKeyAt(std::string_view section, int n) const;

    // Lines after the header up to the first line that starts with CR, LF,
    // TAB, blank, '/', 0xFF or 0xFD, or the end of the text.
    int CountSectionLines(std::string_view section) const;

    // Sets the key's value in memory, creating the key or the section when
    // needed. Returns true, except for a key longer than kMaxKeyLength, which
    // is refused (false, text unchanged).
    bool WriteString(std::string_view section, std::string_view key, std::string_view value);
    // Formats the number as "%d" and writes it as WriteString does.
    bool WriteInt(std::string_view section, std::string_view key, int value);

  private:
    static constexpr std::size_t kNpos = static_cast<std::size_t>(-1);

    // Where a matched key line was found.
    struct KeyHit {
        std::size_t nameEnd;  // the byte that ended the name (or the text's end)
        std::size_t value;    // the working position: just past the '=' or ';'
        bool hasValue;        // the name ended at '=' or ';'
    };

    void BuildIndex();
    std::size_t NextLine(std::size_t pos) const;
    std::size_t SkipLines(std::size_t lineStart, int n) const;
    std::size_t FindSection(std::string_view section) const;
    bool FindKey(std::size_t sectionPos, std::string_view key, KeyHit& hit) const;
    std::size_t ValueEnd(std::size_t pos) const;
    std::size_t BlockEnd(std::size_t sectionPos, int* lines) const;

    std::string path_;
    std::string text_;
    std::vector<std::size_t> sections_;  // position after each header's '['
};

}  // namespace kestrune
