// Runs a StepSequence on the Qt event loop.
//
// Each step waits on a single-shot timer (from the Timers given, the event
// loop's own by default), so between steps the event loop goes on painting
// the windows and taking input; nothing ever sleeps. The
// wait of a step starts when the previous one has returned (a step that
// shows a modal message pushes the later ones back, as a sleep would).
// Cancel() - when the dialog that owns the sequence closes, or the subject
// answers - drops every step not yet run; destroying the runner does too.
#pragma once

#include <QObject>

#include <memory>

#include "core/battery/StepSequence.h"

namespace kestrune::app {

class OneShot;
class Timers;

class StepRunner final : public QObject {
    Q_OBJECT

  public:
    /** timers: where the waits come from; null: the event loop's precise timers. */
    explicit StepRunner(QObject* parent = nullptr, Timers* timers = nullptr);
    ~StepRunner() override;

    /**
     * Cancels whatever runs and starts `sequence`. The first step runs from
     * the event loop after its own wait, never inside this call, even with a
     * wait of 0.
     */
    void Start(StepSequence sequence);

    /** Drops the steps not yet run; a step running now finishes. */
    void Cancel();

    /** True while steps are left to run. */
    bool Running() const;

    /** The sequence running (or last run). Steps may append to it while it
     *  runs; the appended steps run after the others. */
    StepSequence& Sequence() { return *sequence_; }
    const StepSequence& Sequence() const { return *sequence_; }

  signals:
    /** The last step has run (not sent when the sequence was cancelled). */
    void finished();

  private:
    void ScheduleNext();
    void RunNext();

    std::unique_ptr<OneShot> timer_;
    // Shared so that a step which replaces the sequence or destroys the
    // runner does not pull the sequence from under its own RunNext().
    std::shared_ptr<StepSequence> sequence_;
};

}  // namespace kestrune::app
