#include "audio/ClickCheck.h"

#include <portaudio.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <ostream>
#include <thread>

#include "audio/PortAudioStream.h"

namespace kestrune::audio {

namespace {

// What the callback shares with the thread that waits for it. The train
// itself is read only after the stream has been closed.
struct Playing {
    explicit Playing(const ClickTrainPlan& plan) : train(plan) {}
    ClickTrain train;
    std::atomic<unsigned long> largestBuffer{0};
    std::atomic<std::size_t> started{0};  // clicks started, for a stalled device's message
};

int PlayClicks(const void*, void* output, unsigned long frames,
               const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags, void* self) {
    auto* playing = static_cast<Playing*>(self);
    if (frames > playing->largestBuffer.load(std::memory_order_relaxed))
        playing->largestBuffer.store(frames, std::memory_order_relaxed);
    // A host API that cannot tell the converter's time gives 0: the time
    // of the call is the best there is then.
    const double dacTime =
        time->outputBufferDacTime > 0 ? time->outputBufferDacTime : time->currentTime;
    playing->train.Render(static_cast<int16_t*>(output), frames, dacTime);
    playing->started.store(playing->train.Onsets().size(), std::memory_order_relaxed);
    // Complete: PortAudio plays out what it holds, then the stream goes idle.
    return playing->train.Done() ? paComplete : paContinue;
}

std::string Millis(double ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ms);
    // No "-0.000": a value that rounds to zero is zero.
    return std::string(text) == "-0.000" ? std::string("0.000") : std::string(text);
}

// PortAudio started for the length of one check.
class PortAudioSession {
  public:
    PortAudioSession() : ok_(Pa_Initialize() == paNoError) {}
    ~PortAudioSession() {
        if (ok_) Pa_Terminate();
    }
    PortAudioSession(const PortAudioSession&) = delete;
    PortAudioSession& operator=(const PortAudioSession&) = delete;
    bool Ok() const { return ok_; }

  private:
    bool ok_;
};

}  // namespace

ClickCheckResult RunClickCheck(const ClickCheckRequest& request) {
    ClickCheckResult result;
    const PortAudioSession session;
    if (!session.Ok()) {
        result.error = "No sound device found: the sound system did not start";
        return result;
    }
    const DeviceLookup lookup = FindOutputDevice(ListSoundDevices(), request.choice);
    const PaDeviceInfo* info = lookup.device >= 0 ? Pa_GetDeviceInfo(lookup.device) : nullptr;
    if (info == nullptr) {
        result.error =
            lookup.message.empty() ? "No sound device found: no output device" : lookup.message;
        return result;
    }
    result.deviceMessage = lookup.message;
    result.device = info->name != nullptr ? info->name : "";
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    result.hostApi = api != nullptr && api->name != nullptr ? api->name : "";
    result.rate = info->defaultSampleRate;

    const ClickTrainPlan plan{.rate = result.rate, .plays = request.plays};
    if (const auto why = CheckClickTrainPlan(plan)) {
        result.error = "cannot play the click train: " + *why;
        return result;
    }
    Playing playing(plan);
    PaStream* stream = StartMonoStream(
        lookup.device, StreamDirection::Output, result.rate, PlayClicks, &playing,
        request.framesPerBuffer > 0 ? request.framesPerBuffer : paFramesPerBufferUnspecified);
    if (stream == nullptr) {
        result.error =
            "the output device \"" + result.device + "\" cannot be opened at " +
            std::to_string(std::lround(result.rate)) + " Hz" +
            (request.framesPerBuffer > 0
                 ? " with " + std::to_string(request.framesPerBuffer) + " frames a buffer"
                 : std::string());
        return result;
    }
    if (const PaStreamInfo* streamInfo = Pa_GetStreamInfo(stream))
        result.latencyMs = streamInfo->outputLatency * 1000;

    // The train lasts lead + plays x period; a device that stops asking for
    // sound is given ten seconds more before the check gives up on it.
    using namespace std::chrono;
    const auto deadline =
        steady_clock::now() + duration_cast<steady_clock::duration>(
                                  duration<double>(plan.lead + plan.period * plan.plays + 10.0));
    while (Pa_IsStreamActive(stream) == 1 && steady_clock::now() < deadline)
        std::this_thread::sleep_for(milliseconds(5));
    Pa_AbortStream(stream);
    Pa_CloseStream(stream);

    result.framesPerBuffer = playing.largestBuffer.load();
    if (!playing.train.Done()) {
        result.error = "the output device \"" + result.device + "\" stopped taking sound after " +
                       std::to_string(playing.started.load()) + " of " +
                       std::to_string(plan.plays) + " clicks";
        return result;
    }
    result.onsets = SummariseOnsets(playing.train.Onsets(), result.rate);
    return result;
}

void WriteClickCheck(const ClickCheckResult& result, std::ostream& out) {
    const OnsetSummary& onsets = result.onsets;
    out << "host_api=" << result.hostApi << '\n'
        << "device=" << result.device << '\n'
        << "rate=" << std::llround(result.rate) << " frames_per_buffer=" << result.framesPerBuffer
        << " latency_ms=" << Millis(result.latencyMs) << " plays=" << onsets.clicks
        << " late=" << onsets.late << " onset_mean_ms=" << Millis(onsets.meanMs)
        << " onset_sd_ms=" << Millis(onsets.sdMs) << " onset_min_ms=" << Millis(onsets.minMs)
        << " onset_max_ms=" << Millis(onsets.maxMs) << '\n';
}

std::string ClickCheckShortfall(const ClickCheckResult& result) {
    std::string shortfall;
    const auto over = [&shortfall](const char* what, double ms, double target) {
        if (ms <= target) return;  // (a time that is not a number is not within it)
        char limit[32];
        std::snprintf(limit, sizeof limit, "%g", target);
        if (!shortfall.empty()) shortfall += "; ";
        shortfall += std::string(what) + " " + Millis(ms) + " ms is above " + limit + " ms";
    };
    over("output latency", result.latencyMs, kLatencyTargetMs);
    over("onset jitter (SD)", result.onsets.sdMs, kJitterTargetMs);
    return shortfall;
}

}  // namespace kestrune::audio
