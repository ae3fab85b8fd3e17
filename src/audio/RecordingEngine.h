// Recording from a sound input into a new last slot of the wave set.
//
// The engine joins a SoundInput to the Recording of core: StartRecording
// opens the device in the wave set's format, OnInputData moves the bytes
// the device has captured into the capture buffers, StopRecording stops the
// device, takes its last bytes and ends the recording. Every call returns
// what the window has to show and which control state to enter; the engine
// itself shows nothing.
//
// Threads: every method runs on the thread that owns the wave set (the GUI
// thread). The device's data callback runs on the audio thread and only
// calls the notifier given to SetDataNotifier, which must post an event
// (a queued call of OnInputData) to the owning thread and return.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "audio/SoundInput.h"
#include "core/wave/Recording.h"
#include "core/wave/WaveSet.h"

namespace kestrune::audio {

class RecordingEngine {
  public:
    /** `set` and `input` must outlive the engine. */
    RecordingEngine(WaveSet& set, SoundInput& input);
    ~RecordingEngine();
    RecordingEngine(const RecordingEngine&) = delete;
    RecordingEngine& operator=(const RecordingEngine&) = delete;

    /** Called on the audio thread each time bytes were captured. Set it
     *  while no recording runs. */
    void SetDataNotifier(std::function<void()> notifier) { notifier_ = std::move(notifier); }

    /** Record start: refuses with five waves, with "Memory error!" or with
     *  "Audio can not be opened!" (the set unchanged); otherwise the device
     *  captures into a new last slot. */
    RecordingStep StartRecording();
    /** Moves what the device captured into the recording. A slot that
     *  cannot grow stops the device and ends the recording here. Does
     *  nothing when no recording runs (a late notification). */
    RecordingStep OnInputData();
    /** Record stop: the device stops, its last bytes are stored and the
     *  recording ends - with a new wave, or with its slot dropped when no
     *  byte had arrived. Always idle afterwards. */
    RecordingStep StopRecording();

    bool IsRecording() const { return recording_.Active(); }
    /** The recording time display, "%3.1f" seconds captured; empty when no
     *  recording runs. The window asks every 100 ms. */
    std::string TimeText() const;

    Recording& Core() { return recording_; }

  private:
    // Reads everything the device has queued into the recording.
    RecordingStep Drain();
    RecordingStep End(RecordingStep before);

    WaveSet& set_;
    SoundInput& input_;
    Recording recording_;
    std::function<void()> notifier_;
    WaveFormat format_;
    std::array<uint8_t, 8192> scratch_{};
};

}  // namespace kestrune::audio
