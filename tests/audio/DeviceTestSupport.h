#pragma once

// Helpers of the sound-device tests (one executable).

#include <chrono>
#include <filesystem>
#include <thread>

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

/** Waits up to ten seconds for the worker to stop; whether it did. */
inline bool WaitUntilStopped(const PlaybackWorker& worker) {
    for (int i = 0; i < 5000 && worker.Running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return !worker.Running();
}

}  // namespace kestrune::audio::device_testing
