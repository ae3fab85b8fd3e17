#include "core/dsp/Edits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/util/SoundExtent.h"
#include "core/wave/Pcm16.h"

namespace kestrune::edits {
namespace {

std::string Format(const char* format, double value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Format(const char* format, int value) {
    char text[128];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// The sound of a 16-bit wave, both ends clamped into it; a side where the
// count never reaches its mark is the wave's own end. Nothing for an empty
// wave or a start found after the end.
struct Extent {
    std::size_t start;
    std::size_t end;
};

std::optional<Extent> SoundOf(const WaveSet& set) {
    const std::size_t count = set.sampleCounts[0];
    if (count == 0) return std::nullopt;
    const SoundExtent found =
        FindSoundExtent16(std::span<const uint8_t>(set.samples[0].data(), 2 * count), -50, 50);
    const Extent extent{found.start.value_or(0), found.end.value_or(count - 1)};
    if (extent.end < extent.start) return std::nullopt;
    return extent;
}

// The integer part of the square root of the mean power over `length`
// samples from `start`: each square divided by `divisor` in unsigned integer
// arithmetic and summed in 32 bits.
uint32_t Rms(const std::vector<uint8_t>& bytes, std::size_t start, std::size_t length,
             uint32_t divisor) {
    uint32_t power = 0;
    for (std::size_t i = start; i < start + length; ++i) {
        const int s = Pcm16At(bytes.data(), i);
        power += static_cast<uint32_t>(s * s) / divisor;
    }
    return static_cast<uint32_t>(std::sqrt(static_cast<double>(power)));
}

// A sample scaled by the ratio and cut toward zero; beyond +-32767 it
// saturates there and `saturated` is set.
int Scale(int s, float ratio, bool* saturated) {
    const auto v = static_cast<int64_t>(static_cast<float>(s) * ratio);
    *saturated = v > 32767 || v < -32767;
    if (v > 32767) return 32767;
    if (v < -32767) return -32767;
    return static_cast<int>(v);
}

// Both rules in front of a 16-bit-only edit.
std::optional<Outcome> Require16(const WaveSet& set) {
    if (auto refused = RequireOneWave(set)) return refused;
    if (set.format.bitsPerSample != 16) return Refusal(kInvalidBits);
    return std::nullopt;
}

}  // namespace

Outcome HorizontalReverse(WaveSet& set) {
    if (auto refused = RequireOneWave(set)) return *refused;
    const int bits = set.format.bitsPerSample;
    if (bits != 8 && bits != 16) return Refusal(kInvalidBits);
    const std::size_t width = static_cast<std::size_t>(bits / 8);
    const std::size_t count = set.sampleCounts[0];
    std::vector<uint8_t>& bytes = set.samples[0];
    std::vector<uint8_t> reversed(count * width);
    for (std::size_t i = 0; i < count; ++i)
        std::memcpy(&reversed[i * width], &bytes[(count - 1 - i) * width], width);
    std::copy(reversed.begin(), reversed.end(), bytes.begin());
    return Edited(set, kHorizontalReversed);
}

Outcome VerticalReverse(WaveSet& set) {
    if (auto refused = RequireOneWave(set)) return *refused;
    const int bits = set.format.bitsPerSample;
    if (bits != 8 && bits != 16) return Refusal(kInvalidBits);
    const std::size_t count = set.sampleCounts[0];
    std::vector<uint8_t>& bytes = set.samples[0];
    for (std::size_t i = 0; i < count; ++i) {
        if (bits == 16) {
            SetPcm16(bytes.data(), i, static_cast<int16_t>(-Pcm16At(bytes.data(), i)));
        } else {
            bytes[i] = static_cast<uint8_t>((256 - bytes[i]) % 256);
        }
    }
    return Edited(set, kVerticalReversed);
}

Outcome PowerUnification(WaveSet& set) {
    if (auto refused = Require16(set)) return *refused;
    const std::optional<Extent> sound = SoundOf(set);
    if (!sound) return Refusal(kInvalidSignal);
    const std::size_t m = sound->end - sound->start + 1;
    const uint32_t rms = Rms(set.samples[0], sound->start, m, static_cast<uint32_t>(m));
    if (rms == 0) return Refusal(kInvalidSignal);
    const float ratio = static_cast<float>(kTargetRms / rms);

    std::vector<uint8_t>& bytes = set.samples[0];
    int overflows = 0;
    for (std::size_t i = 0; i < set.sampleCounts[0]; ++i) {
        if (i < sound->start || i > sound->end) {
            SetPcm16(bytes.data(), i, 0);
            continue;
        }
        bool saturated = false;
        SetPcm16(bytes.data(), i,
                 static_cast<int16_t>(Scale(Pcm16At(bytes.data(), i), ratio, &saturated)));
        if (saturated) ++overflows;
    }
    Outcome outcome = Edited(set, kPowerUnified);
    outcome.warning = Format(kUnifyRatioFormat, static_cast<double>(ratio));
    if (overflows > 0) outcome.message = Format(kOverflowFormat, overflows);
    return outcome;
}

Outcome SignalStandardization(WaveSet& set) {
    if (auto refused = Require16(set)) return *refused;
    const std::optional<Extent> sound = SoundOf(set);
    const uint32_t rate = set.format.sampleRate;
    const auto length = static_cast<std::size_t>(rate * 0.2);
    const std::size_t m = sound ? sound->end - sound->start + 1 : 0;
    if (length == 0 || m < length) return Refusal(kTooShort);
    const std::size_t start = sound->start + (m - length) / 2;
    const uint32_t rms = Rms(set.samples[0], start, length, static_cast<uint32_t>(length));
    if (rms == 0) return Refusal(kInvalidSignal);
    const float ratio = static_cast<float>(kTargetRms / rms);

    const auto total = static_cast<uint32_t>(rate * 1.0);
    const auto at = static_cast<std::size_t>(rate * 0.4);
    std::vector<uint8_t> wave(2 * std::size_t{total}, 0);
    for (std::size_t i = 0; i < length; ++i) {
        bool saturated = false;
        SetPcm16(wave.data(), at + i,
                 static_cast<int16_t>(
                     Scale(Pcm16At(set.samples[0].data(), start + i), ratio, &saturated)));
    }
    if (!set.ResizeBuffer(set.samples[0], wave.size()))
        return Refusal(WaveSetMessages::kReallocFailed);
    std::copy(wave.begin(), wave.end(), set.samples[0].begin());
    set.sampleCounts[0] = total;
    Outcome outcome = Edited(set, kSignalStandardized);
    outcome.warning = Format(kStandardizeRatioFormat, static_cast<double>(ratio));
    return outcome;
}

Outcome ArmCut(WaveSet& set) {
    if (auto refused = RequireOneWave(set)) return *refused;
    set.names[0] = kEditedWave;
    return Outcome{};
}

Outcome Cut(WaveSet& set, CutSide side, int64_t sample) {
    if (set.waveCount != 1) return Refusal(kCutNeedsOneWave);
    const uint32_t count = set.sampleCounts[0];
    if (count == 0) return Redrawn();
    const auto s = static_cast<uint32_t>(std::clamp<int64_t>(sample, 0, int64_t{count} - 1));
    const uint32_t kept = side == CutSide::Left ? count - s : s + 1;
    const std::size_t width = set.format.bitsPerSample / 8;
    std::vector<uint8_t>& buffer = set.samples[0];
    std::vector<uint8_t> before;
    if (side == CutSide::Left) {
        before = buffer;  // the wave stays as it was if the resize fails
        std::memmove(buffer.data(), buffer.data() + s * width, kept * width);
    }
    if (!set.ResizeBuffer(buffer, uint64_t{kept} * width)) {
        if (!before.empty()) buffer = std::move(before);
        return Refusal(WaveSetMessages::kReallocFailed);
    }
    set.sampleCounts[0] = kept;
    set.viewStart = 0;
    return Redrawn();
}

}  // namespace kestrune::edits
