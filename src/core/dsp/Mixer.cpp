#include "core/dsp/Mixer.h"

#include <algorithm>
#include <cmath>

#include "core/dsp/EditRules.h"
#include "core/wave/Pcm16.h"

namespace kestrune::edits {

namespace {

int16_t SampleAt(const WaveSet& set, int wave, uint32_t j) {
    return Pcm16At(set.samples[wave].data(), j);
}

// The integer part of s x weight, with products beyond the 16-bit range held
// just outside it (they saturate the sum all the same) and no-number weights
// adding nothing.
double WeightedPart(int16_t s, double weight) {
    const double product = std::trunc(s * weight);
    if (std::isnan(product)) return 0.0;
    return std::clamp(product, -65536.0, 65536.0);
}

}  // namespace

std::optional<Outcome> RequireTwoWaves(const WaveSet& set) {
    if (set.waveCount >= 2) return std::nullopt;
    return Refusal(kMoreThanOneWave);
}

bool WeightsNormalised(const std::vector<double>& weights) {
    double sum = 0.0;
    for (const double w : weights) sum += w;
    return !(sum < 0.999);
}

Outcome MixWaves(WaveSet& set, const std::vector<double>& weights, MixMode mode) {
    if (auto refusal = RequireTwoWaves(set)) return *refusal;
    uint32_t length = 0;
    for (int i = 0; i < set.waveCount; ++i) length = std::max(length, set.sampleCounts[i]);
    if (length <= 1 || set.format.bitsPerSample != 16) return Outcome{};

    std::vector<int16_t> out(length, 0);
    if (mode == MixMode::Add) {
        for (int i = 0; i < set.waveCount; ++i) {
            const double weight = i < static_cast<int>(weights.size()) ? weights[i] : 1.0;
            for (uint32_t j = 0; j < set.sampleCounts[i]; ++j) {
                const double sum = out[j] + WeightedPart(SampleAt(set, i, j), weight);
                out[j] = static_cast<int16_t>(std::clamp(sum, -32768.0, 32767.0));
            }
        }
    } else {
        for (uint32_t j = 0; j < length; ++j) {
            const int wave = j % 2 == 0 ? 0 : 1;
            if (j < set.sampleCounts[wave]) out[j] = SampleAt(set, wave, j);
        }
    }

    if (!set.ResizeBuffer(set.samples[0], set.BytesFor(length)))
        return Refusal(WaveSetMessages::kReallocFailed);
    for (uint32_t j = 0; j < length; ++j) SetPcm16(set.samples[0].data(), j, out[j]);
    set.sampleCounts[0] = length;
    set.waveCount = 1;
    return Edited(set, kMixedWave);
}

}  // namespace kestrune::edits
