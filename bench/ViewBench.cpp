// Speed of the spectrum engine and the workspace's two views, side by side
// with what they are measured against:
//
//   BM_CFftFrame/N          one frame of CFft (Forward + the N/2 magnitudes the
//   BM_FftwR2c/N            spectrogram reads) against a bare FFTW r2c call
//                           with the same planner flags, N = 256 ... 4096;
//   BM_Spectrogram60s       the levels of every frame of 60 s of 44.1 kHz
//                           speech-like noise (N = 2048, S = 128), one thread;
//   BM_SoxSpectrogram60s    `sox FILE -n spectrogram` on the same file with the
//                           same framing (a 1025-bin, 2048-point analysis and
//                           one column per 128-sample hop), run as a child;
//                           its time is the child's CPU time (user + system),
//                           so both sides count one core's work;
//   BM_WaveRepaint60min     the whole-wave view of a 60-minute wave drawn from
//                           its per-block summary into an image the view's size;
//   BM_SpectrogramRepaint/T Draw frequency with nothing changed on a wave of
//                           T seconds: the views find the wave unchanged and
//                           show the kept spectrogram, then the frame paints it.
#include <fftw3.h>

#include <QAction>
#include <QCoreApplication>
#include <QImage>
#include <QWidget>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

#include "ChildProcess.h"

#include "app/Prompter.h"
#include "app/ViewFrame.h"
#include "app/WaveViews.h"
#include "core/dsp/Fft.h"
#include "core/dsp/Raster.h"
#include "core/dsp/Spectrogram.h"
#include "core/wave/WaveFile.h"
#include "core/wave/WaveSet.h"

namespace {

using kestrune::dsp::CFft;

constexpr int kRate = 44100;
// The views' inside at the workspace's usual scale (1.5 x 1.625 pixels per
// dialog unit, less the 2-pixel etched frame).
constexpr int kWaveWidth = 636;
constexpr int kWaveHeight = 204;
constexpr int kSpectrumWidth = 638;
constexpr int kSpectrumHeight = 275;

// Noise shaped like running speech: three formant resonances that glide,
// syllables at about 4 per second with short pauses, 16-bit little-endian.
std::vector<std::uint8_t> SpeechLikeNoise(std::uint32_t samples) {
    std::vector<std::uint8_t> bytes(std::size_t{samples} * 2);
    std::uint32_t seed = 12345;
    auto uniform = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / 16777216.0 - 0.5;
    };
    struct Resonator {
        double y1 = 0, y2 = 0;
        double Step(double x, double frequency, double radius) {
            const double y = x +
                             2 * radius * std::cos(2 * std::numbers::pi * frequency / kRate) * y1 -
                             radius * radius * y2;
            y2 = y1;
            y1 = y;
            return y;
        }
    };
    Resonator f1, f2, f3;
    for (std::uint32_t j = 0; j < samples; ++j) {
        const double t = static_cast<double>(j) / kRate;
        const double syllable = std::fmod(t * 4.2, 1.0);
        const double envelope = syllable < 0.8 ? std::sin(std::numbers::pi * syllable / 0.8) : 0.0;
        const double glide = std::sin(2 * std::numbers::pi * 0.7 * t);
        const double x = uniform();
        const double y = 0.02 * f1.Step(x, 600 + 200 * glide, 0.995) +
                         0.012 * f2.Step(x, 1500 - 400 * glide, 0.993) +
                         0.008 * f3.Step(x, 2600 + 300 * glide, 0.99);
        const auto v = static_cast<std::int16_t>(
            std::clamp(y * envelope * 32767.0 * 0.9 + 300 * uniform(), -32768.0, 32767.0));
        bytes[2 * j] = static_cast<std::uint8_t>(v & 0xff);
        bytes[2 * j + 1] = static_cast<std::uint8_t>((v >> 8) & 0xff);
    }
    return bytes;
}

const std::vector<std::uint8_t>& Speech60s() {
    static const std::vector<std::uint8_t> bytes = SpeechLikeNoise(60 * kRate);
    return bytes;
}

std::string TempPath(const char* stem, const char* suffix) {
    const char* env = std::getenv("TMPDIR");
    const std::string dir =
        env && *env ? env : (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
    return dir + "/kestrune_bench_" + stem + "_" + std::to_string(::getpid()) + suffix;
}

// The 60 s wave as a file for sox, written on first use, removed at exit.
struct SpeechFile {
    std::string path = TempPath("speech60", ".wav");
    SpeechFile() {
        const auto& bytes = Speech60s();
        if (!kestrune::WriteWaveFile(path, kestrune::PcmFormat(1, kRate, 16), bytes.data(),
                                     static_cast<std::uint32_t>(bytes.size() / 2))) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            std::abort();
        }
    }
    ~SpeechFile() { std::remove(path.c_str()); }
};

std::vector<double> RandomWindow(int n) {
    std::vector<double> values(static_cast<std::size_t>(n));
    std::uint32_t seed = 99;
    for (double& v : values) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<double>(static_cast<std::int16_t>(seed >> 16));
    }
    return values;
}

void BM_CFftFrame(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    CFft fft(n, kRate);
    fft.LoadWindow(RandomWindow(n));
    std::vector<double> magnitudes(static_cast<std::size_t>(n / 2));
    for (auto _ : state) {
        fft.Forward();
        fft.GetMagnitudes(magnitudes);
        benchmark::DoNotOptimize(magnitudes.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CFftFrame)->RangeMultiplier(2)->Range(256, 4096);

void BM_FftwR2c(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    double* in = fftw_alloc_real(static_cast<std::size_t>(n));
    fftw_complex* out = fftw_alloc_complex(static_cast<std::size_t>(n / 2 + 1));
    // The same planner flags as the engine's own plans (MEASURE overwrites
    // the input, so the data is loaded after planning).
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
    const auto values = RandomWindow(n);
    std::copy(values.begin(), values.end(), in);
    for (auto _ : state) {
        fftw_execute(plan);
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
}
BENCHMARK(BM_FftwR2c)->RangeMultiplier(2)->Range(256, 4096);

void BM_Spectrogram60s(benchmark::State& state) {
    const auto& bytes = Speech60s();
    const kestrune::dsp::WaveSamples wave{bytes.data(),
                                          static_cast<std::uint32_t>(bytes.size() / 2), 16};
    const kestrune::dsp::SpectrogramParams params{2048, 128, kRate, false};
    // FFTW's plan for a size is measured once per process, at the first
    // engine of that size; the figure is for every spectrogram after that.
    { CFft warm(2048, kRate); }
    int frames = 0;
    for (auto _ : state) {
        const auto levels = kestrune::dsp::ComputeSpectrogram(wave, params, {}, 1);
        frames = levels.frames;
        benchmark::DoNotOptimize(levels.levels.data());
    }
    state.counters["frames"] = frames;
}
BENCHMARK(BM_Spectrogram60s)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();

bool OnPath(const char* program) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) return false;
    std::string dirs = path;
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string candidate = dirs.substr(start, end - start) + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

void BM_SoxSpectrogram60s(benchmark::State& state) {
    if (!OnPath("sox")) {
        state.SkipWithError("sox is not installed: no figure to compare the spectrogram with");
        return;
    }
    static const SpeechFile file;
    const std::string png = TempPath("sox_spectrogram", ".png");
    // 1025 bins: a 2048-point analysis; one column per hop of 128 samples.
    const std::string columns = std::to_string(60 * kRate / 128);
    std::vector<std::string> args = {"sox",   file.path, "-n",   "spectrogram", "-x",
                                     columns, "-y",      "1025", "-o",          png};
    TimeChildProcess(state, std::move(args));
    std::remove(png.c_str());
}
BENCHMARK(BM_SoxSpectrogram60s)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_WaveRepaint60min(benchmark::State& state) {
    const std::uint32_t samples = 60u * 60u * kRate;
    std::vector<std::uint8_t> bytes(std::size_t{samples} * 2);
    for (std::size_t j = 0; j < samples; ++j) {
        const auto v = static_cast<std::int16_t>(12000 * std::sin(static_cast<double>(j) * 0.0013) +
                                                 static_cast<int>(j * 7919 % 4001) - 2000);
        bytes[2 * j] = static_cast<std::uint8_t>(v & 0xff);
        bytes[2 * j + 1] = static_cast<std::uint8_t>((v >> 8) & 0xff);
    }
    const kestrune::dsp::WaveSamples wave{bytes.data(), samples, 16};
    // Made once per wave when it is opened or changed, not per repaint.
    const kestrune::dsp::WaveSummary summary(wave);
    const std::vector<kestrune::dsp::ViewWave> waves{{wave, &summary}};
    QImage image(kWaveWidth, kWaveHeight, QImage::Format_RGB32);
    for (auto _ : state) {
        kestrune::dsp::Canvas canvas{reinterpret_cast<std::uint32_t*>(image.bits()), image.width(),
                                     image.height(), image.bytesPerLine() / 4};
        kestrune::dsp::RenderWholeWaves(canvas, waves, {255, 255, 255}, {255, 0, 255});
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_WaveRepaint60min)->Unit(benchmark::kMillisecond);

class SilentPrompter final : public kestrune::app::Prompter {
  public:
    void Message(QWidget*, const QString&, const QString&) override {}
    bool Confirm(QWidget*, const QString&) override { return false; }
};

void BM_SpectrogramRepaint(benchmark::State& state) {
    using namespace kestrune::app;
    kestrune::WaveSet set;
    set.format = kestrune::PcmFormat(1, kRate, 16);
    // 60 s of speech-like noise, repeated for longer waves.
    const auto seconds = static_cast<std::size_t>(state.range(0));
    set.samples[0].reserve(Speech60s().size() * (seconds / 60));
    for (std::size_t i = 0; i < seconds / 60; ++i)
        set.samples[0].insert(set.samples[0].end(), Speech60s().begin(), Speech60s().end());
    set.sampleCounts[0] = static_cast<std::uint32_t>(set.samples[0].size() / 2);
    set.names[0] = "speech";
    set.waveCount = 1;
    SilentPrompter prompter;
    QWidget workspace;
    auto* waveView = new ViewFrame(Qt::white, &workspace);
    waveView->setGeometry(0, 0, kWaveWidth + 4, kWaveHeight + 4);
    auto* spectrumView = new ViewFrame(Qt::white, &workspace);
    spectrumView->setGeometry(0, 220, kSpectrumWidth + 4, kSpectrumHeight + 4);
    std::vector<QWidget*> strips;
    for (QSize size :
         {QSize(31, 222), QSize(661, 24), QSize(33, 292), QSize(82, 195), QSize(40, 284)}) {
        strips.push_back(new QWidget(&workspace));
        strips.back()->resize(size);
    }
    std::vector<QAction*> tools;
    for (int i = 0; i < 4; ++i) tools.push_back(new QAction(&workspace));
    int zoomTool = 0;
    int cutTool = 0;
    CWaveViews views({.waves = set,
                      .prompter = prompter,
                      .window = &workspace,
                      .workspace = &workspace,
                      .waveView = waveView,
                      .spectrumView = spectrumView,
                      .amplitudeStrip = strips[0],
                      .timeStrip = strips[1],
                      .frequencyStrip = strips[2],
                      .waveLegendStrip = strips[3],
                      .levelStrip = strips[4],
                      .tools = tools,
                      .zoomTool = zoomTool,
                      .cutTool = cutTool,
                      .options = [] { return ViewOptions{}; }});
    views.DrawSpectrum();
    while (views.SpectrumPending()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    QImage screen(spectrumView->size(), QImage::Format_RGB32);
    for (auto _ : state) {
        views.DrawSpectrum();  // nothing changed: the kept spectrogram
        if (views.SpectrumPending()) {
            state.SkipWithError("the spectrogram was computed again");
            break;
        }
        spectrumView->render(&screen);
        benchmark::DoNotOptimize(screen.constBits());
    }
}
BENCHMARK(BM_SpectrogramRepaint)->Arg(60)->Arg(3600)->Unit(benchmark::kMillisecond);

}  // namespace
