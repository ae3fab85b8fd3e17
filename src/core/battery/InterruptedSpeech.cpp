#include "core/battery/InterruptedSpeech.h"

#include <cstdio>
#include <utility>

#include "core/kana/KanaTable.h"
#include "core/text/Encoding.h"

namespace kestrune {

int SyllableKindCode(std::string_view type) {
    if (type == "Notfound") return 1;
    if (type == "TRAIN") return 5;
    return 2;
}

ScenarioCheck ReadSyllableScenario(const Scenario& scenario, SyllableSettings& settings) {
    settings = {};
    settings.picturePath = scenario.PicturePath();
    settings.pictureNumber = scenario.PictureNumber();
    settings.filePath = scenario.FilePath();
    settings.kindCode = SyllableKindCode(scenario.Text("INFO", "TYPE"));
    auto check = [&](const Scenario& s, int i) -> std::optional<std::string> {
        SyllableItem item;
        item.factorMask = s.ItemInt(i, "TYPEMASK");
        item.playSpeed = s.ItemReal(i, "PLAYSPEED");
        item.noiseLevel = s.ItemReal(i, "SNR");
        item.period = s.ItemReal(i, "CYCLE");
        item.keptFraction = s.ItemReal(i, "DUTYCYCLE");
        item.begin = s.ItemInt(i, "BEGIN");
        item.end = s.ItemInt(i, "END");
        item.number = s.ItemInt(i, "NUMBER");
        // Syllables are not repeated within an item, so the range must hold
        // one for every trial.
        const int pool = item.end >= item.begin ? item.end - item.begin + 1 : 0;
        if (item.number > pool) {
            return Scenario::ItemSection(i) + ": NUMBER " + std::to_string(item.number) +
                   " is larger than its " + std::to_string(pool) + " syllables (BEGIN " +
                   std::to_string(item.begin) + ", END " + std::to_string(item.end) + ")";
        }
        settings.items.push_back(item);
        return std::nullopt;
    };
    ScenarioCheck result = CheckScenario(scenario, kSyllableItemCapacity, check);
    if (result.result != ScenarioStart::Ready) settings.items.clear();
    return result;
}

void SyllablePool::Fill(int begin, int end) {
    entries_.clear();
    for (int n = begin; n <= end; ++n) entries_.push_back({n, false});
}

int SyllablePool::Unused() const {
    int unused = 0;
    for (const Entry& e : entries_) unused += e.used ? 0 : 1;
    return unused;
}

std::optional<int> SyllablePool::Pick(CrtRandom& random) {
    const int count = Count();
    if (Unused() == 0) return std::nullopt;
    RandomInt(random, count);
    const int r = RandomInt(random, count);
    int at = 0;
    int chosen = 0;
    for (int step = 0; step <= r; ++step) {
        while (entries_[static_cast<size_t>(at)].used) at = (at + 1) % count;
        chosen = at;
        at = (at + 1) % count;
    }
    entries_[static_cast<size_t>(chosen)].used = true;
    return entries_[static_cast<size_t>(chosen)].number;
}

bool SyllablePool::Release(std::string_view kana) {
    for (Entry& e : entries_) {
        if (e.used && SyllableToKana(e.number) == kana) {
            e.used = false;
            return true;
        }
    }
    return false;
}

bool SyllablePool::Used(int number) const {
    for (const Entry& e : entries_)
        if (e.number == number) return e.used;
    return false;
}

bool IsKanaAnswerLength(std::string_view answer) {
    const std::optional<std::size_t> bytes = Cp932ByteLength(answer);
    return bytes && (*bytes == 2 || *bytes == 4);
}

StoredAnswer StoreAnswer(std::string_view played, std::string_view typed) {
    static constexpr std::pair<std::string_view, std::string_view> kHomophones[] = {
        {"お", "を"}, {"じ", "ぢ"}, {"ず", "づ"}};
    for (const auto& [a, b] : kHomophones) {
        if ((played == a && typed == b) || (played == b && typed == a))
            return {std::string(played), "1"};
    }
    return {std::string(typed), ""};
}

double HalfDutyRate(int correct, int total) {
    return total == 0 ? 50.0 : static_cast<double>(correct) / total * 100.0;
}

std::string RatingText(double rate) {
    const char* format = "  識別正確率は%3.1f%% 、やや弱い。\n聴覚の識別能力は少し衰退している。";
    if (rate > 75)
        format = "  識別正確率は%3.1f%% 、素晴らしい。\n聴覚の識別能力は若い人のように非常に高い。";
    else if (rate > 65)
        format =
            "  識別正確率は%3.1f%% 、おめでとう。\n聴覚の識別能力は同年齢の人の中で優れている。";
    else if (rate > 45)
        format =
            "  識別正確率は%3.1f%% "
            "、良い。\n聴覚の識別能力はすべて正常で、明らかに衰退していない。";
    char text[256];
    std::snprintf(text, sizeof text, format, rate);
    return text;
}

InterruptedSpeechTest::InterruptedSpeechTest(SyllableSettings settings, SyllableHost& host,
                                             const Clock& clock, CrtRandom& random)
    : settings_(std::move(settings)),
      host_(host),
      clock_(clock),
      random_(random),
      pause_(clock),
      timer_(clock) {
    if (!settings_.items.empty()) pool_.Fill(Current().begin, Current().end);
}

int InterruptedSpeechTest::ProgressRange() const {
    int range = 0;
    for (const SyllableItem& item : settings_.items) range += item.number;
    return range;
}

int InterruptedSpeechTest::ProgressPosition() const {
    if (phase_ == Phase::Done) return ProgressRange();
    int position = 0;
    for (int i = 0; i < item_; ++i) position += settings_.items[static_cast<size_t>(i)].number;
    return position + trial_;
}

void InterruptedSpeechTest::UpdateProgress() {
    host_.ShowProgress(ProgressPosition(), ProgressRange());
}

void InterruptedSpeechTest::Start() {
    if (phase_ != Phase::Ready || settings_.items.empty()) return;
    host_.SetStartEnabled(false);
    host_.ShowInstruction("");
    Announce(kListenText, kSyllableStartWaitMs);
}

void InterruptedSpeechTest::Announce(const char* text, std::uint64_t firstWaitMs) {
    phase_ = Phase::Playing;
    host_.SetAnswerButtons(false);
    host_.ShowInstruction(text);
    StepSequence steps;
    steps.Then(firstWaitMs, "play", [this] { PlayNext(); })
        .Then(kSyllablePromptWaitMs, "prompt", [this] { Prompt(); });
    host_.RunSteps(std::move(steps));
}

void InterruptedSpeechTest::Prompt() {
    phase_ = Phase::Answering;
    host_.ShowInstruction(kChooseText);
    // A pause taken while the syllable was announced keeps the buttons off
    // until "続く".
    host_.SetAnswerButtons(!pause_.Paused());
    host_.FocusAnswer();
}

void InterruptedSpeechTest::PlayNext() {
    if (item_ >= static_cast<int>(settings_.items.size())) return;
    random_.Seed(static_cast<std::uint32_t>(clock_.Now()));
    const std::optional<int> number = pool_.Pick(random_);
    if (!number) return;  // the scenario check keeps every item's pool large enough
    played_ = SyllableToKana(*number);
    const SyllableItem& item = Current();
    // The item's session row is opened by its first syllable; a syllable
    // replayed after a roll back to the first trial keeps that row.
    if (sessionItem_ != item_) {
        session_ = host_.StartSession(item);
        sessionItem_ = item_;
        itemStart_ = clock_.Now();
        itemPauseBase_ = pause_.PausedSeconds();
    }
    const std::string path = settings_.filePath + std::to_string(*number) + ".wav";
    timer_.StartTrial();
    if (!host_.LoadSyllable(path)) return;  // nothing plays; the answer is still taken
    StimulusSettings stimulus;
    stimulus.speed = item.playSpeed;
    stimulus.noiseLevel = item.noiseLevel;
    stimulus.interruptionMs = item.period;
    stimulus.keptFraction = item.keptFraction;
    stimulus.repeatCount = 1;
    host_.PlayLoaded(stimulus);
}

void InterruptedSpeechTest::Answer(const std::string& text) {
    if (phase_ != Phase::Answering || pause_.Paused()) return;
    if (!IsKanaAnswerLength(text)) {
        host_.Message(kInvalidKanaMessage);
        host_.ClearAnswer();
        host_.FocusAnswer();
        return;
    }
    Store(text);
}

void InterruptedSpeechTest::NotRecognised() {
    if (phase_ != Phase::Answering || pause_.Paused()) return;
    Store("");
}

void InterruptedSpeechTest::Store(const std::string& typed) {
    const AnswerTime at = timer_.Confirm();
    SyllableTrial trial;
    trial.timeText = at.atText;
    trial.durationText = timer_.TickDuration(kSyllableDurationAllowanceMs);
    trial.played = played_;
    const StoredAnswer stored = StoreAnswer(played_, typed);
    trial.recognised = stored.recognised;
    trial.other = stored.other;
    host_.SetAnswerButtons(false);
    host_.ClearAnswer();
    host_.StopWorker();
    if (!session_ || !host_.StoreTrial(*session_, trial)) {
        // Nothing was stored: the same syllable waits for its answer again.
        host_.SetAnswerButtons(true);
        host_.FocusAnswer();
        return;
    }
    lastItem_ = item_;
    lastTrial_ = trial_;
    if (trial_ < Current().number - 1) {
        ++trial_;
        UpdateProgress();
        Announce(kNewAudioText, kSyllableAnnounceWaitMs);
    } else {
        FinishItem();
    }
    // Even the last answer of the test can be taken back: its trial is then
    // asked again, its item completed again and the rating shown again.
    rollBackEnabled_ = true;
    host_.SetRollBackEnabled(true);
    host_.FocusAnswer();
}

void InterruptedSpeechTest::FinishItem() {
    const long long paused = pause_.PausedSeconds() - itemPauseBase_;
    host_.FinishSession(*session_, WholeSecondsDuration(itemStart_, clock_.Now(), paused),
                        Current().number, item_ == 0 ? 2 : settings_.kindCode);
    if (item_ < static_cast<int>(settings_.items.size()) - 1) {
        ++item_;
        trial_ = 0;
        pool_.Fill(Current().begin, Current().end);
        host_.AdvancePicture();
        UpdateProgress();
        Announce(kNewAudioText, kSyllableAnnounceWaitMs);
        return;
    }
    Evaluate();
}

void InterruptedSpeechTest::Evaluate() {
    phase_ = Phase::Done;
    host_.AdvancePicture();
    UpdateProgress();
    host_.ShowInstruction(kThanksText);
    host_.SetStartEnabled(false);
    host_.SetAnswerButtons(false);
    StepSequence steps;
    steps.Then(kSyllableThanksWaitMs, "rating", [this] {
        std::pair<int, int> score{0, 0};
        if (const auto read = host_.ReadHalfDutyScore())
            score = *read;
        else
            host_.Message(kReadResultFailedMessage);
        host_.Message(RatingText(HalfDutyRate(score.first, score.second)));
        host_.ShowInstruction(kCloseText);
        item_ = 0;
    });
    host_.RunSteps(std::move(steps));
}

void InterruptedSpeechTest::TogglePause() {
    if (pause_.Paused()) {
        pause_.Resume();
        host_.ShowPaused(false);
        host_.SetAnswerButtons(phase_ == Phase::Answering);
    } else {
        pause_.Pause();
        host_.ShowPaused(true);
        host_.SetAnswerButtons(false);
    }
    host_.FocusAnswer();
}

void InterruptedSpeechTest::RollBackLast() {
    if (!rollBackEnabled_) return;
    host_.StopWorker();
    if (!host_.Confirm(kRollBackConfirmText)) return;
    // Only an answer of the item in progress can be taken back: its session
    // row is still open.
    if (trial_ == 0) {
        host_.Message(kCannotRollBackNowMessage);
        return;
    }
    const std::optional<std::string> played = host_.TakeLastTrial();
    if (!played) {
        host_.Message(kRollBackFailedMessage);
        return;
    }
    if (!pool_.Release(*played)) {
        host_.Message(kSyllableNotInPoolMessage);
        return;
    }
    // The syllable drawn for the next trial was never answered: it goes back
    // too, or the item would run out of syllables before its last trial.
    pool_.Release(played_);
    rollBackEnabled_ = false;
    host_.SetRollBackEnabled(false);
    host_.CancelSteps();
    item_ = lastItem_;
    trial_ = lastTrial_;
    UpdateProgress();
    Announce(kRolledBackMessage, kSyllableAnnounceWaitMs);
    host_.FocusAnswer();
}

}  // namespace kestrune
