// Plays one processed stimulus on its own thread, repeated a number of times
// with a fixed wait after each repetition, and can be cancelled at once when
// the subject answers, rolls back or closes the test.
//
// For each repetition the worker queues the whole buffer on the device and
// then waits on its WaitClock for as long as the caller says (the test's
// stimulus player decides how long). After the last wait it closes the
// device.
//
// Cancel() ends the thread at once: repetitions not yet queued are never
// played, the repetition already queued plays to its end, and the device is
// left open for that - its owner closes (or reopens) it later, which also
// silences anything still sounding. The worker never touches the database or
// any window; it reports through the callbacks in Events, which run on the
// worker thread (so a window must hand them over to its own thread).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "audio/SoundOutput.h"
#include "audio/WaitClock.h"

namespace kestrune::audio {

class PlaybackWorker {
  public:
    struct Events {
        /** The tick at which playing starts, before the device opens. */
        std::function<void(uint64_t tickMs)> started;
        /** The device did not open; the waits go on without sound. */
        std::function<void()> outputError;
        /** Every repetition and wait is over and the device is closed (not
         *  called when cancelled). */
        std::function<void()> finished;
    };

    /** `output` and `clock` must outlive the worker. */
    PlaybackWorker(SoundOutput& output, WaitClock& clock) : output_(output), clock_(clock) {}
    /** Cancels and joins a running thread. */
    ~PlaybackWorker();
    PlaybackWorker(const PlaybackWorker&) = delete;
    PlaybackWorker& operator=(const PlaybackWorker&) = delete;

    /**
     * Starts the thread playing `samples` (mono, `format.bitsPerSample`)
     * `repeatCount` times at `format.sampleRate` frames per second - the
     * playback rate, after any speed change - waiting `waitMs` after each
     * write. A worker that is still running is cancelled first.
     */
    void Start(const WaveFormat& format, std::vector<uint8_t> samples, int repeatCount,
               uint64_t waitMs, Events events = {});

    /** Ends the thread now and waits for it. Not from the worker's callbacks. */
    void Cancel();

    /** True from Start() until the thread has finished or been cancelled. */
    bool Running() const { return running_.load(); }

    /** After Cancel(): how long what this worker sent still plays, in whole
     *  milliseconds rounded up (0 when all of it has been heard). The owner
     *  waits that long before it opens the device again, so the repetition
     *  already sent is not cut off. */
    uint64_t SoundingMs() const;

  private:
    void Run(std::stop_token stop, WaveFormat format, std::vector<uint8_t> samples, int repeatCount,
             uint64_t waitMs, Events events);

    SoundOutput& output_;
    WaitClock& clock_;
    std::atomic<bool> running_{false};
    std::atomic<uint64_t> sentBytes_{0};
    uint32_t rate_ = 0;
    uint32_t frameBytes_ = 0;
    std::jthread thread_;
};

}  // namespace kestrune::audio
