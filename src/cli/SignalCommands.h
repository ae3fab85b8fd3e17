// kestrune-cli generate sine|mix and spectrum: the workspace's signal
// generators and its averaged spectrum on files, for batch preparation and
// checking of stimuli.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace kestrune::cli {

/**
 * `generate sine OUT.wav [--rate R] [--before S] [--begin HZ] [--begin-hold S]
 * [--change S] [--end HZ] [--end-hold S] [--after S]` (defaults: 44100 Hz and
 * the Sin generator dialog's). A refusal prints its message on `err` and
 * gives 2, and so do unknown options and values that are not whole numbers.
 */
int GenerateSineCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/**
 * `generate mix DESCRIPTION.ini OUT.wav [--rate R] [--before S] [--interval S]
 * [--after S] [--plays N] [--seed N]`: the draw starts from `--seed` (1, the
 * C library's first seed, when not given), so a run can be repeated. A file
 * that is cut at the end of the mix is reported on `err`; the wave is still
 * written.
 */
int GenerateMixCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

/**
 * `spectrum FILE [--frame N] [--shift S]`: the averaged spectrum the Averaged
 * spectrum dialog draws for the file (its sound extent, read from disk), as
 * CSV on `out`: "bin,hz,FILE" then one line per bin with the level in dB.
 */
int SpectrumCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kestrune::cli
