#include "core/analysis/KanaConfusion.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>

namespace kestrune::analysis {
namespace {

std::string Count(long long value) {
    return std::to_string(value);
}

// count / of, as "%f"; kNoRatio when there is nothing to divide by. A zero
// count would otherwise print C's "nan" (or "-nan"), which a spreadsheet
// does not read as a number and a reader takes for a fault.
std::string Ratio(long long count, long long of, double scale = 1.0) {
    if (of == 0) return kNoRatio;
    return FormatF(static_cast<double>(count) / static_cast<double>(of) * scale);
}

// Syllable number of each exact kana text.
const std::map<std::string, int>& NumberOfKana() {
    static const std::map<std::string, int> numbers = [] {
        std::map<std::string, int> made;
        for (int n = 1; n <= kKanaCount; ++n) made.emplace(SyllableToKana(n), n);
        return made;
    }();
    return numbers;
}

// The syllable number of a field (kana-to-number: the entry the text first
// occurs in); a NULL field has none.
int Number(const std::optional<std::string>& field) {
    return field ? KanaToSyllable(*field) : -1;
}

// Counts and exact answers per class (段 or 行) of the played kana, and the
// class each answer fell in.
template <int kClasses>
struct Confusion {
    std::array<long long, kClasses + 1> count{};
    std::array<long long, kClasses + 1> exact{};
    std::array<std::array<long long, kClasses + 1>, kClasses + 1> matrix{};
};

template <int kClasses, typename ClassOf>
Confusion<kClasses> Confuse(const std::vector<KanaPair>& trials, ClassOf classOf) {
    Confusion<kClasses> made;
    // The table is searched once per distinct text, not once per trial.
    std::map<std::string, int> numbers;
    const auto number = [&numbers](const std::optional<std::string>& field) {
        if (!field) return -1;
        const auto [at, added] = numbers.try_emplace(*field, 0);
        if (added) at->second = Number(field);
        return at->second;
    };
    for (const KanaPair& trial : trials) {
        const int p = number(trial.played);
        const int q = number(trial.answered);
        const int c1 = classOf(p);
        if (c1 < 1 || c1 > kClasses) continue;
        const int c2 = classOf(q);
        ++made.count[c1];
        if (p == q) ++made.exact[c1];
        if (c2 >= 0 && c2 <= kClasses) ++made.matrix[c1][c2];
    }
    return made;
}

template <int kClasses>
ResultTable ConfusionTable(const Confusion<kClasses>& confusion,
                           const std::vector<std::string>& labels, const std::string& nameCaption,
                           const std::string& allLabel) {
    ResultTable table;
    table.captions = {nameCaption, "回数", "全然正し"};
    table.widths = {40, 40, 40};
    for (int c = 1; c <= kClasses; ++c) {
        table.captions.push_back(labels[c]);
        table.widths.push_back(50);
    }
    long long count = 0;
    long long exact = 0;
    for (int c1 = 1; c1 <= kClasses; ++c1) {
        std::vector<std::string> row = {labels[c1], Count(confusion.count[c1]),
                                        Ratio(confusion.exact[c1], confusion.count[c1])};
        for (int c2 = 1; c2 <= kClasses; ++c2)
            row.push_back(Ratio(confusion.matrix[c1][c2], confusion.count[c1]));
        table.rows.push_back(std::move(row));
        count += confusion.count[c1];
        exact += confusion.exact[c1];
    }
    std::vector<std::string> all = {allLabel, Count(count), Ratio(exact, count)};
    all.resize(table.captions.size());
    table.rows.push_back(std::move(all));
    return table;
}

long long CountIn(const std::string& text) {
    long long value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

}  // namespace

KanaAnswerCounts CountAnswers(const std::vector<AnswerCount>& answers) {
    KanaAnswerCounts counts;
    long long named = 0;
    for (const AnswerCount& answer : answers) {
        counts.total += answer.count;
        if (!answer.answered) continue;
        const auto found = NumberOfKana().find(*answer.answered);
        if (found == NumberOfKana().end()) continue;
        counts.count[found->second] += answer.count;
        named += answer.count;
    }
    counts.count[0] = counts.total - named;
    return counts;
}

KanaAnswerCounts CountAnswers(const std::string& played, const std::vector<KanaPair>& trials) {
    std::vector<AnswerCount> answers;
    for (const KanaPair& trial : trials)
        if (trial.played == played) answers.push_back({trial.answered, 1});
    return CountAnswers(answers);
}

ResultTable KanaDataTable(const KanaAnswerCounts& counts) {
    ResultTable table;
    table.captions = {"認識されたカナ", "回数", "%"};
    table.widths = {90, 50, 50};
    for (int n = 1; n <= kKanaCount; ++n)
        table.rows.push_back(
            {SyllableToKana(n), Count(counts.count[n]), Ratio(counts.count[n], counts.total, 100)});
    table.rows.push_back(
        {"Null", Count(counts.count[0]), Ratio(counts.count[0], counts.total, 100)});
    table.rows.push_back({"Total", Count(counts.total), FormatF(100)});
    return table;
}

ResultTable SegmentTable(const std::vector<KanaPair>& trials) {
    std::vector<std::string> labels(6);
    for (int c = 1; c <= 5; ++c) labels[c] = SyllableToKana(c) + "段";
    return ConfusionTable(Confuse<5>(trials, VowelColumn), labels, "段名", "全部段");
}

ResultTable RowTable(const std::vector<KanaPair>& trials) {
    std::vector<std::string> labels(27);
    for (int r = 1; r <= 26; ++r) labels[r] = SyllableToKana(RowRepresentative(r)) + "行";
    return ConfusionTable(Confuse<26>(trials, ConsonantRow), labels, "行名", "全部行");
}

bool KanaDataSort::Click(int column, ResultTable& table) {
    if (column != 1 && column != 2) return false;
    descending_ = column == column_ ? !descending_ : false;
    column_ = column;
    const bool descending = descending_;
    std::stable_sort(
        table.rows.begin(), table.rows.end(),
        [descending](const std::vector<std::string>& a, const std::vector<std::string>& b) {
            const long long x = CountIn(a.at(1));
            const long long y = CountIn(b.at(1));
            return descending ? y < x : x < y;
        });
    return true;
}

}  // namespace kestrune::analysis
