#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace kestrune::cli {

/** What `spectrogram` was asked for (defaults: the main window's starting frame and shift). */
struct SpectrogramRequest {
    std::string wavePath;
    std::string pngPath;  ///< empty with `levels`
    bool levels = false;  ///< print the frame levels as CSV instead of drawing
    int frameLength = 2048;
    int shift = 128;
    int width = 800;
    int height = 256;
};

/**
 * `spectrogram FILE OUT.png [--frame N] [--shift S] [--size WxH]` or
 * `spectrogram FILE --levels [--frame N] [--shift S]`; `args` starts after
 * the command's name. Nullopt with `error` set when they do not parse.
 */
std::optional<SpectrogramRequest> ParseSpectrogramArgs(const std::vector<std::string>& args,
                                                       std::string* error);

/**
 * Draws the wave's spectrogram into a PNG file with the raster code
 * CWaveViews draws with, or prints one CSV line per frame: the frame's index, then
 * the integer level of every bin below half the frame length. Returns 0;
 * 2 after an "error=..." line on `out` when a file cannot be read or
 * written.
 */
int RunSpectrogram(const SpectrogramRequest& request, std::ostream& out, std::ostream& err);

/** Parse then run; usage errors give status 2. */
int SpectrogramCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kestrune::cli
