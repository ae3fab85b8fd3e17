#include "core/battery/AudioPresentation.h"

#include <algorithm>

namespace kestrune {

PresentationSettings ReadPresentationSettings(const Scenario& scenario) {
    PresentationSettings settings;
    settings.total = scenario.Total();
    settings.picturePath = scenario.PicturePath();
    settings.pictureNumber = scenario.PictureNumber();
    settings.volume = scenario.Volume();
    const int count = std::clamp(settings.total, 0, kPresentationCapacity);
    for (int i = 1; i <= count; ++i) {
        PresentationEntry entry;
        entry.path = scenario.ItemPath(i, "FILEPATHNAME");
        entry.description = scenario.ItemText(i, "DESCRIPTION");
        entry.pause = scenario.ItemInt(i, "PAUSE") != 0;
        settings.entries.push_back(std::move(entry));
    }
    return settings;
}

std::int64_t PresentationDurationMs(std::uint64_t samples, std::uint32_t rate) {
    // Whole-number arithmetic: 16400 samples at 8000 Hz are 2050 ms, not 2049.
    return rate == 0 ? 0 : static_cast<std::int64_t>(samples * 1000 / rate);
}

void AudioPresentation::Loaded(std::uint64_t samples, std::uint32_t rate) {
    if (Over()) return;
    settings_.entries[static_cast<std::size_t>(current_)].durationMs =
        PresentationDurationMs(samples, rate);
}

PresentationTick AudioPresentation::Tick() {
    PresentationTick tick;
    if (Over()) return tick;
    elapsedMs_ += kPresentationTickMs;
    const std::int64_t duration = Entry().durationMs;
    tick.barRange = static_cast<int>(duration / kPresentationTickMs);
    if (elapsedMs_ <= duration) {
        tick.barPosition = static_cast<int>(elapsedMs_ / kPresentationTickMs);
        return tick;
    }
    tick.barPosition = tick.barRange;
    tick.entryEnded = true;
    tick.pause = Entry().pause;
    ++current_;
    elapsedMs_ = 0;
    tick.finished = Over();
    return tick;
}

}  // namespace kestrune
