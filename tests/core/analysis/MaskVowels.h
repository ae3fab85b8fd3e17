// Vowel-like recordings for the mask analysis tests: harmonic tones whose
// fundamental and strongest harmonic differ per vowel, between short
// silences, written as 16 kHz mono 16-bit wave files.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <numbers>
#include <string>
#include <vector>

#include "core/wave/Pcm16.h"
#include "core/wave/WaveFile.h"

namespace kestrune::testing {

inline constexpr int kVowelRate = 16000;

/**
 * Silence, then `seconds` of harmonics 1 ... 6 of `f0` Hz, then silence:
 * the fundamental the strongest, the others falling off around harmonic
 * `formant`, so each vowel has a spectrum of its own and a clear F0.
 */
inline std::vector<std::int16_t> HarmonicVowel(double f0, int formant, double seconds = 0.6) {
    const int silence = kVowelRate / 10;
    const int sound = static_cast<int>(seconds * kVowelRate);
    std::vector<std::int16_t> samples(static_cast<std::size_t>(2 * silence + sound), 0);
    for (int t = 0; t < sound; ++t) {
        double value = 0.0;
        for (int h = 1; h <= 6; ++h) {
            const double weight = h == 1 ? 1.0 : 0.7 / (1.0 + std::abs(h - formant));
            value += weight * std::sin(2 * std::numbers::pi * h * f0 * t / kVowelRate);
        }
        // 30 ms raised-cosine ramps in and out keep the onset's spread low.
        const int ramp = kVowelRate * 3 / 100;
        const int edge = std::min(t, sound - 1 - t);
        const double gain =
            edge >= ramp ? 1.0 : 0.5 - 0.5 * std::cos(std::numbers::pi * edge / ramp);
        samples[static_cast<std::size_t>(silence + t)] =
            static_cast<std::int16_t>(4000 * gain * value);
    }
    return samples;
}

inline bool WriteSamples(const std::filesystem::path& path, const std::vector<std::int16_t>& s) {
    std::vector<std::uint8_t> bytes(s.size() * 2);
    for (std::size_t i = 0; i < s.size(); ++i) SetPcm16(bytes.data(), i, s[i]);
    return WriteWaveFile(path.string(), PcmFormat(1, kVowelRate, 16), bytes.data(),
                         static_cast<std::uint32_t>(s.size()));
}

/** The fundamental of generated vowel n (1 ... 5), in Hz. */
inline double VowelF0(int n) {
    return 115.0 + 10.0 * n;
}

/** Writes 1.wav ... 5.wav into `folder` (created). */
inline bool WriteVowelKit(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    for (int n = 1; n <= 5; ++n)
        if (!WriteSamples(folder / (std::to_string(n) + ".wav"), HarmonicVowel(VowelF0(n), n + 1)))
            return false;
    return true;
}

}  // namespace kestrune::testing
