#include "core/dsp/ViewRules.h"

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
