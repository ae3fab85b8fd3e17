// Amplify: scales every sample of wave 0 by a gain of 0 to 20.
#pragma once

#include "core/wave/WaveSet.h"

namespace kestrune::edits {

/** The largest gain Amplify applies. */
inline constexpr float kMaxGain = 20.0f;

/** The gain Amplify applies for the one asked: below 0 it is 0, above 20 it
 *  is 20 (text that is no number has already become 0). */
float ClampGain(double asked);

/**
 * The Amplify command after its dialog: with exactly one wave, stores the
 * clamped gain in the remembered parameters. A gain of 1.0 only asks for a
 * redraw. Otherwise every sample is scaled, truncated toward zero and
 * clamped: 16-bit s × gain into −32768 … 32767, 8-bit (u − 127) × gain + 127
 * into 0 … 255; the wave is named "Edited wave".
 */
Outcome Amplify(WaveSet& set, double gain);

}  // namespace kestrune::edits
