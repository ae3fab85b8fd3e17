// The sound input device behind one small interface: the station's chosen
// input through PortAudio (PortAudioInput) and a virtual one that a test
// feeds with chosen bytes (VirtualInput), chosen by the program's --audio
// option through MakeSoundInput().
//
// A device captures mono PCM in the format given to Open(): 8-bit unsigned
// or 16-bit signed little-endian samples. Captured bytes wait in a
// lock-free queue until the owner reads them; the data callback tells the
// owner that some arrived.
//
// Threads: Open, Read and Close are called by the thread that owns the
// device. The data callback runs on the device's own thread (PortAudio's
// audio thread; for the virtual device the thread that feeds it): it must
// be short and must not call back into the device - post an event to the
// owner instead. PositionBytes() may be read from any thread.
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

class SoundInput {
  public:
    using DataCallback = std::function<void()>;

    virtual ~SoundInput() = default;

    /** Opens the device for `format` (1 channel, 8 or 16 bits) and starts
     *  capturing. False when there is no device or it refuses the format;
     *  the device then stays closed. Bytes left from before are dropped. */
    virtual bool Open(const WaveFormat& format) = 0;
    virtual bool IsOpen() const = 0;

    /** Moves up to `size` captured bytes into `out`, oldest first; returns
     *  how many. Bytes captured before Close() stay readable after it. */
    virtual std::size_t Read(uint8_t* out, std::size_t size) = 0;

    /** Bytes captured since Open(), read or not. */
    virtual uint64_t PositionBytes() const = 0;

    /** Bytes lost since Open() because the owner did not read in time. */
    virtual uint64_t DroppedBytes() const = 0;

    /** Called after captured bytes have been queued. Set it while closed. */
    virtual void SetDataCallback(DataCallback callback) = 0;

    /** Stops capturing; when it returns no more bytes arrive. */
    virtual void Close() = 0;
};

struct DeviceChoice;

/** "portaudio": the input device `choice` names, else the default one;
 *  "virtual": a VirtualInput. Anything else: nullptr. `message`, when
 *  given, gets the PortAudio input's DeviceMessage() (empty for the
 *  virtual device). */
std::unique_ptr<SoundInput> MakeSoundInput(std::string_view kind);
std::unique_ptr<SoundInput> MakeSoundInput(std::string_view kind, const DeviceChoice& choice,
                                           std::string* message);

}  // namespace kestrune::audio
