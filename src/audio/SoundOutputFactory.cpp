#include "audio/PortAudioOutput.h"
#include "audio/SoundOutput.h"
#include "audio/VirtualOutput.h"

namespace kestrune::audio {

std::unique_ptr<SoundOutput> MakeSoundOutput(std::string_view kind, const Clock& clock) {
    if (kind == "portaudio") return std::make_unique<PortAudioOutput>();
    if (kind == "virtual") return std::make_unique<VirtualOutput>(clock);
    return nullptr;
}

}  // namespace kestrune::audio
