#include "core/dsp/Fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

#include "core/CoreTestSupport.h"

namespace kestrune::dsp {
namespace {

using Complex = std::complex<double>;
using kestrune::testing::Wave;

// The definition, term by term: X[k] = sum x[n] e^(sign 2 pi i k n / N).
template <typename T>
std::vector<Complex> DirectDft(const std::vector<T>& x, double sign = -1) {
    const std::size_t n = x.size();
    std::vector<Complex> out(n);
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t t = 0; t < n; ++t)  // k t mod N keeps the angle small and exact
            out[k] += Complex(x[t]) * std::polar(1.0, sign * 2 * std::numbers::pi *
                                                          static_cast<double>((k * t) % n) /
                                                          static_cast<double>(n));
    return out;
}

std::vector<double> WindowOf(const CFft& fft) {
    return {fft.Window().begin(), fft.Window().end()};
}

// Known signals at every menu size: each bin of the spectrum and its
// magnitudes, one at a time and at once, against the direct sum.
TEST(FftTest, EveryBinMatchesTheDirectDft) {
    const auto random = [](int n) {
        std::mt19937 gen(static_cast<unsigned>(n));
        return Wave(n, [&](int) { return std::uniform_int_distribution<int>(-32768, 32767)(gen); });
    };
    const struct {
        const char* name;
        std::function<std::vector<std::int16_t>(int)> make;
    } signals[] = {
        {"dc", [](int n) { return Wave(n, [](int) { return 12000; }); }},
        {"bin 5", [](int n) { return kestrune::testing::Sine(n, 30000, 5, n); }},
        {"nyquist", [](int n) { return Wave(n, [](int t) { return t % 2 ? -20000 : 20000; }); }},
        // Off the origin, so the phase shows that n = 0 is the oldest sample.
        {"impulse", [](int n) { return Wave(n, [](int t) { return t == 3 ? 32767 : 0; }); }},
        {"random", random},
    };
    for (int n : {256, 512, 1024, 2048, 4096}) {
        for (const auto& signal : signals) {
            SCOPED_TRACE(::testing::Message() << "N=" << n << " " << signal.name);
            const auto samples = signal.make(n);
            CFft fft(n, 44100);
            fft.PushSamples16(samples.data(), n);
            fft.Forward();
            const auto expected = DirectDft(samples);
            const auto spectrum = fft.Spectrum();
            std::vector<double> magnitudes(static_cast<std::size_t>(n / 2));
            fft.GetMagnitudes(magnitudes);
            const double tolerance = 1e-9 * 32768.0 * n;
            for (std::size_t k = 0; k < static_cast<std::size_t>(n); ++k) {
                ASSERT_NEAR(spectrum[k].real(), expected[k].real(), tolerance) << "bin " << k;
                ASSERT_NEAR(spectrum[k].imag(), expected[k].imag(), tolerance) << "bin " << k;
                const double magnitude = std::abs(expected[k]) / std::sqrt(n);
                ASSERT_NEAR(fft.GetMagnitude(static_cast<int>(k)), magnitude, tolerance) << k;
                if (k < magnitudes.size()) {
                    ASSERT_NEAR(magnitudes[k], magnitude, tolerance) << k;
                }
            }
        }
    }
}

// 16-bit samples enter as their value, 8-bit ones as (byte - 128) x 256,
// little-endian bytes as signed samples.
TEST(FftTest, SamplesEnterTheWindowAsTheirLevel) {
    CFft fft(4, 11025);
    const std::uint8_t bytes[] = {128, 0, 255, 129};
    fft.PushSamples8(bytes, 4);
    EXPECT_EQ(WindowOf(fft), (std::vector<double>{0.0, -32768.0, 32512.0, 256.0}));
    const std::uint8_t little[] = {0x00, 0x80, 0xFF, 0x7F, 0x34, 0x12};
    fft.PushSamples16Bytes(little, 3);
    EXPECT_EQ(WindowOf(fft), (std::vector<double>{256.0, -32768.0, 32767.0, 0x1234}));
}

TEST(FftTest, PushesSlideTheWindowAndLongerOnesAreIgnored) {
    CFft fft(8, 8000);
    const std::int16_t first[] = {1, 2, 3}, second[] = {4, 5, 6, 7, 8}, third[] = {-9, 10};
    fft.PushSamples16(first, 3);
    EXPECT_EQ(WindowOf(fft), (std::vector<double>{0, 0, 0, 0, 0, 1, 2, 3}));
    fft.PushSamples16(second, 5);
    fft.PushSamples16(third, 2);
    EXPECT_EQ(WindowOf(fft), (std::vector<double>{3, 4, 5, 6, 7, 8, -9, 10}));

    // Exactly N is taken; more leaves window and spectrum as they were.
    const std::vector<std::int16_t> kept(8, 500), tooLong(9, -7000);
    const std::vector<std::uint8_t> tooLong8(9, 0);
    fft.PushSamples16(kept.data(), 8);
    fft.Forward();
    EXPECT_NEAR(fft.GetMagnitude(0), 500.0 * std::sqrt(8.0), 1e-9);
    fft.PushSamples16(tooLong.data(), 9);
    fft.PushSamples8(tooLong8.data(), 9);
    EXPECT_EQ(WindowOf(fft), std::vector<double>(8, 500.0));
    EXPECT_NEAR(fft.GetMagnitude(0), 500.0 * std::sqrt(8.0), 1e-9);
}

TEST(FftTest, BinsAndFrequencies) {
    CFft fft(2048, 44100);
    const std::pair<int, int> rows[] = {{0, 0},        {1, 21},    {1024, 22050},
                                        {2047, 44078}, {2048, -1}, {5000, -1}};
    for (const auto& [bin, hz] : rows) EXPECT_EQ(fft.BinToFrequency(bin), hz) << bin;
    // FrequencyToBin inverts BinToFrequency on bin frequencies.
    for (int k : {0, 1, 100, 1023}) EXPECT_EQ(fft.FrequencyToBin(44100 * k / 2048 + 1), k) << k;
    EXPECT_EQ(fft.FrequencyToBin(22050), 1024);
}

TEST(FftTest, InverseGivesTheConjugateOfTheDirectInverse) {
    const int n = 512;
    std::mt19937 gen(5);
    const auto samples = Wave(n, [&](int) { return static_cast<std::int16_t>(gen()); });
    CFft fft(n, 44100);
    fft.PushSamples16(samples.data(), n);
    fft.Forward();
    fft.Inverse();  // untouched spectrum: the samples come back
    for (int t = 0; t < n; t += 37) EXPECT_NEAR(fft.Output()[t].real(), samples[t], 1e-6) << t;
    // Zero one bin pair, as a filter would.
    auto spectrum = fft.Spectrum();
    spectrum[10] = spectrum[n - 10] = 0;
    const auto expected = DirectDft(std::vector<Complex>(spectrum.begin(), spectrum.end()), 1);
    fft.Inverse();
    for (int t = 0; t < n; t += 37) {
        const Complex want = std::conj(expected[static_cast<std::size_t>(t)] / double(n));
        EXPECT_NEAR(fft.Output()[static_cast<std::size_t>(t)].real(), want.real(), 1e-6) << t;
        EXPECT_NEAR(fft.Output()[static_cast<std::size_t>(t)].imag(), want.imag(), 1e-6) << t;
    }
}

TEST(FftTest, BitReverseTableAndEmptyWindow) {
    EXPECT_EQ(CFft::BitReverseTable(8), (std::vector<int>{0, 4, 2, 6, 1, 5, 3, 7}));
    EXPECT_THROW(CFft(0, 44100), std::invalid_argument);
}

}  // namespace
}  // namespace kestrune::dsp
