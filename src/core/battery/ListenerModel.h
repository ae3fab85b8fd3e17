// Simulated listeners for the interrupted speech and the vowel
// discrimination tests: simple psychometric models that answer the way a
// subject of a given age plausibly would, so that a new station's database
// can be filled with results made by the tests themselves.
//
// Every draw comes from the CrtRandom passed in (its sequence is the same on
// every platform), so a listener seeded alike answers alike.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "core/battery/VowelDiscrimination.h"
#include "core/util/Random.h"

namespace kestrune {

/** A uniform draw in [0, 1) from one Next(). */
double UniformDraw(CrtRandom& random);

/** 1 / (1 + e^(-(x - midpoint) / slope)); slope > 0. */
double Logistic(double x, double midpoint, double slope);

// ---------------------------------------------------------------- kana

/** How a kana listener hears interrupted syllables. */
struct KanaListenerTraits {
    double halfKept = 0.45;  ///< kept fraction at which half of the syllables are heard right
    double slope = 0.08;     ///< how fast recognition rises with the kept fraction
    double lapse = 0.03;     ///< answers wrong even when everything is heard
};

/** A listener of `age` years: recognition needs more of each period with age. */
KanaListenerTraits KanaTraitsForAge(int age);

/** The chance of typing the syllable played, at a kept fraction. */
double KanaCorrectChance(const KanaListenerTraits& traits, double keptFraction);

/** The kinds of wrong answer, in the order they are tried when the drawn
 *  one has no candidate: a voicing partner (か/が), another kana of the same
 *  consonant row (か/き), one of the same vowel column (か/さ), nothing. */
enum class KanaMistake { Voicing, SameRow, SameColumn, Nothing };

/** The voicing partner of a syllable number (か 6 <-> が 47, は 26 <-> ば 62,
 *  きゃ 72 <-> ぎゃ 93, ぱ -> は ...); 0 when it has none. */
int VoicingPartner(int number);

/** The syllables of the same consonant row, or of the same vowel column in
 *  another row, leaving `number` itself out. */
std::vector<int> SameRowSyllables(int number);
std::vector<int> SameColumnSyllables(int number);

/** The text the listener types for syllable `played` (a kana table number)
 *  heard at `keptFraction`: the syllable's kana, a mistaken kana, or "" for
 *  "nothing recognised". */
std::string KanaListenerAnswer(int played, double keptFraction, const KanaListenerTraits& traits,
                               CrtRandom& random);

// ---------------------------------------------------------------- vowels

/** Level thresholds (dB) of a vowel listener per pair: the level at which
 *  the masked vowel is identified half of the time. */
struct VowelListenerTraits {
    std::array<double, kVowelPairCount> threshold{};
    double slope = 1.2;   ///< dB: how sharply identification fails below the threshold
    double lapse = 0.02;  ///< wrong although clearly heard
    double guess = 0.08;  ///< right although not heard
};

/**
 * A listener of `age` years: two different vowels are told apart down to
 * about -24 dB at 20 years, 0.35 dB less per year (near the range the
 * hearing-age estimate reads), the same vowel twice about 6 dB further
 * down; each pair differs by its own fixed amount and by `jitter` (dB, the
 * listener's own).
 */
VowelListenerTraits VowelTraitsForAge(int age, double jitter);

/** The chance of identifying a pair at `level` dB against its threshold. */
double VowelCorrectChance(const VowelListenerTraits& traits, int pair, int level);

/** An answer on the vowel panel. */
struct VowelListenerAnswer {
    VowelAnswerKind kind = VowelAnswerKind::DontKnow;
    VowelSelection marks;
};

/** What the listener marks for pair (masking, masked) at `level`: the right
 *  vowels, or else a vowel that was not played (in place of the second one,
 *  or of the same vowel played twice), only the masking vowel, or
 *  "わからない". */
VowelListenerAnswer VowelListenerResponse(int masking, int masked, int level,
                                          const VowelListenerTraits& traits, CrtRandom& random);

/** Reaction time in milliseconds: 700 ... 2600 ms after the stimulus. */
int ReactionMs(CrtRandom& random);

}  // namespace kestrune
