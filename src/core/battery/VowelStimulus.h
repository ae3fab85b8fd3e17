// The vowel test's stimuli: the check that refuses a scenario the test
// cannot run, the mix of each trial and the answer beep.
//
// A scenario is checked once, when it loads, before anything of the run is
// written: every value the test reads must be usable (TYPE one of the four
// kinds, a non-zero INTERVAL, whole-number levels, repetitions of at least
// one) and every recording an open pair plays must be a 16-bit wave with
// samples. A refusal is "Loading configuration file failed!" followed by one
// line that names the first bad key or file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/battery/Scenario.h"
#include "core/battery/VowelDiscrimination.h"
#include "core/wave/WaveFile.h"

namespace kestrune {

/** The one line that says why a vowel scenario cannot run; nullopt when it
 *  can. `path` is the scenario file as given (for the line when it cannot
 *  be read). */
std::optional<std::string> VowelScenarioFault(const Scenario& scenario, const std::string& path);

/** The message refusing a scenario: the load message and the fault line;
 *  nullopt when the scenario can run. */
std::optional<std::string> CheckVowelScenario(const Scenario& scenario, const std::string& path);

/** The fault line of one recording ("" when the test can play it). */
std::string VowelRecordingFault(const std::string& file);

/** A trial's mix, ready for the sound output, or the text to show. */
struct VowelStimulus {
    bool ok = false;
    std::string message;  ///< the dialog's text when not ok
    WaveFormat format;    ///< the masking recording's format
    std::vector<std::uint8_t> bytes;
    std::uint32_t sampleCount = 0;
};

/** Loads the masked recording, then the masking one, and mixes them at the
 *  trial's level (the texts of a file that fails are the dialog's). */
VowelStimulus PrepareVowelStimulus(const VowelTrial& trial);

inline constexpr std::uint32_t kBeepRate = 22050;
inline constexpr std::uint64_t kBeepMs = 100;
inline constexpr double kBeepHz = 2000.0;

/** 100 ms of a 2000 Hz tone at half scale: 16-bit mono at kBeepRate. */
std::vector<std::uint8_t> BeepTone();

}  // namespace kestrune
