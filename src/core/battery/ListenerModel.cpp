#include "core/battery/ListenerModel.h"

#include <algorithm>
#include <cmath>

#include "core/kana/KanaTable.h"

namespace kestrune {

namespace {

// Draws one entry of a list that is not empty, each alike (RandomInt(n)
// reaches n itself only on its largest draw, which takes the last entry).
int PickOne(const std::vector<int>& from, CrtRandom& random) {
    const int count = static_cast<int>(from.size());
    return from[static_cast<size_t>(std::min(RandomInt(random, count), count - 1))];
}

std::vector<int> SyllablesWhere(int number, bool (*same)(int, int)) {
    std::vector<int> found;
    if (number < 1 || number > kKanaCount) return found;
    for (int n = 1; n <= kKanaCount; ++n)
        if (n != number && same(number, n)) found.push_back(n);
    return found;
}

// How much harder (positive) or easier a pair is than the listener's
// average, in dB: vowels close in sound (い/え, う/お) are told apart less
// well than distant ones (あ/い). Rows: masking vowel, columns: masked vowel.
constexpr double kPairOffsetDb[kVowelCount][kVowelCount] = {
    {0.0, -2.0, -1.0, -1.5, 2.0}, {-1.5, 0.0, 1.0, 3.0, -2.0}, {-1.0, 1.5, 0.0, -0.5, 3.0},
    {-1.0, 2.5, -0.5, 0.0, -1.5}, {2.5, -2.0, 2.0, -1.0, 0.0},
};

// Separation threshold at 20 years and its rise per year; the same vowel
// twice is heard this much further down.
constexpr double kSeparationAt20Db = -24.0;
constexpr double kSeparationPerYearDb = 0.35;
constexpr double kSameVowelBelowDb = 6.0;

}  // namespace

double UniformDraw(CrtRandom& random) {
    return random.Next() / (CrtRandom::kMax + 1.0);
}

double Logistic(double x, double midpoint, double slope) {
    return 1.0 / (1.0 + std::exp(-(x - midpoint) / slope));
}

KanaListenerTraits KanaTraitsForAge(int age) {
    KanaListenerTraits traits;
    // 0.35 at 20 years, 0.55 at 70.
    traits.halfKept = 0.35 + 0.004 * std::clamp(age - 20, 0, 60);
    return traits;
}

double KanaCorrectChance(const KanaListenerTraits& traits, double keptFraction) {
    return (1.0 - traits.lapse) * Logistic(keptFraction, traits.halfKept, traits.slope);
}

int VoicingPartner(int number) {
    // Consonant rows and their partners: か が, さ ざ, た だ, は ば, ぱ (to は),
    // きゃ ぎゃ, しゃ じゃ, ひゃ びゃ, ぴゃ (to ひゃ).
    static constexpr std::pair<int, int> kRows[] = {
        {2, 11}, {11, 2},  {3, 12},  {12, 3},  {4, 13},  {13, 4},  {6, 14},  {14, 6},
        {15, 6}, {16, 23}, {23, 16}, {17, 24}, {24, 17}, {20, 25}, {25, 20}, {26, 20}};
    const int row = ConsonantRow(number);
    for (const auto& [from, to] : kRows)
        if (row == from) return RowRepresentative(to) + (number - RowRepresentative(from));
    return 0;
}

std::vector<int> SameRowSyllables(int number) {
    return SyllablesWhere(number, [](int a, int b) { return ConsonantRow(a) == ConsonantRow(b); });
}

std::vector<int> SameColumnSyllables(int number) {
    return SyllablesWhere(number, [](int a, int b) {
        return VowelColumn(a) == VowelColumn(b) && ConsonantRow(a) != ConsonantRow(b);
    });
}

std::string KanaListenerAnswer(int played, double keptFraction, const KanaListenerTraits& traits,
                               CrtRandom& random) {
    if (UniformDraw(random) < KanaCorrectChance(traits, keptFraction))
        return SyllableToKana(played);
    // Voicing is lost most easily in a cut syllable; the consonant or the
    // vowel alone next; with little heard the subject gives up more often.
    const double draw = UniformDraw(random);
    const double nothing = keptFraction < traits.halfKept ? 0.3 : 0.1;
    KanaMistake mistake = KanaMistake::Nothing;
    if (draw < 0.4)
        mistake = KanaMistake::Voicing;
    else if (draw < 0.65)
        mistake = KanaMistake::SameRow;
    else if (draw < 1.0 - nothing)
        mistake = KanaMistake::SameColumn;
    switch (mistake) {
        case KanaMistake::Voicing:
            if (const int partner = VoicingPartner(played)) return SyllableToKana(partner);
            [[fallthrough]];
        case KanaMistake::SameRow:
            if (const std::vector<int> row = SameRowSyllables(played); !row.empty())
                return SyllableToKana(PickOne(row, random));
            [[fallthrough]];
        case KanaMistake::SameColumn:
            if (const std::vector<int> column = SameColumnSyllables(played); !column.empty())
                return SyllableToKana(PickOne(column, random));
            [[fallthrough]];
        case KanaMistake::Nothing:
            break;
    }
    return "";
}

VowelListenerTraits VowelTraitsForAge(int age, double jitter) {
    VowelListenerTraits traits;
    const double separation = kSeparationAt20Db + kSeparationPerYearDb * (age - 20) + jitter;
    for (int i = 0; i < kVowelCount; ++i) {
        for (int j = 0; j < kVowelCount; ++j) {
            traits.threshold[static_cast<size_t>(VowelPairIndex(i, j))] =
                i == j ? separation - kSameVowelBelowDb : separation + kPairOffsetDb[i][j];
        }
    }
    return traits;
}

double VowelCorrectChance(const VowelListenerTraits& traits, int pair, int level) {
    const double heard = Logistic(level, traits.threshold[static_cast<size_t>(pair)], traits.slope);
    return traits.guess + (1.0 - traits.guess - traits.lapse) * heard;
}

VowelListenerAnswer VowelListenerResponse(int masking, int masked, int level,
                                          const VowelListenerTraits& traits, CrtRandom& random) {
    VowelListenerAnswer answer;
    const bool right =
        UniformDraw(random) < VowelCorrectChance(traits, VowelPairIndex(masking, masked), level);
    if (right) {
        answer.marks.Mark(masking);
        answer.marks.Mark(masked);
        answer.kind = masking == masked ? VowelAnswerKind::One : VowelAnswerKind::Two;
        return answer;
    }
    const double draw = UniformDraw(random);
    std::vector<int> others;
    for (int v = 0; v < kVowelCount; ++v)
        if (v != masking && v != masked) others.push_back(v);
    if (draw < 0.5 && masking == masked) {
        // The same vowel twice taken for another one.
        answer.marks.Mark(PickOne(others, random));
        answer.kind = VowelAnswerKind::One;
    } else if (draw < 0.5) {
        // A second vowel that was not played.
        answer.marks.Mark(masking);
        answer.marks.Mark(PickOne(others, random));
        answer.kind = VowelAnswerKind::Two;
    } else if (draw < 0.8 && masking != masked) {
        // Only the loud masking vowel.
        answer.marks.Mark(masking);
        answer.kind = VowelAnswerKind::One;
    }
    return answer;  // otherwise "わからない"
}

int ReactionMs(CrtRandom& random) {
    return 700 + RandomInt(random, 1900);
}

}  // namespace kestrune
