#include "core/dsp/DutyCycle.h"

#include "core/dsp/EditRules.h"

namespace kestrune::edits {

namespace {

// A position worked out in float, truncated toward zero and clipped into 0 … n.
int64_t Position(float x, int64_t n) {
    if (!(x > 0.0f)) return 0;  // also NaN
    if (x >= static_cast<float>(n)) return n;
    return static_cast<int64_t>(x);
}

// A refusal without a message: a sample format the edit does not know.
Outcome SilentRefusal() {
    Outcome refused;
    refused.ok = false;
    return refused;
}

}  // namespace

std::array<Run, 2> SilencedRuns(int64_t n, float duty, int32_t periodType) {
    const float length = static_cast<float>(n);
    switch (periodType) {
        case kPeriodLeft:  // sound at the start
            return {Run{Position(length * duty, n), n}, Run{}};
        case kPeriodMiddle:  // sound in the middle
            return {Run{0, Position(length * (1.0f - duty) / 2.0f, n)},
                    Run{Position(length * (1.0f + duty) / 2.0f, n), n}};
        case kPeriodRight:  // sound at the end
            return {Run{0, Position(length * (1.0f - duty), n)}, Run{}};
        default:
            return {};
    }
}

Outcome DutyCycle(WaveSet& set, const DutySettings& settings) {
    if (auto refusal = RequireOneWave(set)) return *refusal;
    ProcessParameters& kept = set.processParameters;
    kept.periodMs = settings.periodMs;
    kept.dutyCycle = settings.dutyCycle;
    kept.periodType = settings.periodType;
    kept.playbackSpeed = settings.playbackSpeed;
    if (settings.dutyCycle == 1.0f) return {};

    const float period =
        static_cast<float>(set.format.sampleRate) * settings.periodMs / 1000.0f;  // in samples
    if (!(period >= 2.0f)) return {};
    const int bits = set.format.bitsPerSample;
    if (bits != 8 && bits != 16) return SilentRefusal();

    const int64_t count = set.sampleCounts[0];
    // A period longer than the wave leaves no whole period to gate.
    if (period <= static_cast<float>(count)) {
        const auto n = static_cast<int64_t>(period);
        const auto runs = SilencedRuns(n, settings.dutyCycle, settings.periodType);
        uint8_t* bytes = set.samples[0].data();
        for (int64_t end = n; end <= count; end += n) {
            for (const Run& run : runs) {
                for (int64_t i = end - n + run.begin; i < end - n + run.end; ++i) {
                    if (bits == 16) {
                        bytes[2 * i] = 0;
                        bytes[2 * i + 1] = 0;
                    } else {
                        bytes[i] = 127;  // the silence of an 8-bit wave here
                    }
                }
            }
        }
    }
    return Edited(set, kEditedWave);
}

}  // namespace kestrune::edits
