#include "audio/PlaybackEngine.h"

#include <array>
#include <cstdio>
#include <new>
#include <vector>

#include "core/dsp/Resample.h"

namespace kestrune::audio {

uint32_t SpedUpRate(uint32_t sampleRate, float speed) {
    const float rate = static_cast<float>(sampleRate) * speed;
    if (!(rate >= 1.0f) || rate > 4.0e9f) return 0;
    return static_cast<uint32_t>(static_cast<int64_t>(rate));
}

PlaybackEngine::PlaybackEngine(WaveSet& set, SoundOutput* output) : set_(set), output_(output) {}

PlaybackEngine::~PlaybackEngine() {
    Shutdown();
}

PlaybackStep PlaybackEngine::PlayOrPause() {
    if (!playing_) return Start();
    PlaybackStep step;
    if (paused_) {
        output_->Resume();
        paused_ = false;
        step.controls = WorkspaceEvent::PlaybackResumed;
    } else {
        output_->Pause();
        paused_ = true;
        step.controls = WorkspaceEvent::PlaybackPaused;
    }
    return step;
}

PlaybackStep PlaybackEngine::Start() {
    if (set_.waveCount == 0 || set_.TransportRunning()) return {};
    if (output_ == nullptr) return Failed();
    const auto slot = static_cast<std::size_t>(set_.waveCount - 1);
    format_ = set_.format;
    format_.channels = 1;
    const uint32_t count = set_.sampleCounts[slot];
    const uint8_t* data = set_.samples[slot].data();
    auto size = static_cast<std::size_t>(set_.BytesFor(count));
    heardRate_ = SpedUpRate(format_.sampleRate, set_.processParameters.playbackSpeed);

    // The callback is set while the device is closed: a test's playback may
    // have left it open.
    output_->Close();
    output_->SetDoneCallback([this] {
        if (notifier_) notifier_();
    });
    std::vector<uint8_t> converted;
    if (heardRate_ != 0 && output_->Open(format_, heardRate_)) {
        deviceRate_ = heardRate_;
    } else {
        deviceRate_ = 0;
        // A device that refuses the sped-up rate plays the samples converted
        // to a rate it takes, at the pitch the refused rate would give.
        for (const uint32_t rate : std::array<uint32_t, 3>{format_.sampleRate, 44100, 48000}) {
            if (heardRate_ == 0 || rate == heardRate_ || !output_->Open(format_, rate)) continue;
            try {
                converted = dsp::ResamplePcm(data, count, format_.bitsPerSample, heardRate_, rate);
            } catch (const std::bad_alloc&) {
                converted.clear();
            }
            if (converted.empty() && count > 0) break;
            deviceRate_ = rate;
            data = converted.data();
            size = converted.size();
            break;
        }
        if (deviceRate_ == 0) return Failed();
    }
    if (!output_->Write(data, size)) return Failed();
    playing_ = true;
    paused_ = false;
    set_.SetTransportRunning(true);
    // Nothing to play ends at once, through the same notice as an end.
    if (output_->Done() && notifier_) notifier_();
    PlaybackStep step;
    step.controls = WorkspaceEvent::Playing;
    return step;
}

PlaybackStep PlaybackEngine::Failed() {
    if (output_ != nullptr) {
        output_->Close();
        output_->SetDoneCallback({});
    }
    deviceRate_ = 0;
    PlaybackStep step;
    step.message = PlaybackMessages::kOutputError;
    step.beep = true;
    return step;
}

PlaybackStep PlaybackEngine::StopPlayback() {
    if (!playing_) return {};
    return End();
}

PlaybackStep PlaybackEngine::OnOutputDone() {
    if (!playing_ || paused_ || !output_->Done()) return {};
    return End();
}

PlaybackStep PlaybackEngine::End() {
    output_->Close();
    output_->SetDoneCallback({});
    playing_ = false;
    paused_ = false;
    set_.SetTransportRunning(false);
    PlaybackStep step;
    step.controls = WorkspaceEvent::PlaybackEnded;
    step.ended = true;
    return step;
}

void PlaybackEngine::Shutdown() {
    if (playing_) End();
}

double PlaybackEngine::PositionSeconds() const {
    if (!playing_ || format_.sampleRate == 0 || deviceRate_ == 0 || format_.bitsPerSample < 8)
        return 0.0;
    const double frames =
        static_cast<double>(output_->PositionBytes() / (format_.bitsPerSample / 8));
    // Frames at the device rate stand for frames at the heard rate, and those
    // are the wave's own samples.
    return frames * heardRate_ / deviceRate_ / format_.sampleRate;
}

std::string PlaybackEngine::TimeText() const {
    if (!playing_) return {};
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%3.1f", PositionSeconds());
    return text.data();
}

}  // namespace kestrune::audio
