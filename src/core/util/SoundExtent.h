#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace kestrune {

/**
 * Where the sound in a recording starts and ends, found by a hysteresis
 * count: walking over the samples, each sample with |s| > 64 adds one to a
 * counter and each quieter sample takes one off while the counter is above
 * zero. The walk stops at the sample i where the counter reaches 50.
 *
 * The forward walk gives start = i + startOffset, the backward walk (from the
 * last sample towards sample 0) gives end = i + endOffset. Callers pass the
 * offsets their computation was defined with (-50/+50 for power
 * unification, -49/+49 for the averaged spectrum and the mask analysis).
 * Offsets that would reach outside the buffer are cut at its edges.
 *
 * A walk that never reaches 50 leaves its side empty: the caller decides
 * what a silent recording means instead of inheriting a previous file's
 * value.
 */
struct SoundExtent {
    std::optional<std::size_t> start;
    std::optional<std::size_t> end;

    /** Both walks found sound (a loud buffer always gives both or neither). */
    bool HasSound() const { return start.has_value() && end.has_value(); }
};

inline constexpr int kSoundThreshold = 64;  ///< |sample| above this counts as sound
inline constexpr int kSoundCount = 50;      ///< counter value that marks the edge

/** Sound extent over signed 16-bit samples. */
SoundExtent FindSoundExtent(std::span<const std::int16_t> samples, int startOffset, int endOffset);

/** The same over a byte buffer of 16-bit little-endian samples, as waves are held. */
SoundExtent FindSoundExtent16(std::span<const std::uint8_t> bytes, int startOffset, int endOffset);

}  // namespace kestrune
