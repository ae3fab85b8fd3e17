#include "core/ini/IniFile.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <tuple>
#include <vector>

#include "support/ScratchDir.h"

using namespace std::string_literals;

namespace kestrune {
namespace {

const std::string kNoInt = std::to_string(CIniFile::kNotFoundInt);

CIniFile Load(std::string_view text) {
    CIniFile ini;
    ini.LoadText(text);
    return ini;
}

std::string TextOf(const CIniFile& ini) {
    return std::string(ini.Data(), ini.Length());
}

std::string Slurp(const std::string& path) {
    const auto bytes = testing::ScratchDir::Read(path);
    return std::string(bytes.begin(), bytes.end());
}

// One read and its expected result, as text. `read` is 's' ReadString,
// 'i' ReadInt, 'S' ReadStringAt, 'I' ReadIntAt, 'K' ReadKeyAt (these three
// take the line number in `key`) or 'n' CountSectionLines.
struct Lookup {
    char read;
    std::string section, key, value;
};

std::string Perform(const CIniFile& ini, const Lookup& l) {
    const int line = l.read == 's' || l.read == 'i' || l.read == 'n' ? 0 : std::stoi(l.key);
    switch (l.read) {
        case 's':
            return ini.ReadString(l.section, l.key);
        case 'i':
            return std::to_string(ini.ReadInt(l.section, l.key));
        case 'S':
            return ini.ReadStringAt(l.section, line);
        case 'I':
            return std::to_string(ini.ReadIntAt(l.section, line));
        case 'K':
            return ini.ReadKeyAt(l.section, line);
        default:
            return std::to_string(ini.CountSectionLines(l.section));
    }
}

void ExpectReads(const CIniFile& ini, const std::vector<Lookup>& lookups, const char* rule) {
    for (const Lookup& l : lookups) {
        EXPECT_EQ(Perform(ini, l), l.value)
            << rule << ": " << l.read << " [" << l.section << "] " << l.key;
    }
}

// Every read of a missing section or of an unloaded object gives these.
void ExpectNothingFound(const CIniFile& ini, const std::string& section) {
    ExpectReads(ini,
                {{'s', section, "TESTTYPE", "Notfound"},
                 {'i', section, "TESTTYPE", "0"},
                 {'S', section, "0", ""},
                 {'I', section, "0", kNoInt},
                 {'K', section, "0", ""},
                 {'n', section, "", "0"}},
                section.c_str());
}

TEST(IniFileLoad, MissingEmptyAndFreshObjects) {
    const testing::ScratchDir dir;
    const std::string missing = dir.File("does_not_exist.ini");
    CIniFile ini;
    EXPECT_EQ(ini.Length(), 0u);
    EXPECT_EQ((std::tuple{ini.Open(missing), ini.Path(), TextOf(ini)}),
              std::tuple(false, missing, "\0"s));
    ExpectNothingFound(ini, "INFO");
    ExpectNothingFound(ini, "");

    CIniFile fromPath(dir.Write("empty.ini", ""s)), loaded = Load("");
    EXPECT_EQ(std::tuple(TextOf(fromPath), TextOf(loaded)), std::tuple("\0"s, "\0"s));
    EXPECT_FALSE(ini.Open(dir.Path().string())) << "a directory is not a readable file";

    loaded.Clear();
    EXPECT_EQ(loaded.Length(), 0u);
    ExpectNothingFound(loaded, "INFO");
}

TEST(IniFileLoad, OpenReadsFileAndReplacesPreviousText) {
    const testing::ScratchDir dir;
    const std::string b = dir.Write("b.ini", "[OTHER]\r\nX=2\r\n"s);
    CIniFile ini(dir.Write("a.ini", "[INFO]\r\nTESTTYPE=1\r\n"s));
    EXPECT_EQ(ini.ReadString("INFO", "TESTTYPE"), "1");
    EXPECT_TRUE(ini.Open(b));
    EXPECT_EQ(
        std::tuple(ini.ReadString("INFO", "TESTTYPE"), ini.ReadString("OTHER", "X"), ini.Path()),
        std::tuple("Notfound", "2", b));
}

// The reading rules: each case is one text and the reads on it.
TEST(IniFileRead, TextRules) {
    struct Case {
        const char* rule;
        std::string text;
        std::vector<Lookup> lookups;
    };
    const std::string k63(63, 'k'), k64(64, 'k');
    const Case cases[] = {
        {"blanks are never trimmed",
         "[S]\r\nTOTAL = 5\r\nLEAD= 5\r\nEMPTY=\r\n",
         {{'s', "S", "TOTAL", "Notfound"},
          {'s', "S", "TOTAL ", " 5"},
          {'s', "S", "LEAD", " 5"},
          {'s', "S", "EMPTY", ""}}},
        {"a value ends at ; ] tab CR and the text's end, not at = [ or a blank",
         "[S]\r\nFOLDER=C:\\wav\\set1 ;where the sounds are\r\nA=x]y\r\nB=x\ty\r\nC=x;y\r\n"
         "D=x\ry\r\nE=a=b [c\r\nF=last",
         {{'s', "S", "FOLDER", "C:\\wav\\set1 "},
          {'s', "S", "A", "x"},
          {'s', "S", "B", "x"},
          {'s', "S", "C", "x"},
          {'s', "S", "D", "x"},
          {'s', "S", "E", "a=b [c"},
          {'s', "S", "F", "last"}}},
        {"a header starts only at a line start, and only after an LF",
         " [INFO]\r\nTOTAL=1\r\n[A]\r\nK=[INFO]\r\nX=2\r\n[B]\r[INFO]\r\nY=3\r\n",
         {{'s', "INFO", "TOTAL", "Notfound"},
          {'s', " [INFO]", "TOTAL", "Notfound"},
          {'s', "INFO", "X", "Notfound"},
          {'s', "INFO", "Y", "Notfound"}}},
        {"a section name ends at ] ; tab CR; blanks belong to it",
         "[ONE;c]\r\nK=1\r\n[TWO\tx]\r\nK=2\r\n[THREE\r\nK=3\r\n[ FOUR ]\r\nK=4\r\n[]\r\nK=5\r\n",
         {{'s', "ONE", "K", "1"},
          {'s', "ONE;c", "K", "Notfound"},
          {'s', "TWO", "K", "2"},
          {'s', "THREE", "K", "3"},
          {'s', "FOUR", "K", "Notfound"},
          {'s', " FOUR ", "K", "4"},
          {'s', "", "K", "5"}}},
        {"the key search runs into later sections; the header is no key line",
         "[INFO]\r\nNAME=a\r\n\r\n[MORE]\r\nTOTAL=3\r\n[LAST]\r\nTOTAL=4\r\nNAME=z\r\n",
         {{'s', "INFO", "TOTAL", "3"},
          {'s', "LAST", "NAME", "z"},
          {'s', "MORE", "NAME", "z"},
          {'s', "LAST", "MISSING", "Notfound"},
          {'s', "INFO", "INFO", "Notfound"}}},
        {"names are case-sensitive",
         "[info]\r\nTotal=1\r\n[INFO]\r\nTOTAL=2\r\n",
         {{'s', "INFO", "TOTAL", "2"},
          {'s', "info", "Total", "1"},
          {'s', "INFO", "Total", "Notfound"},
          {'s', "Info", "TOTAL", "Notfound"}}},
        {"duplicates resolve to the first; lines count from the first header",
         "[S]\r\nK=first\r\nK=second\r\n[S]\r\nK=third\r\nONLY=x\r\n",
         {{'s', "S", "K", "first"},
          {'s', "S", "ONLY", "x"},
          {'S', "S", "1", "second"},
          {'n', "S", "", "5"}}},
        {"comments: a ';' line is no key; a read continues past the ';' ending a name",
         "[S]\r\n;TOTAL=9\r\nNOTE;remark\r\nTOTAL=1\r\n",
         {{'s', "S", "TOTAL", "1"},
          {'K', "S", "0", ""},
          {'K', "S", "1", "NOTE"},
          {'s', "S", "NOTE", "remark"},
          {'s', "S", "", "TOTAL=9"}}},
        {"a lone CR ends names and values but not the line",
         "[S]\r\nA=1\rB=2\r\nC=3\r\n",
         {{'s', "S", "A", "1"},
          {'s', "S", "B", "Notfound"},
          {'s', "S", "C", "3"},
          {'K', "S", "1", "C"}}},
        {"LF-only text",
         "[S\nA=1\nFLAG\nB=two;c\n\n[T]\nC=x\n",
         {{'s', "S", "A", "1"},
          {'s', "S", "B", "two"},
          {'s', "T", "C", "x"},
          {'K', "S", "1", "FLAG"},
          {'n', "S", "", "3"}}},
        {"a key line without '='",
         "[S]\r\nFLAG\r\nA=1\r\nLAST",
         {{'s', "S", "FLAG", ""},
          {'i', "S", "FLAG", "0"},
          {'s', "S", "A", "1"},
          {'s', "S", "LAST", ""},
          {'K', "S", "0", "FLAG"},
          {'I', "S", "2", kNoInt}}},
        {"key names longer than 63 bytes never match",
         "[S]\r\n" + k64 + "=long\r\n" + k63 + "=ok\r\n",
         {{'s', "S", k63, "ok"}, {'s', "S", k64, "Notfound"}, {'K', "S", "0", k64}}},
        // The atoi rules themselves are LeadingInt's (LeadingIntTest); these check the wiring.
        {"integers follow atoi",
         "[N]\r\nNEG=-12\r\nLEAD=  42abc\r\nWORD=abc\r\nEMPTY=\r\nBIG=99999999999\r\n",
         {{'i', "N", "NEG", "-12"},
          {'i', "N", "LEAD", "42"},
          {'i', "N", "WORD", "0"},
          {'i', "N", "BIG", std::to_string(INT_MAX)},
          {'i', "N", "MISSING", "0"},
          {'I', "N", "1", "42"},
          {'I', "N", "3", "0"}}},  // an empty value after '=' is 0, not not-found
        {"by line number; the walk does not stop at the next header",
         "[S]\r\nA=1\r\nB=two\r\nNOEQ\r\nC=3;c\r\n\r\n[T]\r\nD=4\r\n",
         {{'S', "S", "0", "1"},    {'S', "S", "1", "two"},     {'S', "S", "2", ""},
          {'S', "S", "3", "3"},    {'S', "S", "4", ""},        {'S', "S", "6", "4"},
          {'S', "S", "7", ""},     {'S', "S", "-3", "1"},      {'I', "S", "0", "1"},
          {'I', "S", "1", "0"},    {'I', "S", "2", kNoInt},    {'I', "S", "3", "3"},
          {'I', "S", "4", kNoInt}, {'I', "S", "1000", kNoInt}, {'K', "S", "0", "A"},
          {'K', "S", "2", "NOEQ"}, {'K', "S", "3", "C"},       {'K', "S", "4", ""},
          {'K', "T", "0", "D"},    {'K', "T", "1", ""}}},
        {"cp932 bytes pass through; a byte-order mark is not skipped",
         "\xef\xbb\xbf[A]\r\n[\x8e\x8e\x8c\xb1]\r\nNAME=\x82\xa0\x82\xa2\r\n",
         {{'s', "\x8e\x8e\x8c\xb1", "NAME", "\x82\xa0\x82\xa2"}, {'s', "A", "NAME", "Notfound"}}},
    };
    for (const Case& c : cases) ExpectReads(Load(c.text), c.lookups, c.rule);
    ExpectNothingFound(Load(cases[0].text), "U");
}

TEST(IniFileRead, CountSectionLinesStopsAtBlockEndingLines) {
    struct Case {
        std::string ending;
        int lines;
    };
    const Case cases[] = {
        {"\r\n", 2},      {"\n", 2},          {"\tX=1\r\n", 2},   {" X=1\r\n", 2},
        {"//X=1\r\n", 2}, {"\xFFX=1\r\n", 2}, {"\xFDX=1\r\n", 2}, {"\xFEX=1\r\n", 5},
        {"X=1\r\n", 5},   {";c\r\n", 5},
    };
    for (const Case& c : cases) {
        const CIniFile ini = Load("[S]\r\nA=1\r\nB=2\r\n" + c.ending + "[T]\r\nC=3\r\n");
        EXPECT_EQ(ini.CountSectionLines("S"), c.lines) << "block ended by " << c.ending;
    }
    EXPECT_EQ(Load("[S]\r\nA=1\r\nB=2\r\n[T]\r\nC=3\r\n").CountSectionLines("S"), 4);
    EXPECT_EQ(Load("[S]\r\nA=1\r\nB=2").CountSectionLines("S"), 2);
    EXPECT_EQ(Load("[S]").CountSectionLines("S"), 0);
    EXPECT_EQ(Load("[S]\r\n\r\nA=1\r\n").CountSectionLines("S"), 0);
}

TEST(IniFileRead, LineNumberAt) {
    const CIniFile ini = Load("ab\r\ncd\nef\r\n");
    // The LF itself is not among the first 3 bytes.
    const std::pair<int, int> rows[] = {{0, 1}, {3, 1}, {4, 2}, {7, 3}, {11, 4}, {500, 4}, {-5, 1}};
    for (const auto& [offset, line] : rows) EXPECT_EQ(ini.LineNumberAt(offset), line) << offset;
    EXPECT_EQ(CIniFile().LineNumberAt(10), 1);
}

// One write into a loaded text: the whole text after it, and the value read back.
TEST(IniFileWrite, WhereAWriteLands) {
    struct Case {
        const char* rule;
        std::string before, section, key, value, after;
    };
    const std::string longName(300, 'n');
    const std::string sec = "\x8e\x8e\x8c\xb1", kana = "\x82\xa0\x82\xa2";  // cp932 bytes
    const Case cases[] = {
        {"a longer value replaces the old in place; comment and line end stay",
         "[S]\r\nA=12 ;note\r\n[T]\r\nB=2\r\n", "S", "A", "longer value",
         "[S]\r\nA=longer value;note\r\n[T]\r\nB=2\r\n"},
        {"... as does an empty one", "[S]\r\nA=12 ;note\r\n[T]\r\nB=2\r\n", "S", "A", "",
         "[S]\r\nA=;note\r\n[T]\r\nB=2\r\n"},
        {"a shorter one leaves what follows a ']'", "[S]\r\nA=y]z\r\n[T]\r\nB=2\r\n", "S", "A", "q",
         "[S]\r\nA=q]z\r\n[T]\r\nB=2\r\n"},
        {"a value ending at a tab keeps the tab", "[S]\r\nA=1\tx\r\nEND=9", "S", "A", "22",
         "[S]\r\nA=22\tx\r\nEND=9"},
        {"a value at the text's end", "[S]\r\nEND=9", "S", "END", "10", "[S]\r\nEND=10"},
        {"the key found in a later section is replaced there",
         "[INFO]\r\nA=1\r\n[MORE]\r\nTOTAL=3\r\n", "INFO", "TOTAL", "4",
         "[INFO]\r\nA=1\r\n[MORE]\r\nTOTAL=4\r\n"},
        {"a key line without '=' is completed", "[S]\r\nFLAG\r\nA=1\r\n", "S", "FLAG", "on",
         "[S]\r\nFLAG=on\r\nA=1\r\n"},
        {"... also in LF-only text", "[S]\nFLAG\nA=1", "S", "FLAG", "on", "[S]\nFLAG=on\nA=1"},
        {"a new key goes after a blank line ending the block", "[S]\r\nA=1\r\n\r\n[T]\r\nB=2\r\n",
         "S", "NEW", "v", "[S]\r\nA=1\r\n\r\nNEW=v\r\n[T]\r\nB=2\r\n"},
        {"... or after a '//' line", "[S]\r\nA=1\r\n// note\r\nX=0\r\n", "S", "NEW", "v",
         "[S]\r\nA=1\r\n// note\r\nNEW=v\r\nX=0\r\n"},
        {"... and at the text's end when no line ends the block", "[S]\r\nA=1\r\n[T]\r\nB=2\r\n",
         "S", "NEW", "v", "[S]\r\nA=1\r\n[T]\r\nB=2\r\nNEW=v\r\n"},
        {"... after a trailing blank line", "[S]\r\nA=1\r\n\r\n", "S", "NEW", "v",
         "[S]\r\nA=1\r\n\r\nNEW=v\r\n"},
        {"a new section is appended after a blank line", "[S]\r\nA=1\r\n", "NAME", "key", "value",
         "[S]\r\nA=1\r\n\r\n[NAME]\r\nkey=value\r\n"},
        {"... and takes later keys", "[S]\r\nA=1\r\n\r\n[NAME]\r\nkey=value\r\n", "NAME", "k2",
         "v2", "[S]\r\nA=1\r\n\r\n[NAME]\r\nkey=value\r\nk2=v2\r\n"},
        {"a section name of any length", "[S]\r\n", longName, "K", "V",
         "[S]\r\n\r\n[" + longName + "]\r\nK=V\r\n"},
        {"cp932 values", "[" + sec + "]\r\nNAME=x\r\n", sec, "NAME", kana,
         "[" + sec + "]\r\nNAME=" + kana + "\r\n"},
        {"cp932 section and key names", "[S]\r\n", kana, sec, kana,
         "[S]\r\n\r\n[" + kana + "]\r\n" + sec + "=" + kana + "\r\n"},
        {"a key name of 63 bytes", "[S]\r\n", "S", std::string(63, 'k'), "v",
         "[S]\r\n" + std::string(63, 'k') + "=v\r\n"},
    };
    for (const Case& c : cases) {
        CIniFile ini = Load(c.before);
        EXPECT_TRUE(ini.WriteString(c.section, c.key, c.value)) << c.rule;
        EXPECT_EQ(TextOf(ini), c.after) << c.rule;
        EXPECT_EQ(ini.ReadString(c.section, c.key), c.value) << c.rule;
        // The index follows the grown or shrunk text.
        EXPECT_EQ(ini.ReadString("T", "B"), Load(c.after).ReadString("T", "B")) << c.rule;
    }

    CIniFile empty = Load("[S]\r\n");
    EXPECT_FALSE(empty.WriteString("S", std::string(64, 'k'), "v"));
    EXPECT_EQ(TextOf(empty), "[S]\r\n");
    empty.WriteInt("S", "N", -42);
    EXPECT_EQ(TextOf(empty), "[S]\r\nN=-42\r\n");
    EXPECT_EQ(empty.ReadInt("S", "N"), -42);

    // An unloaded object gets the new section too; after a failed load it
    // follows the one zero byte held.
    CIniFile fresh;
    fresh.WriteString("S", "K", "V");
    EXPECT_EQ(TextOf(fresh), "\r\n[S]\r\nK=V\r\n");

    const testing::ScratchDir dir;
    CIniFile failed(dir.File("nope.ini"));
    failed.WriteString("S", "K", "V");
    EXPECT_EQ(TextOf(failed), "\0\r\n[S]\r\nK=V\r\n"s);
    EXPECT_EQ(failed.ReadString("S", "K"), "V");
}

TEST(IniFileSave, RoundTripIsByteExactAndUnwritableTargetsAreReported) {
    const std::string text =
        "[INFO]\r\nTESTTYPE=1 ;c\r\nNAME=\x82\xa0\x82\xa2\r\n\r\n"
        "\xef\xbb\xbflone\rcr\nlf only\n\0zero\xff\xfd"s;
    const testing::ScratchDir dir;
    const std::string first = dir.Write("round1.ini", text);
    const std::string second = dir.File("round2.ini");

    CIniFile ini;
    ASSERT_TRUE(ini.Open(first));
    EXPECT_EQ(TextOf(ini), text);
    ASSERT_TRUE(ini.Save(second));
    EXPECT_EQ(Slurp(second), text);

    ini.WriteString("INFO", "TESTTYPE", "2");
    ASSERT_TRUE(ini.Save());
    const std::string changed = Slurp(first);
    EXPECT_EQ(changed, TextOf(ini));
    EXPECT_NE(changed.find("TESTTYPE=2;c\r\n"), std::string::npos);

    CIniFile reread(first);
    EXPECT_EQ(std::tuple(reread.ReadString("INFO", "TESTTYPE"), reread.ReadString("INFO", "NAME")),
              std::tuple("2", "\x82\xa0\x82\xa2"));

    // Targets that cannot be created: no folder, no path ever given, a directory.
    CIniFile pathless = Load("[S]\r\nA=1\r\n");
    EXPECT_FALSE(ini.Save(dir.File("no_such_dir/x.ini")));
    EXPECT_FALSE(pathless.Save());
    EXPECT_FALSE(ini.Save(dir.Path().string()));
}

}  // namespace
}  // namespace kestrune
