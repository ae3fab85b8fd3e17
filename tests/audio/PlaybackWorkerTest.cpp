// The playback worker on the virtual device and a manual clock: repetitions
// and the waits between them, cancelling (the repetition already sent plays
// out, the rest never does), destruction, a device that does not open, and
// the real clock's interruptible sleep.

#include <gtest/gtest.h>

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
            worker.Start(format, buffer, 3, recorder.Events());
            EXPECT_TRUE(worker.Running());
            for (int i = 0; i < 3; ++i) {
                ASSERT_TRUE(clock.WaitForSleepers(1));
                ASSERT_EQ(clock.NextWake(), 5000 + (i + 1) * wait);
                clock.AdvanceToNextWake();
            }
            EXPECT_TRUE(recorder.finished.WaitFor(1));
        }
        EXPECT_EQ(recorder.starts, std::vector<uint64_t>{5000});
        EXPECT_EQ(recorder.errors.Value(), 0);
        EXPECT_EQ(recorder.finished.Value(), 1);
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
    worker.Start(Mono(16, 8000), buffer, 3, recorder.Events());
    ASSERT_TRUE(clock.WaitForSleepers(1));
    // Counted while the worker runs: a sanitizer may add a helper thread of
    // its own at the first thread start.
    const std::size_t threads = ThreadCount() - 1;
    clock.AdvanceToNextWake();  // the second repetition starts at 1300
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.AdvanceMs(400);  // mid-way through it

    worker.Cancel();  // on a clock that stands still: the wait must end by itself
    EXPECT_FALSE(worker.Running());
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_FALSE(clock.NextWake().has_value());
    EXPECT_EQ(recorder.finished.Value(), 0);

    clock.AdvanceMs(10000);
    auto heard = out.Heard();
    ASSERT_EQ(heard.size(), 2u);  // the third repetition never came
    EXPECT_EQ(heard[1].bytes, buffer);
    EXPECT_DOUBLE_EQ(heard[1].startMs, 1300);
    EXPECT_TRUE(out.IsOpen());  // left to the owner

    // When the owner silences the device, the sound ends at that tick.
    const std::vector<uint8_t> longer = Noise(2 * 8000 * 5);
    worker.Start(Mono(16, 8000), longer, 3, recorder.Events());
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
    worker.Start(Mono(8, 8000), Noise(8000), 3);
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
        worker.Start(Mono(8, 8000), Noise(8000), 5, recorder.Events());
        ASSERT_TRUE(clock.WaitForSleepers(1));
        threads = ThreadCount() - 1;  // see CancelDropsTheRepetitionsNotSent...
    }
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_FALSE(clock.NextWake().has_value());
    clock.AdvanceMs(60000);
    EXPECT_EQ(out.Heard().size(), 1u);
    EXPECT_EQ(recorder.finished.Value(), 0);
}

TEST(PlaybackWorker, StartingAgainCancelsTheRunningStimulus) {
    ManualWaitClock clock;
    VirtualOutput out(clock);
    PlaybackWorker worker(out, clock);
    worker.Start(Mono(8, 1000), Noise(100), 3);
    ASSERT_TRUE(clock.WaitForSleepers(1));
    const std::vector<uint8_t> next = Noise(50);
    worker.Start(Mono(8, 1000), next, 1);  // reopens the device: the first is cut off
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
    worker.Start(Mono(24, 1000), Noise(300), 2, recorder.Events());  // 100 frames
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(clock.WaitForSleepers(1));
        EXPECT_EQ(clock.NextWake(), 100 + (i + 1) * 400u);
        clock.AdvanceToNextWake();
    }
    EXPECT_TRUE(recorder.finished.WaitFor(1));
    EXPECT_EQ(recorder.errors.Value(), 1);
    EXPECT_TRUE(out.Heard().empty());
}

TEST(PlaybackWorker, OnTheSystemClockCancelEndsALongWaitAtOnce) {
    SystemWaitClock clock;
    VirtualOutput out(clock);
    Recorder recorder;
    PlaybackWorker worker(out, clock);
    // An hour of sound: a wait that a stop request did not end would hold
    // Cancel for that hour.
    worker.Start(Mono(8, 1000), Noise(3600 * 1000), 3, recorder.Events());
    ASSERT_TRUE(recorder.started.WaitFor(1));
    worker.Cancel();
    EXPECT_FALSE(worker.Running());
    EXPECT_EQ(recorder.finished.Value(), 0);
    EXPECT_LE(out.Heard().size(), 1u);

    // A sleep that is not interrupted ends when its tick comes, not before.
    std::stop_source never;
    const uint64_t start = clock.TickMs();
    EXPECT_TRUE(clock.SleepUntil(start + 20, never.get_token()));
    EXPECT_GE(clock.TickMs(), start + 20);
}
