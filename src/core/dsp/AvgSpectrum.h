// Analyse → Averaged spectrum and Find Hz point in max energy: the short-time
// magnitude spectra of whole recordings averaged into one curve per file.
//
// Choices where the plain rules leave a gap:
//  - A recording without sound (neither walk of the sound-extent search
//    reaches its count) gives "Invalid signal is found!" instead of reusing
//    another file's extent.
//  - A sound extent or wave shorter than one hop S gives no frame to average:
//    the message says so instead of dividing by zero.
//  - Find Hz point in max energy refuses an empty set, as the averaged
//    spectrum does.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/dsp/ViewRules.h"
#include "core/wave/WaveSet.h"

namespace kestrune::dsp {

inline constexpr char kAtLeastOneWave[] = "At least 1 wave file is needed!";
inline constexpr char kInvalidSignalFound[] = "Invalid signal is found!";
/** printf format of the hop message: S. */
inline constexpr char kNoFrameFormat[] = "The sound is shorter than one shift of %d samples!";
/** printf formats of the two reports. */
inline constexpr char kPowerFormat[] = "Amplication dB of file %d is %f .";
inline constexpr char kPeakFormat[] = "The frequency of max averaged energy is %d Hz.";

/** The graph's level range in dB. */
inline constexpr double kTopDb = 5.0;
inline constexpr double kBottomDb = -70.0;

/** One averaged spectrum: K = N / 2 integer magnitudes, or why there is none. */
struct AveragedSpectrum {
    std::vector<int> bins;
    std::string message;  ///< set when `bins` is empty

    bool Ok() const { return message.empty(); }
};

/**
 * The average over frames = count / S of the integer parts of GetMagnitude(k),
 * k < N / 2 (integer division by the frame count), of samples pushed S at a
 * time into a CFft of size N. No frame gives the hop message.
 */
AveragedSpectrum AverageSpectrum(std::span<const std::int16_t> samples, int frameLength, int shift,
                                 int sampleRate);

/**
 * A file's averaged spectrum as the dialog computes it: read again from disk
 * (a two-channel file keeps its first channel, 8-bit samples count as
 * (byte - 128) x 256), cut to its sound extent (the hysteresis search with
 * offsets -49 / +49), then averaged. The file's messages: "Open file failed!",
 * "Can not find \"WAVE\"!", "Invalid signal is found!", the hop message.
 */
AveragedSpectrum FileAverageSpectrum(const std::string& path, int frameLength, int shift);

/** The level of bin value v among K bins: 20 log10((v + 1) / 4096) - 10 log10(K), in dB. */
double LevelDb(int value, int binCount);

/** The level of a whole average: 20 log10(sqrt(sum v^2 / K) / 4096), in dB. */
double PowerDb(std::span<const int> bins);

/** The curve colour of file i of n: black for one, blue then red for two, level colours from three.
 */
inline Rgb CurveColor(int index, int count) {
    return TraceColor(index, count);
}

/** y of a level in a graph `height` pixels high spanning 5 dB ... -70 dB. */
double LevelToY(double levelDb, int height);

/** Horizontal axis: the top value (K x df / 1000) in kHz and how often a tick is labelled. */
struct FrequencyAxis {
    double topKHz = 0.0;
    int labelEvery = 1;  ///< every tick below 10 kHz, every 5th from there
};
FrequencyAxis FrequencyAxisRule(int binCount, double binWidthHz);

/**
 * The averages as CSV: a header "bin,hz,<label 1>,<label 2>..." then one
 * line per bin with the bin's frequency (rate x k / N) and each file's level
 * in dB ("%.2f"; empty for a file without a spectrum).
 */
std::string SpectrumCsv(const std::vector<AveragedSpectrum>& spectra,
                        const std::vector<std::string>& labels, int frameLength, int sampleRate);

/**
 * Find Hz point in max energy on wave 0 in memory: the first bin with the
 * largest average, reported as "The frequency of max averaged energy is %d Hz."
 * (BinToFrequency of that bin) in the outcome's message.
 */
Outcome PeakEnergyFrequency(const WaveSet& set, int frameLength, int shift);

}  // namespace kestrune::dsp
