#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <functional>
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

std::string Ratio(long long part, long long whole, double scale = 1) {
    return whole == 0 ? "-" : F(static_cast<double>(part) / whole * scale);
}

// Seeded trials: played kana of every column but え段 (its line stays
// empty), を, a missing content; answered right, any kana, or empty,
// missing, no kana, a fragment ("ゃ"), を.
std::vector<KanaPair> Trials(unsigned seed) {
    std::mt19937 random(seed);
    const auto pick = [&](int below) { return static_cast<int>(random() % below); };
    std::vector<std::string> playable = {"を"};
    for (int n = 1; n <= kKanaCount; ++n)
        if (VowelColumn(n) != 4) playable.push_back(SyllableToKana(n));
    const std::optional<std::string> odd[] = {"", std::nullopt, "xyz", "ゃ", "を"};
    std::vector<KanaPair> trials(3000);
    for (KanaPair& trial : trials) {
        if (pick(50) > 0) trial.played = playable[pick(static_cast<int>(playable.size()))];
        const int kind = pick(8);
        trial.answered = kind < 3   ? trial.played
                         : kind < 6 ? odd[pick(5)]
                                    : SyllableToKana(1 + pick(kKanaCount));
    }
    return trials;
}

// The table worked out cell by cell, one count over the trials per cell.
ResultTable Expected(const std::vector<KanaPair>& trials, int classes, int (*classOf)(int),
                     const std::string& caption, const std::string& all, const std::string& suffix,
                     int (*labelSyllable)(int)) {
    std::vector<std::pair<int, int>> numbers;  // played and answered syllable numbers
    for (const KanaPair& t : trials)
        numbers.emplace_back(t.played ? KanaToSyllable(*t.played) : -1,
                             t.answered ? KanaToSyllable(*t.answered) : -1);
    const auto cells = [&](auto in) { return std::count_if(numbers.begin(), numbers.end(), in); };
    ResultTable expected{{caption, "回数", "全然正し"}, {40, 40, 40}, {}};
    for (int c = 1; c <= classes; ++c) {
        expected.captions.push_back(SyllableToKana(labelSyllable(c)) + suffix);
        expected.widths.push_back(50);
    }
    long long allCount = 0, allExact = 0;
    for (int c1 = 1; c1 <= classes; ++c1) {
        const auto in = [&](const std::pair<int, int>& t) { return classOf(t.first) == c1; };
        const long long count = cells(in);
        const long long exact = cells([&](const auto& t) { return in(t) && t.first == t.second; });
        std::vector<std::string> row = {expected.captions[2 + c1], std::to_string(count),
                                        Ratio(exact, count)};
        for (int c2 = 1; c2 <= classes; ++c2)
            row.push_back(Ratio(
                cells([&](const auto& t) { return in(t) && classOf(t.second) == c2; }), count));
        expected.rows.push_back(row);
        allCount += count;
        allExact += exact;
    }
    expected.rows.push_back({all, std::to_string(allCount), Ratio(allExact, allCount)});
    expected.rows.back().resize(expected.captions.size());
    return expected;
}

int Identity(int c) {
    return c;
}

TEST(KanaConfusionTest, TablesAgreeWithACellByCellCount) {
    for (const unsigned seed : {1u, 7u, 2024u}) {
        const std::vector<KanaPair> trials = Trials(seed);
        EXPECT_EQ(SegmentTable(trials),
                  Expected(trials, 5, VowelColumn, "段名", "全部段", "段", Identity));
        EXPECT_EQ(RowTable(trials),
                  Expected(trials, 26, ConsonantRow, "行名", "全部行", "行", RowRepresentative));
        for (const std::string played : {"お", "きゃ", "ん", "ぴょ"}) {
            const auto count = [&](const std::function<bool(const KanaPair&)>& answer) {
                return std::count_if(trials.begin(), trials.end(), [&](const KanaPair& t) {
                    return t.played == played && answer(t);
                });
            };
            const long long total = count([](const KanaPair&) { return true; });
            ResultTable expected{{"認識されたカナ", "回数", "%"}, {90, 50, 50}, {}};
            long long named = 0;
            for (int n = 1; n <= kKanaCount; ++n) {
                const std::string kana = SyllableToKana(n);
                const long long c = count([&](const KanaPair& t) { return t.answered == kana; });
                expected.rows.push_back({kana, std::to_string(c), Ratio(c, total, 100)});
                named += c;
            }
            expected.rows.push_back(
                {"Null", std::to_string(total - named), Ratio(total - named, total, 100)});
            expected.rows.push_back({"Total", std::to_string(total), "100.000000"});
            EXPECT_EQ(KanaDataTable(CountAnswers(played, trials)), expected) << played;
        }
    }
}

TEST(KanaConfusionTest, HeaderClicksSortByCountStably) {
    const struct {
        std::vector<int> clicks;
        std::string order;
    } cases[] = {
        {{1}, "いおあえう"}, {{1, 1}, "うあえいお"},    {{1, 1, 1}, "いおあえう"},
        {{2}, "いおあえう"}, {{1, 2}, "いおあえう"},    {{2, 2}, "うあえいお"},
        {{0}, "あいうえお"}, {{1, 0, 1}, "うあえいお"}, {{2, 2, 1}, "いおあえう"},
    };
    for (const auto& c : cases) {
        ResultTable table{{"認識されたカナ", "回数", "%"}, {}, {}};
        for (const auto& [kana, count] : std::vector<std::pair<std::string, std::string>>{
                 {"あ", "3"}, {"い", "0"}, {"う", "7"}, {"え", "3"}, {"お", "0"}})
            table.rows.push_back({kana, count, "x"});
        KanaDataSort sort;
        bool any = false;
        for (const int column : c.clicks) any |= sort.Click(column, table);
        std::string order;
        for (const auto& row : table.rows) order += row[0];
        EXPECT_EQ(order, c.order) << ::testing::PrintToString(c.clicks);
        EXPECT_EQ(any, c.clicks != std::vector<int>{0});
    }
}

}  // namespace
}  // namespace kestrune::analysis
