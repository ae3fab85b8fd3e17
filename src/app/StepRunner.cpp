#include "app/StepRunner.h"

#include <QPointer>
#include <QTimer>

#include <algorithm>
#include <limits>

namespace kestrune::app {

StepRunner::StepRunner(QObject* parent)
    : QObject(parent), timer_(new QTimer(this)), sequence_(std::make_shared<StepSequence>()) {
    timer_->setSingleShot(true);
    // The waits are the test's timing: a coarse timer may be 5 % late.
    timer_->setTimerType(Qt::PreciseTimer);
    connect(timer_, &QTimer::timeout, this, &StepRunner::RunNext);
}

StepRunner::~StepRunner() {
    Cancel();
}

void StepRunner::Start(StepSequence sequence) {
    Cancel();
    sequence_ = std::make_shared<StepSequence>(std::move(sequence));
    ScheduleNext();
}

void StepRunner::Cancel() {
    timer_->stop();
    sequence_->Cancel();
}

bool StepRunner::Running() const {
    return !sequence_->Done();
}

void StepRunner::ScheduleNext() {
    const std::optional<std::uint64_t> delay = sequence_->NextDelayMs();
    if (!delay) return;
    timer_->start(
        static_cast<int>(std::min<std::uint64_t>(*delay, std::numeric_limits<int>::max())));
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
