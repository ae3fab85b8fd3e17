// Sample-rate conversion of mono PCM, for a sound device that will not play
// a wave at the rate it is meant to be heard at.
//
// A playback sped up by a factor plays the wave's samples at rate x factor,
// which raises the pitch with the speed. When the device refuses that rate,
// the samples are converted from it to a rate the device takes: played
// there, they sound exactly as the refused rate would have, pitch included.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrune::dsp {

/**
 * `frames` mono samples (8-bit unsigned or 16-bit signed little-endian, per
 * `bits`), taken as sampled at `fromRate`, converted to `toRate` (band-limited
 * sinc interpolation). The result has the same sample format and about
 * frames x toRate / fromRate frames, clipped to the format's range. Empty
 * when the input is empty, a rate is 0, `bits` is neither 8 nor 16 or the
 * conversion fails.
 */
std::vector<std::uint8_t> ResamplePcm(const std::uint8_t* bytes, std::size_t frames, int bits,
                                      std::uint32_t fromRate, std::uint32_t toRate);

}  // namespace kestrune::dsp
