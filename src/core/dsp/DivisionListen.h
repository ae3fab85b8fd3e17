// Test → Division listen: the one open wave played to the two ears in turn,
// the left ear for the duty fraction of every period and the right ear for
// the rest.
//
// Choice where the plain rules leave a gap: the wave set always holds mono
// samples (a two-channel file keeps its left channel when opened), so the
// stereo source duplicates every sample into both channels whatever the
// channel count of the file's header; the depth is the set's own.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "core/wave/WaveFile.h"

namespace kestrune::dsp {

/** The duty as played: below 0 is 0, above 1 is 1 (not a number: 0). */
double PlayedDuty(double duty);

/** Frames per period: the integer part of rate x periodMs / 1000 (0 for a period of 0 or less). */
std::uint32_t PeriodFrames(std::uint32_t rate, double periodMs);

/**
 * The wave as interleaved 16-bit stereo (left, right per frame), both
 * channels equal: 16-bit samples as they are, an 8-bit byte u as
 * ((u - 128) x 32767) / 127 (integer division; byte 0 gives -33025, held
 * at -32768).
 */
std::vector<std::int16_t> StereoSource(std::span<const std::uint8_t> samples, std::uint32_t count,
                                       std::uint16_t bits);

/**
 * The alternating copy of a stereo source: every whole period of n =
 * PeriodFrames(rate, periodMs) frames keeps only the left channel for its
 * first (int)(n x duty) frames (duty as played) and only the right channel
 * for the rest; a trailing part shorter than n keeps both.
 */
std::vector<std::int16_t> AlternateEars(std::span<const std::int16_t> stereo, std::uint32_t rate,
                                        double periodMs, double duty);

/** The format the copy is played in: 2 channels, 16 bits at `rate`. */
WaveFormat DivisionFormat(std::uint32_t rate);

}  // namespace kestrune::dsp
