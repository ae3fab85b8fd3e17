// The station's output checked for timing: a click train played through the
// chosen output device, with the output latency PortAudio reports for the
// stream and the onset jitter of the clicks measured at the callback (see
// ClickTrain). This is what `kestrune-cli audio check` runs.
#pragma once

#include <iosfwd>
#include <string>

#include "audio/ClickTrain.h"
#include "audio/DeviceChoice.h"

namespace kestrune::audio {

/** What a station's output should manage for listening tests. */
inline constexpr double kLatencyTargetMs = 10;
inline constexpr double kJitterTargetMs = 1;

struct ClickCheckRequest {
    DeviceChoice choice;                ///< the station's devices
    int plays = 200;                    ///< clicks in the train
    unsigned long framesPerBuffer = 0;  ///< frames a callback; 0: the host API's choice
};

struct ClickCheckResult {
    /** Why nothing was measured (no device, the stream did not open, the
     *  device stopped taking sound), one line; empty after a measurement. */
    std::string error;
    /** Why the chosen device is not the one measured; empty when it is. */
    std::string deviceMessage;
    std::string device;   ///< the device's name
    std::string hostApi;  ///< its host API's name
    double rate = 0;      ///< frames per second of the stream
    /** The frames a callback was asked for (the largest, should the host
     *  API vary them). */
    unsigned long framesPerBuffer = 0;
    double latencyMs = 0;  ///< the stream's output latency as PortAudio reports it
    OnsetSummary onsets;
};

/** Plays the click train on the device `request.choice` names (else the
 *  default output) at its default rate and measures it; takes the train's
 *  length, about plays x 50 ms. */
ClickCheckResult RunClickCheck(const ClickCheckRequest& request);

/**
 * Writes a measurement as three lines, the names alone on theirs (they may
 * hold blanks):
 *
 *   host_api=ALSA
 *   device=default
 *   rate=44100 frames_per_buffer=512 latency_ms=11.610 plays=200 late=0 onset_mean_ms=0.001
 *   onset_sd_ms=0.006 onset_min_ms=-0.011 onset_max_ms=0.011
 *
 * (the third line is one line), times in milliseconds to the microsecond.
 */
void WriteClickCheck(const ClickCheckResult& result, std::ostream& out);

/** Empty when the latency and the jitter (the onsets' SD) are within their
 *  targets, else what is over, e.g. "output latency 21.333 ms is above
 *  10 ms". */
std::string ClickCheckShortfall(const ClickCheckResult& result);

}  // namespace kestrune::audio
