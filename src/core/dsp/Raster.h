// Drawing the views into a plain pixel buffer: lines, wave traces (through
// every sample, or from a per-column envelope with the same pixels) and the
// spectrogram. The windows wrap the buffer of an image; the command-line
// renderer writes it to a PNG file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/dsp/ViewRules.h"

namespace kestrune::dsp {

/** A 32-bit pixel buffer (0xffRRGGBB), `stride` pixels per row. Writes outside are clipped. */
struct Canvas {
    std::uint32_t* pixels = nullptr;
    int width = 0;
    int height = 0;
    std::ptrdiff_t stride = 0;

    void Set(int x, int y, std::uint32_t pixel) {
        if (x >= 0 && y >= 0 && x < width && y < height) pixels[y * stride + x] = pixel;
    }
    std::uint32_t At(int x, int y) const { return pixels[y * stride + x]; }
    void Fill(std::uint32_t pixel);
};

/**
 * A line that covers its start pixel and stops one pixel before its end (a
 * line of length 0 draws nothing), so the lines of a polyline never cover a
 * joint twice and the last point stays open.
 */
void DrawLine(Canvas& canvas, int x0, int y0, int x1, int y1, std::uint32_t pixel);

/** Samples of one wave as the set holds them: 16-bit little-endian or 8-bit bytes. */
struct WaveSamples {
    const std::uint8_t* bytes = nullptr;
    std::uint32_t count = 0;
    int bits = 16;

    int Value(std::uint32_t j) const {
        if (bits == 16) return static_cast<std::int16_t>(bytes[2 * j] | (bytes[2 * j + 1] << 8));
        return bytes[j];
    }
};

/**
 * Where a trace's samples go: samples from `first` to `last` (inclusive),
 * x = (j - first) W / span (integer division), y by the whole-wave or the
 * zoomed rule.
 */
struct TraceMapping {
    std::uint32_t first = 0;
    std::uint32_t last = 0;
    std::uint64_t span = 1;  ///< divisor of the x rule; > 0
    int width = 0;
    int height = 0;
    int bits = 16;
    bool zoomed = false;

    int X(std::uint32_t j) const {
        return static_cast<int>(std::uint64_t{j - first} * static_cast<std::uint64_t>(width) /
                                span);
    }
    int Y(int value) const {
        return zoomed ? ZoomedWaveY(value, height, bits) : WaveY(value, height, bits);
    }
};

/** The whole-wave mapping of a wave of `count` samples when the longest has `longest` (> 1). */
TraceMapping WholeWaveMapping(std::uint32_t count, std::uint32_t longest, int width, int height,
                              int bits);
/** The zoomed mapping over (int)start ... (int)end, cut at the wave's length; false if empty. */
bool ZoomedMapping(std::uint32_t count, const ViewRange& range, int width, int height, int bits,
                   TraceMapping& mapping);

/** The polyline through every mapped sample, one line per pair of neighbours. */
void DrawTracePolyline(Canvas& canvas, const WaveSamples& wave, const TraceMapping& mapping,
                       std::uint32_t pixel);

/**
 * Block minima and maxima of a wave, made once per wave so that drawing
 * never reads every sample of a long wave again.
 */
class WaveSummary {
  public:
    static constexpr std::uint32_t kBlock = 256;
    WaveSummary() = default;
    explicit WaveSummary(const WaveSamples& wave);
    /** Smallest and largest sample value over [from, to] (inclusive, from <= to). */
    void MinMax(const WaveSamples& wave, std::uint32_t from, std::uint32_t to, int& low,
                int& high) const;

  private:
    std::vector<std::int16_t> low_;
    std::vector<std::int16_t> high_;
};

/**
 * The same pixels as DrawTracePolyline, drawn column by column: in every
 * pixel column the samples that land there cover the span between their
 * extreme values, and the lines between neighbouring columns are drawn as
 * the polyline draws them. The trace's last column is drawn sample by
 * sample (its last point stays open, as the polyline's does).
 */
void DrawTraceEnvelope(Canvas& canvas, const WaveSamples& wave, const WaveSummary& summary,
                       const TraceMapping& mapping, std::uint32_t pixel);

/**
 * Memory for large buffers (the levels of a long wave run to tens of
 * megabytes): from 4 MB on it is asked for in huge pages where the system
 * offers them, so filling it does not stop at every 4 kB page.
 */
void* AllocateLarge(std::size_t bytes);
void FreeLarge(void* memory, std::size_t bytes);

template <typename T>
struct LargeBufferAllocator {
    using value_type = T;
    LargeBufferAllocator() = default;
    template <typename U>
    LargeBufferAllocator(const LargeBufferAllocator<U>&) {}
    T* allocate(std::size_t count) { return static_cast<T*>(AllocateLarge(count * sizeof(T))); }
    void deallocate(T* memory, std::size_t count) { FreeLarge(memory, count * sizeof(T)); }
    template <typename U>
    bool operator==(const LargeBufferAllocator<U>&) const {
        return true;
    }
};

/**
 * Frame levels of a spectrogram, `bins` levels per computed frame. Dense
 * (`rows` empty): every frame, frame after frame. Sparse: only the frames
 * asked for, `rows[f]` being frame f's row in `levels` (-1: not computed,
 * reads as level 0), so a long wave's view holds a few hundred rows, not
 * all of its frames.
 */
struct SpectrogramLevels {
    int frames = 0;
    int bins = 0;
    std::vector<std::uint16_t, LargeBufferAllocator<std::uint16_t>> levels;  ///< rows x bins
    std::vector<int> rows;

    /** Where frame f's levels go (null when the frame has no row). */
    std::uint16_t* Row(int frame) {
        const int row = rows.empty() ? frame : rows[static_cast<std::size_t>(frame)];
        return row < 0
                   ? nullptr
                   : levels.data() + static_cast<std::size_t>(row) * static_cast<std::size_t>(bins);
    }
    int At(int frame, int bin) const {
        const int row = rows.empty() ? frame : rows[static_cast<std::size_t>(frame)];
        if (row < 0) return 0;
        return levels[static_cast<std::size_t>(row) * static_cast<std::size_t>(bins) +
                      static_cast<std::size_t>(bin)];
    }
};

/**
 * The frames that own a pixel column of a view `width` wide: frame f covers
 * columns W f / F up to (not including) W (f + 1) / F, so with more frames
 * than columns only one frame per column is seen.
 */
std::vector<int> VisibleFrames(int frames, int width);

/**
 * The spectrogram over the background already in the canvas: frame f's bins
 * k < min(B, H) with a level above 8, each as rows y = H - (int)(k p) - r - 1
 * for r = 0, 1, ... while r < p, p = H / B, in the level's colour.
 */
void DrawSpectrogram(Canvas& canvas, const SpectrogramLevels& levels);

/**
 * Column x of a wave view drawn as a solid vertical line from y0 to y1
 * inclusive (the level legend and the zero line use straight lines too).
 */
void DrawSpan(Canvas& canvas, int x, int y0, int y1, std::uint32_t pixel);

/** The waves of a view with their summaries (null: drawn sample by sample). */
struct ViewWave {
    WaveSamples samples;
    const WaveSummary* summary = nullptr;
};

/**
 * The wave view over the whole waves: background, each wave's trace in its
 * colour (the longest sets the horizontal scale), then the zero line with
 * its arrow head at the right. When the longest wave has one sample or none
 * only the background is drawn and false is returned.
 */
bool RenderWholeWaves(Canvas& canvas, const std::vector<ViewWave>& waves, Rgb background,
                      Rgb zeroLine);

/**
 * The wave view over a zoomed range: background, the zero line through the
 * middle with its arrow at the right edge, then each wave's samples
 * (int)start ... (int)end (those the wave has) with x = 0 at the first.
 */
void RenderZoomedWaves(Canvas& canvas, const std::vector<ViewWave>& waves, const ViewRange& range,
                       Rgb background, Rgb zeroLine);

}  // namespace kestrune::dsp
