// The short-time spectrum of a wave as integer levels per frame and bin:
// what the spectrogram view draws and the command line prints.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "core/dsp/Raster.h"

namespace kestrune::dsp {

/** How frames are cut: N (frame length), S (hop) and the window function. */
struct SpectrogramParams {
    int frameLength = 2048;
    int shift = 128;
    int sampleRate = 44100;
    /** Multiply each frame by a Hann window before the transform (rectangular by default). */
    bool hann = false;
    /** Levels on the decibel scale (DecibelLevel) instead of magnitude / 256. */
    bool decibels = false;
};

/**
 * Levels of frames f = 0 ... samples / S - 1, bins 0 ... N/2 - 1. Frame f is
 * the transform of the window after f + 1 pushes of S samples: the N
 * samples that end at sample (f + 1) S, with zeros before the wave's start
 * (and all zeros when S > N, since every push is then ignored). A frame's
 * level is (int)(|X[k]| / sqrt(N) / 256), or its DecibelLevel.
 *
 * `frames` lists the frames wanted (VisibleFrames for a view); empty means
 * all. Other frames' levels stay 0. The work is split over `threads`
 * threads (frames are independent once each window is known); `cancel` is
 * polled between frames and, once set, makes the call return early with
 * `frames` = 0. `progress` (called from worker threads, may be empty) gets
 * the number of frames done so far.
 */
SpectrogramLevels ComputeSpectrogram(const WaveSamples& wave, const SpectrogramParams& params,
                                     const std::vector<int>& frames = {}, int threads = 1,
                                     const std::atomic<bool>* cancel = nullptr,
                                     const std::function<void(int done)>& progress = {});

/** The number of frames of a wave: samples / S. */
inline int SpectrogramFrameCount(std::uint32_t samples, int shift) {
    return shift > 0 ? static_cast<int>(samples / static_cast<std::uint32_t>(shift)) : 0;
}

}  // namespace kestrune::dsp
