#include "core/analysis/MaskAnalysis.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <utility>

#include "core/dsp/AvgSpectrum.h"
#include "core/util/SoundExtent.h"
#include "core/wave/Pcm16.h"
#include "core/wave/WaveFile.h"

namespace kestrune::analysis {
namespace {

constexpr int kExtentBefore = -49;
constexpr int kExtentAfter = 49;

template <typename... Args>
std::string Format(const char* format, Args... args) {
    char text[512];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

// One file's averaged spectrum over its sound, and its sample rate.
struct FileSpectrum {
    std::vector<int> bins;
    int sampleRate = 0;
    std::string message;
};

FileSpectrum ReadFileSpectrum(const std::string& path, const char* role, const char* openFailed,
                              int frameLength, int shift) {
    FileSpectrum result;
    WaveHeaderResult header = ReadWaveHeader(path);
    if (!header.Ok()) {
        result.message =
            *header.error == WaveReadError::CannotOpen ? openFailed : std::string(kNoWaveTag);
        return result;
    }
    WaveFileInfo info = header.info;
    const std::vector<std::uint8_t> bytes = ReadWaveSamples(std::move(header.file), info);
    const bool eightBit = info.format.bitsPerSample == 8;
    std::vector<std::int16_t> samples(info.sampleCount);
    for (std::uint32_t i = 0; i < info.sampleCount; ++i)
        samples[i] =
            eightBit ? static_cast<std::int16_t>((bytes[i] - 128) * 256) : Pcm16At(bytes.data(), i);

    const SoundExtent extent = FindSoundExtent(samples, kExtentBefore, kExtentAfter);
    if (!extent.HasSound()) {
        result.message = Format(kNoSoundFormat, role);
        return result;
    }
    if (*extent.end < *extent.start) {
        result.message = kEmptyExtent;
        return result;
    }
    const std::size_t length = *extent.end - *extent.start + 1;
    if (shift < 1 || frameLength < 2 || length / static_cast<std::size_t>(shift) == 0) {
        result.message = Format(kNoFrameFormat, role, shift);
        return result;
    }
    const dsp::AveragedSpectrum average =
        dsp::AverageSpectrum(std::span(samples).subspan(*extent.start, length), frameLength, shift,
                             static_cast<int>(info.format.sampleRate));
    if (!average.Ok()) {
        result.message = average.message;
        return result;
    }
    result.bins = average.bins;
    result.sampleRate = static_cast<int>(info.format.sampleRate);
    return result;
}

// The whole part of a power, held at the 64-bit range: the absolute
// threshold near 0 Hz is some 900 dB, a power no integer holds.
std::int64_t WholePower(double power) {
    constexpr double kLargest = 9.2e18;  // just below 2^63
    if (!(power < kLargest)) return power > 0 ? static_cast<std::int64_t>(kLargest) : 0;
    if (power <= -kLargest) return -static_cast<std::int64_t>(kLargest);
    return static_cast<std::int64_t>(power);
}

std::vector<std::int64_t> Powers(std::span<const double> levels) {
    std::vector<std::int64_t> powers(levels.size());
    for (std::size_t k = 0; k < levels.size(); ++k)
        powers[k] = WholePower(std::pow(10.0, levels[k] / 10.0));
    return powers;
}

}  // namespace

std::string VowelFolder(const std::string& stationDir) {
    return stationDir.empty() ? std::string(kVowelFolder)
                              : (std::filesystem::path(stationDir) / kVowelFolder).string();
}

std::string VowelFile(const std::string& folder, int vowel) {
    return (std::filesystem::path(folder) / Format("%d.wav", vowel)).string();
}

std::string VowelPath(const std::string& stationDir, int vowel) {
    return VowelFile(VowelFolder(stationDir), vowel);
}

int VowelOfPath(const std::string& path) {
    if (path.size() < 5) return 0;
    const char digit = path[path.size() - 5];
    return digit >= '1' && digit <= '5' ? digit - '0' : 0;
}

std::string VowelName(int vowel) {
    return vowel >= 1 && vowel <= kVowelCount ? kVowelNames[static_cast<std::size_t>(vowel - 1)]
                                              : "";
}

std::vector<double> LevelsDb(std::span<const int> spectrum, int level) {
    const double perBin = 10.0 * std::log10(static_cast<double>(spectrum.size()));
    std::vector<double> levels(spectrum.size());
    for (std::size_t k = 0; k < spectrum.size(); ++k)
        levels[k] = 20.0 * std::log10((spectrum[k] + 1.0) / 4096.0) - perBin + level;
    return levels;
}

std::array<std::optional<double>, kCriticalBandCount> BandLevels(
    std::span<const std::int64_t> powers, double binWidth) {
    // Summed as doubles: whole powers add exactly up to 2^53 (some 160 dB),
    // and a level beyond that cannot overflow the sum.
    std::array<double, kCriticalBandCount> sums{};
    for (std::size_t k = 0; k < powers.size(); ++k) {
        const int band = CriticalBandOf(static_cast<int>(static_cast<double>(k) * binWidth));
        if (band >= 0) sums[static_cast<std::size_t>(band)] += static_cast<double>(powers[k]);
    }
    std::array<std::optional<double>, kCriticalBandCount> levels;
    for (std::size_t b = 0; b < levels.size(); ++b)
        if (sums[b] > 0) levels[b] = 10.0 * std::log10(sums[b]);
    return levels;
}

std::vector<double> MaskingThreshold(
    const std::array<std::optional<double>, kCriticalBandCount>& bandLevels, int binCount,
    double binWidth) {
    const double perBin = 10.0 * std::log10(binWidth);
    std::vector<double> threshold(static_cast<std::size_t>(binCount));
    for (int k = 0; k < binCount; ++k) {
        const int fk = static_cast<int>(k * binWidth);
        const double ath = AbsoluteThreshold(fk);
        const double athPower = std::pow(10.0, ath / 10.0);
        const std::int64_t athWhole = WholePower(athPower);
        const double zk = HzToBark(fk);
        double collected = 0;
        for (int b = 0; b < kCriticalBandCount; ++b) {
            const auto& level = bandLevels[static_cast<std::size_t>(b)];
            if (!level) continue;
            const double s =
                SpreadingFunction(HzToBark(CriticalBandCentre(b)), zk, *level) - perBin;
            if (ath <= s)
                collected += static_cast<double>(
                    WholePower(std::pow(10.0, s / 10.0) - static_cast<double>(athWhole)));
        }
        threshold[static_cast<std::size_t>(k)] = 10.0 * std::log10(collected + athPower);
    }
    return threshold;
}

int FundamentalFrequency(std::span<const int> spectrum, double binWidth) {
    const std::size_t count = spectrum.size();
    for (std::size_t k = 1; k + 2 < count; ++k) {
        if (spectrum[k - 1] <= spectrum[k] && spectrum[k] >= spectrum[k + 1]) {
            if (k + 7 >= count) return -1;
            return static_cast<int>(static_cast<double>(k) * binWidth);
        }
    }
    return -1;
}

ConfirmResult Confirm(const ConfirmInput& input) {
    ConfirmResult result;
    MaskSpectra& s = result.spectra;
    s.maskingVowel = VowelOfPath(input.maskingPath);
    s.maskedVowel = VowelOfPath(input.maskedPath);
    s.maskingLevel = input.maskingLevel;
    s.maskedLevel = input.maskedLevel;

    const FileSpectrum masking = ReadFileSpectrum(input.maskingPath, "masking", kOpenMaskingFailed,
                                                  input.frameLength, input.shift);
    if (!masking.message.empty()) {
        result.message = masking.message;
        result.failedPath = input.maskingPath;
        return result;
    }
    const FileSpectrum masked = ReadFileSpectrum(input.maskedPath, "masked", kOpenMaskedFailed,
                                                 input.frameLength, input.shift);
    if (!masked.message.empty()) {
        result.message = masked.message;
        result.failedPath = input.maskedPath;
        return result;
    }
    s.binCount = input.frameLength / 2;
    s.binWidth = input.binWidth > 0.0 ? input.binWidth
                                      : static_cast<double>(masking.sampleRate) / input.frameLength;
    s.maskingSpectrum = masking.bins;
    s.maskedSpectrum = masked.bins;
    s.maskingLevels = LevelsDb(s.maskingSpectrum, s.maskingLevel);
    s.maskedLevels = LevelsDb(s.maskedSpectrum, s.maskedLevel);
    s.maskingPowers = Powers(s.maskingLevels);
    s.bandLevels = BandLevels(s.maskingPowers, s.binWidth);
    s.threshold = MaskingThreshold(s.bandLevels, s.binCount, s.binWidth);
    s.f0 = FundamentalFrequency(s.maskedSpectrum, s.binWidth);
    return result;
}

std::optional<double> DifferenceMeasure(const MaskSpectra& s, const DifferenceParams& params) {
    if (s.f0 < 1) return std::nullopt;
    const int count = s.binCount;
    std::vector<double> weights(static_cast<std::size_t>(count));
    std::vector<double> threshold(static_cast<std::size_t>(count));
    double weightSum = 0.0;
    for (int k = 0; k < count; ++k) {
        const std::size_t i = static_cast<std::size_t>(k);
        const double ath = AbsoluteThreshold(s.BinFrequency(k));
        threshold[i] = std::max(s.threshold[i] + params.offset, ath);
        const double audible = s.maskedLevels[i] - params.snr - 1 - ath;
        weights[i] = std::pow(params.weightBase, k * s.binWidth / s.f0) * audible;
        const bool counts = params.floorBelowSnr ? audible >= 0.0 : s.maskedLevels[i] >= ath;
        if (counts) weightSum += weights[i];
    }
    weightSum /= count;
    if (weightSum == 0.0) return 0.0;
    double d = 0.0;
    for (std::size_t i = 0; i < threshold.size(); ++i) {
        if (threshold[i] > s.maskedLevels[i]) continue;
        d += std::max(0.0, weights[i] / weightSum) * (s.maskedLevels[i] - threshold[i]) / count;
    }
    return d;
}

std::string MaskWorkbookName(MaskAnalysisKind kind) {
    return Format("maskanalyse%d.xls", static_cast<int>(kind));
}

namespace {

// The walk over the 20 pairs: each pair's levels from its average (or the
// previous pair's), its Confirm, and the hook told after each.
class PairWalk {
  public:
    PairWalk(const MaskRunInput& input, const MaskProgressHook& progress, MaskRunResult& result)
        : input_(input),
          progress_(progress),
          result_(result),
          maskingLevel_(input.maskingLevel),
          maskedLevel_(input.maskedLevel),
          snr_(input.snr) {}

    static constexpr int kPairs = kVowelCount * (kVowelCount - 1);

    /** Confirm for pair (i, j), 1-based; false when the run must stop. */
    bool Run(int i, int j, MaskSpectra* spectra, int* snr) {
        const auto& average =
            input_.averages[static_cast<std::size_t>(i - 1)][static_cast<std::size_t>(j - 1)];
        if (average) {
            const int v = static_cast<int>(*average);
            maskingLevel_ = 60;
            snr_ = v;
            maskedLevel_ = (input_.kind == MaskAnalysisKind::AverageDe ||
                            input_.kind == MaskAnalysisKind::SubjectDe)
                               ? 60 + v + 1
                               : 60 + v;
        } else {
            Log(std::string(kReadDatabaseError) + " (" + VowelName(i) + " / " + VowelName(j) + ")");
        }
        ConfirmInput confirm;
        confirm.maskingPath = VowelFile(input_.vowelFolder, i);
        confirm.maskedPath = VowelFile(input_.vowelFolder, j);
        confirm.maskingLevel = maskingLevel_;
        confirm.maskedLevel = maskedLevel_;
        confirm.frameLength = input_.frameLength;
        confirm.shift = input_.shift;
        confirm.binWidth = input_.binWidth;
        ConfirmResult confirmed = Confirm(confirm);
        if (!confirmed.Ok()) {
            result_.message = confirmed.message + " (" + confirmed.failedPath + ")";
            return false;
        }
        if (confirmed.spectra.f0 < 1) {
            result_.message = Format(kNoFundamentalFormat, confirm.maskedPath.c_str());
            return false;
        }
        *spectra = std::move(confirmed.spectra);
        *snr = snr_;
        result_.last = *spectra;
        result_.snr = snr_;
        return true;
    }

    /** Tells the hook one more pair is done; false when it cancels. */
    bool Step(std::string line) {
        ++done_;
        if (!line.empty()) result_.log.push_back(line);
        if (progress_ && !progress_({done_, kPairs, std::move(line)})) {
            result_.cancelled = true;
            return false;
        }
        return true;
    }

    void Log(std::string line) { result_.log.push_back(std::move(line)); }

  private:
    const MaskRunInput& input_;
    const MaskProgressHook& progress_;
    MaskRunResult& result_;
    int maskingLevel_;
    int maskedLevel_;
    int snr_;
    int done_ = 0;
};

std::vector<std::string> VowelCaptions(const char* last) {
    std::vector<std::string> captions{"masked"};
    for (const char* name : kVowelNames) captions.emplace_back(name);
    captions.emplace_back(last);
    return captions;
}

using Grid = std::array<std::array<double, kVowelCount>, kVowelCount>;

// The five vowel rows: name, the off-diagonal values ("0" on the diagonal), their mean.
void AddVowelRows(const Grid& grid, ResultTable& table) {
    for (int i = 0; i < kVowelCount; ++i) {
        std::vector<std::string> row{kVowelNames[static_cast<std::size_t>(i)]};
        double sum = 0.0;
        for (int j = 0; j < kVowelCount; ++j) {
            if (i == j) {
                row.emplace_back("0");
                continue;
            }
            const double value = grid[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
            sum += value;
            row.push_back(FormatF(value));
        }
        row.push_back(FormatF(sum / (kVowelCount - 1)));
        table.rows.push_back(std::move(row));
    }
}

// Runs the pairs of two different vowels in order, masking vowel first, and
// hands each (zero-based i, j, its spectra and SNR) to `each`, whose text is
// the pair's progress line (empty: none). False when the walk stopped.
template <typename Each>
bool ForEachPair(PairWalk& walk, Each each) {
    for (int i = 1; i <= kVowelCount; ++i) {
        for (int j = 1; j <= kVowelCount; ++j) {
            if (i == j) continue;
            MaskSpectra spectra;
            int snr = 0;
            if (!walk.Run(i, j, &spectra, &snr)) return false;
            if (!walk.Step(each(static_cast<std::size_t>(i - 1), static_cast<std::size_t>(j - 1),
                                std::move(spectra), snr)))
                return false;
        }
    }
    return true;
}

// Analyses 1 and 5: one D per pair with o = -6, a = 0.95.
void RunDe(const MaskRunInput& input, PairWalk& walk, MaskRunResult& result) {
    result.table.captions = VowelCaptions("Avg");
    if (input.kind == MaskAnalysisKind::SubjectDe)
        result.table.rows.push_back({"masking", "ID=" + input.subject});
    else
        result.table.rows.push_back({"masking"});
    Grid grid{};
    const bool done =
        ForEachPair(walk, [&grid](std::size_t i, std::size_t j, MaskSpectra spectra, int snr) {
            const double d = *DifferenceMeasure(spectra, {-6.0, 0.95, snr, true});
            grid[i][j] = d;
            return Format(kDiffFormat, d);
        });
    if (done) AddVowelRows(grid, result.table);
}

// Analyses 2 and 3: a block of rows per parameter value.
void RunTries(const MaskRunInput& input, PairWalk& walk, MaskRunResult& result) {
    result.table.captions = VowelCaptions("Avg");
    for (const char* extra : {"Average", "StdDev", "StdDev/Average"})
        result.table.captions.emplace_back(extra);

    std::array<std::array<std::optional<std::pair<MaskSpectra, int>>, kVowelCount>, kVowelCount>
        pairs;
    const bool done =
        ForEachPair(walk, [&pairs](std::size_t i, std::size_t j, MaskSpectra spectra, int snr) {
            pairs[i][j].emplace(std::move(spectra), snr);
            return std::string();
        });
    if (!done) return;

    // Parameter steps as whole tenths of a dB or hundredths, so no drift
    // adds a step: b = -0.5 ... -5.0, a = 0.85 ... 0.55.
    std::vector<std::pair<double, double>> steps;  // (offset, weight base)
    if (input.kind == MaskAnalysisKind::TryB) {
        for (int tenths = -5; tenths > -55; tenths -= 5) steps.emplace_back(tenths / 10.0, 0.85);
    } else {
        for (int hundredths = 85; hundredths > 50; hundredths -= 5)
            steps.emplace_back(-3.0, hundredths / 100.0);
    }
    for (const auto& [offset, base] : steps) {
        result.table.rows.push_back({"masking", Format("b = %f", offset), Format("a = %f", base)});
        Grid grid{};
        std::vector<double> values;
        for (int i = 0; i < kVowelCount; ++i) {
            for (int j = 0; j < kVowelCount; ++j) {
                const auto& pair = pairs[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)];
                if (!pair) continue;
                const double d =
                    *DifferenceMeasure(pair->first, {offset, base, pair->second, false});
                grid[static_cast<std::size_t>(i)][static_cast<std::size_t>(j)] = d;
                values.push_back(d);
            }
        }
        AddVowelRows(grid, result.table);
        if (values.size() != PairWalk::kPairs) walk.Log(kBufCountError);
        const double mean = Mean(values);
        const double deviation = StandardDeviation(values);
        auto& fifth = result.table.rows.back();
        fifth.push_back(FormatF(mean));
        fifth.push_back(FormatF(deviation));
        fifth.push_back(FormatF(deviation / mean));
    }
}

// Analysis 4: per pair the smallest extra offset whose D is at most 2.27.
void RunDeviation(PairWalk& walk, MaskRunResult& result) {
    constexpr double kBase = 0.8;
    constexpr double kOffset = -3.0;
    constexpr double kLimit = 2.27;
    constexpr double kNotFound = -100.0;
    result.table.captions = VowelCaptions("Avg");
    result.table.captions.push_back(Format("a=%f, b=%f", kBase, kOffset));
    result.table.rows.push_back({"masking"});
    Grid grid{};
    const bool done =
        ForEachPair(walk, [&grid](std::size_t i, std::size_t j, MaskSpectra spectra, int snr) {
            double found = kNotFound;
            // e = -9.9, -9.8, ... 15.0 counted in tenths.
            for (int tenths = -99; tenths <= 150; ++tenths) {
                const double e = tenths / 10.0;
                if (*DifferenceMeasure(spectra, {kOffset + e, kBase, snr, false}) <= kLimit) {
                    found = e;
                    break;
                }
            }
            grid[i][j] = found;
            return std::string();
        });
    if (done) AddVowelRows(grid, result.table);
}

}  // namespace

MaskRunResult RunMaskAnalysis(const MaskRunInput& input, const MaskProgressHook& progress) {
    MaskRunResult result;
    PairWalk walk(input, progress, result);
    switch (input.kind) {
        case MaskAnalysisKind::AverageDe:
        case MaskAnalysisKind::SubjectDe:
            RunDe(input, walk, result);
            break;
        case MaskAnalysisKind::TryB:
        case MaskAnalysisKind::TryA:
            RunTries(input, walk, result);
            break;
        case MaskAnalysisKind::TryDeviation:
            RunDeviation(walk, result);
            break;
    }
    if (!result.Ok()) result.table.rows.clear();
    return result;
}

}  // namespace kestrune::analysis
