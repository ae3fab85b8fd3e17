// Undo and redo of the wave set: random runs of edits, undos and redos
// against a list of every state the set went through, the step limit, the
// memory a step takes and the clearing on a change of format.

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "core/workspace/EditHistory.h"

namespace kestrune {
namespace {

// Everything a step may touch, slots above waveCount included.
struct State {
    int waveCount;
    std::array<uint32_t, WaveSet::kMaxWaves> counts;
    std::array<std::vector<uint8_t>, WaveSet::kMaxWaves> samples;
    std::array<std::string, WaveSet::kMaxWaves> names, paths;
    std::string firstPath;
    WaveFormat format;
    std::vector<uint8_t> backup;
    uint32_t backupCount;
    std::string backupName;
    double viewStart, viewEnd;
    ProcessParameters parameters;
    bool operator==(const State&) const = default;
};

State Of(const WaveSet& s) {
    return {s.waveCount, s.sampleCounts, s.samples,          s.names,       s.paths,
            s.firstPath, s.format,       s.backupSamples,    s.backupCount, s.backupName,
            s.viewStart, s.viewEnd,      s.processParameters};
}

// Edits written straight over the set's fields, as the Process commands do.
void RandomEdit(WaveSet& set, std::mt19937& rng) {
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    const int last = set.waveCount - 1;
    const auto slot = static_cast<std::size_t>(last < 0 ? 0 : pick(set.waveCount));
    switch (pick(8)) {
        case 0:  // change some bytes
            for (auto& b : set.samples[slot]) b = static_cast<uint8_t>(pick(3) == 0 ? rng() : b);
            break;
        case 1: {  // resize
            const auto count = static_cast<uint32_t>(pick(40));
            set.samples[slot].resize(set.BytesFor(count), static_cast<uint8_t>(rng()));
            set.sampleCounts[slot] = count;
            break;
        }
        case 2:
            set.names[slot] = "name" + std::to_string(pick(5));
            break;
        case 3:  // add a slot
            if (set.waveCount < WaveSet::kMaxWaves) {
                const auto i = static_cast<std::size_t>(set.waveCount++);
                set.sampleCounts[i] = static_cast<uint32_t>(pick(30));
                set.samples[i].assign(set.BytesFor(set.sampleCounts[i]),
                                      static_cast<uint8_t>(rng()));
                set.names[i] = "recorded wave";
            }
            break;
        case 4:  // drop the last slot
            if (set.waveCount > 0) --set.waveCount;
            break;
        case 5:
            set.processParameters.amplifyFactor = static_cast<float>(pick(20));
            set.processParameters.periodType = pick(3);
            break;
        case 6:
            set.ResetProcessParameters();
            break;
        default:
            if (set.waveCount == 1)
                pick(2) == 0 ? (void)set.TakeBackup() : (void)set.RestoreBackup();
            break;
    }
    set.UpdateViewRange();
}

TEST(EditHistoryTest, EveryUndoAndRedoGivesBackTheExactStateOfItsStep) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937 rng(seed);
        WaveSet set;
        set.SetBitsPerSample(seed % 2 == 0 ? 8 : 16);
        EditHistory history;
        std::vector<State> timeline{Of(set)};  // every state an edit left
        std::size_t at = 0;                    // where the set is in it
        std::size_t oldest = 0;                // the earliest state undo reaches
        for (int op = 0; op < 300; ++op) {
            const unsigned what = rng() % 12;
            if (what < 6) {
                history.Begin(set);
                RandomEdit(set, rng);
                const bool changed = !(Of(set) == timeline[at]);
                ASSERT_EQ(history.Commit(set), changed) << "seed " << seed << " op " << op;
                if (changed) {
                    timeline.resize(at + 1);
                    timeline.push_back(Of(set));
                    ++at;
                    oldest = std::max(oldest, at - std::min(at, EditHistory::kDefaultSteps));
                }
            } else if (what < 9 || what == 11) {
                // Now and then all the way back, to the 20th step and no further.
                do {
                    const bool can = at > oldest;
                    ASSERT_EQ(history.Undo(set), can) << "seed " << seed << " op " << op;
                    if (!can) break;
                    --at;
                    ASSERT_EQ(Of(set), timeline[at]) << "seed " << seed << " op " << op;
                } while (what == 11);
            } else {
                const bool can = at + 1 < timeline.size();
                ASSERT_EQ(history.Redo(set), can) << "seed " << seed << " op " << op;
                if (can) ++at;
            }
            ASSERT_EQ(Of(set), timeline[at]) << "seed " << seed << " op " << op;
        }
    }
}

TEST(EditHistoryTest, AStepKeepsOnlyTheSlotsItChanged) {
    WaveSet set;
    set.waveCount = WaveSet::kMaxWaves;
    for (std::size_t i = 0; i < WaveSet::kMaxWaves; ++i) {
        set.sampleCounts[i] = 5000;
        set.samples[i].assign(10000, static_cast<uint8_t>(i));
    }
    EditHistory history;
    history.Begin(set);
    set.samples[3][17] = 99;
    ASSERT_TRUE(history.Commit(set));
    EXPECT_EQ(history.StoredBytes(), 10000u);
    history.Begin(set);
    set.processParameters.noiseAmplitude = 0.5f;  // parameters only: no bytes kept
    ASSERT_TRUE(history.Commit(set));
    EXPECT_EQ(history.StoredBytes(), 10000u);
}

TEST(EditHistoryTest, AChangeOfFormatClearsTheHistory) {
    WaveSet set;
    EditHistory history;
    for (int step = 0; step < 2; ++step) {
        history.Begin(set);
        set.names[0] = "edit" + std::to_string(step);
        ASSERT_TRUE(history.Commit(set));
    }
    ASSERT_TRUE(history.Undo(set));
    // Within an edit: nothing is recorded and both directions are gone.
    history.Begin(set);
    set.format.sampleRate = 22050;
    EXPECT_FALSE(history.Commit(set));
    EXPECT_FALSE(history.CanUndo());
    EXPECT_FALSE(history.CanRedo());

    // Outside one: the next undo finds the other format and refuses.
    history.Begin(set);
    set.names[0] = "edit";
    ASSERT_TRUE(history.Commit(set));
    set.format.bitsPerSample = 8;
    const State before = Of(set);
    EXPECT_FALSE(history.Undo(set));
    EXPECT_EQ(Of(set), before);
    EXPECT_FALSE(history.CanUndo());
}

}  // namespace
}  // namespace kestrune
