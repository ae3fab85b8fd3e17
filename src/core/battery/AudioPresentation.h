// The audio presentation panel without its window: a list of recordings
// played one after another, each followed by an optional pause, and the two
// progress bars driven by a 100 ms timer.
//
// The end of an entry is decided by the timer from the entry's computed
// duration, not by the playback: the entry ends at the first tick whose
// elapsed time is beyond the duration.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "core/battery/Scenario.h"
#include "core/battery/TestTexts.h"

namespace kestrune {

inline constexpr int kPresentationCapacity = 20;
inline constexpr int kPresentationTickMs = 100;
inline constexpr const char* kPresentationCaption = "音声を再生";
inline constexpr const char* kPresentationNoEntries = "No audio file exits!";

struct PresentationEntry {
    std::string path;  ///< FILEPATHNAME
    bool pause = false;
    std::string description;
    std::int64_t durationMs = 0;  ///< 0 until loaded
};

struct PresentationSettings {
    int total = 0;
    std::string picturePath;
    int pictureNumber = 0;
    int volume = 0;  ///< speaker volume in percent
    std::vector<PresentationEntry> entries;
};

/** Reads INFO and DATA1 ... DATA<TOTAL>; at most 20 entries are kept. */
PresentationSettings ReadPresentationSettings(const Scenario& scenario);

/** samples / rate * 1000, truncated (0 for a rate of 0). */
std::int64_t PresentationDurationMs(std::uint64_t samples, std::uint32_t rate);

/** What one timer tick shows and does. */
struct PresentationTick {
    int barRange = 0;  ///< the current recording's bar runs 0 ... barRange
    int barPosition = 0;
    bool entryEnded = false;  ///< the bar is full, the timer stops, the list moves on
    bool pause = false;       ///< the entry just ended asks for a pause
    bool finished = false;    ///< the list is over: thank and close
};

class AudioPresentation {
  public:
    explicit AudioPresentation(PresentationSettings settings) : settings_(std::move(settings)) {}

    const PresentationSettings& Settings() const { return settings_; }
    int Current() const { return current_; }
    int Count() const { return static_cast<int>(settings_.entries.size()); }
    std::int64_t ElapsedMs() const { return elapsedMs_; }
    bool Over() const { return current_ >= Count(); }
    /** The current entry (only while not over). */
    const PresentationEntry& Entry() const {
        return settings_.entries[static_cast<std::size_t>(current_)];
    }

    /** The current entry's recording was read: its duration is known. */
    void Loaded(std::uint64_t samples, std::uint32_t rate);
    /** One 100 ms tick of the timer. */
    PresentationTick Tick();

  private:
    PresentationSettings settings_;
    int current_ = 0;
    std::int64_t elapsedMs_ = 0;
};

}  // namespace kestrune
