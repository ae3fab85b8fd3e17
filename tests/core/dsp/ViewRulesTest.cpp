#include "core/dsp/ViewRules.h"

#include <gtest/gtest.h>

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
