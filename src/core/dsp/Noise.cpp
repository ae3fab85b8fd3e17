#include "core/dsp/Noise.h"

#include <algorithm>
#include <cmath>

#include "core/dsp/EditRules.h"
#include "core/util/Random.h"
#include "core/wave/Pcm16.h"

namespace kestrune::edits {

namespace {

constexpr int64_t kMaxHalfWidth = int64_t{1} << 32;

// r - A for one draw, computed exactly as the integer part of a double.
int64_t Draw(CrtRandom& random, int64_t halfWidth) {
    const double r = std::trunc(2.0 * static_cast<double>(halfWidth) * random.Next() /
                                static_cast<double>(CrtRandom::kMax));
    return static_cast<int64_t>(r) - halfWidth;
}

}  // namespace

int64_t NoiseHalfWidth(float amplitude, uint16_t bits) {
    if (!(amplitude > 0.0f) || bits == 0) return 0;
    const double scaled = std::ldexp(static_cast<double>(amplitude), bits - 1);
    if (!(scaled < static_cast<double>(kMaxHalfWidth))) return kMaxHalfWidth;
    return static_cast<int64_t>(scaled);
}

Outcome AddNoise(WaveSet& set, float amplitude, uint16_t fileBits, CrtRandom& random) {
    if (auto refusal = RequireOneWave(set)) return *refusal;
    if (!(amplitude > 0.0f)) {
        set.processParameters.noiseAmplitude = 0.0f;
        return Redrawn();
    }
    set.processParameters.noiseAmplitude = amplitude;

    const int64_t a = NoiseHalfWidth(amplitude, fileBits);
    const uint32_t count = set.sampleCounts[0];
    uint8_t* bytes = set.samples[0].data();
    switch (set.format.bitsPerSample) {
        case 16:
            for (uint32_t i = 0; i < count; ++i) {
                const int64_t v =
                    std::clamp<int64_t>(Pcm16At(bytes, i) + Draw(random, a), -32768, 32767);
                SetPcm16(bytes, i, static_cast<int16_t>(v));
            }
            break;
        case 8:
            for (uint32_t i = 0; i < count; ++i) {
                const int64_t v = std::clamp<int64_t>(bytes[i] + Draw(random, a), 0, 255);
                bytes[i] = static_cast<uint8_t>(v);
            }
            break;
        default:
            return Outcome{};
    }
    return Edited(set, kEditedWave);
}

}  // namespace kestrune::edits
