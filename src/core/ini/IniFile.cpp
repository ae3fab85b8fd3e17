#include "core/ini/IniFile.h"

#include "core/text/Numbers.h"

#include <climits>
#include <cstdio>

namespace kestrune {

namespace {

constexpr char kNotFound[] = "Notfound";

// LF is accepted as an end everywhere a CR is, so LF-only files never let a
// name or value run into the next line. In CRLF text the CR comes first.
bool EndsSectionName(char c) {
    return c == ']' || c == ';' || c == '\t' || c == '\r' || c == '\n';
}

bool EndsKeyName(char c) {
    return c == '=' || c == ';' || c == '\r' || c == '\n';
}

bool EndsValue(char c) {
    return c == ';' || c == '\r' || c == '\t' || c == ']' || c == '\n';
}

// A line starting with one of these bytes ends a section's block.
bool EndsBlock(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b == '\r' || b == '\n' || b == '\t' || b == ' ' || b == '/' || b == 0xFF || b == 0xFD;
}

}  // namespace

CIniFile::CIniFile() = default;

CIniFile::CIniFile(const std::string& path) {
    Open(path);
}

CIniFile::~CIniFile() {
    Clear();
}

bool CIniFile::Open(const std::string& path) {
    path_ = path;
    Clear();
    std::string bytes;
    // One pass over the file instead of "take the size, then read": a file
    // that shrinks or vanishes meanwhile just yields the bytes that could
    // still be read, and none at all counts as an empty file. A path that
    // cannot be read (missing, a directory, no permission) gives no bytes.
    if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
        char chunk[16384];
        std::size_t got = 0;
        while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.append(chunk, got);
        std::fclose(f);
    }
    LoadText(bytes);
    return !bytes.empty();
}

void CIniFile::LoadText(std::string_view bytes) {
    if (bytes.empty()) {
        // Same state as a failed load: one zero byte, no sections.
        text_.assign(1, '\0');
    } else {
        text_.assign(bytes.data(), bytes.size());
    }
    BuildIndex();
}

bool CIniFile::Save() {
    return Save(path_);
}

bool CIniFile::Save(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool written = std::fwrite(text_.data(), 1, text_.size(), f) == text_.size();
    const bool closed = std::fclose(f) == 0;
    return written && closed;
}

void CIniFile::Clear() {
    text_.clear();
    text_.shrink_to_fit();
    sections_.clear();
    sections_.shrink_to_fit();
}

int CIniFile::LineNumberAt(int position) const {
    std::size_t end = position > 0 ? static_cast<std::size_t>(position) : 0;
    if (end > text_.size()) end = text_.size();
    long long line = 1;
    for (std::size_t i = 0; i < end; ++i) {
        if (text_[i] == '\n') ++line;
    }
    return line > INT_MAX ? INT_MAX : static_cast<int>(line);
}

void CIniFile::BuildIndex() {
    sections_.clear();
    for (std::size_t i = 0; i < text_.size(); ++i) {
        if (text_[i] == '[' && (i == 0 || text_[i - 1] == '\n')) sections_.push_back(i + 1);
    }
}

std::size_t CIniFile::NextLine(std::size_t pos) const {
    if (pos >= text_.size()) return text_.size();
    const std::size_t lf = text_.find('\n', pos);
    return lf == std::string::npos ? text_.size() : lf + 1;
}

std::size_t CIniFile::SkipLines(std::size_t lineStart, int n) const {
    for (int i = 0; i < n && lineStart < text_.size(); ++i) lineStart = NextLine(lineStart);
    return lineStart;
}

std::size_t CIniFile::FindSection(std::string_view section) const {
    for (const std::size_t start : sections_) {
        std::size_t end = start;
        while (end < text_.size() && !EndsSectionName(text_[end])) ++end;
        if (std::string_view(text_).substr(start, end - start) == section) return start;
    }
    return kNpos;
}

bool CIniFile::FindKey(std::size_t sectionPos, std::string_view key, KeyHit& hit) const {
    // A longer key could never fit the name buffer, so it matches nothing.
    if (key.size() > kMaxKeyLength) return false;
    const std::size_t size = text_.size();
    std::size_t pos = sectionPos;
    for (;;) {
        // Start of the next line; the header line itself is never a key line.
        const std::size_t lineStart = NextLine(pos);
        if (lineStart >= size) return false;
        std::size_t nameEnd = lineStart;
        while (nameEnd < size && !EndsKeyName(text_[nameEnd])) ++nameEnd;
        const bool hasValue = nameEnd < size && (text_[nameEnd] == '=' || text_[nameEnd] == ';');
        // Past the byte that ended the name; an LF stays put so that the next
        // round still finds it as the start of the following line.
        pos = (nameEnd < size && text_[nameEnd] != '\n') ? nameEnd + 1 : nameEnd;
        if (std::string_view(text_).substr(lineStart, nameEnd - lineStart) == key) {
            hit = KeyHit{nameEnd, pos, hasValue};
            return true;
        }
        if (pos >= size) return false;
    }
}

std::size_t CIniFile::ValueEnd(std::size_t pos) const {
    while (pos < text_.size() && !EndsValue(text_[pos])) ++pos;
    return pos;
}

// Walks the lines after the header and returns the start of the line that
// ends the block (or the text's end); `lines` receives the lines walked.
std::size_t CIniFile::BlockEnd(std::size_t sectionPos, int* lines) const {
    std::size_t pos = NextLine(sectionPos);
    int count = 0;
    while (pos < text_.size() && !EndsBlock(text_[pos])) {
        if (count < INT_MAX) ++count;
        pos = NextLine(pos);
    }
    if (lines) *lines = count;
    return pos;
}

std::string CIniFile::ReadString(std::string_view section, std::string_view key) const {
    const std::size_t sec = FindSection(section);
    if (sec == kNpos) return kNotFound;
    KeyHit hit{};
    if (!FindKey(sec, key, hit)) return kNotFound;
    if (!hit.hasValue) return std::string();
    return text_.substr(hit.value, ValueEnd(hit.value) - hit.value);
}

int CIniFile::ReadInt(std::string_view section, std::string_view key) const {
    const std::size_t sec = FindSection(section);
    if (sec == kNpos) return 0;
    KeyHit hit{};
    if (!FindKey(sec, key, hit) || !hit.hasValue) return 0;
    return LeadingInt(std::string_view(text_).substr(hit.value, ValueEnd(hit.value) - hit.value));
}

std::string CIniFile::ReadStringAt(std::string_view section, int n) const {
    const std::size_t sec = FindSection(section);
    if (sec == kNpos) return std::string();
    std::size_t pos = SkipLines(NextLine(sec), n);
    while (pos < text_.size() && text_[pos] != '=' && text_[pos] != '\r' && text_[pos] != '\n')
        ++pos;
    if (pos >= text_.size() || text_[pos] != '=') return std::string();
    ++pos;
    return text_.substr(pos, ValueEnd(pos) - pos);
}

int CIniFile::ReadIntAt(std::string_view section, int n) const {
    const std::size_t sec = FindSection(section);
    if (sec == kNpos) return kNotFoundInt;
    std::size_t pos = SkipLines(NextLine(sec), n);
    while (pos < text_.size() && text_[pos] != '=' && text_[pos] != '\r' && text_[pos] != '\n')
        ++pos;
    if (pos >= text_.size() || text_[pos] != '=') return kNotFoundInt;
    ++pos;
    return LeadingInt(std::string_view(text_).substr(pos, ValueEnd(pos) - pos));
}

std::string CIniFile::ReadKeyAt(std::string_view section, int n) const {
    const std::size_t sec = FindSection(section);
    if (sec == kNpos) return std::string();
    const std::size_t start = SkipLines(NextLine(sec), n);
    std::size_t end = start;
    while (end < text_.size() && !EndsKeyName(text_[end])) ++end;
    return text_.substr(start, end - start);
}

int CIniFile::CountSectionLines(std::string_view section) const {
    const std::size_t sec = FindSection(section);
    if (sec == kNpos) return 0;
    int lines = 0;
    BlockEnd(sec, &lines);
    return lines;
}

bool CIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    if (key.size() > kMaxKeyLength) return false;

    const std::size_t sec = FindSection(section);
    if (sec != kNpos) {
        KeyHit hit{};
        if (FindKey(sec, key, hit)) {
            if (hit.hasValue) {
                // The old value gives way; a comment and the line end stay.
                text_.replace(hit.value, ValueEnd(hit.value) - hit.value, value);
            } else {
                // A line with the bare name: give it its '=' and value.
                std::string insert;
                insert.reserve(value.size() + 1);
                insert += '=';
                insert += value;
                text_.insert(hit.nameEnd, insert);
            }
        } else {
            std::string line;
            line.reserve(key.size() + value.size() + 3);
            line.append(key).append("=").append(value).append("\r\n");
            // After the line that ends the block, or at the end of the text.
            const std::size_t blockEnd = BlockEnd(sec, nullptr);
            text_.insert(NextLine(blockEnd), line);
        }
    } else {
        // A new section goes to the end, with its key line right after the
        // header. The name is written whole, whatever its length, so that it
        // is found again by the next look-up.
        std::string tail;
        tail.reserve(section.size() + key.size() + value.size() + 10);
        tail.append("\r\n[").append(section).append("]\r\n");
        tail.append(key).append("=").append(value).append("\r\n");
        text_ += tail;
    }
    BuildIndex();
    return true;
}

bool CIniFile::WriteInt(std::string_view section, std::string_view key, int value) {
    return WriteString(section, key, std::to_string(value));
}

}  // namespace kestrune
