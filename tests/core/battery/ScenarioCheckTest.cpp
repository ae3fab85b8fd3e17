// The vowel test's load check, trial mix and table averages: a scenario
// whose values the test cannot use, or whose recordings it cannot play, is
// refused with the load message and one line naming the first bad key or
// file; an average over no finished pair is written as "Null".

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/CoreTestSupport.h"
#include "core/battery/VowelStimulus.h"
#include "core/registry/Mappings.h"
#include "support/ScratchDir.h"

namespace kestrune {
namespace {

using Pairs = std::map<std::pair<int, int>, std::pair<std::string, std::string>>;

// Pairs (0,1) and (2,2) open; every other pair closed (BEGIN below END).
struct ScenarioText {
    std::string type = "TEST";
    std::string interval = "-3";
    std::string onePlay = "1";
    std::string twoPlay = "2";
    std::string misses = "1";
    Pairs pairs{{{0, 1}, {"0", "-6"}}, {{2, 2}, {"-3", "-9"}}};
    std::optional<std::pair<int, int>> dropKey;  ///< this pair's BEGIN is left out

    std::string Text(const std::string& folder) const {
        return testing::VowelScenarioText(
            "TOTAL=1\nFILEPATH=" + folder + "/\n",
            "VOLUME=60\nINTERVAL=" + interval + "\nTYPE=" + type + "\nMISSPERMISSION=" + misses +
                "\nRESTPERMISSION=0\nONEPLAYTIMES=" + onePlay + "\nTWOPLAYTIMES=" + twoPlay + "\n",
            [this](int i, int j) {
                const auto found = pairs.find({i, j});
                auto pair = found == pairs.end() ? std::pair<std::string, std::string>{"-20", "-10"}
                                                 : found->second;
                if (dropKey == std::pair{i, j}) pair.first = "";
                return pair;
            });
    }
};

const std::string kLoadFailed = "Loading configuration file failed!\n";

class VowelScenarioCheck : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int v = 1; v <= 5; ++v) WriteVowel(v, 16, 100);
    }

    void WriteVowel(int v, std::uint16_t bits, std::uint32_t samples) {
        std::vector<std::uint8_t> bytes(samples * bits / 8, 0x20);
        ASSERT_TRUE(WriteWaveFile(File(v), PcmFormat(1, 8000, bits), bytes.data(), samples));
    }
    std::string File(int v) const { return dir_.File(std::to_string(v) + ".wav"); }

    std::optional<std::string> Check(const ScenarioText& text) {
        const Scenario scenario = Scenario::FromText(text.Text(dir_.Path().string()), "");
        return CheckVowelScenario(scenario, "vowel.ini");
    }

    testing::ScratchDir dir_;
};

TEST_F(VowelScenarioCheck, AUsableScenarioPasses) {
    EXPECT_EQ(Check(ScenarioText{}), std::nullopt);
    // Recordings no open pair plays are not needed.
    std::filesystem::remove(File(4));
    std::filesystem::remove(File(5));
    EXPECT_EQ(Check(ScenarioText{}), std::nullopt);
}

TEST_F(VowelScenarioCheck, ValuesTheTestCannotUseAreRefusedByKey) {
    const std::string type = ": must be TEST, MAKEUP, TRY or TRAIN";
    const std::string interval = ": must be a whole number other than 0";
    const struct {
        ScenarioText text;
        std::string line;
    } cases[] = {
        {{.type = "try"}, "[DATA] TYPE=try" + type},
        {{.type = "Notfound"}, "[DATA] TYPE=Notfound" + type},
        {{.interval = "0"}, "[DATA] INTERVAL=0" + interval},
        {{.interval = "-3dB"}, "[DATA] INTERVAL=-3dB" + interval},
        {{.twoPlay = "0"}, "[DATA] TWOPLAYTIMES=0: must be a whole number of at least 1"},
        {{.misses = "one"}, "[DATA] MISSPERMISSION=one: must be a whole number"},
        {{.pairs = {{{3, 4}, {"x", "-6"}}}}, "[DATA4] BEGIN5=x: must be a whole number"},
        {{.pairs = {{{1, 0}, {"0", "-1.5"}}}}, "[DATA2] END1=-1.5: must be a whole number"},
        {{.dropKey = std::pair{4, 2}}, "[DATA5] BEGIN3=Notfound: must be a whole number"},
    };
    for (const auto& c : cases) EXPECT_EQ(Check(c.text), kLoadFailed + c.line) << c.line;
}

TEST_F(VowelScenarioCheck, TheFirstRecordingTheTestCannotPlayIsNamed) {
    // Pair (0,1) loads 2.wav (masked) before 1.wav (masking); then 3.wav.
    std::filesystem::remove(File(1));
    std::filesystem::remove(File(3));
    EXPECT_EQ(Check(ScenarioText{}), kLoadFailed + File(1) + " can not be opened");
    WriteVowel(1, 16, 100);
    EXPECT_EQ(Check(ScenarioText{}), kLoadFailed + File(3) + " can not be opened");
    dir_.Write("3.wav", std::string("RIFF....AVI LIST"));
    EXPECT_EQ(Check(ScenarioText{}), kLoadFailed + File(3) + " is not a wave file");
    WriteVowel(3, 8, 100);
    EXPECT_EQ(Check(ScenarioText{}), kLoadFailed + File(3) + " is not a 16-bit wave file");
    WriteVowel(3, 16, 0);
    EXPECT_EQ(Check(ScenarioText{}), kLoadFailed + File(3) + " holds no samples");
    WriteVowel(2, 16, 0);
    EXPECT_EQ(Check(ScenarioText{}), kLoadFailed + File(2) + " holds no samples");
}

TEST_F(VowelScenarioCheck, AScenarioFileThatCannotBeReadIsNamed) {
    const std::string path = dir_.File("missing.ini");
    EXPECT_EQ(CheckVowelScenario(Scenario::Load(path), path),
              kLoadFailed + path + " can not be read");
}

TEST_F(VowelScenarioCheck, ATrialMixesItsRecordingsOrSaysWhichFailed) {
    VowelTrial trial{.pair = 1,
                     .masking = 0,
                     .masked = 1,
                     .level = 0,
                     .maskingFile = File(1),
                     .maskedFile = File(2),
                     .repeatCount = 2};
    const VowelStimulus mixed = PrepareVowelStimulus(trial);
    ASSERT_TRUE(mixed.ok);
    EXPECT_EQ(mixed.sampleCount, 100u);
    EXPECT_EQ(mixed.format.sampleRate, 8000u);
    // 0x2020 twice at 0 dB.
    EXPECT_EQ(mixed.bytes[0] | (mixed.bytes[1] << 8), 2 * 0x2020);

    std::filesystem::remove(File(2));
    EXPECT_EQ(PrepareVowelStimulus(trial).message,
              "Invalid path or file name!\nMasked wave file can not be opened!");
    WriteVowel(2, 16, 100);
    std::filesystem::remove(File(1));
    EXPECT_EQ(PrepareVowelStimulus(trial).message,
              "Invalid path or file name!\nMasking wave file can not be opened!");
    WriteVowel(1, 8, 100);
    EXPECT_EQ(PrepareVowelStimulus(trial).message, "Invalid sample bits!");
}

TEST(VowelThresholdAverages, AnAverageOverNoFinishedPairIsNull) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, int>> finished;  ///< (pair index, level)
        std::string hearing;
        std::string separation;
    };
    const std::vector<Case> cases = {
        {"nothing finished", {}, "Null", "Null"},
        {"only a different pair", {{1, -12}}, "Null", "-0.600000"},
        {"only a same pair", {{6, -9}}, "-9.000000", "Null"},
        {"both", {{0, -6}, {6, -9}, {7, -20}}, "-7.500000", "-1.000000"},
    };
    for (const Case& c : cases) {
        VowelPairTable pairs{};
        for (const auto& [index, level] : c.finished) {
            pairs[static_cast<std::size_t>(index)].finished = true;
            pairs[static_cast<std::size_t>(index)].level = level;
        }
        const auto rows = VowelThresholdRows(pairs);
        ASSERT_EQ(rows.size(), 11u) << c.name;
        EXPECT_EQ(rows[9], (std::vector<std::string>{"Average of hearing thresthold:", c.hearing}))
            << c.name;
        EXPECT_EQ(rows[10],
                  (std::vector<std::string>{"Average of separation thresthold:", c.separation}))
            << c.name;
    }
}

TEST(SubjectAge, TheAgeComesBackFromTheStoredYearOfBirth) {
    for (const auto& [year, age] : {std::pair{2006, 45}, {2024, 1}, {2024, 46}, {2030, 199}}) {
        const int birthYear = BirthYearForAge(year, age);
        EXPECT_EQ(AgeForBirthYear(year, birthYear), age) << year << " " << age;
    }
    EXPECT_EQ(AgeForBirthYear(2006, 1962), 45);
}

}  // namespace
}  // namespace kestrune
