#include "app/StepRunner.h"

#include <QPointer>

#include "app/Timers.h"

namespace kestrune::app {

StepRunner::StepRunner(QObject* parent, Timers* timers)
    : QObject(parent),
      timer_((timers != nullptr ? *timers : EventLoopTimers()).Make([this] { RunNext(); })),
      sequence_(std::make_shared<StepSequence>()) {}

StepRunner::~StepRunner() {
    Cancel();
}

void StepRunner::Start(StepSequence sequence) {
    Cancel();
    sequence_ = std::make_shared<StepSequence>(std::move(sequence));
    ScheduleNext();
}

void StepRunner::Cancel() {
    timer_->Stop();
    sequence_->Cancel();
}

bool StepRunner::Running() const {
    return !sequence_->Done();
}

void StepRunner::ScheduleNext() {
    const std::optional<std::uint64_t> delay = sequence_->NextDelayMs();
    if (!delay) return;
    timer_->Start(*delay);
}

void StepRunner::RunNext() {
    const std::shared_ptr<StepSequence> running = sequence_;
    const QPointer<StepRunner> self(this);
    running->RunNext();
    // The step may have destroyed the runner, cancelled it or started
    // another sequence (which has scheduled itself).
    if (self.isNull() || running != sequence_ || running->Cancelled()) return;
    if (running->Done()) {
        emit finished();
        return;
    }
    ScheduleNext();
}

}  // namespace kestrune::app
