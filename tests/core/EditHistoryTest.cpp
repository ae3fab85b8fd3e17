// Undo and redo over random runs of edits, undos and redos, checked against
// every state the set went through; what a step keeps; a change of format.

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <tuple>

#include "core/workspace/EditHistory.h"

namespace kestrune {
namespace {

// Everything a step may touch, slots above waveCount included.
auto Of(const WaveSet& s) {
    return std::make_tuple(s.waveCount, s.sampleCounts, s.samples, s.names, s.paths, s.firstPath,
                           s.format, s.backupSamples, s.backupCount, s.backupName,
                           s.processParameters);
}

// Edits written straight over the set's fields, as the Process commands do.
void RandomEdit(WaveSet& set, std::mt19937& rng) {
    const auto i = static_cast<std::size_t>(set.waveCount > 0 ? rng() % set.waveCount : 0);
    const auto byte = static_cast<uint8_t>(rng());
    auto& bytes = set.samples[i];
    const std::function<void()> edits[] = {
        [&] { bytes.empty() ? void() : void(bytes[rng() % bytes.size()] = byte); },
        [&] { bytes.resize(set.BytesFor(set.sampleCounts[i] = rng() % 40), byte); },
        [&] { set.names[i] = "name" + std::to_string(byte % 4); },
        [&] { set.waveCount = std::min(set.waveCount + 1, WaveSet::kMaxWaves); },  // old slot back
        [&] { set.waveCount = std::max(set.waveCount - 1, 0); },
        [&] { set.processParameters.amplifyFactor = byte % 20; },
        [&] { byte % 2 ? void(set.TakeBackup()) : void(set.RestoreBackup()); },  // and Reset
        [&] { set.format.sampleRate += byte % 8 == 0; },
    };
    edits[rng() % std::size(edits)]();
}

// A new format, within an edit or outside one, starts the history again.
TEST(EditHistoryTest, EveryUndoAndRedoGivesBackTheExactStateOfItsStep) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        std::mt19937 rng(seed);
        WaveSet set;
        set.SetBitsPerSample(seed % 2 == 0 ? 8 : 16);
        EditHistory history;
        std::vector timeline{Of(set)};   // every state an edit left
        std::size_t at = 0, oldest = 0;  // where the set is; the earliest undo reaches
        for (int op = 0; op < 400; ++op) {
            SCOPED_TRACE(testing::Message() << "seed " << seed << " op " << op);
            const unsigned what = rng() % 100;
            if (what < 55) {
                history.Begin(set);
                RandomEdit(set, rng);
                const bool newFormat = set.format != std::get<WaveFormat>(timeline[at]);
                const bool changed = Of(set) != timeline[at];
                ASSERT_EQ(history.Commit(set), changed && !newFormat);
                if (newFormat) {
                    timeline = {Of(set)};
                    at = oldest = 0;
                } else if (changed) {
                    timeline.resize(at + 1);
                    timeline.push_back(Of(set));
                    if (++at - oldest > EditHistory::kDefaultSteps) ++oldest;
                }
            } else if (what < 57) {  // a new format outside any edit
                ++set.format.sampleRate;
                timeline = {Of(set)};
                at = oldest = 0;
            } else if (what < 80 || what >= 95) {
                do {  // now and then all the way back: 20 steps and no further
                    ASSERT_EQ(history.Undo(set), at > oldest);
                    if (at == oldest) break;
                    ASSERT_EQ(Of(set), timeline[--at]);
                } while (what >= 95);
            } else {
                ASSERT_EQ(history.Redo(set), at + 1 < timeline.size());
                at = std::min(at + 1, timeline.size() - 1);
            }
            ASSERT_EQ(Of(set), timeline[at]);
        }
    }
}

TEST(EditHistoryTest, AStepKeepsOnlyTheSlotsItChanged) {
    WaveSet set;
    set.waveCount = WaveSet::kMaxWaves;
    for (auto& bytes : set.samples) bytes.assign(10000, 1);
    EditHistory history;
    history.Begin(set);
    set.samples[3][17] = 99;
    ASSERT_TRUE(history.Commit(set));
    EXPECT_EQ(history.StoredBytes(), 10000u);
}

}  // namespace
}  // namespace kestrune
