#include <gtest/gtest.h>

#include <random>

#include "core/analysis/Intermittent.h"
#include "core/analysis/Training.h"

namespace kestrune::analysis {
namespace {

TEST(IntermittentTest, VoicingPartners) {
    const struct {
        const char* kana;
        const char* partner;
    } cases[] = {
        {"か", "が"}, {"が", "か"}, {"は", "ば"}, {"ぼ", "ほ"}, {"ち", "ぢ"}, {"づ", "つ"},
        {"あ", "あ"}, {"な", "な"}, {"ん", "ん"}, {"わ", "わ"}, {"を", ""},   {"ぱ", ""},
        {"きゃ", ""}, {"", ""},     {"ka", ""},   {"、", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(VoicingPartner(c.kana), c.partner) << c.kana;
}

TEST(IntermittentTest, WhichTrialsCountAndWhichAreCorrect) {
    const struct {
        const char* played;
        const char* answered;
        RecognitionCount count;
    } cases[] = {
        {"が", "か", {1, 1}},     {"か", "が", {1, 1}},   {"か", "か", {1, 1}},
        {"か", "き", {1, 0}},     {"か", "", {1, 0}},     {"あ", "あ", {1, 1}},
        {"ん", "ん", {1, 1}},     {"ば", "は", {1, 1}},   {"は", "ぱ", {1, 0}},
        {"ぱ", "ぱ", {0, 0}},     {"を", "を", {0, 0}},   {"を", "お", {0, 0}},
        {"きゃ", "きゃ", {0, 0}}, {"きゃ", "き", {0, 0}}, {"", "", {0, 0}},
        {"x", "x", {0, 0}},
    };
    std::vector<IntermittentTrial> all;
    RecognitionCount sum;
    for (const auto& c : cases) {
        EXPECT_EQ(CountRecognised({{c.played, c.answered}}), c.count)
            << c.played << " answered " << c.answered;
        all.push_back({c.played, c.answered});
        sum.total += c.count.total;
        sum.correct += c.count.correct;
    }
    EXPECT_EQ(CountRecognised(all), sum);
}

TEST(IntermittentTest, TableTexts) {
    const struct {
        RecognitionCount count;
        std::vector<std::vector<std::string>> rows;
    } cases[] = {
        {{0, 0}, {}},
        {{3, 2}, {{"3", "2", "66.7%"}}},
        {{8, 1}, {{"8", "1", "12.5%"}}},
        {{1, 1}, {{"1", "1", "100.0%"}}},
        {{7, 0}, {{"7", "0", "0.0%"}}},
    };
    for (const auto& c : cases) {
        const ResultTable table = IntermittentTable(c.count);
        EXPECT_EQ(table.captions, (std::vector<std::string>{"Total", "Correct", "Correct rate"}));
        EXPECT_EQ(table.rows, c.rows) << c.count.total << "/" << c.count.correct;
    }
}

TEST(IntermittentTest, FilterTextsMustBeNumbers) {
    const struct {
        const char* duty;
        const char* from;
        const char* to;
        const char* refused;  ///< a word of the reason; null: accepted
    } cases[] = {
        {"", "", "", nullptr},
        {"0.5", " 1950 ", "1970", nullptr},
        {"+.25", "-3", "", nullptr},
        {"abc", "", "", "duty cycle"},
        {"0.5 OR 1=1", "", "", "duty cycle"},
        {"0.5; DROP TABLE BasicRecord; --", "", "", "duty cycle"},
        {"", "1950 /* */", "", "lower"},
        {"", "(SELECT 1)", "", "lower"},
        {"", "", "1e3", "upper"},
        {"", "", "nan", "upper"},
        {"", "", ".", "upper"},
        {"1.2.3", "", "", "duty cycle"},
    };
    for (const auto& c : cases) {
        IntermittentFilter filter;
        filter.dutyCycle = 99.0;
        std::string error;
        const bool read = ReadIntermittentFilter(c.duty, c.from, c.to, &filter, &error);
        EXPECT_EQ(read, c.refused == nullptr) << c.duty << "|" << c.from << "|" << c.to;
        if (c.refused) {
            EXPECT_NE(error.find(c.refused), std::string::npos) << error;
            EXPECT_EQ(filter.dutyCycle, 99.0);
        }
    }
    IntermittentFilter filter;
    std::string error;
    ASSERT_TRUE(ReadIntermittentFilter("0.5", " 1950 ", "", &filter, &error));
    EXPECT_EQ(filter.dutyCycle, 0.5);
    EXPECT_EQ(filter.lowestAge, 1950.0);
    EXPECT_FALSE(filter.highestAge.has_value());
}

TEST(TrainingTest, ParametersMustBeWholeNumbers) {
    const struct {
        const char* subject;
        const char* step;
        bool read;
    } cases[] = {
        {"2", "3", true},
        {" 12 ", "-3", true},
        {"2.5", "3", false},
        {"1 OR 1=1", "3", false},
        {"1; DROP TABLE x", "3", false},
        {"", "3", false},
        {"2", "", false},
        {"2", "3dB", false},
        {"99999999999999999999", "3", false},
        {"2", "5000", false},
    };
    for (const auto& c : cases) {
        std::int64_t subject = -1;
        int step = -1;
        std::string error;
        EXPECT_EQ(ReadTrainingParameters(c.subject, c.step, &subject, &step, &error), c.read)
            << c.subject << "|" << c.step << ": " << error;
        EXPECT_EQ(error.empty(), c.read);
    }
}

// The averages computed the plain way: the same vowel twice is hearing, two
// different vowels separation; every pair here has both answers.
TEST(TrainingTest, AveragesOverTheTwentyFiveMeasuredPairs) {
    std::mt19937 random(7);
    TrainingInputs inputs{4, "山田", {}};
    double sumSame = 0, sumOther = 0, passSame = 0, passOther = 0, failSame = 0, failOther = 0;
    const int step = 3;
    for (int i = 0; i < 5; ++i) {
        for (int j = 0; j < 5; ++j) {
            const int level = -30 + static_cast<int>(random() % 25);
            const double failTime = (random() % 500) / 100.0, passTime = (random() % 500) / 100.0;
            inputs.pairs.push_back({TrainingVowels()[i], TrainingVowels()[j],
                                    FailingAnswer{level, failTime}, passTime});
            (i == j ? sumSame : sumOther) += level + step;
            (i == j ? passSame : passOther) += passTime;
            (i == j ? failSame : failOther) += failTime;
        }
    }
    const TrainingOutcome outcome = AnalyseTraining(inputs, step);
    EXPECT_TRUE(outcome.messages.empty());
    ASSERT_EQ(outcome.table.rows.size(), 1u);
    const std::vector<std::string> expected{
        "山田",
        FormatF(sumOther / 20 - 1),
        FormatF(sumSame / 5 - 1),
        FormatF(passOther / 20),
        FormatF(passSame / 5),
        FormatF(failOther / 20),
        FormatF(failSame / 5),
    };
    EXPECT_EQ(outcome.table.rows[0], expected);
    EXPECT_EQ(outcome.table.captions.size(), expected.size());
}

TEST(TrainingTest, PairsWithoutAnAnswerAreNamed) {
    TrainingInputs inputs{9, "S", {}};
    for (const std::string& a : TrainingVowels())
        for (const std::string& b : TrainingVowels())
            inputs.pairs.push_back({a, b, FailingAnswer{-20, 2.0}, 1.0});
    inputs.pairs[1].passingDuration.reset();  // あ い: the passing answer is missing
    inputs.pairs[6].failing.reset();          // い い: never ended
    const TrainingOutcome outcome = AnalyseTraining(inputs, 4);
    EXPECT_EQ(outcome.messages,
              (std::vector<std::string>{"Subject=9,Masking=あ,Masked=い is not found!",
                                        "Subject=9,Masking=い,Masked=い has no failing answer!"}));
    // Separation: 20 pairs counted, one without a passing time; hearing: 4 pairs.
    EXPECT_EQ(outcome.table.rows.at(0),
              (std::vector<std::string>{"S", "-17.000000", "-17.000000", "0.950000", "1.000000",
                                        "2.000000", "2.000000"}));

    for (TrainingPair& pair : inputs.pairs) pair.failing.reset();
    const TrainingOutcome none = AnalyseTraining(inputs, 4);
    EXPECT_EQ(none.messages, std::vector<std::string>{kNoResultCollected});
    EXPECT_EQ(none.table.rows.at(0), (std::vector<std::string>{"S", "", "", "", "", "", ""}));

    inputs.subjectName.reset();
    const TrainingOutcome unknown = AnalyseTraining(inputs, 4);
    EXPECT_EQ(unknown.messages, std::vector<std::string>{"Subject=9 is not registered!"});
    EXPECT_TRUE(unknown.table.rows.empty());
}

}  // namespace
}  // namespace kestrune::analysis
