// The one spectrum engine of the workspace: a sliding window of the last N
// samples of a mono wave and its discrete Fourier transform.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace kestrune::dsp {

/**
 * A short-time spectrum engine over a window of the N most recent samples.
 *
 * Each push slides the window left by the number of new samples (the oldest
 * drop out) and writes the new ones at its end; the window starts as N
 * zeros. A push of more than N samples is ignored: window and spectrum stay
 * as they were. 16-bit samples enter as their signed value, 8-bit samples as
 * (byte - 128) x 256, so both depths share one level scale.
 *
 * `Forward` computes the unnormalised transform X[k] = sum x[n] e^(-2 pi i k n / N)
 * of the window as it stands (no window function, i.e. rectangular), with
 * the window's oldest sample as n = 0. `GetMagnitude(k)` is |X[k]| / sqrt(N).
 * `Inverse` turns the (possibly edited) spectrum array back into samples: it
 * writes the complex conjugate of the inverse transform, whose real part and
 * modulus are those of the inverse transform.
 *
 * The transform runs on FFTW; its plans are made once per size for the
 * process and shared by every engine of that size, so constructing an
 * engine per pass is cheap. N need not be a power of two (any N >= 1
 * transforms exactly); the workspace uses 256 ... 4096. One engine belongs
 * to one thread; engines on different threads run in parallel.
 */
class CFft {
  public:
    using Complex = std::complex<double>;

    /** Throws std::invalid_argument when `size` < 1. */
    CFft(int size, int sampleRate);
    ~CFft();
    CFft(const CFft&) = delete;
    CFft& operator=(const CFft&) = delete;

    /** Slides `count` signed 16-bit samples into the window (ignored when count > N). */
    void PushSamples16(const std::int16_t* samples, int count);
    /** Slides `count` unsigned 8-bit samples in, each as (byte - 128) x 256. */
    void PushSamples8(const std::uint8_t* samples, int count);
    /**
     * The same over 16-bit little-endian bytes, as the wave set holds them
     * (`count` samples, 2 x count bytes). Aliasing-safe for any alignment.
     */
    void PushSamples16Bytes(const std::uint8_t* bytes, int count);

    /**
     * Replaces the whole window with `values` (N of them, oldest first), for
     * callers that shape a frame with a window function first. Ignored when
     * the count is not N.
     */
    void LoadWindow(std::span<const double> values);

    /** The forward transform of the current window into the spectrum array. */
    void Forward();
    /** The inverse of the spectrum array into the output array (conjugated, see above). */
    void Inverse();
    /**
     * The inverse of a spectrum that is the transform of a real window, edited
     * alike in both halves (bin N - k the conjugate of bin k): only bins
     * 0 ... N/2 are read, and the output array gets the real inverse (every
     * imaginary part 0). For such a spectrum it equals Inverse(), at about
     * half the work.
     */
    void InverseReal();

    int GetSize() const { return size_; }
    int GetSampleRate() const { return sampleRate_; }
    /** |X[k]| / sqrt(N) for 0 <= k < N. */
    double GetMagnitude(int bin) const;
    /**
     * The magnitudes of bins 0 ... out.size() - 1 at once (out.size() <= N),
     * for the spectrogram's inner loop.
     */
    void GetMagnitudes(std::span<double> out) const;

    /**
     * The bin of a frequency: N x f / rate (integer division). This is the
     * inverse of BinToFrequency, so a band given in hertz lands on the bins
     * that report those frequencies; the doubled form 2 N f / rate would put
     * every cut-off at twice its frequency.
     */
    int FrequencyToBin(int frequency) const;
    /** rate x k / N (integer division); -1 when k >= N. */
    int BinToFrequency(int bin) const;

    /** The window, oldest sample first (N values). */
    std::span<const double> Window() const { return {window_, static_cast<std::size_t>(size_)}; }
    /**
     * The full spectrum array X[0 ... N - 1] after Forward; callers may edit
     * it before Inverse (the frequency-domain filter does).
     */
    std::span<Complex> Spectrum();
    /** The output array after Inverse (N values). */
    std::span<const Complex> Output() const { return {output_, static_cast<std::size_t>(size_)}; }

    /**
     * Position i of the classic in-place radix-2 ordering (the bit-reversed
     * index of i in log2 N bits, i.e. where sample i sits before the
     * butterflies). Kept for callers that lay out data for such a transform;
     * this engine itself works in natural order.
     */
    static std::vector<int> BitReverseTable(int size);

  private:
    template <typename Convert>
    void Slide(int count, Convert convert);
    void CompleteSpectrum();

    int size_;
    int sampleRate_;
    double inverseNorm_;              ///< 1 / sqrt(N)
    double* window_;                  ///< N samples, oldest first (FFTW-aligned)
    Complex* spectrum_;               ///< N bins; the upper half is filled on demand
    Complex* output_;                 ///< N values after Inverse
    Complex* halfScratch_ = nullptr;  ///< N/2 + 1 bins InverseReal may overwrite
    double* realScratch_ = nullptr;   ///< N real values of InverseReal
    bool upperHalfValid_ = true;
    const void* plans_ = nullptr;  ///< this size's shared plans (looked up once, not per frame)
};

}  // namespace kestrune::dsp
