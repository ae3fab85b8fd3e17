// The interrupted speech test through a recording host on a fake clock: the
// scenario checks, the syllable pool, the answer rules, the rating, and
// scripted listeners who answer, pause and roll back.

#include <gtest/gtest.h>

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/battery/InterruptedSpeech.h"
#include "core/kana/KanaTable.h"

namespace kestrune {
namespace {

std::string SyllableScenarioText(const std::string& info, const std::vector<std::string>& items) {
    std::string text = "[INFO]\nTESTTYPE=SYLLABLE\nTOTAL=" + std::to_string(items.size()) +
                       "\nFILEPATH=/kit/kana/\n" + info;
    for (size_t i = 0; i < items.size(); ++i)
        text += "[DATA" + std::to_string(i + 1) + "]\n" + items[i];
    return text;
}

TEST(SyllableScenarioTest, KindCodesAndRefusals) {
    const std::string ok = "DUTYCYCLE=0.5\nCYCLE=100\nBEGIN=1\nEND=5\nNUMBER=5\n";
    struct Case {
        std::string info;
        std::vector<std::string> items;
        std::vector<std::string> messages;
        int kindCode;
    };
    const Case cases[] = {
        {"", {ok}, {}, 1},
        {"TYPE=TRAIN\n", {ok, ok}, {}, 5},
        {"TYPE=TEST\n", {ok}, {}, 2},
        {"TYPE=train\n", {ok}, {}, 2},
        {"",
         {ok, "BEGIN=72\nEND=74\nNUMBER=4\n"},
         {"DATA2: NUMBER 4 is larger than its 3 syllables (BEGIN 72, END 74)",
          kLoadingScenarioFailedMessage},
         1},
        {"",
         {"BEGIN=9\nEND=3\nNUMBER=1\n"},
         {"DATA1: NUMBER 1 is larger than its 0 syllables (BEGIN 9, END 3)",
          kLoadingScenarioFailedMessage},
         1},
        {"", std::vector<std::string>(21, ok), {kLoadingScenarioFailedMessage}, 1},
        {"", {}, {kNoTestItemMessage}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.info + std::to_string(c.items.size()));
        SyllableSettings settings;
        const ScenarioCheck check = ReadSyllableScenario(
            Scenario::FromText(SyllableScenarioText(c.info, c.items), "/"), settings);
        EXPECT_EQ(check.messages, c.messages);
        EXPECT_EQ(settings.kindCode, c.kindCode);
        EXPECT_EQ(settings.items.size(), c.messages.empty() ? c.items.size() : 0u);
    }
}

TEST(SyllablePoolTest, EveryDrawIsNewUntilThePoolIsUsedUp) {
    const std::pair<int, int> ranges[] = {{1, 1}, {1, 5}, {47, 71}, {72, 104}, {1, 104}};
    for (const auto& [begin, end] : ranges) {
        SCOPED_TRACE(begin);
        SyllablePool pool;
        pool.Fill(begin, end);
        CrtRandom random(static_cast<std::uint32_t>(begin * 7 + end));
        std::set<int> drawn;
        for (int i = begin; i <= end; ++i) {
            const std::optional<int> n = pool.Pick(random);
            ASSERT_TRUE(n);
            EXPECT_GE(*n, begin);
            EXPECT_LE(*n, end);
            EXPECT_TRUE(drawn.insert(*n).second) << *n;
        }
        EXPECT_FALSE(pool.Pick(random));
        // Taking a syllable back makes it the only one left.
        const int back = (begin + end) / 2;
        EXPECT_TRUE(pool.Release(SyllableToKana(back)));
        EXPECT_FALSE(pool.Release(SyllableToKana(back)));
        EXPECT_FALSE(pool.Release("x"));
        EXPECT_EQ(pool.Pick(random), back);
    }
}

TEST(SyllableAnswerTest, LengthsHomophonesAndRatings) {
    const std::pair<const char*, bool> lengths[] = {
        {"あ", true}, {"きゃ", true}, {"ab", true},      {"abcd", true}, {"", false},
        {"a", false}, {"abc", false}, {"あいう", false}, {"aあ", false}, {"あa", false},
    };
    for (const auto& [answer, ok] : lengths) EXPECT_EQ(IsKanaAnswerLength(answer), ok) << answer;

    struct Stored {
        const char* played;
        const char* typed;
        const char* recognised;
        const char* other;
    };
    const Stored stored[] = {
        {"お", "を", "お", "1"}, {"を", "お", "を", "1"}, {"じ", "ぢ", "じ", "1"},
        {"ぢ", "じ", "ぢ", "1"}, {"ず", "づ", "ず", "1"}, {"づ", "ず", "づ", "1"},
        {"お", "お", "お", ""},  {"じ", "ず", "ず", ""},  {"お", "", "", ""},
    };
    for (const Stored& s : stored) {
        const StoredAnswer a = StoreAnswer(s.played, s.typed);
        EXPECT_EQ(a.recognised, s.recognised) << s.played << s.typed;
        EXPECT_EQ(a.other, s.other) << s.played << s.typed;
    }

    struct Rating {
        int correct, total;
        const char* text;
    };
    const Rating ratings[] = {
        {0, 0,
         "  識別正確率は50.0% 、良い。\n聴覚の識別能力はすべて正常で、明らかに衰退していない。"},
        {3, 4, "  識別正確率は75.0% 、おめでとう。\n聴覚の識別能力は同年齢の人の中で優れている。"},
        {4, 5, "  識別正確率は80.0% 、素晴らしい。\n聴覚の識別能力は若い人のように非常に高い。"},
        {13, 20,
         "  識別正確率は65.0% 、良い。\n聴覚の識別能力はすべて正常で、明らかに衰退していない。"},
        {9, 20, "  識別正確率は45.0% 、やや弱い。\n聴覚の識別能力は少し衰退している。"},
        {0, 7, "  識別正確率は0.0% 、やや弱い。\n聴覚の識別能力は少し衰退している。"},
    };
    for (const Rating& r : ratings)
        EXPECT_EQ(RatingText(HalfDutyRate(r.correct, r.total)), r.text) << r.correct;
}

// The window as a script sees it.
class ScriptHost : public SyllableHost {
  public:
    struct Row {
        long long session;
        SyllableTrial trial;
        std::uint64_t atMs;
    };
    struct SessionRow {
        int number;
        double kept;
        long long duration = -1;
        int validity = 0;
    };
    explicit ScriptHost(FakeClock& clock) : clock_(clock) {}
    std::vector<Row> rows;
    std::vector<SessionRow> sessions;
    std::vector<std::pair<std::uint64_t, std::string>> played;  // tick, path
    std::vector<std::string> messages;
    std::string instruction;
    bool answerButtons = false, rollBackButton = false, startButton = true, paused = false;
    bool confirm = true;
    std::optional<std::pair<int, int>> score = std::pair{0, 0};
    int stops = 0;

    void ShowInstruction(const std::string& text) override { instruction = text; }
    void SetStartEnabled(bool on) override { startButton = on; }
    void SetAnswerButtons(bool on) override { answerButtons = on; }
    void SetRollBackEnabled(bool on) override { rollBackButton = on; }
    void ShowPaused(bool on) override { paused = on; }
    void ClearAnswer() override {}
    void FocusAnswer() override {}
    void Message(const std::string& text) override { messages.push_back(text); }
    bool Confirm(const std::string&) override { return confirm; }
    bool LoadSyllable(const std::string& path) override {
        played.push_back({clock_.TickMs(), path});
        return true;
    }
    void PlayLoaded(const StimulusSettings& s) override { EXPECT_EQ(s.repeatCount, 1); }
    void StopWorker() override { ++stops; }
    std::optional<long long> StartSession(const SyllableItem& item) override {
        sessions.push_back({item.number, item.keptFraction});
        return static_cast<long long>(sessions.size());
    }
    void FinishSession(long long id, long long duration, int number, int validity) override {
        SessionRow& row = sessions.at(static_cast<size_t>(id - 1));
        EXPECT_EQ(row.number, number);
        row.duration = duration;
        row.validity = validity;
    }
    bool StoreTrial(long long session, const SyllableTrial& trial) override {
        rows.push_back({session, trial, clock_.TickMs()});
        return true;
    }
    std::optional<std::string> TakeLastTrial() override {
        if (rows.empty()) return std::nullopt;
        std::string played = rows.back().trial.played;
        rows.pop_back();
        return played;
    }
    std::optional<std::pair<int, int>> ReadHalfDutyScore() override { return score; }
    void AdvancePicture() override {}
    void ShowProgress(int, int) override {}
    void RunSteps(StepSequence steps) override { next_ = std::move(steps); }
    void CancelSteps() override { next_.reset(); }

    /** Runs every due wait until the test waits for the subject. */
    void Settle() {
        while (next_) {
            StepSequence sequence = std::move(*next_);
            next_.reset();
            RunOnClock(sequence, clock_);
        }
    }

  private:
    FakeClock& clock_;
    std::optional<StepSequence> next_;
};

SyllableItem Item(int begin, int end, int number, double kept) {
    SyllableItem item;
    item.playSpeed = 1.0;
    item.period = 100;
    item.keptFraction = kept;
    item.begin = begin;
    item.end = end;
    item.number = number;
    return item;
}

struct Listening {
    FakeClock clock{1'700'000'000, 0};
    CrtRandom random;
    ScriptHost host{clock};
    InterruptedSpeechTest test;
    explicit Listening(std::vector<SyllableItem> items, int kind = 5)
        : test(SyllableSettings{"", 0, "k/", kind, std::move(items)}, host, clock, random) {}
    /** The listener waits `ms` after the prompt and then does `action`:
     *  "=" the played kana, "=x" the text x, "N" nothing recognised,
     *  "P" pauses `ms` (then resumes), "B" rolls back. */
    void Do(const std::string& action, std::uint64_t ms) {
        host.Settle();
        if (action == "P") {
            test.TogglePause();
            clock.AdvanceMs(ms);
            test.TogglePause();
            return;
        }
        clock.AdvanceMs(ms);
        if (action == "=")
            test.Answer(test.Played());
        else if (action == "N")
            test.NotRecognised();
        else if (action == "B")
            test.RollBackLast();
        else
            test.Answer(action.substr(1));
        host.Settle();
    }
};

TEST(InterruptedSpeechRunTest, RowsSessionsAndWaits) {
    // Item 1 plays あ...お (three of them), item 2 one syllable of を alone.
    Listening run({Item(1, 5, 3, 0.5), Item(46, 46, 1, 0.25)});
    run.test.Start();
    EXPECT_FALSE(run.host.startButton);
    run.host.Settle();
    // 3 s to the syllable, 2 s more to the prompt.
    ASSERT_EQ(run.host.played.size(), 1u);
    EXPECT_EQ(run.host.played[0].first, 3000u);
    EXPECT_TRUE(run.host.answerButtons);
    EXPECT_EQ(run.host.instruction, kSyllableChooseText);
    EXPECT_FALSE(run.host.rollBackButton);

    // Durations count from the start of the syllable, less 400 ms; a pause
    // is not taken off them.
    run.Do("=", 0);       // 2000 ms after the start of the syllable
    run.Do("P", 7000);    // a 7 s pause during item 1
    run.Do("=xyz", 100);  // refused: nothing stored
    run.Do("N", 300);     // 2300 ms
    run.Do("=", 0);       // item 1 ends
    run.Do("=お", 0);     // を heard as お
    ASSERT_EQ(run.host.rows.size(), 4u);
    EXPECT_EQ(run.host.messages, (std::vector<std::string>{kInvalidKanaMessage, RatingText(50.0)}));
    const std::vector<std::string> durations = {"1.60", "9.00", "1.60", "1.60"};
    for (size_t i = 0; i < 4; ++i) {
        const SyllableTrial& t = run.host.rows[i].trial;
        EXPECT_EQ(t.durationText, durations[i]) << i;
        EXPECT_EQ(run.host.rows[i].session, i < 3 ? 1 : 2);
        EXPECT_EQ(t.played, SyllableToKana(KanaToSyllable(t.played)));
    }
    EXPECT_EQ(run.host.rows[1].trial.recognised, "");
    EXPECT_EQ(run.host.rows[3].trial.played, "を");
    EXPECT_EQ(run.host.rows[3].trial.recognised, "を");
    EXPECT_EQ(run.host.rows[3].trial.other, "1");
    std::set<std::string> item1;
    for (size_t i = 0; i < 3; ++i) item1.insert(run.host.rows[i].trial.played);
    EXPECT_EQ(item1.size(), 3u);
    // Item 1 lasted 2+7.1+2.3+... seconds less its 7 s pause; item 2 its own
    // time only. Validity: 2 for the first item, the kind code after.
    ASSERT_EQ(run.host.sessions.size(), 2u);
    EXPECT_EQ(run.host.sessions[0].validity, 2);
    EXPECT_EQ(run.host.sessions[1].validity, 5);
    const std::uint64_t item1Ms = run.host.rows[2].atMs - run.host.played[0].first;
    EXPECT_EQ(run.host.sessions[0].duration, static_cast<long long>(item1Ms / 1000) - 7);
    EXPECT_EQ(run.host.sessions[1].duration, 2);
    EXPECT_EQ(run.test.CurrentPhase(), InterruptedSpeechTest::Phase::Done);
    EXPECT_EQ(run.host.instruction, kSyllableCloseText);
    EXPECT_FALSE(run.host.rollBackButton);
    EXPECT_FALSE(run.host.answerButtons);
}

TEST(InterruptedSpeechRunTest, RollBack) {
    struct Case {
        std::vector<std::string> script;
        bool confirm;
        size_t rows;
        std::vector<std::string> messages;
        size_t sessions;
        size_t played;
    };
    const Case cases[] = {
        // The answer is taken back and its syllable returns to the pool: the
        // item still plays both syllables, in one session row.
        {{"=", "B", "=", "=", "="}, true, 3, {RatingText(50.0)}, 2, 5},
        {{"=", "B"}, false, 1, {}, 1, 2},
        // After the last answer of an item its row is complete: no roll back.
        {{"=", "=", "B"}, true, 2, {kCannotRollBackNowMessage}, 2, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.size());
        Listening run({Item(1, 2, 2, 0.5), Item(3, 3, 1, 0.5)});
        run.host.confirm = c.confirm;
        run.test.Start();
        for (const std::string& action : c.script) run.Do(action, 0);
        EXPECT_EQ(run.host.rows.size(), c.rows);
        EXPECT_EQ(run.host.messages, c.messages);
        EXPECT_EQ(run.host.sessions.size(), c.sessions);
        EXPECT_EQ(run.host.played.size(), c.played);
        std::set<std::string> item1;
        for (const auto& r : run.host.rows)
            if (r.session == 1) item1.insert(r.trial.played);
        EXPECT_EQ(item1.size(), std::min<size_t>(c.rows, 2));
    }
}

}  // namespace
}  // namespace kestrune
