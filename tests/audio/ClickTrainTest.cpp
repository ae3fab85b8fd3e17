// The click train placed into buffers by their converter times, and the
// onset offsets summed up, on made-up buffer times at 1000 frames a second.
#include "audio/ClickTrain.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <utility>
#include <vector>

namespace kestrune::audio {
namespace {

// Clicks of two frames every ten, the first five frames after the first buffer.
const ClickTrainPlan kPlan{
    .rate = 1000, .plays = 3, .period = 0.01, .lead = 0.005, .clickLength = 0.002, .amplitude = 7};

TEST(ClickTrainTest, PlacesEachClickByTimeAndMeasuresItsOnset) {
    // Buffers of `frames` frames reach the converter at `dacTimes`; the
    // clicks then start at `starts` (frames counted through the buffers laid
    // end to end), `offsetsMs` (played - due) after the moment they were due.
    const struct {
        unsigned long frames;
        std::vector<double> dacTimes;
        std::vector<int> starts;
        std::vector<double> offsetsMs;
        bool done;
        std::size_t late;
        double meanMs, sdMs;
    } cases[] = {
        // On time; the first click runs over a buffer's end.
        {6, {100.000, 100.006, 100.012, 100.018, 100.024}, {5, 15, 25}, {0, 0, 0}, true, 0, 0, 0},
        // The second buffer comes late: its click starts at once, the next on time.
        {8, {100.000, 100.020}, {5, 8, 13}, {0, 5, 0}, true, 1, 5.0 / 3, std::sqrt(25.0 / 3)},
        // Times between frames: the nearest frame, less than half a frame off.
        {8, {100, 100.0083, 100.0163, 100.0243}, {5, 15, 25}, {0, .3, .3}, true, 0, .2, .173205},
        // The last click has not been written to its end.
        {13, {100.000, 100.013}, {5, 15, 25}, {0, 0, 0}, false, 0, 0, 0},
    };
    for (const auto& item : cases) {
        SCOPED_TRACE(item.dacTimes[1]);
        ClickTrain train(kPlan);
        std::vector<int16_t> sound;
        for (const double dacTime : item.dacTimes) {
            std::vector<int16_t> out(item.frames, -1);
            train.Render(out.data(), item.frames, dacTime);
            sound.insert(sound.end(), out.begin(), out.end());
        }
        std::vector<int16_t> expected(sound.size(), 0);
        for (const int start : item.starts)
            for (std::size_t i = start; i < start + 2u && i < expected.size(); ++i) expected[i] = 7;
        EXPECT_EQ(sound, expected);
        EXPECT_EQ(train.Done(), item.done);
        for (std::size_t k = 0; k < train.Onsets().size(); ++k)
            EXPECT_NEAR(train.Onsets()[k].due, 100.005 + 0.01 * static_cast<double>(k), 1e-9);
        const OnsetSummary summary = SummariseOnsets(train.Onsets(), kPlan.rate);
        const auto [least, most] =
            std::minmax_element(item.offsetsMs.begin(), item.offsetsMs.end());
        EXPECT_EQ(std::tuple(summary.clicks, summary.late),
                  std::tuple(item.offsetsMs.size(), item.late));
        for (const auto& [got, want] :
             {std::pair(summary.meanMs, item.meanMs), std::pair(summary.sdMs, item.sdMs),
              std::pair(summary.minMs, *least), std::pair(summary.maxMs, *most)})
            EXPECT_NEAR(got, want, 1e-6);
    }
}

}  // namespace
}  // namespace kestrune::audio
