// The playback worker on the virtual device and a manual clock: repetitions
// and the waits between them, cancelling (the repetition already sent plays
// out, the rest never does), destruction, a device that does not open, and
// the real clock's interruptible sleep.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "DeviceTestSupport.h"
#include "audio/PlaybackWorker.h"
#include "audio/VirtualOutput.h"
#include "core/battery/Stimulus.h"

using namespace kestrune::audio;
using namespace kestrune::audio::device_testing;
using kestrune::WaveFormat;

namespace {

std::vector<uint8_t> Noise(std::size_t bytes) {
    std::vector<uint8_t> out(bytes);
    uint32_t x = 12345;
    for (auto& b : out) {
        x = x * 1103515245u + 12345u;
        b = static_cast<uint8_t>(x >> 16);
    }
    return out;
}

// The stimulus player's wait after each write of `bytes` in `format`.
uint64_t PlayerWait(const WaveFormat& format, const std::vector<uint8_t>& bytes) {
    const uint32_t frameBytes = format.bitsPerSample / 8u;
    return kestrune::RepeatWaitMs(format.sampleRate,
                                  static_cast<uint32_t>(bytes.size() / frameBytes));
}

struct Recorder {
    std::vector<uint64_t> starts;
    int errors = 0;
    int finished = 0;

    PlaybackWorker::Events Events() {
        return {[this](uint64_t tick) { starts.push_back(tick); }, [this] { ++errors; },
                [this] { ++finished; }};
    }
};

}  // namespace

TEST(PlaybackWorker, PlaysEachRepetitionExactlyAfterTheWaitThenClosesTheDevice) {
    for (const uint16_t bits : {uint16_t{8}, uint16_t{16}}) {
        SCOPED_TRACE(bits);
        ManualWaitClock clock(0, 5000);
        VirtualOutput out(clock);
        Recorder recorder;
        const WaveFormat format = Mono(bits, 11025);  // the playback rate already applied
        const std::vector<uint8_t> buffer = Noise(11025 / 2 * bits / 8);  // 0.5 s, 5512 frames
        const uint64_t wait = 799;                                        // 499.9... + 300
        ASSERT_EQ(kestrune::RepeatWaitMs(11025, 5512), wait);
        {
            PlaybackWorker worker(out, clock);
            worker.Start(format, buffer, 3, PlayerWait(format, buffer), recorder.Events());
            EXPECT_TRUE(worker.Running());
            for (int i = 0; i < 3; ++i) {
                ASSERT_TRUE(clock.WaitForSleepers(1));
                ASSERT_EQ(clock.NextWake(), 5000 + (i + 1) * wait);
                clock.AdvanceToNextWake();
            }
            EXPECT_TRUE(WaitUntilStopped(worker));
        }
        EXPECT_EQ(recorder.starts, std::vector<uint64_t>{5000});
        EXPECT_EQ(recorder.errors, 0);
        EXPECT_EQ(recorder.finished, 1);
        EXPECT_FALSE(out.IsOpen());
        const auto heard = out.Heard();
        ASSERT_EQ(heard.size(), 3u);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_EQ(heard[i].bytes, buffer);
            EXPECT_EQ(heard[i].rate, 11025u);
            EXPECT_EQ(heard[i].bitsPerSample, bits);
            EXPECT_DOUBLE_EQ(heard[i].startMs, 5000.0 + i * wait);
        }
    }
}

TEST(PlaybackWorker, CancelDropsTheRepetitionsNotSentAndLetsTheSentOnePlayOut) {
    ManualWaitClock clock;
    VirtualOutput out(clock);
    Recorder recorder;
    const std::vector<uint8_t> buffer = Noise(2 * 8000);  // 1 s of 16-bit at 8 kHz
    PlaybackWorker worker(out, clock);
    worker.Start(Mono(16, 8000), buffer, 3, PlayerWait(Mono(16, 8000), buffer), recorder.Events());
    ASSERT_TRUE(clock.WaitForSleepers(1));
    // Counted while the worker runs: a sanitizer may add a helper thread of
    // its own at the first thread start.
    const std::size_t threads = ThreadCount() - 1;
    clock.AdvanceToNextWake();  // the second repetition starts at 1300
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.AdvanceMs(400);  // mid-way through it

    const auto before = std::chrono::steady_clock::now();
    worker.Cancel();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_FALSE(worker.Running());
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_FALSE(clock.NextWake().has_value());
    EXPECT_EQ(recorder.finished, 0);

    clock.AdvanceMs(10000);
    auto heard = out.Heard();
    ASSERT_EQ(heard.size(), 2u);  // the third repetition never came
    EXPECT_EQ(heard[1].bytes, buffer);
    EXPECT_DOUBLE_EQ(heard[1].startMs, 1300);
    EXPECT_TRUE(out.IsOpen());  // left to the owner

    // When the owner silences the device, the sound ends at that tick.
    const std::vector<uint8_t> longer = Noise(2 * 8000 * 5);
    worker.Start(Mono(16, 8000), longer, 3, PlayerWait(Mono(16, 8000), longer), recorder.Events());
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.AdvanceMs(333);
    worker.Cancel();
    out.Stop();
    const double stoppedAt = static_cast<double>(clock.TickMs());
    clock.AdvanceMs(5000);
    heard = out.Heard();
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_LE(heard[2].EndMs(), stoppedAt);
    EXPECT_GE(heard[2].EndMs(), stoppedAt - 20);
    EXPECT_EQ(recorder.starts.size(), 2u);
}

TEST(PlaybackWorker, CancelBeforeTheFirstWriteSendsNothingAndClosesTheDevice) {
    ManualWaitClock clock;
    VirtualOutput out(clock);
    PlaybackWorker worker(out, clock);
    // The stop request may come before or after the first write.
    worker.Start(Mono(8, 8000), Noise(8000), 3, PlayerWait(Mono(8, 8000), Noise(8000)));
    worker.Cancel();
    clock.AdvanceMs(10000);
    // Either nothing was sent (and the device is closed again) or exactly one
    // repetition was, and it played out.
    const auto heard = out.Heard();
    ASSERT_LE(heard.size(), 1u);
    EXPECT_EQ(out.IsOpen(), heard.size() == 1u);
}

TEST(PlaybackWorker, DestroyingAPlayingWorkerJoinsItsThread) {
    ManualWaitClock clock;
    VirtualOutput out(clock);
    Recorder recorder;
    std::size_t threads = 0;
    {
        PlaybackWorker worker(out, clock);
        worker.Start(Mono(8, 8000), Noise(8000), 5, PlayerWait(Mono(8, 8000), Noise(8000)),
                     recorder.Events());
        ASSERT_TRUE(clock.WaitForSleepers(1));
        threads = ThreadCount() - 1;  // see CancelDropsTheRepetitionsNotSent...
    }
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_FALSE(clock.NextWake().has_value());
    clock.AdvanceMs(60000);
    EXPECT_EQ(out.Heard().size(), 1u);
    EXPECT_EQ(recorder.finished, 0);
}

TEST(PlaybackWorker, StartingAgainCancelsTheRunningStimulus) {
    ManualWaitClock clock;
    VirtualOutput out(clock);
    PlaybackWorker worker(out, clock);
    worker.Start(Mono(8, 1000), Noise(100), 3, PlayerWait(Mono(8, 1000), Noise(100)));
    ASSERT_TRUE(clock.WaitForSleepers(1));
    const std::vector<uint8_t> next = Noise(50);
    worker.Start(Mono(8, 1000), next, 1,
                 PlayerWait(Mono(8, 1000), next));  // reopens the device: the first is cut off
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.AdvanceToNextWake();
    worker.Cancel();
    clock.AdvanceMs(1000);
    const auto heard = out.Heard();
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].bytes, next);
    EXPECT_EQ(out.OpenCount(), 2);
}

TEST(PlaybackWorker, ADeviceThatDoesNotOpenIsReportedAndTheWaitsGoOn) {
    ManualWaitClock clock(0, 100);
    VirtualOutput out(clock);
    Recorder recorder;
    PlaybackWorker worker(out, clock);
    worker.Start(Mono(24, 1000), Noise(300), 2, PlayerWait(Mono(24, 1000), Noise(300)),
                 recorder.Events());  // 100 frames
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(clock.WaitForSleepers(1));
        EXPECT_EQ(clock.NextWake(), 100 + (i + 1) * 400u);
        clock.AdvanceToNextWake();
    }
    EXPECT_TRUE(WaitUntilStopped(worker));
    EXPECT_EQ(recorder.errors, 1);
    EXPECT_EQ(recorder.finished, 1);
    EXPECT_TRUE(out.Heard().empty());
}

TEST(PlaybackWorker, OnTheSystemClockCancelEndsALongWaitAtOnce) {
    SystemWaitClock clock;
    VirtualOutput out(clock);
    Recorder recorder;
    PlaybackWorker worker(out, clock);
    worker.Start(Mono(16, 1000), Noise(2 * 5000), 3, PlayerWait(Mono(16, 1000), Noise(2 * 5000)),
                 recorder.Events());  // waits 5.3 s
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    const auto before = std::chrono::steady_clock::now();
    worker.Cancel();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(500));
    EXPECT_FALSE(worker.Running());
    ASSERT_EQ(recorder.starts.size(), 1u);
    // Roughly 30 ms of the first repetition played on the real clock.
    const auto heard = out.Heard();
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_NEAR(heard[0].startMs, static_cast<double>(recorder.starts[0]), 50);
    EXPECT_GE(heard[0].Frames(), 20u);
    EXPECT_LT(heard[0].Frames(), 5000u);

    // A sleep that is not interrupted ends when its tick comes.
    std::stop_source never;
    const uint64_t start = clock.TickMs();
    EXPECT_TRUE(clock.SleepUntil(start + 20, never.get_token()));
    EXPECT_GE(clock.TickMs(), start + 20);
}
