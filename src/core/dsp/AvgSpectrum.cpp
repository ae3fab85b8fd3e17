#include "core/dsp/AvgSpectrum.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "core/dsp/Fft.h"
#include "core/util/SoundExtent.h"
#include "core/wave/Pcm16.h"
#include "core/wave/WaveFile.h"

namespace kestrune::dsp {

namespace {

constexpr int kExtentBefore = -49;
constexpr int kExtentAfter = 49;

AveragedSpectrum Failed(std::string message) {
    AveragedSpectrum failed;
    failed.message = std::move(message);
    return failed;
}

// Samples of a mono buffer as signed 16-bit values; 8-bit bytes on the
// engine's scale, (byte - 128) x 256.
std::vector<std::int16_t> AsSamples16(const std::vector<std::uint8_t>& bytes, std::uint16_t bits,
                                      std::uint32_t count) {
    std::vector<std::int16_t> samples(count);
    for (std::uint32_t i = 0; i < count; ++i)
        samples[i] = bits == 8 ? static_cast<std::int16_t>((bytes[i] - 128) * 256)
                               : Pcm16At(bytes.data(), i);
    return samples;
}

}  // namespace

AveragedSpectrum AverageSpectrum(std::span<const std::int16_t> samples, int frameLength, int shift,
                                 int sampleRate) {
    const std::size_t frames = shift > 0 ? samples.size() / static_cast<std::size_t>(shift) : 0;
    if (frames == 0 || frameLength < 2) {
        char text[96];
        std::snprintf(text, sizeof text, kNoFrameFormat, shift);
        return Failed(text);
    }
    CFft fft(frameLength, sampleRate);
    const std::size_t binCount = static_cast<std::size_t>(frameLength / 2);
    std::vector<std::int64_t> sums(binCount, 0);
    std::vector<double> magnitudes(binCount);
    for (std::size_t f = 0; f < frames; ++f) {
        fft.PushSamples16(samples.data() + f * static_cast<std::size_t>(shift), shift);
        fft.Forward();
        fft.GetMagnitudes(magnitudes);
        for (std::size_t k = 0; k < binCount; ++k)
            sums[k] += static_cast<std::int64_t>(magnitudes[k]);
    }
    AveragedSpectrum average;
    average.bins.resize(binCount);
    for (std::size_t k = 0; k < binCount; ++k)
        average.bins[k] = static_cast<int>(sums[k] / static_cast<std::int64_t>(frames));
    return average;
}

AveragedSpectrum FileAverageSpectrum(const std::string& path, int frameLength, int shift) {
    WaveHeaderResult header = ReadWaveHeader(path);
    if (!header.Ok())
        return Failed(*header.error == WaveReadError::CannotOpen ? WaveSetMessages::kOpenFailed
                                                                 : WaveSetMessages::kNoWave);
    WaveFileInfo info = header.info;
    const std::vector<std::uint8_t> bytes = ReadWaveSamples(std::move(header.file), info);
    const std::uint16_t bits = info.format.bitsPerSample;
    if (bits != 8 && bits != 16) return Failed(WaveSetMessages::kUnavailableBits);
    const std::vector<std::int16_t> samples = AsSamples16(bytes, bits, info.sampleCount);
    const SoundExtent extent = FindSoundExtent(samples, kExtentBefore, kExtentAfter);
    if (!extent.HasSound() || *extent.end < *extent.start) return Failed(kInvalidSignalFound);
    const std::span<const std::int16_t> sound(samples.data() + *extent.start,
                                              *extent.end - *extent.start + 1);
    return AverageSpectrum(sound, frameLength, shift, static_cast<int>(info.format.sampleRate));
}

double LevelDb(int value, int binCount) {
    return 20.0 * std::log10((value + 1.0) / 4096.0) - 10.0 * std::log10(binCount);
}

double PowerDb(std::span<const int> bins) {
    if (bins.empty()) return 0.0;
    double sum = 0.0;
    for (const int v : bins) sum += static_cast<double>(static_cast<std::int64_t>(v) * v);
    return 20.0 * std::log10(std::sqrt(sum / static_cast<double>(bins.size())) / 4096.0);
}

double LevelToY(double levelDb, int height) {
    return height * (kTopDb - levelDb) / (kTopDb - kBottomDb);
}

FrequencyAxis FrequencyAxisRule(int binCount, double binWidthHz) {
    FrequencyAxis axis;
    axis.topKHz = binCount * binWidthHz / 1000.0;
    axis.labelEvery = axis.topKHz < 10.0 ? 1 : 5;
    return axis;
}

std::string SpectrumCsv(const std::vector<AveragedSpectrum>& spectra,
                        const std::vector<std::string>& labels, int frameLength, int sampleRate) {
    std::string csv = "bin,hz";
    for (std::size_t i = 0; i < spectra.size(); ++i)
        csv += "," + (i < labels.size() ? labels[i] : "file" + std::to_string(i + 1));
    csv += '\n';
    const int binCount = frameLength / 2;
    char cell[32];
    for (int k = 0; k < binCount; ++k) {
        csv += std::to_string(k) + ',' +
               std::to_string(static_cast<std::int64_t>(sampleRate) * k / frameLength);
        for (const AveragedSpectrum& spectrum : spectra) {
            csv += ',';
            if (static_cast<std::size_t>(k) >= spectrum.bins.size()) continue;
            std::snprintf(cell, sizeof cell, "%.2f",
                          LevelDb(spectrum.bins[static_cast<std::size_t>(k)], binCount));
            csv += cell;
        }
        csv += '\n';
    }
    return csv;
}

Outcome PeakEnergyFrequency(const WaveSet& set, int frameLength, int shift) {
    if (set.waveCount < 1) return Refusal(kAtLeastOneWave);
    const std::uint16_t bits = set.format.bitsPerSample;
    if (bits != 8 && bits != 16) return Refusal(WaveSetMessages::kUnavailableBits);
    const std::vector<std::int16_t> samples =
        AsSamples16(set.samples[0], bits, set.sampleCounts[0]);
    const AveragedSpectrum average =
        AverageSpectrum(samples, frameLength, shift, static_cast<int>(set.format.sampleRate));
    if (!average.Ok()) return Refusal(average.message);
    const auto strongest = std::max_element(average.bins.begin(), average.bins.end());
    const int bin = static_cast<int>(strongest - average.bins.begin());
    const int hz =
        static_cast<int>(static_cast<std::int64_t>(set.format.sampleRate) * bin / frameLength);
    char text[96];
    std::snprintf(text, sizeof text, kPeakFormat, hz);
    Outcome outcome;
    outcome.message = text;
    return outcome;
}

}  // namespace kestrune::dsp
