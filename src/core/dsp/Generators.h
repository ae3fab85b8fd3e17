// Process → Sin generator and Mix generator: commands that build a new wave
// in an empty set instead of editing one. Both leave wave 0 as the only wave
// of the set, as after opening a file.
//
// Choices where the plain rules leave a gap:
//  - A negative time, interval or play count gives "Parameter is incorrect!"
//    before the set is touched (the sample indices would run outside the
//    wave).
//  - A mix description whose pairs at 50 dB or below are fewer than TOTAL is
//    refused before the set is touched (the draw could never finish), and so
//    is a description file that cannot be read.
//  - A masker or target that reaches past the end of the wave is cut at the
//    end; the generation goes on and the outcome warns how many were cut.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "core/wave/WaveSet.h"

namespace kestrune {
class CrtRandom;
}

namespace kestrune::generators {

// The texts the generators show, exactly as shown.
inline constexpr char kCloseWavesFirst[] = "Please close all the wave files firstly!";
inline constexpr char kNeed16Bits[] = "Please set sample quanlity to 16 bits!";
inline constexpr char kParameterIncorrect[] = "Parameter is incorrect!";
inline constexpr char kEqualFrequencies[] = "Begin Hz should not equal to end Hz!";
inline constexpr char kTargetUnreadable[] =
    "Invalid path or file name!\nMasked wave file can not be opened!";
inline constexpr char kMaskerUnreadable[] =
    "Invalid path or file name!\nMasking wave file can not be opened!";
inline constexpr char kNotWaveFile[] = "Invalid file type or damaged file!";
inline constexpr char kSinWaveName[] = "Created sin wave";
inline constexpr char kMixWaveName[] = "Created mix wave";

/** The sine's peak: the integer part of 2^12 x sqrt(2), a sine of rms 4096. */
inline constexpr int kSinePeak = 5792;
/** The circle constant the tone's angular steps are computed with. */
inline constexpr double kTwoPi = 6.2832;
/** Pairs above this level (dB) are left out of the mix draw. */
inline constexpr int kMaxPairLevel = 50;
inline constexpr int kMixCells = 25;

/** The sine generator's settings: times in seconds, frequencies in Hz. */
struct SineSettings {
    int32_t before = 0;
    int32_t beginHz = 1000;
    int32_t beginHold = 2;
    int32_t changeTime = 2;
    int32_t endHz = 2000;
    int32_t endHold = 2;
    int32_t after = 0;
};

/**
 * Builds the tone into wave 0 of an empty 16-bit set: `before` seconds of
 * silence, beginHz for beginHold seconds, a glide in 1 Hz steps of
 * K = (int)(rate x changeTime / (endHz - beginHz)) samples each (|K| when
 * falling), then endHz up to the end of endHold (absorbing what the
 * truncation of K left out), then `after` seconds of silence. Each sample is
 * 5792 x sin(phase) truncated toward zero; the phase runs on continuously
 * across the steps.
 */
Outcome SinGenerator(WaveSet& set, const SineSettings& settings);

/** The mix generator's settings (times in seconds). */
struct MixSettings {
    int32_t before = 2;
    int32_t interval = 1;
    int32_t after = 2;
    std::string descriptionPath;
    int32_t plays = 1;
};

/** What a mix description file says. */
struct MixDescription {
    std::string filePath;  ///< put in front of "%d.wav"
    int total = 0;         ///< pairs per play
    /** levels[d - 1][b - 1]: the target level in dB of masker d with target b. */
    std::array<std::array<int, 5>, 5> levels{};

    /** Cells (k = 5 (d - 1) + b - 1) at 50 dB or below. */
    int FreeCells() const;
};

/** Reads FILEPATH, TOTAL and DATA1..5/BEGIN1..5 (a missing key reads as 0).
 *  False when the file cannot be read. */
bool ReadMixDescription(const std::string& path, MixDescription& description);

/**
 * Builds the masker/target sequence into wave 0 of an empty 16-bit set.
 * Each play draws `total` free cells without repetition (r = 1 + (int)(N x
 * rand() / 32767.0), the r-th free cell counted cyclically from cell 1);
 * each pair is the masker file copied as it is, plus the target scaled by
 * 10^(v / 20), placed every interval + 1 seconds from `before`. A pair whose
 * masker and target are the same number is the target over silence.
 *
 * A file that cannot be read stops the generation with its message; the set
 * keeps the new wave with what was written so far (ok false, redraw true).
 */
Outcome MixGenerator(WaveSet& set, const MixSettings& settings, CrtRandom& random);

/** The same with a description already read (the path in `settings` is not used). */
Outcome MixGenerator(WaveSet& set, const MixSettings& settings, const MixDescription& description,
                     CrtRandom& random);

}  // namespace kestrune::generators
