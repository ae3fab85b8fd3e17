// The sound output device behind one small interface: the real one on the
// station's default output (PortAudioOutput) and a virtual one that renders
// into memory on a clock (VirtualOutput), chosen by the program's --audio
// option through MakeSoundOutput().
//
// A device plays mono (or two-channel interleaved) PCM, 8-bit unsigned or
// 16-bit signed little-endian samples, at the rate given to Open() (which may differ from the rate
// in the format: a sped-up stimulus plays its samples at a higher rate). Buffers written while
// others are queued play right after them, without a gap.
//
// Threads: the methods are called from one thread at a time - the thread
// that owns the device, or the playback worker while it runs (the worker
// calls Open, Write and Close; the owner touches the device only before the
// worker starts or after it has been cancelled). PositionBytes() and Done()
// may also be read from any other thread while that happens. The done
// callback runs on the device's own thread (PortAudio's audio thread; for the
// virtual device whichever thread's call noticed the end): it must be short
// and must not call back into the device.
//
// Recording (the input side) is SoundInput, beside it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/wave/WaveFile.h"

namespace kestrune {
class Clock;
}

namespace kestrune::audio {

class SoundOutput {
  public:
    using DoneCallback = std::function<void()>;

    virtual ~SoundOutput() = default;

    /** Opens the device for `format`'s samples (1 or 2 channels, 8 or 16 bits)
     *  played at `playbackRate` frames per second. False when there is no
     *  device or it refuses the format; the device then stays closed.
     *  Opening an open device first closes it. */
    virtual bool Open(const WaveFormat& format, uint32_t playbackRate) = 0;
    virtual bool IsOpen() const = 0;

    /** Queues a copy of one buffer (a trailing part frame is ignored).
     *  False while closed. */
    virtual bool Write(const uint8_t* bytes, std::size_t size) = 0;

    /** Holds playback where it is; Resume() goes on from there. */
    virtual void Pause() = 0;
    virtual void Resume() = 0;

    /** Drops every queued buffer and falls silent at once; the device
     *  stays open and the position starts again from 0. */
    virtual void Stop() = 0;

    /** Bytes of sample data played since Open() or the last Stop(). */
    virtual uint64_t PositionBytes() const = 0;

    /** True when everything written has been played (or nothing is queued). */
    virtual bool Done() const = 0;

    /** Called each time the last queued buffer has finished playing. Set it
     *  while the device is closed. */
    virtual void SetDoneCallback(DoneCallback callback) = 0;

    /** Stops and releases the device; queued buffers are dropped. */
    virtual void Close() = 0;
};

struct DeviceChoice;

/** "portaudio": the output device `choice` names, else the default one;
 *  "virtual": a VirtualOutput on `clock` (which must outlive it). Anything
 *  else: nullptr. `message`, when given, gets the PortAudio output's
 *  DeviceMessage() (empty for the virtual device). */
std::unique_ptr<SoundOutput> MakeSoundOutput(std::string_view kind, const Clock& clock);
std::unique_ptr<SoundOutput> MakeSoundOutput(std::string_view kind, const Clock& clock,
                                             const DeviceChoice& choice, std::string* message);

}  // namespace kestrune::audio
