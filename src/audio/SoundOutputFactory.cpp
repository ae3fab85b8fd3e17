#include "audio/PortAudioInput.h"
#include "audio/PortAudioOutput.h"
#include "audio/SoundInput.h"
#include "audio/SoundOutput.h"
#include "audio/VirtualInput.h"
#include "audio/VirtualOutput.h"

namespace kestrune::audio {

std::unique_ptr<SoundOutput> MakeSoundOutput(std::string_view kind, const Clock& clock) {
    return MakeSoundOutput(kind, clock, DeviceChoice{}, nullptr);
}

std::unique_ptr<SoundOutput> MakeSoundOutput(std::string_view kind, const Clock& clock,
                                             const DeviceChoice& choice, std::string* message) {
    if (message != nullptr) message->clear();
    if (kind == "portaudio") {
        auto output = std::make_unique<PortAudioOutput>(choice);
        if (message != nullptr) *message = output->DeviceMessage();
        return output;
    }
    if (kind == "virtual") return std::make_unique<VirtualOutput>(clock);
    return nullptr;
}

std::unique_ptr<SoundInput> MakeSoundInput(std::string_view kind) {
    return MakeSoundInput(kind, DeviceChoice{}, nullptr);
}

std::unique_ptr<SoundInput> MakeSoundInput(std::string_view kind, const DeviceChoice& choice,
                                           std::string* message) {
    if (message != nullptr) message->clear();
    if (kind == "portaudio") {
        auto input = std::make_unique<PortAudioInput>(choice);
        if (message != nullptr) *message = input->DeviceMessage();
        return input;
    }
    if (kind == "virtual") return std::make_unique<VirtualInput>();
    return nullptr;
}

}  // namespace kestrune::audio
