// Duty cycle: gates wave 0 into on/off periods. Each whole period of the wave
// keeps its sound in one part (at the start, in the middle or at the end) and
// is silenced elsewhere; a trailing piece shorter than a period stays as it is.
#pragma once

#include <array>
#include <cstdint>

#include "core/wave/WaveSet.h"

namespace kestrune::edits {

/** Where the sound sits in each period. */
enum PeriodType : int32_t { kPeriodLeft = 0, kPeriodMiddle = 1, kPeriodRight = 2 };

/** What the duty-cycle dialog hands over; all four are remembered. */
struct DutySettings {
    float periodMs = 0.0f;
    float dutyCycle = 1.0f;  ///< the sounding fraction of a period, 0 to 1
    int32_t periodType = kPeriodLeft;
    float playbackSpeed = 1.0f;  ///< only remembered here; playback uses it
};

/** A run [begin, end) of positions within one period. */
struct Run {
    int64_t begin = 0;
    int64_t end = 0;
};

/**
 * The silenced positions of one period of `n` samples: up to two runs (the
 * second is empty except in the middle type). The bounds are worked out in
 * float, the parameters' own precision, truncated toward zero and clipped
 * into 0 … n, so a duty outside 0 … 1 is safe; an unknown type silences
 * nothing. The legend of the dialog draws the same runs.
 */
std::array<Run, 2> SilencedRuns(int64_t n, float duty, int32_t periodType);

/**
 * The Duty cycle command after its dialog: with exactly one wave, stores the
 * settings in the remembered parameters (even when nothing changes), then
 * silences each whole period of wave 0 as SilencedRuns says (16-bit samples
 * become 0, 8-bit ones 127) and names it "Edited wave". A duty of 1.0 or a
 * period shorter than 2 samples changes nothing else.
 */
Outcome DutyCycle(WaveSet& set, const DutySettings& settings);

}  // namespace kestrune::edits
