#pragma once

// Helpers of the sound-device tests (one executable).

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <vector>

#include "audio/PlaybackWorker.h"
#include "core/wave/WaveFile.h"

namespace kestrune::audio::device_testing {

inline WaveFormat Mono(uint16_t bits, uint32_t rate) {
    return PcmFormat(1, rate, bits);
}

/** The threads of this process. */
inline std::size_t ThreadCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++n;
    }
    return n;
}

/** A count that other threads raise and a test waits on. */
class EventCount {
  public:
    void Raise() {
        std::lock_guard lock(mutex_);
        ++count_;
        changed_.notify_all();
    }
    int Value() const {
        std::lock_guard lock(mutex_);
        return count_;
    }
    /** Waits until the count reaches `value`. The minute is only a guard
     *  against a hang, far beyond anything a loaded machine needs. */
    bool WaitFor(int value) const {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::minutes(1), [&] { return count_ >= value; });
    }

  private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    int count_ = 0;
};

/** What a playback worker reported (its callbacks run on its thread). */
struct Recorder {
    std::vector<uint64_t> starts;  // written before `started` is raised
    EventCount started, errors, finished;

    PlaybackWorker::Events Events() {
        return {[this](uint64_t tick) {
                    starts.push_back(tick);
                    started.Raise();
                },
                [this] { errors.Raise(); }, [this] { finished.Raise(); }};
    }
};

}  // namespace kestrune::audio::device_testing
