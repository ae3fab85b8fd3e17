#include "audio/PortAudioInput.h"

#include <portaudio.h>

#include <algorithm>
#include <array>

#include "audio/PortAudioStream.h"

namespace kestrune::audio {

PortAudioInput::PortAudioInput(const DeviceChoice& choice) {
    initialised_ = Pa_Initialize() == paNoError;
    if (!initialised_) {
        deviceMessage_ = "No sound device found: the sound system did not start";
        return;
    }
    // The list's own start and end leave this initialisation (and the
    // device numbers it found) in place.
    const DeviceLookup lookup = FindInputDevice(ListSoundDevices(), choice);
    device_ = lookup.device;
    deviceMessage_ = lookup.message;
}

PortAudioInput::~PortAudioInput() {
    Close();
    if (initialised_) Pa_Terminate();
}

bool PortAudioInput::Open(const WaveFormat& format) {
    Close();
    if (!initialised_ || format.channels != 1 ||
        (format.bitsPerSample != 8 && format.bitsPerSample != 16) || format.sampleRate == 0) {
        return false;
    }
    bits_ = format.bitsPerSample;
    ring_.Clear();
    position_.store(0);

    // A captureless lambda is a plain C callback that may still reach Take().
    PaStreamCallback* callback = [](const void* input, void*, unsigned long frames,
                                    const PaStreamCallbackTimeInfo*, PaStreamCallbackFlags,
                                    void* self) -> int {
        if (input != nullptr) {
            static_cast<PortAudioInput*>(self)->Take(static_cast<const int16_t*>(input), frames);
        }
        return paContinue;
    };
    stream_ = StartMonoStream(device_, StreamDirection::Input,
                              static_cast<double>(format.sampleRate), callback, this);
    return stream_ != nullptr;
}

void PortAudioInput::Take(const int16_t* in, unsigned long frames) {
    if (bits_ == 16) {
        // Little-endian host: the samples are already the bytes to store.
        const std::size_t bytes = frames * 2;
        ring_.Write(reinterpret_cast<const uint8_t*>(in), bytes);
        position_.fetch_add(bytes, std::memory_order_release);
    } else {
        std::array<uint8_t, 256> narrow;
        unsigned long done = 0;
        while (done < frames) {
            const unsigned long n =
                std::min<unsigned long>(frames - done, static_cast<unsigned long>(narrow.size()));
            for (unsigned long i = 0; i < n; ++i) {
                narrow[i] = static_cast<uint8_t>((in[done + i] >> 8) + 128);
            }
            ring_.Write(narrow.data(), n);
            position_.fetch_add(n, std::memory_order_release);
            done += n;
        }
    }
    if (callback_) callback_();
}

std::size_t PortAudioInput::Read(uint8_t* out, std::size_t size) {
    return ring_.Read(out, size);
}

void PortAudioInput::Close() {
    if (stream_ == nullptr) return;
    // Stopping lets the callback finish its run; after it no byte arrives.
    Pa_StopStream(static_cast<PaStream*>(stream_));
    Pa_CloseStream(static_cast<PaStream*>(stream_));
    stream_ = nullptr;
}

}  // namespace kestrune::audio
