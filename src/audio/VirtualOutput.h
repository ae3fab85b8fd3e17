// A sound output that plays into memory instead of a sound card, on a clock.
//
// Playback advances only as the clock does: a buffer written at tick t (or,
// when others are still queued, right when they end) plays one frame every
// 1000 / rate milliseconds. Every call first brings the device up to the
// clock's present tick, so reading what was heard after advancing a fake
// clock gives exactly the frames whose whole sample period has passed, with
// the time each one started. Pause, Resume and Stop take effect at the tick
// they are called at.
//
// Thread-safe: the state is behind a mutex, so a test may read Heard() while
// a playback worker writes. The clock itself must be safe to read from those
// threads (a ManualWaitClock or SystemWaitClock is).
#pragma once

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "audio/SoundOutput.h"

namespace kestrune::audio {

/** One stretch of sound that reached the headphones without a break. */
struct HeardSegment {
    uint32_t rate = 0;           // frames per second it played at
    uint16_t bitsPerSample = 0;  // 8 (unsigned) or 16 (signed)
    uint16_t channels = 1;       // interleaved channels per frame (1 or 2)
    double startMs = 0;          // clock tick at which its first frame began
    std::vector<uint8_t> bytes;  // the frames, as written

    std::size_t Frames() const { return bytes.size() / (bitsPerSample / 8u * channels); }
    /** Frame i's value in `channel` (0 left, 1 right): 0 ... 255 for 8 bits,
     *  -32768 ... 32767 for 16 bits. */
    int Sample(std::size_t i, int channel = 0) const;
    /** Clock tick at which frame i began. */
    double TimeMs(std::size_t i) const { return startMs + 1000.0 * static_cast<double>(i) / rate; }
    /** Clock tick at which the last frame ended. */
    double EndMs() const { return TimeMs(Frames()); }
};

class VirtualOutput final : public SoundOutput {
  public:
    explicit VirtualOutput(const Clock& clock) : clock_(clock) {}
    ~VirtualOutput() override;

    bool Open(const WaveFormat& format, uint32_t playbackRate) override;
    bool IsOpen() const override;
    bool Write(const uint8_t* bytes, std::size_t size) override;
    void Pause() override;
    void Resume() override;
    void Stop() override;
    uint64_t PositionBytes() const override;
    bool Done() const override;
    void SetDoneCallback(DoneCallback callback) override;
    void Close() override;

    /** Brings playback up to the clock's tick and runs the done callback if
     *  the queue ran out (every other call does the same). */
    void Pump();

    /** Everything heard so far, in order, over every Open of this device. */
    std::vector<HeardSegment> Heard() const;
    /** How many times Open() succeeded. */
    int OpenCount() const;
    /** The playback rate of the last successful Open(); 0 before any. */
    uint32_t Rate() const;
    /** Makes Open() refuse every playback rate but these, as a sound card
     *  that takes only a few rates does; empty (the default): any rate. */
    void SetAcceptedRates(std::vector<uint32_t> rates);

  private:
    // Plays the frames due by `tick`; returns true when the queue has just
    // run out and the done callback is owed. Needs mutex_.
    bool CatchUp(uint64_t tick) const;
    void PlayFrames(uint64_t count) const;
    void NotifyIfDone(bool done) const;

    const Clock& clock_;
    mutable std::mutex mutex_;
    DoneCallback doneCallback_;
    bool open_ = false;
    int openCount_ = 0;
    uint16_t bits_ = 0;
    uint16_t frameBytes_ = 0;
    uint16_t channels_ = 1;
    uint32_t rate_ = 0;
    std::vector<uint32_t> acceptedRates_;
    bool paused_ = false;

    // Playback runs without a break from frame anchorFrame_ at tick
    // anchorTick_ while `running_`; frame counts start at Open() or Stop().
    mutable bool running_ = false;
    mutable uint64_t anchorTick_ = 0;
    mutable uint64_t anchorFrame_ = 0;
    mutable uint64_t played_ = 0;  // frames played
    mutable uint64_t queued_ = 0;  // frames written
    mutable std::deque<std::vector<uint8_t>> queue_;
    mutable std::size_t frontOffset_ = 0;  // bytes of queue_.front() already played
    mutable bool segmentOpen_ = false;     // the next frames continue heard_.back()
    mutable std::vector<HeardSegment> heard_;
};

}  // namespace kestrune::audio
