// The one-step roll back of a test's last answer ("元に戻す").
//
// Before the test moves on after an answer it notes where that answer was
// given (item and step: the undo position). Rolling back removes the newest
// trial row, puts the test back at the undo position and disables the
// button, so only one step can be undone until the next answer. This is the
// protocol alone; the test supplies the actions through RollBackHost, and
// the waits of the last stage come back as a StepSequence for the window's
// event loop.
#pragma once

#include <string>

#include "core/battery/StepSequence.h"

namespace kestrune {

inline constexpr const char* kRollBackConfirmText =
    "Are you sure to roll back the result affected just now?";
inline constexpr const char* kRollBackFailedMessage = "Roll back failed!";
inline constexpr const char* kRollBackAtBeginningMessage =
    "Now it is in the beginning, can not roll more back!";
inline constexpr const char* kRolledBackMessage =
    "Now you have rolled back. Please listen carefully, and choose a button in the right!";
/** After the rolled-back message, before the stimulus plays again. */
inline constexpr std::uint64_t kRollBackReplayDelayMs = 1000;
/** After the stimulus starts, before the test asks for the answer. */
inline constexpr std::uint64_t kRollBackPromptDelayMs = 2000;

/** Where in the test an answer was given. */
struct TestPosition {
    int item = 0;  ///< from 0
    int step = 0;
    bool operator==(const TestPosition&) const = default;
};

/** What the test does for each stage of a roll back. */
class RollBackHost {
  public:
    virtual ~RollBackHost() = default;
    /** Ends a running playback worker at once. */
    virtual void StopWorker() = 0;
    /** Asks OK/Cancel under "Confirmation"; true for OK. */
    virtual bool Confirm(const std::string& text) = 0;
    /** Shows a message. */
    virtual void Message(const std::string& text) = 0;
    /** Opens the newest row of the test's trial table, takes the values the
     *  test restores from it and deletes it. False when there is no row. */
    virtual bool TakeNewestTrial() = 0;
    /** Enables or disables the roll back button. */
    virtual void SetRollBackEnabled(bool enabled) = 0;
    /** Puts the test back at this item and step. */
    virtual void RestorePosition(const TestPosition& position) = 0;
    /** Goes back one instruction picture. */
    virtual void PreviousPicture() = 0;
    /** Updates the progress display. */
    virtual void UpdateProgress() = 0;
    /** Starts the playback worker for the current item. */
    virtual void StartWorker() = 0;
    /** Asks the subject to answer (the test's own prompt). */
    virtual void PromptAnswer() = 0;
};

enum class RollBackResult {
    Unavailable,  ///< the button is disabled: nothing happens
    Cancelled,    ///< the subject chose Cancel
    NoTrial,      ///< "Roll back failed!": no row to remove
    AtBeginning,  ///< rolled back to item 0, step 0: nothing is replayed
    RolledBack,   ///< the replay sequence was filled in
};

class RollBack {
  public:
    /** An answer was stored: remember its position (the button's state is
     *  the test's to set; most tests enable it here). */
    void SaveUndoPosition(const TestPosition& position) { undo_ = position; }
    const TestPosition& UndoPosition() const { return undo_; }

    /** Whether the button is enabled. */
    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }

    /**
     * Runs the roll back. On RolledBack, `replay` holds the message, the
     * 1000 ms wait, the worker start, the 2000 ms wait and the prompt, to be
     * run in order. The host's button is kept in step with Enabled().
     */
    RollBackResult Run(RollBackHost& host, StepSequence& replay);

  private:
    TestPosition undo_;
    bool enabled_ = false;
};

}  // namespace kestrune
