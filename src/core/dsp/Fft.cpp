#include "core/dsp/Fft.h"

#include <fftw3.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>
#include <stdexcept>

namespace kestrune::dsp {

namespace {

// FFTW plans per size, made on first use and kept for the process. The
// planner is not thread-safe, so making them is serialised; executing a plan
// on new arrays of the same alignment (fftw_malloc gives every array the
// same) is safe from any thread.
struct Plans {
    fftw_plan forward = nullptr;      ///< r2c, N doubles -> N/2 + 1 bins, out of place
    fftw_plan inverse = nullptr;      ///< c2c forward sign, in place (see Inverse)
    fftw_plan inverseReal = nullptr;  ///< c2r, N/2 + 1 bins -> N doubles, out of place
};

// The process's plans; given back to FFTW, with its planner's memory, when
// the process ends (no engine runs then).
struct PlanCache {
    std::mutex mutex;
    std::map<int, Plans> plans;
    ~PlanCache() {
        for (auto& entry : plans) {
            fftw_destroy_plan(entry.second.forward);
            fftw_destroy_plan(entry.second.inverse);
            fftw_destroy_plan(entry.second.inverseReal);
        }
        fftw_cleanup();
    }
};

const Plans& PlansFor(int size) {
    static PlanCache cache;
    std::map<int, Plans>& plans = cache.plans;
    std::lock_guard lock(cache.mutex);
    auto it = plans.find(size);
    if (it != plans.end()) return it->second;
    double* in = fftw_alloc_real(static_cast<std::size_t>(size));
    fftw_complex* out = fftw_alloc_complex(static_cast<std::size_t>(size));
    Plans made;
    // Measured once per size: a frame is then as fast as FFTW gets.
    made.forward = fftw_plan_dft_r2c_1d(size, in, out, FFTW_MEASURE);
    made.inverse = fftw_plan_dft_1d(size, out, out, FFTW_FORWARD, FFTW_ESTIMATE);
    // The planner only looks at the arrays' alignment here (ESTIMATE leaves them alone).
    made.inverseReal = fftw_plan_dft_c2r_1d(size, out, in, FFTW_ESTIMATE);
    fftw_free(in);
    fftw_free(out);
    return plans.emplace(size, made).first->second;
}

// |bin| x scale over (re, im) pairs: a plain loop the compiler vectorises;
// on x86-64 it is also built for wider vector units and the widest one the
// processor has is taken at run time (the square roots are most of a
// frame's work after the transform). Every version computes the same
// correctly rounded square roots, so the results do not depend on the choice.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__)
__attribute__((target_clones("avx512f", "avx2", "default")))
#endif
void ScaledModuli(const double* bins, double* out, std::size_t count, double scale) {
    for (std::size_t k = 0; k < count; ++k) {
        const double re = bins[2 * k];
        const double im = bins[2 * k + 1];
        out[k] = std::sqrt(re * re + im * im) * scale;
    }
}

template <typename T>
T* Allocate(int count) {
    void* memory = fftw_malloc(sizeof(T) * static_cast<std::size_t>(count));
    if (memory == nullptr) throw std::bad_alloc();
    return static_cast<T*>(memory);
}

}  // namespace

CFft::CFft(int size, int sampleRate) : size_(size), sampleRate_(sampleRate) {
    if (size < 1) throw std::invalid_argument("CFft: size must be at least 1");
    inverseNorm_ = 1.0 / std::sqrt(static_cast<double>(size));
    window_ = Allocate<double>(size);
    spectrum_ = Allocate<Complex>(size);
    output_ = Allocate<Complex>(size);
    std::fill_n(window_, size, 0.0);
    std::fill_n(spectrum_, size, Complex{});
    std::fill_n(output_, size, Complex{});
    plans_ = &PlansFor(size);
}

CFft::~CFft() {
    fftw_free(window_);
    fftw_free(spectrum_);
    fftw_free(output_);
    fftw_free(halfScratch_);
    fftw_free(realScratch_);
}

template <typename Convert>
void CFft::Slide(int count, Convert convert) {
    if (count > size_ || count < 0) return;  // a push longer than the window is ignored
    const int kept = size_ - count;
    std::memmove(window_, window_ + count, sizeof(double) * static_cast<std::size_t>(kept));
    double* tail = window_ + kept;
    for (int i = 0; i < count; ++i) tail[i] = convert(i);
}

void CFft::PushSamples16(const std::int16_t* samples, int count) {
    Slide(count, [samples](int i) { return static_cast<double>(samples[i]); });
}

void CFft::PushSamples8(const std::uint8_t* samples, int count) {
    Slide(count, [samples](int i) { return (static_cast<int>(samples[i]) - 128) * 256.0; });
}

void CFft::PushSamples16Bytes(const std::uint8_t* bytes, int count) {
    Slide(count, [bytes](int i) {
        const auto low = static_cast<std::uint16_t>(bytes[2 * i]);
        const auto high = static_cast<std::uint16_t>(bytes[2 * i + 1]);
        return static_cast<double>(static_cast<std::int16_t>(low | (high << 8)));
    });
}

void CFft::LoadWindow(std::span<const double> values) {
    if (values.size() != static_cast<std::size_t>(size_)) return;
    std::copy(values.begin(), values.end(), window_);
}

void CFft::Forward() {
    fftw_execute_dft_r2c(static_cast<const Plans*>(plans_)->forward, window_,
                         reinterpret_cast<fftw_complex*>(spectrum_));
    // Bins above N/2 mirror the lower half of a real window; they are
    // filled only when someone asks for the whole array.
    upperHalfValid_ = size_ <= 2;
}

void CFft::CompleteSpectrum() {
    if (upperHalfValid_) return;
    for (int k = size_ / 2 + 1; k < size_; ++k) spectrum_[k] = std::conj(spectrum_[size_ - k]);
    upperHalfValid_ = true;
}

std::span<CFft::Complex> CFft::Spectrum() {
    CompleteSpectrum();
    return {spectrum_, static_cast<std::size_t>(size_)};
}

void CFft::Inverse() {
    CompleteSpectrum();
    // conj(IDFT(X)) = DFT(conj(X)) / N: the forward transform of the
    // conjugated spectrum, scaled.
    for (int k = 0; k < size_; ++k) output_[k] = std::conj(spectrum_[k]);
    auto* data = reinterpret_cast<fftw_complex*>(output_);
    fftw_execute_dft(static_cast<const Plans*>(plans_)->inverse, data, data);
    const double scale = 1.0 / size_;
    for (int k = 0; k < size_; ++k) output_[k] *= scale;
}

void CFft::InverseReal() {
    if (halfScratch_ == nullptr) {
        halfScratch_ = Allocate<Complex>(size_ / 2 + 1);
        realScratch_ = Allocate<double>(size_);
    }
    // c2r overwrites its input: it gets a copy of the lower half.
    std::copy_n(spectrum_, size_ / 2 + 1, halfScratch_);
    fftw_execute_dft_c2r(static_cast<const Plans*>(plans_)->inverseReal,
                         reinterpret_cast<fftw_complex*>(halfScratch_), realScratch_);
    const double scale = 1.0 / size_;
    for (int k = 0; k < size_; ++k) output_[k] = Complex(realScratch_[k] * scale, 0.0);
}

double CFft::GetMagnitude(int bin) const {
    if (bin < 0 || bin >= size_) return 0.0;
    const Complex value =
        bin <= size_ / 2 || upperHalfValid_ ? spectrum_[bin] : std::conj(spectrum_[size_ - bin]);
    return std::sqrt(value.real() * value.real() + value.imag() * value.imag()) * inverseNorm_;
}

void CFft::GetMagnitudes(std::span<double> out) const {
    const std::size_t count = std::min(out.size(), static_cast<std::size_t>(size_));
    const std::size_t direct = std::min(count, static_cast<std::size_t>(size_ / 2 + 1));
    ScaledModuli(reinterpret_cast<const double*>(spectrum_), out.data(), direct, inverseNorm_);
    for (std::size_t k = direct; k < count; ++k) out[k] = GetMagnitude(static_cast<int>(k));
}

int CFft::FrequencyToBin(int frequency) const {
    if (sampleRate_ <= 0) return 0;
    return static_cast<int>(static_cast<std::int64_t>(size_) * frequency / sampleRate_);
}

int CFft::BinToFrequency(int bin) const {
    if (bin >= size_) return -1;
    return static_cast<int>(static_cast<std::int64_t>(sampleRate_) * bin / size_);
}

std::vector<int> CFft::BitReverseTable(int size) {
    std::vector<int> table(static_cast<std::size_t>(std::max(size, 0)));
    if (size < 1) return table;
    int j = 0;
    for (int i = 0; i < size - 1; ++i) {
        table[static_cast<std::size_t>(i)] = j;
        int h = size / 2;
        while (h >= 1 && h <= j) {
            j -= h;
            h /= 2;
        }
        j += h;
    }
    table[static_cast<std::size_t>(size - 1)] = size - 1;
    return table;
}

}  // namespace kestrune::dsp
