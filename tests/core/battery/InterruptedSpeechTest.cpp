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

// The window as a script sees it: trial rows as "<answer> <duration> <other>
// <session>" ("=" for an answer equal to the syllable played), session rows
// as "<duration> <validity>".
class ScriptHost : public SyllableHost {
  public:
    explicit ScriptHost(FakeClock& clock) : clock_(clock) {}
    std::vector<SyllableTrial> trials;
    std::vector<long long> trialSessions;
    std::vector<std::string> sessions, messages;
    std::vector<std::uint64_t> playedAt;
    bool confirm = true;

    void ShowInstruction(const std::string&) override {}
    void SetStartEnabled(bool) override {}
    void SetAnswerButtons(bool) override {}
    void SetRollBackEnabled(bool) override {}
    void ShowPaused(bool) override {}
    void ClearAnswer() override {}
    void FocusAnswer() override {}
    void Message(const std::string& text) override { messages.push_back(text); }
    bool Confirm(const std::string&) override { return confirm; }
    bool LoadSyllable(const std::string&) override { return true; }
    void PlayLoaded(const StimulusSettings& s) override {
        EXPECT_EQ(s.repeatCount, 1);
        playedAt.push_back(clock_.TickMs());
    }
    void StopWorker() override {}
    std::optional<long long> StartSession(const SyllableItem&) override {
        sessions.push_back("-1 0");
        return static_cast<long long>(sessions.size());
    }
    void FinishSession(long long id, long long duration, int, int validity) override {
        sessions.at(static_cast<size_t>(id - 1)) =
            std::to_string(duration) + " " + std::to_string(validity);
    }
    bool StoreTrial(long long session, const SyllableTrial& trial) override {
        trials.push_back(trial);
        trialSessions.push_back(session);
        return true;
    }
    std::optional<std::string> TakeLastTrial() override {
        if (trials.empty()) return std::nullopt;
        std::string played = trials.back().played;
        trials.pop_back();
        trialSessions.pop_back();
        return played;
    }
    std::optional<std::pair<int, int>> ReadHalfDutyScore() override { return std::pair{0, 0}; }
    void AdvancePicture() override {}
    void ShowProgress(int, int) override {}
    void RunSteps(StepSequence steps) override { steps_.Replace(std::move(steps)); }
    void CancelSteps() override { steps_.Cancel(); }
    /** Runs every due wait until the test waits for the subject. */
    void Settle() { steps_.Settle(clock_); }
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (size_t i = 0; i < trials.size(); ++i) {
            const SyllableTrial& t = trials[i];
            rows.push_back((t.recognised == t.played ? "=" : t.recognised) + " " + t.durationText +
                           " " + (t.other.empty() ? "-" : t.other) + " " +
                           std::to_string(trialSessions[i]));
        }
        return rows;
    }

  private:
    FakeClock& clock_;
    PendingSteps steps_;
};

SyllableItem Item(int begin, int end, int number) {
    SyllableItem item;
    item.playSpeed = 1.0;
    item.period = 100;
    item.keptFraction = 0.5;
    item.begin = begin;
    item.end = end;
    item.number = number;
    return item;
}

// A scripted listener, one token at a time once the test waits: "=" answers
// the syllable played, "=x" types x, "N" "全然確認できない", "P" the pause
// button, "+ms" lets time pass, "B" rolls back (OK), "b" (Cancel).
TEST(InterruptedSpeechRunTest, ScriptedListeners) {
    struct Case {
        std::vector<SyllableItem> items;
        std::vector<std::string> script;
        std::vector<std::string> rows;
        std::vector<std::string> sessions;
        std::vector<std::string> messages;
    };
    const std::string rating = RatingText(50.0);
    const Case cases[] = {
        // Durations count from the syllable's start less 400 ms, pauses
        // included; a session's duration loses only its own item's pause.
        // を typed as お is stored as を with BROther 1.
        {{Item(1, 5, 3), Item(46, 46, 1)},
         {"=", "P", "+7000", "P", "+100", "=xyz", "+300", "N", "=", "=お"},
         {"= 1.60 - 1", " 9.00 - 1", "= 1.60 - 1", "= 1.60 1 2"},
         {"8 2", "2 5"},
         {kInvalidKanaMessage, rating}},
        // The answer taken back frees its syllable: the item still plays two
        // different ones, in one session row.
        {{Item(1, 2, 2), Item(3, 3, 1)},
         {"=", "B", "=", "=", "="},
         {"= 1.60 - 1", "= 1.60 - 1", "= 1.60 - 2"},
         {"11 2", "2 5"},
         {rating}},
        {{Item(1, 2, 2), Item(3, 3, 1)}, {"=", "b"}, {"= 1.60 - 1"}, {"-1 0"}, {}},
        // The test's last answer is asked again: the item is completed and
        // rated again.
        {{Item(1, 2, 2)},
         {"=", "=", "B", "N"},
         {"= 1.60 - 1", " 1.60 - 1"},
         {"8 2"},
         {rating, rating}},
        // After an item's last answer its session row is complete.
        {{Item(1, 2, 2), Item(3, 3, 1)},
         {"=", "=", "B"},
         {"= 1.60 - 1", "= 1.60 - 1"},
         {"5 2", "-1 0"},
         {kCannotRollBackNowMessage}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.size());
        FakeClock clock{1'700'000'000, 0};
        CrtRandom random;
        ScriptHost host{clock};
        InterruptedSpeechTest test(SyllableSettings{"", 0, "k/", 5, c.items}, host, clock, random);
        test.Start();
        for (const std::string& token : c.script) {
            host.Settle();
            if (token[0] == '+') clock.AdvanceMs(std::stoull(token.substr(1)));
            if (token == "P") test.TogglePause();
            if (token == "N") test.NotRecognised();
            if (token == "B" || token == "b") {
                host.confirm = token == "B";
                test.RollBackLast();
            }
            if (token[0] == '=') test.Answer(token == "=" ? test.Played() : token.substr(1));
        }
        host.Settle();
        EXPECT_EQ(host.playedAt.front(), 3000u);  // 3 s after "始まる"
        EXPECT_EQ(host.Rows(), c.rows);
        EXPECT_EQ(host.sessions, c.sessions);
        EXPECT_EQ(host.messages, c.messages);
        std::set<std::pair<long long, std::string>> distinct;
        for (size_t i = 0; i < host.trials.size(); ++i)
            distinct.insert({host.trialSessions[i], host.trials[i].played});
        EXPECT_EQ(distinct.size(), host.trials.size());
    }
}

}  // namespace
}  // namespace kestrune
