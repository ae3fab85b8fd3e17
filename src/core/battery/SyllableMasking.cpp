#include "core/battery/SyllableMasking.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/battery/VowelDiscrimination.h"

namespace kestrune {

namespace {

constexpr std::array<std::string_view, 9> kSoundLabels{
    "あ", "い", "う", "え", "お", "sea1", "sea2", "sea1(fre)", "sea2(fre)"};
constexpr std::array<std::string_view, 9> kSoundFiles{"1.wav",    "2.wav",         "3.wav",
                                                      "4.wav",    "5.wav",         "sea1.wav",
                                                      "sea2.wav", "sea1(fre).wav", "sea2(fre).wav"};

}  // namespace

std::string_view SyllableSoundLabel(int code) {
    if (code < 0 || code >= static_cast<int>(kSoundLabels.size())) return {};
    return kSoundLabels[static_cast<std::size_t>(code)];
}

int SyllableSoundCode(std::string_view fileName) {
    const auto found = std::find(kSoundFiles.begin(), kSoundFiles.end(), fileName);
    return found == kSoundFiles.end() ? -1 : static_cast<int>(found - kSoundFiles.begin());
}

int SyllableMaskItem::LevelCount() const {
    return interval == 0 ? 1 : (end - begin) / interval + 1;
}

SyllableMaskSettings ReadSyllableMaskSettings(const Scenario& scenario) {
    SyllableMaskSettings settings;
    settings.total = scenario.Total();
    settings.picturePath = scenario.PicturePath();
    settings.pictureNumber = scenario.PictureNumber();
    settings.filePath = scenario.FilePath();
    const int count = std::clamp(settings.total, 0, kSyllableMaskCapacity);
    for (int i = 1; i <= count; ++i) {
        SyllableMaskItem item;
        item.fileName = scenario.ItemText(i, "FILENAME");
        item.maskingPath = settings.filePath + item.fileName;
        item.type = scenario.ItemInt(i, "TYPE");
        item.begin = scenario.ItemInt(i, "BEGIN");
        item.end = scenario.ItemInt(i, "END");
        item.interval = scenario.ItemInt(i, "INTERVAL");
        item.number = scenario.ItemInt(i, "NUMBER");
        settings.items.push_back(std::move(item));
    }
    return settings;
}

std::array<int, kSyllableVowels> DrawVowelOrder(CrtRandom& random) {
    std::array<int, kSyllableVowels> list{0, 1, 2, 3, 4};
    std::array<int, kSyllableVowels> order{};
    int n = kSyllableVowels;
    for (int& entry : order) {
        const int r = std::min(RandomInt(random, n), n - 1);
        entry = list[static_cast<std::size_t>(r)];
        list[static_cast<std::size_t>(r)] = list[static_cast<std::size_t>(n - 1)];
        --n;
    }
    return order;
}

SyllableMaskingTest::SyllableMaskingTest(SyllableMaskSettings settings, CrtRandom& random,
                                         const Clock& clock)
    : settings_(std::move(settings)), random_(random), clock_(clock), item_(-1) {
    NextItem();
}

const SyllableMaskItem& SyllableMaskingTest::Item() const {
    return settings_.items[static_cast<std::size_t>(item_)];
}

int SyllableMaskingTest::MaskingVowel() const {
    if (Over()) return -1;
    const int code = Item().MaskingCode();
    return code >= 0 && code < kSyllableVowels ? code : -1;
}

int SyllableMaskingTest::Target() const {
    if (Over() || position_ < 0) return -1;
    return order_[static_cast<std::size_t>(position_)];
}

int SyllableMaskingTest::Level() const {
    if (Over()) return 0;
    return Item().begin + Item().interval * step_;
}

bool SyllableMaskingTest::Choose(int vowel) {
    if (vowel < 0 || vowel >= kSyllableVowels || vowel == MaskingVowel()) return false;
    choice_ = vowel;
    return true;
}

void SyllableMaskingTest::StartItem() {
    position_ = 0;
    states_.fill(0);
    const int masking = MaskingVowel();
    if (masking >= 0) states_[static_cast<std::size_t>(masking)] = 2;
}

int SyllableMaskingTest::FirstOpen() const {
    for (int p = 0; p < kSyllableVowels; ++p) {
        if (states_[static_cast<std::size_t>(order_[static_cast<std::size_t>(p)])] < 2)
            return p > Item().number ? -1 : p;
    }
    return -1;
}

int SyllableMaskingTest::NextOpen() const {
    if (Item().number == 1) return -1;
    for (int p = position_ + 1; p < kSyllableVowels; ++p) {
        if (states_[static_cast<std::size_t>(order_[static_cast<std::size_t>(p)])] < 2)
            return p > Item().number ? -1 : p;
    }
    return -1;
}

bool SyllableMaskingTest::NextItem() {
    // A level whose new order puts every open vowel beyond NUMBER has
    // nothing to test and is passed over, like an item with no open vowel.
    auto riseUntilOpen = [this] {
        const bool anyOpen =
            std::any_of(states_.begin(), states_.end(), [](int s) { return s < 2; });
        while (anyOpen && step_ + 1 < Item().LevelCount()) {
            ++step_;
            order_ = DrawVowelOrder(random_);
            position_ = FirstOpen();
            if (position_ >= 0) return true;
        }
        return false;
    };
    if (item_ >= 0 && !Over()) {
        const int next = NextOpen();
        if (next >= 0) {
            position_ = next;
            return true;
        }
        if (riseUntilOpen()) return true;
    }
    while (++item_ < static_cast<int>(settings_.items.size())) {
        StartItem();
        order_ = DrawVowelOrder(random_);
        step_ = 0;
        position_ = FirstOpen();
        if (position_ >= 0 || riseUntilOpen()) return true;
    }
    step_ = 0;
    position_ = -1;
    return false;
}

std::optional<SyllableMaskTrial> SyllableMaskingTest::CurrentTrial() const {
    if (Target() < 0) return std::nullopt;
    SyllableMaskTrial trial;
    trial.maskingFile = Item().maskingPath;
    trial.masked = Target();
    trial.maskedFile = settings_.filePath + std::to_string(trial.masked + 1) + ".wav";
    trial.level = Level();
    return trial;
}

void SyllableMaskingTest::PlayStarted() {
    startedAt_ = clock_.Now();
}

SyllableMaskStep SyllableMaskingTest::Answer(SyllableAnswer kind) {
    SyllableMaskStep step;
    if (Over()) {
        step.finished = true;
        return step;
    }
    const std::time_t now = clock_.Now();
    SyllableMaskRow& row = step.row;
    row.timeText = FormatLocalTime(now);
    row.durationSeconds = static_cast<std::int64_t>(now - startedAt_);
    row.maskingContent = std::string(SyllableSoundLabel(Item().MaskingCode()));
    row.maskedContent = std::string(SyllableSoundLabel(Target()));
    row.recognised = std::string(SyllableSoundLabel(choice_));
    if (kind == SyllableAnswer::Confirm) row.state = 1;
    if (kind == SyllableAnswer::NothingRecognised) row.state = 0;
    row.validity = item_ == 0 ? 2 : 1;
    row.snr = Level();

    if (kind != SyllableAnswer::NothingRecognised && choice_ >= 0 && choice_ == Target()) {
        int& state = states_[static_cast<std::size_t>(choice_)];
        if (++state > 2) step.message = kRecognitionStateError;
    }
    const int item = item_;
    NextItem();
    step.newPicture = item_ != item;
    step.finished = Over();
    choice_ = -1;
    return step;
}

int SyllableMaskingTest::ProgressTotal() const {
    int total = 0;
    for (const SyllableMaskItem& item : settings_.items) total += item.LevelCount();
    return total;
}

int SyllableMaskingTest::ProgressDone() const {
    int done = 0;
    for (int i = 0; i < item_ && i < static_cast<int>(settings_.items.size()); ++i)
        done += settings_.items[static_cast<std::size_t>(i)].LevelCount();
    return done + step_;
}

std::vector<std::int16_t> SamplesAs16(const LoadedStimulus& loaded) {
    std::vector<std::int16_t> samples(loaded.sampleCount);
    if (loaded.format.bitsPerSample == 8) {
        for (std::size_t n = 0; n < samples.size(); ++n)
            samples[n] = static_cast<std::int16_t>((loaded.samples[n] - 128) * 256);
    } else if (loaded.format.bitsPerSample == 16) {
        std::memcpy(samples.data(), loaded.samples.data(), samples.size() * sizeof(std::int16_t));
    } else {
        samples.clear();
    }
    return samples;
}

SyllableMaskStimulus PrepareSyllableStimulus(const SyllableMaskTrial& trial) {
    SyllableMaskStimulus stimulus;
    const LoadedStimulus masking = LoadStimulus(trial.maskingFile, kMaskingMissingMessage);
    if (!masking.ok) {
        stimulus.message = masking.message;
        return stimulus;
    }
    const LoadedStimulus masked = LoadStimulus(trial.maskedFile, kMaskedMissingMessage);
    if (!masked.ok) {
        stimulus.message = masked.message;
        return stimulus;
    }
    for (const LoadedStimulus* loaded : {&masking, &masked}) {
        if (loaded->format.bitsPerSample != 8 && loaded->format.bitsPerSample != 16) {
            stimulus.message = kInvalidSampleBitsMessage;
            return stimulus;
        }
    }
    const std::vector<std::int16_t> mixed =
        MixVowels(SamplesAs16(masking), SamplesAs16(masked), trial.level);
    stimulus.bytes.resize(mixed.size() * sizeof(std::int16_t));
    std::memcpy(stimulus.bytes.data(), mixed.data(), stimulus.bytes.size());
    stimulus.sampleCount = static_cast<std::uint32_t>(mixed.size());
    stimulus.format = PcmFormat(1, masked.format.sampleRate, 16);
    stimulus.ok = true;
    return stimulus;
}

}  // namespace kestrune
