// A sound input with no sound card: the test plays the part of the device
// and feeds captured bytes in pieces of the sizes it chooses, from its own
// thread or from another one that stands in for the audio thread.
//
// Feed() is the device side (one thread at a time) and the other methods
// are the owner's side, as for a real device; the bytes cross through the
// same lock-free queue PortAudioInput uses.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>

#include "audio/ByteRing.h"
#include "audio/SoundInput.h"

namespace kestrune::audio {

class VirtualInput final : public SoundInput {
  public:
    /** Queues up to `capacity` bytes that the owner has not read yet. */
    explicit VirtualInput(std::size_t capacity = kDefaultCapacity) : ring_(capacity) {}

    bool Open(const WaveFormat& format) override;
    bool IsOpen() const override { return open_.load(); }
    std::size_t Read(uint8_t* out, std::size_t size) override;
    uint64_t PositionBytes() const override { return position_.load(); }
    uint64_t DroppedBytes() const override { return ring_.Dropped(); }
    void SetDataCallback(DataCallback callback) override;
    void Close() override;

    /** The device captured `bytes`: they are queued for the owner and the
     *  data callback runs. Ignored (returns false) while closed. */
    bool Feed(const uint8_t* bytes, std::size_t size);

    /** Makes the next Open() calls fail, as when there is no input device. */
    void SetRefuseOpen(bool refuse) { refuseOpen_ = refuse; }
    /** How many times Open() succeeded. */
    int OpenCount() const { return openCount_; }
    /** The format of the last successful Open(). */
    const WaveFormat& Format() const { return format_; }

    static constexpr std::size_t kDefaultCapacity = 1 << 20;

  private:
    ByteRing ring_;
    // Feed() holds it while it queues, so Close() returns only after the
    // feeding side has let go - as a real device's stop does.
    std::mutex feedMutex_;
    DataCallback callback_;
    std::atomic<bool> open_{false};
    std::atomic<uint64_t> position_{0};
    bool refuseOpen_ = false;
    int openCount_ = 0;
    WaveFormat format_;
};

}  // namespace kestrune::audio
