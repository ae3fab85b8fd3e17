#include "core/battery/Stimulus.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/wave/Pcm16.h"

namespace kestrune {
namespace {

// Silence as the player writes it: 0 for signed 16-bit samples, 127 for
// unsigned 8-bit ones (one step below the unsigned midpoint).
constexpr std::uint8_t kSilence8 = 127;

// Largest noise amplitude worked with. Far beyond any sample's range, so the
// clipping result is the same as for an unbounded amplitude, and the sums
// stay well inside 64 bits.
constexpr double kMaxNoiseAmplitude = 1073741824.0;  // 2^30

void Interrupt(std::vector<std::uint8_t>& buffer, std::uint32_t count, const WaveFormat& format,
               const StimulusSettings& settings) {
    const double periodExact = format.sampleRate * settings.interruptionMs / 1000.0;
    // A period shorter than 2 samples (or NaN) means no interruption; one longer
    // than the buffer has no whole window, so nothing changes either.
    if (!(periodExact >= 2.0) || periodExact > static_cast<double>(count)) return;
    const auto period = static_cast<std::uint32_t>(periodExact);
    // The sounding part starts each window. A kept fraction outside 0 ... 1
    // keeps nothing or the whole window; it never reaches into a neighbour.
    const double keptExact = period * settings.keptFraction;
    std::uint32_t kept = 0;
    if (keptExact >= static_cast<double>(period)) {
        kept = period;
    } else if (keptExact > 0.0) {
        kept = static_cast<std::uint32_t>(keptExact);
    }
    const std::uint32_t windows = count / period;  // a partial window at the end stays
    const std::size_t bytes = format.bitsPerSample / 8;
    for (std::uint32_t k = 0; k < windows; ++k) {
        const std::size_t from = (static_cast<std::size_t>(k) * period + kept) * bytes;
        const std::size_t to = (static_cast<std::size_t>(k) + 1) * period * bytes;
        std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(from),
                  buffer.begin() + static_cast<std::ptrdiff_t>(to),
                  bytes == 1 ? kSilence8 : std::uint8_t{0});
    }
}

void AddNoise(std::vector<std::uint8_t>& buffer, std::uint32_t count, const WaveFormat& format,
              double level, CrtRandom& random) {
    const double fullScale = format.bitsPerSample == 8 ? 128.0 : 32768.0;
    const double amplitudeExact = std::min(fullScale * level, kMaxNoiseAmplitude);
    const auto amplitude = static_cast<std::int64_t>(amplitudeExact);
    for (std::uint32_t i = 0; i < count; ++i) {
        const auto r = static_cast<std::int64_t>(2.0 * static_cast<double>(amplitude) *
                                                 random.Next() / 32767.0);
        const std::int64_t noise = r - amplitude;
        if (format.bitsPerSample == 8) {
            buffer[i] =
                static_cast<std::uint8_t>(std::clamp<std::int64_t>(buffer[i] + noise, 0, 255));
        } else {
            const std::int64_t v =
                std::clamp<std::int64_t>(Pcm16At(buffer.data(), i) + noise, -32768, 32767);
            SetPcm16(buffer.data(), i, static_cast<std::int16_t>(v));
        }
    }
}

}  // namespace

double ClampPlaySpeed(double speed) {
    if (!(speed >= kMinPlaySpeed)) return kMinPlaySpeed;
    return std::min(speed, kMaxPlaySpeed);
}

std::uint32_t PlaybackRate(std::uint32_t sampleRate, double speed) {
    const double rate = sampleRate * ClampPlaySpeed(speed);
    if (rate >= static_cast<double>(std::numeric_limits<std::uint32_t>::max())) {
        return std::numeric_limits<std::uint32_t>::max();
    }
    return static_cast<std::uint32_t>(rate);
}

StimulusOutcome ProcessStimulus(const std::uint8_t* samples, std::uint32_t count,
                                const WaveFormat& format, const StimulusSettings& settings,
                                CrtRandom& random) {
    StimulusOutcome outcome;
    if (format.bitsPerSample != 8 && format.bitsPerSample != 16) {
        outcome.message = kInvalidSampleBitsMessage;
        return outcome;
    }
    ProcessedStimulus& out = outcome.stimulus;
    const std::size_t bytes = static_cast<std::size_t>(count) * (format.bitsPerSample / 8);
    out.samples.assign(samples, samples + bytes);
    out.sampleCount = count;

    Interrupt(out.samples, count, format, settings);
    if (settings.noiseLevel > 0.0)
        AddNoise(out.samples, count, format, settings.noiseLevel, random);

    out.format = format;
    out.format.sampleRate = PlaybackRate(format.sampleRate, settings.speed);
    out.repeatCount = settings.repeatCount;
    outcome.ok = true;
    return outcome;
}

std::uint64_t RepeatWaitMs(std::uint32_t playbackRate, std::uint32_t sampleCount) {
    if (playbackRate == 0) return kRepeatGapMs;  // nothing can sound; only the gap remains
    // Divide first, then multiply, in double: the truncation then lands on
    // the same millisecond for every rate (1000 / 19 * 19 is 999.99...).
    const double lengthMs = 1000.0 / playbackRate * sampleCount;
    return static_cast<std::uint64_t>(lengthMs) + kRepeatGapMs;
}

PlaybackPlan PlanPlayback(const ProcessedStimulus& stimulus) {
    PlaybackPlan plan;
    plan.waitMs = RepeatWaitMs(stimulus.format.sampleRate, stimulus.sampleCount);
    for (int i = 0; i < stimulus.repeatCount; ++i) {
        plan.writeAtMs.push_back(static_cast<std::uint64_t>(i) * plan.waitMs);
    }
    plan.totalMs = plan.writeAtMs.size() * plan.waitMs;
    return plan;
}

LoadedStimulus LoadStimulus(const std::string& path, std::string_view cannotOpenMessage) {
    LoadedStimulus loaded;
    WaveHeaderResult header = ReadWaveHeader(path);
    if (!header.Ok()) {
        loaded.message = *header.error == WaveReadError::CannotOpen ? std::string(cannotOpenMessage)
                                                                    : kStimulusNotWaveMessage;
        return loaded;
    }
    WaveFileInfo info = header.info;
    loaded.samples = ReadWaveSamples(std::move(header.file), info);
    loaded.sampleCount = info.sampleCount;
    loaded.format = info.format;
    loaded.ok = true;
    return loaded;
}

}  // namespace kestrune
