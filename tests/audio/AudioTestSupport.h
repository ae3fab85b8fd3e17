// What the sound device tests share: a home folder whose ~/.asoundrc picks the
// ALSA devices, and a count that device threads raise and a test waits on.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>

#include "support/ScratchDir.h"

namespace kestrune::audio::testing {

/** ALSA's "null" device (takes every frame, plays nothing) as the default. */
inline constexpr const char* kNullDevice =
    "pcm.!default { type null }\nctl.!default { type hw card 31 }\n";
/** Every device on a card that is not there. */
inline constexpr const char* kNoCard =
    "pcm.!default { type hw card 31 }\nctl.!default { type hw card 31 }\n";

/** Points HOME at `home` with this ~/.asoundrc; PortAudio reads it when it
 *  initialises, so call it before the first stream of the process. */
inline void UseAsoundrc(const kestrune::testing::ScratchDir& home, const std::string& text) {
    std::ofstream(home.Path() / ".asoundrc") << text;
    ::setenv("HOME", home.Path().c_str(), 1);
    ::unsetenv("ALSA_CONFIG_PATH");
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

}  // namespace kestrune::audio::testing
