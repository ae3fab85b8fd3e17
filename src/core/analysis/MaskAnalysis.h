// The mask analysis: how a masking vowel's spectrum, spread over the
// critical bands and floored by the absolute threshold, hides a masked
// vowel, and the five batch analyses that weigh that against the masking
// thresholds listeners showed.
//
// Everything here is plain computation over wave files and numbers: the
// database's averages come in as a PairAverages table read beforehand, so
// an analysis can run on a worker thread while the window stays live.
//
// Choices where the rules leave a gap:
//  - A recording without sound (neither walk of the sound-extent search
//    reaches its count) is refused with kNoSoundFormat instead of taking
//    another file's extent.
//  - A sound shorter than one hop gives no frame to average: refused with
//    kNoFrameFormat instead of dividing by zero.
//  - 8-bit files count as (byte - 128) x 256, as everywhere else in the
//    program; two-channel files keep their first channel.
//  - A critical band without any power contributes nothing to the threshold.
//  - Analyses 2 to 4 use the average they read for a pair as that pair's SNR
//    (besides raising the masked level by it), so their weights never depend
//    on what ran before; analyses 1 and 5 do the same by definition.
//  - A pair without an average ("Read database error!") goes on with the
//    levels and SNR of the pair before it in the walk; the first pair with
//    the levels and SNR the run starts with.
//  - Analyses 2 and 3 compute each pair's spectra once and weigh them for
//    every parameter value (the spectra do not depend on the parameters).
//  - Analysis 4 walks the pairs row by row (masking vowel, then masked
//    vowel), skips the diagonal ("0", as analysis 1) and writes the mean of
//    a row's four offsets in "Avg"; like analysis 1 it has a "masking" row.
//  - No fundamental in the masked sound (F0 = -1) stops an analysis with
//    kNoFundamentalFormat: the weights divide by F0.
//  - No bin of the masked sound above its floor makes the weight sum 0:
//    then nothing is weighed and D is 0.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "core/analysis/Psychoacoustics.h"
#include "core/analysis/ResultTable.h"

namespace kestrune::analysis {

inline constexpr int kVowelCount = 5;
/** The vowels by number 1 ... 5 (index 0 ... 4). */
inline constexpr std::array<const char*, kVowelCount> kVowelNames{"あ", "い", "う", "え", "お"};
/** The station's vowel recordings are "1.wav" ... "5.wav" in this folder of the station. */
inline constexpr char kVowelFolder[] = "vowels";

inline constexpr char kOpenMaskingFailed[] = "Open masking file failed!";
inline constexpr char kOpenMaskedFailed[] = "Open masked file failed!";
inline constexpr char kNoWaveTag[] = "Can not find \"WAVE\"!";
inline constexpr char kEmptyExtent[] = "Error!";
inline constexpr char kReadDatabaseError[] = "Read database error!";
inline constexpr char kBufCountError[] = "Buf count error!";
inline constexpr char kWorkbookSucceeded[] = "Calculating and writing into excel file succeed!";
/** printf formats: the file's role ("masking", "masked"), then the hop. */
inline constexpr char kNoSoundFormat[] =
    "The %s file holds no sound (never 50 samples louder than 64 in a row)!";
inline constexpr char kNoFrameFormat[] =
    "The sound of the %s file is shorter than one shift of %d samples!";
inline constexpr char kNoFundamentalFormat[] = "No fundamental frequency found in %s!";
inline constexpr char kDiffFormat[] = "diff:%f";

/** The station's folder of vowel recordings (`stationDir` empty: relative). */
std::string VowelFolder(const std::string& stationDir);

/** The recording of vowel `vowel` (1 ... 5) in a folder: "folder/n.wav". */
std::string VowelFile(const std::string& folder, int vowel);

/** The station's recording of vowel `vowel`. */
std::string VowelPath(const std::string& stationDir, int vowel);

/** The vowel a path names: the digit five characters from its end (the
 *  number before ".wav"), 1 ... 5; 0 when it is no such digit. */
int VowelOfPath(const std::string& path);

/** The name of vowel 1 ... 5; "" otherwise. */
std::string VowelName(int vowel);

/** What Confirm computes for one masking and one masked recording. */
struct MaskSpectra {
    int maskingVowel = 0;  ///< 1 ... 5, 0 when the path names none
    int maskedVowel = 0;
    int maskingLevel = 60;  ///< presentation levels in dB
    int maskedLevel = 60;
    double binWidth = 0.0;             ///< df in Hz
    int binCount = 0;                  ///< K = N / 2
    std::vector<int> maskingSpectrum;  ///< K averaged magnitudes
    std::vector<int> maskedSpectrum;
    std::vector<double> maskingLevels;  ///< Lm, dB per bin
    std::vector<double> maskedLevels;   ///< Ld, dB per bin
    std::vector<std::int64_t> maskingPowers;
    std::array<std::optional<double>, kCriticalBandCount> bandLevels;  ///< B, dB; none: no power
    std::vector<double> threshold;                                     ///< T, dB per bin
    int f0 = -1;                                                       ///< Hz; -1 when not found

    /** Integer part of k x df. */
    int BinFrequency(int bin) const { return static_cast<int>(bin * binWidth); }
};

struct ConfirmInput {
    std::string maskingPath;
    std::string maskedPath;
    int maskingLevel = 60;
    int maskedLevel = 60;
    int frameLength = 1024;  ///< N
    int shift = 512;         ///< H
    double binWidth = 0.0;   ///< df; 0: the masking file's sample rate / N
};

struct ConfirmResult {
    MaskSpectra spectra;
    std::string message;     ///< why there are no spectra; empty on success
    std::string failedPath;  ///< the file the message is about
    bool Ok() const { return message.empty(); }
};

/** Reads both files, averages their spectra over their sound and computes
 *  levels, band levels, threshold and F0. */
ConfirmResult Confirm(const ConfirmInput& input);

/** 20 log10((v + 1) / 4096) - 10 log10(K) + level for each bin. */
std::vector<double> LevelsDb(std::span<const int> spectrum, int level);

/** Band b's level: 10 log10 of the summed powers of the bins (from the
 *  first at or above 100 Hz) whose frequency lies in it; none for no power. */
std::array<std::optional<double>, kCriticalBandCount> BandLevels(
    std::span<const std::int64_t> powers, double binWidth);

/** The masking threshold per bin from the band levels, spread and floored
 *  by the absolute threshold, in dB. */
std::vector<double> MaskingThreshold(
    const std::array<std::optional<double>, kCriticalBandCount>& bandLevels, int binCount,
    double binWidth);

/** The first local peak of the spectrum from bin 1, as Hz; -1 when none or too near the top. */
int FundamentalFrequency(std::span<const int> spectrum, double binWidth);

struct DifferenceParams {
    double offset = -6.0;      ///< o, added to the threshold
    double weightBase = 0.95;  ///< a
    int snr = 0;
    /** Bins count in the weight sum when Ld - SNR - 1 >= ATH (analyses 1
     *  and 5); otherwise when Ld >= ATH (analyses 2 to 4). */
    bool floorBelowSnr = true;
};

/** The difference measure D; none when there is no F0 to weigh with. */
std::optional<double> DifferenceMeasure(const MaskSpectra& spectra, const DifferenceParams& params);

enum class MaskAnalysisKind { AverageDe = 1, TryB = 2, TryA = 3, TryDeviation = 4, SubjectDe = 5 };

/** The averages a query gave per pair: [masking vowel - 1][masked vowel - 1]; none: no row. */
using PairAverages = std::array<std::array<std::optional<double>, kVowelCount>, kVowelCount>;

struct MaskRunInput {
    MaskAnalysisKind kind = MaskAnalysisKind::AverageDe;
    PairAverages averages{};
    std::string vowelFolder;  ///< the vowel recordings are VowelFile(vowelFolder, n)
    int frameLength = 1024;
    int shift = 512;
    double binWidth = 0.0;  ///< as in ConfirmInput
    int maskingLevel = 60;  ///< the levels and SNR before the first pair
    int maskedLevel = 60;
    int snr = 0;
    std::string subject;  ///< analysis 5's heading
};

/** One step of a run: pairs done of the total, and a line for a log (may be empty). */
struct MaskProgress {
    int done = 0;
    int total = 0;
    std::string line;
};

/** Called after every pair (any thread the run is on); false cancels the run. */
using MaskProgressHook = std::function<bool(const MaskProgress&)>;

struct MaskRunResult {
    ResultTable table;    ///< captions are the header row
    std::string message;  ///< why the run stopped; empty when it finished
    bool cancelled = false;
    std::vector<std::string> log;     ///< "diff:" lines, database and count warnings
    std::optional<MaskSpectra> last;  ///< the last pair computed, for the display
    int snr = 0;                      ///< the SNR the last pair was weighed with
    bool Ok() const { return message.empty() && !cancelled; }
};

/** Runs one of the five analyses over the 20 pairs of different vowels. */
MaskRunResult RunMaskAnalysis(const MaskRunInput& input, const MaskProgressHook& progress = {});

/** The workbook each analysis writes: "maskanalyse1.xls" ... */
std::string MaskWorkbookName(MaskAnalysisKind kind);
/** The sheet every analysis writes. */
inline constexpr char kMaskSheet[] = "Masking";

}  // namespace kestrune::analysis
