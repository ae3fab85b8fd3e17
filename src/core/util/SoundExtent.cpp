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

    int counter = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (loud(i)) {
            ++counter;
        } else if (counter > 0) {
            --counter;
        }
        if (counter >= kSoundCount) {
            extent.start = place(i, startOffset);
            break;
        }
    }

    counter = 0;
    for (std::size_t k = count; k-- > 0;) {
        if (loud(k)) {
            ++counter;
        } else if (counter > 0) {
            --counter;
        }
        if (counter >= kSoundCount) {
            extent.end = place(k, endOffset);
            break;
        }
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
