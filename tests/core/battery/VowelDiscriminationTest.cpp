// The vowel discrimination run: scenario values, pair choice, the adaptation
// rules of each run type, records, progress and rests, the stimulus mix, the
// threshold table and the hearing-age estimate.

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "core/CoreTestSupport.h"
#include "core/battery/VowelDiscrimination.h"

namespace kestrune {
namespace {

using namespace std::string_literals;

// Settings with only pair `index` open, all others closed (begin below end).
VowelSettings OnePair(int index, int begin, int end, int interval, int misses, VowelRunType type) {
    VowelSettings s;
    s.interval = interval;
    s.missPermission = misses;
    s.type = type;
    s.volume = 7;
    s.filePath = "/kit/vowels/";
    s.onePlayTimes = 2;
    s.twoPlayTimes = 3;
    for (VowelPair& p : s.pairs) p = VowelPair{0, 1, 0, true, misses};
    s.pairs[static_cast<size_t>(index)] = VowelPair{begin, end, begin, false, misses};
    return s;
}

std::tuple<int, int, int, bool, int> Fields(const VowelPair& p) {
    return {p.begin, p.end, p.level, p.finished, p.missesLeft};
}

// A record's level, state and validity (-1 for none).
std::tuple<int, double, int> Scored(const VowelRecord& r) {
    return {r.snr, r.state, r.validity.value_or(-1)};
}

VowelSelection Marks(std::initializer_list<int> vowels) {
    VowelSelection selection;
    for (int v : vowels) selection.Mark(v);
    return selection;
}

// Answers the current pair correctly (or not).
VowelStep Answer(VowelDiscriminationTest& test, bool correct) {
    const int i = test.CurrentPair() / kVowelCount;
    const int j = test.CurrentPair() % kVowelCount;
    std::optional<VowelStep> step;
    if (correct)
        step = test.Answer(i == j ? VowelAnswerKind::One : VowelAnswerKind::Two,
                           i == j ? Marks({i}) : Marks({i, j}));
    else
        step = test.Answer(VowelAnswerKind::DontKnow, VowelSelection());
    EXPECT_TRUE(step.has_value());
    return *step;
}

TEST(VowelScenarioTest, ReadsKeysAndPairTable) {
    // Pair (1, 3) begins below its end; pair (i, j) otherwise runs from -(i + 1) down to -20.
    const std::string text = testing::VowelScenarioText(
        "TOTAL=3\nFILEPATH=wav\\\nPICTURENUMBER=2\n",
        "VOLUME=60\nINTERVAL=-5\nTYPE=MAKEUP\nMISSPERMISSION=2\nRESTPERMISSION=9\n"
        "ONEPLAYTIMES=1\nTWOPLAYTIMES=2\nBEEP=1\n",
        [](int i, int j) {
            return std::pair{std::to_string(i == 1 && j == 3 ? -30 : -i - 1), "-20"s};
        });
    const VowelSettings s = ReadVowelSettings(Scenario::FromText(text, "/station"));
    // REST 9 allows five rests; AUTOCONFIRM is missing.
    EXPECT_EQ(std::tie(s.total, s.filePath, s.volume, s.interval, s.type, s.restPermission,
                       s.onePlayTimes, s.twoPlayTimes, s.autoConfirm, s.beep),
              std::tuple(3, "/station/wav/"s, 60, -5, VowelRunType::Makeup, 5, 1, 2, false, true));
    EXPECT_EQ(Fields(s.pairs[VowelPairIndex(2, 0)]), std::tuple(-3, -20, -3, false, 2));
    EXPECT_EQ(Fields(s.pairs[VowelPairIndex(1, 3)]), std::tuple(-30, -20, 0, true, 2));
    EXPECT_EQ(OpenVowelPairs(s.pairs), 24);

    using T = VowelRunType;
    EXPECT_EQ(
        (std::vector{VowelRunTypeFor("TEST"), VowelRunTypeFor("TRY"), VowelRunTypeFor("TRAIN"),
                     VowelRunTypeFor("test"), VowelRunTypeFor("Notfound")}),
        (std::vector{T::Test, T::Try, T::Train, T::Unknown, T::Unknown}));
}

TEST(VowelPairChoiceTest, KthOpenPairFromIndexOneWrappingToZero) {
    VowelPairTable pairs{};
    for (VowelPair& p : pairs) p.finished = true;
    CrtRandom none(5);
    EXPECT_EQ(ChooseVowelPair(pairs, none), -1);
    EXPECT_EQ(none.State(), 5u);  // no draw when nothing is open

    pairs[0].finished = false;
    pairs[3].finished = false;
    pairs[24].finished = false;
    // Counting from index 1: 3 is first, 24 second, 0 last.
    std::map<int, int> seen;
    for (std::uint32_t seed = 1; seed < 200; ++seed) {
        CrtRandom random(seed);
        CrtRandom copy(seed);
        const int r = RandomInt(copy, 362880) + 1;
        const int expected = std::array<int, 3>{3, 24, 0}[static_cast<size_t>(r % 3)];
        EXPECT_EQ(ChooseVowelPair(pairs, random), expected) << seed;
        EXPECT_EQ(random.State(), copy.State());  // exactly one draw
        ++seen[expected];
    }
    EXPECT_EQ(seen.size(), 3u);
}

// A listener who identifies a pair exactly when its level is at or above the
// pair's threshold answers until no pair is open.
TEST(VowelRunTest, ScriptedListenerReachesKnownThresholds) {
    VowelSettings s;
    s.interval = -10;
    s.type = VowelRunType::Test;
    s.missPermission = 1;
    s.restPermission = 3;
    s.volume = 50;
    std::array<int, kVowelPairCount> threshold{};
    std::array<int, kVowelPairCount> expected{};
    for (int p = 0; p < kVowelPairCount; ++p) {
        s.pairs[static_cast<size_t>(p)] = VowelPair{0, -30, 0, false, 1};
        // Thresholds cycle through: never heard, -5, -15, -25, always heard.
        const int kind = p % 5;
        threshold[static_cast<size_t>(p)] = std::array<int, 5>{5, -5, -15, -25, -100}[kind];
        expected[static_cast<size_t>(p)] = std::array<int, 5>{0, -10, -20, -30, -40}[kind];
    }
    // Pair (4, 4) begins below its end and is never played.
    s.pairs[24] = VowelPair{-40, -30, 0, true, 1};

    CrtRandom random(77);
    FakeClock clock(1700000000, 1000);
    VowelDiscriminationTest test(s, false, 60, random, clock);
    EXPECT_EQ(test.TotalSteps(), 24 * 4);
    EXPECT_EQ(test.RestPoint(), static_cast<int>((96 / 4) * 0.95));  // 22
    EXPECT_EQ(test.Start().progress.done, 0);

    std::vector<VowelRecord> records;
    std::vector<int> restsAt;
    int answers = 0;
    while (!test.Over()) {
        const int p = test.CurrentPair();
        EXPECT_NE(p, 24);
        const bool hears =
            test.Pairs()[static_cast<size_t>(p)].level >= threshold[static_cast<size_t>(p)];
        VowelStep step = Answer(test, hears);
        ++answers;
        EXPECT_EQ(step.correct, hears);
        if (step.rest) restsAt.push_back(answers);
        records.push_back(*step.record);
        ASSERT_LT(answers, 1000);
    }
    EXPECT_EQ(restsAt, (std::vector<int>{21, 43, 65}));  // (answers + 1) multiple of 22
    EXPECT_EQ(test.RestsLeft(), 0);
    for (int p = 0; p < 24; ++p) {
        EXPECT_TRUE(test.Pairs()[static_cast<size_t>(p)].finished);
        EXPECT_EQ(test.Pairs()[static_cast<size_t>(p)].level, expected[static_cast<size_t>(p)])
            << p;
    }
    const VowelProgress progress = test.Progress();
    EXPECT_EQ(std::tie(progress.remaining, progress.done, progress.rangeMax),
              std::tuple(0, 96, 96));

    auto outcomesOf = [&records](const char* masking, const char* masked) {
        std::vector<std::tuple<int, double, int>> out;
        for (const VowelRecord& r : records)
            if (r.maskingContent == masking && r.maskedContent == masked) out.push_back(Scored(r));
        return out;
    };
    // Threshold -15: 0 and -10 heard, two misses at -20. Never heard: the
    // last miss at the first level is validity 3.
    using Row = std::tuple<int, double, int>;
    EXPECT_EQ(outcomesOf("あ", "う"),
              (std::vector<Row>{{0, 1.0, 1}, {-10, 1.0, 1}, {-20, 0.5, 1}, {-20, 0.0, 1}}));
    EXPECT_EQ(outcomesOf("あ", "あ"), (std::vector<Row>{{0, 0.5, 1}, {0, 0.0, 3}}));

    // Separation: the 20 pairs i != j; pair 24 counts 0 and the diagonal is
    // left out, so -400 / 20 = -20 dB, an estimated age of 38.
    const VowelEnding ending = test.Ending();
    EXPECT_EQ(ending.estimatedAge, 38);
    EXPECT_EQ(ending.rows.back(), std::vector<std::string>{ending.finalText});
    EXPECT_NE(ending.finalText.find("測定結果により，30－36歳"), std::string::npos);
}

// Runs over OnePair(...) sharing one generator (seed 1) and a clock at rest.
class VowelAdaptTest : public ::testing::Test {
  protected:
    VowelDiscriminationTest Run(int index, int begin, int end, int interval, int misses,
                                VowelRunType type) {
        return {OnePair(index, begin, end, interval, misses, type), false, 30, random_, clock_};
    }
    CrtRandom random_{1};
    FakeClock clock_;
};

TEST_F(VowelAdaptTest, TestMissesAtFirstLevelGiveValidityThree) {
    // BEGIN -10, INTERVAL -3: goes on at -4 with no misses left.
    VowelDiscriminationTest a = Run(7, -10, -30, -3, 0, VowelRunType::Test);
    VowelStep step = Answer(a, false);
    EXPECT_EQ(Scored(*step.record), std::tuple(-10, 0.0, 3));
    EXPECT_EQ(Fields(a.Pairs()[7]), std::tuple(-4, -30, -4, false, 0));
    ASSERT_TRUE(step.next.has_value());
    EXPECT_EQ(step.next->level, -4);
    // Again wrong at the new first level: -4 + 6 > 0, finished at 0.
    EXPECT_EQ(Answer(a, false).record->validity, 3);
    EXPECT_TRUE(a.Over());
    EXPECT_EQ(a.Pairs()[7].level, 0);

    // BEGIN 0, INTERVAL -3: finished at level 0 at once.
    VowelDiscriminationTest b = Run(7, 0, -30, -3, 0, VowelRunType::Makeup);
    step = Answer(b, false);
    EXPECT_EQ(step.record->validity, 3);
    EXPECT_EQ(step.record->other, "makeup");
    EXPECT_TRUE(b.Over());
    EXPECT_EQ(b.Pairs()[7].level, 0);

    // Below the first level a miss with none left simply closes the pair.
    VowelDiscriminationTest c = Run(7, 0, -30, -10, 0, VowelRunType::Test);
    EXPECT_EQ(Answer(c, true).record->other, "");
    EXPECT_EQ(Scored(*Answer(c, false).record), std::tuple(-10, 0.0, 1));
    EXPECT_TRUE(c.Over());
    EXPECT_EQ(c.Pairs()[7].level, -10);
}

TEST_F(VowelAdaptTest, TryHasNoRestart) {
    VowelDiscriminationTest t = Run(12, -10, -30, -3, 0, VowelRunType::Try);
    EXPECT_EQ(Scored(*Answer(t, false).record), std::tuple(-10, 0.0, 2));
    EXPECT_TRUE(t.Over());
    EXPECT_EQ(t.Pairs()[12].level, -10);

    VowelDiscriminationTest u = Run(12, -10, -16, -3, 1, VowelRunType::Try);
    EXPECT_EQ(Answer(u, true).record->state, 1.0);  // -10 -> -13
    EXPECT_EQ(Answer(u, true).record->snr, -13);    // -> -16
    const VowelStep step = Answer(u, true);         // -> -19, below the end
    EXPECT_EQ(step.record->snr, -16);
    EXPECT_FALSE(step.next.has_value());
    EXPECT_EQ(u.Pairs()[12].level, -19);
}

TEST_F(VowelAdaptTest, TrainKeepsLevelAndMisses) {
    VowelDiscriminationTest t = Run(6, -5, -30, -5, 1, VowelRunType::Train);
    EXPECT_EQ(Scored(*Answer(t, false).record), std::tuple(-5, 0.5, 5));
    EXPECT_EQ(t.Pairs()[6].missesLeft, 1);  // a wrong answer uses no miss
    Answer(t, true);                        // a correct one does
    EXPECT_EQ(t.Pairs()[6].missesLeft, 0);
    EXPECT_EQ(t.Pairs()[6].level, -5);
    EXPECT_EQ(Answer(t, false).record->state, 0.0);
    EXPECT_FALSE(t.Over());  // wrong answers never close a training pair
    Answer(t, true);
    EXPECT_TRUE(t.Over());
    EXPECT_EQ(t.Pairs()[6].level, -5);
}

TEST_F(VowelAdaptTest, UnknownTypeNeverAdapts) {
    VowelDiscriminationTest t = Run(6, -5, -30, -5, 0, VowelRunType::Unknown);
    for (int n = 0; n < 3; ++n) {
        VowelStep step = Answer(t, n % 2 == 0);
        EXPECT_FALSE(step.record->validity.has_value());
        EXPECT_EQ(step.record->snr, -5);
    }
    EXPECT_FALSE(t.Over());
    EXPECT_EQ(t.AnswersGiven(), 3);
}

TEST(VowelRecordTest, FieldsOfOneAnswer) {
    CrtRandom random(1);
    FakeClock clock(1700000000, 5000);
    VowelDiscriminationTest t(OnePair(VowelPairIndex(1, 3), 0, -30, -10, 2, VowelRunType::Test),
                              false, 30, random, clock);
    const std::optional<VowelTrial> trial = t.Start().next;
    ASSERT_TRUE(trial.has_value());
    EXPECT_EQ(std::tie(trial->maskedFile, trial->maskingFile, trial->repeatCount),
              std::tuple("/kit/vowels/4.wav"s, "/kit/vowels/2.wav"s, 3));
    clock.AdvanceMs(300);
    t.PlayStarted();
    clock.AdvanceMs(1234);
    std::optional<VowelStep> step = t.Answer(VowelAnswerKind::Two, Marks({3, 1}));
    ASSERT_TRUE(step.has_value());
    const VowelRecord& r = *step->record;
    EXPECT_TRUE(step->correct);
    EXPECT_EQ(std::tie(r.volume, r.time, r.timeText, r.durationText, r.maskingContent,
                       r.maskedContent, r.recognised, r.state, r.validity),
              std::tuple(7, std::time_t{1700000001}, FormatLocalTime(1700000001), "0.83"s, "い"s,
                         "え"s, "え"s, 1.0, std::optional<int>(1)));

    t.PlayStarted();
    clock.AdvanceMs(200);  // within the allowance
    step = t.Answer(VowelAnswerKind::Two, Marks({0, 2}));
    EXPECT_FALSE(step->correct);
    EXPECT_EQ(step->record->durationText, "0.00");
    EXPECT_EQ(step->record->recognised, "");  // masking vowel not marked
    EXPECT_EQ(step->record->state, 0.5);
    EXPECT_EQ(step->record->snr, -10);
    // "わからない" ignores any marks.
    step = t.Answer(VowelAnswerKind::DontKnow, Marks({1, 3}));
    EXPECT_FALSE(step->correct);
    EXPECT_EQ(step->record->recognised, "");
}

TEST(VowelAnswerTest, CorrectnessAndRecognisedText) {
    struct Row {
        int masking, masked;
        std::initializer_list<int> marks;
        bool correct;
        const char* recognised;
    };
    // Two marks only need both vowels of the pair among them, so for a
    // same-vowel pair any second mark next to it still counts.
    for (const Row& r :
         {Row{2, 2, {2}, true, "う"}, Row{2, 3, {2}, false, "う"}, Row{2, 2, {3}, false, ""},
          Row{2, 3, {3, 2}, true, "え"}, Row{2, 3, {2, 4}, false, "お"},
          Row{2, 2, {2, 4}, true, "お"}, Row{2, 2, {1, 4}, false, ""}, Row{2, 2, {}, false, ""}}) {
        const auto marks = Marks(r.marks).Marks();
        EXPECT_EQ(VowelAnswerCorrect(r.masking, r.masked, marks), r.correct) << r.masked;
        EXPECT_EQ(VowelRecognised(r.masking, marks), r.recognised) << r.masked;
    }
}

std::string Describe(const VowelKeyAction& a) {
    using K = VowelKeyAction::Kind;
    if (a.kind == K::Mark) return "mark " + std::to_string(a.vowel);
    if (a.kind == K::None) return "none";
    return a.answer == VowelAnswerKind::Two   ? "two"
           : a.answer == VowelAnswerKind::One ? "one"
                                              : "don't know";
}

TEST(VowelSelectionTest, MarksKeysAndGuides) {
    VowelSelection s;
    EXPECT_EQ(s.Guide(), "識別した二つの母音を選択してください");
    EXPECT_FALSE(s.Mark(0));
    EXPECT_EQ(s.Guide(), "もう一つの母音を選択してください");
    EXPECT_FALSE(s.Mark(0));  // marking twice is still one mark
    EXPECT_EQ(s.Count(), 1);
    EXPECT_TRUE(s.Mark(3));  // exactly two: auto-confirm point
    EXPECT_EQ(s.Guide(), "「確認」ボタンを押してください");
    EXPECT_FALSE(s.Mark(3));
    EXPECT_FALSE(s.Mark(4));  // a third clears the others
    EXPECT_EQ(std::tuple(s.Count(), s.Marked(4), s.Marked(0)), std::tuple(1, true, false));
    s.Clear();
    EXPECT_EQ(s.Count(), 0);

    const std::tuple<char, int, const char*> keys[] = {
        {'g', 2, "mark 4"},     {'A', 0, "mark 0"}, {'H', 1, "none"}, {'H', 2, "two"},
        {'J', 2, "none"},       {'J', 1, "one"},    {'L', 1, "none"}, {'l', 0, "don't know"},
        {'K', 0, "don't know"}, {'K', 1, "one"},    {'K', 2, "two"},  {'Z', 0, "none"}};
    for (const auto& [key, marks, action] : keys)
        EXPECT_EQ(Describe(VowelKeyFor(key, marks)), action) << key << " with " << marks;
}

TEST(VowelMixTest, GainMuteLengthAndClipping) {
    const std::vector<std::int16_t> masking = {10000, -10000, 100};
    const std::vector<std::int16_t> masked = {30000, -30000, 1000, 999, -999};
    EXPECT_EQ(MixVowels(masking, masked, 0),
              (std::vector<std::int16_t>{32767, -32768, 1100, 999, -999}));
    EXPECT_EQ(MixVowels(masking, masked, -20),  // x 0.1, truncated toward zero
              (std::vector<std::int16_t>{13000, -13000, 200, 99, -99}));
    EXPECT_EQ(MixVowels(masking, masked, 120),
              (std::vector<std::int16_t>{10000, -10000, 100, 0, 0}));
    // 119 dB still sounds (x 891250.9), clipped both ways.
    EXPECT_EQ(MixVowels(masking, masked, 119),
              (std::vector<std::int16_t>{32767, -32768, 32767, 32767, -32768}));
    EXPECT_EQ(MixVowels({}, {5, -5}, 0), (std::vector<std::int16_t>{5, -5}));
}

TEST(VowelProgressTest, StepsRestPointAndRange) {
    EXPECT_EQ(VowelRestPoint(100, 3), 23);  // 25 * 0.95
    EXPECT_EQ(VowelRestPoint(10, 5), 0);    // 1 * 0.95: no rests
    EXPECT_EQ(VowelRestPoint(11, 0), 10);

    VowelPairTable pairs{};
    for (VowelPair& p : pairs) p = VowelPair{0, 1, 0, true, 0};
    pairs[1] = VowelPair{0, -30, -10, false, 0};   // 4 steps, 3 left
    pairs[2] = VowelPair{-10, -20, -40, true, 0};  // finished below its end: 2 steps, none left
    EXPECT_EQ(VowelTotalSteps(pairs, -10), 4);
    const VowelProgress progress = ComputeVowelProgress(pairs, -10);
    // rangeMax: 6 * (0.5 + 1) / 2 = 4.5
    EXPECT_EQ(std::tie(progress.total, progress.remaining, progress.done, progress.rangeMax),
              std::tuple(6, 3, 3, 4));
    EXPECT_EQ(VowelTotalSteps(pairs, 0), 1);  // a zero step counts one per pair
}

TEST(VowelEvaluationTest, AgeEstimateAcrossItsPieces) {
    const std::pair<double, int> ages[] = {
        {-2.9, 85},   {-3.0, 85},  // the first piece starts below -3
        {-5.0, 78},                // 1.17 / 0.317 + 75 = 78.69
        {-8.0, 64},                // 1.64 / 0.1735 + 55 = 64.45
        {-10.0, 54},               // 7.66 / 0.802 + 45 = 54.55
        {-20.0, 38},               // 1.42 / 0.376 + 35 = 38.78
        {-17.7, 44},               // 3.72 / 0.376 + 35 = 44.89
        {-23.0, 28},               // 0.94 / 0.252 + 25 = 28.73
        {-23.94, 18}, {-40.0, 18}};
    for (const auto& [separation, age] : ages)
        EXPECT_EQ(EstimateHearingAge(separation), age) << separation;
}

TEST(VowelEvaluationTest, TextsByAgeDifference) {
    const char* const veryGood = "貴方の脳内音声識別能力がとても優れています。";
    const char* const good = "貴方の脳内音声識別能力が優れています。";
    const char* const fine = "貴方の脳内音声識別能力に特に心配することはありません。";
    // d = age - estimate - 5, at both sides of each boundary.
    const std::tuple<int, int, const char*> rows[] = {
        {70, 44, veryGood},  // d = 21
        {70, 45, good},      // 20
        {70, 55, fine},      // 10
        {70, 74, fine},      // -9
        {70, 75,
         "貴方の脳内音声識別能力が平均レベルよりやや落ちているが、特に心配するこ"
         "とはないでしょう"
         "。"},  // -10
        {40, 60,
         "本測定システムでは、貴方の脳内音声識別能力があまりよくはないと判断され"
         "ています。働き過ぎ"
         "ないように注意しましょう。"},  // -25
    };
    for (const auto& [age, estimate, text] : rows)
        EXPECT_EQ(VowelEvaluationText(age, estimate), text) << age << " " << estimate;
    EXPECT_EQ(VowelFinalText(VowelRunType::Test, 70, 45),
              std::string(good) + "\n\n測定結果により，37－43歳の聴覚識別能力でした．");
    EXPECT_EQ(VowelFinalText(VowelRunType::Try, 70, 45),
              "テストを終わりました。\nどうも　ありがとうございました！");
}

TEST(VowelEvaluationTest, ThresholdRowsAndPracticeEnding) {
    VowelPairTable pairs{};
    for (VowelPair& p : pairs) p = VowelPair{0, -30, 0, false, 0};
    pairs[VowelPairIndex(0, 0)] = VowelPair{0, -30, -20, true, 0};
    pairs[VowelPairIndex(1, 1)] = VowelPair{0, -30, -25, true, 0};
    pairs[VowelPairIndex(0, 1)] = VowelPair{0, -30, -40, true, 0};
    pairs[VowelPairIndex(3, 2)] = VowelPair{-30, 0, 0, true, 0};  // never played
    const auto rows = VowelThresholdRows(pairs);
    ASSERT_EQ(rows.size(), 11u);
    EXPECT_EQ(rows[0], std::vector<std::string>{"."});
    EXPECT_EQ(rows[1], std::vector<std::string>{"."});
    EXPECT_EQ(rows[2], (std::vector<std::string>{"masked", "あ", "い", "う", "え", "お"}));
    EXPECT_EQ(rows[3], std::vector<std::string>{"masking"});
    EXPECT_EQ(rows[4], (std::vector<std::string>{"あ", "-20", "-40", "Null", "Null", "Null"}));
    EXPECT_EQ(rows[7], (std::vector<std::string>{"え", "Null", "Null", "0", "Null", "Null"}));
    EXPECT_EQ(rows[9], (std::vector<std::string>{"Average of hearing thresthold:", "-22.500000"}));
    EXPECT_EQ(rows[10],
              (std::vector<std::string>{"Average of separation thresthold:", "-2.000000"}));

    VowelSettings s = OnePair(0, 0, -10, -10, 0, VowelRunType::Test);
    CrtRandom random(3);
    FakeClock clock;
    VowelDiscriminationTest practice(s, true, 30, random, clock);
    EXPECT_STREQ(practice.Caption(), "脳内音声識別練習をしている");
    EXPECT_STREQ(practice.StartGuide(), "「開始」ボタンを押して，練習を始めます！");
    const VowelEnding ending = practice.Ending();
    EXPECT_EQ(ending.finalText, "練習を終わり，本番のテストに行きましょう！");
    EXPECT_TRUE(ending.rows.empty());
}

}  // namespace
}  // namespace kestrune
