// The virtual sound output: what reaches the "headphones" on a fake clock -
// the exact frames, the rate, when each frame plays - and how writing,
// pausing, stopping and closing move that. Then the playback worker on it
// and a manual clock: repetitions and the waits between them, cancelling
// (the repetition already sent plays out, the rest never does), destruction,
// a device that does not open, and the real clock's interruptible sleep.

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "DeviceTestSupport.h"
#include "audio/PlaybackWorker.h"
#include "audio/VirtualOutput.h"
#include "audio/WaitClock.h"
#include "core/battery/Stimulus.h"

using namespace kestrune::audio;
using namespace kestrune::audio::device_testing;
using kestrune::WaveFormat;

namespace {

// A ramp of distinct values: frame i is i + first (8 bits, wrapping in
// 0 ... 255) or (i * 37 + first) - 16000 (16 bits, little-endian).
int RampValue(uint16_t bits, std::size_t i, int first = 0) {
    const int value = static_cast<int>(i) + first;
    return bits == 8 ? (value & 0xff) : (value * 37) % 32000 - 16000;
}

std::vector<uint8_t> Ramp(uint16_t bits, std::size_t frames, int first = 0) {
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i < frames; ++i) {
        const auto v = static_cast<uint16_t>(RampValue(bits, i, first));
        bytes.push_back(static_cast<uint8_t>(v & 0xff));
        if (bits == 16) bytes.push_back(static_cast<uint8_t>(v >> 8));
    }
    return bytes;
}

// The stimulus player's wait after each write of `bytes` in `format`.
uint64_t PlayerWait(const WaveFormat& format, const std::vector<uint8_t>& bytes) {
    const uint32_t frameBytes = format.bitsPerSample / 8u;
    return kestrune::RepeatWaitMs(format.sampleRate,
                                  static_cast<uint32_t>(bytes.size() / frameBytes));
}

}  // namespace

TEST(VirtualOutput, PlaysEveryFrameAtItsRateAndTimeFor8And16Bits) {
    struct Case {
        uint16_t bits;
        uint32_t fileRate;
        uint32_t playRate;  // a sped-up stimulus plays faster than its file's rate
        std::size_t frames;
    };
    for (const Case c : {Case{8, 11025, 11025, 5000}, Case{16, 22050, 22050, 4410},
                         Case{16, 22050, 110250, 22050}, Case{8, 44100, 4410, 900}}) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits at " << c.playRate);
        ManualWaitClock clock(0, 1000);
        VirtualOutput out(clock);
        int doneCalls = 0;
        out.SetDoneCallback([&] { ++doneCalls; });
        ASSERT_TRUE(out.Open(Mono(c.bits, c.fileRate), c.playRate));
        const std::vector<uint8_t> buffer = Ramp(c.bits, c.frames);
        ASSERT_TRUE(out.Write(buffer.data(), buffer.size()));

        // 100 ms later only the frames whose period has passed were heard.
        clock.AdvanceMs(100);
        const uint64_t partial = uint64_t{100} * c.playRate / 1000;
        EXPECT_EQ(out.PositionBytes(), partial * c.bits / 8);
        EXPECT_FALSE(out.Done());
        EXPECT_EQ(doneCalls, 0);

        clock.AdvanceMs(1000 * c.frames / c.playRate + 1);
        EXPECT_TRUE(out.Done());
        EXPECT_EQ(doneCalls, 1);
        const std::vector<HeardSegment> heard = out.Heard();
        ASSERT_EQ(heard.size(), 1u);
        const HeardSegment& segment = heard[0];
        EXPECT_EQ(segment.rate, c.playRate);
        EXPECT_EQ(segment.bitsPerSample, c.bits);
        EXPECT_EQ(segment.bytes, buffer);
        ASSERT_EQ(segment.Frames(), c.frames);
        for (std::size_t i = 0; i < c.frames; i += 97) {
            ASSERT_EQ(segment.Sample(i), RampValue(c.bits, i)) << i;
            ASSERT_DOUBLE_EQ(segment.TimeMs(i), 1000.0 + 1000.0 * i / c.playRate) << i;
        }
        EXPECT_EQ(out.PositionBytes(), buffer.size());
        out.Pump();
        EXPECT_EQ(doneCalls, 1);  // once per time the queue runs out
    }
}

TEST(VirtualOutput, QueuedBuffersFollowWithoutAGapAndALateOneStartsWhenWritten) {
    ManualWaitClock clock;
    VirtualOutput out(clock);
    ASSERT_TRUE(out.Open(Mono(16, 1000), 1000));  // one frame per millisecond
    const auto first = Ramp(16, 50);
    const auto second = Ramp(16, 30, 50);
    out.Write(first.data(), first.size());
    clock.AdvanceMs(20);
    out.Write(second.data(), second.size());  // queued behind the first
    clock.AdvanceMs(200);

    const auto third = Ramp(16, 10, 80);
    out.Write(third.data(), third.size() + 1);  // the odd byte is no frame
    clock.AdvanceMs(10);

    const auto heard = out.Heard();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].Frames(), 80u);
    EXPECT_DOUBLE_EQ(heard[0].startMs, 0);
    EXPECT_DOUBLE_EQ(heard[0].EndMs(), 80);
    for (std::size_t i = 0; i < 80; ++i) ASSERT_EQ(heard[0].Sample(i), RampValue(16, i));
    EXPECT_DOUBLE_EQ(heard[1].startMs, 220);
    EXPECT_EQ(heard[1].Frames(), 10u);
    EXPECT_EQ(heard[1].Sample(0), RampValue(16, 80));
    EXPECT_EQ(out.PositionBytes(), 180u);
}

TEST(VirtualOutput, PauseHoldsResumeGoesOnStopAndCloseSilenceAtTheirTick) {
    ManualWaitClock clock;
    VirtualOutput out(clock);
    ASSERT_TRUE(out.Open(Mono(8, 2000), 2000));  // two frames per millisecond
    const auto buffer = Ramp(8, 400);
    out.Write(buffer.data(), buffer.size());
    clock.AdvanceMs(50);
    out.Pause();
    clock.AdvanceMs(500);
    EXPECT_EQ(out.PositionBytes(), 100u);
    out.Resume();
    clock.AdvanceMs(25);
    out.Stop();  // at tick 575: the rest is dropped
    clock.AdvanceMs(1000);
    EXPECT_EQ(out.PositionBytes(), 0u);
    EXPECT_TRUE(out.Done());
    EXPECT_TRUE(out.IsOpen());

    auto heard = out.Heard();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].Frames(), 100u);
    EXPECT_DOUBLE_EQ(heard[1].startMs, 550);
    EXPECT_EQ(heard[1].Frames(), 50u);
    EXPECT_EQ(heard[1].Sample(0), 100);
    EXPECT_DOUBLE_EQ(heard[1].EndMs(), 575);

    // Writing after a stop plays again; closing cuts it off.
    out.Write(buffer.data(), buffer.size());
    clock.AdvanceMs(10);
    out.Close();
    clock.AdvanceMs(1000);
    EXPECT_FALSE(out.IsOpen());
    EXPECT_FALSE(out.Write(buffer.data(), buffer.size()));
    heard = out.Heard();
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(heard[2].Frames(), 20u);
    EXPECT_EQ(heard[2].Sample(0), 0);
}

TEST(VirtualOutput, RefusesWhatTheDeviceCannotPlayAndTheFactoryMakesIt) {
    ManualWaitClock clock;
    EXPECT_NE(dynamic_cast<VirtualOutput*>(MakeSoundOutput("virtual", clock).get()), nullptr);
    EXPECT_EQ(MakeSoundOutput("alsa", clock), nullptr);
    EXPECT_EQ(MakeSoundOutput("", clock), nullptr);
    VirtualOutput out(clock);
    EXPECT_FALSE(out.Open(Mono(24, 44100), 44100));
    EXPECT_FALSE(out.Open(Mono(16, 44100), 0));
    WaveFormat stereo = Mono(16, 44100);
    stereo.channels = 2;
    EXPECT_FALSE(out.Open(stereo, 44100));
    EXPECT_FALSE(out.IsOpen());
    const uint8_t byte = 1;
    EXPECT_FALSE(out.Write(&byte, 1));
    EXPECT_EQ(out.OpenCount(), 0);
    EXPECT_TRUE(out.Heard().empty());
    // Reopening an open device starts over from nothing queued.
    ASSERT_TRUE(out.Open(Mono(16, 8000), 8000));
    const auto buffer = Ramp(16, 80);
    out.Write(buffer.data(), buffer.size());
    ASSERT_TRUE(out.Open(Mono(8, 8000), 8000));
    clock.AdvanceMs(100);
    EXPECT_TRUE(out.Heard().empty());
    EXPECT_EQ(out.OpenCount(), 2);
}

TEST(PlaybackWorker, PlaysEachRepetitionExactlyAfterTheWaitThenClosesTheDevice) {
    for (const uint16_t bits : {uint16_t{8}, uint16_t{16}}) {
        SCOPED_TRACE(bits);
        ManualWaitClock clock(0, 5000);
        VirtualOutput out(clock);
        Recorder recorder;
        const WaveFormat format = Mono(bits, 11025);           // the playback rate already applied
        const std::vector<uint8_t> buffer = Ramp(bits, 5512);  // 0.5 s
        const uint64_t wait = 799;                             // 499.9... + 300
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
    const std::vector<uint8_t> buffer = Ramp(16, 8000);  // 1 s
    PlaybackWorker worker(out, clock);
    worker.Start(Mono(16, 8000), buffer, 3, PlayerWait(Mono(16, 8000), buffer), recorder.Events());
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
    const std::vector<uint8_t> longer = Ramp(16, 5 * 8000);
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
    worker.Start(Mono(8, 8000), Ramp(8, 8000), 3, PlayerWait(Mono(8, 8000), Ramp(8, 8000)));
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
        worker.Start(Mono(8, 8000), Ramp(8, 8000), 5, PlayerWait(Mono(8, 8000), Ramp(8, 8000)),
                     recorder.Events());
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
    worker.Start(Mono(8, 1000), Ramp(8, 100), 3, PlayerWait(Mono(8, 1000), Ramp(8, 100)));
    ASSERT_TRUE(clock.WaitForSleepers(1));
    const std::vector<uint8_t> next = Ramp(8, 50, 7);
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
    worker.Start(Mono(24, 1000), Ramp(8, 300), 2, PlayerWait(Mono(24, 1000), Ramp(8, 300)),
                 recorder.Events());  // 100 frames
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
    worker.Start(Mono(8, 1000), Ramp(8, 3600 * 1000), 3,
                 PlayerWait(Mono(8, 1000), Ramp(8, 3600 * 1000)), recorder.Events());
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
