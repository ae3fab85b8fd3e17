#include "app/Timers.h"

#include <QTimer>

#include <algorithm>
#include <limits>

namespace kestrune::app {

namespace {

class QtOneShot final : public OneShot {
  public:
    explicit QtOneShot(std::function<void()> due) {
        timer_.setSingleShot(true);
        // The waits are the test's timing: a coarse timer may be 5 % off.
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, std::move(due));
    }
    void Start(std::uint64_t ms) override {
        timer_.start(
            static_cast<int>(std::min<std::uint64_t>(ms, std::numeric_limits<int>::max())));
    }
    void Stop() override { timer_.stop(); }
    bool Active() const override { return timer_.isActive(); }

  private:
    QTimer timer_;
};

class QtTimers final : public Timers {
  public:
    std::unique_ptr<OneShot> Make(std::function<void()> due) override {
        return std::make_unique<QtOneShot>(std::move(due));
    }
};

}  // namespace

Timers& EventLoopTimers() {
    static QtTimers timers;
    return timers;
}

class ManualTimers::Timer final : public OneShot {
  public:
    Timer(ManualTimers& owner, std::function<void()> due) : owner_(owner), due_(std::move(due)) {}
    ~Timer() override { Stop(); }
    void Start(std::uint64_t ms) override {
        Stop();
        owner_.Add(this, ms);
    }
    void Stop() override {
        if (key_) owner_.Remove(this);
    }
    bool Active() const override { return key_.has_value(); }

    ManualTimers& owner_;
    std::function<void()> due_;
    std::optional<Key> key_;
};

ManualTimers::ManualTimers() : context_(std::make_unique<QObject>()) {}

ManualTimers::~ManualTimers() {
    // Timers that outlive the source must not reach back into it.
    for (auto& [key, timer] : running_) timer->key_.reset();
}

std::unique_ptr<OneShot> ManualTimers::Make(std::function<void()> due) {
    return std::make_unique<Timer>(*this, std::move(due));
}

std::optional<std::uint64_t> ManualTimers::NextDueMs() const {
    if (running_.empty()) return std::nullopt;
    return running_.begin()->first.first;
}

void ManualTimers::Add(Timer* timer, std::uint64_t ms) {
    timer->key_ = Key{nowMs_ + ms, started_++};
    running_.emplace(*timer->key_, timer);
    if (freely_) PostStep();
}

void ManualTimers::Remove(Timer* timer) {
    running_.erase(*timer->key_);
    timer->key_.reset();
}

void ManualTimers::Fire(Key key) {
    Timer* timer = running_.at(key);
    Remove(timer);
    nowMs_ = std::max(nowMs_, key.first);
    // A copy: the action may destroy its own timer.
    const std::function<void()> due = timer->due_;
    due();
}

void ManualTimers::AdvanceMs(std::uint64_t ms) {
    const std::uint64_t target = nowMs_ + ms;
    while (!running_.empty() && running_.begin()->first.first <= target)
        Fire(running_.begin()->first);
    nowMs_ = std::max(nowMs_, target);
}

bool ManualTimers::AdvanceToNext() {
    if (running_.empty()) return false;
    Fire(running_.begin()->first);
    return true;
}

void ManualTimers::SetRunFreely(bool on) {
    freely_ = on;
    if (freely_ && !running_.empty()) PostStep();
}

void ManualTimers::PostStep() {
    if (posted_) return;
    posted_ = true;
    QMetaObject::invokeMethod(
        context_.get(),
        [this] {
            posted_ = false;
            if (!freely_ || running_.empty()) return;
            // The next step is posted before this one runs, so a modal loop
            // opened by the action goes on moving the time.
            const Key next = running_.begin()->first;
            if (running_.size() > 1) PostStep();
            Fire(next);
        },
        Qt::QueuedConnection);
}

}  // namespace kestrune::app
