// Playing the last wave of the wave set on a sound output, with pause and
// resume: the workspace's Play and Stop.
//
// The wave plays at its rate times the set's playback speed, as one buffer.
// A device that refuses that rate gets the samples converted to a rate it
// takes (the wave's own, else 44100 or 48000 Hz), so the sped-up pitch is
// heard all the same. Every call returns what the window has to show and
// which control state to enter; the engine itself shows nothing.
//
// Threads: every method runs on the thread that owns the wave set (the GUI
// thread). The device's done callback runs on the audio thread and only
// calls the notifier given to SetDoneNotifier, which must post a queued call
// of OnOutputDone to the owning thread and return.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "audio/SoundOutput.h"
#include "core/wave/WaveSet.h"
#include "core/workspace/ControlStates.h"

namespace kestrune {

// The text playback hands to the user, exactly as shown.
namespace PlaybackMessages {
inline constexpr char kOutputError[] = "Audio output error";
}  // namespace PlaybackMessages

}  // namespace kestrune

namespace kestrune::audio {

/** What one step of a playback did and what the window has to do. */
struct PlaybackStep {
    std::string message;                     // to show in a box; empty: none
    bool beep = false;                       // the warning sound goes with the message
    std::optional<WorkspaceEvent> controls;  // the control state to enter, if any
    bool ended = false;  // the playback is over: its time display and progress line go
};

class PlaybackEngine {
  public:
    /** `set` must outlive the engine, and so must `output`; a null output
     *  never opens ("Audio output error"). */
    PlaybackEngine(WaveSet& set, SoundOutput* output);
    ~PlaybackEngine();
    PlaybackEngine(const PlaybackEngine&) = delete;
    PlaybackEngine& operator=(const PlaybackEngine&) = delete;

    /** Called on the audio thread when the device has played everything.
     *  Set it while no playback runs. */
    void SetDoneNotifier(std::function<void()> notifier) { notifier_ = std::move(notifier); }

    /** Play: starts the last wave (the device opened: the playing state),
     *  pauses a running playback, resumes a paused one. */
    PlaybackStep PlayOrPause();
    /** Stop: the device falls silent and the playback ends. Nothing when
     *  none runs. */
    PlaybackStep StopPlayback();
    /** The device reported the end of the samples: the playback ends, unless
     *  the notice is late (stopped, or a new playback already queued). */
    PlaybackStep OnOutputDone();
    /** The window goes: stops a running playback without a word. */
    void Shutdown();

    bool IsPlaying() const { return playing_; }
    bool IsPaused() const { return paused_; }
    /** Where the playback is, in the wave's own seconds (a sped-up playback
     *  counts its samples at the wave's rate); 0 when none runs. */
    double PositionSeconds() const;
    /** The playback time display, "%3.1f" of PositionSeconds(); empty when
     *  no playback runs. */
    std::string TimeText() const;
    /** The rate the wave is heard at: its rate times the playback speed. */
    uint32_t HeardRate() const { return heardRate_; }
    /** The rate the device was opened at (differs when it refused the heard
     *  rate and the samples were converted). */
    uint32_t DeviceRate() const { return deviceRate_; }

  private:
    PlaybackStep Start();
    PlaybackStep Failed();
    PlaybackStep End();

    WaveSet& set_;
    SoundOutput* output_;
    std::function<void()> notifier_;
    bool playing_ = false;
    bool paused_ = false;
    WaveFormat format_;
    uint32_t heardRate_ = 0;
    uint32_t deviceRate_ = 0;
};

/** The rate a wave of `sampleRate` is played at for `speed`: the product,
 *  truncated; 0 (not playable) when it is not positive. */
uint32_t SpedUpRate(uint32_t sampleRate, float speed);

}  // namespace kestrune::audio
