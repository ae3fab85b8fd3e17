// Builders shared by the core and command-line tests: sample buffers, their
// bytes as wave files hold them, and vowel scenario texts.
#pragma once

#include <cmath>
#include <cstdint>
#include <functional>
#include <numbers>
#include <string>
#include <utility>
#include <vector>

#include "core/wave/WaveSet.h"

namespace kestrune::testing {

/** `n` samples f(0) ... f(n - 1), each converted to T. */
template <typename T = std::int16_t, typename F>
std::vector<T> Wave(std::size_t n, F f) {
    std::vector<T> out(n);
    for (std::size_t t = 0; t < n; ++t) out[t] = static_cast<T>(f(static_cast<int>(t)));
    return out;
}

/** `n` samples of a sine of `amplitude` with `cycles` whole periods every `window` samples. */
inline std::vector<std::int16_t> Sine(std::size_t n, double amplitude, double cycles,
                                      double window) {
    return Wave(n, [&](int t) {
        return std::lround(amplitude * std::sin(2 * std::numbers::pi * cycles * t / window));
    });
}

/** 16-bit samples as little-endian bytes. */
inline std::vector<std::uint8_t> Bytes16(const std::vector<std::int16_t>& values) {
    std::vector<std::uint8_t> bytes;
    for (std::int16_t v : values) {
        bytes.push_back(static_cast<std::uint8_t>(v & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>((static_cast<std::uint16_t>(v) >> 8) & 0xFF));
    }
    return bytes;
}

/** `n` bytes seed, seed + step, seed + 2 step ... (mod 256): no two neighbours equal. */
inline std::vector<std::uint8_t> Pattern(std::size_t n, std::uint8_t seed = 1, int step = 7) {
    return Wave<std::uint8_t>(n, [&](int i) { return seed + i * step; });
}

/** `n` pseudo-random bytes: no shifted or repeated piece of them matches another. */
inline std::vector<std::uint8_t> Noise(std::size_t n, unsigned seed = 3) {
    std::uint32_t x = 2463534242u ^ seed;
    return Wave<std::uint8_t>(n, [&](int) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x >> 24;
    });
}

/** The bytes of wave `slot` in `set`, up to its sample count. */
inline std::vector<std::uint8_t> StoredBytes(const WaveSet& set, int slot) {
    const auto bytes = static_cast<std::size_t>(set.BytesFor(set.sampleCounts[slot]));
    return {set.samples[slot].begin(), set.samples[slot].begin() + bytes};
}

/**
 * A vowel discrimination scenario: the [INFO] and [DATA] lines as given
 * (each "KEY=value\n"), then [DATA1] ... [DATA5] with BEGINj and ENDj of
 * pair (i, j) from `pair` (0-based; an empty begin leaves BEGINj out).
 */
inline std::string VowelScenarioText(
    const std::string& info, const std::string& data,
    const std::function<std::pair<std::string, std::string>(int, int)>& pair) {
    std::string text = "[INFO]\nTESTTYPE=NEWSYLLABLEMASKING\n" + info + "[DATA]\n" + data;
    for (int i = 0; i < 5; ++i) {
        text += "[DATA" + std::to_string(i + 1) + "]\n";
        for (int j = 0; j < 5; ++j) {
            const auto [begin, end] = pair(i, j);
            const std::string n = std::to_string(j + 1);
            if (!begin.empty()) text += "BEGIN" + n + "=" + begin + "\n";
            text += "END" + n + "=" + end + "\n";
        }
    }
    return text;
}

}  // namespace kestrune::testing
