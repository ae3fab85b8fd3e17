#include "core/dsp/ViewRules.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

namespace kestrune::dsp {
namespace {

TEST(ViewRulesTest, LevelColoursAtEveryBandEdge) {
    struct Row {
        int level;
        Rgb color;
    };
    const Row rows[] = {
        {0, {0, 0, 255}},    {15, {0, 0, 255}},    {16, {0, 0, 255}},    {17, {0, 16, 255}},
        {31, {0, 240, 255}}, {32, {0, 255, 248}},  {63, {0, 255, 0}},    {64, {0, 255, 0}},
        {65, {4, 255, 0}},   {127, {252, 255, 0}}, {128, {255, 254, 0}}, {255, {255, 0, 0}},
        {256, {255, 0, 0}},  {9000, {255, 0, 0}},
    };
    for (const Row& row : rows) {
        const Rgb got = LevelColor(row.level);
        EXPECT_EQ(got, row.color) << "level " << row.level << " got " << int(got.red) << ","
                                  << int(got.green) << "," << int(got.blue);
    }
    EXPECT_EQ(Rgb({1, 2, 3}).Pixel(), 0xff010203u);
}

TEST(ViewRulesTest, LevelsOfEightAndBelowAreNotDrawn) {
    EXPECT_EQ(SpectrumLevel(9 * 256 - 0.001), 8);
    EXPECT_FALSE(LevelDrawn(SpectrumLevel(9 * 256 - 0.001)));
    EXPECT_TRUE(LevelDrawn(SpectrumLevel(9 * 256)));
    EXPECT_FALSE(LevelDrawn(0));
}

TEST(ViewRulesTest, TraceAndLegendColoursByWaveCount) {
    struct Row {
        int index, count;
        Rgb trace, legend;
    };
    const Row rows[] = {
        {0, 1, {0, 0, 0}, {255, 255, 0}},     {0, 2, {0, 0, 255}, {0, 0, 255}},  // level 16
        {1, 2, {255, 0, 0}, {255, 222, 0}},                                      // level 144
        {1, 3, {148, 255, 0}, {148, 255, 0}},                                    // level 101
        {4, 5, {255, 70, 0}, {255, 70, 0}},                                      // level 220
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TraceColor(row.index, row.count), row.trace) << row.index << "/" << row.count;
        EXPECT_EQ(LegendColor(row.index, row.count), row.legend) << row.index << "/" << row.count;
    }
}

TEST(ViewRulesTest, SamplePositions) {
    // Ten samples over 400 pixels: sample 9 lands on x = 400, one past the last column.
    EXPECT_EQ(WaveX(0, 10, 400), 0);
    EXPECT_EQ(WaveX(1, 10, 400), 44);
    EXPECT_EQ(WaveX(9, 10, 400), 400);
    // The product does not overflow 32 bits.
    EXPECT_EQ(WaveX(4000000000u, 4000000001u, 640), 640);

    struct Row {
        int value, height, bits, whole, zoomed;
    };
    const Row rows[] = {
        {32767, 100, 16, 0, 0}, {-32768, 100, 16, 98, 100}, {0, 100, 16, 49, 50},
        {-1, 100, 16, 49, 50},  {255, 100, 8, 0, 0},        {0, 100, 8, 99, 99},
        {128, 100, 8, 49, 49},  {1, 128, 16, 63, 63},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(WaveY(row.value, row.height, row.bits), row.whole)
            << row.value << " " << row.bits;
        EXPECT_EQ(ZoomedWaveY(row.value, row.height, row.bits), row.zoomed)
            << row.value << " " << row.bits;
    }
}

TEST(ViewRulesTest, TimeScaleRule) {
    struct Row {
        int duration;
        TimeTicks ticks;
    };
    const Row rows[] = {{0, {1, 2}},     {24, {1, 2}},    {25, {5, 1}},     {60, {5, 2}},
                        {110, {5, 5}},   {249, {5, 5}},   {250, {50, 1}},   {600, {50, 2}},
                        {2499, {50, 5}}, {2500, {50, 5}}, {5000, {100, 5}}, {60000, {1200, 5}},
                        {7499, {100, 5}}};
    for (const Row& row : rows) EXPECT_EQ(TimeScaleRule(row.duration), row.ticks) << row.duration;
}

TEST(ViewRulesTest, Scales) {
    EXPECT_EQ(AmplitudeScale(16), (ScaleSpec{-32, 32, 1, 8, "k"}));
    EXPECT_EQ(AmplitudeScale(8), (ScaleSpec{-128, 128, 4, 8, ""}));
    EXPECT_EQ(FrequencyScale(16, 44100), (ScaleSpec{0, 22, 1, 2, "KHz"}));
    EXPECT_EQ(FrequencyScale(16, 11025), (ScaleSpec{0, 5, 1, 2, "KHz"}));
    EXPECT_EQ(FrequencyScale(8, 22050), (ScaleSpec{0, 11025, 100, 5, "Hz"}));
    EXPECT_EQ(TimeScale(11025, 22050), (ScaleSpec{0, 500, 50, 1, "ms"}));
    EXPECT_EQ(ZoomedTimeScale(2205, 4409, 22050), (ScaleSpec{100, 199, 5, 2, "ms"}));
    EXPECT_EQ(LevelLegendLabel(16, 16), "4k");
    EXPECT_EQ(LevelLegendLabel(256, 16), "65k");
    EXPECT_EQ(LevelLegendLabel(48, 8), "48");
}

TEST(ViewRulesTest, ClickedSample) {
    EXPECT_EQ(ClickedSample(0, 400, {0, 999}), 0);
    EXPECT_EQ(ClickedSample(200, 400, {0, 999}), 500);
    EXPECT_EQ(ClickedSample(399, 400, {100, 199}), 199);
    EXPECT_EQ(ClickedSample(1, 400, {0, 99}), 0);
}

TEST(ViewRulesTest, ZoomInAndOut) {
    struct Row {
        const char* name;
        bool in;
        ViewRange from;
        int sample;
        double longest;
        ZoomStep expected;
    };
    const Row rows[] = {
        {"in, middle", true, {0, 999}, 500, 1000, {true, {251, 750}}},
        {"in, near the start", true, {0, 999}, 100, 1000, {true, {0, 499}}},
        {"in, near the end", true, {0, 999}, 900, 1000, {true, {500, 999}}},
        {"in, 40 samples", true, {0, 39}, 20, 1000, {true, {11, 30}}},
        {"in, 39 samples refused", true, {0, 38}, 20, 1000, {false, {0, 38}}},
        {"out, to the end", false, {251, 750}, 0, 1000, {true, {0, 999}}},
        {"out, middle", false, {300, 549}, 0, 1000, {true, {175, 674}}},
        {"out, to the start", false, {100, 349}, 0, 1000, {true, {0, 499}}},
        {"out, refused", false, {0, 599}, 0, 1000, {false, {0, 599}}},
    };
    for (const Row& row : rows) {
        const ZoomStep got =
            row.in ? ZoomIn(row.from, row.sample, row.longest) : ZoomOut(row.from, row.longest);
        EXPECT_EQ(got.zoomed, row.expected.zoomed) << row.name;
        EXPECT_EQ(got.range, row.expected.range)
            << row.name << ": " << got.range.start << " ... " << got.range.end;
    }
}

}  // namespace
}  // namespace kestrune::dsp

namespace kestrune::dsp {
namespace {

TEST(ViewRulesTest, DecibelLevelsAgainstAFullScaleSine) {
    struct Row {
        double db;  // against the full-scale sine's bin
        int level;
    };
    const Row rows[] = {
        {0.0, 256},  {6.0, 280}, {-3.9, 240}, {-32.0, 128},
        {-61.5, 10}, {-62.1, 7}, {-64.1, 0},  {-120.0, 0},
    };
    for (int n : {256, 512, 1024, 2048, 4096}) {
        const double fullScale = 32768.0 * std::sqrt(double(n)) / 2.0;
        for (const Row& row : rows)
            EXPECT_EQ(DecibelLevel(fullScale * std::pow(10.0, row.db / 20.0), n), row.level)
                << "N " << n << ", " << row.db << " dB";
        EXPECT_EQ(DecibelLevel(0.0, n), 0);
    }
    const std::pair<int, const char*> labels[] = {
        {256, "0"}, {240, "-4"}, {128, "-32"}, {0, "-64"}};
    for (const auto& [level, text] : labels) EXPECT_EQ(DecibelLegendLabel(level), text);
}

TEST(ViewRulesTest, AmplitudeReadoutLandsOnTheRowItCameFrom) {
    struct Row {
        int height, bits;
        bool zoomed;
    };
    const Row rows[] = {{204, 16, false}, {204, 16, true}, {204, 8, false},
                        {204, 8, true},   {37, 16, false}, {300, 8, false}};
    for (const Row& row : rows) {
        auto y = [&](int v) {
            return row.zoomed ? ZoomedWaveY(v, row.height, row.bits)
                              : WaveY(v, row.height, row.bits);
        };
        const int low = row.bits == 16 ? -32768 : 0;
        const int high = row.bits == 16 ? 32767 : 255;
        for (int v = low; v <= high; v += row.bits == 16 ? 97 : 1) {
            const int readout = AmplitudeAtRow(y(v), row.height, row.bits, row.zoomed);
            const int value = row.bits == 16 ? readout : readout + 128;
            EXPECT_EQ(y(value), y(v)) << row.height << "/" << row.bits << " v " << v;
            EXPECT_LE(value, v);  // the lowest value of its row
        }
    }
    EXPECT_EQ(AmplitudeAtRow(0, 204, 8, false), 126);  // bytes 254 and 255
    EXPECT_EQ(AmplitudeAtRow(203, 204, 16, false), -32768);
}

TEST(ViewRulesTest, SampleUnderAColumn) {
    struct Row {
        ViewRange range;
        int width;
    };
    const Row rows[] = {{{0, 9}, 400}, {{0, 99999}, 636}, {{251, 750}, 636}, {{0, 1}, 5}};
    for (const Row& row : rows) {
        const auto first = static_cast<std::int64_t>(row.range.start);
        const auto span = static_cast<std::int64_t>(row.range.end) - first;
        auto column = [&](std::int64_t j) { return (j - first) * row.width / span; };
        for (int x = 1; x < row.width; ++x) {
            const std::int64_t j = SampleAtColumn(x, row.width, row.range);
            EXPECT_GE(column(j), x) << x;
            EXPECT_LT(column(j - 1), x) << x;
        }
    }
    // Ten samples over 400 columns: sample 9 sits at x = 400, sample 1 at 44.
    EXPECT_EQ(SampleAtColumn(44, 400, {0, 9}), 1);
    EXPECT_EQ(SampleAtColumn(45, 400, {0, 9}), 2);
}

TEST(ViewRulesTest, BinUnderARowIsTheBinDrawnThere) {
    struct Row {
        int height, frameLength;
    };
    const Row rows[] = {{275, 256}, {275, 512}, {275, 4096}, {100, 256}, {256, 512}, {7, 8}};
    for (const Row& row : rows) {
        // The rows each bin paints (later bins over earlier ones).
        const int bins = row.frameLength / 2;
        const double p = double(row.height) / bins;
        std::vector<int> owner(static_cast<std::size_t>(row.height), -1);
        for (int k = 0; k < bins && k < row.height; ++k)
            for (int r = 0; r < p; ++r) {
                const int y = row.height - static_cast<int>(k * p) - r - 1;
                if (y >= 0) owner[static_cast<std::size_t>(y)] = k;
            }
        for (int y = 0; y < row.height; ++y)
            EXPECT_EQ(SpectrogramBinAtRow(y, row.height, row.frameLength),
                      owner[static_cast<std::size_t>(y)])
                << row.height << "/" << row.frameLength << " y " << y;
    }
    EXPECT_EQ(SpectrogramBinAtRow(-1, 100, 256), -1);
    EXPECT_EQ(SpectrogramBinAtRow(100, 100, 256), -1);
}

TEST(ViewRulesTest, SpectrogramTimeRunsOverTheFramedSamples) {
    // 44100 samples in hops of 128: 344 frames cover 44032 samples.
    EXPECT_DOUBLE_EQ(SpectrogramTimeMs(0, 600, 44100, 128, 44100), 0.0);
    EXPECT_DOUBLE_EQ(SpectrogramTimeMs(600, 600, 44100, 128, 44100), 44032.0 / 44.1);
    EXPECT_DOUBLE_EQ(SpectrogramTimeMs(300, 600, 44100, 128, 44100), 22016.0 / 44.1);
}

}  // namespace
}  // namespace kestrune::dsp
