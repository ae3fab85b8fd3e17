// Recording into the wave set: the capture-buffer scheme and the rules for
// how a recording ends, with no device and no window.
//
// The device hands over captured bytes in whatever pieces it likes. They
// fill one of two capture buffers of kCaptureBytes; each time a buffer is
// full it is appended to the recording's slot whole and the other buffer
// takes over, so the slot grows by one buffer's worth at a time. At the end
// the partly filled buffer is appended once (whole frames only) and nothing
// is ever stored twice.
//
// The order of calls is Prepare, then (once the input device opened) Begin,
// or DeviceFailed when it did not; then Capture any number of times, then
// Finish when the device has stopped and handed over its last bytes. Finish
// always leaves the set idle: a recording that captured nothing - stopped
// before the first byte arrived, or cut short by a memory error on its first
// buffer - drops its slot, so waveCount is back where it was.
//
// Not thread-safe: every call comes from the thread that owns the wave set.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/wave/WaveSet.h"
#include "core/workspace/ControlStates.h"

namespace kestrune {

// The texts recording hands to the user, exactly as shown.
namespace RecordingMessages {
inline constexpr char kMemoryError[] = "Memory error!";
inline constexpr char kAudioCannotOpen[] = "Audio can not be opened!";
}  // namespace RecordingMessages

/** The name a recorded wave gets in its slot. */
inline constexpr char kRecordedWaveName[] = "recorded wave";

/** What one step of a recording did and what the window has to do. */
struct RecordingStep {
    Outcome outcome;                         // ok, the message to show, whether the views redraw
    bool beep = false;                       // the warning sound goes with the message
    std::optional<WorkspaceEvent> controls;  // the control state to enter, if any
    bool closeDevice = false;                // the input device must stop (the slot cannot grow)
};

class Recording {
  public:
    /** Bytes in each of the two capture buffers. */
    static constexpr std::size_t kCaptureBytes = 48000;

    /** `set` must outlive the recording. */
    explicit Recording(WaveSet& set) : set_(set) {}

    /** Record start, before the device is opened: refuses with five waves
     *  ("Beyond the limitation of opened wave files!") and allocates the two
     *  capture buffers ("Memory error!" with a beep when that fails). The set
     *  is not changed. */
    RecordingStep Prepare();
    /** The input device could not be opened: releases the buffers; "Audio
     *  can not be opened!" with a beep. The set is not changed. */
    RecordingStep DeviceFailed();
    /** The input device is open and capturing: a new, empty last slot takes
     *  the recording, the processing parameters are reset and the controls
     *  go to the recording state. */
    RecordingStep Begin();
    /** Captured bytes, in the set's format, in pieces of any size. Every
     *  capture buffer that fills is appended to the slot. When the slot
     *  cannot grow: "Memory error!" with a beep, closeDevice is set and
     *  later bytes are ignored; the samples stored so far stay. */
    RecordingStep Capture(const uint8_t* bytes, std::size_t size);
    /** The device has stopped: appends the partly filled buffer, releases
     *  the buffers and ends the recording (see the file comment). */
    RecordingStep Finish();

    /** Between Begin and Finish. */
    bool Active() const { return active_; }
    /** Bytes waiting in the capture buffer being filled. */
    std::size_t PendingBytes() const { return fill_; }
    /** Capture buffers appended whole so far. */
    uint64_t BuffersStored() const { return buffersStored_; }

    /** A ceiling on each capture buffer's allocation, to exercise the
     *  "Memory error!" of Prepare; the slot's growth follows the wave
     *  set's own buffer limit. */
    void SetCaptureLimit(std::size_t bytes) { captureLimit_ = bytes; }

  private:
    // Appends `bytes` bytes of capture buffer `index` to the slot; false
    // when the slot cannot grow.
    bool Append(int index, std::size_t bytes);
    void ReleaseBuffers();

    WaveSet& set_;
    std::array<std::vector<uint8_t>, 2> buffers_;
    bool prepared_ = false;
    bool active_ = false;
    bool failed_ = false;   // the slot could not grow; capture has ended
    int current_ = 0;       // the capture buffer being filled
    std::size_t fill_ = 0;  // bytes in it
    uint64_t buffersStored_ = 0;
    std::size_t captureLimit_ = WaveSet::kNoLimit;
};

/** The recording time display for `positionBytes` captured in `format`:
 *  seconds, "%3.1f". */
std::string RecordingTimeText(uint64_t positionBytes, const WaveFormat& format);

}  // namespace kestrune
