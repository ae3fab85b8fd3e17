// Process → Add noise: uniform noise added to every sample of the one open
// wave.
#pragma once

#include <cstdint>

#include "core/wave/WaveSet.h"

namespace kestrune {
class CrtRandom;
}

namespace kestrune::edits {

/**
 * The half-width A of the noise for an amplitude (a fraction of full scale)
 * and a bit depth b: the integer part of 2^(b-1) x amplitude, 0 for an
 * amplitude of 0 or below (or not a number). Above 2^32 it stays at 2^32:
 * from there on every noisy sample saturates to the same end of the range
 * whatever A is, so the result is the same.
 */
int64_t NoiseHalfWidth(float amplitude, uint16_t bits);

/**
 * Adds noise to wave 0 of a set holding one wave. The amplitude is kept in
 * processParameters.noiseAmplitude (0 when it is 0 or below). For each
 * sample one draw r = integer part of (2A x rand() / 32767.0) from `random`
 * adds r - A, an integer from -A to +A; 16-bit results are clamped to
 * -32768 ... 32767, 8-bit results (byte value plus noise) to 0 ... 255.
 *
 * `fileBits` is the bit depth of the wave file most recently opened or
 * saved, which sets A; it normally equals the set's own depth but need not
 * (an 8-bit file opened and closed, then a 16-bit recording).
 *
 * An amplitude of 0 or below changes no sample and keeps the name; the views
 * are still redrawn. A set in another depth than 8 or 16 bits is left alone.
 */
Outcome AddNoise(WaveSet& set, float amplitude, uint16_t fileBits, CrtRandom& random);

}  // namespace kestrune::edits
