// The vowel discrimination test: scenario values and the load check, pair
// choice, the adaptation rules of each run type, records, progress and rests,
// the stimulus mix, the threshold table and the hearing-age estimate.

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "core/CoreTestSupport.h"
#include "core/battery/VowelDiscrimination.h"
#include "core/battery/VowelStimulus.h"
#include "support/ScratchDir.h"

namespace kestrune {
namespace {

using namespace std::string_literals;

// Settings with only pair `index` open, all others closed (begin below end).
VowelSettings OnePair(int index, int begin, int end, int interval, int misses, VowelRunType type) {
    VowelSettings s{.filePath = "/kit/vowels/",
                    .volume = 7,
                    .interval = interval,
                    .type = type,
                    .missPermission = misses,
                    .onePlayTimes = 2,
                    .twoPlayTimes = 3};
    for (VowelPair& p : s.pairs) p = VowelPair{0, 1, 0, true, misses};
    s.pairs[index] = VowelPair{begin, end, begin, false, misses};
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
    const std::optional<VowelStep> step =
        !correct ? test.Answer(VowelAnswerKind::DontKnow, VowelSelection())
        : i == j ? test.Answer(VowelAnswerKind::One, Marks({i}))
                 : test.Answer(VowelAnswerKind::Two, Marks({i, j}));
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

    pairs[0].finished = pairs[3].finished = pairs[24].finished = false;
    // Counting from index 1: 3 is first, 24 second, 0 last.
    std::map<int, int> seen;
    for (std::uint32_t seed = 1; seed < 200; ++seed) {
        CrtRandom random(seed), copy(seed);
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
    VowelSettings s{.volume = 50,
                    .interval = -10,
                    .type = VowelRunType::Test,
                    .missPermission = 1,
                    .restPermission = 3};
    // Thresholds cycle through: never heard, -5, -15, -25, always heard.
    const int threshold[] = {5, -5, -15, -25, -100}, expected[] = {0, -10, -20, -30, -40};
    for (VowelPair& p : s.pairs) p = VowelPair{0, -30, 0, false, 1};
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
        const bool hears = test.Pairs()[p].level >= threshold[p % 5];
        VowelStep step = Answer(test, hears);
        ++answers;
        EXPECT_EQ(step.correct, hears);
        if (step.rest) restsAt.push_back(answers);
        records.push_back(*step.record);
        ASSERT_LT(answers, 1000);
    }
    EXPECT_EQ(restsAt, (std::vector<int>{21, 43, 65}));  // (answers + 1) multiple of 22
    EXPECT_EQ(test.RestsLeft(), 0);
    for (int p = 0; p < 24; ++p)
        EXPECT_EQ(std::pair(test.Pairs()[p].finished, test.Pairs()[p].level),
                  std::pair(true, expected[p % 5]))
            << p;
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

// One open pair answered by a script: per answer its record's level, state
// and validity (-1 none), and the pair's level and misses left after it
// (kAny: not checked). Until the pair closes, each step gives the next trial
// at the pair's level.
TEST(VowelAdaptTest, EachRunTypeMovesAndClosesItsPair) {
    constexpr int kAny = 99;
    struct Run {
        VowelRunType type;
        int begin, end, interval, misses;
        const char* other;
        bool over;
    };
    struct Step {
        bool right;
        int snr;
        double state;
        int validity, level, misses;
    };
    using T = VowelRunType;
    const std::pair<Run, std::vector<Step>> cases[] = {
        // A miss at the first level with none left goes on 6 dB up; above 0 it closes.
        {{T::Test, -10, -30, -3, 0, "", true},
         {{false, -10, 0.0, 3, -4, 0}, {false, -4, kAny, 3, 0, kAny}}},
        {{T::Makeup, 0, -30, -3, 0, "makeup", true}, {{false, 0, kAny, 3, 0, kAny}}},
        // Below the first level a miss with none left closes the pair.
        {{T::Test, 0, -30, -10, 0, "", true},
         {{true, 0, 1.0, kAny, -10, kAny}, {false, -10, 0.0, 1, -10, kAny}}},
        // Try: no restart, and right answers step on past the end.
        {{T::Try, -10, -30, -3, 0, "", true}, {{false, -10, 0.0, 2, -10, kAny}}},
        {{T::Try, -10, -16, -3, 1, "", true},
         {{true, -10, 1.0, kAny, -13, kAny},
          {true, -13, kAny, kAny, -16, kAny},
          {true, -16, kAny, kAny, -19, kAny}}},
        // Train: a wrong answer uses no miss, a right one does; the level stays.
        {{T::Train, -5, -30, -5, 1, "", true},
         {{false, -5, 0.5, 5, -5, 1},
          {true, -5, kAny, kAny, -5, 0},
          {false, -5, 0.0, kAny, -5, kAny},
          {true, -5, kAny, kAny, -5, kAny}}},
        // An unknown type never adapts.
        {{T::Unknown, -5, -30, -5, 0, "", false},
         {{true, -5, kAny, -1, -5, kAny},
          {false, -5, kAny, -1, -5, kAny},
          {true, -5, kAny, -1, -5, kAny}}},
    };
    const int pair = 7;
    for (const auto& [run, steps] : cases) {
        SCOPED_TRACE(::testing::Message() << "type " << static_cast<int>(run.type) << " from "
                                          << run.begin << " to " << run.end);
        CrtRandom random(1);
        FakeClock clock;
        VowelDiscriminationTest test(
            OnePair(pair, run.begin, run.end, run.interval, run.misses, run.type), false, 30,
            random, clock);
        for (std::size_t n = 0; n < steps.size(); ++n) {
            const Step& s = steps[n];
            const VowelStep step = Answer(test, s.right);
            const auto [snr, state, validity] = Scored(*step.record);
            const VowelPair& p = test.Pairs()[pair];
            const auto any = [&](auto wanted, auto got) { return wanted == kAny ? wanted : got; };
            EXPECT_EQ(std::tuple(snr, any(s.state, state), any(s.validity, validity), p.level,
                                 any(s.misses, p.missesLeft)),
                      std::tuple(s.snr, s.state, s.validity, s.level, s.misses))
                << "answer " << n;
            EXPECT_EQ(step.record->other, run.other);
            EXPECT_EQ(test.Over(), n + 1 == steps.size() && run.over) << "answer " << n;
            EXPECT_EQ(step.next ? step.next->level : kAny, test.Over() ? kAny : p.level);
        }
        EXPECT_EQ(test.AnswersGiven(), static_cast<int>(steps.size()));
    }
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
    clock.AdvanceMs(200);                                  // within the allowance
    step = t.Answer(VowelAnswerKind::Two, Marks({0, 2}));  // the masking vowel not marked
    EXPECT_EQ(std::tuple(step->correct, step->record->durationText, step->record->recognised,
                         step->record->state, step->record->snr),
              std::tuple(false, "0.00"s, ""s, 0.5, -10));
    // "わからない" ignores any marks.
    step = t.Answer(VowelAnswerKind::DontKnow, Marks({1, 3}));
    EXPECT_EQ(std::tuple(step->correct, step->record->recognised), std::tuple(false, ""s));
}

std::string Describe(const VowelKeyAction& a) {
    using K = VowelKeyAction::Kind;
    if (a.kind == K::Mark) return "mark " + std::to_string(a.vowel);
    if (a.kind == K::None) return "none";
    return a.answer == VowelAnswerKind::Two   ? "two"
           : a.answer == VowelAnswerKind::One ? "one"
                                              : "don't know";
}

TEST(VowelAnswerTest, CorrectnessRecognisedTextMarksKeysAndGuides) {
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

TEST(VowelEvaluationTest, AgeEstimateAndTextsByAgeDifference) {
    // Each piece: (separation - its start) / its slope + its base age, truncated;
    // above -3 dB the first piece's 85, below -23.94 dB 18.
    const std::pair<double, int> ages[] = {{-2.9, 85},   {-3.0, 85},  {-5.0, 78},  {-8.0, 64},
                                           {-10.0, 54},  {-20.0, 38}, {-17.7, 44}, {-23.0, 28},
                                           {-23.94, 18}, {-40.0, 18}};
    for (const auto& [separation, age] : ages)
        EXPECT_EQ(EstimateHearingAge(separation), age) << separation;

    const char* const veryGood = "貴方の脳内音声識別能力がとても優れています。";
    const char* const good = "貴方の脳内音声識別能力が優れています。";
    const char* const fine = "貴方の脳内音声識別能力に特に心配することはありません。";
    const char* const fair =
        "貴方の脳内音声識別能力が平均レベルよりやや落ちているが、特に心配することはないでしょう。";
    const char* const poor =
        "本測定システムでは、貴方の脳内音声識別能力があまりよくはないと判断されています。"
        "働き過ぎないように注意しましょう。";
    // d = age - estimate - 5 on both sides of each boundary: 21, 20, 10, -9, -10, -25.
    const std::tuple<int, int, const char*> rows[] = {{70, 44, veryGood}, {70, 45, good},
                                                      {70, 55, fine},     {70, 74, fine},
                                                      {70, 75, fair},     {40, 60, poor}};
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

    // The averages of the finished same-vowel pairs and of all different-vowel
    // pairs ("Null" over no finished pair), with pairs as (index, level).
    struct Case {
        std::vector<std::pair<int, int>> finished;
        std::string hearing, separation;
    };
    const Case cases[] = {
        {{}, "Null", "Null"},
        {{{1, -12}}, "Null", "-0.600000"},
        {{{6, -9}}, "-9.000000", "Null"},
        {{{0, -6}, {6, -9}, {7, -20}}, "-7.500000", "-1.000000"},
        {{{0, -20}, {6, -25}, {1, -40}, {17, 0}}, "-22.500000", "-2.000000"},
    };
    for (const Case& c : cases) {
        VowelPairTable finished{};
        for (const auto& [index, level] : c.finished)
            finished[static_cast<std::size_t>(index)] = VowelPair{0, -30, level, true, 0};
        const auto averages = VowelThresholdRows(finished);
        ASSERT_EQ(averages.size(), 11u);
        EXPECT_EQ(averages[9],
                  (std::vector<std::string>{"Average of hearing thresthold:", c.hearing}));
        EXPECT_EQ(averages[10],
                  (std::vector<std::string>{"Average of separation thresthold:", c.separation}));
    }

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

using Pairs = std::map<std::pair<int, int>, std::pair<std::string, std::string>>;

// Pairs (0,1) and (2,2) open; every other pair closed (BEGIN below END).
struct ScenarioText {
    std::string type = "TEST";
    std::string interval = "-3";
    std::string onePlay = "1";
    std::string twoPlay = "2";
    std::string misses = "1";
    Pairs pairs{{{0, 1}, {"0", "-6"}}, {{2, 2}, {"-3", "-9"}}};
    std::optional<std::pair<int, int>> dropKey;  ///< this pair's BEGIN is left out

    std::string Text(const std::string& folder) const {
        return testing::VowelScenarioText(
            "TOTAL=1\nFILEPATH=" + folder + "/\n",
            "VOLUME=60\nINTERVAL=" + interval + "\nTYPE=" + type + "\nMISSPERMISSION=" + misses +
                "\nRESTPERMISSION=0\nONEPLAYTIMES=" + onePlay + "\nTWOPLAYTIMES=" + twoPlay + "\n",
            [this](int i, int j) {
                const auto found = pairs.find({i, j});
                auto pair = found == pairs.end() ? std::pair<std::string, std::string>{"-20", "-10"}
                                                 : found->second;
                if (dropKey == std::pair{i, j}) pair.first = "";
                return pair;
            });
    }
};

const std::string kLoadFailed = "Loading configuration file failed!\n";

class VowelScenarioCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int v = 1; v <= 5; ++v) WriteVowel(v, 16, 100);
    }

    void WriteVowel(int v, std::uint16_t bits, std::uint32_t samples) {
        std::vector<std::uint8_t> bytes(samples * bits / 8, 0x20);
        ASSERT_TRUE(WriteWaveFile(File(v), PcmFormat(1, 8000, bits), bytes.data(), samples));
    }
    std::string File(int v) const { return dir_.File(std::to_string(v) + ".wav"); }

    std::optional<std::string> Check(const ScenarioText& text) {
        const Scenario scenario = Scenario::FromText(text.Text(dir_.Path().string()), "");
        return CheckVowelScenario(scenario, "vowel.ini");
    }

    testing::ScratchDir dir_;
};

TEST_F(VowelScenarioCheck, AUsableScenarioPassesAnUnreadableFileIsNamed) {
    EXPECT_EQ(Check(ScenarioText{}), std::nullopt);
    // Recordings no open pair plays are not needed.
    std::filesystem::remove(File(4));
    std::filesystem::remove(File(5));
    EXPECT_EQ(Check(ScenarioText{}), std::nullopt);
    const std::string path = dir_.File("missing.ini");
    EXPECT_EQ(CheckVowelScenario(Scenario::Load(path), path),
              kLoadFailed + path + " can not be read");
}

TEST_F(VowelScenarioCheck, ValuesTheTestCannotUseAreRefusedByKey) {
    const std::string type = ": must be TEST, MAKEUP, TRY or TRAIN";
    const std::string interval = ": must be a whole number other than 0";
    const struct {
        ScenarioText text;
        std::string line;
    } cases[] = {
        {{.type = "try"}, "[DATA] TYPE=try" + type},
        {{.type = "Notfound"}, "[DATA] TYPE=Notfound" + type},
        {{.interval = "0"}, "[DATA] INTERVAL=0" + interval},
        {{.interval = "-3dB"}, "[DATA] INTERVAL=-3dB" + interval},
        {{.twoPlay = "0"}, "[DATA] TWOPLAYTIMES=0: must be a whole number of at least 1"},
        {{.misses = "one"}, "[DATA] MISSPERMISSION=one: must be a whole number"},
        {{.pairs = {{{3, 4}, {"x", "-6"}}}}, "[DATA4] BEGIN5=x: must be a whole number"},
        {{.pairs = {{{1, 0}, {"0", "-1.5"}}}}, "[DATA2] END1=-1.5: must be a whole number"},
        {{.dropKey = std::pair{4, 2}}, "[DATA5] BEGIN3=Notfound: must be a whole number"},
    };
    for (const auto& c : cases) EXPECT_EQ(Check(c.text), kLoadFailed + c.line) << c.line;
}

TEST_F(VowelScenarioCheck, TheFirstRecordingTheTestCannotPlayIsNamed) {
    // Pair (0,1) loads 2.wav (masked) before 1.wav (masking); then 3.wav.
    std::filesystem::remove(File(1));
    std::filesystem::remove(File(3));
    EXPECT_EQ(Check(ScenarioText{}), kLoadFailed + File(1) + " can not be opened");
    WriteVowel(1, 16, 100);
    EXPECT_EQ(Check(ScenarioText{}), kLoadFailed + File(3) + " can not be opened");
    dir_.Write("3.wav", std::string("RIFF....AVI LIST"));
    EXPECT_EQ(Check(ScenarioText{}), kLoadFailed + File(3) + " is not a wave file");
    WriteVowel(3, 8, 100);
    EXPECT_EQ(Check(ScenarioText{}), kLoadFailed + File(3) + " is not a 16-bit wave file");
    WriteVowel(3, 16, 0);
    EXPECT_EQ(Check(ScenarioText{}), kLoadFailed + File(3) + " holds no samples");
    WriteVowel(2, 16, 0);
    EXPECT_EQ(Check(ScenarioText{}), kLoadFailed + File(2) + " holds no samples");
}

TEST_F(VowelScenarioCheck, ATrialMixesItsRecordingsOrSaysWhichFailed) {
    const VowelTrial trial{.pair = 1, .masked = 1, .maskingFile = File(1), .maskedFile = File(2)};
    const VowelStimulus mixed = PrepareVowelStimulus(trial);
    ASSERT_TRUE(mixed.ok);
    // 0x2020 twice at 0 dB.
    EXPECT_EQ(std::tuple(mixed.sampleCount, mixed.format.sampleRate,
                         mixed.bytes[0] | (mixed.bytes[1] << 8)),
              std::tuple(100u, 8000u, 2 * 0x2020));

    std::filesystem::remove(File(2));
    EXPECT_EQ(PrepareVowelStimulus(trial).message,
              "Invalid path or file name!\nMasked wave file can not be opened!");
    WriteVowel(2, 16, 100);
    std::filesystem::remove(File(1));
    EXPECT_EQ(PrepareVowelStimulus(trial).message,
              "Invalid path or file name!\nMasking wave file can not be opened!");
    WriteVowel(1, 8, 100);
    EXPECT_EQ(PrepareVowelStimulus(trial).message, "Invalid sample bits!");
}

}  // namespace
}  // namespace kestrune
