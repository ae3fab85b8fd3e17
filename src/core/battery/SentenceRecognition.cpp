#include "core/battery/SentenceRecognition.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kestrune {

namespace {

constexpr double kStepNudge = 1e-6;

}  // namespace

double SentenceLastStep(const SentenceItem& item) {
    if (item.interval == 0.0) return 0.0;
    const double quotient = (item.end - item.begin) / item.interval;
    return quotient + kStepNudge * std::max(1.0, std::fabs(quotient));
}

int SentenceStepCount(const SentenceItem& item) {
    const double last = SentenceLastStep(item);
    if (!(last >= 0.0)) return 1;
    return static_cast<int>(std::floor(last)) + 1;
}

double SentenceSweepValue(const SentenceItem& item, int step) {
    return item.begin + step * item.interval;
}

bool SentenceCanStep(const SentenceItem& item, int step) {
    return step + 1 <= SentenceLastStep(item);
}

std::optional<StimulusSettings> SentenceStimulus(const SentenceItem& item, int step) {
    StimulusSettings settings;
    settings.speed = item.playSpeed;
    settings.noiseLevel = item.noiseLevel;
    settings.interruptionMs = item.period;
    settings.keptFraction = item.keptFraction;
    const double value = SentenceSweepValue(item, step);
    switch (item.factorMask) {
        case kSweepSpeed:
            settings.speed = value;
            break;
        case kSweepPeriod:
            settings.interruptionMs = value;
            break;
        case kSweepKeptFraction:
            settings.keptFraction = value;
            break;
        default:
            return std::nullopt;
    }
    return settings;
}

ScenarioCheck ReadSentenceScenario(const Scenario& scenario,
                                   const std::function<MaterialLookup(int audioId)>& lookup,
                                   SentenceSettings& settings) {
    settings = {};
    settings.picturePath = scenario.PicturePath();
    settings.pictureNumber = scenario.PictureNumber();
    auto check = [&](const Scenario& s, int i) -> std::optional<std::string> {
        SentenceItem item;
        item.audioId = s.ItemInt(i, "FILE");
        const MaterialLookup found = lookup(item.audioId);
        if (found.error) return found.error;
        if (!found.path) return kInvalidAudioIdMessage;
        if (found.path->empty()) return kInvalidAudioPathMessage;
        item.wavePath = *found.path;
        item.factorMask = s.ItemInt(i, "TYPEMASK");
        item.playSpeed = s.ItemReal(i, "PLAYSPEED");
        item.noiseLevel = s.ItemReal(i, "SNR");
        item.period = s.ItemReal(i, "CYCLE");
        item.keptFraction = s.ItemReal(i, "DUTYCYCLE");
        item.begin = s.ItemReal(i, "BEGIN");
        item.end = s.ItemReal(i, "END");
        item.interval = s.ItemReal(i, "INTERVAL");
        settings.items.push_back(std::move(item));
        return std::nullopt;
    };
    ScenarioCheck result = CheckScenario(scenario, 0, check);
    if (result.result != ScenarioStart::Ready) settings.items.clear();
    return result;
}

SentenceRecognitionTest::SentenceRecognitionTest(SentenceSettings settings, SentenceHost& host,
                                                 const Clock& clock)
    : settings_(std::move(settings)), host_(host), timer_(clock) {}

int SentenceRecognitionTest::ProgressRange() const {
    int range = 0;
    for (const SentenceItem& item : settings_.items) range += SentenceStepCount(item);
    return range;
}

int SentenceRecognitionTest::ProgressPosition() const {
    int position = 0;
    const int items = static_cast<int>(settings_.items.size());
    for (int i = 0; i < item_ && i < items; ++i)
        position += SentenceStepCount(settings_.items[static_cast<size_t>(i)]);
    return position + (ItemsLeft() ? step_ : 0);
}

void SentenceRecognitionTest::UpdateProgress() {
    host_.ShowProgress(ProgressPosition(), ProgressRange());
}

void SentenceRecognitionTest::Start() {
    if (phase_ != Phase::Ready || !ItemsLeft()) return;
    phase_ = Phase::Playing;
    host_.SetStartEnabled(false);
    host_.SetAnswerButtons(false);
    host_.ShowInstruction("");
    host_.ShowInstruction(kListenText);
    UpdateProgress();
    StepSequence steps;
    steps.Then(kSentenceStartWaitMs, "first round", [this] { StartRound(); });
    host_.RunSteps(std::move(steps));
}

void SentenceRecognitionTest::PlayCurrent() {
    if (!ItemsLeft()) return;
    host_.PlayStimulus(Current().wavePath, SentenceStimulus(Current(), step_));
}

void SentenceRecognitionTest::Prompt() {
    if (!ItemsLeft()) return;
    phase_ = Phase::Answering;
    host_.ShowInstruction(kChooseText);
    host_.SetAnswerButtons(true);
    host_.OpenTypedEntry(lastTyped_);
}

void SentenceRecognitionTest::StartRound() {
    phase_ = Phase::Playing;
    PlayCurrent();
    StepSequence steps;
    steps.Then(kSentenceListenWaitMs, "prompt", [this] { Prompt(); });
    host_.RunSteps(std::move(steps));
}

SentenceRecord SentenceRecognitionTest::MakeRecord(double recognised, long long pausedSeconds,
                                                   int times) const {
    const SentenceItem& item = Current();
    const AnswerTime at = timer_.Confirm(pausedSeconds);
    SentenceRecord record;
    record.audioId = item.audioId;
    record.times = times;
    record.timeText = at.atText;
    record.durationSeconds = at.durationSeconds;
    record.state = state_;
    record.recognised = recognised;
    record.factorMask = item.factorMask;
    record.playSpeed = item.playSpeed;
    record.noiseLevel = item.noiseLevel;
    record.period = item.period;
    record.keptFraction = item.keptFraction;
    const double value = SentenceSweepValue(item, step_);
    switch (item.factorMask) {
        case kSweepSpeed:
            record.playSpeed = value;
            break;
        case kSweepPeriod:
            record.period = value;
            break;
        case kSweepKeptFraction:
            record.keptFraction = value;
            break;
        default:
            break;
    }
    return record;
}

void SentenceRecognitionTest::BackToAnswering() {
    // The answer was not taken: the round goes on, nothing moves.
    Prompt();
}

void SentenceRecognitionTest::Typed(const std::string& text, long long pausedSeconds) {
    if (phase_ != Phase::Answering) return;
    phase_ = Phase::Playing;
    host_.SetAnswerButtons(false);
    host_.StopWorker();
    const std::optional<int> times = host_.NextTimes(Current().audioId, true);
    if (!times) {
        BackToAnswering();
        return;
    }
    SentenceRecord record;
    bool matched = false;
    if (text.empty()) {
        record = MakeRecord(0.0, pausedSeconds, *times);
    } else {
        std::optional<std::string> content = host_.Content(Current().audioId);
        if (!content) {
            host_.Message(kAudioContentFailedMessage);
            content = std::string();
        }
        matched = text == *content;
        record = MakeRecord(matched ? 1.0 : 0.5, pausedSeconds, *times);
        record.content = text;
    }
    if (!host_.Store(record)) {
        BackToAnswering();
        return;
    }
    // A typed answer cannot be taken back: only the buttons' answers can.
    rollBack_.SetEnabled(false);
    host_.SetRollBackEnabled(false);
    lastTyped_ = text;
    if (text.empty()) {
        state_ = 0.0;
        AfterTyped(false);
        return;
    }
    state_ = matched ? 1.0 : 0.5;
    AfterTyped(matched);
}

void SentenceRecognitionTest::AfterTyped(bool matched) {
    if (!matched && SentenceCanStep(Current(), step_)) {
        ++step_;
    } else {
        NextItemTyped();
    }
    UpdateProgress();
    if (ItemsLeft())
        StartRound();
    else
        Finish();
}

void SentenceRecognitionTest::NextItemTyped() {
    ++item_;
    step_ = 0;
    state_ = 0.0;
    lastTyped_.clear();
    host_.AdvancePicture();
}

void SentenceRecognitionTest::Quit() {
    if (phase_ != Phase::Answering) return;
    phase_ = Phase::Done;
    host_.CancelSteps();
    host_.StopWorker();
    host_.CloseTest();
}

void SentenceRecognitionTest::Button(SentenceAnswer answer) {
    if (phase_ != Phase::Answering || answer == SentenceAnswer::Typed) return;
    host_.SetAnswerButtons(false);
    host_.StopWorker();
    host_.CloseEntries();
    if (answer == SentenceAnswer::NotRecognised) {
        phase_ = Phase::Playing;
        const std::optional<int> times = host_.NextTimes(Current().audioId, false);
        if (!times || !host_.Store(MakeRecord(0.0, 0, *times))) {
            BackToAnswering();
            return;
        }
        AfterButton(answer);
        return;
    }
    phase_ = Phase::Entering;
    entering_ = answer;
    host_.OpenContentEntry();
}

void SentenceRecognitionTest::ContentEntered(const std::string& text, long long pausedSeconds) {
    if (phase_ != Phase::Entering) return;
    phase_ = Phase::Playing;
    const std::optional<int> times = host_.NextTimes(Current().audioId, false);
    if (!times) {
        BackToAnswering();
        return;
    }
    SentenceRecord record =
        MakeRecord(entering_ == SentenceAnswer::Recognised ? 1.0 : 0.5, pausedSeconds, *times);
    record.content = text;
    if (!host_.Store(record)) {
        BackToAnswering();
        return;
    }
    lastTyped_ = text;
    AfterButton(entering_);
}

void SentenceRecognitionTest::ContentCancelled() {
    if (phase_ != Phase::Entering) return;
    BackToAnswering();
}

void SentenceRecognitionTest::AfterButton(SentenceAnswer answer) {
    rollBack_.SetEnabled(true);
    host_.SetRollBackEnabled(true);
    if (answer == SentenceAnswer::Recognised)
        NextItemFromButtons();
    else
        ContinueSweep(answer);
}

void SentenceRecognitionTest::ContinueSweep(SentenceAnswer answer) {
    if (!SentenceCanStep(Current(), step_)) {
        NextItemFromButtons();
        return;
    }
    rollBack_.SaveUndoPosition({item_, step_});
    ++step_;
    if (answer == SentenceAnswer::TryIt) host_.AdvancePicture();
    UpdateProgress();
    const bool trying = answer == SentenceAnswer::TryIt;
    host_.ShowInstruction(trying ? kSentenceTryText : kSentenceClearerText);
    state_ = trying ? 0.5 : 0.0;
    StepSequence steps;
    steps.Then(kSentenceAnnounceWaitMs, "play", [this] { PlayCurrent(); })
        .Then(kSentencePromptWaitMs, "prompt", [this] { Prompt(); });
    host_.RunSteps(std::move(steps));
}

void SentenceRecognitionTest::NextItemFromButtons() {
    rollBack_.SaveUndoPosition({item_, step_});
    ++item_;
    step_ = 0;
    lastTyped_.clear();
    host_.AdvancePicture();
    UpdateProgress();
    if (!ItemsLeft()) {
        Finish();
        return;
    }
    host_.ShowInstruction(kNewAudioText);
    StepSequence steps;
    steps
        .Then(kSentenceAnnounceWaitMs, "play",
              [this] {
                  PlayCurrent();
                  state_ = 0.0;
              })
        .Then(kSentencePromptWaitMs, "prompt", [this] { Prompt(); });
    host_.RunSteps(std::move(steps));
}

void SentenceRecognitionTest::Finish() {
    phase_ = Phase::Done;
    host_.ShowInstruction(kThanksText);
    StepSequence steps;
    steps.Then(kSentenceThanksWaitMs, "thanks", [this] {
        host_.Message(kThanksMessage);
        host_.SetStartEnabled(false);
        host_.SetAnswerButtons(false);
        rollBack_.SetEnabled(false);
        host_.SetRollBackEnabled(false);
        host_.ShowInstruction(kCloseText);
        item_ = 0;
    });
    host_.RunSteps(std::move(steps));
}

RollBackResult SentenceRecognitionTest::RollBackLast() {
    if (phase_ == Phase::Done || !rollBack_.Enabled()) return RollBackResult::Unavailable;
    host_.CancelSteps();
    host_.CloseEntries();
    host_.SetAnswerButtons(false);
    phase_ = Phase::Playing;
    StepSequence replay;
    const RollBackResult result = rollBack_.Run(host_, replay);
    if (result == RollBackResult::RolledBack) {
        host_.RunSteps(std::move(replay));
        return result;
    }
    // Back at the first stimulus, or nothing undone: either way the worker
    // was stopped, so the stimulus plays again before the next answer.
    if (result == RollBackResult::AtBeginning) UpdateProgress();
    StepSequence again;
    again.Then(kRollBackReplayDelayMs, "start worker", [this] { PlayCurrent(); })
        .Then(kRollBackPromptDelayMs, "prompt answer", [this] { Prompt(); });
    host_.RunSteps(std::move(again));
    return result;
}

void SentenceRecognitionTest::RestorePosition(const TestPosition& position) {
    item_ = position.item;
    step_ = position.step;
    lastTyped_.clear();
}

}  // namespace kestrune
