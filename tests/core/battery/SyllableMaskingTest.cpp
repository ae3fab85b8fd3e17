// The syllable masking test with a scripted listener, its stimulus mix, and
// the presentation list's timer.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "core/battery/AudioPresentation.h"
#include "core/battery/SyllableMasking.h"
#include "core/wave/WaveFile.h"
#include "support/ScratchDir.h"

namespace kestrune {
namespace {

SyllableMaskSettings Items(std::vector<SyllableMaskItem> items) {
    SyllableMaskSettings settings;
    settings.filePath = "/kit/";
    for (SyllableMaskItem& item : items) item.maskingPath = settings.filePath + item.fileName;
    settings.total = static_cast<int>(items.size());
    settings.items = std::move(items);
    return settings;
}

// What a listener who always hears the masked vowel leaves, item by item.
struct Heard {
    std::vector<SyllableMaskRow> rows;
    std::vector<int> targets;
    int pictures = 0;
};

Heard HearEverything(SyllableMaskingTest& test, FakeClock& clock) {
    Heard run;
    while (!test.Over() && run.rows.size() < 500) {
        const auto trial = test.CurrentTrial();
        EXPECT_TRUE(trial.has_value());
        run.targets.push_back(trial->masked);
        test.PlayStarted();
        clock.AdvanceMs(3000);
        EXPECT_TRUE(test.Choose(trial->masked));
        const SyllableMaskStep step = test.Answer(SyllableAnswer::Confirm);
        EXPECT_FALSE(step.message.has_value());
        run.pictures += step.newPicture ? 1 : 0;
        run.rows.push_back(step.row);
        EXPECT_EQ(step.finished, test.Over());
    }
    return run;
}

TEST(SyllableMasking, SoundCodesAndLabels) {
    const struct {
        const char* file;
        int code;
        const char* label;
    } cases[] = {{"1.wav", 0, "あ"},
                 {"3.wav", 2, "う"},
                 {"5.wav", 4, "お"},
                 {"sea1.wav", 5, "sea1"},
                 {"sea2(fre).wav", 8, "sea2(fre)"},
                 {"SEA1.wav", -1, ""},
                 {"6.wav", -1, ""},
                 {"3.WAV", -1, ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(SyllableSoundCode(c.file), c.code) << c.file;
        EXPECT_EQ(SyllableSoundLabel(c.code), c.label) << c.file;
    }
}

TEST(SyllableMasking, ListenerWhoHearsEverythingWalksTheLevelsOfEachItem) {
    const struct {
        SyllableMaskItem item;
        std::vector<int> levels;  // SMRSNR of the first item's rows, in order
        int maskingVowel;
    } cases[] = {
        // う masks: four vowels twice each, two levels -30 and -20.
        {{"3.wav", "", 0, -30, 0, 10, 4}, {-30, -30, -30, -30, -20, -20, -20, -20}, 2},
        // A sea wave leaves all five open.
        {{"sea1.wav", "", 0, -30, 0, 10, 4},
         {-30, -30, -30, -30, -30, -20, -20, -20, -20, -20},
         -1},
        // NUMBER 1 tests one vowel per level: four levels -30 ... 0.
        {{"sea2.wav", "", 0, -30, 0, 10, 1}, {-30, -20, -10, 0}, -1},
    };
    for (const auto& c : cases) {
        FakeClock clock(1'700'000'000);
        CrtRandom random(7);
        SyllableMaskingTest test(Items({c.item, c.item}), random, clock);
        EXPECT_EQ(test.MaskingVowel(), c.maskingVowel);
        EXPECT_EQ(test.ProgressTotal(), 8);
        EXPECT_FALSE(test.Choose(c.maskingVowel));
        const Heard run = HearEverything(test, clock);
        // Every vowel leaves at its second correct answer: two passes.
        std::vector<int> levels;
        for (std::size_t r = 0; r < run.rows.size() / 2; ++r) levels.push_back(run.rows[r].snr);
        EXPECT_EQ(levels, c.levels) << c.item.fileName;
        for (std::size_t r = 0; r < run.rows.size(); ++r) {
            const SyllableMaskRow& row = run.rows[r];
            EXPECT_NE(run.targets[r], c.maskingVowel);
            EXPECT_EQ(row.maskingContent, SyllableSoundLabel(SyllableSoundCode(c.item.fileName)));
            EXPECT_EQ(row.recognised, row.maskedContent);
            EXPECT_EQ(row.state, 1);
            EXPECT_EQ(row.durationSeconds, 3);
            EXPECT_EQ(row.validity, r < run.rows.size() / 2 ? 2 : 1);
        }
        EXPECT_EQ(run.pictures, 2);
        EXPECT_EQ(test.ProgressDone(), test.ProgressTotal());
    }
}

TEST(SyllableMasking, AnswersThatAreNotCorrectKeepTheVowelAndWriteTheirState) {
    FakeClock clock(1'700'000'000);
    CrtRandom random(3);
    SyllableMaskingTest test(Items({{"1.wav", "", 0, -30, 0, 10, 4}}), random, clock);
    const struct {
        SyllableAnswer kind;
        bool chooseTarget;
        std::optional<int> state;
        int targetState;  // after the answer
    } answers[] = {{SyllableAnswer::NothingRecognised, true, 0, 0},
                   {SyllableAnswer::NotSure, false, std::nullopt, 0},
                   {SyllableAnswer::Confirm, false, 1, 0},
                   {SyllableAnswer::NotSure, true, std::nullopt, 1}};
    for (const auto& a : answers) {
        const int target = test.Target();
        const int wrong = target == 1 ? 2 : 1;
        EXPECT_TRUE(test.Choose(a.chooseTarget ? target : wrong));
        const SyllableMaskStep step = test.Answer(a.kind);
        EXPECT_EQ(step.row.state, a.state);
        EXPECT_EQ(step.row.recognised, SyllableSoundLabel(a.chooseTarget ? target : wrong));
        EXPECT_EQ(test.States()[static_cast<std::size_t>(target)], a.targetState);
        EXPECT_EQ(test.Choice(), -1);
    }
    // Four levels of four open vowels that are never recognised again.
    int rows = 4;
    while (!test.Over()) {
        test.Answer(SyllableAnswer::NothingRecognised);
        ++rows;
    }
    EXPECT_EQ(rows, 16);
}

TEST(SyllableMasking, MixClipsMutesAndWidens8BitMaterial) {
    testing::ScratchDir dir;
    auto write16 = [&](const char* name, std::int16_t value, int count) {
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(count) * 2);
        for (int n = 0; n < count; ++n) {
            bytes[2 * n] = static_cast<std::uint8_t>(value & 0xFF);
            bytes[2 * n + 1] = static_cast<std::uint8_t>((value >> 8) & 0xFF);
        }
        WriteWaveFile(dir.File(name), PcmFormat(1, 8000, 16), bytes.data(), count);
        return dir.File(name);
    };
    const std::vector<std::uint8_t> eight(4, 128 + 40);  // 40 * 256 = 10240
    WriteWaveFile(dir.File("eight.wav"), PcmFormat(1, 8000, 8), eight.data(), 4);
    const struct {
        std::string masking, masked;
        int level;
        std::vector<std::int16_t> expected;
    } cases[] = {
        {write16("m.wav", 10000, 3), write16("a.wav", 30000, 3), 0, {32767, 32767, 32767}},
        {write16("n.wav", -10000, 2), write16("b.wav", -30000, 3), 0, {-32768, -32768, -30000}},
        {dir.File("m.wav"), dir.File("a.wav"), 120, {10000, 10000, 10000}},
        {dir.File("m.wav"), dir.File("a.wav"), -20, {13000, 13000, 13000}},
        {dir.File("m.wav"), dir.File("eight.wav"), 0, {20240, 20240, 20240, 10240}},
    };
    for (const auto& c : cases) {
        const SyllableMaskStimulus mixed =
            PrepareSyllableStimulus({c.masking, c.masked, 0, c.level});
        ASSERT_TRUE(mixed.ok) << mixed.message;
        EXPECT_EQ(mixed.format.bitsPerSample, 16);
        std::vector<std::int16_t> got(mixed.sampleCount);
        std::memcpy(got.data(), mixed.bytes.data(), mixed.bytes.size());
        EXPECT_EQ(got, c.expected) << c.masked << " at " << c.level;
    }
    EXPECT_EQ(PrepareSyllableStimulus({dir.File("x.wav"), dir.File("a.wav"), 0, 0}).message,
              kMaskingMissingMessage);
    EXPECT_EQ(PrepareSyllableStimulus({dir.File("m.wav"), dir.File("x.wav"), 0, 0}).message,
              kMaskedMissingMessage);
}

TEST(AudioPresentation, EntriesEndAtTheFirstTickBeyondTheirDuration) {
    const struct {
        std::uint64_t samples;
        std::uint32_t rate;
        std::int64_t durationMs;
        int endTick;
    } cases[] = {{16400, 8000, 2050, 21},
                 {16000, 8000, 2000, 21},
                 {1, 22050, 0, 1},
                 {44100 * 3 - 1, 44100, 2999, 30}};
    for (const auto& c : cases) {
        PresentationSettings settings;
        settings.entries = {{"a.wav", true, "", 0}, {"b.wav", false, "", 0}};
        AudioPresentation list(settings);
        list.Loaded(c.samples, c.rate);
        EXPECT_EQ(list.Entry().durationMs, c.durationMs);
        PresentationTick tick;
        int ticks = 0;
        do {
            tick = list.Tick();
            ++ticks;
            if (!tick.entryEnded) {
                EXPECT_EQ(tick.barPosition, ticks);
            }
        } while (!tick.entryEnded && ticks < 100);
        EXPECT_EQ(ticks, c.endTick) << c.samples;
        EXPECT_EQ(tick.barPosition, tick.barRange);
        EXPECT_TRUE(tick.pause);
        EXPECT_FALSE(tick.finished);
        EXPECT_EQ(list.Current(), 1);
        list.Loaded(c.samples, c.rate);
        for (int t = 1; t < c.endTick; ++t) list.Tick();
        tick = list.Tick();
        EXPECT_TRUE(tick.finished && !tick.pause);
    }
}

}  // namespace
}  // namespace kestrune
