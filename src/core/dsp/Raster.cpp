#include "core/dsp/Raster.h"

#include <algorithm>
#include <cstdlib>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace kestrune::dsp {

namespace {
constexpr std::size_t kLargeBuffer = std::size_t{4} << 20;
constexpr std::size_t kHugePage = std::size_t{2} << 20;
}  // namespace

void* AllocateLarge(std::size_t bytes) {
    if (bytes < kLargeBuffer) return ::operator new(bytes);
    const std::size_t rounded = (bytes + kHugePage - 1) / kHugePage * kHugePage;
    void* memory = std::aligned_alloc(kHugePage, rounded);
    if (memory == nullptr) throw std::bad_alloc();
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    ::madvise(memory, rounded, MADV_HUGEPAGE);  // advice only: fine if refused
#endif
    return memory;
}

void FreeLarge(void* memory, std::size_t bytes) {
    if (bytes < kLargeBuffer)
        ::operator delete(memory);
    else
        std::free(memory);
}

void Canvas::Fill(std::uint32_t pixel) {
    for (int y = 0; y < height; ++y) std::fill_n(pixels + y * stride, width, pixel);
}

void DrawLine(Canvas& canvas, int x0, int y0, int x1, int y1, std::uint32_t pixel) {
    const int dx = std::abs(x1 - x0);
    const int dy = std::abs(y1 - y0);
    const int sx = x1 >= x0 ? 1 : -1;
    const int sy = y1 >= y0 ? 1 : -1;
    int x = x0;
    int y = y0;
    if (dx >= dy) {
        int error = dx / 2;
        for (int i = 0; i < dx; ++i) {
            canvas.Set(x, y, pixel);
            x += sx;
            error -= dy;
            if (error < 0) {
                y += sy;
                error += dx;
            }
        }
    } else {
        int error = dy / 2;
        for (int i = 0; i < dy; ++i) {
            canvas.Set(x, y, pixel);
            y += sy;
            error -= dx;
            if (error < 0) {
                x += sx;
                error += dy;
            }
        }
    }
}

void DrawSpan(Canvas& canvas, int x, int y0, int y1, std::uint32_t pixel) {
    if (x < 0 || x >= canvas.width) return;
    const int top = std::max(std::min(y0, y1), 0);
    const int bottom = std::min(std::max(y0, y1), canvas.height - 1);
    for (int y = top; y <= bottom; ++y) canvas.pixels[y * canvas.stride + x] = pixel;
}

TraceMapping WholeWaveMapping(std::uint32_t count, std::uint32_t longest, int width, int height,
                              int bits) {
    TraceMapping mapping;
    mapping.first = 0;
    mapping.last = count == 0 ? 0 : count - 1;
    mapping.span = longest > 1 ? longest - 1 : 1;
    mapping.width = width;
    mapping.height = height;
    mapping.bits = bits;
    return mapping;
}

bool ZoomedMapping(std::uint32_t count, const ViewRange& range, int width, int height, int bits,
                   TraceMapping& mapping) {
    const auto start = static_cast<std::int64_t>(static_cast<int>(range.start));
    const auto end = static_cast<std::int64_t>(static_cast<int>(range.end));
    if (start < 0 || end <= start || start >= count) return false;
    mapping.first = static_cast<std::uint32_t>(start);
    mapping.last = static_cast<std::uint32_t>(std::min<std::int64_t>(end, count - 1));
    mapping.span = static_cast<std::uint64_t>(end - start);
    mapping.width = width;
    mapping.height = height;
    mapping.bits = bits;
    mapping.zoomed = true;
    return true;
}

void DrawTracePolyline(Canvas& canvas, const WaveSamples& wave, const TraceMapping& mapping,
                       std::uint32_t pixel) {
    if (wave.count == 0 || mapping.last >= wave.count) return;
    int px = mapping.X(mapping.first);
    int py = mapping.Y(wave.Value(mapping.first));
    for (std::uint32_t j = mapping.first + 1; j <= mapping.last && j > mapping.first; ++j) {
        const int x = mapping.X(j);
        const int y = mapping.Y(wave.Value(j));
        DrawLine(canvas, px, py, x, y, pixel);
        px = x;
        py = y;
    }
}

WaveSummary::WaveSummary(const WaveSamples& wave) {
    const std::uint32_t blocks = wave.count / kBlock;
    low_.resize(blocks);
    high_.resize(blocks);
    for (std::uint32_t b = 0; b < blocks; ++b) {
        int low = wave.Value(b * kBlock);
        int high = low;
        for (std::uint32_t j = b * kBlock + 1; j < (b + 1) * kBlock; ++j) {
            const int v = wave.Value(j);
            low = std::min(low, v);
            high = std::max(high, v);
        }
        low_[b] = static_cast<std::int16_t>(low);
        high_[b] = static_cast<std::int16_t>(high);
    }
}

void WaveSummary::MinMax(const WaveSamples& wave, std::uint32_t from, std::uint32_t to, int& low,
                         int& high) const {
    low = high = wave.Value(from);
    std::uint32_t j = from;
    auto scan = [&](std::uint32_t until) {  // samples j ... until - 1
        for (; j < until; ++j) {
            const int v = wave.Value(j);
            low = std::min(low, v);
            high = std::max(high, v);
        }
    };
    const std::uint32_t firstBlock = (from + kBlock - 1) / kBlock;
    const std::uint32_t endBlock = std::min<std::uint32_t>((to + 1) / kBlock, low_.size());
    if (firstBlock < endBlock) {
        scan(firstBlock * kBlock);
        for (std::uint32_t b = firstBlock; b < endBlock; ++b) {
            low = std::min<int>(low, low_[b]);
            high = std::max<int>(high, high_[b]);
        }
        j = endBlock * kBlock;
    }
    scan(to + 1);
}

void DrawTraceEnvelope(Canvas& canvas, const WaveSamples& wave, const WaveSummary& summary,
                       const TraceMapping& mapping, std::uint32_t pixel) {
    if (wave.count == 0 || mapping.last >= wave.count || mapping.width <= 0) return;
    const auto width = static_cast<std::uint64_t>(mapping.width);
    // The first sample of column c: the smallest j with X(j) >= c.
    auto columnStart = [&](std::uint64_t column) {
        return std::uint64_t{mapping.first} + (column * mapping.span + width - 1) / width;
    };
    bool havePrevious = false;
    int px = 0;
    int py = 0;
    std::uint32_t j = mapping.first;
    while (true) {
        const int x = mapping.X(j);
        const std::uint64_t next = columnStart(static_cast<std::uint64_t>(x) + 1);
        const std::uint32_t groupEnd =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(next - 1, mapping.last));
        const int yFirst = mapping.Y(wave.Value(j));
        if (havePrevious) DrawLine(canvas, px, py, x, yFirst, pixel);
        if (groupEnd == mapping.last) {
            // The last column: sample by sample, so its end stays open.
            int y = yFirst;
            for (std::uint32_t i = j + 1; i <= mapping.last && i > j; ++i) {
                const int yNext = mapping.Y(wave.Value(i));
                DrawLine(canvas, x, y, x, yNext, pixel);
                y = yNext;
            }
            return;
        }
        int low = 0;
        int high = 0;
        summary.MinMax(wave, j, groupEnd, low, high);
        DrawSpan(canvas, x, mapping.Y(high), mapping.Y(low), pixel);
        px = x;
        py = mapping.Y(wave.Value(groupEnd));
        havePrevious = true;
        j = groupEnd + 1;
    }
}

std::vector<int> VisibleFrames(int frames, int width) {
    std::vector<int> owned;
    if (frames <= 0 || width <= 0) return owned;
    for (int f = 0; f < frames; ++f) {
        const auto x0 = static_cast<std::int64_t>(width) * f / frames;
        const auto x1 = static_cast<std::int64_t>(width) * (f + 1) / frames;
        if (x1 > x0) owned.push_back(f);
    }
    return owned;
}

void DrawSpectrogram(Canvas& canvas, const SpectrogramLevels& levels) {
    const int width = canvas.width;
    const int height = canvas.height;
    const int frames = levels.frames;
    const int bins = levels.bins;
    if (frames <= 0 || bins <= 0 || height <= 0) return;
    const double perBin = static_cast<double>(height) / bins;
    const int drawnBins = std::min(bins, height);
    for (int f : VisibleFrames(frames, width)) {
        const int x0 = static_cast<int>(static_cast<std::int64_t>(width) * f / frames);
        const int x1 = static_cast<int>(static_cast<std::int64_t>(width) * (f + 1) / frames);
        for (int k = 0; k < drawnBins; ++k) {
            const int level = levels.At(f, k);
            if (!LevelDrawn(level)) continue;
            const std::uint32_t pixel = LevelColor(level).Pixel();
            for (int r = 0; r < perBin; ++r) {
                const int y = height - static_cast<int>(k * perBin) - r - 1;
                if (y < 0 || y >= height) continue;
                std::fill(canvas.pixels + y * canvas.stride + x0,
                          canvas.pixels + y * canvas.stride + x1, pixel);
            }
        }
    }
}

namespace {

void DrawTrace(Canvas& canvas, const ViewWave& wave, const TraceMapping& mapping,
               std::uint32_t pixel) {
    // Sample by sample while there are fewer samples than columns; from the
    // summary beyond that (the pixels are the same either way).
    const std::uint64_t drawn = std::uint64_t{mapping.last} - mapping.first + 1;
    if (wave.summary != nullptr && drawn > static_cast<std::uint64_t>(mapping.width))
        DrawTraceEnvelope(canvas, wave.samples, *wave.summary, mapping, pixel);
    else
        DrawTracePolyline(canvas, wave.samples, mapping, pixel);
}

}  // namespace

bool RenderWholeWaves(Canvas& canvas, const std::vector<ViewWave>& waves, Rgb background,
                      Rgb zeroLine) {
    canvas.Fill(background.Pixel());
    std::uint32_t longest = 0;
    for (const ViewWave& wave : waves) longest = std::max(longest, wave.samples.count);
    if (longest <= 1) return false;
    const int count = static_cast<int>(waves.size());
    for (int i = 0; i < count; ++i) {
        const ViewWave& wave = waves[static_cast<std::size_t>(i)];
        if (wave.samples.count == 0) continue;
        DrawTrace(canvas, wave,
                  WholeWaveMapping(wave.samples.count, longest, canvas.width, canvas.height,
                                   wave.samples.bits),
                  TraceColor(i, count).Pixel());
    }
    const int w = canvas.width;
    const int middle = (canvas.height - 1) / 2;
    const std::uint32_t line = zeroLine.Pixel();
    DrawLine(canvas, 0, middle, w - 1, middle, line);
    DrawLine(canvas, w - 1, middle, w - 6, middle - 5, line);
    DrawLine(canvas, w - 1, middle, w - 6, middle + 5, line);
    return true;
}

void RenderZoomedWaves(Canvas& canvas, const std::vector<ViewWave>& waves, const ViewRange& range,
                       Rgb background, Rgb zeroLine) {
    canvas.Fill(background.Pixel());
    const int w = canvas.width;
    const int middle = canvas.height / 2;
    const std::uint32_t line = zeroLine.Pixel();
    DrawLine(canvas, 0, middle, w, middle, line);
    DrawLine(canvas, w, middle, w - 5, middle - 5, line);
    DrawLine(canvas, w, middle, w - 5, middle + 5, line);
    const int count = static_cast<int>(waves.size());
    for (int i = 0; i < count; ++i) {
        const ViewWave& wave = waves[static_cast<std::size_t>(i)];
        TraceMapping mapping;
        if (!ZoomedMapping(wave.samples.count, range, canvas.width, canvas.height,
                           wave.samples.bits, mapping))
            continue;
        DrawTrace(canvas, wave, mapping, TraceColor(i, count).Pixel());
    }
}

}  // namespace kestrune::dsp
