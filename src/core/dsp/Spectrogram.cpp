#include "core/dsp/Spectrogram.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <thread>

#include "core/dsp/Fft.h"

namespace kestrune::dsp {

namespace {

// Works through a list of frames in order on one engine. A frame right
// after the one before it only takes in the shift's worth of new samples
// (CWaveViews slides its frames the same way); any other frame
// gets its whole window pushed at once.
class FrameWorker {
  public:
    FrameWorker(const WaveSamples& wave, const SpectrogramParams& params, SpectrogramLevels& out)
        : wave_(wave),
          params_(params),
          out_(out),
          fft_(params.frameLength, params.sampleRate),
          magnitudes_(static_cast<std::size_t>(out.bins)),
          window16_(static_cast<std::size_t>(params.frameLength)),
          window8_(static_cast<std::size_t>(params.frameLength)) {
        if (params.hann) {
            const int n = params.frameLength;
            hann_.resize(static_cast<std::size_t>(n));
            values_.resize(static_cast<std::size_t>(n));
            for (int i = 0; i < n; ++i)
                hann_[static_cast<std::size_t>(i)] =
                    0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / n);
        }
    }

    void Run(int frame) {
        const int n = params_.frameLength;
        const int s = params_.shift;
        if (s > n) {
            // Every push is ignored: the window stays zero and so do the levels.
            return;
        }
        if (frame == last_ + 1 && last_ >= 0) {
            Push(static_cast<std::int64_t>(frame) * s, s);
        } else {
            Push(static_cast<std::int64_t>(frame + 1) * s - n, n);
        }
        last_ = frame;
        if (params_.hann) {
            TransformWindowed();
        } else {
            fft_.Forward();
            fft_.GetMagnitudes(magnitudes_);
        }
        std::uint16_t* row = out_.Row(frame);
        if (row == nullptr) return;
        for (int k = 0; k < out_.bins; ++k) {
            const double magnitude = magnitudes_[static_cast<std::size_t>(k)];
            const int level =
                params_.decibels ? DecibelLevel(magnitude, n) : SpectrumLevel(magnitude);
            row[k] = static_cast<std::uint16_t>(std::clamp(level, 0, 65535));
        }
    }

  private:
    // Pushes `count` samples starting at `start` (which may be negative:
    // zeros before the wave's start; past the end also reads as zero).
    void Push(std::int64_t start, int count) {
        const bool sixteen = wave_.bits == 16;
        for (int i = 0; i < count; ++i) {
            const std::int64_t j = start + i;
            const bool inside = j >= 0 && j < static_cast<std::int64_t>(wave_.count);
            if (sixteen)
                window16_[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(
                    inside ? wave_.Value(static_cast<std::uint32_t>(j)) : 0);
            else
                window8_[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(
                    inside ? wave_.Value(static_cast<std::uint32_t>(j)) : 128);
        }
        if (sixteen)
            fft_.PushSamples16(window16_.data(), count);
        else
            fft_.PushSamples8(window8_.data(), count);
    }

    // The window function acts on a second engine, so the sliding window
    // itself stays raw for the next frame's slide.
    void TransformWindowed() {
        const auto window = fft_.Window();
        const int n = params_.frameLength;
        if (!windowed_) windowed_ = std::make_unique<CFft>(n, params_.sampleRate);
        for (int i = 0; i < n; ++i)
            values_[static_cast<std::size_t>(i)] =
                window[static_cast<std::size_t>(i)] * hann_[static_cast<std::size_t>(i)];
        windowed_->LoadWindow(values_);
        windowed_->Forward();
        windowed_->GetMagnitudes(magnitudes_);
    }

    const WaveSamples& wave_;
    const SpectrogramParams& params_;
    SpectrogramLevels& out_;
    CFft fft_;
    std::vector<double> magnitudes_;
    std::vector<std::int16_t> window16_;
    std::vector<std::uint8_t> window8_;
    std::vector<double> hann_;
    std::vector<double> values_;
    std::unique_ptr<CFft> windowed_;
    int last_ = -1;
};

}  // namespace

SpectrogramLevels ComputeSpectrogram(const WaveSamples& wave, const SpectrogramParams& params,
                                     const std::vector<int>& frames, int threads,
                                     const std::atomic<bool>* cancel,
                                     const std::function<void(int done)>& progress) {
    SpectrogramLevels out;
    if (params.frameLength < 2 || params.shift < 1) return out;
    out.frames = SpectrogramFrameCount(wave.count, params.shift);
    out.bins = params.frameLength / 2;
    std::vector<int> wanted = frames;
    std::erase_if(wanted, [&](int f) { return f < 0 || f >= out.frames; });
    std::size_t rowCount = static_cast<std::size_t>(out.frames);
    if (frames.empty()) {
        wanted.resize(static_cast<std::size_t>(out.frames));
        for (int f = 0; f < out.frames; ++f) wanted[static_cast<std::size_t>(f)] = f;
    } else {
        // Rows for the frames asked for only (in the order asked, once each).
        out.rows.assign(static_cast<std::size_t>(out.frames), -1);
        rowCount = 0;
        for (int f : wanted)
            if (out.rows[static_cast<std::size_t>(f)] < 0)
                out.rows[static_cast<std::size_t>(f)] = static_cast<int>(rowCount++);
    }
    out.levels.assign(rowCount * static_cast<std::size_t>(out.bins), 0);
    const int count = static_cast<int>(wanted.size());
    threads = std::clamp(threads, 1, std::max(1, count / 16));
    std::atomic<int> done{0};
    // Contiguous slices, so most frames in a slice take in only the shift's new samples.
    auto work = [&](int slice) {
        FrameWorker worker(wave, params, out);
        const int from = static_cast<int>(static_cast<std::int64_t>(count) * slice / threads);
        const int to = static_cast<int>(static_cast<std::int64_t>(count) * (slice + 1) / threads);
        for (int i = from; i < to; ++i) {
            if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) return;
            worker.Run(wanted[static_cast<std::size_t>(i)]);
            const int now = done.fetch_add(1, std::memory_order_relaxed) + 1;
            if (progress && (now % 64 == 0 || now == count)) progress(now);
        }
    };
    if (threads == 1) {
        work(0);
    } else {
        std::vector<std::jthread> pool;
        for (int slice = 0; slice < threads; ++slice) pool.emplace_back(work, slice);
    }
    if (cancel != nullptr && cancel->load()) return SpectrogramLevels{};
    return out;
}

}  // namespace kestrune::dsp
