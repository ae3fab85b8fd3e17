// The Process-menu edits that need no dialog: reversing a wave in time or in
// sign, bringing its sound to a fixed power, cutting a one-second standard
// stimulus out of it, and cutting it at a clicked sample. Each works on wave
// 0 of a set holding exactly one wave and returns what the window shows.
//
// Choices where the plain rules leave a gap:
//  - The sound's start and end (a hysteresis count over |sample| > 64 that
//    must reach 50, then 50 samples back or forward) are clamped into the
//    wave: sound found within the first or last 50 samples starts at sample 0
//    or ends at the last sample instead of outside the wave.
//  - A sound whose power comes out as 0 (rms 0), an empty wave, or a start
//    found after the end gives "Invalid signal!" and leaves the wave as it
//    was, instead of dividing by zero.
//  - A cut position outside the wave is clamped to its first or last sample.
#pragma once

#include <cstdint>

#include "core/dsp/EditRules.h"
#include "core/wave/WaveSet.h"

namespace kestrune::edits {

// The texts these edits show, exactly as shown.
inline constexpr char kInvalidBits[] = "Invalid wBitsPerSample!";
inline constexpr char kInvalidSignal[] = "Invalid signal!";
inline constexpr char kTooShort[] = "Signal length is too short to standardized!";
inline constexpr char kCutNeedsOneWave[] = "Only one wave file opended can be edited!";
// printf formats: the power unification's ratio (spelt as it is shown),
// its overflow count, and the standardization's ratio.
inline constexpr char kUnifyRatioFormat[] = "Amplication ratio is %f .";
inline constexpr char kOverflowFormat[] = "Amplification is overflow in %d times!";
inline constexpr char kStandardizeRatioFormat[] = "Amplification ratio is %f .";

// Result names.
inline constexpr char kHorizontalReversed[] = "Horizontal reversed wave";
inline constexpr char kVerticalReversed[] = "Vertical reversed wave";
inline constexpr char kPowerUnified[] = "Power unified wave";
inline constexpr char kSignalStandardized[] = "Signal standardized wave";

// The rms the power edits bring a sound to.
inline constexpr double kTargetRms = 4096.0;

/** Reverses wave 0 in time (8 or 16 bits). */
Outcome HorizontalReverse(WaveSet& set);

/** Reverses wave 0 in sign: 16-bit samples are negated in 16 bits (-32768
 *  stays), 8-bit bytes u become (256 - u) mod 256. */
Outcome VerticalReverse(WaveSet& set);

/**
 * 16 bits only. Silences everything outside the sound and scales the sound
 * to rms 4096, saturating at +-32767. The ratio is shown as a warning (it
 * comes first); the number of saturated samples, when there are any, as
 * the message.
 */
Outcome PowerUnification(WaveSet& set);

/**
 * 16 bits only. Takes the 200 ms in the middle of the sound, scales them to
 * rms 4096 and places them from 400 ms into a wave of one second of
 * silence. The ratio is shown as a warning.
 */
Outcome SignalStandardization(WaveSet& set);

/** Which side a cut removes: Left keeps the clicked sample and what follows,
 *  Right keeps sample 0 up to the clicked sample. */
enum class CutSide { Left = -1, Right = 1 };

/** Arming a cut tool from the Process menu: needs one wave, which takes
 *  the name "Edited wave" at once (nothing to redraw). */
Outcome ArmCut(WaveSet& set);

/** Cuts wave 0 at `sample` (clamped into the wave). The name stays: the
 *  menu command that armed the tool has renamed the wave already. */
Outcome Cut(WaveSet& set, CutSide side, int64_t sample);

}  // namespace kestrune::edits
