#include "core/ini/IniFile.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "support/ScratchDir.h"

using namespace std::string_literals;

namespace kestrune {
namespace {

constexpr int kNoInt = CIniFile::kNotFoundInt;

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

// Every read of a missing section or of an unloaded object gives these.
void ExpectNothingFound(const CIniFile& ini, std::string_view section) {
    EXPECT_EQ(ini.ReadString(section, "TESTTYPE"), "Notfound");
    EXPECT_EQ(ini.ReadInt(section, "TESTTYPE"), 0);
    EXPECT_EQ(ini.ReadStringAt(section, 0), "");
    EXPECT_EQ(ini.ReadIntAt(section, 0), kNoInt);
    EXPECT_EQ(ini.ReadKeyAt(section, 0), "");
    EXPECT_EQ(ini.CountSectionLines(section), 0);
}

TEST(IniFileLoad, MissingEmptyAndFreshObjects) {
    const testing::ScratchDir dir;
    const std::string missing = dir.File("does_not_exist.ini");
    CIniFile ini;
    EXPECT_EQ(ini.Length(), 0u);
    EXPECT_FALSE(ini.Open(missing));
    EXPECT_EQ(ini.Path(), missing);
    ASSERT_EQ(ini.Length(), 1u);
    EXPECT_EQ(ini.Data()[0], '\0');
    ExpectNothingFound(ini, "INFO");
    ExpectNothingFound(ini, "");

    CIniFile fromPath(dir.Write("empty.ini", ""s));
    EXPECT_EQ(TextOf(fromPath), "\0"s);
    ExpectNothingFound(fromPath, "INFO");

    CIniFile loaded = Load("");
    EXPECT_EQ(TextOf(loaded), "\0"s);
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
    EXPECT_EQ(ini.ReadString("INFO", "TESTTYPE"), "Notfound");
    EXPECT_EQ(ini.ReadString("OTHER", "X"), "2");
    EXPECT_EQ(ini.Path(), b);
}

// ReadString's text rules: each case is one text and the look-ups on it.
TEST(IniFileRead, ReadStringTextRules) {
    struct Lookup {
        std::string section, key, value;
    };
    struct Case {
        const char* rule;
        std::string text;
        std::vector<Lookup> lookups;
    };
    const Case cases[] = {
        {"blanks are never trimmed",
         "[S]\r\nTOTAL = 5\r\nLEAD= 5\r\nEMPTY=\r\n",
         {{"S", "TOTAL", "Notfound"},
          {"S", "TOTAL ", " 5"},
          {"S", "LEAD", " 5"},
          {"S", "EMPTY", ""}}},
        {"a value ends at ; ] tab CR and the text's end, not at = [ or a blank",
         "[S]\r\nFOLDER=C:\\wav\\set1 ;where the sounds are\r\nA=x]y\r\nB=x\ty\r\nC=x;y\r\n"
         "D=x\ry\r\nE=a=b [c\r\nF=last",
         {{"S", "FOLDER", "C:\\wav\\set1 "},
          {"S", "A", "x"},
          {"S", "B", "x"},
          {"S", "C", "x"},
          {"S", "D", "x"},
          {"S", "E", "a=b [c"},
          {"S", "F", "last"}}},
        {"a header starts only at a line start",
         " [INFO]\r\nTOTAL=1\r\n",
         {{"INFO", "TOTAL", "Notfound"}, {" [INFO]", "TOTAL", "Notfound"}}},
        {"a '[' inside a value is no header",
         "[A]\r\nK=[INFO]\r\nTOTAL=2\r\n",
         {{"INFO", "TOTAL", "Notfound"}}},
        {"only an LF starts a line", "[A]\r[INFO]\r\nTOTAL=3\r\n", {{"INFO", "TOTAL", "Notfound"}}},
        {"a section name ends at ] ; tab CR; blanks belong to it",
         "[ONE;c]\r\nK=1\r\n[TWO\tx]\r\nK=2\r\n[THREE\r\nK=3\r\n[ FOUR ]\r\nK=4\r\n[]\r\nK=5\r\n",
         {{"ONE", "K", "1"},
          {"ONE;c", "K", "Notfound"},
          {"TWO", "K", "2"},
          {"THREE", "K", "3"},
          {"FOUR", "K", "Notfound"},
          {" FOUR ", "K", "4"},
          {"", "K", "5"}}},
        {"the key search runs into later sections; the header is no key line",
         "[INFO]\r\nNAME=a\r\n\r\n[MORE]\r\nTOTAL=3\r\n[LAST]\r\nTOTAL=4\r\nNAME=z\r\n",
         {{"INFO", "TOTAL", "3"},
          {"LAST", "NAME", "z"},
          {"MORE", "NAME", "z"},
          {"LAST", "MISSING", "Notfound"},
          {"INFO", "INFO", "Notfound"}}},
        {"names are case-sensitive",
         "[info]\r\nTotal=1\r\n[INFO]\r\nTOTAL=2\r\n",
         {{"INFO", "TOTAL", "2"},
          {"info", "Total", "1"},
          {"INFO", "Total", "Notfound"},
          {"Info", "TOTAL", "Notfound"}}},
    };
    for (const Case& c : cases) {
        const CIniFile ini = Load(c.text);
        for (const Lookup& l : c.lookups) {
            EXPECT_EQ(ini.ReadString(l.section, l.key), l.value)
                << c.rule << ": [" << l.section << "] " << l.key;
        }
    }
}

TEST(IniFileRead, DuplicatesResolveToTheFirst) {
    const CIniFile ini = Load(
        "[S]\r\nK=first\r\nK=second\r\n"
        "[S]\r\nK=third\r\nONLY=x\r\n");
    EXPECT_EQ(ini.ReadString("S", "K"), "first");
    EXPECT_EQ(ini.ReadString("S", "ONLY"), "x");
    EXPECT_EQ(ini.ReadStringAt("S", 1), "second");
    EXPECT_EQ(ini.CountSectionLines("S"), 5) << "counted from the first header";
}

TEST(IniFileRead, CommentsInNamesAndLines) {
    const CIniFile ini = Load(
        "[S]\r\n"
        ";TOTAL=9\r\n"
        "NOTE;remark\r\n"
        "TOTAL=1\r\n");
    EXPECT_EQ(ini.ReadString("S", "TOTAL"), "1");
    EXPECT_EQ(ini.ReadKeyAt("S", 0), "");
    EXPECT_EQ(ini.ReadKeyAt("S", 1), "NOTE");
    // The read continues just past the ';' that ended the name.
    EXPECT_EQ(ini.ReadString("S", "NOTE"), "remark");
    EXPECT_EQ(ini.ReadString("S", ""), "TOTAL=9");
}

TEST(IniFileRead, LoneCrEndsNamesAndValuesButNotTheLine) {
    const CIniFile ini = Load("[S]\r\nA=1\rB=2\r\nC=3\r\n");
    EXPECT_EQ(ini.ReadString("S", "A"), "1");
    EXPECT_EQ(ini.ReadString("S", "B"), "Notfound");
    EXPECT_EQ(ini.ReadString("S", "C"), "3");
    EXPECT_EQ(ini.ReadKeyAt("S", 1), "C");
}

TEST(IniFileRead, LineFeedOnlyText) {
    const CIniFile ini = Load("[S\nA=1\nFLAG\nB=two;c\n\n[T]\nC=x\n");
    EXPECT_EQ(ini.ReadString("S", "A"), "1");
    EXPECT_EQ(ini.ReadString("S", "FLAG"), "") << "must not run into the next line";
    EXPECT_EQ(ini.ReadString("S", "B"), "two");
    EXPECT_EQ(ini.ReadString("T", "C"), "x");
    EXPECT_EQ(ini.ReadKeyAt("S", 1), "FLAG");
    EXPECT_EQ(ini.ReadStringAt("S", 1), "");
    EXPECT_EQ(ini.ReadIntAt("S", 1), kNoInt);
    EXPECT_EQ(ini.ReadStringAt("S", 2), "two");
    EXPECT_EQ(ini.CountSectionLines("S"), 3);
    EXPECT_EQ(Load("[S]\nK=v").ReadString("S", "K"), "v");
}

TEST(IniFileRead, KeyLineWithoutEquals) {
    const CIniFile ini = Load("[S]\r\nFLAG\r\nA=1\r\nLAST");
    EXPECT_EQ(ini.ReadString("S", "FLAG"), "");
    EXPECT_EQ(ini.ReadInt("S", "FLAG"), 0);
    EXPECT_EQ(ini.ReadString("S", "A"), "1");
    EXPECT_EQ(ini.ReadString("S", "LAST"), "");
    EXPECT_EQ(ini.ReadStringAt("S", 0), "");
    EXPECT_EQ(ini.ReadIntAt("S", 0), kNoInt);
    EXPECT_EQ(ini.ReadKeyAt("S", 0), "FLAG");
    EXPECT_EQ(ini.ReadIntAt("S", 2), kNoInt);
}

TEST(IniFileRead, KeyNamesLongerThan63BytesNeverMatch) {
    const std::string k63(63, 'k');
    const std::string k64(64, 'k');
    const CIniFile ini = Load("[S]\r\n" + k64 + "=long\r\n" + k63 + "=ok\r\n");
    EXPECT_EQ(ini.ReadString("S", k63), "ok");
    EXPECT_EQ(ini.ReadString("S", k64), "Notfound");
    EXPECT_EQ(ini.ReadKeyAt("S", 0), k64);

    CIniFile w = Load("[S]\r\n");
    EXPECT_FALSE(w.WriteString("S", k64, "v"));
    EXPECT_EQ(TextOf(w), "[S]\r\n");
    EXPECT_TRUE(w.WriteString("S", k63, "v"));
    EXPECT_EQ(w.ReadString("S", k63), "v");
}

// The atoi rules themselves are LeadingInt's (MappingsTest); these check the wiring.
TEST(IniFileRead, IntegersFollowAtoi) {
    const CIniFile ini =
        Load("[N]\r\nNEG=-12\r\nLEAD=  42abc\r\nWORD=abc\r\nEMPTY=\r\nBIG=99999999999\r\n");
    EXPECT_EQ(ini.ReadInt("N", "NEG"), -12);
    EXPECT_EQ(ini.ReadInt("N", "LEAD"), 42);
    EXPECT_EQ(ini.ReadInt("N", "WORD"), 0);
    EXPECT_EQ(ini.ReadInt("N", "EMPTY"), 0);
    EXPECT_EQ(ini.ReadInt("N", "BIG"), INT_MAX);
    EXPECT_EQ(ini.ReadInt("N", "MISSING"), 0);
    EXPECT_EQ(ini.ReadIntAt("N", 1), 42);
    EXPECT_EQ(ini.ReadIntAt("N", 3), 0) << "an empty value after '=' is 0, not not-found";
}

TEST(IniFileRead, ByLineNumber) {
    const CIniFile ini = Load(
        "[S]\r\n"
        "A=1\r\n"
        "B=two\r\n"
        "NOEQ\r\n"
        "C=3;c\r\n"
        "\r\n"
        "[T]\r\n"
        "D=4\r\n");
    EXPECT_EQ(ini.ReadStringAt("S", 0), "1");
    EXPECT_EQ(ini.ReadStringAt("S", 1), "two");
    EXPECT_EQ(ini.ReadStringAt("S", 2), "");
    EXPECT_EQ(ini.ReadStringAt("S", 3), "3");
    EXPECT_EQ(ini.ReadStringAt("S", 4), "");
    EXPECT_EQ(ini.ReadStringAt("S", 6), "4") << "the walk does not stop at the next header";
    EXPECT_EQ(ini.ReadStringAt("S", 7), "");
    EXPECT_EQ(ini.ReadStringAt("S", -3), "1");

    EXPECT_EQ(ini.ReadIntAt("S", 0), 1);
    EXPECT_EQ(ini.ReadIntAt("S", 1), 0);
    EXPECT_EQ(ini.ReadIntAt("S", 2), kNoInt);
    EXPECT_EQ(ini.ReadIntAt("S", 3), 3);
    EXPECT_EQ(ini.ReadIntAt("S", 4), kNoInt);
    EXPECT_EQ(ini.ReadIntAt("S", 1000), kNoInt);

    EXPECT_EQ(ini.ReadKeyAt("S", 0), "A");
    EXPECT_EQ(ini.ReadKeyAt("S", 2), "NOEQ");
    EXPECT_EQ(ini.ReadKeyAt("S", 3), "C");
    EXPECT_EQ(ini.ReadKeyAt("S", 4), "");
    EXPECT_EQ(ini.ReadKeyAt("T", 0), "D");
    EXPECT_EQ(ini.ReadKeyAt("T", 1), "");

    ExpectNothingFound(ini, "U");
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
    EXPECT_EQ(ini.LineNumberAt(0), 1);
    EXPECT_EQ(ini.LineNumberAt(3), 1) << "the LF itself is not among the first 3 bytes";
    EXPECT_EQ(ini.LineNumberAt(4), 2);
    EXPECT_EQ(ini.LineNumberAt(7), 3);
    EXPECT_EQ(ini.LineNumberAt(11), 4);
    EXPECT_EQ(ini.LineNumberAt(500), 4);
    EXPECT_EQ(ini.LineNumberAt(-5), 1);
    EXPECT_EQ(CIniFile().LineNumberAt(10), 1);
}

TEST(IniFileRead, Cp932BytesPassThrough) {
    const std::string sec = "\x8e\x8e\x8c\xb1";    // cp932 bytes of a two-character name
    const std::string value = "\x82\xa0\x82\xa2";  // and of a two-kana value
    const CIniFile ini = Load("\xef\xbb\xbf[A]\r\n[" + sec + "]\r\nNAME=" + value + "\r\n");
    EXPECT_EQ(ini.ReadString(sec, "NAME"), value);
    EXPECT_EQ(ini.ReadString("A", "NAME"), "Notfound") << "a byte-order mark is not skipped";

    CIniFile w = Load("[" + sec + "]\r\nNAME=x\r\n");
    w.WriteString(sec, "NAME", value);
    w.WriteString(value, sec, value);
    EXPECT_EQ(TextOf(w), "[" + sec + "]\r\nNAME=" + value + "\r\n\r\n[" + value + "]\r\n" + sec +
                             "=" + value + "\r\n");
}

TEST(IniFileWrite, ReplacesValueInPlaceKeepingCommentAndLineEnd) {
    CIniFile ini = Load("[S]\r\nA=12 ;note\r\nB=x\r\n[T]\r\nC=3\r\n");
    EXPECT_TRUE(ini.WriteString("S", "A", "longer value"));
    EXPECT_EQ(TextOf(ini), "[S]\r\nA=longer value;note\r\nB=x\r\n[T]\r\nC=3\r\n");
    EXPECT_EQ(ini.ReadString("T", "C"), "3") << "index follows the grown text";

    EXPECT_TRUE(ini.WriteString("S", "A", ""));
    EXPECT_EQ(TextOf(ini), "[S]\r\nA=;note\r\nB=x\r\n[T]\r\nC=3\r\n");
    EXPECT_EQ(ini.ReadString("T", "C"), "3") << "index follows the shrunk text";

    EXPECT_TRUE(ini.WriteString("S", "B", "y]z"));
    EXPECT_EQ(TextOf(ini), "[S]\r\nA=;note\r\nB=y]z\r\n[T]\r\nC=3\r\n");
    EXPECT_EQ(ini.ReadString("S", "B"), "y");

    EXPECT_TRUE(ini.WriteString("S", "B", "q"));
    EXPECT_EQ(TextOf(ini), "[S]\r\nA=;note\r\nB=q]z\r\n[T]\r\nC=3\r\n");
}

// One write into a loaded text: the whole text after it, and the value read back.
TEST(IniFileWrite, WhereAWriteLands) {
    struct Case {
        const char* rule;
        std::string before, section, key, value, after;
    };
    const std::string longName(300, 'n');
    const Case cases[] = {
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
    };
    for (const Case& c : cases) {
        CIniFile ini = Load(c.before);
        EXPECT_TRUE(ini.WriteString(c.section, c.key, c.value)) << c.rule;
        EXPECT_EQ(TextOf(ini), c.after) << c.rule;
        EXPECT_EQ(ini.ReadString(c.section, c.key), c.value) << c.rule;
    }

    // The index follows an inserted line.
    CIniFile blank = Load("[S]\r\nA=1\r\n\r\n[T]\r\nB=2\r\n");
    blank.WriteString("S", "NEW", "v");
    EXPECT_EQ(blank.ReadString("T", "B"), "2");

    CIniFile empty = Load("[S]\r\n");
    empty.WriteInt("S", "N", -42);
    EXPECT_EQ(TextOf(empty), "[S]\r\nN=-42\r\n");
    EXPECT_EQ(empty.ReadInt("S", "N"), -42);
}

TEST(IniFileWrite, UnloadedObjectsGetTheNewSection) {
    CIniFile fresh;
    fresh.WriteString("S", "K", "V");
    EXPECT_EQ(TextOf(fresh), "\r\n[S]\r\nK=V\r\n");

    // A failed load holds one zero byte, and the new text follows it.
    const testing::ScratchDir dir;
    CIniFile failed(dir.File("nope.ini"));
    failed.WriteString("S", "K", "V");
    EXPECT_EQ(TextOf(failed), "\0\r\n[S]\r\nK=V\r\n"s);
    EXPECT_EQ(failed.ReadString("S", "K"), "V");
}

TEST(IniFileSave, RoundTripIsByteExact) {
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
    EXPECT_EQ(reread.ReadString("INFO", "TESTTYPE"), "2");
    EXPECT_EQ(reread.ReadString("INFO", "NAME"), "\x82\xa0\x82\xa2");
}

TEST(IniFileSave, ReportsTargetsThatCannotBeCreated) {
    const testing::ScratchDir dir;
    CIniFile ini = Load("[S]\r\nA=1\r\n");
    EXPECT_FALSE(ini.Save(dir.File("no_such_dir/x.ini")));
    EXPECT_FALSE(ini.Save()) << "no path was ever given";
    EXPECT_FALSE(ini.Save(dir.Path().string())) << "a directory";
}

}  // namespace
}  // namespace kestrune
