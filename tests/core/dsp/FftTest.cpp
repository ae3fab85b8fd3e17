#include "core/dsp/Fft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace kestrune::dsp {
namespace {

using Complex = std::complex<double>;

// The definition, term by term: X[k] = sum x[n] e^(-2 pi i k n / N).
std::vector<Complex> DirectDft(const std::vector<double>& x) {
    const std::size_t n = x.size();
    // e^(-2 pi i m / N) for m = k t mod N: the angle stays small and exact.
    std::vector<Complex> roots(n);
    for (std::size_t m = 0; m < n; ++m) {
        const double angle =
            -2.0 * std::numbers::pi * static_cast<double>(m) / static_cast<double>(n);
        roots[m] = Complex(std::cos(angle), std::sin(angle));
    }
    std::vector<Complex> out(n);
    for (std::size_t k = 0; k < n; ++k) {
        Complex sum{};
        for (std::size_t t = 0; t < n; ++t) sum += x[t] * roots[(k * t) % n];
        out[k] = sum;
    }
    return out;
}

const int kMenuSizes[] = {256, 512, 1024, 2048, 4096};

// A test signal as 16-bit samples (the window holds exactly these values).
struct Signal {
    const char* name;
    std::vector<std::int16_t> (*make)(int n);
};

std::vector<std::int16_t> Dc(int n) {
    return std::vector<std::int16_t>(static_cast<std::size_t>(n), 12000);
}
std::vector<std::int16_t> BinSine(int n) {
    // Bin 5 exactly: five whole periods in the window.
    std::vector<std::int16_t> s(static_cast<std::size_t>(n));
    for (int t = 0; t < n; ++t)
        s[static_cast<std::size_t>(t)] = static_cast<std::int16_t>(
            std::lround(30000.0 * std::sin(2 * std::numbers::pi * 5 * t / n)));
    return s;
}
std::vector<std::int16_t> Nyquist(int n) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(n));
    for (int t = 0; t < n; ++t) s[static_cast<std::size_t>(t)] = t % 2 == 0 ? 20000 : -20000;
    return s;
}
std::vector<std::int16_t> Impulse(int n) {
    std::vector<std::int16_t> s(static_cast<std::size_t>(n), 0);
    s[3] = 32767;  // off the origin, so the phase shows where n = 0 is
    return s;
}
std::vector<std::int16_t> Random(int n) {
    std::mt19937 gen(static_cast<unsigned>(n));
    std::uniform_int_distribution<int> dist(-32768, 32767);
    std::vector<std::int16_t> s(static_cast<std::size_t>(n));
    for (auto& v : s) v = static_cast<std::int16_t>(dist(gen));
    return s;
}

const Signal kSignals[] = {{"dc", Dc},
                           {"bin sine", BinSine},
                           {"nyquist", Nyquist},
                           {"impulse", Impulse},
                           {"random", Random}};

// Every bin of every menu size against the direct sum, after one full push.
TEST(FftTest, MagnitudesAndSpectrumMatchTheDirectDft16Bit) {
    for (int n : kMenuSizes) {
        for (const Signal& signal : kSignals) {
            SCOPED_TRACE(::testing::Message() << "N=" << n << " " << signal.name);
            const auto samples = signal.make(n);
            CFft fft(n, 44100);
            fft.PushSamples16(samples.data(), n);
            fft.Forward();
            const auto expected = DirectDft(std::vector<double>(samples.begin(), samples.end()));
            const auto spectrum = fft.Spectrum();
            const double tolerance = 1e-9 * 32768.0 * n;
            for (int k = 0; k < n; ++k) {
                const auto uk = static_cast<std::size_t>(k);
                ASSERT_NEAR(spectrum[uk].real(), expected[uk].real(), tolerance) << "bin " << k;
                ASSERT_NEAR(spectrum[uk].imag(), expected[uk].imag(), tolerance) << "bin " << k;
                ASSERT_NEAR(fft.GetMagnitude(k), std::abs(expected[uk]) / std::sqrt(n), tolerance)
                    << "bin " << k;
            }
        }
    }
}

// 8-bit bytes enter as (byte - 128) x 256: the same spectrum as those values.
TEST(FftTest, EightBitSamplesMatchTheDirectDftOfTheirScaledValues) {
    for (int n : kMenuSizes) {
        SCOPED_TRACE(n);
        std::mt19937 gen(7u + static_cast<unsigned>(n));
        std::vector<std::uint8_t> bytes(static_cast<std::size_t>(n));
        for (auto& b : bytes) b = static_cast<std::uint8_t>(gen() & 0xFF);
        bytes[0] = 0;
        bytes[1] = 255;
        std::vector<double> values;
        for (auto b : bytes) values.push_back((b - 128) * 256.0);
        CFft fft(n, 22050);
        fft.PushSamples8(bytes.data(), n);
        fft.Forward();
        const auto expected = DirectDft(values);
        std::vector<double> magnitudes(static_cast<std::size_t>(n / 2));
        fft.GetMagnitudes(magnitudes);
        for (int k = 0; k < n / 2; ++k) {
            ASSERT_NEAR(magnitudes[static_cast<std::size_t>(k)],
                        std::abs(expected[static_cast<std::size_t>(k)]) / std::sqrt(n),
                        1e-9 * 32768.0 * n)
                << "bin " << k;
        }
    }
}

TEST(FftTest, KnownAnswers) {
    const int n = 2048;
    CFft fft(n, 44100);
    // A full-scale sine at bin 64 peaks there with amplitude x sqrt(N) / 2.
    std::vector<std::int16_t> sine(n);
    for (int t = 0; t < n; ++t)
        sine[static_cast<std::size_t>(t)] = static_cast<std::int16_t>(
            std::lround(32767.0 * std::sin(2 * std::numbers::pi * 64 * t / n)));
    fft.PushSamples16(sine.data(), n);
    fft.Forward();
    EXPECT_NEAR(fft.GetMagnitude(64), 32767.0 * std::sqrt(n) / 2, 32.0);
    EXPECT_LT(fft.GetMagnitude(63), 1.0);
    EXPECT_LT(fft.GetMagnitude(65), 1.0);
    // The mirror bin of a real window has the same magnitude.
    EXPECT_NEAR(fft.GetMagnitude(n - 64), fft.GetMagnitude(64), 1e-6);

    // An impulse at the window's oldest sample has a flat spectrum of v / sqrt(N).
    std::vector<std::int16_t> impulse(n, 0);
    impulse[0] = 1000;
    fft.PushSamples16(impulse.data(), n);
    fft.Forward();
    for (int k : {0, 1, 100, n / 2, n - 1})
        EXPECT_NEAR(fft.GetMagnitude(k), 1000 / std::sqrt(n), 1e-9);
    EXPECT_NEAR(fft.Spectrum()[100].imag(), 0.0, 1e-9);  // no phase: n = 0 is the oldest sample
}

TEST(FftTest, PartialPushesSlideTheWindow) {
    CFft fft(8, 8000);
    const std::int16_t first[] = {1, 2, 3};
    fft.PushSamples16(first, 3);
    EXPECT_EQ(std::vector<double>(fft.Window().begin(), fft.Window().end()),
              (std::vector<double>{0, 0, 0, 0, 0, 1, 2, 3}));
    const std::int16_t second[] = {4, 5, 6, 7, 8};
    fft.PushSamples16(second, 5);
    const std::int16_t third[] = {-9, 10};
    fft.PushSamples16(third, 2);
    EXPECT_EQ(std::vector<double>(fft.Window().begin(), fft.Window().end()),
              (std::vector<double>{3, 4, 5, 6, 7, 8, -9, 10}));
    fft.Forward();
    const auto expected = DirectDft({3, 4, 5, 6, 7, 8, -9, 10});
    for (int k = 0; k < 8; ++k)
        EXPECT_NEAR(fft.GetMagnitude(k),
                    std::abs(expected[static_cast<std::size_t>(k)]) / std::sqrt(8.0), 1e-9);
}

TEST(FftTest, APushLongerThanTheWindowIsIgnored) {
    CFft fft(256, 44100);
    std::vector<std::int16_t> kept(256, 500);
    fft.PushSamples16(kept.data(), 256);  // exactly N is taken
    fft.Forward();
    const double dc = fft.GetMagnitude(0);
    EXPECT_NEAR(dc, 500.0 * 16.0, 1e-9);
    std::vector<std::int16_t> tooLong(1024, -7000);
    fft.PushSamples16(tooLong.data(), 1024);
    std::vector<std::uint8_t> tooLong8(257, 0);
    fft.PushSamples8(tooLong8.data(), 257);
    for (double v : fft.Window()) ASSERT_EQ(v, 500.0);
    EXPECT_EQ(fft.GetMagnitude(0), dc);  // the spectrum array is untouched too
}

TEST(FftTest, EightBitSamplesEnterWithTheirOffsetRemoved) {
    CFft fft(4, 11025);
    const std::uint8_t bytes[] = {128, 0, 255, 129};
    fft.PushSamples8(bytes, 4);
    EXPECT_EQ(std::vector<double>(fft.Window().begin(), fft.Window().end()),
              (std::vector<double>{0.0, -32768.0, 32512.0, 256.0}));
    // Silence: every bin is zero.
    const std::uint8_t silence[] = {128, 128, 128, 128};
    fft.PushSamples8(silence, 4);
    fft.Forward();
    for (int k = 0; k < 4; ++k) EXPECT_EQ(fft.GetMagnitude(k), 0.0);
}

TEST(FftTest, LittleEndianBytesAreSignedSamples) {
    CFft fft(2, 8000);
    const std::uint8_t bytes[] = {0x00, 0x80, 0xFF, 0x7F};  // -32768, 32767
    fft.PushSamples16Bytes(bytes, 2);
    EXPECT_EQ(fft.Window()[0], -32768.0);
    EXPECT_EQ(fft.Window()[1], 32767.0);
}

TEST(FftTest, BinsAndFrequencies) {
    CFft fft(2048, 44100);
    struct Row {
        int bin;
        int hz;
    };
    for (const Row& row : {Row{0, 0}, Row{1, 21}, Row{1024, 22050}, Row{2047, 44078}, Row{2048, -1},
                           Row{5000, -1}}) {
        EXPECT_EQ(fft.BinToFrequency(row.bin), row.hz) << row.bin;
    }
    // FrequencyToBin inverts BinToFrequency on bin frequencies.
    for (int k : {0, 1, 100, 1023}) EXPECT_EQ(fft.FrequencyToBin(44100 * k / 2048 + 1), k) << k;
    EXPECT_EQ(fft.FrequencyToBin(22050), 1024);
}

TEST(FftTest, InverseGivesTheConjugateOfTheSamples) {
    const int n = 512;
    const auto samples = Random(n);
    CFft fft(n, 44100);
    fft.PushSamples16(samples.data(), n);
    fft.Forward();
    // Zero one bin pair, as a filter would, and compare with the direct inverse.
    auto spectrum = fft.Spectrum();
    spectrum[10] = 0;
    spectrum[n - 10] = 0;
    std::vector<Complex> edited(spectrum.begin(), spectrum.end());
    fft.Inverse();
    for (int t = 0; t < n; t += 37) {
        Complex sum{};
        for (int k = 0; k < n; ++k) {
            const double angle = 2.0 * std::numbers::pi * ((k * t) % n) / n;
            sum += edited[static_cast<std::size_t>(k)] * Complex(std::cos(angle), std::sin(angle));
        }
        const Complex expected = std::conj(sum / static_cast<double>(n));
        EXPECT_NEAR(fft.Output()[static_cast<std::size_t>(t)].real(), expected.real(), 1e-6);
        EXPECT_NEAR(fft.Output()[static_cast<std::size_t>(t)].imag(), expected.imag(), 1e-6);
    }
    // Untouched spectrum: the samples come back.
    fft.Forward();
    fft.Inverse();
    EXPECT_NEAR(fft.Output()[3].real(), samples[3], 1e-6);
}

TEST(FftTest, BitReverseTableOfEight) {
    EXPECT_EQ(CFft::BitReverseTable(8), (std::vector<int>{0, 4, 2, 6, 1, 5, 3, 7}));
}

TEST(FftTest, RefusesAnEmptyWindow) {
    EXPECT_THROW(CFft(0, 44100), std::invalid_argument);
}

}  // namespace
}  // namespace kestrune::dsp
