#include "core/dsp/Filters.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/dsp/EditRules.h"
#include "core/dsp/Fft.h"
#include "core/wave/Pcm16.h"

namespace kestrune::edits {

namespace {

// Stores the bounds, then checks them: nothing when they are usable, else
// what the command does instead (the bounds are then back at 0).
std::optional<Outcome> CheckBounds(int32_t& keptLow, int32_t& keptHigh, int32_t low, int32_t high,
                                   int64_t limit, const char* message) {
    keptLow = low;
    keptHigh = high;
    if (low == 0 && high == 0) return Redrawn();
    const bool reversed = low != 0 && high != 0 && low > high;
    const bool outside = low < 0 || high < 0 || low > limit || high > limit;
    if (!reversed && !outside) return std::nullopt;
    keptLow = keptHigh = 0;
    Outcome refused = Refusal(reversed ? kInvalidParameterFouned : message);
    refused.redraw = true;
    return refused;
}

bool Silenced(int v, int32_t low, int32_t high) {
    const int magnitude = std::abs(v);
    if (low == 0) return magnitude > high;
    if (high == 0) return magnitude < low;
    return magnitude < low || magnitude > high;
}

}  // namespace

Outcome TimeDomainFilter(WaveSet& set, int32_t low, int32_t high, uint16_t fileBits) {
    if (auto refusal = RequireOneWave(set)) return *refusal;
    ProcessParameters& kept = set.processParameters;
    const int64_t limit = fileBits >= 1 && fileBits <= 32 ? int64_t{1} << (fileBits - 1) : 0;
    if (auto stop = CheckBounds(kept.filterStartAmplitude, kept.filterStopAmplitude, low, high,
                                limit, kInvalidParameterFouned))
        return *stop;

    uint8_t* bytes = set.samples[0].data();
    const uint32_t count = set.sampleCounts[0];
    switch (set.format.bitsPerSample) {
        case 16:
            for (uint32_t i = 0; i < count; ++i)
                if (Silenced(Pcm16At(bytes, i), low, high)) SetPcm16(bytes, i, 0);
            break;
        case 8:
            for (uint32_t i = 0; i < count; ++i)
                if (Silenced(bytes[i] - 128, low, high)) bytes[i] = 128;
            break;
        default:
            return Outcome{};  // another depth: stopped without a word
    }
    return Edited(set, kEditedWave);
}

Outcome FrequencyDomainFilter(WaveSet& set, int32_t low, int32_t high, uint32_t fileRate,
                              FrameSettings frames) {
    if (auto refusal = RequireOneWave(set)) return *refusal;
    ProcessParameters& kept = set.processParameters;
    if (auto stop = CheckBounds(kept.filterStartFrequency, kept.filterStopFrequency, low, high,
                                fileRate / 2, kInvalidParameterFound))
        return *stop;
    const uint32_t count = set.sampleCounts[0];
    const uint16_t bits = set.format.bitsPerSample;
    if (count == 0 || (bits != 8 && bits != 16)) return Outcome{};
    const int n = frames.frameLength;
    const int s = frames.shift;
    // The engine ignores a push longer than its window: such a hop would
    // write back nothing but zeros, so the wave is left as it was.
    if (n < 1 || s < 1 || s > n) return Redrawn();

    dsp::CFft fft(n, static_cast<int>(set.format.sampleRate));
    const int firstBin = std::clamp(fft.FrequencyToBin(low), 0, n / 2 + 1);
    const int endBin = std::clamp(fft.FrequencyToBin(high), 0, n / 2 + 1);
    uint8_t* bytes = set.samples[0].data();
    const uint32_t frameCount = count / static_cast<uint32_t>(s);
    for (uint32_t f = 0; f < frameCount; ++f) {
        const std::size_t first = static_cast<std::size_t>(f) * static_cast<std::size_t>(s);
        if (bits == 16)
            fft.PushSamples16Bytes(bytes + 2 * first, s);
        else
            fft.PushSamples8(bytes + first, s);
        fft.Forward();
        std::span<dsp::CFft::Complex> spectrum = fft.Spectrum();
        for (int k = firstBin; k < endBin; ++k) {
            spectrum[static_cast<std::size_t>(k)] = {};
            if (k > 0) spectrum[static_cast<std::size_t>((n - k) % n)] = {};
        }
        fft.InverseReal();  // both halves edited alike: the output is real
        const std::span<const dsp::CFft::Complex> output = fft.Output();
        for (int j = 0; j < s; ++j) {
            const dsp::CFft::Complex y = output[static_cast<std::size_t>(j)];
            const double signedModulus = y.real() >= 0.0 ? std::abs(y) : -std::abs(y);
            if (bits == 16) {
                SetPcm16(
                    bytes, first + static_cast<std::size_t>(j),
                    static_cast<int16_t>(std::clamp(std::trunc(signedModulus), -32768.0, 32767.0)));
            } else {
                const double byte = 128.0 + std::round(signedModulus / 256.0);
                bytes[first + static_cast<std::size_t>(j)] =
                    static_cast<uint8_t>(std::clamp(byte, 0.0, 255.0));
            }
        }
    }
    return Edited(set, kEditedWave);
}

}  // namespace kestrune::edits
