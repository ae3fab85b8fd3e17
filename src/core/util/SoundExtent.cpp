#include "core/util/SoundExtent.h"

namespace kestrune {
namespace {

// Both public entry points walk the same way; only how a sample is fetched
// differs.
template <typename SampleAt>
SoundExtent Find(std::size_t count, SampleAt sampleAt, int startOffset, int endOffset) {
    SoundExtent extent;
    if (count == 0) return extent;

    // Adds an offset to an index and keeps the result inside the buffer.
    auto place = [count](std::size_t i, int offset) {
        const std::int64_t at = static_cast<std::int64_t>(i) + offset;
        if (at < 0) return std::size_t{0};
        if (at >= static_cast<std::int64_t>(count)) return count - 1;
        return static_cast<std::size_t>(at);
    };
    auto loud = [&](std::size_t i) {
        const int s = sampleAt(i);
        return (s < 0 ? -s : s) > kSoundThreshold;
    };

    // Runs the counter over the samples in the order indexAt gives and
    // returns the index of the sample on which it reaches the mark.
    auto edge = [&](auto indexAt) -> std::optional<std::size_t> {
        int counter = 0;
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t i = indexAt(k);
            if (loud(i)) {
                ++counter;
            } else if (counter > 0) {
                --counter;
            }
            if (counter >= kSoundCount) return i;
        }
        return std::nullopt;
    };

    if (const auto i = edge([](std::size_t k) { return k; })) extent.start = place(*i, startOffset);
    if (const auto i = edge([count](std::size_t k) { return count - 1 - k; })) {
        extent.end = place(*i, endOffset);
    }
    return extent;
}

}  // namespace

SoundExtent FindSoundExtent(std::span<const std::int16_t> samples, int startOffset, int endOffset) {
    return Find(
        samples.size(), [samples](std::size_t i) { return int{samples[i]}; }, startOffset,
        endOffset);
}

SoundExtent FindSoundExtent16(std::span<const std::uint8_t> bytes, int startOffset, int endOffset) {
    return Find(
        bytes.size() / 2,
        [bytes](std::size_t i) {
            return int{static_cast<std::int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8))};
        },
        startOffset, endOffset);
}

}  // namespace kestrune
