// The one way our PortAudio devices open a stream: mono (or, for output,
// stereo), 16-bit, the device's low latency, started at once. Inside the audio library only.
#pragma once

#include <portaudio.h>

namespace kestrune::audio {

enum class StreamDirection { Input, Output };

/** Opens and starts a 16-bit stream of `channels` interleaved channels on `device`, the callback
 * given `self` and `framesPerBuffer` frames a call (unspecified: the host API's choice, which may
 * vary from call to call); nullptr when there is no such device or it refuses. */
PaStream* StartMonoStream(PaDeviceIndex device, StreamDirection direction, double rate,
                          PaStreamCallback* callback, void* self,
                          unsigned long framesPerBuffer = paFramesPerBufferUnspecified,
                          int channels = 1);

}  // namespace kestrune::audio
