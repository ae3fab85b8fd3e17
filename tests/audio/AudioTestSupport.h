// What the sound device tests share: a home folder whose ~/.asoundrc picks the
// ALSA devices, a count that device threads raise and a test waits on, and a
// plain device list of two host APIs.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <string>

#include "audio/DeviceChoice.h"
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

/** ALSA (the default host API) with an input, a duplex and an output device;
 *  JACK with its default output. */
inline DeviceList TwoHostApis() {
    DeviceList list;
    list.hostApis = {{.index = 0, .name = "ALSA", .devices = 3, .isDefault = true},
                     {.index = 1, .name = "JACK Audio Connection Kit", .devices = 1}};
    list.devices = {
        {.index = 0, .name = "mic", .hostApi = 0, .inputChannels = 2, .defaultRate = 48000},
        {.index = 1,
         .name = "default",
         .hostApi = 0,
         .inputChannels = 32,
         .outputChannels = 32,
         .defaultRate = 44100,
         .defaultInput = true,
         .defaultOutput = true},
        {.index = 2,
         .name = "USB Headset",
         .hostApi = 0,
         .outputChannels = 2,
         .defaultRate = 48000},
        {.index = 3,
         .name = "system",
         .hostApi = 1,
         .outputChannels = 2,
         .defaultRate = 96000,
         .defaultOutput = true},
    };
    list.defaultOutput = 1;
    list.defaultInput = 1;
    return list;
}

}  // namespace kestrune::audio::testing
