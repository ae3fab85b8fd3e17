// The pixel rules of the workspace's two views - where a sample lands, which
// colour a trace, a legend or a spectrum level gets, how the scales are
// ticked and how the zoom tools move the visible range - as pure functions,
// so the windows, the command-line renderer and the tests share one
// definition. Pixel coordinates are the view's client coordinates: x to the
// right, y downwards, W x H the client size.
#pragma once

#include <cstdint>
#include <string>

namespace kestrune::dsp {

/** An opaque colour. */
struct Rgb {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;

    /** As a 32-bit 0xffRRGGBB pixel (the layout of an RGB32 image). */
    constexpr std::uint32_t Pixel() const {
        return 0xff000000u | (std::uint32_t{red} << 16) | (std::uint32_t{green} << 8) | blue;
    }
    bool operator==(const Rgb&) const = default;
};

/** The spectrum level colour scale: blue, cyan, green, yellow, red as the level rises. */
Rgb LevelColor(int level);

/** The level of a bin: the integer part of its magnitude / 256 (both bit depths). */
inline int SpectrumLevel(double magnitude) {
    return static_cast<int>(magnitude / 256.0);
}
/**
 * The other colouring of the spectrogram, in decibels: level 256 is the bin
 * of a full-scale sine at a bin's frequency (magnitude 32768 sqrt(N) / 2), and
 * every 4 dB below it is 16 levels less, so the colour scale spans 64 dB and
 * the "not drawn" band (8 and below) is what lies more than 62 dB down.
 * Louder bins are above 256 (red); silence is 0.
 */
int DecibelLevel(double magnitude, int frameLength);
inline constexpr double kDecibelSpan = 64.0;
/** Levels of 8 and below leave the background. */
inline bool LevelDrawn(int level) {
    return level > 8;
}

/** Trace colour of wave i of n: black for one, blue and red for two, level colours from three. */
Rgb TraceColor(int index, int count);
/** Legend (and playback line) colour of wave i of n: yellow for one, else level colours. */
Rgb LegendColor(int index, int count);

/**
 * Right end of the playback progress line in a time strip `stripWidth` wide:
 * (stripWidth - 20) x seconds / totalSeconds, truncated (0 for a total of 0).
 * The line runs at height kProgressLineY in LegendColor(n - 1, n).
 */
int ProgressLineEnd(double seconds, double totalSeconds, int stripWidth);
inline constexpr int kProgressLineY = 6;

/** x of sample j when the longest wave has `longest` (> 1) samples: j W / (longest - 1). */
int WaveX(std::uint32_t sample, std::uint32_t longest, int width);
/** y of a sample value in the whole-wave view (16-bit signed value or 8-bit byte). */
int WaveY(int value, int height, int bits);
/** y of a sample value in the zoomed view (its 16-bit rule has no -1s). */
int ZoomedWaveY(int value, int height, int bits);

/** Tick step and label interval of a time scale over D milliseconds. */
struct TimeTicks {
    int tickStep = 1;
    int labelEvery = 2;
    bool operator==(const TimeTicks&) const = default;
};
TimeTicks TimeScaleRule(int durationMs);
/** (int)(samples / rate x 1000): a length or a position in milliseconds. */
int SamplesToMs(double samples, std::uint32_t sampleRate);

/** A scale's settings (what a scale bar is given). */
struct ScaleSpec {
    int minValue = 0;
    int maxValue = 1;
    int tickStep = 1;
    int labelEvery = 5;
    std::string unit;
    bool operator==(const ScaleSpec&) const = default;
};
/** The amplitude scale: -32 ... 32 "k" for 16 bits, -128 ... 128 for 8 bits. */
ScaleSpec AmplitudeScale(int bits);
/** The frequency scale; it follows the bit depth, not the rate. */
ScaleSpec FrequencyScale(int bits, std::uint32_t sampleRate);
/** The time scale of the whole waves, `longest` samples long. */
ScaleSpec TimeScale(std::uint32_t longest, std::uint32_t sampleRate);
/** The time scale of a zoomed range. */
ScaleSpec ZoomedTimeScale(double viewStart, double viewEnd, std::uint32_t sampleRate);
/** The scale that replaces the frequency scale while zoomed: 0 ... 256, step 4. */
ScaleSpec ZoomedSideScale();

/** The label of level v in the level legend: "%dk" of v x 256 / 1000 for 16 bits, else "%d". */
std::string LevelLegendLabel(int level, int bits);
/** The label of level v on the decibel scale: its dB against full scale, "0" at 256, "-64" at 0. */
std::string DecibelLegendLabel(int level);

/** The visible sample range of the wave view (inclusive, in doubles as the set keeps it). */
struct ViewRange {
    double start = 0.0;
    double end = -1.0;
    bool operator==(const ViewRange&) const = default;
};

/** The sample under view x (0 < x < W): x (int)L / W + (int)start, L = end - start + 1. */
int ClickedSample(int x, int width, const ViewRange& range);

/** What a zoom click does: a new range, or a refusal at the tool's limit. */
struct ZoomStep {
    bool zoomed = false;  ///< false: at the limit; the range is unchanged
    ViewRange range;
};
/** Halves the range around sample s (refused below 40 samples). `longest` is M. */
ZoomStep ZoomIn(const ViewRange& range, int sample, double longest);
/** Doubles the range around the view (refused when 2L would exceed M). */
ZoomStep ZoomOut(const ViewRange& range, double longest);

// The pointer readout of the status bar: what lies under a view pixel.

/**
 * The sample under column x of the wave view showing `range` (the whole
 * waves are 0 ... M - 1): the first j whose column (j - (int)start) W / span
 * reaches x, span = (int)end - (int)start.
 */
std::int64_t SampleAtColumn(int x, int width, const ViewRange& range);
/**
 * The sample value drawn at row y: the inverse of WaveY (or ZoomedWaveY), as
 * a signed amplitude (8-bit bytes less 128, as the amplitude scale shows
 * them). Rounded so that the value's own row is y again where one maps there.
 */
int AmplitudeAtRow(int y, int height, int bits, bool zoomed);
/** The time at column x of a spectrogram of `samples` samples cut into hops of S, in ms. */
double SpectrogramTimeMs(int x, int width, std::uint32_t samples, int shift,
                         std::uint32_t sampleRate);
/** The bin drawn at row y of a spectrogram H high with N / 2 bins (-1 above the top bin). */
int SpectrogramBinAtRow(int y, int height, int frameLength);

}  // namespace kestrune::dsp
