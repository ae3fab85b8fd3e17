// The wave workspace: up to five mono PCM waves in memory sharing one format,
// a backup copy of the first wave (what the Reset command brings back), the
// visible sample range of the views and the values the processing dialogs
// remember between uses.
//
// This is a plain model. It shows nothing: every operation returns an Outcome
// carrying the text the caller has to show, and whether the views need a
// redraw. File dialogs, menu check marks and control states belong to the GUI.
//
// Slots fill from 0 upwards and empty from the top; the last wave (slot
// waveCount - 1) is the one Save writes and Play plays. Closing a wave only
// lowers waveCount: a slot's buffer and count stay behind until the next wave
// lands in that slot.
//
// Buffers grow through one helper that turns std::bad_alloc/std::length_error
// into "Realloc failed!". SetBufferLimit puts a ceiling on any slot or backup
// buffer; exceeding it fails exactly as a failed reallocation. Opening a file
// whose samples would not fit is refused with "Realloc failed!" before the set
// is touched.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "core/wave/WaveFile.h"

namespace kestrune {

// The texts the wave set hands to the user, exactly as shown.
namespace WaveSetMessages {
inline constexpr char kBeyondLimit[] = "Beyond the limitation of opened wave files!";
inline constexpr char kOpenFailed[] = "Open file failed!";
inline constexpr char kNoWave[] = "Can not find \"WAVE\"!";
inline constexpr char kDifferentBits[] = "Different BitsPerSample wave file can not be added in!";
inline constexpr char kUnavailableRate[] = "Unavailable sample rate is found in the wave file!";
inline constexpr char kUnavailableBits[] = "Unavailable bits per sample is found in the wave file!";
inline constexpr char kCannotChangeRate[] = "Can not change \"sample rate\" now!";
inline constexpr char kCannotChangeBits[] = "Can not change \"bits per sample\" now!";
inline constexpr char kNotSingleChannel[] =
    "The wave file is not single channel! \n The right channel would be ignored!";
inline constexpr char kNothingToClose[] = "There is no wave file to close!";
inline constexpr char kOnlyOneWave[] = "Only 1 opened wave file is needed!";
inline constexpr char kReallocFailed[] = "Realloc failed!";
}  // namespace WaveSetMessages

// Inputs the processing dialogs remember between uses. Reset() restores the
// resettable ones; the three division-listening values survive a reset.
struct ProcessParameters {
    float playbackSpeed = 1.0f;
    float dutyCycle = 1.0f;
    int32_t periodType = 0;
    float periodMs = 0.0f;
    float divisionDutyCycle = 0.5f;   // not reset
    float divisionPeriodMs = 200.0f;  // not reset
    int32_t divisionPeriodType = 0;   // not reset
    float noiseAmplitude = 0.0f;
    float amplifyFactor = 1.0f;
    int32_t filterStartAmplitude = 0;
    int32_t filterStopAmplitude = 0;
    int32_t filterStartFrequency = 0;
    int32_t filterStopFrequency = 0;

    void Reset();
    bool operator==(const ProcessParameters&) const = default;
};

// What an operation did and what the caller has to show.
//  ok       false when the operation was refused (the set is then as it was,
//           apart from the parameter reset of OpenWave/CloseWave/CloseAllWaves
//           and the format an empty set takes from a file OpenWave refuses
//           after its rate or depth check).
//  message  an error to show in a message box; empty for a silent refusal.
//           It can accompany ok == true when a follow-up step failed after
//           the operation itself went through (a backup that could not be
//           resized).
//  warning  a notice shown before the operation went on.
//  redraw   the views must be redrawn.
struct Outcome {
    bool ok = true;
    std::string message;
    std::string warning;
    bool redraw = false;
};

/** A refused operation with the message to show (none: a silent refusal). */
inline Outcome Refusal(std::string message = {}) {
    Outcome outcome;
    outcome.ok = false;
    outcome.message = std::move(message);
    return outcome;
}

class WaveSet {
  public:
    static constexpr int kMaxWaves = 5;
    static constexpr std::size_t kNoLimit = std::numeric_limits<std::size_t>::max();

    WaveSet();

    // Adds the file at `path` as the last wave.
    Outcome OpenWave(const std::string& path);
    // Writes the last wave to `path` and gives it the file's name. With an
    // empty set there is nothing to write: refused silently.
    Outcome SaveWave(const std::string& path);
    // Drops the last wave.
    Outcome CloseWave();
    // Empties the set.
    Outcome CloseAllWaves();
    // Change the shared format; refused while the set holds a wave of another
    // rate or depth.
    Outcome SetSampleRate(uint32_t rate);
    Outcome SetBitsPerSample(uint16_t bits);
    // Copies slot 0 into the backup copy.
    Outcome TakeBackup();
    // Copies the backup into the last slot, which must be slot 0.
    Outcome RestoreBackup();
    void ResetProcessParameters();
    // viewStart = 0; viewEnd = index of the last sample of the longest wave,
    // starting from slot 0's count even when the set is empty.
    void UpdateViewRange();

    // Resizes `buffer` to `bytes`, honouring the buffer limit. False (buffer
    // unchanged) when the limit is exceeded or the allocation fails.
    bool ResizeBuffer(std::vector<uint8_t>& buffer, uint64_t bytes) const;
    // Bytes that `count` samples take in the shared format.
    uint64_t BytesFor(uint32_t count) const;

    void SetBufferLimit(std::size_t bytes) { bufferLimit_ = bytes; }
    std::size_t BufferLimit() const { return bufferLimit_; }

    // Set while a recording or a playback runs; closing is then refused.
    void SetTransportRunning(bool running) { transportRunning_ = running; }
    bool TransportRunning() const { return transportRunning_; }

    // The model's state. Processing commands, recording and the views work on
    // these directly; keep sampleCounts[i] * bitsPerSample / 8 within
    // samples[i].size() for every slot below waveCount.
    int waveCount = 0;
    std::array<uint32_t, kMaxWaves> sampleCounts{};
    std::array<std::vector<uint8_t>, kMaxWaves> samples;
    std::array<std::string, kMaxWaves> names;
    std::array<std::string, kMaxWaves> paths;
    std::string firstPath;
    WaveFormat format;
    std::vector<uint8_t> backupSamples;
    uint32_t backupCount = 0;
    std::string backupName;
    double viewStart = 0.0;
    double viewEnd = -1.0;
    ProcessParameters processParameters;

  private:
    std::size_t bufferLimit_ = kNoLimit;
    bool transportRunning_ = false;
};

}  // namespace kestrune
