#include "core/battery/RollBack.h"

namespace kestrune {

RollBackResult RollBack::Run(RollBackHost& host, StepSequence& replay) {
    if (!enabled_) return RollBackResult::Unavailable;
    host.StopWorker();
    if (!host.Confirm(kRollBackConfirmText)) return RollBackResult::Cancelled;
    if (!host.TakeNewestTrial()) {
        host.Message(kRollBackFailedMessage);
        return RollBackResult::NoTrial;
    }
    // Only one step can be undone: the row is gone, so the button goes off.
    enabled_ = false;
    host.SetRollBackEnabled(false);
    host.RestorePosition(undo_);
    if (undo_ == TestPosition{}) {
        host.Message(kRollBackAtBeginningMessage);
        return RollBackResult::AtBeginning;
    }
    host.PreviousPicture();
    host.UpdateProgress();
    replay.Do("rolled back message", [&host] { host.Message(kRolledBackMessage); })
        .Then(kRollBackReplayDelayMs, "start worker", [&host] { host.StartWorker(); })
        .Then(kRollBackPromptDelayMs, "prompt answer", [&host] { host.PromptAnswer(); });
    return RollBackResult::RolledBack;
}

}  // namespace kestrune
