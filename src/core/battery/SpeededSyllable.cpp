#include "core/battery/SpeededSyllable.h"

#include <cstdio>
#include <utility>

#include "core/battery/VowelDiscrimination.h"

namespace kestrune {

namespace {

std::string FormatSpeed(double speed) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", speed);
    return text;
}

}  // namespace

double SpeedupStepsFrom(const SpeedupItem& item, double speed) {
    if (item.interval == 0.0) return 0.0;
    return (item.end - speed) / item.interval + 1.0;
}

int SpeedupWeight(const SpeedupItem& item) {
    if (item.finished || item.interval == 0.0) return 0;
    return static_cast<int>((item.end - item.speed) / item.interval) + 1;
}

ScenarioCheck ReadSpeedupScenario(const Scenario& scenario, SpeedupSettings& settings) {
    settings = {};
    settings.picturePath = scenario.PicturePath();
    settings.pictureNumber = scenario.PictureNumber();
    settings.volume = scenario.Int("INFO", "VOLUME");
    settings.sequenceType = scenario.Int("INFO", "SEQTYPE");
    auto read = [&settings](const Scenario& s, int i) -> std::optional<std::string> {
        SpeedupItem item;
        item.path = s.ItemPath(i, "FILEPATHNAME");
        item.begin = s.ItemReal(i, "BEGIN");
        item.end = s.ItemReal(i, "END");
        item.interval = s.ItemReal(i, "INTERVAL");
        item.missPermission = s.ItemInt(i, "MISSPERMISSION");
        item.playTimes = s.ItemInt(i, "PLAYTIMES");
        item.description = s.ItemText(i, "DESCRIPTION");
        item.speed = item.begin;
        item.finished = !(SpeedupStepsFrom(item, item.begin) > 0.5);
        settings.items.push_back(std::move(item));
        return std::nullopt;
    };
    ScenarioCheck check = CheckScenario(scenario, kSpeedupCapacity, read);
    if (check.result != ScenarioStart::Ready) settings.items.clear();
    return check;
}

int DrawSpeedupItem(const std::vector<SpeedupItem>& items, CrtRandom& random, bool* noWeight) {
    if (noWeight != nullptr) *noWeight = false;
    int total = 0;
    int firstOpen = -1;
    for (int i = 0; i < static_cast<int>(items.size()); ++i) {
        const SpeedupItem& item = items[static_cast<size_t>(i)];
        if (item.finished) continue;
        if (firstOpen < 0) firstOpen = i;
        total += SpeedupWeight(item);
    }
    if (firstOpen < 0) return -1;
    if (total <= 0) {
        if (noWeight != nullptr) *noWeight = true;
        return firstOpen;
    }
    // The draw can give W + 1: a full round leaves r at 1 and the search
    // wraps to the first weighted item.
    int r = RandomInt(random, total) + 1;
    int index = -1;
    const int count = static_cast<int>(items.size());
    while (r > 0) {
        index = (index + 1) % count;
        r -= SpeedupWeight(items[static_cast<size_t>(index)]);
    }
    return index;
}

SpeedupProgress ComputeSpeedupProgress(const std::vector<SpeedupItem>& items) {
    SpeedupProgress progress;
    int remaining = 0;
    for (size_t i = 0; i < items.size(); ++i) {
        const SpeedupItem& item = items[i];
        if (item.interval == 0.0) continue;
        const int steps = static_cast<int>((item.end - item.begin) / item.interval + 1.0);
        if (steps >= 1) progress.range += steps;
        if (i < static_cast<size_t>(kSpeedupPanels) && !item.finished) {
            const int left = static_cast<int>((item.end - item.speed) / item.interval + 1.1);
            if (left >= 1) remaining += left;
        }
    }
    progress.position = progress.range - remaining;
    return progress;
}

std::string_view SpeedupRating(double average) {
    if (average > 2.2) return "  素晴らしい! \n聴覚の識別能力は若い人のように非常に高い。";
    if (average > 1.8) return "  おめでとう! \n聴覚の識別能力は同年齢の人の中で優れている。";
    if (average > 1.5) return "  良い。\n聴覚の識別能力はすべて正常で、明らかに衰退していない。";
    return "  やや弱い。\n聴覚の識別能力は少し衰退している。";
}

SpeededSyllableTest::SpeededSyllableTest(SpeedupSettings settings, SpeedupHost& host,
                                         CrtRandom& random, const Clock& clock)
    : settings_(std::move(settings)), host_(host), random_(random), timer_(clock) {}

void SpeededSyllableTest::UpdateConfirm() {
    const bool trial = phase_ == Phase::Playing || phase_ == Phase::Answering;
    host_.SetConfirmEnabled(trial && choice_ >= 0);
}

void SpeededSyllableTest::Start() {
    if (phase_ != Phase::Ready) return;
    host_.SetStartEnabled(false);
    host_.SetConfirmEnabled(false);
    host_.SetCannotIdentifyEnabled(false);
    NextTrial();
}

void SpeededSyllableTest::NextTrial() {
    bool noWeight = false;
    item_ = DrawSpeedupItem(settings_.items, random_, &noWeight);
    if (noWeight) host_.Message(kSpeedupNoWeightMessage);
    if (item_ < 0) {
        Evaluate();
        return;
    }
    phase_ = Phase::Waiting;
    host_.ShowProgress(Progress());
    host_.ShowChoice(choice_);
    StepSequence steps;
    steps.Then(kSpeedupPlayWaitMs, "play", [this] {
        const SpeedupItem& item = settings_.items[static_cast<size_t>(item_)];
        StimulusSettings stimulus;
        stimulus.speed = item.speed;
        stimulus.repeatCount = item.playTimes;
        phase_ = Phase::Playing;
        host_.ShowTrialCount(++trials_);
        UpdateConfirm();
        // A recording that cannot be read plays nothing; the trial still
        // waits for its answer.
        if (!host_.PlayStimulus(item.path, stimulus)) PlaybackFinished();
    });
    host_.RunSteps(std::move(steps));
}

void SpeededSyllableTest::PlaybackFinished() {
    if (phase_ != Phase::Playing) return;
    phase_ = Phase::Answering;
    StepSequence steps;
    steps.Then(kSpeedupAnswerWaitMs, "answer", [this] { host_.SetCannotIdentifyEnabled(true); });
    host_.RunSteps(std::move(steps));
}

void SpeededSyllableTest::Choose(int panel) {
    if (panel < 0 || panel >= kSpeedupPanels) return;
    choice_ = choice_ == panel ? -1 : panel;
    host_.ShowChoice(choice_);
    UpdateConfirm();
}

void SpeededSyllableTest::Confirm() {
    if (choice_ < 0) return;
    Answer(choice_);
}

void SpeededSyllableTest::CannotIdentify() {
    Answer(-1);
}

void SpeededSyllableTest::Answer(int choice) {
    if (phase_ != Phase::Playing && phase_ != Phase::Answering) return;
    host_.CancelSteps();
    host_.StopWorker();
    host_.SetConfirmEnabled(false);
    host_.SetCannotIdentifyEnabled(false);
    SpeedupItem& item = settings_.items[static_cast<size_t>(item_)];
    const AnswerTime at = timer_.Confirm();
    SpeedupRecord record;
    record.volume = settings_.volume;
    record.timeText = at.atText;
    record.durationSeconds = at.durationSeconds;
    record.content = VowelLabel(item_);
    record.recognised = VowelLabel(choice);
    record.speedText = FormatSpeed(item.speed);

    const bool correct = choice >= 0 && choice == item_;
    bool restart = false;
    if (correct) {
        record.state = 1.0;
        record.validity = 1;
    } else {
        record.state = item.misses < item.missPermission ? 0.5 : 0.0;
        const bool lastMissAtFirstSpeed =
            item.misses >= item.missPermission && item.speed == item.begin;
        record.validity = lastMissAtFirstSpeed ? kSpeedupFirstSpeedFailed : 1;
        restart = lastMissAtFirstSpeed && item.begin >= 1.0 && item.begin < 3.2;
    }
    if (!host_.Store(record)) {
        // Nothing moves: the same trial waits for its answer again.
        phase_ = Phase::Answering;
        host_.SetCannotIdentifyEnabled(true);
        UpdateConfirm();
        return;
    }
    if (correct) {
        item.speed += item.interval;
        if (SpeedupStepsFrom(item, item.speed) < 0.5) item.finished = true;
        item.misses = 0;
    } else {
        if (restart) {
            // Two steps slower, with the full allowance of misses again.
            item.begin -= 2 * item.interval;
            item.speed = item.begin;
            item.misses = -1;
        }
        if (item.misses < item.missPermission)
            ++item.misses;
        else
            item.finished = true;
    }
    choice_ = -1;
    NextTrial();
}

void SpeededSyllableTest::Evaluate() {
    phase_ = Phase::Done;
    item_ = -1;
    host_.AdvancePicture();
    host_.ShowProgress(Progress());
    if (const std::optional<double> average = host_.AverageFailingSpeed())
        host_.Message(std::string(SpeedupRating(*average)));
    host_.SetStartEnabled(false);
    host_.SetConfirmEnabled(false);
    host_.SetCannotIdentifyEnabled(false);
    host_.RequestClose();
}

}  // namespace kestrune
