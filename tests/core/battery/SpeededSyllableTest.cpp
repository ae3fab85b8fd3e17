// The speeded syllable test driven by scripted listeners through a recording
// host on a fake clock: the answers' rows and how they move the items, the
// weighted draw, progress, the rating and the waits.

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "core/battery/SpeededSyllable.h"

namespace kestrune {
namespace {

SpeedupItem Item(double begin, double end, double interval, int misses) {
    SpeedupItem item;
    item.path = "v.wav";
    item.begin = item.speed = begin;
    item.end = end;
    item.interval = interval;
    item.missPermission = misses;
    item.playTimes = 3;
    return item;
}

class ScriptHost final : public SpeedupHost {
  public:
    explicit ScriptHost(FakeClock& clock) : clock_(clock) {}
    SpeededSyllableTest* test = nullptr;
    std::vector<SpeedupRecord> rows;
    std::vector<std::string> messages;
    std::vector<std::uint64_t> playedAt;
    bool start = true, confirm = false, cannot = false, closeAsked = false;
    std::uint64_t cannotAt = 0;

    void SetStartEnabled(bool on) override { start = on; }
    void SetConfirmEnabled(bool on) override { confirm = on; }
    void SetCannotIdentifyEnabled(bool on) override {
        cannot = on;
        if (on) cannotAt = clock_.TickMs();
    }
    void ShowChoice(int) override {}
    void ShowTrialCount(int) override {}
    void ShowProgress(const SpeedupProgress&) override {}
    bool PlayStimulus(const std::string&, const StimulusSettings& s) override {
        playedAt.push_back(clock_.TickMs());
        test->StimulusStarted();
        clock_.AdvanceMs(static_cast<std::uint64_t>(500 * s.repeatCount));
        test->PlaybackFinished();
        return true;
    }
    void StopWorker() override {}
    bool Store(const SpeedupRecord& r) override {
        rows.push_back(r);
        return true;
    }
    std::optional<double> AverageFailingSpeed() override {
        double sum = 0;
        int n = 0;
        for (const SpeedupRecord& r : rows)
            if (r.state == 0.0 && r.validity == 1) sum += std::stod(r.speedText), ++n;
        return n > 0 ? std::optional(sum / n) : std::nullopt;
    }
    void Message(const std::string& text) override { messages.push_back(text); }
    void AdvancePicture() override {}
    void RunSteps(StepSequence steps) override { steps_.Replace(std::move(steps)); }
    void CancelSteps() override { steps_.Cancel(); }
    void RequestClose() override { closeAsked = true; }
    void Settle() { steps_.Settle(clock_); }

  private:
    FakeClock& clock_;
    PendingSteps steps_;
};

struct Session {
    FakeClock clock{1'700'000'000, 0};
    ScriptHost host{clock};
    CrtRandom random{7};
    SpeededSyllableTest test;
    explicit Session(std::vector<SpeedupItem> items)
        : test(SpeedupSettings{"", 0, 60, 0, std::move(items)}, host, random, clock) {
        host.test = &test;
        test.Start();
        host.Settle();
    }
    /** A listener who identifies vowel v up to `limits[v]`. */
    void Listen(const std::vector<double>& limits) {
        while (test.CurrentItem() >= 0) {
            const int v = test.CurrentItem();
            if (test.Items()[v].speed <= limits[v] + 1e-9) {
                test.Choose(v);
                test.Confirm();
            } else {
                test.CannotIdentify();
            }
            host.Settle();
        }
    }
};

TEST(SpeedupAnswerTest, OneAnswerMovesTheItem) {
    struct Case {
        const char* name;
        SpeedupItem item;
        bool correct;
        double state;
        int validity;
        double begin, speed;
        int misses;
        bool finished;
    };
    auto at = [](SpeedupItem item, double speed, int misses) {
        item.speed = speed;
        item.misses = misses;
        return item;
    };
    const Case cases[] = {
        {"right moves up", Item(1.0, 3.0, 0.2, 1), true, 1, 1, 1.0, 1.2, 0, false},
        {"right at END ends", at(Item(1.0, 3.0, 0.2, 1), 3.0, 1), true, 1, 1, 1.0, 3.2, 0, true},
        {"first miss above BEGIN", at(Item(1.0, 3.0, 0.2, 1), 1.4, 0), false, 0.5, 1, 1.0, 1.4, 1,
         false},
        {"last miss above BEGIN", at(Item(1.0, 3.0, 0.2, 1), 1.4, 1), false, 0, 1, 1.0, 1.4, 1,
         true},
        {"first miss at BEGIN", Item(2.0, 3.0, 0.2, 1), false, 0.5, 1, 2.0, 2.0, 1, false},
        {"last miss at 2.0 restarts", at(Item(2.0, 3.0, 0.2, 1), 2.0, 1), false, 0, 3, 1.6, 1.6, 0,
         false},
        {"no misses allowed restarts", Item(1.0, 3.0, 0.5, 0), false, 0, 3, 0.0, 0.0, 0, false},
        {"last miss at 3.2 ends", at(Item(3.2, 4.0, 0.2, 1), 3.2, 1), false, 0, 3, 3.2, 3.2, 1,
         true},
        {"last miss at 0.8 ends", at(Item(0.8, 3.0, 0.2, 1), 0.8, 1), false, 0, 3, 0.8, 0.8, 1,
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Session s({c.item});
        ASSERT_EQ(s.test.CurrentItem(), 0);
        s.test.Choose(c.correct ? 0 : 1);  // い for あ when wrong
        s.test.Confirm();
        ASSERT_EQ(s.host.rows.size(), 1u);
        const SpeedupRecord& row = s.host.rows[0];
        EXPECT_EQ(row.content, "あ");
        EXPECT_EQ(row.recognised, c.correct ? "あ" : "い");
        EXPECT_EQ(row.state, c.state);
        EXPECT_EQ(row.validity, c.validity);
        EXPECT_EQ(row.volume, 60);
        const SpeedupItem& item = s.test.Items()[0];
        EXPECT_NEAR(item.begin, c.begin, 1e-9);
        EXPECT_NEAR(item.speed, c.speed, 1e-9);
        EXPECT_EQ(item.misses, c.misses);
        EXPECT_EQ(item.finished, c.finished);
    }
}

TEST(SpeedupSessionTest, WaitsRatingAndEnd) {
    // あ 1.0 ... 3.0 heard all the way; い fails at 2.0 and restarts at 1.6;
    // う BEGIN 3.2 fails and ends.
    Session s({Item(1.0, 3.0, 0.2, 1), Item(2.0, 3.0, 0.2, 1), Item(3.2, 4.0, 0.2, 1)});
    EXPECT_EQ(s.host.playedAt.front(), 2000u);  // the wait before the first stimulus
    EXPECT_TRUE(s.host.cannot);
    EXPECT_EQ(s.host.cannotAt, 2000u + 1500u + 1000u);
    EXPECT_FALSE(s.host.start);
    s.Listen({5.0, 1.8, 0.0});
    // 11 answers for あ, 6 for い (2 at 2.0, 1.6, 1.8, 2 at 2.0), 2 for う.
    EXPECT_EQ(s.host.rows.size(), 19u);
    // The only row that counts is い's failure at 2.0: "良い".
    EXPECT_EQ(s.host.messages, std::vector<std::string>{std::string(SpeedupRating(2.0))});
    EXPECT_TRUE(s.host.closeAsked);
    EXPECT_EQ(s.test.CurrentPhase(), SpeededSyllableTest::Phase::Done);
    EXPECT_EQ(s.test.Progress().position, s.test.Progress().range);
}

TEST(SpeedupDrawTest, WeightedByStepsLeftAndNeverFinished) {
    std::vector<SpeedupItem> items = {Item(1.0, 3.0, 0.2, 1), Item(2.0, 3.0, 0.5, 1),
                                      Item(1.0, 3.0, 0.2, 1)};
    items[2].finished = true;
    EXPECT_EQ(SpeedupWeight(items[0]), 11);
    EXPECT_EQ(SpeedupWeight(items[1]), 3);
    EXPECT_EQ(SpeedupWeight(items[2]), 0);
    CrtRandom random(3);
    int drawn[3] = {};
    for (int n = 0; n < 14000; ++n) ++drawn[DrawSpeedupItem(items, random, nullptr)];
    EXPECT_EQ(drawn[2], 0);
    EXPECT_NEAR(drawn[0] / 14000.0, 11.0 / 14.0, 0.02);
    items[0].finished = items[1].finished = true;
    EXPECT_EQ(DrawSpeedupItem(items, random, nullptr), -1);
}

TEST(SpeedupRatingTest, BoundariesAndProgress) {
    const std::pair<double, const char*> cases[] = {{2.21, "素晴らしい"}, {2.2, "おめでとう"},
                                                    {1.81, "おめでとう"}, {1.8, "良い"},
                                                    {1.5, "やや弱い"},    {0.0, "やや弱い"}};
    for (const auto& [average, word] : cases)
        EXPECT_NE(SpeedupRating(average).find(word), std::string_view::npos) << average;
    // 11 + 3 steps, あ three steps in, い finished: 14 - 8.
    std::vector<SpeedupItem> items = {Item(1.0, 3.0, 0.2, 1), Item(2.0, 3.0, 0.5, 1)};
    items[0].speed = 1.6;
    items[1].finished = true;
    EXPECT_EQ(ComputeSpeedupProgress(items).range, 14);
    EXPECT_EQ(ComputeSpeedupProgress(items).position, 14 - 8);
}

TEST(SpeedupScenarioTest, PathsAndItemsWithoutSteps) {
    std::string text = "[INFO]\nTESTTYPE=SYLLABLESPEEDUP\nTOTAL=2\nVOLUME=45\nSEQTYPE=1\n";
    text +=
        "[DATA1]\nFILEPATHNAME=vowels\\1.wav\nBEGIN=1.0\nEND=3.0\nINTERVAL=0.2\n"
        "MISSPERMISSION=2\nPLAYTIMES=3\n[DATA2]\nFILEPATHNAME=/k/2.wav\nBEGIN=3.0\nEND=2.0\n"
        "INTERVAL=0.5\n";
    SpeedupSettings settings;
    EXPECT_EQ(ReadSpeedupScenario(Scenario::FromText(text, "/st"), settings).result,
              ScenarioStart::Ready);
    ASSERT_EQ(settings.items.size(), 2u);
    EXPECT_EQ(settings.items[0].path, "/st/vowels/1.wav");
    EXPECT_FALSE(settings.items[0].finished);
    EXPECT_TRUE(settings.items[1].finished);  // -1 steps
}

}  // namespace
}  // namespace kestrune
