#include "core/dsp/ViewRules.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace kestrune::dsp {

namespace {

std::uint8_t Byte(int value) {
    return static_cast<std::uint8_t>(((value % 256) + 256) % 256);
}

}  // namespace

Rgb LevelColor(int level) {
    if (level < 16) return {0, 0, 255};
    if (level < 32) return {0, Byte((level - 16) * 16), 255};
    if (level < 64) return {0, 255, Byte((63 - level) * 8)};
    if (level < 128) return {Byte(4 * level - 256), 255, 0};
    if (level < 256) return {255, Byte((255 - level) * 2), 0};
    return {255, 0, 0};
}

Rgb TraceColor(int index, int count) {
    if (count == 1) return {0, 0, 0};
    if (count == 2) return index == 0 ? Rgb{0, 0, 255} : Rgb{255, 0, 0};
    return LevelColor(index * 256 / count + 16);
}

Rgb LegendColor(int index, int count) {
    if (count == 1) return {255, 255, 0};
    return LevelColor(index * 256 / count + 16);
}

int ProgressLineEnd(double seconds, double totalSeconds, int stripWidth) {
    if (totalSeconds <= 0.0) return 0;
    return static_cast<int>((stripWidth - 20) * seconds / totalSeconds);
}

int WaveX(std::uint32_t sample, std::uint32_t longest, int width) {
    if (longest <= 1 || width <= 0) return 0;
    return static_cast<int>(std::uint64_t{sample} * static_cast<std::uint64_t>(width) /
                            (std::uint64_t{longest} - 1));
}

int WaveY(int value, int height, int bits) {
    if (bits == 16) return static_cast<int>((height - 1) * (32768.0 - value - 1) / 65536.0);
    return static_cast<int>(height * (256.0 - value - 1) / 256.0);
}

int ZoomedWaveY(int value, int height, int bits) {
    if (bits == 16) return static_cast<int>(height * (32768.0 - value) / 65536.0);
    return static_cast<int>(height * (256.0 - value - 1) / 256.0);
}

TimeTicks TimeScaleRule(int durationMs) {
    if (durationMs < 25) return {1, 2};
    int step = 0;
    if (durationMs < 250)
        step = 5;
    else if (durationMs < 2500)
        step = 50;
    else
        step = durationMs / 50 / 50 * 50;
    const int ticks = durationMs / step;
    return {step, ticks > 20 ? 5 : ticks > 10 ? 2 : 1};
}

int SamplesToMs(double samples, std::uint32_t sampleRate) {
    if (sampleRate == 0) return 0;
    return static_cast<int>(samples / sampleRate * 1000);
}

ScaleSpec AmplitudeScale(int bits) {
    if (bits > 10) {
        const int top = 1 << (bits - 11);
        return {-top, top, 1, 8, "k"};
    }
    const int top = 1 << (bits - 1);
    return {-top, top, 4, 8, ""};
}

ScaleSpec FrequencyScale(int bits, std::uint32_t sampleRate) {
    if (bits == 16) return {0, static_cast<int>(sampleRate / 1000 / 2), 1, 2, "KHz"};
    return {0, static_cast<int>(sampleRate / 2), 100, 5, "Hz"};
}

ScaleSpec TimeScale(std::uint32_t longest, std::uint32_t sampleRate) {
    const int duration = SamplesToMs(longest, sampleRate);
    const TimeTicks ticks = TimeScaleRule(duration);
    return {0, duration, ticks.tickStep, ticks.labelEvery, "ms"};
}

ScaleSpec ZoomedTimeScale(double viewStart, double viewEnd, std::uint32_t sampleRate) {
    const TimeTicks ticks = TimeScaleRule(SamplesToMs(viewEnd - viewStart + 1, sampleRate));
    return {SamplesToMs(viewStart, sampleRate), SamplesToMs(viewEnd, sampleRate), ticks.tickStep,
            ticks.labelEvery, "ms"};
}

ScaleSpec ZoomedSideScale() {
    return {0, 256, 4, 8, ""};
}

std::int64_t SampleAtColumn(int x, int width, const ViewRange& range) {
    const auto first = static_cast<std::int64_t>(static_cast<int>(range.start));
    const auto span = static_cast<std::int64_t>(static_cast<int>(range.end)) - first;
    if (width <= 0 || span <= 0 || x <= 0) return first;
    // Smallest j with j W / span >= x.
    return first + (static_cast<std::int64_t>(x) * span + width - 1) / width;
}

int AmplitudeAtRow(int y, int height, int bits, bool zoomed) {
    // The value whose row is y: search the one the rule itself puts there, so
    // the readout agrees with the trace pixel for pixel.
    auto row = [&](int v) {
        return zoomed ? ZoomedWaveY(v, height, bits) : WaveY(v, height, bits);
    };
    int low = bits == 16 ? -32768 : 0;
    int high = bits == 16 ? 32767 : 255;
    // Rows fall as values rise: find the smallest v with row(v) <= y.
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (row(middle) <= y)
            high = middle;
        else
            low = middle + 1;
    }
    return bits == 16 ? low : low - 128;
}

double SpectrogramTimeMs(int x, int width, std::uint32_t samples, int shift,
                         std::uint32_t sampleRate) {
    if (width <= 0 || shift <= 0 || sampleRate == 0) return 0.0;
    const auto frames = static_cast<std::int64_t>(samples / static_cast<std::uint32_t>(shift));
    const double covered = static_cast<double>(frames) * shift;
    return covered * x / width / sampleRate * 1000.0;
}

int SpectrogramBinAtRow(int y, int height, int frameLength) {
    const int bins = frameLength / 2;
    if (height <= 0 || bins <= 0 || y < 0 || y >= height) return -1;
    const double perBin = static_cast<double>(height) / bins;
    // Bin k covers rows H - (int)(k p) - r - 1 for r < p: the largest k whose
    // first row is at or below y.
    const int drawn = std::min(bins, height);  // bins at and above H are not drawn
    int k = std::min(static_cast<int>((height - 1 - y) / perBin), drawn - 1);
    while (k + 1 < drawn && height - static_cast<int>((k + 1) * perBin) - 1 >= y) ++k;
    while (k > 0 && height - static_cast<int>(k * perBin) - 1 < y) --k;
    // Above the top drawn bin's rows nothing is drawn.
    if (height - static_cast<int>(k * perBin) - 1 - y >= perBin) return -1;
    return k;
}

int DecibelLevel(double magnitude, int frameLength) {
    const double fullScale = 32768.0 * std::sqrt(static_cast<double>(frameLength)) / 2.0;
    if (!(magnitude > 0.0) || fullScale <= 0.0) return 0;
    const double below = 20.0 * std::log10(magnitude / fullScale);  // <= 0 up to full scale
    const double level = 256.0 + 256.0 * below / kDecibelSpan;
    if (level <= 0.0) return 0;
    return static_cast<int>(std::min(level, 65535.0));
}

std::string DecibelLegendLabel(int level) {
    char text[32];
    std::snprintf(text, sizeof text, "%d",
                  static_cast<int>(std::lround((level - 256) * kDecibelSpan / 256.0)));
    return text;
}

std::string LevelLegendLabel(int level, int bits) {
    char text[32];
    if (bits == 16)
        std::snprintf(text, sizeof text, "%dk", level * 256 / 1000);
    else
        std::snprintf(text, sizeof text, "%d", level);
    return text;
}

int ClickedSample(int x, int width, const ViewRange& range) {
    if (width <= 0) return static_cast<int>(range.start);
    const double length = range.end - range.start + 1;
    return static_cast<int>(static_cast<std::int64_t>(x) * static_cast<int>(length) / width) +
           static_cast<int>(range.start);
}

ZoomStep ZoomIn(const ViewRange& range, int sample, double longest) {
    const double length = range.end - range.start + 1;
    if (length < 40) return {false, range};
    const int quarter = static_cast<int>(length) / 4;
    ViewRange next;
    if (sample - quarter <= 0) {
        next.start = 0;
        next.end = length / 2 - 1;
    } else if (sample + quarter >= longest - 1) {
        next.end = longest - 1;
        next.start = next.end - length / 2 + 1;
    } else {
        next.start = sample - length / 4 + 1;
        next.end = sample + length / 4;
    }
    return {true, next};
}

ZoomStep ZoomOut(const ViewRange& range, double longest) {
    const double length = range.end - range.start + 1;
    if (2 * length > longest) return {false, range};
    const int half = static_cast<int>(length) / 2;
    ViewRange next = range;
    if (half >= range.start) {
        next.start = 0;
        next.end = 2 * length - 1;
    } else if (longest - range.end - 1 <= half) {
        next.end = longest - 1;
        next.start = next.end - 2 * length + 1;
    } else {
        next.start -= length / 2;
        next.end += length / 2;
    }
    return {true, next};
}

}  // namespace kestrune::dsp
