#include "core/battery/TimeListening.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "core/text/Numbers.h"

namespace kestrune {

namespace {

constexpr int kMinutesPerDay = 24 * 60;
// The face's own rounded constants: the angles and the click conversion
// are computed with these, not with the exact values.
constexpr double kPi = 3.1416;
constexpr double kHalfPi = 1.5708;
constexpr double kThreeHalvesPi = 4.7124;
constexpr double kTwoPi = 6.2832;

std::string_view FirstTwo(const std::string& text) {
    return std::string_view(text).substr(0, 2);
}

std::string_view LastTwo(const std::string& text) {
    return std::string_view(text).substr(text.size() < 2 ? 0 : text.size() - 2);
}

bool TwoDigits(std::string_view text) {
    return text.size() == 2 && text[0] >= '0' && text[0] <= '9' && text[1] >= '0' && text[1] <= '9';
}

}  // namespace

std::string FormatClockTime(int hour, int minute) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d", std::max(hour, 0) % 24, std::max(minute, 0) % 60);
    return text;
}

ClockTime ReadClockTime(const std::string& text) {
    return {LeadingInt(FirstTwo(text)), LeadingInt(LastTwo(text))};
}

bool ValidTimeAnswer(const std::string& text) {
    if (text.size() != 5 || text[2] != ':') return false;
    if (!TwoDigits(FirstTwo(text)) || !TwoDigits(LastTwo(text))) return false;
    const ClockTime time = ReadClockTime(text);
    return time.hour <= 23 && time.minute <= 59;
}

std::vector<std::string> CandidateTimes(const std::string& begin, const std::string& end) {
    const ClockTime last = ReadClockTime(end);
    ClockTime time = ReadClockTime(begin);
    std::vector<std::string> times;
    // An END that is no time of the day is never reached: a whole day at most.
    while (static_cast<int>(times.size()) < kMinutesPerDay) {
        times.push_back(FormatClockTime(time.hour, time.minute));
        if (time == last) break;
        if (++time.minute > 59) {
            time.minute = 0;
            if (++time.hour > 23) time.hour = 0;
        }
    }
    return times;
}

CandidateList::CandidateList(std::vector<std::string> times)
    : times_(std::move(times)), used_(times_.size(), false) {}

int CandidateList::Unused() const {
    return static_cast<int>(std::count(used_.begin(), used_.end(), false));
}

std::optional<std::string> CandidateList::Draw(CrtRandom& random) {
    const int unused = Unused();
    if (unused == 0) return std::nullopt;
    RandomInt(random, Count());
    const int r = RandomInt(random, Count());
    // The (r + 1)-th unused time, counting on from the first one around the list.
    int skip = r % unused;
    for (std::size_t i = 0; i < times_.size(); ++i) {
        if (used_[i]) continue;
        if (skip-- == 0) {
            used_[i] = true;
            return times_[i];
        }
    }
    return std::nullopt;
}

bool CandidateList::Release(const std::string& time) {
    const auto found = std::find(times_.begin(), times_.end(), time);
    if (found == times_.end()) return false;
    used_[static_cast<std::size_t>(found - times_.begin())] = false;
    return true;
}

void TimeAnswer::ShowText() {
    text_ = FormatClockTime(hour_, minute_);
}

void TimeAnswer::Show(int hour, int minute) {
    hour_ = hour;
    minute_ = minute;
    ShowText();
}

bool TimeAnswer::Click(int x, int y, int width, int height) {
    const std::optional<float> angle = ClockClickAngle(x, y, width, height);
    if (!angle) return false;
    // The product stays a float, as the angle is; only the division by the
    // rounded pi widens it. A click right on an hour mark therefore lands a
    // hair below that hour.
    if (hourMode_) {
        const float turned = *angle * 6;
        const int h12 = static_cast<int>(turned / kPi);
        hour_ = hour_ < 12 ? h12 : h12 + 12;
    } else {
        const float turned = *angle * 30;
        minute_ = static_cast<int>(turned / kPi);
    }
    ShowText();
    entered_ = true;
    return true;
}

void TimeAnswer::Scroll(int minutes) {
    const int step = minutes < 0 ? -1 : 1;
    for (int n = 0; n < std::abs(minutes); ++n) {
        minute_ += step;
        if (minute_ > 59) {
            minute_ = 0;
            if (++hour_ > 23) hour_ = 0;
        } else if (minute_ < 0) {
            minute_ = 59;
            if (--hour_ < 0) hour_ = 23;
        }
    }
    ShowText();
    entered_ = true;
}

void TimeAnswer::SwitchHalf() {
    const ClockTime shown = ReadClockTime(text_);
    hour_ = shown.hour < 12 ? shown.hour + 12 : shown.hour - 12;
    minute_ = shown.minute;
    ShowText();
    entered_ = true;
}

void TimeAnswer::Edit(const std::string& text) {
    text_ = text;
    if (text.size() >= 5) {
        const ClockTime typed = ReadClockTime(text);
        hour_ = typed.hour;
        minute_ = typed.minute;
    }
    entered_ = true;
}

std::optional<float> ClockClickAngle(int x, int y, int width, int height) {
    if (!(x > 0 && x < width && y > 0 && y < height)) return std::nullopt;
    const int cx = width / 2;
    const int cy = height / 2;
    if (x == cx) return static_cast<float>(y <= cy ? 0.0 : kPi);
    const double slope = static_cast<double>(cy - y) / (x - cx);
    return static_cast<float>((x > cx ? kHalfPi : kThreeHalvesPi) - std::atan(slope));
}

double MinuteHandAngle(int minute) {
    return minute * kTwoPi / 60;
}

double HourHandAngle(int hour, int minute) {
    return (hour % 12) * kTwoPi / 12 + minute * kPi / 360;
}

ClockPoint HandEnd(int cx, int cy, double angle, int length) {
    return {cx + static_cast<int>(std::cos(kHalfPi - angle) * length),
            cy - static_cast<int>(std::sin(kHalfPi - angle) * length)};
}

StimulusSettings TimeStimulus(const TimeItem& item) {
    StimulusSettings settings;
    settings.speed = item.playSpeed;
    settings.noiseLevel = item.noiseLevel;
    settings.interruptionMs = item.period;
    settings.keptFraction = item.keptFraction;
    settings.repeatCount = kDefaultRepeatCount;
    return settings;
}

ScenarioCheck ReadTimeScenario(const Scenario& scenario, TimeSettings& settings) {
    settings = {};
    settings.picturePath = scenario.PicturePath();
    settings.pictureNumber = scenario.PictureNumber();
    settings.filePath = scenario.FilePath();
    auto check = [&](const Scenario& s, int i) -> std::optional<std::string> {
        TimeItem item;
        item.factorMask = s.ItemInt(i, "TYPEMASK");
        item.playSpeed = s.ItemReal(i, "PLAYSPEED");
        item.noiseLevel = s.ItemReal(i, "SNR");
        item.period = s.ItemReal(i, "CYCLE");
        item.keptFraction = s.ItemReal(i, "DUTYCYCLE");
        item.begin = s.ItemText(i, "BEGIN");
        item.end = s.ItemText(i, "END");
        item.number = s.ItemInt(i, "NUMBER");
        // Times are never repeated within an item, so it cannot have more
        // trials than times to draw from.
        const auto candidates = static_cast<int>(CandidateTimes(item.begin, item.end).size());
        if (item.number < 1 || item.number > candidates) {
            return Scenario::ItemSection(i) + ": NUMBER=" + std::to_string(item.number) +
                   " trials, but BEGIN=" + item.begin + " to END=" + item.end + " gives " +
                   std::to_string(candidates) + " time(s)";
        }
        settings.items.push_back(std::move(item));
        return std::nullopt;
    };
    ScenarioCheck result = CheckScenario(scenario, kTimeItemCapacity, check);
    if (result.result != ScenarioStart::Ready) settings.items.clear();
    return result;
}

std::string HourWavePath(const std::string& prefix, const std::string& time) {
    return prefix + "H" + std::string(FirstTwo(time)) + ".wav";
}

std::string MinuteWavePath(const std::string& prefix, const std::string& time) {
    return prefix + "M" + std::string(LastTwo(time)) + ".wav";
}

LoadedStimulus JoinTimeStimulus(const LoadedStimulus& hour, const LoadedStimulus& minute) {
    LoadedStimulus joined;
    const int bits = minute.format.bitsPerSample;
    if (hour.format.bitsPerSample != bits || (bits != 8 && bits != 16)) {
        joined.message = kStimulusNotWaveMessage;
        return joined;
    }
    const std::size_t sampleBytes = static_cast<std::size_t>(bits / 8);
    // 0.2 s in whole samples; silence is the middle of the range, which for
    // unsigned 8-bit samples is 128, not 0.
    const auto gapBytes =
        static_cast<std::size_t>(minute.format.sampleRate * kTimeGapSeconds * bits / 8) /
        sampleBytes * sampleBytes;
    joined.samples = hour.samples;
    joined.samples.insert(joined.samples.end(), gapBytes, bits == 8 ? 0x80 : 0x00);
    joined.samples.insert(joined.samples.end(), minute.samples.begin(), minute.samples.end());
    joined.sampleCount = static_cast<std::uint32_t>(joined.samples.size() / sampleBytes);
    joined.format = minute.format;
    joined.ok = true;
    return joined;
}

LoadedStimulus LoadTimeStimulus(const std::string& hourPath, const std::string& minutePath) {
    LoadedStimulus hour = LoadStimulus(hourPath, kHourWaveMessage);
    if (!hour.ok) return hour;
    LoadedStimulus minute = LoadStimulus(minutePath, kMinuteWaveMessage);
    if (!minute.ok) return minute;
    return JoinTimeStimulus(hour, minute);
}

TimeListeningTest::TimeListeningTest(TimeSettings settings, TimeHost& host, const Clock& clock,
                                     CrtRandom& random)
    : settings_(std::move(settings)), host_(host), clock_(clock), random_(random), timer_(clock) {
    if (ItemsLeft()) candidates_ = CandidateList(CandidateTimes(Current().begin, Current().end));
}

int TimeListeningTest::ProgressRange() const {
    int range = 0;
    for (const TimeItem& item : settings_.items) range += item.number;
    return range;
}

int TimeListeningTest::ProgressPosition() const {
    int position = 0;
    const int items = static_cast<int>(settings_.items.size());
    for (int i = 0; i < item_ && i < items; ++i)
        position += settings_.items[static_cast<std::size_t>(i)].number;
    return position + (ItemsLeft() ? trial_ : 0);
}

void TimeListeningTest::UpdateProgress() {
    host_.ShowProgress(ProgressPosition(), ProgressRange());
}

void TimeListeningTest::Start() {
    if (phase_ != Phase::Ready || !ItemsLeft()) return;
    phase_ = Phase::Playing;
    host_.SetStartEnabled(false);
    host_.SetAnswerButtons(false);
    host_.ShowInstruction("");
    host_.ShowInstruction(kListenText);
    StepSequence steps;
    steps.Then(kTimeStartWaitMs, "play", [this] { PlayNext(); })
        .Then(kTimePromptWaitMs, "prompt", [this] { Prompt(); });
    host_.RunSteps(std::move(steps));
}

void TimeListeningTest::PlayNext() {
    if (!ItemsLeft()) return;
    random_.Seed(static_cast<std::uint32_t>(clock_.Now()));
    const std::optional<std::string> time = candidates_.Draw(random_);
    if (!time) return;  // the scenario check keeps NUMBER within the candidates
    played_ = *time;
    answered_ = false;
    timer_.StartTrial();
    if (sessionOf_ != item_) {
        session_ = host_.StartSessionItem(Current());
        sessionOf_ = item_;
        itemStart_ = clock_.Now();
    }
    answer_.ClearEntered();
    host_.PlayStimulus(HourWavePath(settings_.filePath, played_),
                       MinuteWavePath(settings_.filePath, played_), TimeStimulus(Current()));
}

void TimeListeningTest::Prompt() {
    if (!ItemsLeft()) return;
    phase_ = Phase::Answering;
    host_.ShowInstruction(kChooseText);
    host_.SetAnswerButtons(true);
}

void TimeListeningTest::ConfirmAnswer() {
    if (phase_ != Phase::Answering) return;
    const std::string text = answer_.Text();
    if (!answer_.Entered()) {
        host_.Message(kTimeNotEnteredMessage);
        return;
    }
    if (!ValidTimeAnswer(text)) {
        host_.Message(kTimeInvalidMessage);
        return;
    }
    Store(text);
}

void TimeListeningTest::NothingRecognised() {
    if (phase_ != Phase::Answering) return;
    Store("");
}

void TimeListeningTest::Store(const std::string& answer) {
    const AnswerTime at = timer_.Confirm();
    phase_ = Phase::Playing;
    host_.SetAnswerButtons(false);
    host_.StopWorker();
    TimeTrialRecord record;
    record.sessionItem = session_.value_or(0);
    record.timeText = at.atText;
    record.durationSeconds = at.durationSeconds;
    record.played = played_;
    record.answer = answer;
    // A row that did not go in cannot be taken back: the test goes on
    // without the roll back.
    rollBackEnabled_ = host_.StoreTrial(record);
    answered_ = true;
    lastItem_ = item_;
    lastTrial_ = trial_;
    if (trial_ < Current().number - 1) {
        ++trial_;
        UpdateProgress();
        NextRound(kNewAudioText);
        return;
    }
    if (session_)
        host_.FinishSessionItem(*session_, static_cast<long long>(clock_.Now() - itemStart_),
                                Current().number);
    if (item_ < static_cast<int>(settings_.items.size()) - 1) {
        ++item_;
        trial_ = 0;
        candidates_ = CandidateList(CandidateTimes(Current().begin, Current().end));
        host_.AdvancePicture();
        UpdateProgress();
        NextRound(kNewAudioText);
        return;
    }
    item_ = static_cast<int>(settings_.items.size());
    trial_ = 0;
    phase_ = Phase::Done;
    rollBackEnabled_ = false;
    host_.AdvancePicture();
    UpdateProgress();
    host_.ShowInstruction(kThanksText);
    StepSequence steps;
    steps.Then(kTimeThanksWaitMs, "thanks", [this] {
        host_.Message(kThanksMessage);
        host_.SetStartEnabled(false);
        host_.SetAnswerButtons(false);
        host_.SetRollBackEnabled(false);
        host_.ShowInstruction(kCloseText);
        item_ = 0;
    });
    host_.RunSteps(std::move(steps));
}

void TimeListeningTest::NextRound(const char* text) {
    host_.ShowInstruction(text);
    StepSequence steps;
    steps.Then(kTimeAnnounceWaitMs, "play", [this] { PlayNext(); })
        .Then(kTimePromptWaitMs, "prompt", [this] { Prompt(); });
    host_.RunSteps(std::move(steps));
    host_.SetRollBackEnabled(rollBackEnabled_);
}

void TimeListeningTest::RollBackLast() {
    if (!rollBackEnabled_ || phase_ == Phase::Done) return;
    host_.StopWorker();
    if (!host_.Confirm(kRollBackConfirmText)) return;
    // Only answers of the item in progress can be taken back: the finished
    // item's session row already holds its score.
    if (trial_ == 0) {
        host_.Message(kCannotRollBackNowMessage);
        return;
    }
    const std::optional<std::string> taken = host_.TakeLastTrial();
    if (!taken) {
        host_.Message(kRollBackFailedMessage);
        return;
    }
    if (!candidates_.Release(*taken)) {
        host_.Message(kTimeRollBackLostMessage);
        return;
    }
    host_.CancelSteps();
    // A time already played for the next trial had no answer yet: it goes
    // back into the draw with the one taken back.
    if (!answered_) candidates_.Release(played_);
    answered_ = true;
    rollBackEnabled_ = false;
    host_.SetRollBackEnabled(false);
    item_ = lastItem_;
    trial_ = lastTrial_;
    UpdateProgress();
    phase_ = Phase::Playing;
    host_.SetAnswerButtons(false);
    host_.ShowInstruction(kRolledBackMessage);
    StepSequence steps;
    steps.Then(kTimeAnnounceWaitMs, "play", [this] { PlayNext(); })
        .Then(kTimePromptWaitMs, "prompt", [this] { Prompt(); });
    host_.RunSteps(std::move(steps));
}

}  // namespace kestrune
