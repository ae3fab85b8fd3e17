// The stimulus player's processing and timing, without any device.
//
// Every listening test plays its stimuli the same way: the samples are copied,
// chopped by a periodic interruption, covered with uniform noise and played
// faster or slower by changing the playback sample rate only, a fixed number
// of times with a fixed wait after each write. ProcessStimulus builds the
// buffer the device plays and PlanPlayback turns the repeat count into the
// moments the buffer is written, so the playback worker, the virtual device
// and the tests all share one definition.
//
// LoadStimulus reads a stimulus file by the wave reader's fixed-offset rule
// (a two-channel file becomes its left channel) and returns the texts the
// test dialogs show when that fails.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/util/Random.h"
#include "core/wave/WaveFile.h"

namespace kestrune {

inline constexpr const char* kInvalidSampleBitsMessage = "Invalid sample bits!";
inline constexpr const char* kStimulusCannotOpenMessage =
    "Invalid path or file name!\nIt can not be opened!";
inline constexpr const char* kStimulusNotWaveMessage = "Invalid file type or damaged file!";
inline constexpr const char* kAudioOutputErrorMessage = "Audio output error!";

/** Play speed limits: a speed outside them plays at the nearer one. */
inline constexpr double kMinPlaySpeed = 0.1;
inline constexpr double kMaxPlaySpeed = 5.0;
/** Added to every repetition's wait, on top of the buffer's own length. */
inline constexpr int kRepeatGapMs = 300;
/** Repetitions of a stimulus unless a test says otherwise. */
inline constexpr int kDefaultRepeatCount = 3;

/** How one stimulus is to be played. */
struct StimulusSettings {
    double speed = 1.0;           ///< playback rate factor, clamped to 0.1 ... 5.0
    double noiseLevel = 0.0;      ///< noise amplitude as a fraction of full scale; <= 0: none
    double interruptionMs = 0.0;  ///< interruption period; below 2 samples: none
    double keptFraction = 1.0;    ///< sounding share at the start of each period
    int repeatCount = kDefaultRepeatCount;
};

/** The buffer to play and how to play it. */
struct ProcessedStimulus {
    std::vector<std::uint8_t> samples;  ///< count * bits / 8 bytes, one channel
    std::uint32_t sampleCount = 0;
    /** The input format with only the sample rate replaced by the playback
     *  rate; the byte rate is left as it was. */
    WaveFormat format;
    int repeatCount = 0;
};

/** ProcessStimulus' answer: a buffer, or the text of a refusal. */
struct StimulusOutcome {
    bool ok = false;
    std::string message;  ///< "Invalid sample bits!" when refused
    ProcessedStimulus stimulus;
};

/** The playback sample rate for a speed: whole part of rate * clamped speed. */
std::uint32_t PlaybackRate(std::uint32_t sampleRate, double speed);

/** The speed actually used: clamped to 0.1 ... 5.0 (NaN counts as 0.1). */
double ClampPlaySpeed(double speed);

/**
 * Builds the buffer the subject hears from `count` one-channel samples of
 * `format`: a copy, then the interruption, then the noise (one draw of
 * `random` per sample), then the playback rate. Only 8- and 16-bit samples
 * are accepted; anything else is refused with "Invalid sample bits!" and
 * leaves `random` untouched. `samples` must hold count * bits / 8 bytes.
 */
StimulusOutcome ProcessStimulus(const std::uint8_t* samples, std::uint32_t count,
                                const WaveFormat& format, const StimulusSettings& settings,
                                CrtRandom& random);

/** The wait after each write: whole part of (1000 / rate * count) + 300 ms. */
std::uint64_t RepeatWaitMs(std::uint32_t playbackRate, std::uint32_t sampleCount);

/** When the buffer is written, relative to the start of the playing step. */
struct PlaybackPlan {
    std::uint64_t waitMs = 0;              ///< the wait after each write
    std::vector<std::uint64_t> writeAtMs;  ///< one entry per repetition: 0, wait, 2 * wait ...
    std::uint64_t totalMs = 0;             ///< when the step ends (repetitions * wait)
};

/** The playing step of a processed stimulus (no repetitions for a count <= 0). */
PlaybackPlan PlanPlayback(const ProcessedStimulus& stimulus);

/** A stimulus file read for playing. */
struct LoadedStimulus {
    bool ok = false;
    std::string message;  ///< the text to show when not ok
    std::vector<std::uint8_t> samples;
    std::uint32_t sampleCount = 0;
    WaveFormat format;  ///< one channel after a two-channel file was reduced
};

/** Reads a stimulus file; refusals carry the dialogs' texts. Some tests name
 *  the kind of file in the cannot-open text, so that text can be given. */
LoadedStimulus LoadStimulus(const std::string& path,
                            std::string_view cannotOpenMessage = kStimulusCannotOpenMessage);

}  // namespace kestrune
