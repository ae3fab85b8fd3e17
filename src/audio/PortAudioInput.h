// The station's sound input through PortAudio's callback interface: the
// device the station's choice names, else the default one.
//
// The stream captures mono 16-bit; for an 8-bit recording the callback
// narrows each sample to unsigned 8 bits ((v >> 8) + 128, the inverse of
// the output's widening). The callback takes no lock and never allocates: it
// writes the converted bytes into a ByteRing that the owner drains, and
// then calls the data callback.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "audio/ByteRing.h"
#include "audio/DeviceChoice.h"
#include "audio/SoundInput.h"

namespace kestrune::audio {

class PortAudioInput final : public SoundInput {
  public:
    /** Initialises PortAudio (which reads the ALSA configuration then) and
     *  looks up the input device `choice` names (see FindInputDevice). */
    explicit PortAudioInput(const DeviceChoice& choice = {});
    /** Closes the stream and releases PortAudio. */
    ~PortAudioInput() override;
    PortAudioInput(const PortAudioInput&) = delete;
    PortAudioInput& operator=(const PortAudioInput&) = delete;

    bool Open(const WaveFormat& format) override;
    bool IsOpen() const override { return stream_ != nullptr; }
    std::size_t Read(uint8_t* out, std::size_t size) override;
    uint64_t PositionBytes() const override { return position_.load(std::memory_order_acquire); }
    uint64_t DroppedBytes() const override { return ring_.Dropped(); }
    void SetDataCallback(DataCallback callback) override { callback_ = std::move(callback); }
    void Close() override;

    /** Why the chosen device is not the one recorded from, or that there is
     *  no input device at all; empty when the choice was followed. */
    const std::string& DeviceMessage() const { return deviceMessage_; }
    /** The device Open() uses; -1: none. */
    int Device() const { return device_; }

    /** Room for about six seconds of 44100 Hz 16-bit sound. */
    static constexpr std::size_t kRingBytes = 1 << 19;

  private:
    void Take(const int16_t* in, unsigned long frames);

    bool initialised_ = false;
    int device_ = -1;
    std::string deviceMessage_;
    void* stream_ = nullptr;  // PaStream
    DataCallback callback_;
    uint16_t bits_ = 16;
    ByteRing ring_{kRingBytes};
    std::atomic<uint64_t> position_{0};
};

}  // namespace kestrune::audio
