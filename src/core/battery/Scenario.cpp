#include "core/battery/Scenario.h"

#include <array>
#include <cctype>
#include <filesystem>

#include "core/text/Encoding.h"
#include "core/text/Numbers.h"

namespace kestrune {

std::string UnreadableScenarioMessage(const std::string& path) {
    return std::string(kLoadingScenarioFailedMessage) + "\n" + path + " can not be read";
}
namespace {

constexpr std::array<TestTypeEntry, 7> kTestTypes = {{
    {"SINGLE", TestKind::SentenceRecognition, 2},
    {"TIME", TestKind::TimeListening, 3},
    {"SYLLABLE", TestKind::InterruptedSpeech, 4},
    {"SYLLABLEMASKING", TestKind::SyllableMasking, 5},
    {"NEWSYLLABLEMASKING", TestKind::VowelDiscrimination, 6},
    {"SYLLABLESPEEDUP", TestKind::SpeededSyllable, 7},
    {"PLAY", TestKind::AudioPresentation, 8},
}};

}  // namespace

std::span<const TestTypeEntry> TestTypeTable() {
    return kTestTypes;
}

std::optional<TestKind> TestKindFor(std::string_view testType) {
    for (const TestTypeEntry& entry : kTestTypes) {
        if (entry.value == testType) return entry.kind;
    }
    return std::nullopt;
}

int TestNumberOf(TestKind kind) {
    for (const TestTypeEntry& entry : kTestTypes) {
        if (entry.kind == kind) return entry.testNumber;
    }
    return 0;
}

std::string_view TestTypeValue(TestKind kind) {
    for (const TestTypeEntry& entry : kTestTypes) {
        if (entry.kind == kind) return entry.value;
    }
    return {};
}

Scenario Scenario::Load(const std::string& path) {
    Scenario scenario;
    scenario.opened_ = scenario.ini_.Open(path);
    scenario.DropByteOrderMark();
    scenario.folder_ = std::filesystem::path(path).parent_path().string();
    return scenario;
}

Scenario Scenario::FromText(std::string_view bytes, std::string folder) {
    Scenario scenario;
    scenario.ini_.LoadText(bytes);
    scenario.DropByteOrderMark();
    scenario.opened_ = !bytes.empty();
    scenario.folder_ = std::move(folder);
    return scenario;
}

void Scenario::DropByteOrderMark() {
    // A UTF-8 file saved with a byte-order mark would hide its first section
    // header (a header must start its line), so the mark goes.
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    const std::string_view text(ini_.Data(), ini_.Length());
    if (text.starts_with(kMark)) ini_.LoadText(std::string(text.substr(kMark.size())));
}

std::string Scenario::Text(std::string_view section, std::string_view key) const {
    return DecodeLegacyText(ini_.ReadString(section, key));
}

int Scenario::Int(std::string_view section, std::string_view key) const {
    return LeadingInt(Text(section, key));
}

double Scenario::Real(std::string_view section, std::string_view key) const {
    return LeadingReal(Text(section, key));
}

std::string Scenario::Path(std::string_view section, std::string_view key) const {
    return LocalPath(Text(section, key), folder_);
}

bool Scenario::Has(std::string_view section, std::string_view key) const {
    return ini_.ReadString(section, key) != "Notfound";
}

std::string Scenario::ItemSection(int item) {
    return "DATA" + std::to_string(item);
}

std::string Scenario::ItemText(int item, std::string_view key) const {
    return Text(ItemSection(item), key);
}

int Scenario::ItemInt(int item, std::string_view key) const {
    return Int(ItemSection(item), key);
}

double Scenario::ItemReal(int item, std::string_view key) const {
    return Real(ItemSection(item), key);
}

std::string Scenario::ItemPath(int item, std::string_view key) const {
    return Path(ItemSection(item), key);
}

std::string Scenario::LocalPath(std::string_view value, const std::string& folder) {
    // The value is already UTF-8 here, where 0x5C is always a backslash (in
    // cp932 it can be the second byte of a kana or kanji).
    std::string path(value);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    if (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') {
        path.erase(0, 2);
        while (!path.empty() && path.front() == '/') path.erase(0, 1);
    }
    if (!path.empty() && path.front() == '/') return path;
    if (folder.empty()) return path;
    return folder.back() == '/' ? folder + path : folder + '/' + path;
}

ScenarioCheck CheckScenario(
    const Scenario& scenario, int capacity,
    const std::function<std::optional<std::string>(const Scenario&, int)>& itemCheck) {
    ScenarioCheck check;
    const int total = scenario.Total();
    if (capacity > 0 && total > capacity) {
        check.result = ScenarioStart::LoadFailed;
        check.messages.push_back(kLoadingScenarioFailedMessage);
        return check;
    }
    if (itemCheck) {
        for (int i = 1; i <= total; ++i) {
            if (std::optional<std::string> refusal = itemCheck(scenario, i)) {
                check.result = ScenarioStart::LoadFailed;
                check.messages.push_back(std::move(*refusal));
                check.messages.push_back(kLoadingScenarioFailedMessage);
                return check;
            }
        }
    }
    if (total <= 0) {
        check.result = ScenarioStart::NoItems;
        check.messages.push_back(kNoTestItemMessage);
        return check;
    }
    check.itemCount = total;
    return check;
}

}  // namespace kestrune
