// What every Process-menu edit of the workspace has in common: most of them
// work on wave 0 of a set holding exactly one wave, and a finished edit
// renames that wave and redraws the views.
#pragma once

#include <optional>
#include <string_view>

#include "core/wave/WaveSet.h"

namespace kestrune::edits {

// The texts the edits show, exactly as shown.
inline constexpr char kOnlyOneWave[] = "Only 1 opened wave file is needed!";
inline constexpr char kEditedWave[] = "Edited wave";

/** The refusal for a set that does not hold exactly one wave ("Only 1
 *  opened wave file is needed!"); nothing when it holds one. */
std::optional<Outcome> RequireOneWave(const WaveSet& set);

/** An edit that leaves the wave as it was: the views are redrawn all the same. */
Outcome Redrawn();

/** Ends a successful edit of wave 0: the wave takes `resultName` and the
 *  views are to be redrawn. */
Outcome Edited(WaveSet& set, std::string_view resultName);

}  // namespace kestrune::edits
