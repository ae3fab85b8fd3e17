// The simulated listeners: which kana a mistake may give, how often they are
// right against the model's own chance, and that the vowel listener leads
// the real staircase to its thresholds.

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "core/battery/ListenerModel.h"
#include "core/kana/KanaTable.h"

namespace kestrune {
namespace {

std::set<std::string> Kana(const std::vector<int>& numbers) {
    std::set<std::string> kana;
    for (const int n : numbers) kana.insert(SyllableToKana(n));
    return kana;
}

TEST(KanaListenerTest, MistakesStayNearThePlayedSyllable) {
    const std::pair<const char*, const char*> partners[] = {
        {"か", "が"}, {"ご", "こ"},     {"し", "じ"},     {"ぢ", "ち"},     {"ほ", "ぼ"},
        {"ぷ", "ふ"}, {"きゃ", "ぎゃ"}, {"じょ", "しょ"}, {"ぴゅ", "ひゅ"}, {"あ", "0"},
        {"ま", "0"},  {"を", "0"},      {"りゃ", "0"},    {"ん", "0"},
    };
    for (const auto& [kana, partner] : partners)
        EXPECT_EQ(SyllableToKana(VoicingPartner(KanaToSyllable(kana))), partner) << kana;

    struct Near {
        const char* kana;
        std::set<std::string> row;
        std::vector<std::string> inColumn, notInColumn;
    };
    const Near near[] = {
        {"か", {"き", "く", "け", "こ"}, {"あ", "さ", "が", "きゃ", "わ"}, {"か", "き", "こ"}},
        {"ゆ", {"や", "よ"}, {"う", "く", "きゅ"}, {"ゆ", "よ", "え"}},
        {"ん", {"わ"}, {"お", "こ", "ぽ"}, {"ん", "わ", "を"}},
        {"を", {}, {}, {"お"}},
    };
    for (const Near& n : near) {
        const int number = KanaToSyllable(n.kana);
        EXPECT_EQ(Kana(SameRowSyllables(number)), n.row) << n.kana;
        const std::set<std::string> column = Kana(SameColumnSyllables(number));
        for (const std::string& k : n.inColumn) EXPECT_EQ(column.count(k), 1u) << n.kana << k;
        for (const std::string& k : n.notInColumn) EXPECT_EQ(column.count(k), 0u) << n.kana << k;
    }
}

// Over many seeded draws the listener is right as often as its chance says,
// and every other answer is one of the mistakes allowed for that syllable.
TEST(KanaListenerTest, RightAsOftenAsTheModelSaysWrongOnlyNearby) {
    struct Case {
        const char* kana;
        double kept;
        int age;
    };
    const Case cases[] = {
        {"か", 0.5, 28},   {"か", 0.3, 67}, {"あ", 0.7, 46}, {"を", 0.2, 20},
        {"きゃ", 0.5, 41}, {"ぱ", 0.9, 80}, {"ん", 0.4, 34},
    };
    constexpr int kDraws = 4000;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.kana) + " " + std::to_string(c.kept));
        const int played = KanaToSyllable(c.kana);
        const KanaListenerTraits traits = KanaTraitsForAge(c.age);
        std::set<std::string> allowed = Kana(SameRowSyllables(played));
        for (const std::string& k : Kana(SameColumnSyllables(played))) allowed.insert(k);
        if (VoicingPartner(played) != 0) allowed.insert(SyllableToKana(VoicingPartner(played)));
        allowed.insert("");
        CrtRandom random(static_cast<std::uint32_t>(played * 31 + c.age));
        int right = 0;
        std::set<std::string> wrong;
        for (int i = 0; i < kDraws; ++i) {
            const std::string answer = KanaListenerAnswer(played, c.kept, traits, random);
            if (answer == c.kana)
                ++right;
            else
                EXPECT_EQ(allowed.count(answer), 1u) << answer;
            if (answer != c.kana) wrong.insert(answer);
        }
        EXPECT_NEAR(right / double(kDraws), KanaCorrectChance(traits, c.kept), 0.03);
        // Each kana of the row comes up among the mistakes, the last one too.
        for (const std::string& k : Kana(SameRowSyllables(played)))
            EXPECT_EQ(wrong.count(k), 1u) << k;
    }
    // Recognition falls with age.
    EXPECT_LT(KanaCorrectChance(KanaTraitsForAge(70), 0.5),
              KanaCorrectChance(KanaTraitsForAge(30), 0.5));
}

TEST(VowelListenerTest, AnswersAreRightAsOftenAsTheModelSays) {
    const VowelListenerTraits traits = VowelTraitsForAge(40, 0.0);
    // Thresholds rise with age and move with the listener's own jitter.
    EXPECT_LT(VowelTraitsForAge(30, 0.0).threshold[7], VowelTraitsForAge(60, 0.0).threshold[7]);
    EXPECT_DOUBLE_EQ(VowelTraitsForAge(40, 1.5).threshold[7], traits.threshold[7] + 1.5);

    struct Case {
        int masking, masked, level;
    };
    const Case cases[] = {{0, 1, -3},  {0, 1, -19}, {0, 1, -30}, {3, 3, -23},
                          {3, 3, -40}, {4, 0, -15}, {2, 4, 0}};
    constexpr int kDraws = 4000;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.masking) + std::to_string(c.masked) + " " +
                     std::to_string(c.level));
        CrtRandom random(static_cast<std::uint32_t>(c.level + 100 * c.masking + 10 * c.masked));
        int right = 0;
        for (int i = 0; i < kDraws; ++i) {
            const VowelListenerAnswer a =
                VowelListenerResponse(c.masking, c.masked, c.level, traits, random);
            // The kind always fits the marks, as the panel's buttons require.
            EXPECT_EQ(a.marks.Count(), (std::array{2, 1, 0})[static_cast<size_t>(a.kind)]);
            if (a.kind != VowelAnswerKind::DontKnow &&
                VowelAnswerCorrect(c.masking, c.masked, a.marks.Marks()))
                ++right;
        }
        const int pair = VowelPairIndex(c.masking, c.masked);
        EXPECT_NEAR(right / double(kDraws), VowelCorrectChance(traits, pair, c.level), 0.03);
    }
}

// The staircase of the real test, answered by the listener, closes every
// pair near the listener's threshold for it.
TEST(VowelListenerTest, TheStaircaseEndsNearTheThresholds) {
    VowelSettings s{.volume = 60, .interval = -3, .type = VowelRunType::Test, .missPermission = 1};
    for (VowelPair& p : s.pairs) p = VowelPair{0, -45, 0, false, 1};
    for (const int age : {25, 45, 70}) {
        SCOPED_TRACE(age);
        const VowelListenerTraits traits = VowelTraitsForAge(age, 0.0);
        CrtRandom draws(static_cast<std::uint32_t>(age)),
            listener(static_cast<std::uint32_t>(age + 1));
        FakeClock clock(1'700'000'000, 0);
        VowelDiscriminationTest test(s, false, age, draws, clock);
        VowelStep step = test.Start();
        int answers = 0;
        while (step.next && ++answers < 2000) {
            const VowelListenerAnswer a = VowelListenerResponse(
                step.next->masking, step.next->masked, step.next->level, traits, listener);
            step = *test.Answer(a.kind, a.marks);
        }
        ASSERT_FALSE(step.next);
        // A lapse or a lucky guess can end a pair far off; nearly all end
        // within a few steps, and on average the last miss is a step below.
        double offBy = 0.0;
        int near = 0;
        for (int p = 0; p < kVowelPairCount; ++p) {
            const double off = test.Pairs()[p].level - traits.threshold[p];
            offBy += off;
            near += std::abs(off) <= 8.0 ? 1 : 0;
        }
        EXPECT_GE(near, 23);
        EXPECT_NEAR(offBy / kVowelPairCount, -2.5, 2.0);
    }
}

}  // namespace
}  // namespace kestrune
