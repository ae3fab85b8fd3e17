// How soon the next stimulus sounds after an answer: from "answer confirmed"
// (cancel the running playback worker, start the next one, which opens the
// device and queues its first repetition) to the first frame of the new
// stimulus being taken by PortAudio's audio callback. The fixed waits after
// each repetition are not on that path and are not measured.
//
// The default device is ALSA's "null" PCM, from a configuration file of the
// benchmark's own (ALSA_CONFIG_PATH), so this runs on machines without a
// sound card. The null device takes frames as fast as they are offered (its
// callback runs back to back), so the figure is the software path - worker
// hand-over, the device taking up the new stimulus, the first callback -
// without a sound card's period wait (on real hardware add up to one device
// period, a few milliseconds at PortAudio's low latency).
//
// One device and one worker, as a test dialog has them: the cancelled
// stimulus' repetition is still queued when the next one opens the device in
// the same format, so the open reuses the running stream and drops it.
// With argument 1 every other stimulus plays 1 Hz faster, which forces a
// stream close and reopen each time: the cost of the path without reuse, on
// the same machine and load.

#include <benchmark/benchmark.h>

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "audio/PlaybackWorker.h"
#include "audio/PortAudioOutput.h"
#include "audio/WaitClock.h"
#include "core/battery/Stimulus.h"

namespace kestrune::audio {
namespace {

constexpr int kTrials = 200;

void UseNullDevice() {
    const std::string path = "/tmp/kestrune-bench-alsa-" + std::to_string(::getpid()) + ".conf";
    std::ofstream(path) << "pcm.!default { type null }\nctl.!default { type hw card 31 }\n";
    ::setenv("ALSA_CONFIG_PATH", path.c_str(), 1);
}

double Percentile(std::vector<double> values, double fraction) {
    std::sort(values.begin(), values.end());
    const auto index = static_cast<std::size_t>(fraction * static_cast<double>(values.size() - 1));
    return values[index];
}

// Passes everything to a PortAudioOutput and notes when Open() has
// returned, so the position read afterwards belongs to the new stimulus and
// not to the one cancelled.
class MarkedOutput final : public SoundOutput {
  public:
    bool Open(const WaveFormat& format, uint32_t rate) override {
        const bool ok = device_.Open(format, rate);
        opened_.store(true);
        return ok;
    }
    bool IsOpen() const override { return device_.IsOpen(); }
    bool Write(const uint8_t* bytes, std::size_t size) override {
        return device_.Write(bytes, size);
    }
    void Pause() override { device_.Pause(); }
    void Resume() override { device_.Resume(); }
    void Stop() override { device_.Stop(); }
    uint64_t PositionBytes() const override { return device_.PositionBytes(); }
    bool Done() const override { return device_.Done(); }
    void SetDoneCallback(DoneCallback callback) override {
        device_.SetDoneCallback(std::move(callback));
    }
    void Close() override { device_.Close(); }

    void ClearMark() { opened_.store(false); }
    uint64_t StreamOpens() const { return device_.StreamOpens(); }
    /** The new stream has taken its first frames. */
    bool Sounding() const { return opened_.load() && device_.PositionBytes() > 0; }

  private:
    PortAudioOutput device_;
    std::atomic<bool> opened_{false};
};

void BM_AnswerToNextStimulusFirstFrame(benchmark::State& state) {
    UseNullDevice();
    SystemWaitClock clock;
    MarkedOutput device;
    WaveFormat format;
    format.formatTag = 1;
    format.channels = 1;
    format.sampleRate = 22050;
    format.bitsPerSample = 16;
    format.blockAlign = 2;
    format.bytesPerSecond = 44100;
    const std::vector<uint8_t> stimulus(22050 * 2, 0x10);  // one second
    const bool reopen = state.range(0) == 1;
    WaveFormat other = format;
    other.sampleRate = reopen ? 22051 : 22050;

    std::vector<double> latencies;
    std::vector<double> cancels;
    for (auto _ : state) {
        latencies.clear();
        cancels.clear();
        PlaybackWorker worker(device, clock);
        worker.Start(format, stimulus, 3, kestrune::RepeatWaitMs(format.sampleRate, 22050));
        while (!device.Sounding()) std::this_thread::yield();
        for (int trial = 1; trial <= kTrials; ++trial) {
            device.ClearMark();
            // The subject is in the middle of the stimulus when answering.
            std::this_thread::sleep_for(std::chrono::milliseconds(2));

            const auto confirmed = std::chrono::steady_clock::now();
            worker.Cancel();
            const auto cancelled = std::chrono::steady_clock::now();
            worker.Start(trial % 2 == 0 ? format : other, stimulus, 3,
                         kestrune::RepeatWaitMs(22050, 22050));
            while (!device.Sounding()) std::this_thread::yield();
            const auto sounding = std::chrono::steady_clock::now();
            latencies.push_back(
                std::chrono::duration<double, std::milli>(sounding - confirmed).count());
            cancels.push_back(
                std::chrono::duration<double, std::milli>(cancelled - confirmed).count());
        }
    }
    if (latencies.empty()) {
        state.SkipWithError("no output device (ALSA null PCM) opened");
        return;
    }
    state.counters["median_ms"] = Percentile(latencies, 0.5);
    state.counters["p99_ms"] = Percentile(latencies, 0.99);
    state.counters["max_ms"] = Percentile(latencies, 1.0);
    state.counters["cancel_median_ms"] = Percentile(cancels, 0.5);
    state.counters["trials"] = kTrials;
    state.counters["stream_opens"] = static_cast<double>(device.StreamOpens());
}

BENCHMARK(BM_AnswerToNextStimulusFirstFrame)
    ->ArgName("reopen")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
}  // namespace kestrune::audio
