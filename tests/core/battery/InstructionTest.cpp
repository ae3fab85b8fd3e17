// The instruction area: 44-byte rows in cp932 bytes with mixed ASCII and
// kana, and the instruction picture sequence with its wrap-around and the
// fallback when a picture cannot be drawn.

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/battery/InstructionText.h"
#include "core/battery/PictureSequence.h"

namespace kestrune {
namespace {

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
