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
    EXPECT_EQ(CandidateTimes("23:58", "00:01"),
              (std::vector<std::string>{"23:58", "23:59", "00:00", "00:01"}));
}

TEST(TimeCandidatesTest, DrawsEveryTimeOnceAndReleasedTimesComeBack) {
    CandidateList list(CandidateTimes("23:58", "00:01"));
    for (std::uint32_t seed : {1u, 77u, 1700000000u}) {
        SCOPED_TRACE(seed);
        list = CandidateList(CandidateTimes("23:58", "00:01"));
        CrtRandom random(seed);
        std::set<std::string> drawn;
        for (int i = 0; i < 4; ++i) drawn.insert(list.Draw(random).value_or("none"));
        EXPECT_EQ(drawn, (std::set<std::string>{"23:58", "23:59", "00:00", "00:01"}));
        EXPECT_FALSE(list.Draw(random));
        EXPECT_TRUE(list.Release("00:00"));
        EXPECT_FALSE(list.Release("12:00"));
        EXPECT_EQ(list.Draw(random), "00:00");
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

TEST(TimeAnswerTest, ClockClicksKeepTheFloatRounding) {
    // A face of 160 x 160: the centre is (80, 80).
    struct Case {
        int x, y;
        bool hourMode;
        int hourBefore;
        int hour, minute;  // afterwards; minute 7 unless set
        bool taken;
    };
    const Case cases[] = {
        {80, 10, true, 2, 0, 7, true},     // 12 o'clock
        {80, 10, true, 14, 12, 7, true},   // the PM half stays
        {150, 80, true, 14, 14, 7, true},  // right on 3: a hair below it
        {150, 80, true, 2, 2, 7, true},    //
        {150, 82, true, 14, 15, 7, true},  // a little clockwise past 3
        {150, 82, true, 2, 3, 7, true},    //
        {80, 150, true, 2, 5, 7, true},    // right on 6
        {10, 80, true, 2, 8, 7, true},     // right on 9
        {80, 150, false, 2, 2, 29, true},  // minutes: right on 6 is 29
        {150, 80, false, 2, 2, 14, true},  //
        {20, 20, false, 2, 2, 52, true},   // up left
        {0, 80, true, 2, 2, 7, false},     // on the border: ignored
        {160, 80, true, 2, 2, 7, false},   //
        {80, 160, false, 2, 2, 7, false},  //
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
        TimeAnswer answer;
        answer.Show(c.hourBefore, 7);
        answer.SetHourMode(c.hourMode);
        EXPECT_EQ(answer.Click(c.x, c.y, 160, 160), c.taken);
        EXPECT_EQ(answer.Hour(), c.hour);
        EXPECT_EQ(answer.Minute(), c.minute);
        EXPECT_EQ(answer.Text(), FormatClockTime(c.hour, c.minute));
        EXPECT_EQ(answer.Entered(), c.taken);
    }
    EXPECT_EQ(ClockClickAngle(80, 150, 160, 160), 3.1416f);
    EXPECT_EQ(ClockClickAngle(80, 80, 160, 160), 0.0f);
    // Hands: the rounded half pi leaves the 12 o'clock hand a pixel short.
    EXPECT_EQ(HandEnd(80, 80, MinuteHandAngle(0), kMinuteHandLength), (ClockPoint{80, 36}));
    EXPECT_EQ(HandEnd(80, 80, HourHandAngle(15, 0), kHourHandLength), (ClockPoint{110, 80}));
    EXPECT_EQ(HandEnd(80, 80, MinuteHandAngle(30), kMinuteHandLength), (ClockPoint{80, 124}));
    EXPECT_NEAR(HourHandAngle(9, 30), 9 * 6.2832 / 12 + 30 * 3.1416 / 360, 1e-12);
}

TEST(TimeAnswerTest, ScrollSwitchAndTyping) {
    struct Case {
        int hour, minute;
        const char* action;  // "+", "-", "h" (AM/PM) or typed text
        const char* text;
        int hourAfter, minuteAfter;
    };
    const Case cases[] = {
        {23, 59, "+", "00:00", 0, 0},      {0, 0, "-", "23:59", 23, 59},
        {9, 59, "+", "10:00", 10, 0},      {3, 30, "h", "15:30", 15, 30},
        {15, 30, "h", "03:30", 3, 30},     {12, 0, "h", "00:00", 0, 0},
        {1, 2, "07:05", "07:05", 7, 5},    {1, 2, "7:5", "7:5", 1, 2},
        {1, 2, "09:270", "09:270", 9, 70},  // read back, shown mod 60 on the face
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.action);
        TimeAnswer answer;
        answer.Show(c.hour, c.minute);
        EXPECT_FALSE(answer.Entered());
        const std::string action = c.action;
        if (action == "+" || action == "-")
            answer.Scroll(action == "+" ? 1 : -1);
        else if (action == "h")
            answer.SwitchHalf();
        else
            answer.Edit(action);
        EXPECT_EQ(answer.Text(), c.text);
        EXPECT_EQ(answer.Hour(), c.hourAfter);
        EXPECT_EQ(answer.Minute(), c.minuteAfter);
        EXPECT_TRUE(answer.Entered());
    }
}

LoadedStimulus Samples(std::vector<std::uint8_t> bytes, int bits) {
    LoadedStimulus s;
    s.ok = true;
    s.format = PcmFormat(1, 8000, static_cast<std::uint16_t>(bits));
    s.sampleCount = static_cast<std::uint32_t>(bytes.size() * 8 / bits);
    s.samples = std::move(bytes);
    return s;
}

TEST(TimeStimulusTest, HourSilenceMinuteInBothDepths) {
    // 16 bits: 1600 zero samples; 8 bits: 1600 samples of 128.
    const auto wide = JoinTimeStimulus(Samples({1, 2, 3, 4}, 16), Samples({5, 6}, 16));
    ASSERT_TRUE(wide.ok);
    EXPECT_EQ(wide.sampleCount, 2u + 1600u + 1u);
    EXPECT_EQ(wide.samples.size(), 2 * wide.sampleCount);
    EXPECT_EQ(std::vector<std::uint8_t>(wide.samples.begin(), wide.samples.begin() + 4),
              (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(std::count(wide.samples.begin() + 4, wide.samples.end() - 2, 0), 3200);
    EXPECT_EQ(wide.samples.back(), 6);
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
    TimeSettings settings;
    ReadTimeScenario(scenario(2, "BEGIN=10:00\nEND=10:00\nNUMBER=1\n"), settings);
    EXPECT_EQ(settings.filePath, "/station/times/");
    EXPECT_EQ(settings.items[0].number, 4);
    EXPECT_EQ(settings.items[0].playSpeed, 1.5);
    EXPECT_EQ(TimeStimulus(settings.items[0]).noiseLevel, 0.01);
    EXPECT_EQ(TimeStimulus(settings.items[0]).repeatCount, 3);
}

// The window as a script sees it: what was played when, the rows, the
// session rows and the messages.
class ScriptHost : public TimeHost {
  public:
    explicit ScriptHost(FakeClock& clock) : clock_(clock) {}
    struct Played {
        std::uint64_t atMs;
        std::string hour, minute;
    };
    std::vector<Played> played;
    std::vector<TimeTrialRecord> rows;
    std::vector<std::string> sessions;  // "id:number" as started, "+duration" when finished
    std::vector<std::string> messages;
    std::string instruction;
    bool answerButtons = false, rollBack = false, start = true, confirm = true;
    int progress = 0, range = 0, pictures = 0;

    void ShowInstruction(const std::string& text) override { instruction = text; }
    void SetStartEnabled(bool on) override { start = on; }
    void SetAnswerButtons(bool on) override { answerButtons = on; }
    void SetRollBackEnabled(bool on) override { rollBack = on; }
    void ShowAnswer() override {}
    void PlayStimulus(const std::string& hour, const std::string& minute,
                      const StimulusSettings&) override {
        played.push_back({clock_.TickMs(), hour, minute});
    }
    void StopWorker() override {}
    std::optional<long long> StartSessionItem(const TimeItem& item) override {
        sessions.push_back(std::to_string(sessions.size() + 1) + ":" + std::to_string(item.number));
        return static_cast<long long>(sessions.size());
    }
    void FinishSessionItem(long long id, long long seconds, int number) override {
        sessions[static_cast<std::size_t>(id - 1)] +=
            "+" + std::to_string(seconds) + "/" + std::to_string(number);
    }
    bool StoreTrial(const TimeTrialRecord& record) override {
        rows.push_back(record);
        return true;
    }
    std::optional<std::string> TakeLastTrial() override {
        if (rows.empty()) return std::nullopt;
        std::string played = rows.back().played;
        rows.pop_back();
        return played;
    }
    bool Confirm(const std::string&) override { return confirm; }
    void Message(const std::string& text) override { messages.push_back(text); }
    void AdvancePicture() override { ++pictures; }
    void ShowProgress(int p, int r) override {
        progress = p;
        range = r;
    }
    void RunSteps(StepSequence steps) override { next_ = std::move(steps); }
    void CancelSteps() override { next_.reset(); }

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

TimeItem Item(const char* begin, const char* end, int number) {
    TimeItem item;
    item.begin = begin;
    item.end = end;
    item.number = number;
    item.playSpeed = 1.0;
    return item;
}

struct Session {
    FakeClock clock{1'700'000'000, 0};
    CrtRandom random;
    ScriptHost host{clock};
    TimeListeningTest test;
    explicit Session(std::vector<TimeItem> items)
        : test(TimeSettings{"", 0, "t/", std::move(items)}, host, clock, random) {}
    /** The time of the stimulus now playing, from the files it plays. */
    std::string Heard() const {
        const auto& p = host.played.back();
        return p.hour.substr(3, 2) + ":" + p.minute.substr(3, 2);
    }
    // One scripted action after `ms` of listening: "=text" types text and
    // confirms, "?" confirms untouched, "N" presses "全然確認できない", "B" rolls
    // back, "H" answers what was heard.
    void Do(const std::string& action, std::uint64_t ms = 1500) {
        clock.AdvanceMs(ms);
        if (action == "N") {
            test.NothingRecognised();
        } else if (action == "B") {
            test.RollBackLast();
        } else if (action == "?") {
            test.ConfirmAnswer();
        } else {
            test.Answer().Edit(action == "H" ? Heard() : action.substr(1));
            test.ConfirmAnswer();
        }
        host.Settle();
    }
};

TEST(TimeSessionTest, ItemsRowsRefusalsAndTheEnd) {
    Session s({Item("23:58", "00:01", 4), Item("07:05", "07:05", 1)});
    s.test.Start();
    s.host.Settle();
    // The stimulus 3 s after the start, the buttons 2 s later.
    ASSERT_EQ(s.host.played.size(), 1u);
    EXPECT_EQ(s.host.played[0].atMs, 3000u);
    EXPECT_EQ(s.clock.TickMs(), 5000u);
    EXPECT_TRUE(s.host.answerButtons);
    EXPECT_EQ(s.host.sessions, (std::vector<std::string>{"1:4"}));

    s.Do("?");  // nothing entered
    s.Do("=7:5");
    EXPECT_EQ(s.host.messages,
              (std::vector<std::string>{kTimeNotEnteredMessage, kTimeInvalidMessage}));
    EXPECT_TRUE(s.host.rows.empty());
    EXPECT_TRUE(s.host.answerButtons);
    s.Do("H", 0);
    s.Do("N");
    s.Do("=00:00");
    s.Do("H", 2500);
    ASSERT_EQ(s.host.rows.size(), 4u);
    std::set<std::string> played;
    for (const auto& row : s.host.rows) played.insert(row.played);
    EXPECT_EQ(played, (std::set<std::string>{"23:58", "23:59", "00:00", "00:01"}));
    EXPECT_EQ(s.host.rows[0].answer, s.host.rows[0].played);
    EXPECT_EQ(s.host.rows[0].durationSeconds, 5);  // two refused tries first
    EXPECT_EQ(s.host.rows[1].answer, "");
    EXPECT_EQ(s.host.rows[3].durationSeconds, 4);
    for (const auto& row : s.host.rows) EXPECT_EQ(row.sessionItem, 1);
    // The item's session row is completed; the next item opens its own.
    EXPECT_EQ(s.host.sessions[0], "1:4+19/4");
    EXPECT_EQ(s.host.played.back().hour, "t/H07.wav");
    EXPECT_EQ(s.host.played.back().minute, "t/M05.wav");
    EXPECT_EQ(s.host.progress, 4);
    EXPECT_EQ(s.host.range, 5);
    s.Do("=07:05");
    EXPECT_EQ(s.host.sessions, (std::vector<std::string>{"1:4+19/4", "2:1+4/1"}));
    EXPECT_EQ(s.test.CurrentPhase(), TimeListeningTest::Phase::Done);
    EXPECT_EQ(s.host.messages.back(), kTimeThanksMessage);
    EXPECT_EQ(s.host.instruction, kTimeCloseText);
    EXPECT_FALSE(s.host.answerButtons || s.host.rollBack || s.host.start);
    EXPECT_EQ(s.host.pictures, 2);
}

TEST(TimeSessionTest, RollBackReturnsTheTimesToTheDraw) {
    struct Case {
        const char* script;  // answers before the roll back
        bool confirm;
        std::vector<std::string> messages;
        std::size_t rowsAfter;
    };
    // The next trial's stimulus is already playing when the roll back comes.
    const Case cases[] = {
        {"HH", true, {}, 1},
        {"HH", false, {}, 2},
        {"HHHH", true, {kTimeCannotRollBackMessage}, 4},  // the item is finished
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.script);
        Session s({Item("23:58", "00:01", 4), Item("10:00", "10:01", 2)});
        s.test.Start();
        s.host.Settle();
        for (const char* a = c.script; *a != '\0'; ++a) s.Do(std::string(1, *a));
        ASSERT_TRUE(s.host.rollBack);
        s.host.confirm = c.confirm;
        s.test.RollBackLast();
        EXPECT_EQ(s.host.messages, c.messages);
        EXPECT_EQ(s.host.rows.size(), c.rowsAfter);
        s.host.Settle();
        // Whatever happened, the test runs to the end with every time once.
        while (s.test.CurrentPhase() != TimeListeningTest::Phase::Done) s.Do("H");
        ASSERT_EQ(s.host.rows.size(), 6u);
        std::set<std::string> played;
        for (const auto& row : s.host.rows) {
            played.insert(row.played);
            EXPECT_EQ(row.answer, row.played);
        }
        EXPECT_EQ(played.size(), 6u);
        EXPECT_EQ(s.host.sessions.size(), 2u);
    }
}

}  // namespace
}  // namespace kestrune
