// The sentence recognition test driven by scripted listeners through a
// recording host on a fake clock: the sweep, both answer paths, the rows
// they write, roll back and the waits between the steps.

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/battery/SentenceRecognition.h"

namespace kestrune {
namespace {

SentenceItem Item(int audioId, int mask, double begin, double end, double interval) {
    SentenceItem item;
    item.audioId = audioId;
    item.wavePath = "s" + std::to_string(audioId) + ".wav";
    item.factorMask = mask;
    item.playSpeed = 1.0;
    item.noiseLevel = 0.1;
    item.period = 20.0;
    item.keptFraction = 1.0;
    item.begin = begin;
    item.end = end;
    item.interval = interval;
    return item;
}

TEST(SentenceSweepTest, StepsValuesAndStimuli) {
    struct Case {
        SentenceItem item;
        int steps;
        double lastValue;
    };
    const Case cases[] = {
        {Item(1, kSweepKeptFraction, 0.3, 1.0, 0.1), 8, 1.0},
        {Item(1, kSweepSpeed, 2.4, 1.0, -0.2), 8, 1.0},
        {Item(1, kSweepPeriod, 10, 100, 30), 4, 100},
        {Item(1, kSweepPeriod, 10, 90, 30), 3, 70},
        {Item(1, kSweepSpeed, 1.0, 1.0, 0.5), 1, 1.0},
        {Item(1, kSweepSpeed, 1.0, 2.0, 0.0), 1, 1.0},  // no interval: one step
        {Item(1, kSweepSpeed, 2.0, 1.0, 0.5), 1, 2.0},  // the wrong way: BEGIN only
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item.begin);
        EXPECT_EQ(SentenceStepCount(c.item), c.steps);
        EXPECT_NEAR(SentenceSweepValue(c.item, c.steps - 1), c.lastValue, 1e-9);
        EXPECT_FALSE(SentenceCanStep(c.item, c.steps - 1));
        if (c.steps > 1) {
            EXPECT_TRUE(SentenceCanStep(c.item, c.steps - 2));
        }
    }
    // The swept factor gets the value, the others stay fixed; mask 2 plays nothing.
    const auto speed = SentenceStimulus(Item(1, kSweepSpeed, 2.4, 1.0, -0.2), 2);
    ASSERT_TRUE(speed);
    EXPECT_NEAR(speed->speed, 2.0, 1e-9);
    EXPECT_EQ(speed->interruptionMs, 20.0);
    EXPECT_EQ(speed->keptFraction, 1.0);
    EXPECT_EQ(speed->noiseLevel, 0.1);
    EXPECT_EQ(speed->repeatCount, 3);
    const auto period = SentenceStimulus(Item(1, kSweepPeriod, 10, 100, 30), 1);
    ASSERT_TRUE(period);
    EXPECT_EQ(period->interruptionMs, 40.0);
    EXPECT_EQ(period->speed, 1.0);
    const auto kept = SentenceStimulus(Item(1, kSweepKeptFraction, 0.3, 1.0, 0.1), 3);
    ASSERT_TRUE(kept);
    EXPECT_NEAR(kept->keptFraction, 0.6, 1e-9);
    EXPECT_FALSE(SentenceStimulus(Item(1, 2, 0.3, 1.0, 0.1), 0));
}

TEST(SentenceScenarioTest, LookupRefusalsAndMoreThanTwentyItems) {
    std::string text = "[INFO]\nTESTTYPE=SINGLE\nTOTAL=25\n";
    for (int i = 1; i <= 25; ++i)
        text += "[DATA" + std::to_string(i) + "]\nFILE=" + std::to_string(i) +
                "\nTYPEMASK=8\nBEGIN=0.3\nEND=1.0\nINTERVAL=0.1\nSNR=0.05\n";
    const Scenario scenario = Scenario::FromText(text, "/tmp");
    struct Case {
        int missing;  // the audio id without a row (0: none)
        int noPath;   // the audio id whose path is null
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {0, 0, {}},
        {7, 0, {kInvalidAudioIdMessage, kLoadingScenarioFailedMessage}},
        {0, 3, {kInvalidAudioPathMessage, kLoadingScenarioFailedMessage}},
    };
    for (const Case& c : cases) {
        SentenceSettings settings;
        const ScenarioCheck check = ReadSentenceScenario(
            scenario,
            [&](int id) {
                MaterialLookup found;
                if (id != c.missing) found.path = id == c.noPath ? "" : "m" + std::to_string(id);
                return found;
            },
            settings);
        EXPECT_EQ(check.messages, c.messages);
        if (c.messages.empty()) {
            ASSERT_EQ(settings.items.size(), 25u);
            EXPECT_EQ(settings.items[24].wavePath, "m25");
            EXPECT_EQ(settings.items[24].noiseLevel, 0.05);
        } else {
            EXPECT_TRUE(settings.items.empty());
        }
    }
}

// The window as a script sees it: what was played when, the rows stored,
// and the entry windows open; rows are taken back from the end.
class ScriptHost : public SentenceHost {
  public:
    explicit ScriptHost(FakeClock& clock) : clock_(clock) {}
    SentenceRecognitionTest* test = nullptr;
    std::map<int, std::string> contents;
    std::vector<SentenceRecord> rows;
    struct Played {
        std::uint64_t atMs;
        std::string path;
        std::optional<StimulusSettings> settings;
    };
    std::vector<Played> played;
    std::vector<std::string> messages;
    std::string instruction;
    bool answerButtons = false, rollBackButton = false, startButton = true;
    bool typedOpen = false, contentOpen = false, closed = false, failStore = false;
    std::string typedText;
    int pictureMoves = 0;
    int progress = 0, range = 0;

    void ShowInstruction(const std::string& text) override { instruction = text; }
    void SetStartEnabled(bool on) override { startButton = on; }
    void SetAnswerButtons(bool on) override { answerButtons = on; }
    void PlayStimulus(const std::string& path,
                      const std::optional<StimulusSettings>& settings) override {
        played.push_back({clock_.TickMs(), path, settings});
        test->StimulusStarted();
    }
    void OpenTypedEntry(const std::string& text) override {
        typedOpen = true;
        typedText = text;
    }
    void OpenContentEntry() override { contentOpen = true; }
    void CloseEntries() override { typedOpen = contentOpen = false; }
    std::optional<std::string> Content(int id) override {
        const auto found = contents.find(id);
        if (found == contents.end()) return std::nullopt;
        return found->second;
    }
    std::optional<int> NextTimes(int id, bool belowFull) override {
        int most = 0;
        for (const SentenceRecord& r : rows)
            if (r.audioId == id && r.recognised == 1.0 && (!belowFull || r.state < 1.0))
                most = std::max(most, r.times);
        return most + 1;
    }
    bool Store(const SentenceRecord& record) override {
        if (failStore) {
            messages.push_back("store failed");
            return false;
        }
        rows.push_back(record);
        return true;
    }
    void AdvancePicture() override { ++pictureMoves; }
    void ShowProgress(int position, int r) override {
        progress = position;
        range = r;
    }
    void RunSteps(StepSequence steps) override { steps_.Replace(std::move(steps)); }
    void CancelSteps() override { steps_.Cancel(); }
    void CloseTest() override { closed = true; }
    void StopWorker() override {}
    bool Confirm(const std::string&) override { return confirm; }
    void Message(const std::string& text) override { messages.push_back(text); }
    bool TakeNewestTrial() override {
        if (rows.empty()) return false;
        test->RestoreState(rows.back().state);
        rows.pop_back();
        return true;
    }
    void SetRollBackEnabled(bool on) override { rollBackButton = on; }
    void RestorePosition(const TestPosition& p) override { test->RestorePosition(p); }
    void PreviousPicture() override { --pictureMoves; }
    void UpdateProgress() override {
        ShowProgress(test->ProgressPosition(), test->ProgressRange());
    }
    void StartWorker() override { test->PlayCurrent(); }
    void PromptAnswer() override { test->Prompt(); }

    bool confirm = true;

    /** Runs every wait that is due, in order, until the test waits for the subject. */
    void Settle() { steps_.Settle(clock_); }

  private:
    FakeClock& clock_;
    PendingSteps steps_;
};

struct Session {
    FakeClock clock{1'700'000'000, 0};
    ScriptHost host{clock};
    SentenceRecognitionTest test;
    explicit Session(std::vector<SentenceItem> items)
        : test(SentenceSettings{"", 0, std::move(items)}, host, clock) {
        host.test = &test;
        host.contents = {{1, "きょうはいいてんきです"}, {2, "あめがふる"}};
    }
    // One scripted action: "" types nothing, "=text" types text, "R", "T",
    // "N" press a button (R and T then enter "content"), "C" cancels an
    // entry, "B" rolls back.
    void Do(const std::string& action, const std::string& content = "x") {
        if (action == "R" || action == "T" || action == "N") {
            test.Button(action == "R"   ? SentenceAnswer::Recognised
                        : action == "T" ? SentenceAnswer::TryIt
                                        : SentenceAnswer::NotRecognised);
            if (action != "N") test.ContentEntered(content, 0);
        } else if (action == "C") {
            test.ContentCancelled();
        } else if (action == "B") {
            test.RollBackLast();
        } else {
            test.Typed(action.empty() ? "" : action.substr(1), 0);
        }
        host.Settle();
    }
};

TEST(SentenceSessionTest, TypedAnswersSweepAndMoveOn) {
    Session s({Item(1, kSweepKeptFraction, 0.3, 1.0, 0.1), Item(2, kSweepSpeed, 2.4, 1.0, -0.2)});
    s.test.Start();
    s.host.Settle();
    // The first stimulus 3 s after the start, the prompt and the entry 6 s later.
    ASSERT_EQ(s.host.played.size(), 1u);
    EXPECT_EQ(s.host.played[0].atMs, 3000u);
    EXPECT_EQ(s.clock.TickMs(), 9000u);
    EXPECT_TRUE(s.host.typedOpen);
    EXPECT_TRUE(s.host.answerButtons);
    EXPECT_EQ(s.host.range, 16);

    // Eight empty answers run the kept fraction 0.3 ... 1.0 and end the item.
    for (int i = 0; i < 8; ++i) s.Do("");
    ASSERT_EQ(s.host.rows.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NEAR(s.host.rows[i].keptFraction, 0.3 + 0.1 * i, 1e-9);
        EXPECT_NEAR(s.host.played[i].settings->keptFraction, 0.3 + 0.1 * i, 1e-9);
        EXPECT_EQ(s.host.rows[i].recognised, 0.0);
        EXPECT_EQ(s.host.rows[i].state, 0.0);
        EXPECT_FALSE(s.host.rows[i].content);
        EXPECT_EQ(s.host.rows[i].durationSeconds, 6);
    }
    EXPECT_EQ(s.test.Item(), 1);
    EXPECT_EQ(s.host.pictureMoves, 1);
    EXPECT_EQ(s.host.progress, 8);
    EXPECT_FALSE(s.host.rollBackButton);

    // Item 2: unrecognised, a near miss (a trailing blank), then the sentence
    // at the third step; the edit starts with the previous answer.
    s.Do("");
    s.Do("=あめがふる ");
    EXPECT_EQ(s.host.typedText, "あめがふる ");
    s.Do("=あめがふる");
    ASSERT_EQ(s.host.rows.size(), 11u);
    const SentenceRecord& near = s.host.rows[9];
    EXPECT_EQ(near.recognised, 0.5);
    EXPECT_EQ(near.content, "あめがふる ");
    const SentenceRecord& hit = s.host.rows[10];
    EXPECT_EQ(hit.recognised, 1.0);
    EXPECT_EQ(hit.state, 0.5);
    EXPECT_NEAR(hit.playSpeed, 2.0, 1e-9);
    EXPECT_EQ(hit.times, 1);
    EXPECT_EQ(s.host.played.back().settings->speed, 2.0);

    // The end: thanks, the message a second later, everything off.
    EXPECT_EQ(s.host.messages, std::vector<std::string>{kThanksMessage});
    EXPECT_EQ(s.host.instruction, kCloseText);
    EXPECT_EQ(s.test.CurrentPhase(), SentenceRecognitionTest::Phase::Done);
    EXPECT_FALSE(s.host.answerButtons);
    s.Do("=late");
    EXPECT_EQ(s.host.rows.size(), 11u);
}

TEST(SentenceSessionTest, ButtonAnswersRollBackAndOneRowPerAnswer) {
    Session s({Item(1, kSweepPeriod, 10, 100, 30), Item(2, 2, 0, 0, 1)});
    s.test.Start();
    s.host.Settle();
    s.test.Button(SentenceAnswer::NotRecognised);  // the round's entry closes
    EXPECT_FALSE(s.host.typedOpen);
    s.test.Typed("late", 0);  // and its late answer is not taken
    s.host.Settle();
    EXPECT_EQ(s.host.rows.size(), 1u);
    EXPECT_EQ(s.host.instruction, kChooseText);

    // "やってみましょう" moves the picture; cancelling its entry keeps the round.
    s.test.Button(SentenceAnswer::TryIt);
    s.Do("C");
    EXPECT_EQ(s.host.rows.size(), 1u);
    EXPECT_TRUE(s.host.answerButtons);
    s.Do("T", "たぶん");
    ASSERT_EQ(s.host.rows.size(), 2u);
    EXPECT_EQ(s.host.rows[1].recognised, 0.5);
    EXPECT_EQ(s.host.rows[1].period, 40.0);
    EXPECT_EQ(s.host.rows[1].content, "たぶん");
    EXPECT_EQ(s.test.Step(), 2);
    EXPECT_EQ(s.test.State(), 0.5);
    EXPECT_EQ(s.host.pictureMoves, 1);

    // Roll back: the row goes, state and step come back, the stimulus of
    // that step plays again 1 s after the message.
    const std::uint64_t before = s.clock.TickMs();
    s.Do("B");
    ASSERT_EQ(s.host.rows.size(), 1u);
    EXPECT_EQ(s.test.Step(), 1);
    EXPECT_EQ(s.test.State(), 0.0);
    EXPECT_EQ(s.host.pictureMoves, 0);
    EXPECT_EQ(s.host.played.back().atMs, before + 1000);
    EXPECT_EQ(s.host.played.back().settings->interruptionMs, 40.0);
    EXPECT_FALSE(s.host.rollBackButton);
    EXPECT_EQ(s.test.RollBackLast(), RollBackResult::Unavailable);

    // Recognised: the next item, whose mask plays nothing; its answers count.
    s.Do("R", "しょうがつ");
    EXPECT_EQ(s.test.Item(), 1);
    EXPECT_FALSE(s.host.played.back().settings);
    s.host.failStore = true;  // the database refuses: nothing moves
    s.Do("N");
    EXPECT_EQ(s.test.Item(), 1);
    EXPECT_TRUE(s.host.answerButtons);
    s.host.failStore = false;
    s.Do("N");
    ASSERT_EQ(s.host.rows.size(), 3u);
    EXPECT_EQ(s.host.rows[2].factorMask, 2);
    EXPECT_EQ(s.test.CurrentPhase(), SentenceRecognitionTest::Phase::Done);
}

TEST(SentenceSessionTest, RecognitionCountsAcrossSessionsAndQuit) {
    Session s({Item(1, kSweepSpeed, 1.0, 1.0, 0.1), Item(1, kSweepSpeed, 1.0, 1.0, 0.1),
               Item(1, kSweepSpeed, 1.0, 1.0, 0.1)});
    s.test.Start();
    s.host.Settle();
    s.Do("R");  // a first recognition of the material: 1
    s.Do("R");  // after an earlier recognised one: 2
    EXPECT_EQ(s.host.rows[0].times, 1);
    EXPECT_EQ(s.host.rows[1].times, 2);
    // Rolling back the second recognition once it is the last answer.
    s.Do("B");
    EXPECT_EQ(s.host.rows.size(), 1u);
    EXPECT_EQ(s.test.Item(), 1);
    s.test.Quit();
    EXPECT_TRUE(s.host.closed);
}

}  // namespace
}  // namespace kestrune
