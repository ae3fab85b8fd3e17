// Scenario files (the TESTTYPE table, cp932 and UTF-8 files with legacy '\'
// paths, missing keys, the refusals of a test's start) and what the test
// windows show from them: instruction rows of 44 cp932 bytes, and the
// instruction pictures with their wrap-around and fallback.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "core/battery/InstructionText.h"
#include "core/battery/PictureSequence.h"
#include "core/battery/Scenario.h"
#include "core/text/Encoding.h"
#include "support/ScratchDir.h"

namespace kestrune {
namespace {

// A scenario with Japanese values, backslash folders (one through "ソ",
// whose second cp932 byte is 0x5C) and a drive letter, in CRLF lines.
const char* const kScenarioUtf8 =
    "[INFO]\r\nTESTTYPE=SINGLE\r\nTOTAL=2\r\nPICTUREPATH=画像\\ソ\\\r\nPICTURENUMBER=3\r\n"
    "FILEPATH=C:\\音声\\\r\nVOLUME=70\r\n\r\n"
    "[DATA1]\r\nSENTENCE=こんにちは\r\nSPEED=1.5\r\nLEVEL=-12\r\nFILE=wav\\ソース.wav\r\n\r\n"
    "[DATA2]\r\nSENTENCE=さようなら\r\nSPEED=0.75\r\nLEVEL=3\r\nFILE=/data/stimuli/b.wav\r\n";

// The same scenario saved in cp932 (where the trail byte of "ソ" is a
// backslash), in UTF-8 and in UTF-8 with a byte-order mark.
TEST(ScenarioFileTest, Cp932AndUtf8FilesWithBackslashPaths) {
    testing::ScratchDir dir;
    const std::optional<std::string> cp932 = Utf8ToCp932(kScenarioUtf8);
    ASSERT_TRUE(cp932);
    ASSERT_NE(cp932->find("\x83\x5C"), std::string::npos);
    const std::string folder = dir.Path().string();
    for (const std::string& text :
         {*cp932, std::string(kScenarioUtf8), "\xEF\xBB\xBF" + std::string(kScenarioUtf8)}) {
        const Scenario s = Scenario::Load(dir.Write("scenario.ini", text));
        EXPECT_EQ(std::tuple(s.Opened(), s.TestType(), s.Kind(), s.Total(), s.PictureNumber(),
                             s.Volume()),
                  std::tuple(true, "SINGLE", TestKind::SentenceRecognition, 2, 3, 70));
        EXPECT_EQ(
            std::tuple(s.PicturePath(), s.FilePath(), s.ItemText(1, "SENTENCE"),
                       s.ItemText(2, "SENTENCE"), s.ItemInt(1, "LEVEL")),
            std::tuple(folder + "/画像/ソ/", folder + "/音声/", "こんにちは", "さようなら", -12));
        EXPECT_DOUBLE_EQ(s.ItemReal(1, "SPEED"), 1.5);
        EXPECT_DOUBLE_EQ(s.ItemReal(2, "SPEED"), 0.75);
        EXPECT_EQ(s.ItemPath(1, "FILE"), folder + "/wav/ソース.wav");
        EXPECT_EQ(s.ItemPath(2, "FILE"), "/data/stimuli/b.wav");
    }
}

TEST(ScenarioFileTest, MissingKeysReadNotfoundAndZero) {
    const Scenario s = Scenario::FromText("[INFO]\r\nTOTAL=1\r\n[DATA1]\r\nA=x\r\n", "/scen");
    EXPECT_EQ(std::tuple(s.TestType(), s.Kind(), s.PictureNumber(), s.Volume()),
              std::tuple("Notfound", std::nullopt, 0, 0));
    EXPECT_EQ(std::tuple(s.ItemText(1, "SPEED"), s.ItemInt(1, "SPEED"), s.ItemReal(1, "SPEED")),
              std::tuple("Notfound", 0, 0.0));
    EXPECT_EQ(std::tuple(s.Has("DATA1", "SPEED"), s.Has("DATA1", "A")), std::tuple(false, true));
    EXPECT_EQ(s.ItemInt(7, "A"), 0);  // no such section
    EXPECT_EQ(Scenario::ItemSection(12), "DATA12");
}

TEST(ScenarioFileTest, LocalPaths) {
    struct Case {
        const char* value;
        const char* folder;
        const char* expected;
    };
    const Case cases[] = {
        {"pic\\", "/s", "/s/pic/"},
        {"pic", "/s", "/s/pic"},  // no trailing separator: names run into it
        {"", "/s", "/s/"},
        {"\\\\server\\share\\", "/s", "//server/share/"},
        {"D:\\a\\b.wav", "/s/", "/s/a/b.wav"},
        {"d:rel.wav", "/s", "/s/rel.wav"},
        {"/abs/x.wav", "/s", "/abs/x.wav"},
        {"rel\\x.wav", "", "rel/x.wav"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Scenario::LocalPath(c.value, c.folder), c.expected) << c.value;
    }
}

TEST(ScenarioNumbersTest, LeadingReal) {
    const std::pair<const char*, double> rows[] = {{"1.5", 1.5},
                                                   {"  -2.25dB", -2.25},
                                                   {"+.5", 0.5},
                                                   {"1e3", 1000.0},
                                                   {"7,5", 7.0},
                                                   {"Notfound", 0.0},
                                                   {"", 0.0},
                                                   {"-", 0.0},
                                                   {".", 0.0},
                                                   {"1e999", HUGE_VAL},
                                                   {"-1e999", -HUGE_VAL},
                                                   {"1e-999", 0.0}};
    for (const auto& [text, value] : rows) EXPECT_DOUBLE_EQ(LeadingReal(text), value) << text;
}

TEST(TestTypeTableTest, ExactCaseSensitiveValues) {
    const std::pair<const char*, TestKind> expected[] = {
        {"SINGLE", TestKind::SentenceRecognition},
        {"TIME", TestKind::TimeListening},
        {"SYLLABLE", TestKind::InterruptedSpeech},
        {"SYLLABLEMASKING", TestKind::SyllableMasking},
        {"NEWSYLLABLEMASKING", TestKind::VowelDiscrimination},
        {"SYLLABLESPEEDUP", TestKind::SpeededSyllable},
        {"PLAY", TestKind::AudioPresentation},
    };
    ASSERT_EQ(TestTypeTable().size(), std::size(expected));
    for (const auto& [value, kind] : expected) {
        EXPECT_EQ(TestKindFor(value), kind) << value;
        EXPECT_EQ(TestTypeValue(kind), value);
    }
    for (const char* refused : {"single", "Single", "SINGLE ", " SINGLE", "SINGLE\r", "Notfound",
                                "", "SYLLABLEMASK", "SYLLABLE MASKING", "PLAYS", "PLAY2"}) {
        EXPECT_EQ(TestKindFor(refused), std::nullopt) << '"' << refused << '"';
    }
}

TEST(ScenarioCheckTest, StartRefusals) {
    using Messages = std::vector<std::string>;
    testing::ScratchDir dir;
    // An unreadable file reads as empty: no items.
    const Scenario missing = Scenario::Load(dir.File("none.ini"));
    EXPECT_FALSE(missing.Opened());
    for (const std::string total : {"", "TOTAL=0", "TOTAL=-3", "TOTAL=abc"}) {
        const ScenarioCheck check = CheckScenario(
            total.empty() ? missing : Scenario::FromText("[INFO]\r\n" + total + "\r\n", ""), 20);
        EXPECT_EQ(std::tie(check.result, check.messages),
                  std::tuple(ScenarioStart::NoItems, Messages{"No test item exits!"}))
            << total;
    }

    const Scenario three = Scenario::FromText("[INFO]\r\nTOTAL=3\r\n", "");
    ScenarioCheck check = CheckScenario(three, 20);
    EXPECT_EQ(std::tie(check.result, check.messages, check.itemCount),
              std::tuple(ScenarioStart::Ready, Messages{}, 3));
    EXPECT_EQ(CheckScenario(three, 3).result, ScenarioStart::Ready);
    EXPECT_EQ(CheckScenario(three, 0).result, ScenarioStart::Ready);
    check = CheckScenario(three, 2);  // beyond the item capacity
    EXPECT_EQ(
        std::tie(check.result, check.messages),
        std::tuple(ScenarioStart::LoadFailed, Messages{"Loading configuration file failed!"}));

    // The test's own item check: its message first, then the load failure;
    // items after the failing one are not looked at.
    std::vector<int> seen;
    check =
        CheckScenario(three, 20, [&seen](const Scenario&, int item) -> std::optional<std::string> {
            seen.push_back(item);
            if (item == 2) return std::string("item 2 refused");
            return std::nullopt;
        });
    EXPECT_EQ(std::tie(check.result, check.messages, seen),
              std::tuple(ScenarioStart::LoadFailed,
                         Messages{"item 2 refused", "Loading configuration file failed!"},
                         std::vector<int>{1, 2}));
}

std::string Repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s;
    return out;
}

std::vector<std::string> Texts(const std::vector<InstructionLine>& lines) {
    std::vector<std::string> texts;
    for (const InstructionLine& line : lines) texts.push_back(line.text);
    return texts;
}

TEST(InstructionTextTest, AsciiBreaksEvery44BytesAt16PixelPitch) {
    EXPECT_TRUE(LayoutInstructionText("").empty());
    EXPECT_EQ(Texts(LayoutInstructionText(Repeat("x", 44))),
              std::vector<std::string>{Repeat("x", 44)});

    const std::string text = Repeat("0123456789", 10);
    const std::vector<InstructionLine> lines = LayoutInstructionText(text);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].text, text.substr(0, 44));
    EXPECT_EQ(lines[1].text, text.substr(44, 44));
    EXPECT_EQ(lines[2].text, text.substr(88));
    for (std::size_t k = 0; k < lines.size(); ++k) {
        EXPECT_EQ(lines[k].x, 0);
        EXPECT_EQ(lines[k].y, static_cast<int>(16 * k));
    }
}

TEST(InstructionTextTest, KanaCountTwoBytesAndAreNeverSplit) {
    // 22 kana fill a row exactly.
    EXPECT_EQ(Texts(LayoutInstructionText(Repeat("あ", 23))),
              (std::vector<std::string>{Repeat("あ", 22), "あ"}));

    // After one ASCII byte the 22nd kana starts at byte 43 and straddles the
    // break: it stays whole in the first row, and the rows after it keep to
    // the 44-byte grid (the next break is again mid-kana, at byte 88).
    const std::string text = "a" + Repeat("か", 50);
    const std::vector<InstructionLine> lines = LayoutInstructionText(text);
    EXPECT_EQ(Texts(lines), (std::vector<std::string>{"a" + Repeat("か", 22), Repeat("か", 22),
                                                      Repeat("か", 6)}));

    // Mixed ASCII and kana: "ID:" (3) + 20 kana (40) = 43 bytes, then a kana
    // straddles; ASCII after it starts the second row.
    EXPECT_EQ(Texts(LayoutInstructionText("ID:" + Repeat("ア", 21) + "OK")),
              (std::vector<std::string>{"ID:" + Repeat("ア", 21), "OK"}));
    // A kana ending exactly on byte 44 leaves the next row to the ASCII.
    EXPECT_EQ(Texts(LayoutInstructionText("ab" + Repeat("ア", 21) + "cd")),
              (std::vector<std::string>{"ab" + Repeat("ア", 21), "cd"}));
}

TEST(InstructionTextTest, HalfWidthKanaAndUnmappedCharactersCountOneByte) {
    // The emoji has no cp932 form.
    EXPECT_EQ((std::vector{Cp932CharWidth("a"), Cp932CharWidth("ｱ"), Cp932CharWidth("ア"),
                           Cp932CharWidth("漢"), Cp932CharWidth("\xF0\x9F\x98\x80")}),
              (std::vector{1, 1, 2, 2, 1}));
    EXPECT_EQ(LayoutInstructionText(Repeat("ｱ", 44)).size(), 1u);
    EXPECT_EQ(Texts(LayoutInstructionText(Repeat("ｱ", 45))),
              (std::vector<std::string>{Repeat("ｱ", 44), "ｱ"}));
}

// Records the files asked for; draws those not in `broken`.
struct FakeDrawer {
    std::set<std::string> broken;
    std::vector<std::string> asked;
    PictureSequence::DrawPicture Fn() {
        return [this](const std::string& file) {
            asked.push_back(file);
            return broken.count(file) == 0;
        };
    }
};

// File names are appended to the folder as given; the number wraps both ways.
TEST(PictureSequenceTest, FileNamesAndWrappingBothWays) {
    EXPECT_EQ(PictureSequence("/s/画像/", 3).FileOf(2), "/s/画像/pic2.bmp");
    EXPECT_EQ(PictureSequence("/s/pics", 3).CurrentFile(), "/s/picspic1.bmp");
    EXPECT_EQ(PictureSequence("", 12).FileOf(12), "pic12.bmp");
    FakeDrawer drawer;
    PictureSequence pictures("p/", 3);
    EXPECT_EQ(pictures.Number(), 1);
    std::vector<int> forward;
    for (int i = 0; i < 4; ++i) {
        EXPECT_TRUE(pictures.Advance(drawer.Fn()).drawn);
        forward.push_back(pictures.Number());
    }
    EXPECT_EQ(forward, (std::vector<int>{2, 3, 1, 2}));
    std::vector<int> back;
    for (int i = 0; i < 4; ++i) {
        const PictureSequence::Outcome outcome = pictures.GoBack(drawer.Fn());
        EXPECT_TRUE(outcome.drawn);
        EXPECT_FALSE(outcome.message);
        back.push_back(pictures.Number());
    }
    EXPECT_EQ(back, (std::vector<int>{1, 3, 2, 1}));
    EXPECT_EQ(drawer.asked.size(), 8u);
    EXPECT_EQ(drawer.asked[2], "p/pic1.bmp");
}

TEST(PictureSequenceTest, FallbackThenMessage) {
    {  // advancing to a broken picture falls back to picture 1
        FakeDrawer drawer{.broken = {"p/pic2.bmp"}};
        PictureSequence pictures("p/", 4);
        const PictureSequence::Outcome outcome = pictures.Advance(drawer.Fn());
        EXPECT_TRUE(outcome.drawn);
        EXPECT_FALSE(outcome.message);
        EXPECT_EQ(pictures.Number(), 1);
        EXPECT_EQ(drawer.asked, (std::vector<std::string>{"p/pic2.bmp", "p/pic1.bmp"}));
    }
    {  // going back to a broken picture falls back to the last one
        FakeDrawer drawer{.broken = {"p/pic2.bmp"}};
        PictureSequence pictures("p/", 4);
        pictures.Advance(FakeDrawer{}.Fn());
        pictures.Advance(FakeDrawer{}.Fn());
        ASSERT_EQ(pictures.Number(), 3);
        const PictureSequence::Outcome outcome = pictures.GoBack(drawer.Fn());
        EXPECT_TRUE(outcome.drawn);
        EXPECT_EQ(pictures.Number(), 4);
        EXPECT_EQ(drawer.asked, (std::vector<std::string>{"p/pic2.bmp", "p/pic4.bmp"}));
    }
    {  // both fail: the message, and the number stays at the fallback
        FakeDrawer drawer{.broken = {"p/pic1.bmp", "p/pic2.bmp", "p/pic4.bmp"}};
        PictureSequence pictures("p/", 4);
        PictureSequence::Outcome outcome = pictures.Advance(drawer.Fn());
        EXPECT_FALSE(outcome.drawn);
        EXPECT_EQ(outcome.message, "Picture loads errer!");
        EXPECT_EQ(pictures.Number(), 1);
        outcome = pictures.GoBack(drawer.Fn());
        EXPECT_EQ(outcome.message, "Picture loads errer!");
        EXPECT_EQ(pictures.Number(), 4);
        // A paint that fails shows nothing and moves nothing.
        EXPECT_FALSE(pictures.Draw(drawer.Fn()));
        EXPECT_EQ(pictures.Number(), 4);
    }
}

}  // namespace
}  // namespace kestrune
