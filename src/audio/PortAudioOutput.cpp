#include "audio/PortAudioOutput.h"

#include <portaudio.h>

#include <algorithm>
#include <cstring>

#include "audio/PortAudioStream.h"

namespace kestrune::audio {

namespace {

PaStream* AsStream(void* stream) {
    return static_cast<PaStream*>(stream);
}

constexpr int kPositionBits = 48;
constexpr uint64_t kPositionMask = (uint64_t{1} << kPositionBits) - 1;

uint64_t GenerationTag(uint64_t generation) {
    return (generation & 0xffffu) << kPositionBits;
}

}  // namespace

PortAudioOutput::PortAudioOutput(const DeviceChoice& choice) {
    initialised_ = Pa_Initialize() == paNoError;
    if (!initialised_) {
        deviceMessage_ = "No sound device found: the sound system did not start";
        return;
    }
    // PortAudio counts its initialisations, so the list's own start and end
    // leave this one - and the device numbers it found - in place.
    const DeviceLookup lookup = FindOutputDevice(ListSoundDevices(), choice);
    device_ = lookup.device;
    deviceMessage_ = lookup.message;
}

PortAudioOutput::~PortAudioOutput() {
    Close();
    if (initialised_) Pa_Terminate();
}

bool PortAudioOutput::Open(const WaveFormat& format, uint32_t playbackRate) {
    if (!initialised_ || (format.channels != 1 && format.channels != 2) ||
        (format.bitsPerSample != 8 && format.bitsPerSample != 16) || playbackRate == 0) {
        Close();
        return false;
    }
    if (format.channels == channels_ && ReuseStream(format.bitsPerSample, playbackRate))
        return true;
    Close();
    bits_ = format.bitsPerSample;
    channels_ = format.channels;
    rate_ = playbackRate;
    ResetQueue();
    paused_.store(false);

    // A captureless lambda is a plain C callback that may still reach Fill().
    PaStreamCallback* callback = [](const void*, void* output, unsigned long frames,
                                    const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags,
                                    void* self) -> int {
        static_cast<PortAudioOutput*>(self)->Fill(static_cast<int16_t*>(output), frames);
        return paContinue;
    };
    stream_ = StartMonoStream(device_, StreamDirection::Output, static_cast<double>(playbackRate),
                              callback, this, paFramesPerBufferUnspecified, channels_);
    if (stream_ == nullptr) return false;
    ++streamOpens_;
    return true;
}

bool PortAudioOutput::ReuseStream(uint16_t bits, uint32_t playbackRate) {
    if (stream_ == nullptr || bits != bits_ || playbackRate != rate_ ||
        Pa_IsStreamActive(AsStream(stream_)) != 1) {
        return false;
    }
    paused_.store(false);
    // Everything written so far goes; the generation is published after the
    // boundary, so a callback that sees it also sees where to drop to.
    dropBefore_.store(written_.load(std::memory_order_relaxed), std::memory_order_release);
    requested_.fetch_add(1, std::memory_order_release);
    return true;
}

bool PortAudioOutput::Write(const uint8_t* bytes, std::size_t size) {
    if (stream_ == nullptr) return false;
    const std::size_t frameBytes = bits_ / 8u * channels_;
    const std::size_t whole = size / frameBytes * frameBytes;
    if (whole == 0) return true;
    const uint64_t written = written_.load(std::memory_order_relaxed);
    if (written - finished_.load(std::memory_order_acquire) >= kSlots) return false;
    // The slot is free: the callback has finished with it (or never had it).
    slots_[written % kSlots].assign(bytes, bytes + whole);
    written_.store(written + 1, std::memory_order_release);
    return true;
}

void PortAudioOutput::Fill(int16_t* out, unsigned long frames) {
    // Counted in samples from here on: a stereo frame is two of them.
    frames *= channels_;
    // `written` first: a buffer written after a reuse is only seen together
    // with that reuse's request, so no new buffer plays before the old ones
    // are dropped.
    const uint64_t written = written_.load(std::memory_order_acquire);
    uint64_t finished = finished_.load(std::memory_order_relaxed);
    const uint64_t requested = requested_.load(std::memory_order_acquire);
    if (requested != seen_) {
        seen_ = requested;
        const uint64_t drop = dropBefore_.load(std::memory_order_acquire);
        if (finished < drop) {
            finished = drop;
            finished_.store(finished, std::memory_order_release);
        }
        offset_ = 0;
        played_.store(GenerationTag(requested), std::memory_order_release);
    }
    unsigned long filled = 0;
    bool ranDry = false;
    if (!paused_.load(std::memory_order_relaxed)) {
        while (filled < frames && finished < written) {
            const std::vector<uint8_t>& slot = slots_[finished % kSlots];
            const std::size_t sampleBytes = bits_ / 8u;
            const std::size_t available = (slot.size() - offset_) / sampleBytes;
            const std::size_t take = std::min<std::size_t>(available, frames - filled);
            const uint8_t* from = slot.data() + offset_;
            if (bits_ == 8) {
                for (std::size_t i = 0; i < take; ++i) {
                    out[filled + i] = static_cast<int16_t>((from[i] - 128) * 256);
                }
            } else {
                std::memcpy(out + filled, from, take * 2);  // little-endian host
            }
            filled += static_cast<unsigned long>(take);
            offset_ += take * sampleBytes;
            played_.fetch_add(take * sampleBytes, std::memory_order_release);
            if (offset_ == slot.size()) {
                offset_ = 0;
                ++finished;
                finished_.store(finished, std::memory_order_release);
                ranDry = finished == written;
            }
        }
    }
    std::fill(out + filled, out + frames, int16_t{0});
    if (ranDry && doneCallback_) doneCallback_();
}

uint64_t PortAudioOutput::PositionBytes() const {
    const uint64_t requested = requested_.load(std::memory_order_acquire);
    const uint64_t played = played_.load(std::memory_order_acquire);
    // Not yet taken up by the callback: the old stimulus' bytes do not count.
    if ((played & ~kPositionMask) != GenerationTag(requested)) return 0;
    return played & kPositionMask;
}

bool PortAudioOutput::Done() const {
    const uint64_t written = written_.load(std::memory_order_acquire);
    const uint64_t finished = std::max(finished_.load(std::memory_order_acquire),
                                       dropBefore_.load(std::memory_order_acquire));
    return finished >= written;
}

void PortAudioOutput::Pause() {
    paused_.store(true);
}

void PortAudioOutput::Resume() {
    paused_.store(false);
}

void PortAudioOutput::Stop() {
    if (stream_ == nullptr) return;
    // Aborting drops what the device still holds; the callback is idle after.
    Pa_AbortStream(AsStream(stream_));
    ResetQueue();
    Pa_StartStream(AsStream(stream_));
}

void PortAudioOutput::Close() {
    if (stream_ == nullptr) return;
    Pa_AbortStream(AsStream(stream_));
    Pa_CloseStream(AsStream(stream_));
    stream_ = nullptr;
    ResetQueue();
}

void PortAudioOutput::ResetQueue() {
    const uint64_t written = written_.load();
    finished_.store(written);
    offset_ = 0;
    seen_ = requested_.load();
    played_.store(GenerationTag(seen_));
    for (auto& slot : slots_) {
        slot.clear();
        slot.shrink_to_fit();
    }
}

}  // namespace kestrune::audio
