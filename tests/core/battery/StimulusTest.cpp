// The playing and answering steps of a test: the stimulus player's buffer,
// sample by sample (interruption windows, noise bounds and draws, the rate
// clamp, the refusal of other bit depths and of files it cannot play) and the
// waits between repetitions; answer durations and the input dialog's pause
// bookkeeping; fixed waits run as step sequences on a fake clock; and the
// one-step roll back with the waits of its replay.

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <tuple>
#include <vector>

#include "core/CoreTestSupport.h"
#include "core/battery/AnswerTiming.h"
#include "core/battery/RollBack.h"
#include "core/battery/StepSequence.h"
#include "core/battery/Stimulus.h"
#include "core/util/Clock.h"
#include "support/ScratchDir.h"

namespace kestrune {
namespace {

WaveFormat Mono(std::uint16_t bits, std::uint32_t rate = 44100) {
    return PcmFormat(1, rate, bits);
}

// 16-bit samples that are never 0, so silence is visible everywhere.
std::vector<std::uint8_t> Ramp16(std::uint32_t count) {
    return testing::Bytes16(
        testing::Wave(count, [](int i) { return i % 2 ? -1 - i % 3000 : 1 + i % 3000; }));
}

std::vector<std::uint8_t> Ramp8(std::uint32_t count) {  // never 127
    return testing::Wave<std::uint8_t>(count, [](int i) { return 128 + i % 100; });
}

std::int16_t At16(const std::vector<std::uint8_t>& b, std::size_t i) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(b[2 * i] | (b[2 * i + 1] << 8)));
}

// A sample's distance from the middle of its range.
int Level(const std::vector<std::uint8_t>& b, std::uint16_t bits, std::size_t i) {
    return bits == 8 ? b[i] - 128 : At16(b, i);
}

ProcessedStimulus Process(const std::vector<std::uint8_t>& in, std::uint32_t count,
                          const WaveFormat& format, const StimulusSettings& settings) {
    CrtRandom random;
    StimulusOutcome out = ProcessStimulus(in.data(), count, format, settings, random);
    EXPECT_TRUE(out.ok) << out.message;
    return out.stimulus;
}

// Whole windows of `period` samples keep their first `keep` and silence the
// rest; a partial last window stays as it was.
TEST(StimulusInterruptionTest, WindowsKeepTheirFirstPart) {
    struct Case {
        std::uint16_t bits;
        std::uint32_t rate, count;
        double ms, kept;
        std::uint32_t period, keep;  // period 0: no interruption
    };
    const Case cases[] = {
        {16, 44100, 3 * 4410 + 1000, 100, 0.5, 4410, 2205},
        {8, 44100, 3 * 4410 + 1000, 100, 0.5, 4410, 2205},  // 8-bit silence is 127
        {16, 1000, 40, 2.0, 0.5, 2, 1},                     // the shortest period that interrupts
        {16, 1000, 40, 1.999, 0.5, 0, 0},                   // below 2 samples: nothing happens
        {16, 1000, 40, 10.0, 0.0, 10, 0},
        {16, 1000, 40, 10.0, 1.0, 10, 10},
        {16, 1000, 40, 10.0, 0.37, 10, 3},  // whole part of 3.7
        {16, 1000, 40, 10.0, -0.5, 10, 0},  // below 0 keeps nothing, never reaches back
        {16, 1000, 40, 10.0, 1.5, 10, 10},  // above 1 keeps everything
        {16, 1000, 40, 41.0, 0.5, 0, 0},    // no whole window
        {16, 1000, 40, 0.0, 0.5, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.bits << " bits, " << c.ms << " ms, kept " << c.kept);
        const auto in = c.bits == 16 ? Ramp16(c.count) : Ramp8(c.count);
        const ProcessedStimulus s = Process(in, c.count, Mono(c.bits, c.rate),
                                            {.interruptionMs = c.ms, .keptFraction = c.kept});
        ASSERT_EQ(s.samples.size(), in.size());
        for (std::uint32_t i = 0; i < c.count; ++i) {
            const bool silenced =
                c.period != 0 && i < c.count / c.period * c.period && i % c.period >= c.keep;
            ASSERT_EQ(Level(s.samples, c.bits, i),
                      silenced ? c.bits == 8 ? -1 : 0 : Level(in, c.bits, i))
                << "sample " << i;
        }
    }
}

TEST(StimulusNoiseTest, StaysWithinAmplitudeAndUsesOneDrawPerSample) {
    const std::uint32_t count = 20000;
    for (const std::uint16_t bits : {std::uint16_t{8}, std::uint16_t{16}}) {
        const auto in = bits == 8 ? std::vector<std::uint8_t>(count, 128)
                                  : std::vector<std::uint8_t>(2 * count, 0);
        const int amplitude = bits == 8 ? 32 : 8192;  // level 0.25
        CrtRandom random(1234);
        const StimulusOutcome out =
            ProcessStimulus(in.data(), count, Mono(bits), {.noiseLevel = 0.25}, random);
        ASSERT_TRUE(out.ok);
        int low = 0, high = 0;
        double sum = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            const int noise = Level(out.stimulus.samples, bits, i);
            ASSERT_LE(std::abs(noise), amplitude) << bits << "-bit sample " << i;
            low = std::min(low, noise);
            high = std::max(high, noise);
            sum += noise;
        }
        // Uniform over the whole range, centred on the sample.
        EXPECT_LT(low, -amplitude * 9 / 10);
        EXPECT_GT(high, amplitude * 9 / 10);
        EXPECT_LT(std::abs(sum / count), amplitude / 20.0);
        CrtRandom expected(1234);
        for (std::uint32_t i = 0; i < count; ++i) expected.Next();
        EXPECT_EQ(random.State(), expected.State()) << bits << "-bit";
    }

    // Seed 1: the first draw is 41. A = whole part of 32768 * 0.1 = 3276,
    // r = whole part of 6552 * 41 / 32767 = 8, so the noise is 8 - 3276.
    const auto one = Ramp16(1);
    EXPECT_EQ(At16(Process(one, 1, Mono(16), {.noiseLevel = 0.1}).samples, 0),
              At16(one, 0) + 8 - 3276);

    const auto in = Ramp16(300);
    for (const double level : {0.0, -0.5}) {
        CrtRandom random(99);
        const StimulusOutcome out =
            ProcessStimulus(in.data(), 300, Mono(16), {.noiseLevel = level}, random);
        ASSERT_TRUE(out.ok);
        EXPECT_EQ(out.stimulus.samples, in) << level;
        EXPECT_EQ(random.State(), 99u) << level;
    }
}

TEST(StimulusNoiseTest, ClipsAtTheSampleRangeAndCoversSilence) {
    const std::uint32_t count = 2000;
    // Full-scale samples with noise at full scale: half the draws push past
    // the limit and must stop exactly there.
    const auto loud16 =
        testing::Bytes16(testing::Wave(count, [](int i) { return i % 2 ? -32768 : 32767; }));
    const ProcessedStimulus s16 = Process(loud16, count, Mono(16), {.noiseLevel = 1.0});
    int atTop = 0, atBottom = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        atTop += At16(s16.samples, i) == 32767;
        atBottom += At16(s16.samples, i) == -32768;
    }
    EXPECT_GT(atTop, count / 8);
    EXPECT_GT(atBottom, count / 8);

    const auto loud8 = testing::Wave<std::uint8_t>(count, [](int i) { return i % 2 ? 0 : 255; });
    const ProcessedStimulus s8 = Process(loud8, count, Mono(8), {.noiseLevel = 2.0});
    int ends = 0;
    for (std::uint8_t v : s8.samples) ends += v == 0 || v == 255;
    EXPECT_GT(ends, static_cast<int>(count) * 4 / 10);

    // Noise comes after the interruption: silenced samples are noisy too.
    const auto in = Ramp8(100);
    const ProcessedStimulus both = Process(
        in, 100, Mono(8, 1000), {.noiseLevel = 0.5, .interruptionMs = 10, .keptFraction = 0.0});
    int moved = 0;
    for (std::uint8_t v : both.samples) {
        EXPECT_LE(std::abs(v - 127), 64);
        moved += v != 127;
    }
    EXPECT_GT(moved, 90);
}

TEST(StimulusSpeedTest, RateIsClampedAndTruncated) {
    struct Case {
        std::uint32_t rate;
        double speed;
        std::uint32_t expected;
    };
    const Case cases[] = {
        {44100, 7.0, 220500},                             // above 5: five times
        {44100, 5.0, 220500},                             // the limit itself
        {44100, 4.99, 220059},                            // whole part of 220059.0
        {44100, 1.0, 44100},         {44100, 0.1, 4410},  // the lower limit
        {44100, 0.05, 4410},                              // below: a tenth
        {44100, 0.0, 4410},          {44100, -3.0, 4410},
        {44100, std::nan(""), 4410}, {11025, 0.1, 1102},  // whole part of 1102.5
        {22050, 2.5, 55125},         {4000000000u, 5.0, std::numeric_limits<std::uint32_t>::max()},
    };
    const auto in = Ramp16(10);
    for (const Case& c : cases) {
        EXPECT_EQ(PlaybackRate(c.rate, c.speed), c.expected) << c.rate << " x " << c.speed;
        const WaveFormat format = Mono(16, c.rate);
        const ProcessedStimulus s = Process(in, 10, format, {.speed = c.speed});
        EXPECT_EQ(s.format.sampleRate, c.expected);
        // Only the rate changes: the byte rate and the rest stay, samples too.
        EXPECT_EQ(s.format.bytesPerSecond, format.bytesPerSecond);
        EXPECT_EQ(s.format.blockAlign, format.blockAlign);
        EXPECT_EQ(s.samples, in);
    }
}

TEST(StimulusPlayerTest, RefusesOtherBitDepthsAndCopiesOnlyCountSamples) {
    const std::vector<std::uint8_t> in(64, 1);
    for (const std::uint16_t bits : {0, 4, 12, 24, 32}) {
        CrtRandom random(7);
        WaveFormat format = Mono(16);
        format.bitsPerSample = bits;
        const StimulusOutcome out = ProcessStimulus(
            in.data(), 8, format, {.noiseLevel = 0.5, .interruptionMs = 100}, random);
        EXPECT_FALSE(out.ok) << bits;
        EXPECT_EQ(out.message, "Invalid sample bits!");
        EXPECT_TRUE(out.stimulus.samples.empty());
        EXPECT_EQ(random.State(), 7u);
    }

    // Only `count` samples are copied; the input stays as it was.
    const auto ramp = Ramp16(100);
    const auto before = ramp;
    const ProcessedStimulus s =
        Process(ramp, 60, Mono(16, 1000),
                {.noiseLevel = 0.3, .interruptionMs = 10, .keptFraction = 0.5, .repeatCount = 2});
    EXPECT_EQ(ramp, before);
    EXPECT_EQ(std::tuple(s.sampleCount, s.samples.size(), s.repeatCount), std::tuple(60u, 120u, 2));
}

TEST(PlaybackPlanTest, WaitsAreBufferLengthPlusGap) {
    struct Case {
        std::uint32_t rate;
        std::uint32_t count;
        std::uint64_t wait;
    };
    const Case cases[] = {
        {44100, 44100, 1300}, {88200, 44100, 800},  // double speed halves the sounding part only
        {220500, 4410, 320},  {22050, 1, 300},      // 0.045 ms truncates to 0
        {8000, 12345, 1843},                        // 1543.125 truncated
        {44100, 1000, 322},                         // 22.68 truncated, not rounded
        {19, 19, 1299},                             // 1000 / 19 * 19 = 999.99...
        {0, 1000, 300},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RepeatWaitMs(c.rate, c.count), c.wait) << c.rate << ", " << c.count;
    }

    const auto in = Ramp16(8000);
    const ProcessedStimulus s = Process(in, 8000, Mono(16, 8000), {.speed = 2.0});
    const PlaybackPlan plan = PlanPlayback(s);
    EXPECT_EQ(plan.waitMs, 800u);
    EXPECT_EQ(plan.writeAtMs, (std::vector<std::uint64_t>{0, 800, 1600}));
    EXPECT_EQ(plan.totalMs, 2400u);

    ProcessedStimulus none = s;
    none.repeatCount = 0;
    EXPECT_TRUE(PlanPlayback(none).writeAtMs.empty());
    EXPECT_EQ(PlanPlayback(none).totalMs, 0u);
}

// Files that cannot be played are refused with the dialog's texts.
TEST(StimulusFileTest, RefusalsCarryTheDialogTexts) {
    testing::ScratchDir dir;
    EXPECT_EQ(LoadStimulus(dir.File("missing.wav")).message,
              "Invalid path or file name!\nIt can not be opened!");
    EXPECT_EQ(LoadStimulus(dir.File("missing.wav"),
                           "Invalid path or file name!\nSyllable wave file can not be opened!")
                  .message,
              "Invalid path or file name!\nSyllable wave file can not be opened!");
    std::string riff = "RIFF\x24\x00\x00\x00WAVX";
    riff.resize(64, '\0');
    const LoadedStimulus notWave = LoadStimulus(dir.Write("bad.wav", riff));
    EXPECT_FALSE(notWave.ok);
    EXPECT_EQ(notWave.message, "Invalid file type or damaged file!");
}

TEST(AnswerTimingTest, TickTextsAndWholeSecondsFromTrialStartLessPause) {
    EXPECT_EQ(TickDurationText(1000, 3456), "2.46");  // 2.456 rounds in printf
    EXPECT_EQ(TickDurationText(1000, 3460, 400), "2.06");
    EXPECT_EQ(TickDurationText(1000, 1400, 400), "0.00");
    EXPECT_EQ(TickDurationText(1000, 1200, 400), "0.00");  // negative counts as 0
    EXPECT_EQ(TickDurationText(5000, 1000), "0.00");
    EXPECT_EQ(TickDurationText(0, 123456789), "123456.79");
    EXPECT_EQ(TickDurationText(0, 7), "0.01");

    FakeClock clock(1700000000, 50000);
    TrialTimer timer(clock);
    clock.AdvanceMs(10000);  // time before any stimulus played still counts
    AnswerTime answer = timer.Confirm();
    EXPECT_EQ(answer.durationSeconds, 10);

    clock.AdvanceMs(500);
    timer.StartTrial();
    EXPECT_EQ(timer.TrialStart(), 1700000010);
    EXPECT_EQ(timer.TrialStartTickMs(), 60500u);
    clock.AdvanceMs(7700);  // wall clock 1700000010.5 -> 1700000018.2
    answer = timer.Confirm(3);
    EXPECT_EQ(std::tie(answer.at, answer.atText, answer.atTickMs, answer.durationSeconds),
              std::tuple(1700000018, FormatLocalTime(1700000018), 68200u, 8 - 3));
    EXPECT_EQ(timer.TickDuration(400), "7.30");
    EXPECT_EQ(WholeSecondsDuration(100, 90), -10);
}

TEST(AnswerTimingTest, PauseTrackerAddsEachPause) {
    FakeClock clock(1000);
    PauseTracker pause(clock);
    pause.Resume();  // not paused: nothing
    EXPECT_EQ(pause.PausedSeconds(), 0);
    pause.Pause();
    EXPECT_TRUE(pause.Paused());
    clock.AdvanceMs(4000);
    pause.Pause();  // already paused: the start stays
    clock.AdvanceMs(2000);
    pause.Resume();
    EXPECT_FALSE(pause.Paused());
    EXPECT_EQ(pause.PausedSeconds(), 6);
    clock.AdvanceMs(10000);
    pause.Pause();
    clock.AdvanceMs(3000);
    pause.Resume();
    EXPECT_EQ(pause.PausedSeconds(), 9);
}

// A sequence that records when each step ran on the clock.
struct Recorder {
    FakeClock& clock;
    std::vector<std::pair<std::string, std::uint64_t>> ran;
    std::function<void()> Note(const std::string& name) {
        return [this, name] { ran.emplace_back(name, clock.TickMs()); };
    }
};

TEST(StepSequenceTest, RunsInOrderWithWaitsOnFakeClock) {
    FakeClock clock(0, 1000);
    Recorder rec{clock};
    StepSequence seq;
    seq.Do("announce", rec.Note("announce"))
        .Then(3000, "play", rec.Note("play"))
        .Then(2000, "prompt", rec.Note("prompt"))
        .Then(0, "enable", rec.Note("enable"));
    EXPECT_EQ(RunOnClock(seq, clock), 5000u);
    EXPECT_TRUE(seq.Done());
    EXPECT_EQ(rec.ran,
              (std::vector<std::pair<std::string, std::uint64_t>>{
                  {"announce", 1000}, {"play", 4000}, {"prompt", 6000}, {"enable", 6000}}));
}

TEST(StepSequenceTest, AdvanceRunsOnlyWhatIsDue) {
    FakeClock clock;
    Recorder rec{clock};
    StepSequence seq;
    seq.Then(1000, "a", rec.Note("a"))
        .Then(1000, "b", rec.Note("b"))
        .Then(1000, "c", rec.Note("c"));
    EXPECT_EQ(AdvanceClock(seq, clock, 999), 0u);
    EXPECT_EQ(seq.NextDueMs(), 1000u);
    EXPECT_EQ(AdvanceClock(seq, clock, 1), 1u);
    EXPECT_EQ(AdvanceClock(seq, clock, 1500), 1u);  // b at 2000; c due at 3000
    EXPECT_EQ(clock.TickMs(), 2500u);
    EXPECT_EQ(AdvanceClock(seq, clock, 10000), 1u);
    EXPECT_EQ(clock.TickMs(), 12500u);
    EXPECT_EQ(rec.ran, (std::vector<std::pair<std::string, std::uint64_t>>{
                           {"a", 1000}, {"b", 2000}, {"c", 3000}}));
    EXPECT_FALSE(seq.NextDueMs());
}

TEST(StepSequenceTest, TimerDrivingAppendingAndCancelling) {
    std::vector<std::string> ran;
    StepSequence seq;
    seq.Then(1000, "first",
             [&] {
                 ran.push_back("first");
                 seq.Then(250, "appended", [&] { ran.push_back("appended"); });
             })
        .Then(2000, "second", [&] {
            ran.push_back("second");
            seq.Cancel();
        });
    // As an event loop drives it: ask the delay, run when the timer fires.
    std::vector<std::uint64_t> delays;
    while (std::optional<std::uint64_t> delay = seq.NextDelayMs()) {
        delays.push_back(*delay);
        seq.RunNext();
    }
    EXPECT_EQ(delays, (std::vector<std::uint64_t>{1000, 2000}));
    EXPECT_EQ(ran, (std::vector<std::string>{"first", "second"}));  // cancelled before "appended"
    EXPECT_TRUE(seq.Cancelled());
    EXPECT_FALSE(seq.RunNext());
}

// Logs every host call with the fake clock's tick.
class FakeHost : public RollBackHost {
  public:
    explicit FakeHost(const FakeClock& clock) : clock_(clock) {}

    bool confirmAnswer = true;
    int trialRows = 1;
    std::vector<std::string> log;
    TestPosition restored{-1, -1};

    void StopWorker() override { Note("stop worker"); }
    bool Confirm(const std::string& text) override {
        Note("confirm: " + text);
        return confirmAnswer;
    }
    void Message(const std::string& text) override { Note("message: " + text); }
    bool TakeNewestTrial() override {
        Note("take newest trial");
        if (trialRows == 0) return false;
        --trialRows;
        return true;
    }
    void SetRollBackEnabled(bool enabled) override { Note(enabled ? "enable" : "disable"); }
    void RestorePosition(const TestPosition& position) override {
        restored = position;
        Note("restore " + std::to_string(position.item) + "," + std::to_string(position.step));
    }
    void PreviousPicture() override { Note("previous picture"); }
    void UpdateProgress() override { Note("progress"); }
    void StartWorker() override { Note("start worker"); }
    void PromptAnswer() override { Note("prompt"); }

  private:
    void Note(const std::string& what) {
        log.push_back(std::to_string(clock_.TickMs()) + " " + what);
    }
    const FakeClock& clock_;
};

const std::string kConfirm = "0 confirm: Are you sure to roll back the result affected just now?";

class RollBackTest : public ::testing::Test {
  protected:
    FakeClock clock;
    FakeHost host{clock};
    RollBack rollBack;
    StepSequence replay;
};

TEST_F(RollBackTest, RestoresUndoPositionAndReplaysWithWaits) {
    rollBack.SaveUndoPosition({2, 5});
    rollBack.SetEnabled(true);
    EXPECT_EQ(rollBack.Run(host, replay), RollBackResult::RolledBack);
    EXPECT_FALSE(rollBack.Enabled());
    EXPECT_EQ(host.restored, (TestPosition{2, 5}));
    EXPECT_EQ(RunOnClock(replay, clock), 3000u);
    EXPECT_EQ(
        host.log,
        (std::vector<std::string>{
            "0 stop worker", kConfirm, "0 take newest trial", "0 disable", "0 restore 2,5",
            "0 previous picture", "0 progress",
            "0 message: Now you have rolled back. Please listen carefully, and choose a button "
            "in the right!",
            "1000 start worker", "3000 prompt"}));

    // Only one step: a second press does nothing until the next answer.
    host.log.clear();
    StepSequence again;
    EXPECT_EQ(rollBack.Run(host, again), RollBackResult::Unavailable);
    EXPECT_TRUE(host.log.empty());
    EXPECT_TRUE(again.Done());
    EXPECT_EQ(host.trialRows, 0);
}

TEST_F(RollBackTest, CancelAndMissingRowKeepTheButton) {
    host.confirmAnswer = false;
    rollBack.SaveUndoPosition({1, 0});
    rollBack.SetEnabled(true);
    EXPECT_EQ(rollBack.Run(host, replay), RollBackResult::Cancelled);
    EXPECT_EQ(host.log, (std::vector<std::string>{"0 stop worker", kConfirm}));
    EXPECT_TRUE(rollBack.Enabled());
    EXPECT_EQ(host.trialRows, 1);

    host.log.clear();
    host.confirmAnswer = true;
    host.trialRows = 0;
    EXPECT_EQ(rollBack.Run(host, replay), RollBackResult::NoTrial);
    EXPECT_EQ(host.log, (std::vector<std::string>{"0 stop worker", kConfirm, "0 take newest trial",
                                                  "0 message: Roll back failed!"}));
    EXPECT_TRUE(rollBack.Enabled());
    EXPECT_EQ(host.restored, (TestPosition{-1, -1}));
    EXPECT_TRUE(replay.Steps().empty());
}

TEST_F(RollBackTest, BackAtTheBeginningStopsAfterRestoring) {
    // The undo position starts at item 0, step 0.
    EXPECT_EQ(rollBack.UndoPosition(), (TestPosition{0, 0}));
    rollBack.SetEnabled(true);
    EXPECT_EQ(rollBack.Run(host, replay), RollBackResult::AtBeginning);
    EXPECT_EQ(host.log,
              (std::vector<std::string>{
                  "0 stop worker", kConfirm, "0 take newest trial", "0 disable", "0 restore 0,0",
                  "0 message: Now it is in the beginning, can not roll more back!"}));
    EXPECT_TRUE(replay.Steps().empty());
    EXPECT_FALSE(rollBack.Enabled());
}

}  // namespace
}  // namespace kestrune
