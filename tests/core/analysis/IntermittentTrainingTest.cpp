#include <gtest/gtest.h>

#include "core/analysis/Intermittent.h"
#include "core/analysis/Training.h"

namespace kestrune::analysis {
namespace {

TEST(IntermittentTest, VoicingPartners) {
    const char* cases[][2] = {{"か", "が"}, {"が", "か"}, {"は", "ば"}, {"ぼ", "ほ"}, {"づ", "つ"},
                              {"あ", "あ"}, {"ん", "ん"}, {"を", ""},   {"ぱ", ""},   {"きゃ", ""},
                              {"", ""},     {"ka", ""},   {"、", ""}};
    for (const auto& [kana, partner] : cases) EXPECT_EQ(VoicingPartner(kana), partner) << kana;
}

TEST(IntermittentTest, WhichTrialsCountAndWhichAreCorrect) {
    const struct {
        const char *played, *answered;
        int total, correct;
    } cases[] = {
        {"が", "か", 1, 1}, {"か", "が", 1, 1}, {"か", "か", 1, 1},     {"か", "き", 1, 0},
        {"か", "", 1, 0},   {"ん", "ん", 1, 1}, {"ば", "は", 1, 1},     {"は", "ぱ", 1, 0},
        {"ぱ", "ぱ", 0, 0}, {"を", "お", 0, 0}, {"きゃ", "きゃ", 0, 0}, {"", "", 0, 0},
    };
    for (const auto& c : cases) {
        const RecognitionCount count = CountRecognised({{c.played, c.answered}, {"x", "x"}});
        EXPECT_EQ(count, (RecognitionCount{c.total, c.correct})) << c.played << c.answered;
        EXPECT_EQ(IntermittentTable(count).rows.size(), std::size_t(c.total));
    }
    EXPECT_EQ(IntermittentTable({3, 2}).rows,
              (std::vector<std::vector<std::string>>{{"3", "2", "66.7%"}}));
    EXPECT_EQ(IntermittentTable({8, 1}).rows.at(0).at(2), "12.5%");
    EXPECT_EQ(IntermittentTable({1, 1}).rows.at(0).at(2), "100.0%");
}

TEST(IntermittentTest, FieldsThatAreNoNumbersAreRefused) {
    const char* fields[] = {"The duty cycle", "The lower bound", "The upper bound"};
    const char* refused[] = {"abc",        "0.5 OR 1=1", "0.5; DROP TABLE BasicRecord; --",
                             "1950 /* */", "(SELECT 1)", "1e3",
                             "nan",        ".",          "1.2.3"};
    for (int field = 0; field < 3; ++field) {
        for (const char* text : refused) {
            std::string texts[3];
            texts[field] = text;
            IntermittentFilter filter{.dutyCycle = 9.0};
            std::string error;
            EXPECT_FALSE(ReadIntermittentFilter(texts[0], texts[1], texts[2], &filter, &error));
            EXPECT_EQ(error.find(fields[field]), 0u) << error;
            EXPECT_EQ(filter.dutyCycle, 9.0);
        }
    }
}

TEST(TrainingTest, ParametersMustBeWholeNumbers) {
    const char* cases[][3] = {
        {"2", "3", "1"}, {" 12 ", "-3", "1"}, {"2.5", "3", ""},  {"1 OR 1=1", "3", ""},
        {"", "3", ""},   {"2", "3dB", ""},    {"2", "5000", ""}, {"99999999999999999999", "3", ""}};
    for (const auto& [subject, step, read] : cases) {
        std::int64_t id = 0;
        int db = 0;
        std::string error;
        EXPECT_EQ(ReadTrainingParameters(subject, step, &id, &db, &error), *read != 0) << error;
    }
}

// (Pairs without one of their answers: IntermittentQueriesTest, on a database.)
TEST(TrainingTest, ASubjectWithoutResultsOrWithoutARow) {
    TrainingInputs inputs{9, "S", {}};
    for (const std::string& a : TrainingVowels())
        for (const std::string& b : TrainingVowels()) inputs.pairs.push_back({a, b, {}, 1.0});
    const TrainingOutcome none = AnalyseTraining(inputs, 4);
    EXPECT_EQ(none.messages, std::vector<std::string>{kNoResultCollected});
    EXPECT_EQ(none.table.rows.at(0), (std::vector<std::string>{"S", "", "", "", "", "", ""}));
    inputs.subjectName.reset();
    EXPECT_TRUE(AnalyseTraining(inputs, 4).table.rows.empty());
}

}  // namespace
}  // namespace kestrune::analysis
