#include "audio/PortAudioStream.h"

namespace kestrune::audio {

PaStream* StartMonoStream(PaDeviceIndex device, StreamDirection direction, double rate,
                          PaStreamCallback* callback, void* self, unsigned long framesPerBuffer,
                          int channels) {
    if (device < 0) return nullptr;
    const PaDeviceInfo* info = Pa_GetDeviceInfo(device);
    if (info == nullptr) return nullptr;
    const bool input = direction == StreamDirection::Input;
    PaStreamParameters parameters{};
    parameters.device = device;
    parameters.channelCount = channels;
    parameters.sampleFormat = paInt16;
    parameters.suggestedLatency =
        input ? info->defaultLowInputLatency : info->defaultLowOutputLatency;
    PaStream* stream = nullptr;
    if (Pa_OpenStream(&stream, input ? &parameters : nullptr, input ? nullptr : &parameters, rate,
                      framesPerBuffer, paClipOff, callback, self) != paNoError) {
        return nullptr;
    }
    if (Pa_StartStream(stream) != paNoError) {
        Pa_CloseStream(stream);
        return nullptr;
    }
    return stream;
}

}  // namespace kestrune::audio
