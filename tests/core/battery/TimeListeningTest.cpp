// The time listening test: the candidate times, the answer controls and the
// clock face's rounding, the joined stimulus, the scenario check, and whole
// items driven by a scripted listener through a recording host on a fake
// clock.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "core/battery/TimeListening.h"
#include "core/wave/WaveFile.h"

namespace kestrune {
namespace {

TEST(TimeCandidatesTest, RangesWrapAndStopAfterADay) {
    struct Case {
        const char *begin, *end;
        std::size_t count;
        const char *first, *last;
    };
    const Case cases[] = {
        {"23:58", "00:01", 4, "23:58", "00:01"},    {"09:00", "09:00", 1, "09:00", "09:00"},
        {"10:59", "11:01", 3, "10:59", "11:01"},    {"00:00", "23:59", 1440, "00:00", "23:59"},
        {"12:00", "11:59", 1440, "12:00", "11:59"}, {"00:00", "25:00", 1440, "00:00", "23:59"},
        {"7:05", "07:06", 2, "07:05", "07:06"},  // read as 7 and 05
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.begin) + "-" + c.end);
        const auto times = CandidateTimes(c.begin, c.end);
        ASSERT_EQ(times.size(), c.count);
        EXPECT_EQ(times.front(), c.first);
        EXPECT_EQ(times.back(), c.last);
        EXPECT_EQ(std::set<std::string>(times.begin(), times.end()).size(), c.count);
    }
}

TEST(TimeAnswerTest, FormatsAndValidatesAnswers) {
    const std::pair<const char*, bool> answers[] = {
        {"00:00", true},  {"23:59", true},  {"07:05", true},  {"7:5", false}, {"9:27", false},
        {"09-27", false}, {"24:00", false}, {"12:60", false}, {"", false},    {"09:270", false},
        {" 9:27", false}, {"09:2 ", false}, {"ab:cd", false},
    };
    for (const auto& [text, valid] : answers) EXPECT_EQ(ValidTimeAnswer(text), valid) << text;
    EXPECT_EQ(FormatClockTime(-1, 5), "00:05");
    EXPECT_EQ(FormatClockTime(25, 61), "01:01");
    EXPECT_EQ(FormatClockTime(7, -3), "07:00");
}

TEST(TimeAnswerTest, ClicksKeepTheFloatRoundingArrowSwitchAndTyping) {
    // "時" / "分": a click at (x, y) on a face of 160 x 160 (centre 80, 80) in
    // that mode; "+" / "-": the arrow; "h": AM/PM; anything else is typed.
    struct Case {
        int hour, minute;
        const char* action;
        int x, y;
        int hourAfter, minuteAfter;
        const char* text;  // what the box shows; null: the time after, as HH:MM
    };
    const Case cases[] = {
        {2, 7, "時", 80, 10, 0, 7},
        {14, 7, "時", 80, 10, 12, 7},  // 12 o'clock; the PM half stays
        {14, 7, "時", 150, 80, 14, 7},
        {2, 7, "時", 150, 80, 2, 7},  // right on 3: a hair below it
        {14, 7, "時", 150, 82, 15, 7},
        {2, 7, "時", 150, 82, 3, 7},  // a little past 3
        {2, 7, "時", 80, 150, 5, 7},
        {2, 7, "時", 10, 80, 8, 7},  // right on 6 and on 9
        {2, 7, "分", 80, 150, 2, 29},
        {2, 7, "分", 150, 80, 2, 14},
        {2, 7, "分", 20, 20, 2, 52},
        {2, 7, "時", 0, 80, 2, 7, "02:07"},
        {2, 7, "分", 160, 80, 2, 7, "02:07"},  // the border
        {23, 59, "+", 0, 0, 0, 0},
        {0, 0, "-", 0, 0, 23, 59},
        {9, 59, "+", 0, 0, 10, 0},
        {3, 30, "h", 0, 0, 15, 30},
        {15, 30, "h", 0, 0, 3, 30},
        {12, 0, "h", 0, 0, 0, 0},
        {1, 2, "07:05", 0, 0, 7, 5},
        {1, 2, "7:5", 0, 0, 1, 2, "7:5"},
    };
    for (const Case& c : cases) {
        const std::string action = c.action;
        SCOPED_TRACE(action + " " + std::to_string(c.x) + "," + std::to_string(c.y));
        TimeAnswer answer;
        answer.Show(c.hour, c.minute);
        answer.SetHourMode(action == "時");
        if (action == "時" || action == "分")
            answer.Click(c.x, c.y, 160, 160);
        else if (action == "+" || action == "-")
            answer.Scroll(action == "+" ? 1 : -1);
        else if (action == "h")
            answer.SwitchHalf();
        else
            answer.Edit(action);
        EXPECT_EQ(answer.Hour(), c.hourAfter);
        EXPECT_EQ(answer.Minute(), c.minuteAfter);
        EXPECT_EQ(answer.Text(), c.text ? c.text : FormatClockTime(c.hourAfter, c.minuteAfter));
        EXPECT_EQ(answer.Entered(), c.text == nullptr || action == "7:5");
    }
    EXPECT_EQ(ClockClickAngle(80, 150, 160, 160), 3.1416f);
    // Hands: the rounded half pi leaves the 12 o'clock hand a pixel short.
    EXPECT_EQ(HandEnd(80, 80, MinuteHandAngle(0), kMinuteHandLength), (ClockPoint{80, 36}));
    EXPECT_EQ(HandEnd(80, 80, HourHandAngle(15, 0), kHourHandLength), (ClockPoint{110, 80}));
    EXPECT_EQ(HandEnd(80, 80, MinuteHandAngle(30), kMinuteHandLength), (ClockPoint{80, 124}));
    EXPECT_NEAR(HourHandAngle(9, 30), 9 * 6.2832 / 12 + 30 * 3.1416 / 360, 1e-12);
}

LoadedStimulus Samples(std::vector<std::uint8_t> bytes, int bits) {
    LoadedStimulus s;
    s.ok = true;
    s.format = PcmFormat(1, 8000, static_cast<std::uint16_t>(bits));
    s.sampleCount = static_cast<std::uint32_t>(bytes.size() * 8 / bits);
    s.samples = std::move(bytes);
    return s;
}

TEST(TimeStimulusTest, EightBitSilenceAndRefusals) {
    // The silence of unsigned 8-bit samples is 128 (the 16-bit gap of zeros
    // is checked at the headphones, in the dialog's test).
    const auto narrow = JoinTimeStimulus(Samples({10}, 8), Samples({20, 30}, 8));
    ASSERT_TRUE(narrow.ok);
    EXPECT_EQ(narrow.sampleCount, 1u + 1600u + 2u);
    EXPECT_EQ(std::count(narrow.samples.begin(), narrow.samples.end(), 0x80), 1600);
    EXPECT_EQ(narrow.samples.back(), 30);
    EXPECT_EQ(JoinTimeStimulus(Samples({1}, 8), Samples({1, 2}, 16)).message,
              kStimulusNotWaveMessage);

    // The refusals name the file that failed.
    const auto folder = std::filesystem::temp_directory_path() / "kestrune-time-stimulus";
    std::filesystem::create_directories(folder);
    const std::uint8_t bytes[4] = {};
    ASSERT_TRUE(WriteWaveFile((folder / "H09.wav").string(), PcmFormat(1, 8000, 16), bytes, 2));
    const std::string prefix = folder.string() + "/";
    EXPECT_EQ(HourWavePath(prefix, "09:27"), prefix + "H09.wav");
    EXPECT_EQ(MinuteWavePath(prefix, "09:27"), prefix + "M27.wav");
    EXPECT_EQ(LoadTimeStimulus(prefix + "H10.wav", prefix + "H09.wav").message, kHourWaveMessage);
    EXPECT_EQ(LoadTimeStimulus(prefix + "H09.wav", prefix + "M27.wav").message, kMinuteWaveMessage);
    EXPECT_EQ(LoadTimeStimulus(prefix + "H09.wav", prefix + "H09.wav").sampleCount, 1604u);
    std::filesystem::remove_all(folder);
}

TEST(TimeScenarioTest, ItemsMustHaveTheirTimes) {
    auto scenario = [](int total, const std::string& second) {
        std::string text =
            "[INFO]\nTESTTYPE=TIME\nTOTAL=" + std::to_string(total) + "\nFILEPATH=times\\\n";
        for (int i = 1; i <= total; ++i)
            text += "[DATA" + std::to_string(i) + "]\nTYPEMASK=4\nPLAYSPEED=1.5\nSNR=0.01\n" +
                    (i == 2 ? second : "BEGIN=23:58\nEND=00:01\nNUMBER=4\n");
        return Scenario::FromText(text, "/station");
    };
    const std::string refusal =
        "DATA2: NUMBER=5 trials, but BEGIN=23:58 to END=00:01 gives 4 time(s)";
    struct Case {
        int total;
        std::string second;
        std::vector<std::string> messages;
    };
    const Case cases[] = {
        {2, "BEGIN=10:00\nEND=10:00\nNUMBER=1\n", {}},
        {2, "BEGIN=23:58\nEND=00:01\nNUMBER=5\n", {refusal, kLoadingScenarioFailedMessage}},
        {2,
         "BEGIN=10:00\nEND=10:00\n",
         {"DATA2: NUMBER=0 trials, but BEGIN=10:00 to END=10:00 gives 1 time(s)",
          kLoadingScenarioFailedMessage}},
        {20, "BEGIN=10:00\nEND=10:00\nNUMBER=1\n", {}},
        {21, "BEGIN=10:00\nEND=10:00\nNUMBER=1\n", {kLoadingScenarioFailedMessage}},
        {0, "", {kNoTestItemMessage}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.total);
        TimeSettings settings;
        EXPECT_EQ(ReadTimeScenario(scenario(c.total, c.second), settings).messages, c.messages);
        EXPECT_EQ(settings.items.size(), c.messages.empty() ? std::size_t(c.total) : 0u);
    }
}

// The window as a script sees it: the stimuli's files, the rows and the
// session rows ("id:number", "+seconds" once finished) and the messages.
class ScriptHost : public TimeHost {
  public:
    explicit ScriptHost(FakeClock& clock) : clock_(clock) {}
    std::vector<std::string> played, sessions, messages;
    std::vector<TimeTrialRecord> rows;
    bool confirm = true;

    void ShowInstruction(const std::string&) override {}
    void SetStartEnabled(bool) override {}
    void SetAnswerButtons(bool) override {}
    void SetRollBackEnabled(bool) override {}
    void ShowAnswer() override {}
    void PlayStimulus(const std::string& hour, const std::string& minute,
                      const StimulusSettings&) override {
        played.push_back(hour.substr(3, 2) + ":" + minute.substr(3, 2));
    }
    void StopWorker() override {}
    std::optional<long long> StartSessionItem(const TimeItem& item) override {
        sessions.push_back(std::to_string(sessions.size() + 1) + ":" + std::to_string(item.number));
        return static_cast<long long>(sessions.size());
    }
    void FinishSessionItem(long long id, long long seconds, int) override {
        sessions[static_cast<std::size_t>(id - 1)] += "+" + std::to_string(seconds);
    }
    bool StoreTrial(const TimeTrialRecord& record) override {
        rows.push_back(record);
        return true;
    }
    std::optional<std::string> TakeLastTrial() override {
        if (rows.empty()) return std::nullopt;
        const std::string played = rows.back().played;
        rows.pop_back();
        return played;
    }
    bool Confirm(const std::string&) override { return confirm; }
    void Message(const std::string& text) override { messages.push_back(text); }
    void AdvancePicture() override {}
    void ShowProgress(int, int) override {}
    void RunSteps(StepSequence steps) override { steps_.Replace(std::move(steps)); }
    void CancelSteps() override { steps_.Cancel(); }
    /** Runs the waits until the test waits for the subject. */
    void Settle() { steps_.Settle(clock_); }

  private:
    FakeClock& clock_;
    PendingSteps steps_;
};

TEST(TimeSessionTest, ScriptedListenersRefusalsAndRollBacks) {
    // Each listener listens 1.5 s and then: "H" types what was heard, "N"
    // presses "全然確認できない", "?" confirms an untouched box, "=t" types t,
    // "B" rolls back and "b" tries to but cancels.
    struct Case {
        std::vector<std::string> script;
        std::vector<std::string> messages;
        std::vector<std::string> sessions;
    };
    const Case cases[] = {
        {{"?", "=7:5", "H", "N", "H", "H", "=10:00", "H"},
         {kTimeNotEnteredMessage, kTimeInvalidMessage},
         {"1:4+20", "2:2+8"}},
        {{"H", "N", "B", "H", "H", "H", "H", "H"},
         {},
         {"1:4+26", "2:2+8"}},  // the next stimulus plays again
        {{"H", "N", "b", "H", "H", "H", "H"}, {}, {"1:4+18", "2:2+8"}},
        {{"H", "H", "H", "H", "B", "H", "H"},
         {kCannotRollBackNowMessage},
         {"1:4+17", "2:2+9"}},  // item 1 is done
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script.size());
        FakeClock clock{1'700'000'000, 0};
        CrtRandom random;
        ScriptHost host{clock};
        auto item = [](const char* begin, const char* end, int number) {
            return TimeItem{0, 1.0, 0, 0, 1.0, begin, end, number};
        };
        TimeListeningTest test(
            {"", 0, "t/", {item("23:58", "00:01", 4), item("10:00", "10:01", 2)}}, host, clock,
            random);
        test.Start();
        host.Settle();
        for (const std::string& a : c.script) {
            clock.AdvanceMs(1500);
            host.confirm = a != "b";
            if (a == "N") test.NothingRecognised();
            if (a == "B" || a == "b") test.RollBackLast();
            if (a == "H" || a[0] == '=')
                test.Answer().Edit(a == "H" ? host.played.back() : a.substr(1));
            if (a == "H" || a[0] == '=' || a == "?") test.ConfirmAnswer();
            host.Settle();
        }
        EXPECT_EQ(test.CurrentPhase(), TimeListeningTest::Phase::Done);
        EXPECT_EQ(host.messages.back(), kThanksMessage);
        host.messages.pop_back();
        EXPECT_EQ(host.messages, c.messages);
        EXPECT_EQ(host.sessions, c.sessions);
        // Every time of an item once, whatever was rolled back.
        ASSERT_EQ(host.rows.size(), 6u);
        std::set<std::string> first, second;
        for (std::size_t r = 0; r < 6; ++r) {
            (r < 4 ? first : second).insert(host.rows[r].played);
            EXPECT_EQ(host.rows[r].sessionItem, r < 4 ? 1 : 2);
        }
        EXPECT_EQ(first, (std::set<std::string>{"23:58", "23:59", "00:00", "00:01"}));
        EXPECT_EQ(second, (std::set<std::string>{"10:00", "10:01"}));
    }
}

}  // namespace
}  // namespace kestrune
