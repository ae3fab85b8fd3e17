#include "audio/PlaybackWorker.h"

namespace kestrune::audio {

PlaybackWorker::~PlaybackWorker() {
    Cancel();
}

void PlaybackWorker::Start(const WaveFormat& format, std::vector<uint8_t> samples, int repeatCount,
                           uint64_t waitMs, Events events) {
    Cancel();
    running_.store(true);
    sentBytes_.store(0);
    rate_ = format.sampleRate;
    frameBytes_ = format.bitsPerSample / 8u;
    thread_ = std::jthread([this, format, samples = std::move(samples), repeatCount, waitMs,
                            events = std::move(events)](std::stop_token stop) mutable {
        Run(stop, format, std::move(samples), repeatCount, waitMs, std::move(events));
    });
}

uint64_t PlaybackWorker::SoundingMs() const {
    const uint64_t sent = sentBytes_.load();
    const uint64_t played = output_.IsOpen() ? output_.PositionBytes() : sent;
    if (sent <= played || rate_ == 0 || frameBytes_ == 0) return 0;
    const uint64_t frames = (sent - played) / frameBytes_;
    return (frames * 1000 + rate_ - 1) / rate_;
}

void PlaybackWorker::Cancel() {
    if (!thread_.joinable()) return;
    thread_.request_stop();
    if (thread_.get_id() == std::this_thread::get_id()) return;  // joined by the owner later
    thread_.join();
    running_.store(false);
}

void PlaybackWorker::Run(std::stop_token stop, WaveFormat format, std::vector<uint8_t> samples,
                         int repeatCount, uint64_t wait, Events events) {
    if (events.started) events.started(clock_.TickMs());
    if (!output_.Open(format, format.sampleRate) && events.outputError) events.outputError();

    bool sent = false;
    for (int i = 0; i < repeatCount; ++i) {
        if (stop.stop_requested()) break;
        if (output_.Write(samples.data(), samples.size())) {
            sent = true;
            sentBytes_.fetch_add(samples.size());
        }
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
