// Undo and redo for the wave set.
//
// Every change of the set that the user can take back goes through Begin
// and Commit: Begin takes a picture of the set, the caller changes it,
// Commit compares and keeps, as one step, only the parts that changed - the
// slots whose bytes, count, name or path differ, the backup copy when it
// changed, and always the small rest (wave count, first path, format,
// processing parameters). The picture itself is dropped at Commit. The
// visible range is the views' business: every redraw sets it afresh, so it
// is neither compared nor kept.
//
// A step holds the other side of its change: Undo swaps the step's parts
// with the set's, so the set is back where it was before the change and the
// step now holds the change itself, ready for Redo, which swaps again. No
// bytes are copied by Undo or Redo.
//
// The history keeps at most `maxSteps` steps (the oldest go first) and is
// cleared when the set's format changes, whether by an edit or by anything
// else: a step taken in one format is never put back into another.
//
// Not thread-safe; the caller makes sure no recording or playback reads the
// set while Undo or Redo swap its buffers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/wave/WaveSet.h"

namespace kestrune {

class EditHistory {
  public:
    /** How many steps back the workspace can go. */
    static constexpr std::size_t kDefaultSteps = 20;

    explicit EditHistory(std::size_t maxSteps = kDefaultSteps);
    ~EditHistory();
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    /** Takes the picture of `set` that the next Commit compares with. A
     *  picture taken earlier and not committed is dropped. */
    void Begin(const WaveSet& set);
    /** Ends the change begun with Begin. When something changed, it becomes
     *  the newest undo step and the redo steps are dropped; true then. A
     *  change of format clears the whole history instead; nothing changed
     *  (or no Begin): false, history as it was. */
    bool Commit(const WaveSet& set);
    /** Drops the picture of Begin without recording anything. */
    void Cancel();
    bool Pending() const { return pending_ != nullptr; }

    /** Takes the set back one step; false (set untouched) when there is
     *  nothing to undo. */
    bool Undo(WaveSet& set);
    /** Does again the step undone last; false when there is none. */
    bool Redo(WaveSet& set);
    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    std::size_t UndoSteps() const { return undo_.size(); }
    std::size_t RedoSteps() const { return redo_.size(); }

    /** Forgets every step (and a pending picture). */
    void Clear();
    /** Clears the history when `format` is not the one its steps were taken
     *  in; for changes of format that happen outside Begin/Commit. */
    void CheckFormat(const WaveFormat& format);

    /** Sample bytes the steps hold, undo and redo together. */
    std::size_t StoredBytes() const;

    // One slot or the backup copy as a step keeps it.
    struct Wave {
        std::vector<uint8_t> bytes;
        uint32_t count = 0;
        std::string name;
        std::string path;  // empty for the backup copy
        bool operator==(const Wave&) const = default;
    };
    // The rest of the set, kept whole in every step.
    struct Rest {
        int waveCount = 0;
        std::string firstPath;
        WaveFormat format;
        ProcessParameters processParameters;
        bool operator==(const Rest&) const = default;
    };
    struct Step {
        Rest rest;
        std::vector<std::pair<int, Wave>> changedSlots;
        std::optional<Wave> backup;
    };

  private:
    struct Picture;

    void Swap(WaveSet& set, Step& step) const;

    std::size_t maxSteps_;
    std::unique_ptr<Picture> pending_;
    std::deque<Step> undo_;
    std::deque<Step> redo_;
};

}  // namespace kestrune
