#include "core/dsp/EditRules.h"

#include <string>

namespace kestrune::edits {

std::optional<Outcome> RequireOneWave(const WaveSet& set) {
    if (set.waveCount == 1) return std::nullopt;
    return Refusal(kOnlyOneWave);
}

Outcome Redrawn() {
    Outcome outcome;
    outcome.redraw = true;
    return outcome;
}

Outcome Edited(WaveSet& set, std::string_view resultName) {
    set.names[0] = std::string(resultName);
    return Redrawn();
}

}  // namespace kestrune::edits
