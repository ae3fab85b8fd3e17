#include "core/battery/VowelDiscrimination.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "core/battery/AnswerTiming.h"

namespace kestrune {

namespace {

constexpr std::array<std::string_view, kVowelCount> kLabels = {"あ", "い", "う", "え", "お"};

// Steps from `from` down (or up) to `to` in `interval` steps; a zero
// interval never moves a level, so the pair counts as one step.
int StepsBetween(int from, int to, int interval) {
    return (interval == 0 ? 0 : (to - from) / interval) + 1;
}

std::string FormatReal(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%f", value);
    return text;
}

std::string VowelFile(const std::string& folder, int code) {
    return folder + std::to_string(code + 1) + ".wav";
}

}  // namespace

std::string_view VowelLabel(int code) {
    return code >= 0 && code < kVowelCount ? kLabels[static_cast<size_t>(code)] : "";
}

VowelRunType VowelRunTypeFor(std::string_view text) {
    if (text == "TEST") return VowelRunType::Test;
    if (text == "MAKEUP") return VowelRunType::Makeup;
    if (text == "TRY") return VowelRunType::Try;
    if (text == "TRAIN") return VowelRunType::Train;
    return VowelRunType::Unknown;
}

VowelSettings ReadVowelSettings(const Scenario& scenario) {
    VowelSettings s;
    s.total = scenario.Total();
    s.picturePath = scenario.PicturePath();
    s.pictureNumber = scenario.PictureNumber();
    s.filePath = scenario.FilePath();
    s.volume = scenario.Int("DATA", "VOLUME");
    s.interval = scenario.Int("DATA", "INTERVAL");
    s.type = VowelRunTypeFor(scenario.Text("DATA", "TYPE"));
    s.missPermission = scenario.Int("DATA", "MISSPERMISSION");
    // A negative count allows no rest (and keeps the rest point's divisor positive).
    s.restPermission = std::clamp(scenario.Int("DATA", "RESTPERMISSION"), 0, kVowelMaxRests);
    s.onePlayTimes = scenario.Int("DATA", "ONEPLAYTIMES");
    s.twoPlayTimes = scenario.Int("DATA", "TWOPLAYTIMES");
    s.autoConfirm = scenario.Int("DATA", "AUTOCONFIRM") != 0;
    s.beep = scenario.Int("DATA", "BEEP") != 0;
    for (int i = 0; i < kVowelCount; ++i) {
        for (int j = 0; j < kVowelCount; ++j) {
            VowelPair& pair = s.pairs[static_cast<size_t>(VowelPairIndex(i, j))];
            pair.begin = scenario.ItemInt(i + 1, "BEGIN" + std::to_string(j + 1));
            pair.end = scenario.ItemInt(i + 1, "END" + std::to_string(j + 1));
            pair.missesLeft = s.missPermission;
            if (pair.begin < pair.end) {
                pair.finished = true;  // never played
                pair.level = 0;
            } else {
                pair.level = pair.begin;
            }
        }
    }
    return s;
}

int OpenVowelPairs(const VowelPairTable& pairs) {
    return static_cast<int>(
        std::count_if(pairs.begin(), pairs.end(), [](const VowelPair& p) { return !p.finished; }));
}

int ChooseVowelPair(const VowelPairTable& pairs, CrtRandom& random) {
    const int open = OpenVowelPairs(pairs);
    if (open == 0) return -1;
    const int r = RandomInt(random, kVowelPairDrawRange) + 1;
    const int k = r % open + 1;
    int seen = 0;
    for (int step = 1; step <= kVowelPairCount; ++step) {
        const int index = step % kVowelPairCount;  // 1 ... 24, then 0
        if (!pairs[static_cast<size_t>(index)].finished && ++seen == k) return index;
    }
    return -1;  // not reached: k <= open
}

int VowelTotalSteps(const VowelPairTable& pairs, int interval) {
    int total = 0;
    for (const VowelPair& p : pairs) {
        if (!p.finished) total += StepsBetween(p.begin, p.end, interval);
    }
    return total;
}

int VowelRestPoint(int totalSteps, int restPermission) {
    return static_cast<int>((totalSteps / (restPermission + 1)) * 0.95);
}

VowelProgress ComputeVowelProgress(const VowelPairTable& pairs, int interval) {
    VowelProgress progress;
    for (const VowelPair& p : pairs) {
        if (p.end <= p.begin) progress.total += StepsBetween(p.begin, p.end, interval);
        if (!p.finished && p.end <= p.level)
            progress.remaining += StepsBetween(p.level, p.end, interval);
    }
    progress.done = progress.total - progress.remaining;
    if (progress.total != 0) {
        const double total = progress.total;
        progress.rangeMax = static_cast<int>(total * (progress.done / total + 1.0) / 2.0);
    }
    return progress;
}

std::vector<std::int16_t> MixVowels(const std::vector<std::int16_t>& masking,
                                    const std::vector<std::int16_t>& masked, int level) {
    std::vector<std::int16_t> out(std::max(masking.size(), masked.size()), 0);
    std::copy(masking.begin(), masking.end(), out.begin());
    const double gain = level >= kVowelMutedLevel ? 0.0 : std::pow(10.0, level / 20.0);
    for (size_t n = 0; n < masked.size(); ++n) {
        const long long added = static_cast<long long>(masked[n] * gain);  // toward zero
        out[n] = static_cast<std::int16_t>(std::clamp(out[n] + added, -32768LL, 32767LL));
    }
    return out;
}

bool VowelSelection::Mark(int vowel) {
    if (vowel < 0 || vowel >= kVowelCount) return false;
    const int before = Count();
    marks_[static_cast<size_t>(vowel)] = true;
    if (Count() > 2) {
        Clear();
        marks_[static_cast<size_t>(vowel)] = true;
    }
    return before != 2 && Count() == 2;
}

bool VowelSelection::Marked(int vowel) const {
    return vowel >= 0 && vowel < kVowelCount && marks_[static_cast<size_t>(vowel)];
}

int VowelSelection::Count() const {
    return static_cast<int>(std::count(marks_.begin(), marks_.end(), true));
}

std::string_view VowelSelection::Guide() const {
    switch (Count()) {
        case 0:
            return kVowelSelectTwoGuide;
        case 1:
            return kVowelSelectOneMoreGuide;
        default:
            return kVowelPressConfirmGuide;
    }
}

VowelKeyAction VowelKeyFor(char key, int marks) {
    VowelKeyAction action;
    const char upper = (key >= 'a' && key <= 'z') ? static_cast<char>(key - 'a' + 'A') : key;
    constexpr std::string_view kMarkKeys = "ASDFG";
    if (const size_t at = kMarkKeys.find(upper); at != std::string_view::npos && upper != '\0') {
        action.kind = VowelKeyAction::Kind::Mark;
        action.vowel = static_cast<int>(at);
        return action;
    }
    auto answer = [&](VowelAnswerKind kind) {
        action.kind = VowelKeyAction::Kind::Answer;
        action.answer = kind;
    };
    if ((upper == 'H' || upper == 'K') && marks == 2) answer(VowelAnswerKind::Two);
    if ((upper == 'J' || upper == 'K') && marks == 1) answer(VowelAnswerKind::One);
    if ((upper == 'L' || upper == 'K') && marks == 0) answer(VowelAnswerKind::DontKnow);
    return action;
}

bool VowelAnswerCorrect(int masking, int masked, const std::array<bool, kVowelCount>& marks) {
    const int count = static_cast<int>(std::count(marks.begin(), marks.end(), true));
    auto marked = [&](int v) { return v >= 0 && v < kVowelCount && marks[static_cast<size_t>(v)]; };
    if (count == 1) return masking == masked && marked(masking);
    if (count == 2) return marked(masking) && marked(masked);
    return false;
}

std::string VowelRecognised(int masking, const std::array<bool, kVowelCount>& marks) {
    if (masking < 0 || masking >= kVowelCount || !marks[static_cast<size_t>(masking)]) return "";
    for (int v = 0; v < kVowelCount; ++v) {
        if (v != masking && marks[static_cast<size_t>(v)]) return std::string(VowelLabel(v));
    }
    return std::string(VowelLabel(masking));
}

VowelAverages ComputeVowelAverages(const VowelPairTable& pairs) {
    int hearingSum = 0;
    int hearingCount = 0;
    int separationSum = 0;
    int averagesSeparation = 0;
    for (int i = 0; i < kVowelCount; ++i) {
        for (int j = 0; j < kVowelCount; ++j) {
            const VowelPair& p = pairs[static_cast<size_t>(VowelPairIndex(i, j))];
            if (!p.finished) continue;
            if (i == j) {
                hearingSum += p.level;
                ++hearingCount;
            } else {
                separationSum += p.level;
                ++averagesSeparation;
            }
        }
    }
    VowelAverages averages;
    averages.hearingPairs = hearingCount;
    averages.separationPairs = averagesSeparation;
    if (hearingCount > 0) averages.hearing = static_cast<double>(hearingSum) / hearingCount;
    averages.separation = separationSum / 20.0;
    return averages;
}

int EstimateHearingAge(double s) {
    double age;
    if (s > -3.0)
        age = 85;
    else if (s > -6.17)
        age = (s + 6.17) / 0.317 + 75;
    else if (s > -9.64)
        age = (s + 9.64) / 0.1735 + 55;
    else if (s > -17.66)
        age = (s + 17.66) / 0.802 + 45;
    else if (s > -21.42)
        age = (s + 21.42) / 0.376 + 35;
    else if (s > -23.94)
        age = (s + 23.94) / 0.252 + 25;
    else
        age = 18;
    return static_cast<int>(age);
}

std::string_view VowelEvaluationText(int age, int estimated) {
    const int d = age - estimated - 5;
    if (d > 20) return "貴方の脳内音声識別能力がとても優れています。";
    if (d > 10) return "貴方の脳内音声識別能力が優れています。";
    if (d > -10) return "貴方の脳内音声識別能力に特に心配することはありません。";
    if (d > -25)
        return "貴方の脳内音声識別能力が平均レベルよりやや落ちているが、特に心配することはないで"
               "しょう。";
    return "本測定システムでは、貴方の脳内音声識別能力があまりよくはないと判断されています。働き過"
           "ぎないように注意しましょう。";
}

std::string VowelFinalText(VowelRunType type, int age, int estimated) {
    if (type != VowelRunType::Test) return kThanksMessage;
    return std::string(VowelEvaluationText(age, estimated)) + "\n\n測定結果により，" +
           std::to_string(estimated - 8) + "－" + std::to_string(estimated - 2) +
           "歳の聴覚識別能力でした．";
}

std::vector<std::vector<std::string>> VowelThresholdRows(const VowelPairTable& pairs) {
    std::vector<std::vector<std::string>> rows = {{"."}, {"."}, {"masked"}, {"masking"}};
    for (int j = 0; j < kVowelCount; ++j) rows[2].emplace_back(VowelLabel(j));
    for (int i = 0; i < kVowelCount; ++i) {
        std::vector<std::string> row = {std::string(VowelLabel(i))};
        for (int j = 0; j < kVowelCount; ++j) {
            const VowelPair& p = pairs[static_cast<size_t>(VowelPairIndex(i, j))];
            row.push_back(p.finished ? std::to_string(p.level) : "Null");
        }
        rows.push_back(std::move(row));
    }
    const VowelAverages averages = ComputeVowelAverages(pairs);
    auto average = [](int pairs, double value) { return pairs > 0 ? FormatReal(value) : "Null"; };
    rows.push_back(
        {"Average of hearing thresthold:", average(averages.hearingPairs, averages.hearing)});
    rows.push_back({"Average of separation thresthold:",
                    average(averages.separationPairs, averages.separation)});
    return rows;
}

VowelDiscriminationTest::VowelDiscriminationTest(VowelSettings settings, bool practice,
                                                 int subjectAge, CrtRandom& random,
                                                 const Clock& clock)
    : settings_(std::move(settings)),
      practice_(practice),
      age_(subjectAge),
      random_(random),
      clock_(clock),
      playStartTick_(clock.TickMs()) {
    totalSteps_ = VowelTotalSteps(settings_.pairs, settings_.interval);
    restPoint_ = VowelRestPoint(totalSteps_, settings_.restPermission);
    restsLeft_ = settings_.restPermission;
    current_ = ChooseVowelPair(settings_.pairs, random_);
}

const char* VowelDiscriminationTest::Caption() const {
    return practice_ ? kVowelPracticeCaption : kVowelTestCaption;
}

const char* VowelDiscriminationTest::StartGuide() const {
    return practice_ ? kVowelStartPracticeGuide : kVowelStartTestGuide;
}

std::optional<VowelTrial> VowelDiscriminationTest::CurrentTrial() const {
    if (current_ < 0) return std::nullopt;
    VowelTrial trial;
    trial.pair = current_;
    trial.masking = current_ / kVowelCount;
    trial.masked = current_ % kVowelCount;
    trial.level = settings_.pairs[static_cast<size_t>(current_)].level;
    trial.maskedFile = VowelFile(settings_.filePath, trial.masked);
    trial.maskingFile = VowelFile(settings_.filePath, trial.masking);
    trial.repeatCount =
        trial.masking == trial.masked ? settings_.onePlayTimes : settings_.twoPlayTimes;
    return trial;
}

VowelProgress VowelDiscriminationTest::Progress() const {
    return ComputeVowelProgress(settings_.pairs, settings_.interval);
}

bool VowelDiscriminationTest::RestDue() {
    if (restsLeft_ <= 0 || restPoint_ == 0) return false;
    if ((answers_ + 1) % restPoint_ != 0) return false;
    --restsLeft_;
    return true;
}

VowelStep VowelDiscriminationTest::Start() {
    VowelStep step;
    step.progress = Progress();
    step.next = CurrentTrial();
    if (step.next) step.rest = RestDue();
    return step;
}

void VowelDiscriminationTest::PlayStarted() {
    playStartTick_ = clock_.TickMs();
}

double VowelDiscriminationTest::Adapt(VowelPair& pair, bool correct, std::optional<int>& validity) {
    const VowelRunType type = settings_.type;
    const double state = correct ? 1.0 : (pair.missesLeft > 0 ? 0.5 : 0.0);
    if (type == VowelRunType::Unknown) return state;  // levels never adapt
    if (correct) {
        if (type == VowelRunType::Train) {
            if (pair.missesLeft > 0)
                --pair.missesLeft;
            else
                pair.finished = true;
        } else {
            pair.level += settings_.interval;
            if (pair.level < pair.end) pair.finished = true;
        }
        return state;
    }
    const bool firstLevelLastMiss = (type == VowelRunType::Test || type == VowelRunType::Makeup) &&
                                    pair.missesLeft == 0 && pair.level == pair.begin;
    if (firstLevelLastMiss) {
        validity = 3;
        const int easier = pair.begin - 2 * settings_.interval;
        if (easier > 0) {
            pair.level = 0;
        } else {
            // Restart two steps easier with the one miss the step below uses up.
            pair.missesLeft = 1;
            pair.begin = easier;
            pair.level = easier;
        }
    }
    if (type == VowelRunType::Train) ++pair.missesLeft;
    if (pair.missesLeft > 0)
        --pair.missesLeft;
    else
        pair.finished = true;
    return state;
}

std::optional<VowelStep> VowelDiscriminationTest::Answer(VowelAnswerKind kind,
                                                         const VowelSelection& selection) {
    if (current_ < 0) return std::nullopt;
    const std::uint64_t answerTick = clock_.TickMs();
    const std::time_t now = clock_.Now();
    const int masking = current_ / kVowelCount;
    const int masked = current_ % kVowelCount;
    VowelPair& pair = settings_.pairs[static_cast<size_t>(current_)];

    std::array<bool, kVowelCount> marks{};
    if (kind != VowelAnswerKind::DontKnow) marks = selection.Marks();

    VowelStep step;
    step.correct = VowelAnswerCorrect(masking, masked, marks);
    VowelRecord record;
    record.volume = settings_.volume;
    record.time = now;
    record.timeText = FormatLocalTime(now);
    record.durationText = TickDurationText(playStartTick_, answerTick, kVowelDurationAllowanceMs);
    record.maskingContent = VowelLabel(masking);
    record.maskedContent = VowelLabel(masked);
    record.snr = pair.level;
    record.recognised = VowelRecognised(masking, marks);
    switch (settings_.type) {
        case VowelRunType::Test:
            record.validity = 1;
            break;
        case VowelRunType::Makeup:
            record.validity = 1;
            record.other = "makeup";
            break;
        case VowelRunType::Try:
            record.validity = 2;
            break;
        case VowelRunType::Train:
            record.validity = 5;
            break;
        case VowelRunType::Unknown:
            break;
    }
    record.state = Adapt(pair, step.correct, record.validity);
    step.record = std::move(record);
    ++answers_;

    current_ = ChooseVowelPair(settings_.pairs, random_);
    step.progress = Progress();
    step.next = CurrentTrial();
    if (step.next) step.rest = RestDue();
    return step;
}

std::vector<std::vector<std::string>> VowelDiscriminationTest::ThresholdRows() const {
    return VowelThresholdRows(settings_.pairs);
}

VowelEnding VowelDiscriminationTest::Ending() const {
    VowelEnding ending;
    if (practice_) {
        ending.finalText = kVowelPracticeEndText;
        return ending;
    }
    ending.rows = ThresholdRows();
    ending.estimatedAge = EstimateHearingAge(ComputeVowelAverages(settings_.pairs).separation);
    ending.finalText = VowelFinalText(settings_.type, age_, ending.estimatedAge);
    ending.rows.push_back({"."});
    ending.rows.push_back({"."});
    ending.rows.push_back({ending.finalText});
    return ending;
}

}  // namespace kestrune
