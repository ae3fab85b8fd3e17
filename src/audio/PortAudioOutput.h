// The station's default sound output through PortAudio's callback interface.
//
// The stream always runs as mono 16-bit: 8-bit unsigned samples are widened
// in the callback ((v - 128) x 256, exact), so no device needs to take 8-bit
// data. The stream starts at Open() and keeps running, playing silence while
// nothing is queued, so a written buffer reaches the device at the next
// callback without a stream start in between.
//
// Buffers pass from the writing thread to the audio callback through a ring
// of slots with two counters (written, finished); the callback takes no
// lock and never allocates. Stop() and Close() abort the stream first, so
// the queue is only ever cleared while the callback is not running.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "audio/SoundOutput.h"

namespace kestrune::audio {

class PortAudioOutput final : public SoundOutput {
  public:
    /** Initialises PortAudio (which reads the ALSA configuration then). */
    PortAudioOutput();
    /** Closes the stream and releases PortAudio. */
    ~PortAudioOutput() override;
    PortAudioOutput(const PortAudioOutput&) = delete;
    PortAudioOutput& operator=(const PortAudioOutput&) = delete;

    bool Open(const WaveFormat& format, uint32_t playbackRate) override;
    bool IsOpen() const override { return stream_ != nullptr; }
    /** False also when kSlots buffers are already waiting. */
    bool Write(const uint8_t* bytes, std::size_t size) override;
    void Pause() override;
    void Resume() override;
    void Stop() override;
    uint64_t PositionBytes() const override { return playedBytes_.load(std::memory_order_acquire); }
    bool Done() const override;
    void SetDoneCallback(DoneCallback callback) override { doneCallback_ = std::move(callback); }
    void Close() override;

    /** Buffers that may wait in the queue at once. */
    static constexpr std::size_t kSlots = 16;

  private:
    void Fill(int16_t* out, unsigned long frames);
    void ResetQueue();

    bool initialised_ = false;
    void* stream_ = nullptr;  // PaStream
    DoneCallback doneCallback_;
    uint16_t bits_ = 0;
    std::array<std::vector<uint8_t>, kSlots> slots_;
    std::atomic<uint64_t> written_{0};   // buffers published by Write()
    std::atomic<uint64_t> finished_{0};  // buffers the callback has played to the end
    std::size_t offset_ = 0;             // callback only: bytes of the current slot played
    std::atomic<uint64_t> playedBytes_{0};
    std::atomic<bool> paused_{false};
};

}  // namespace kestrune::audio
