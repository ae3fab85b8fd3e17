#include "audio/PlaybackWorker.h"

#include "core/battery/Stimulus.h"

namespace kestrune::audio {

PlaybackWorker::~PlaybackWorker() {
    Cancel();
}

void PlaybackWorker::Start(const WaveFormat& format, std::vector<uint8_t> samples, int repeatCount,
                           Events events) {
    Cancel();
    running_.store(true);
    thread_ = std::jthread([this, format, samples = std::move(samples), repeatCount,
                            events = std::move(events)](std::stop_token stop) mutable {
        Run(stop, format, std::move(samples), repeatCount, std::move(events));
    });
}

void PlaybackWorker::Cancel() {
    if (!thread_.joinable()) return;
    thread_.request_stop();
    if (thread_.get_id() == std::this_thread::get_id()) return;  // joined by the owner later
    thread_.join();
    running_.store(false);
}

void PlaybackWorker::Run(std::stop_token stop, WaveFormat format, std::vector<uint8_t> samples,
                         int repeatCount, Events events) {
    if (events.started) events.started(clock_.TickMs());
    if (!output_.Open(format, format.sampleRate) && events.outputError) events.outputError();

    const uint32_t frameBytes = format.bitsPerSample / 8u;
    const auto frames = static_cast<uint32_t>(frameBytes == 0 ? 0 : samples.size() / frameBytes);
    const uint64_t wait = RepeatWaitMs(format.sampleRate, frames);
    bool sent = false;
    for (int i = 0; i < repeatCount; ++i) {
        if (stop.stop_requested()) break;
        sent = output_.Write(samples.data(), samples.size()) || sent;
        if (!clock_.SleepUntil(clock_.TickMs() + wait, stop)) break;
    }
    if (stop.stop_requested()) {
        // The repetition already queued plays to its end; nothing queued,
        // nothing to keep the device open for.
        if (!sent) output_.Close();
    } else {
        output_.Close();
        if (events.finished) events.finished();
    }
    running_.store(false);
}

}  // namespace kestrune::audio
