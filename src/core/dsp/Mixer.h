// Process → Audio mixer: the open waves mixed into one.
#pragma once

#include <optional>
#include <vector>

#include "core/wave/WaveSet.h"

namespace kestrune::edits {

inline constexpr char kMoreThanOneWave[] = "More than 1 wave files are needed!";
inline constexpr char kWeightsSumMessage[] = "The sum of weights must be 1.0!";
inline constexpr char kMixedWave[] = "Mixed wave";

/** Add: the weighted waves summed sample by sample. Mix: the first two waves
 *  interleaved, even samples from wave 0 and odd ones from wave 1. */
enum class MixMode { Add = 0, Mix = 1 };

/** The refusal for a set of fewer than two waves ("More than 1 wave files
 *  are needed!"); nothing when it holds two or more. */
std::optional<Outcome> RequireTwoWaves(const WaveSet& set);

/** Whether weights pass the normalisation check: their sum is not below
 *  0.999 (a sum above 1 passes). */
bool WeightsNormalised(const std::vector<double>& weights);

/**
 * Mixes the open waves into wave 0 and leaves it the only wave of the set,
 * named "Mixed wave". The result is as long as the longest wave, L.
 *
 * Add: out[j] starts at 0; for each wave i and each j below its own length
 * the integer part of s_i[j] x weights[i] is added and the sum clamped to
 * -32768 ... 32767 after each addition. A wave without a weight counts with
 * 1.0; a weight that is not a number adds nothing.
 * Mix: out[j] is wave 0's sample j for even j below wave 0's length, wave
 * 1's sample j for odd j below wave 1's length, 0 elsewhere; the other waves
 * are ignored.
 *
 * Both need 16-bit waves: an 8-bit set, and an L of 1 or less, are left as
 * they were without a word. A wave 0 buffer that cannot grow to L samples
 * gives "Realloc failed!" and no change. The other waves' buffers stay in
 * their slots (the set only stops counting them), as after Close wave.
 */
Outcome MixWaves(WaveSet& set, const std::vector<double>& weights, MixMode mode);

}  // namespace kestrune::edits
