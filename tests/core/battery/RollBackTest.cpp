// The one-step roll back: what it asks, removes and restores, in order, and
// the waits of the replay.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/battery/RollBack.h"
#include "core/util/Clock.h"

namespace kestrune {
namespace {

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
