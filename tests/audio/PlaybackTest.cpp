// The virtual output and the playback worker on a fake clock, a scenario item
// played end to end, and PortAudio on ALSA's "null" device (a temporary
// ~/.asoundrc, read when PortAudio initialises: CTest runs each test in a
// process of its own).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "audio/AudioTestSupport.h"
#include "audio/PlaybackWorker.h"
#include "audio/PortAudioOutput.h"
#include "audio/VirtualOutput.h"
#include "audio/WaitClock.h"
#include "core/battery/Scenario.h"
#include "core/battery/Stimulus.h"
#include "core/util/Random.h"
#include "core/wave/WaveFile.h"
#include "support/ScratchDir.h"

using namespace kestrune::audio;
using namespace kestrune::audio::testing;
using kestrune::WaveFormat;

namespace {

WaveFormat Mono(uint16_t bits, uint32_t rate) {
    return kestrune::PcmFormat(1, rate, bits);
}

/** The threads of this process. */
std::size_t ThreadCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++n;
    }
    return n;
}

/** What a playback worker reported (its callbacks run on its thread). */
struct Recorder {
    std::vector<uint64_t> starts;  // written before `started` is raised
    EventCount started, errors, finished;

    PlaybackWorker::Events Events() {
        return {[this](uint64_t tick) {
                    starts.push_back(tick);
                    started.Raise();
                },
                [this] { errors.Raise(); }, [this] { finished.Raise(); }};
    }
};

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

// Starts `bytes` on the worker with the stimulus player's wait after each write.
void Play(PlaybackWorker& worker, const WaveFormat& format, const std::vector<uint8_t>& bytes,
          int times, PlaybackWorker::Events events = {}) {
    const auto frames = static_cast<uint32_t>(bytes.size() / (format.bitsPerSample / 8u));
    worker.Start(format, bytes, times, kestrune::RepeatWaitMs(format.sampleRate, frames),
                 std::move(events));
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
        SCOPED_TRACE(::testing::Message() << c.bits << " bits at " << c.playRate);
        ManualWaitClock clock(0, 1000);
        VirtualOutput out(clock);
        int doneCalls = 0;
        out.SetDoneCallback([&] { ++doneCalls; });
        ASSERT_TRUE(out.Open(Mono(c.bits, c.fileRate), c.playRate));
        const std::vector<uint8_t> buffer = Ramp(c.bits, c.frames);
        ASSERT_TRUE(out.Write(buffer.data(), buffer.size()));

        // 100 ms later only the frames whose period has passed were heard.
        clock.AdvanceMs(100);
        EXPECT_EQ(std::tuple(out.PositionBytes(), out.Done(), doneCalls),
                  std::tuple(uint64_t{100} * c.playRate / 1000 * c.bits / 8, false, 0));
        clock.AdvanceMs(1000 * c.frames / c.playRate + 1);
        EXPECT_EQ(std::tuple(out.PositionBytes(), out.Done(), doneCalls),
                  std::tuple(uint64_t{buffer.size()}, true, 1));
        const std::vector<HeardSegment> heard = out.Heard();
        ASSERT_EQ(heard.size(), 1u);
        const HeardSegment& segment = heard[0];
        EXPECT_EQ(std::tie(segment.rate, segment.bitsPerSample, segment.bytes),
                  std::tie(c.playRate, c.bits, buffer));
        ASSERT_EQ(segment.Frames(), c.frames);
        for (std::size_t i = 0; i < c.frames; i += 97) {
            ASSERT_EQ(segment.Sample(i), RampValue(c.bits, i)) << i;
            ASSERT_DOUBLE_EQ(segment.TimeMs(i), 1000.0 + 1000.0 * i / c.playRate) << i;
        }
        out.Pump();
        EXPECT_EQ(doneCalls, 1);  // once per time the queue runs out
    }
}

// Buffers written while others play follow them without a gap; one written
// after the queue ran out starts when written. An odd byte is no frame.
TEST(VirtualOutput, QueuedBuffersFollowWithoutAGapAndALateOneStartsWhenWritten) {
    ManualWaitClock clock;
    VirtualOutput out(clock);
    ASSERT_TRUE(out.Open(Mono(16, 1000), 1000));  // one frame per millisecond
    const auto first = Ramp(16, 50), second = Ramp(16, 30, 50), third = Ramp(16, 10, 80);
    out.Write(first.data(), first.size());
    clock.AdvanceMs(20);
    out.Write(second.data(), second.size());
    clock.AdvanceMs(200);
    out.Write(third.data(), third.size() + 1);
    clock.AdvanceMs(10);

    const auto heard = out.Heard();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(std::tuple(heard[0].Frames(), heard[0].startMs, heard[0].EndMs()),
              std::tuple(80u, 0.0, 80.0));
    for (std::size_t i = 0; i < 80; ++i) ASSERT_EQ(heard[0].Sample(i), RampValue(16, i));
    EXPECT_EQ(std::tuple(heard[1].Frames(), heard[1].startMs, heard[1].Sample(0)),
              std::tuple(10u, 220.0, RampValue(16, 80)));
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
    EXPECT_EQ(std::tuple(out.PositionBytes(), out.Done(), out.IsOpen()),
              std::tuple(uint64_t{0}, true, true));
    auto heard = out.Heard();
    ASSERT_EQ(heard.size(), 2u);
    EXPECT_EQ(heard[0].Frames(), 100u);
    EXPECT_EQ(std::tuple(heard[1].startMs, heard[1].Frames(), heard[1].Sample(0), heard[1].EndMs()),
              std::tuple(550.0, 50u, 100, 575.0));

    // Writing after a stop plays again; closing cuts it off.
    out.Write(buffer.data(), buffer.size());
    clock.AdvanceMs(10);
    out.Close();
    clock.AdvanceMs(1000);
    EXPECT_FALSE(out.IsOpen());
    EXPECT_FALSE(out.Write(buffer.data(), buffer.size()));
    heard = out.Heard();
    ASSERT_EQ(heard.size(), 3u);
    EXPECT_EQ(std::tuple(heard[2].Frames(), heard[2].Sample(0)), std::tuple(20u, 0));
}

TEST(VirtualOutput, RefusesWhatTheDeviceCannotPlayAndTheFactoryMakesIt) {
    ManualWaitClock clock;
    EXPECT_NE(dynamic_cast<VirtualOutput*>(MakeSoundOutput("virtual", clock).get()), nullptr);
    EXPECT_EQ(MakeSoundOutput("alsa", clock), nullptr);
    EXPECT_EQ(MakeSoundOutput("", clock), nullptr);
    VirtualOutput out(clock);
    WaveFormat threeChannels = Mono(16, 44100);
    threeChannels.channels = 3;
    EXPECT_FALSE(out.Open(Mono(24, 44100), 44100));
    EXPECT_FALSE(out.Open(Mono(16, 44100), 0));
    EXPECT_FALSE(out.Open(threeChannels, 44100));
    const uint8_t byte = 1;
    EXPECT_EQ(std::tuple(out.IsOpen(), out.Write(&byte, 1), out.OpenCount(), out.Heard().empty()),
              std::tuple(false, false, 0, true));
    // Reopening an open device starts over from nothing queued.
    ASSERT_TRUE(out.Open(Mono(16, 8000), 8000));
    const auto buffer = Ramp(16, 80);
    out.Write(buffer.data(), buffer.size());
    ASSERT_TRUE(out.Open(Mono(8, 8000), 8000));
    clock.AdvanceMs(100);
    EXPECT_TRUE(out.Heard().empty());
    EXPECT_EQ(out.OpenCount(), 2);
}

TEST(PlaybackWorker, CancelDropsTheRepetitionsNotSentAndLetsTheSentOnePlayOut) {
    ManualWaitClock clock;
    VirtualOutput out(clock);
    Recorder recorder;
    const std::vector<uint8_t> buffer = Ramp(16, 8000);  // 1 s
    PlaybackWorker worker(out, clock);
    Play(worker, Mono(16, 8000), buffer, 3, recorder.Events());
    ASSERT_TRUE(clock.WaitForSleepers(1));
    // Counted while the worker runs: a sanitizer may add a helper thread of
    // its own at the first thread start.
    const std::size_t threads = ThreadCount() - 1;
    clock.AdvanceToNextWake();  // the second repetition starts at 1300
    ASSERT_TRUE(clock.WaitForSleepers(1));
    clock.AdvanceMs(400);  // mid-way through it

    worker.Cancel();  // on a clock that stands still: the wait must end by itself
    EXPECT_EQ(std::tuple(worker.Running(), ThreadCount(), clock.NextWake().has_value(),
                         recorder.finished.Value()),
              std::tuple(false, threads, false, 0));
    clock.AdvanceMs(10000);
    auto heard = out.Heard();
    ASSERT_EQ(heard.size(), 2u);  // the third repetition never came
    EXPECT_EQ(heard[1].bytes, buffer);
    EXPECT_DOUBLE_EQ(heard[1].startMs, 1300);
    EXPECT_TRUE(out.IsOpen());  // left to the owner

    // When the owner silences the device, the sound ends at that tick.
    const std::vector<uint8_t> longer = Ramp(16, 5 * 8000);
    Play(worker, Mono(16, 8000), longer, 3, recorder.Events());
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

// The stop request may come before or after the first write: either nothing
// was sent (and the device is closed again) or one repetition was, and it
// played out.
TEST(PlaybackWorker, CancelBeforeTheFirstWriteSendsNothingAndClosesTheDevice) {
    ManualWaitClock clock;
    VirtualOutput out(clock);
    PlaybackWorker worker(out, clock);
    Play(worker, Mono(8, 8000), Ramp(8, 8000), 3);
    worker.Cancel();
    clock.AdvanceMs(10000);
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
        Play(worker, Mono(8, 8000), Ramp(8, 8000), 5, recorder.Events());
        ASSERT_TRUE(clock.WaitForSleepers(1));
        threads = ThreadCount() - 1;  // see CancelDropsTheRepetitionsNotSent...
    }
    EXPECT_EQ(ThreadCount(), threads);
    EXPECT_FALSE(clock.NextWake().has_value());
    clock.AdvanceMs(60000);
    EXPECT_EQ(std::tuple(out.Heard().size(), recorder.finished.Value()), std::tuple(1u, 0));
}

TEST(PlaybackWorker, StartingAgainCancelsTheRunningStimulus) {
    ManualWaitClock clock;
    VirtualOutput out(clock);
    PlaybackWorker worker(out, clock);
    Play(worker, Mono(8, 1000), Ramp(8, 100), 3);
    ASSERT_TRUE(clock.WaitForSleepers(1));
    const std::vector<uint8_t> next = Ramp(8, 50, 7);
    Play(worker, Mono(8, 1000), next, 1);  // reopens the device: the first is cut off
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
    Play(worker, Mono(24, 1000), Ramp(8, 300), 2, recorder.Events());  // 100 frames
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(clock.WaitForSleepers(1));
        EXPECT_EQ(clock.NextWake(), 100 + (i + 1) * 400u);
        clock.AdvanceToNextWake();
    }
    EXPECT_TRUE(recorder.finished.WaitFor(1));
    EXPECT_EQ(recorder.errors.Value(), 1);
    EXPECT_TRUE(out.Heard().empty());
}

// An hour of sound: a wait that a stop request did not end would hold Cancel
// for that hour. A sleep that is not interrupted ends at its tick, not before.
TEST(PlaybackWorker, OnTheSystemClockCancelEndsALongWaitAtOnce) {
    SystemWaitClock clock;
    VirtualOutput out(clock);
    Recorder recorder;
    PlaybackWorker worker(out, clock);
    Play(worker, Mono(8, 1000), Ramp(8, 3600 * 1000), 3, recorder.Events());
    ASSERT_TRUE(recorder.started.WaitFor(1));
    worker.Cancel();
    EXPECT_EQ(std::tuple(worker.Running(), recorder.finished.Value()), std::tuple(false, 0));
    EXPECT_LE(out.Heard().size(), 1u);

    std::stop_source never;
    const uint64_t start = clock.TickMs();
    EXPECT_TRUE(clock.SleepUntil(start + 20, never.get_token()));
    EXPECT_GE(clock.TickMs(), start + 20);
}

// One scenario item from its text to the subject's ears: the file found
// through FILEPATH, its stereo left channel loaded, processed with the item's
// values and played by the worker. Each processing rule has its own table in
// the core's tests; this shows they meet at the device.
namespace {

using namespace kestrune;

constexpr uint32_t kRate = 44100;
// Half a second (five whole 100 ms windows) and a partial window of 1000.
constexpr uint32_t kFrames = 22050 + 1000;
constexpr uint64_t kStartTick = 10000;

int ToneAt(std::size_t i) {
    return static_cast<int16_t>(std::lround(12000 * std::sin(2 * M_PI * 440.0 * i / kRate)));
}

// The tone on the left, a ramp on the right.
void WriteStimulus(const std::filesystem::path& folder) {
    std::filesystem::create_directories(folder);
    std::vector<int16_t> stereo;
    for (std::size_t i = 0; i < kFrames; ++i) {
        stereo.insert(stereo.end(), {static_cast<int16_t>(ToneAt(i)),
                                     static_cast<int16_t>(-7000 + static_cast<int>(i % 50))});
    }
    ASSERT_TRUE(WriteWaveFile((folder / "stereo.wav").string(), PcmFormat(2, kRate, 16),
                              reinterpret_cast<const uint8_t*>(stereo.data()), 2 * kFrames));
}

// FILEPATH is written the old platform's way; the item names the file after it.
const char kScenario[] =
    "[INFO]\r\nTESTTYPE=SYLLABLE\r\nTOTAL=1\r\nFILEPATH=wav\\\r\n"
    "[DATA1]\r\nFILE=stereo.wav\r\nPLAYSPEED=2\r\nSNR=0\r\nCYCLE=100\r\nDUTYCYCLE=0.5\r\n";

TEST(ScenarioPlayback, TheItemIsHeardAsItsValuesSayEveryRepetitionAtItsTime) {
    kestrune::testing::ScratchDir dir;
    WriteStimulus(dir.Path() / "wav");
    const Scenario scenario = Scenario::FromText(kScenario, dir.Path().string());
    const auto value = [&](const char* key) {
        return static_cast<double>(static_cast<float>(scenario.ItemReal(1, key)));
    };
    const std::string path = scenario.FilePath() + scenario.ItemText(1, "FILE");
    const LoadedStimulus loaded = LoadStimulus(path);
    ASSERT_TRUE(loaded.ok) << path << ": " << loaded.message;
    CrtRandom random;
    const StimulusOutcome processed =
        ProcessStimulus(loaded.samples.data(), loaded.sampleCount, loaded.format,
                        {.speed = value("PLAYSPEED"),
                         .noiseLevel = value("SNR"),
                         .interruptionMs = value("CYCLE"),
                         .keptFraction = value("DUTYCYCLE"),
                         .repeatCount = 3},
                        random);
    ASSERT_TRUE(processed.ok) << processed.message;
    const ProcessedStimulus& stimulus = processed.stimulus;

    // PLAYSPEED 2 plays at twice the rate: 23050 / 88200 s = 261 ms, plus 300.
    const uint64_t waitMs = 561;
    ManualWaitClock clock(0, kStartTick);
    VirtualOutput out(clock);
    {
        PlaybackWorker worker(out, clock);
        Recorder recorder;
        worker.Start(stimulus.format, stimulus.samples, stimulus.repeatCount,
                     PlanPlayback(stimulus).waitMs, recorder.Events());
        for (int i = 0; i < stimulus.repeatCount; ++i) {
            ASSERT_TRUE(clock.WaitForSleepers(1));
            ASSERT_EQ(clock.NextWake(), kStartTick + (i + 1) * waitMs);
            clock.AdvanceToNextWake();
        }
        ASSERT_TRUE(recorder.finished.WaitFor(1));
        EXPECT_EQ(recorder.starts, std::vector<uint64_t>{kStartTick});
        EXPECT_EQ(recorder.errors.Value(), 0);
    }
    EXPECT_FALSE(out.IsOpen());
    const auto heard = out.Heard();
    ASSERT_EQ(heard.size(), 3u);
    for (std::size_t r = 0; r < heard.size(); ++r) {
        const HeardSegment& segment = heard[r];
        EXPECT_EQ(std::tuple(segment.rate, segment.bitsPerSample, segment.Frames()),
                  std::tuple(2 * kRate, 16, kFrames));
        EXPECT_DOUBLE_EQ(segment.startMs, static_cast<double>(kStartTick + r * waitMs));
        // CYCLE 100, DUTYCYCLE 0.5 at the file's rate: samples 2205 ... 4409 of
        // each whole 4410-sample window are silent; the partial last one stays.
        for (std::size_t i = 0; i < kFrames; ++i) {
            ASSERT_EQ(segment.Sample(i), i < 22050 && i % 4410 >= 2205 ? 0 : ToneAt(i))
                << "sample " << i;
        }
    }
}

// `seconds` of sound (the null device takes any frames).
std::vector<uint8_t> Tone(uint16_t bits, uint32_t rate, double seconds) {
    return Ramp(bits, static_cast<std::size_t>(rate * seconds));
}

// The null device as the default, set before the output exists, and an
// output that counts its done calls.
class PortAudioOutputTest : public ::testing::Test {
  protected:
    void SetUp() override {
        out.SetDoneCallback([this] { done.Raise(); });
    }

    kestrune::testing::ScratchDir home_;
    const bool configured_ = (UseAsoundrc(home_, kNullDevice), true);
    PortAudioOutput out;
    EventCount done;
};

}  // namespace

TEST_F(PortAudioOutputTest, PlaysAToneOnTheNullDeviceToTheEndFor16And8Bits) {
    for (const auto& [bits, rate] : {std::pair<uint16_t, uint32_t>{16, 22050}, {8, 11025}}) {
        SCOPED_TRACE(bits);
        const int before = done.Value();
        ASSERT_TRUE(out.Open(Mono(bits, rate), rate));
        EXPECT_EQ(std::tuple(out.IsOpen(), out.Done()), std::tuple(true, true));
        const std::vector<uint8_t> tone = Tone(bits, rate, 0.2);
        ASSERT_TRUE(out.Write(tone.data(), tone.size()));
        ASSERT_TRUE(done.WaitFor(before + 1));
        EXPECT_EQ(std::tuple(out.Done(), out.PositionBytes()), std::tuple(true, tone.size()));
        out.Close();
        EXPECT_EQ(std::tuple(out.IsOpen(), out.Write(tone.data(), tone.size())),
                  std::tuple(false, false));
    }
}

TEST_F(PortAudioOutputTest, QueuedBuffersAllPlayAndStopStartsOver) {
    ASSERT_TRUE(out.Open(Mono(16, 44100), 44100));
    const std::vector<uint8_t> tone = Tone(16, 44100, 0.05);
    out.Pause();  // nothing moves while paused, so all three queue up
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(out.Write(tone.data(), tone.size()));
    EXPECT_EQ(std::tuple(out.PositionBytes(), out.Done()), std::tuple(0u, false));
    out.Resume();
    ASSERT_TRUE(done.WaitFor(1));
    EXPECT_EQ(out.PositionBytes(), 3 * tone.size());

    out.Pause();
    for (std::size_t i = 0; i < PortAudioOutput::kSlots; ++i) {
        ASSERT_TRUE(out.Write(tone.data(), tone.size())) << i;
    }
    EXPECT_FALSE(out.Write(tone.data(), tone.size()));  // the ring is full
    out.Stop();
    EXPECT_EQ(std::tuple(out.Done(), out.PositionBytes()), std::tuple(true, 0u));
    out.Resume();
    ASSERT_TRUE(out.Write(tone.data(), tone.size()));
    ASSERT_TRUE(done.WaitFor(2));
    EXPECT_EQ(out.PositionBytes(), tone.size());
}

TEST_F(PortAudioOutputTest, OpeningAgainInTheSameFormatKeepsTheStreamOthersRenewOrCloseIt) {
    ASSERT_TRUE(out.Open(Mono(16, 22050), 22050));
    ASSERT_EQ(out.StreamOpens(), 1u);
    const std::vector<uint8_t> tone = Tone(16, 22050, 0.05);
    ASSERT_TRUE(out.Write(tone.data(), tone.size()));
    ASSERT_TRUE(done.WaitFor(1));
    ASSERT_EQ(out.PositionBytes(), tone.size());

    // A stimulus cut off while paused, with more of it queued.
    const std::vector<uint8_t> longTone = Tone(16, 22050, 1.0);
    out.Pause();
    for (int i = 0; i < 3; ++i) ASSERT_TRUE(out.Write(longTone.data(), longTone.size()));

    // The next stimulus, same format and rate: as if reopened, on the same stream.
    ASSERT_TRUE(out.Open(Mono(16, 22050), 22050));
    EXPECT_EQ(std::tuple(out.StreamOpens(), out.IsOpen(), out.Done(), out.PositionBytes()),
              std::tuple(1u, true, true, 0u));
    ASSERT_TRUE(out.Write(tone.data(), tone.size()));
    EXPECT_FALSE(out.Done());
    ASSERT_TRUE(done.WaitFor(2));  // not paused any more
    // Only the new buffer played: none of the dropped second of tone.
    EXPECT_EQ(std::tuple(out.Done(), out.PositionBytes(), done.Value()),
              std::tuple(true, tone.size(), 2));

    // Another rate or sample size is a new stream, and it plays.
    ASSERT_TRUE(out.Open(Mono(16, 44100), 44100));
    EXPECT_EQ(out.StreamOpens(), 2u);
    const std::vector<uint8_t> tone8 = Tone(8, 44100, 0.05);
    ASSERT_TRUE(out.Open(Mono(8, 44100), 44100));
    EXPECT_EQ(std::tuple(out.StreamOpens(), out.PositionBytes()), std::tuple(3u, 0u));
    ASSERT_TRUE(out.Write(tone8.data(), tone8.size()));
    ASSERT_TRUE(done.WaitFor(3));
    EXPECT_EQ(out.PositionBytes(), tone8.size());

    // Two channels are a new stream; a whole stereo buffer plays out.
    WaveFormat stereo = Mono(16, 44100);
    stereo.channels = 2;
    ASSERT_TRUE(out.Open(stereo, 44100));
    std::vector<uint8_t> tone2 = Tone(16, 44100, 0.05);
    tone2.resize(tone2.size() / 4 * 4);  // whole frames of two samples
    ASSERT_TRUE(out.Write(tone2.data(), tone2.size()));
    ASSERT_TRUE(done.WaitFor(4));
    EXPECT_EQ(std::tuple(out.StreamOpens(), out.PositionBytes()), std::tuple(4u, tone2.size()));

    // A format it refuses (three channels, 24 bits) closes the stream, as before.
    WaveFormat three = Mono(8, 44100);
    three.channels = 3;
    EXPECT_FALSE(out.Open(three, 44100));
    EXPECT_FALSE(out.IsOpen());
    ASSERT_TRUE(out.Open(Mono(16, 22050), 22050));
    EXPECT_FALSE(out.Open(Mono(24, 22050), 22050));
    EXPECT_FALSE(out.IsOpen());

    SystemWaitClock clock;
    const auto made = MakeSoundOutput("portaudio", clock);
    ASSERT_NE(dynamic_cast<PortAudioOutput*>(made.get()), nullptr);
    EXPECT_TRUE(made->Open(Mono(16, 8000), 8000));
}

TEST(PortAudioOutput, WithoutADeviceOpenFails) {
    kestrune::testing::ScratchDir home;
    UseAsoundrc(home, kNoCard);
    PortAudioOutput out;
    const uint8_t bytes[2] = {};
    EXPECT_EQ((std::tuple{out.Open(Mono(16, 22050), 22050), out.IsOpen(), out.Write(bytes, 2)}),
              std::tuple(false, false, false));
}
