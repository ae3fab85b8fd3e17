#include "core/battery/VowelStimulus.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <numbers>

#include "core/battery/Stimulus.h"

namespace kestrune {

namespace {

bool IsWholeNumber(const std::string& text) {
    std::size_t at = 0;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    if (at < text.size() && (text[at] == '-' || text[at] == '+')) ++at;
    const std::size_t digits = at;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) ++at;
    if (at == digits) return false;
    while (at < text.size() && std::isspace(static_cast<unsigned char>(text[at]))) ++at;
    return at == text.size();
}

std::string KeyFault(const std::string& section, const std::string& key, const std::string& value,
                     const char* wanted) {
    return "[" + section + "] " + key + "=" + value + ": " + wanted;
}

std::vector<std::int16_t> Samples16(const LoadedStimulus& loaded) {
    std::vector<std::int16_t> samples(loaded.sampleCount);
    std::memcpy(samples.data(), loaded.samples.data(), samples.size() * sizeof(std::int16_t));
    return samples;
}

}  // namespace

std::string VowelRecordingFault(const std::string& file) {
    const LoadedStimulus loaded = LoadStimulus(file);
    if (!loaded.ok) {
        return file + (loaded.message == kStimulusNotWaveMessage ? " is not a wave file"
                                                                 : " can not be opened");
    }
    if (loaded.format.bitsPerSample != 16) return file + " is not a 16-bit wave file";
    if (loaded.sampleCount == 0) return file + " holds no samples";
    return {};
}

std::optional<std::string> VowelScenarioFault(const Scenario& scenario, const std::string& path) {
    if (!scenario.Opened()) return path + " can not be read";
    const std::string type = scenario.Text("DATA", "TYPE");
    if (VowelRunTypeFor(type) == VowelRunType::Unknown)
        return KeyFault("DATA", "TYPE", type, "must be TEST, MAKEUP, TRY or TRAIN");
    const std::string interval = scenario.Text("DATA", "INTERVAL");
    if (!IsWholeNumber(interval) || scenario.Int("DATA", "INTERVAL") == 0)
        return KeyFault("DATA", "INTERVAL", interval, "must be a whole number other than 0");
    for (const char* key : {"ONEPLAYTIMES", "TWOPLAYTIMES"}) {
        const std::string value = scenario.Text("DATA", key);
        if (!IsWholeNumber(value) || scenario.Int("DATA", key) < 1)
            return KeyFault("DATA", key, value, "must be a whole number of at least 1");
    }
    for (const char* key : {"MISSPERMISSION", "RESTPERMISSION"}) {
        const std::string value = scenario.Text("DATA", key);
        if (scenario.Has("DATA", key) && !IsWholeNumber(value))
            return KeyFault("DATA", key, value, "must be a whole number");
    }
    for (int i = 1; i <= kVowelCount; ++i) {
        for (const char* prefix : {"BEGIN", "END"}) {
            for (int j = 1; j <= kVowelCount; ++j) {
                const std::string key = prefix + std::to_string(j);
                const std::string value = scenario.ItemText(i, key);
                if (!IsWholeNumber(value))
                    return KeyFault(Scenario::ItemSection(i), key, value, "must be a whole number");
            }
        }
    }
    // Every recording an open pair plays, in the order the trials load them.
    const VowelSettings settings = ReadVowelSettings(scenario);
    std::vector<bool> checked(kVowelCount, false);
    for (int p = 0; p < kVowelPairCount; ++p) {
        if (settings.pairs[static_cast<size_t>(p)].finished) continue;
        for (const int vowel : {p % kVowelCount, p / kVowelCount}) {
            if (checked[static_cast<size_t>(vowel)]) continue;
            checked[static_cast<size_t>(vowel)] = true;
            const std::string file = settings.filePath + std::to_string(vowel + 1) + ".wav";
            std::string fault = VowelRecordingFault(file);
            if (!fault.empty()) return fault;
        }
    }
    return std::nullopt;
}

std::optional<std::string> CheckVowelScenario(const Scenario& scenario, const std::string& path) {
    std::optional<std::string> fault = VowelScenarioFault(scenario, path);
    if (!fault) return std::nullopt;
    return std::string(kLoadingScenarioFailedMessage) + "\n" + *fault;
}

VowelStimulus PrepareVowelStimulus(const VowelTrial& trial) {
    VowelStimulus stimulus;
    const LoadedStimulus masked = LoadStimulus(trial.maskedFile, kMaskedMissingMessage);
    if (!masked.ok) {
        stimulus.message = masked.message;
        return stimulus;
    }
    const LoadedStimulus masking = LoadStimulus(trial.maskingFile, kMaskingMissingMessage);
    if (!masking.ok) {
        stimulus.message = masking.message;
        return stimulus;
    }
    if (masked.format.bitsPerSample != 16 || masking.format.bitsPerSample != 16) {
        stimulus.message = kInvalidSampleBitsMessage;
        return stimulus;
    }
    const std::vector<std::int16_t> mixed =
        MixVowels(Samples16(masking), Samples16(masked), trial.level);
    stimulus.bytes.resize(mixed.size() * sizeof(std::int16_t));
    std::memcpy(stimulus.bytes.data(), mixed.data(), stimulus.bytes.size());
    stimulus.sampleCount = static_cast<std::uint32_t>(mixed.size());
    stimulus.format = masking.format;
    stimulus.ok = true;
    return stimulus;
}

std::vector<std::uint8_t> BeepTone() {
    const std::size_t count = kBeepRate * kBeepMs / 1000;
    std::vector<std::uint8_t> bytes(count * 2);
    for (std::size_t n = 0; n < count; ++n) {
        const auto v =
            static_cast<std::int16_t>(16383.0 * std::sin(2.0 * std::numbers::pi * kBeepHz *
                                                         static_cast<double>(n) / kBeepRate));
        const auto u = static_cast<std::uint16_t>(v);
        bytes[2 * n] = static_cast<std::uint8_t>(u & 0xFF);
        bytes[2 * n + 1] = static_cast<std::uint8_t>(u >> 8);
    }
    return bytes;
}

}  // namespace kestrune
