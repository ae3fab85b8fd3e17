// The 1 kHz test tones the station's dialogs play: a short burst to check
// that a device sounds at all, and a steady tone at a stated level below
// full scale that the experimenter measures with a sound-level meter.
//
// Levels are in dBFS against a full-scale sine: 0 dBFS is a sine whose peak
// is 32767, -20 dBFS one whose peak is a tenth of that.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/SoundOutput.h"

namespace kestrune::audio {

/** The tone's frequency in Hz and its sample rate (16-bit mono). */
inline constexpr double kToneFrequency = 1000.0;
inline constexpr uint32_t kToneRate = 44100;

/** The 16-bit peak of a sine at `dbfs` (0: 32767), rounded. */
int PeakForDbfs(double dbfs);

/**
 * `frames` 16-bit little-endian mono samples of a kToneFrequency sine with
 * the given peak at kToneRate, continuing from frame `firstFrame` of an
 * endless tone (so consecutive pieces join without a step). The level rises
 * linearly from 0 over the first `fadeIn` frames and falls to 0 over the last
 * `fadeOut` frames, so the piece starts and ends without a click.
 */
std::vector<uint8_t> SineBytes(int peak, uint64_t firstFrame, std::size_t frames,
                               std::size_t fadeIn, std::size_t fadeOut);

/**
 * A tone that plays until stopped, on an output the caller owns. Start opens
 * the output and queues the first part (faded in); Feed, called now and then
 * from the owner's thread (every 100 ms is plenty), queues the next parts so
 * that about kAheadMs are always waiting. Stop (and the destructor) closes
 * the output.
 */
class ContinuousTone {
  public:
    /** How much sound is kept queued ahead of what is playing, and how much
     *  one Feed adds at most. */
    static constexpr uint32_t kAheadMs = 500;
    static constexpr uint32_t kFadeMs = 10;

    ContinuousTone() = default;
    ~ContinuousTone();
    ContinuousTone(const ContinuousTone&) = delete;
    ContinuousTone& operator=(const ContinuousTone&) = delete;

    /** Opens `output` and starts the tone at `dbfs`; false when the output
     *  does not open (nothing plays then). A tone already playing is stopped
     *  first. */
    bool Start(SoundOutput& output, double dbfs);
    /** Queues what is needed to stay kAheadMs ahead; nothing when stopped. */
    void Feed();
    void Stop();
    bool Playing() const { return output_ != nullptr; }

  private:
    SoundOutput* output_ = nullptr;
    int peak_ = 0;
    uint64_t writtenFrames_ = 0;
};

}  // namespace kestrune::audio
