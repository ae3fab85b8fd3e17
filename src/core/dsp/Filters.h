// Process → Time domain filter (an amplitude gate) and Frequency domain
// filter (a band-stop over the spectrum engine): both filter the one open
// wave in place and keep their bounds in the remembered parameters.
//
// Choices where the plain rules leave a gap:
//  - The band-stop clears bins FrequencyToBin(low) ... FrequencyToBin(high) - 1
//    of the lower half and the mirrored bins of the upper half, so the
//    output stays a real signal and a tone inside the band is removed
//    rather than halved.
//  - A hop S longer than the frame N leaves the wave as it was (the
//    spectrum engine ignores such pushes, so only zeros would come back).
//  - 16-bit output beyond the 16-bit range is clamped to -32768 ... 32767.
//  - 8-bit waves enter the window as (byte - 128) x 256; the output is scaled
//    back the same way: byte = 128 + round(y / 256), clamped to 0 ... 255, so
//    an 8-bit wave outside the band comes back as it went in.
#pragma once

#include <cstdint>

#include "core/wave/WaveSet.h"

namespace kestrune::edits {

inline constexpr char kInvalidParameterFouned[] = "Invalid parameter is founed!";
inline constexpr char kInvalidParameterFound[] = "Invalid parameter is found!";

/**
 * The amplitude gate on wave 0 (exactly one wave). With v = the sample
 * (16-bit) or byte - 128 (8-bit), a sample is silenced when |v| > high
 * (low 0), |v| < low (high 0) or either (both given). Bounds run from 0 to
 * 2^(fileBits - 1), fileBits being the depth of the file most recently
 * opened or saved; both 0 only redraws.
 */
Outcome TimeDomainFilter(WaveSet& set, int32_t low, int32_t high, uint16_t fileBits);

/** The frame settings of the band-stop: N (frame length) and S (hop). */
struct FrameSettings {
    int frameLength = 2048;
    int shift = 128;
};

/**
 * The band-stop on wave 0 (exactly one wave): frame by frame (S samples a
 * push, F = count / S frames), the bins of [low, high) Hz are cleared and the
 * first S values of the inverse are written back, each the modulus with the
 * sign of its real part. The output is delayed by N - S samples; a trailing
 * part shorter than S is not touched. Bounds run from 0 to fileRate / 2, the
 * rate of the file most recently opened or saved; both 0 only redraws.
 */
Outcome FrequencyDomainFilter(WaveSet& set, int32_t low, int32_t high, uint32_t fileRate,
                              FrameSettings frames);

}  // namespace kestrune::edits
