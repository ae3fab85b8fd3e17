// Throughput of the wave reader and writer on a one-hour recording: 60 minutes
// of 44.1 kHz 16-bit mono (317,520,000 sample bytes), plus a ten-minute
// two-channel file for the left-channel reduction. The files are written once
// into $TMPDIR, or else /dev/shm (memory, so the figures measure our code and
// the page cache rather than a disk), or else /tmp, and removed when the
// process ends.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/wave/WaveFile.h"

namespace {

using kestrune::WaveFormat;

constexpr uint32_t kRate = 44100;
constexpr uint32_t kHourSamples = kRate * 60 * 60;   // 158,760,000 samples
constexpr uint32_t kStereoFrames = kRate * 60 * 10;  // ten minutes

std::string TempPath(const char* stem) {
    const char* env = std::getenv("TMPDIR");
    std::string dir = env && *env ? env : (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    return dir + "/kestrune_bench_" + stem + "_" + std::to_string(::getpid()) + ".wav";
}

WaveFormat Format(uint16_t channels) {
    return kestrune::PcmFormat(channels, kRate, 16);
}

std::vector<uint8_t> Tone(std::size_t bytes) {
    std::vector<uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i) data[i] = static_cast<uint8_t>(i * 31 + (i >> 9));
    return data;
}

// One file per kind, written on first use and removed at exit.
struct BenchFile {
    std::string path;
    uint64_t bytes = 0;

    BenchFile(const char* stem, uint16_t channels, uint32_t frames) : path(TempPath(stem)) {
        const std::vector<uint8_t> data = Tone(std::size_t{frames} * 2 * channels);
        if (!kestrune::WriteWaveFile(path, Format(channels), data.data(), frames * channels)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            std::abort();
        }
        bytes = data.size();
    }
    ~BenchFile() { std::remove(path.c_str()); }
};

const BenchFile& HourMono() {
    static const BenchFile file("hour_mono", 1, kHourSamples);
    return file;
}

const BenchFile& TenMinutesStereo() {
    static const BenchFile file("stereo", 2, kStereoFrames);
    return file;
}

void Read(benchmark::State& state, const BenchFile& file) {
    for (auto _ : state) {
        kestrune::WaveHeaderResult header = kestrune::ReadWaveHeader(file.path);
        if (!header.Ok()) {
            state.SkipWithError("header read failed");
            break;
        }
        std::vector<uint8_t> samples =
            kestrune::ReadWaveSamples(std::move(header.file), header.info);
        benchmark::DoNotOptimize(samples.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * file.bytes));
}

void BM_ReadHourMono(benchmark::State& state) {
    Read(state, HourMono());
}

void BM_ReadStereoLeftChannel(benchmark::State& state) {
    Read(state, TenMinutesStereo());
}

void BM_WriteHourMono(benchmark::State& state) {
    const std::vector<uint8_t> data = Tone(std::size_t{kHourSamples} * 2);
    const std::string path = TempPath("write");
    for (auto _ : state) {
        if (!kestrune::WriteWaveFile(path, Format(1), data.data(), kHourSamples)) {
            state.SkipWithError("write failed");
            break;
        }
    }
    std::remove(path.c_str());
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * data.size()));
}

BENCHMARK(BM_ReadHourMono)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_WriteHourMono)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ReadStereoLeftChannel)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace
