// Answer durations in whole seconds and tick texts, the input dialog's pause
// bookkeeping, fixed waits run as step sequences on a fake clock, and the
// one-step roll back with the waits of its replay.

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "core/battery/AnswerTiming.h"
#include "core/battery/RollBack.h"
#include "core/battery/StepSequence.h"
#include "core/util/Clock.h"

namespace kestrune {
namespace {

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
