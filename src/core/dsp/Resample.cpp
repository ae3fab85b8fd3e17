#include "core/dsp/Resample.h"

#include <samplerate.h>

#include <algorithm>
#include <cmath>

namespace kestrune::dsp {

namespace {

float ToFloat(const std::uint8_t* bytes, std::size_t i, int bits) {
    if (bits == 8) return (static_cast<float>(bytes[i]) - 128.0f) / 128.0f;
    const auto value = static_cast<std::int16_t>(
        static_cast<std::uint16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8)));
    return static_cast<float>(value) / 32768.0f;
}

void FromFloat(float value, int bits, std::uint8_t* out) {
    if (bits == 8) {
        const long v = std::lround(value * 128.0f) + 128;
        out[0] = static_cast<std::uint8_t>(std::clamp(v, 0L, 255L));
        return;
    }
    const long v = std::clamp(std::lround(value * 32768.0f), -32768L, 32767L);
    const auto word = static_cast<std::uint16_t>(static_cast<std::int16_t>(v));
    out[0] = static_cast<std::uint8_t>(word & 0xff);
    out[1] = static_cast<std::uint8_t>(word >> 8);
}

}  // namespace

std::vector<std::uint8_t> ResamplePcm(const std::uint8_t* bytes, std::size_t frames, int bits,
                                      std::uint32_t fromRate, std::uint32_t toRate) {
    if (frames == 0 || fromRate == 0 || toRate == 0 || (bits != 8 && bits != 16)) return {};
    std::vector<float> in(frames);
    for (std::size_t i = 0; i < frames; ++i) in[i] = ToFloat(bytes, i, bits);
    const double ratio = static_cast<double>(toRate) / fromRate;
    // Room for the converter's rounding at the end.
    std::vector<float> out(static_cast<std::size_t>(std::ceil(frames * ratio)) + 16);
    SRC_DATA data{};
    data.data_in = in.data();
    data.input_frames = static_cast<long>(frames);
    data.data_out = out.data();
    data.output_frames = static_cast<long>(out.size());
    data.src_ratio = ratio;
    if (src_simple(&data, SRC_SINC_MEDIUM_QUALITY, 1) != 0) return {};
    const int width = bits / 8;
    std::vector<std::uint8_t> result(static_cast<std::size_t>(data.output_frames_gen) *
                                     static_cast<std::size_t>(width));
    for (long i = 0; i < data.output_frames_gen; ++i)
        FromFloat(out[static_cast<std::size_t>(i)], bits,
                  result.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(width));
    return result;
}

}  // namespace kestrune::dsp
