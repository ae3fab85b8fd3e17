// 16-bit samples as wave files and the wave set keep them: signed, two bytes
// each, low byte first, whatever the machine's own byte order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kestrune {

/** Sample `i` of 16-bit sample bytes. */
inline std::int16_t Pcm16At(const std::uint8_t* bytes, std::size_t i) {
    return static_cast<std::int16_t>(
        static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
}

/** Writes `value` as sample `i` of 16-bit sample bytes. */
inline void SetPcm16(std::uint8_t* bytes, std::size_t i, std::int16_t value) {
    const auto word = static_cast<std::uint16_t>(value);
    bytes[2 * i] = static_cast<std::uint8_t>(word & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(word >> 8);
}

}  // namespace kestrune
