#include "core/dsp/DivisionListen.h"

#include <algorithm>
#include <cmath>

#include "core/wave/Pcm16.h"

namespace kestrune::dsp {

double PlayedDuty(double duty) {
    if (!(duty > 0.0)) return 0.0;
    return std::min(duty, 1.0);
}

std::uint32_t PeriodFrames(std::uint32_t rate, double periodMs) {
    const double frames = rate * periodMs / 1000.0;
    if (!(frames >= 1.0)) return 0;
    return frames >= 4294967295.0 ? UINT32_MAX : static_cast<std::uint32_t>(frames);
}

std::vector<std::int16_t> StereoSource(std::span<const std::uint8_t> samples, std::uint32_t count,
                                       std::uint16_t bits) {
    const std::size_t bytesPer = bits == 8 ? 1 : 2;
    count = static_cast<std::uint32_t>(std::min<std::size_t>(count, samples.size() / bytesPer));
    std::vector<std::int16_t> stereo(2 * static_cast<std::size_t>(count));
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::int16_t v =
            bits == 8
                ? static_cast<std::int16_t>(std::max(((samples[i] - 128) * 32767) / 127, -32768))
                : Pcm16At(samples.data(), i);
        stereo[2 * i] = stereo[2 * i + 1] = v;
    }
    return stereo;
}

std::vector<std::int16_t> AlternateEars(std::span<const std::int16_t> stereo, std::uint32_t rate,
                                        double periodMs, double duty) {
    std::vector<std::int16_t> out(stereo.begin(), stereo.end());
    const std::size_t frames = out.size() / 2;
    const std::size_t n = PeriodFrames(rate, periodMs);
    if (n == 0) return out;
    const auto left = static_cast<std::size_t>(static_cast<double>(n) * PlayedDuty(duty));
    for (std::size_t end = n; end <= frames; end += n) {
        for (std::size_t j = 0; j < n; ++j) {
            const std::size_t frame = end - n + j;
            out[2 * frame + (j < left ? 1 : 0)] = 0;  // silence the other ear
        }
    }
    return out;
}

WaveFormat DivisionFormat(std::uint32_t rate) {
    return PcmFormat(2, rate, 16);
}

}  // namespace kestrune::dsp
