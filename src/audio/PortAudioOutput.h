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
// the queue is only ever cleared there while the callback is not running.
//
// Opening again with the same sample size and playback rate - the next
// stimulus of a test, as a rule - keeps the running stream: Open() marks
// everything queued so far as dropped and the callback discards it at its
// next run, so the new stimulus starts one callback later instead of after
// a stream close, open and start. To the caller this is the same as a
// reopen: the position starts from 0, Done() is true and the old buffers
// are never heard again (apart from the callback's period already under
// way). Any other format or rate closes the stream and opens a new one.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/DeviceChoice.h"
#include "audio/SoundOutput.h"

namespace kestrune::audio {

class PortAudioOutput final : public SoundOutput {
  public:
    /** Initialises PortAudio (which reads the ALSA configuration then) and
     *  looks up the output device `choice` names (see FindOutputDevice). */
    explicit PortAudioOutput(const DeviceChoice& choice = {});
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
    uint64_t PositionBytes() const override;
    bool Done() const override;
    void SetDoneCallback(DoneCallback callback) override { doneCallback_ = std::move(callback); }
    void Close() override;

    /** Why the chosen device is not the one played on, or that there is no
     *  output device at all; empty when the choice was followed. */
    const std::string& DeviceMessage() const { return deviceMessage_; }
    /** The device Open() uses; -1: none. */
    int Device() const { return device_; }

    /** Streams opened so far (a reuse opens none). */
    uint64_t StreamOpens() const { return streamOpens_; }

    /** Buffers that may wait in the queue at once. Buffers dropped by a
     *  reuse hold their slots until the callback's next run. */
    static constexpr std::size_t kSlots = 16;

  private:
    void Fill(int16_t* out, unsigned long frames);
    void ResetQueue();
    // Restarts the open stream's queue from the callback's side (see above).
    bool ReuseStream(uint16_t bits, uint32_t playbackRate);

    bool initialised_ = false;
    int device_ = -1;
    std::string deviceMessage_;
    void* stream_ = nullptr;  // PaStream
    DoneCallback doneCallback_;
    uint16_t bits_ = 0;
    uint16_t channels_ = 1;  ///< interleaved channels of the open stream (1 or 2)
    uint32_t rate_ = 0;      // playback rate of the open stream
    uint64_t streamOpens_ = 0;
    std::array<std::vector<uint8_t>, kSlots> slots_;
    std::atomic<uint64_t> written_{0};   // buffers published by Write()
    std::atomic<uint64_t> finished_{0};  // buffers the callback has played to the end
    std::size_t offset_ = 0;             // callback only: bytes of the current slot played
    // A reuse of the stream: buffers before dropBefore_ are to be discarded
    // once the callback has seen generation requested_.
    std::atomic<uint64_t> dropBefore_{0};
    std::atomic<uint64_t> requested_{0};
    uint64_t seen_ = 0;  // callback only (or while it is idle)
    // Bytes played in the low 48 bits, the generation they belong to (its
    // low 16 bits) above, so a position from before a reuse reads as 0.
    std::atomic<uint64_t> played_{0};
    std::atomic<bool> paused_{false};
};

}  // namespace kestrune::audio
