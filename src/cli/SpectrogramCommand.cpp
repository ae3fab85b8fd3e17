#include "cli/SpectrogramCommand.h"

#include <png.h>

#include <cstdio>
#include <ostream>
#include <thread>

#include "cli/Commands.h"
#include "core/dsp/Raster.h"
#include "core/dsp/Spectrogram.h"
#include "core/wave/WaveFile.h"

namespace kestrune::cli {

namespace {

// Writes 0xffRRGGBB pixels as an 8-bit RGB PNG.
bool WritePng(const std::string& path, const std::vector<std::uint32_t>& pixels, int width,
              int height) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    bool ok = false;
    std::vector<png_byte> row(static_cast<std::size_t>(width) * 3);
    if (info != nullptr && setjmp(png_jmpbuf(png)) == 0) {
        png_init_io(png, file);
        png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height),
                     8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
                     PNG_FILTER_TYPE_DEFAULT);
        png_write_info(png, info);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint32_t p =
                    pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                           static_cast<std::size_t>(x)];
                row[static_cast<std::size_t>(3 * x)] = static_cast<png_byte>((p >> 16) & 0xFF);
                row[static_cast<std::size_t>(3 * x + 1)] = static_cast<png_byte>((p >> 8) & 0xFF);
                row[static_cast<std::size_t>(3 * x + 2)] = static_cast<png_byte>(p & 0xFF);
            }
            png_write_row(png, row.data());
        }
        png_write_end(png, nullptr);
        ok = true;
    }
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0 && ok;
}

}  // namespace

std::optional<SpectrogramRequest> ParseSpectrogramArgs(const std::vector<std::string>& args,
                                                       std::string* error) {
    SpectrogramRequest request;
    std::vector<std::string> positional;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool hasValue = i + 1 < args.size();
        if (arg == "--levels") {
            request.levels = true;
        } else if (arg == "--frame" || arg == "--shift") {
            int value = 0;
            if (!hasValue || !ParseNumber(args[++i], value) || value < (arg == "--frame" ? 2 : 1)) {
                *error = arg + " needs a positive whole number";
                return std::nullopt;
            }
            (arg == "--frame" ? request.frameLength : request.shift) = value;
        } else if (arg == "--size") {
            const std::string value = hasValue ? args[++i] : std::string();
            const auto x = value.find('x');
            if (x == std::string::npos || !ParseNumber(value.substr(0, x), request.width) ||
                !ParseNumber(value.substr(x + 1), request.height) || request.width < 1 ||
                request.height < 1) {
                *error = "--size needs WIDTHxHEIGHT";
                return std::nullopt;
            }
        } else {
            positional.push_back(arg);
        }
    }
    if (positional.size() != (request.levels ? 1u : 2u)) {
        *error = "spectrogram needs FILE and OUT.png, or FILE --levels";
        return std::nullopt;
    }
    request.wavePath = positional[0];
    if (!request.levels) request.pngPath = positional[1];
    return request;
}

int RunSpectrogram(const SpectrogramRequest& request, std::ostream& out, std::ostream& err) {
    WaveHeaderResult header = ReadWaveHeader(request.wavePath);
    if (!header.Ok()) {
        out << "error=" << (*header.error == WaveReadError::CannotOpen ? "CannotOpen" : "NotWave")
            << '\n';
        return kExitFailed;
    }
    WaveFileInfo info = header.info;
    const std::vector<std::uint8_t> bytes = ReadWaveSamples(std::move(header.file), info);
    const int bits = info.format.bitsPerSample == 8 ? 8 : 16;
    const dsp::WaveSamples wave{bytes.data(), info.sampleCount, bits};
    const dsp::SpectrogramParams params{request.frameLength, request.shift,
                                        static_cast<int>(info.format.sampleRate)};
    const int threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    if (request.levels) {
        const dsp::SpectrogramLevels levels = dsp::ComputeSpectrogram(wave, params, {}, threads);
        std::string line;
        for (int f = 0; f < levels.frames; ++f) {
            line = std::to_string(f);
            for (int k = 0; k < levels.bins; ++k) {
                line += ',';
                line += std::to_string(levels.At(f, k));
            }
            line += '\n';
            out << line;
        }
        return kExitOk;
    }
    // A narrow picture shows only some of the frames; the others are skipped.
    const int frames = dsp::SpectrogramFrameCount(wave.count, request.shift);
    const dsp::SpectrogramLevels levels =
        dsp::ComputeSpectrogram(wave, params, dsp::VisibleFrames(frames, request.width), threads);
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(request.width) *
                                      static_cast<std::size_t>(request.height));
    dsp::Canvas canvas{pixels.data(), request.width, request.height, request.width};
    canvas.Fill(dsp::Rgb{255, 255, 255}.Pixel());  // CWaveViews' starting background
    dsp::DrawSpectrogram(canvas, levels);
    if (!WritePng(request.pngPath, pixels, request.width, request.height)) {
        out << "error=CannotWrite\n";
        err << "kestrune-cli: cannot write " << request.pngPath << '\n';
        return kExitFailed;
    }
    return kExitOk;
}

int SpectrogramCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string error;
    const auto request = ParseSpectrogramArgs(args, &error);
    if (!request) {
        err << "kestrune-cli: " << error << '\n';
        return kExitUsage;
    }
    return RunSpectrogram(*request, out, err);
}

}  // namespace kestrune::cli
