#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <random>

#include "core/analysis/KanaConfusion.h"
#include "core/kana/KanaTable.h"

namespace kestrune::analysis {
namespace {

std::string F(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

// Trials drawn from a seeded generator: played kana of every column but え段
// (so its line has no trials), を, a missing content; answers right, any kana,
// empty, missing, no kana at all, a fragment ("ゃ"), を.
std::vector<KanaPair> Trials(unsigned seed, int size) {
    std::mt19937 random(seed);
    std::vector<std::string> playable;
    for (int n = 1; n <= kKanaCount; ++n)
        if (VowelColumn(n) != 4) playable.push_back(SyllableToKana(n));
    playable.push_back("を");
    const auto pick = [&](int below) { return static_cast<int>(random() % below); };
    std::vector<KanaPair> trials;
    for (int i = 0; i < size; ++i) {
        KanaPair trial;
        if (pick(50) > 0) trial.played = playable[pick(static_cast<int>(playable.size()))];
        switch (pick(8)) {
            case 0:
            case 1:
            case 2:
                trial.answered = trial.played;
                break;
            case 3:
                trial.answered = "";
                break;
            case 4:
                break;
            case 5:
                trial.answered = pick(2) ? "xyz" : "ゃ";
                break;
            case 6:
                trial.answered = "を";
                break;
            default:
                trial.answered = SyllableToKana(1 + pick(kKanaCount));
        }
        trials.push_back(trial);
    }
    return trials;
}

// The table worked out cell by cell from the trials, one count per cell.
ResultTable ExpectedConfusion(const std::vector<KanaPair>& trials, int classes, int (*classOf)(int),
                              const std::string& caption, const std::string& all,
                              const std::string& suffix, int (*labelSyllable)(int)) {
    // Each trial's played and answered syllable numbers, looked up once.
    std::vector<std::pair<int, int>> numbers;
    for (const KanaPair& t : trials)
        numbers.emplace_back(t.played ? KanaToSyllable(*t.played) : -1,
                             t.answered ? KanaToSyllable(*t.answered) : -1);
    const auto ratio = [](long long part, long long whole) {
        return whole == 0 ? std::string("-") : F(static_cast<double>(part) / whole);
    };
    ResultTable expected;
    expected.captions = {caption, "回数", "全然正し"};
    expected.widths = {40, 40, 40};
    for (int c = 1; c <= classes; ++c) {
        expected.captions.push_back(SyllableToKana(labelSyllable(c)) + suffix);
        expected.widths.push_back(50);
    }
    long long allCount = 0, allExact = 0;
    for (int c1 = 1; c1 <= classes; ++c1) {
        const auto in = [&](const std::pair<int, int>& t) { return classOf(t.first) == c1; };
        const long long count = std::count_if(numbers.begin(), numbers.end(), in);
        const long long exact = std::count_if(numbers.begin(), numbers.end(), [&](const auto& t) {
            return in(t) && t.first == t.second;
        });
        std::vector<std::string> row = {SyllableToKana(labelSyllable(c1)) + suffix,
                                        std::to_string(count), ratio(exact, count)};
        for (int c2 = 1; c2 <= classes; ++c2)
            row.push_back(ratio(
                std::count_if(numbers.begin(), numbers.end(),
                              [&](const auto& t) { return in(t) && classOf(t.second) == c2; }),
                count));
        expected.rows.push_back(row);
        allCount += count;
        allExact += exact;
    }
    std::vector<std::string> last = {all, std::to_string(allCount), ratio(allExact, allCount)};
    last.resize(expected.captions.size());
    expected.rows.push_back(last);
    return expected;
}

int Identity(int c) {
    return c;
}

TEST(KanaConfusionTest, TablesAgreeWithACellByCellCount) {
    for (const unsigned seed : {1u, 7u, 2024u}) {
        const std::vector<KanaPair> trials = Trials(seed, 3000);
        EXPECT_EQ(SegmentTable(trials),
                  ExpectedConfusion(trials, 5, VowelColumn, "段名", "全部段", "段", Identity))
            << seed;
        EXPECT_EQ(RowTable(trials), ExpectedConfusion(trials, 26, ConsonantRow, "行名", "全部行",
                                                      "行", RowRepresentative))
            << seed;

        for (const std::string played : {"お", "きゃ", "ん", "ぴょ"}) {
            const KanaAnswerCounts counts = CountAnswers(played, trials);
            const ResultTable table = KanaDataTable(counts);
            long long total = 0, named = 0;
            for (const KanaPair& t : trials) total += t.played == played;
            ASSERT_EQ(table.rows.size(), 106u);
            for (int n = 1; n <= kKanaCount; ++n) {
                const std::string kana = SyllableToKana(n);
                long long count = 0;
                for (const KanaPair& t : trials) count += t.played == played && t.answered == kana;
                named += count;
                EXPECT_EQ(table.rows[n - 1],
                          (std::vector<std::string>{kana, std::to_string(count),
                                                    F(static_cast<double>(count) / total * 100)}))
                    << played << " answered " << kana;
            }
            EXPECT_EQ(table.rows[104], (std::vector<std::string>{
                                           "Null", std::to_string(total - named),
                                           F(static_cast<double>(total - named) / total * 100)}));
            EXPECT_EQ(table.rows[105],
                      (std::vector<std::string>{"Total", std::to_string(total), "100.000000"}));
        }
    }
}

TEST(KanaConfusionTest, OneTrialLandsInItsCells) {
    // played, answered -> segment line (0: none), its exact count, answer column (0: none);
    // row line and answer row likewise.
    const struct {
        std::optional<std::string> played, answered;
        int column, exact, answerColumn, row, answerRow;
    } cases[] = {
        {"か", "き", 1, 0, 2, 2, 2},       {"きゃ", "きゃ", 1, 1, 1, 16, 16},
        {"きょ", "きゅ", 5, 0, 3, 16, 16}, {"を", "お", 0, 0, 0, 0, 0},
        {"お", "", 5, 0, 0, 1, 0},         {"お", std::nullopt, 5, 0, 0, 1, 0},
        {"お", "xyz", 5, 0, 0, 1, 0},      {"お", "を", 5, 0, 0, 1, 0},
        {"ゃ", "きゃ", 1, 1, 1, 16, 16},   {std::nullopt, "あ", 0, 0, 0, 0, 0},
        {"ん", "ぬ", 5, 0, 3, 10, 5},      {"ぱ", "ば", 1, 0, 1, 15, 14},
        {"よ", "りょ", 5, 0, 5, 8, 22},    {"ぴょ", "ぴょ", 5, 1, 5, 26, 26},
    };
    for (const auto& c : cases) {
        const std::vector<KanaPair> one = {{c.played, c.answered}};
        const std::string label = c.played.value_or("NULL") + "/" + c.answered.value_or("NULL");
        const ResultTable segment = SegmentTable(one);
        const ResultTable rows = RowTable(one);
        EXPECT_EQ(segment.rows[5][1], c.column ? "1" : "0") << label;
        EXPECT_EQ(rows.rows[26][1], c.row ? "1" : "0") << label;
        for (int line = 1; line <= 5; ++line)
            for (int column = 1; column <= 5; ++column)
                EXPECT_EQ(segment.rows[line - 1][2 + column], line != c.column ? "-"
                                                              : column == c.answerColumn
                                                                  ? "1.000000"
                                                                  : "0.000000")
                    << label << " line " << line << " column " << column;
        if (c.row)
            for (int r = 1; r <= 26; ++r)
                EXPECT_EQ(rows.rows[c.row - 1][2 + r], r == c.answerRow ? "1.000000" : "0.000000")
                    << label << " row " << r;
        if (c.column) EXPECT_EQ(segment.rows[c.column - 1][2], F(c.exact)) << label;
    }
}

TEST(KanaConfusionTest, HeaderClicksSortByCountStably) {
    const auto table = [] {
        ResultTable made{{"認識されたカナ", "回数", "%"}, {}, {}};
        for (const auto& [kana, count] : std::vector<std::pair<std::string, int>>{
                 {"あ", 3}, {"い", 0}, {"う", 7}, {"え", 3}, {"お", 0}})
            made.rows.push_back({kana, std::to_string(count), "x"});
        return made;
    };
    const auto order = [](const ResultTable& t) {
        std::string kana;
        for (const auto& row : t.rows) kana += row[0];
        return kana;
    };
    const struct {
        std::vector<int> clicks;
        std::string order;
    } cases[] = {
        {{1}, "いおあえう"},       {{1, 1}, "うあえいお"},    {{1, 1, 1}, "いおあえう"},
        {{2}, "いおあえう"},       {{1, 2}, "いおあえう"},    {{2, 2}, "うあえいお"},
        {{0}, "あいうえお"},       {{1, 0, 1}, "うあえいお"}, {{1, 1, 2}, "いおあえう"},
        {{2, 2, 1}, "いおあえう"},
    };
    for (const auto& c : cases) {
        ResultTable sorted = table();
        KanaDataSort sort;
        bool any = false;
        for (const int column : c.clicks) any |= sort.Click(column, sorted);
        EXPECT_EQ(order(sorted), c.order) << ::testing::PrintToString(c.clicks);
        EXPECT_EQ(any, c.clicks != std::vector<int>{0});
    }
}

}  // namespace
}  // namespace kestrune::analysis
