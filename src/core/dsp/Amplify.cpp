#include "core/dsp/Amplify.h"

#include <algorithm>

#include "core/dsp/EditRules.h"
#include "core/wave/Pcm16.h"

namespace kestrune::edits {

float ClampGain(double asked) {
    if (!(asked > 0.0)) return 0.0f;  // also NaN
    if (asked > kMaxGain) return kMaxGain;
    return static_cast<float>(asked);
}

Outcome Amplify(WaveSet& set, double asked) {
    if (auto refusal = RequireOneWave(set)) return *refusal;
    const float gain = ClampGain(asked);
    set.processParameters.amplifyFactor = gain;
    if (gain == 1.0f) return Redrawn();
    const int bits = set.format.bitsPerSample;
    if (bits != 8 && bits != 16) return Refusal();  // a sample format it does not know

    // The products are taken in float, the gain's own precision, and
    // truncated toward zero before clamping.
    uint8_t* bytes = set.samples[0].data();
    const uint32_t count = set.sampleCounts[0];
    for (uint32_t i = 0; i < count; ++i) {
        if (bits == 16) {
            const auto v =
                std::clamp(static_cast<int32_t>(static_cast<float>(Pcm16At(bytes, i)) * gain),
                           int32_t{-32768}, int32_t{32767});
            SetPcm16(bytes, i, static_cast<int16_t>(v));
        } else {
            // 8-bit samples are unsigned with their centre taken as 127.
            const float v = static_cast<float>(bytes[i] - 127) * gain + 127.0f;
            bytes[i] = static_cast<uint8_t>(std::clamp(static_cast<int32_t>(v), 0, 255));
        }
    }
    return Edited(set, kEditedWave);
}

}  // namespace kestrune::edits
