// Speed of the band-stop and the averaged spectrum, beside sox's band-reject:
//
//   BM_BandStop60s          the frequency-domain filter (800 ... 1200 Hz) on a
//                           60-s 44.1 kHz 16-bit wave of tones and noise,
//                           N = 2048, S = 128, in place, one thread;
//   BM_SoxBandReject60s     `sox IN OUT sinc 1200-800` (its windowed-sinc
//                           band-reject) on the same wave written to a file,
//                           run as a child; its time is the child's CPU time
//                           (user + system), so both sides count one core;
//   BM_AvgSpectrum20Files   the averaged spectrum of 20 files of 2 s each, read
//                           again from disk as the dialog does (N = 2048, S = 128).
//
// bench/filter-vs-sox.sh runs the three in one go.

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "ChildProcess.h"

#include "core/dsp/AvgSpectrum.h"
#include "core/dsp/Filters.h"
#include "core/wave/Pcm16.h"
#include "core/wave/WaveFile.h"
#include "core/wave/WaveSet.h"

namespace {

constexpr std::uint32_t kRate = 44100;

std::string BenchPath(const std::string& stem) {
    const char* env = std::getenv("TMPDIR");
    const std::string dir =
        env && *env ? env : (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    return dir + "/kestrune_signal_" + stem + "_" + std::to_string(::getpid()) + ".wav";
}

// A 1 kHz and a 3 kHz tone over light noise, 16-bit little-endian bytes.
std::vector<std::uint8_t> TonesAndNoise(std::uint32_t samples, std::uint32_t seed) {
    std::vector<std::uint8_t> bytes(std::size_t{samples} * 2);
    for (std::uint32_t i = 0; i < samples; ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = (static_cast<double>(seed >> 8) / 16777216.0 - 0.5) * 800.0;
        const double t = static_cast<double>(i) / kRate;
        const double v = 6000 * std::sin(2 * std::numbers::pi * 1000 * t) +
                         4000 * std::sin(2 * std::numbers::pi * 3000 * t) + noise;
        kestrune::SetPcm16(bytes.data(), i, static_cast<std::int16_t>(v));
    }
    return bytes;
}

// Files written on first use and removed when the program ends.
struct BenchFiles {
    std::vector<std::string> paths;
    BenchFiles(const std::string& stem, int count, std::uint32_t seconds) {
        for (int i = 0; i < count; ++i) {
            paths.push_back(BenchPath(stem + std::to_string(i)));
            const auto bytes = TonesAndNoise(seconds * kRate, 77u + static_cast<std::uint32_t>(i));
            kestrune::WriteWaveFile(paths.back(), kestrune::PcmFormat(1, kRate, 16), bytes.data(),
                                    seconds * kRate);
        }
    }
    ~BenchFiles() {
        for (const std::string& path : paths) std::remove(path.c_str());
    }
};

const BenchFiles& Wave60s() {
    static const BenchFiles files("wave60", 1, 60);
    return files;
}

void BM_BandStop60s(benchmark::State& state) {
    kestrune::WaveSet original;
    if (!original.OpenWave(Wave60s().paths[0]).ok) {
        state.SkipWithError("the 60-s wave could not be read");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        kestrune::WaveSet set = original;
        state.ResumeTiming();
        const kestrune::Outcome outcome =
            kestrune::edits::FrequencyDomainFilter(set, 800, 1200, kRate, {2048, 128});
        benchmark::DoNotOptimize(outcome.ok);
        benchmark::DoNotOptimize(set.samples[0].data());
    }
    state.counters["frames"] = 60.0 * kRate / 128;
}
BENCHMARK(BM_BandStop60s)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

void BM_SoxBandReject60s(benchmark::State& state) {
    const std::string out = BenchPath("sox_out");
    std::vector<std::string> args = {"sox", Wave60s().paths[0], out, "sinc", "1200-800"};
    TimeChildProcess(state, std::move(args));
    std::remove(out.c_str());
}
BENCHMARK(BM_SoxBandReject60s)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_AvgSpectrum20Files(benchmark::State& state) {
    static const BenchFiles files("avg", 20, 2);
    for (auto _ : state) {
        for (const std::string& path : files.paths) {
            const auto spectrum = kestrune::dsp::FileAverageSpectrum(path, 2048, 128);
            benchmark::DoNotOptimize(spectrum.bins.data());
        }
    }
    state.counters["files"] = 20;
}
BENCHMARK(BM_AvgSpectrum20Files)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

}  // namespace
