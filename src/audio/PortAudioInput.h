// The station's default sound input through PortAudio's callback interface.
//
// The stream captures mono 16-bit; for an 8-bit recording the callback
// narrows each sample to unsigned 8 bits ((v >> 8) + 128, the inverse of
// the output's widening). The callback takes no lock and never allocates: it
// writes the converted bytes into a ByteRing that the owner drains, and
// then calls the data callback.
#pragma once

#include <atomic>
#include <cstdint>

#include "audio/ByteRing.h"
#include "audio/SoundInput.h"

namespace kestrune::audio {

class PortAudioInput final : public SoundInput {
  public:
    /** Initialises PortAudio (which reads the ALSA configuration then). */
    PortAudioInput();
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

    /** Room for about six seconds of 44100 Hz 16-bit sound. */
    static constexpr std::size_t kRingBytes = 1 << 19;

  private:
    void Take(const int16_t* in, unsigned long frames);

    bool initialised_ = false;
    void* stream_ = nullptr;  // PaStream
    DataCallback callback_;
    uint16_t bits_ = 16;
    ByteRing ring_{kRingBytes};
    std::atomic<uint64_t> position_{0};
};

}  // namespace kestrune::audio
