// The single-shot waits of the windows (the steps of a test dialog, the
// result window closing itself). On a station they are Qt's precise timers
// on the event loop; tests hand the windows a ManualTimers instead, whose
// time moves only when the test says so, so a wait of two seconds takes no
// time at all and the steps run in a known order.
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>

namespace kestrune::app {

/** One single-shot timer. GUI thread only. */
class OneShot {
  public:
    virtual ~OneShot() = default;
    /** Starts the wait of `ms` milliseconds; a wait already running is dropped. */
    virtual void Start(std::uint64_t ms) = 0;
    virtual void Stop() = 0;
    virtual bool Active() const = 0;
};

/** Makes the timers. */
class Timers {
  public:
    virtual ~Timers() = default;
    /** A stopped timer that calls `due` when a wait is over; destroying it stops it. */
    virtual std::unique_ptr<OneShot> Make(std::function<void()> due) = 0;
};

/** Qt's precise timers: a coarse one may fire 5 % early or late. */
Timers& EventLoopTimers();

/**
 * Timers on a time of their own that moves only when advanced. A due timer
 * is called with the time set to its due time; timers due at the same time
 * run in the order they were started. An action may start, stop or destroy
 * timers and may advance the time itself (from a modal loop).
 */
class ManualTimers final : public Timers {
  public:
    ManualTimers();
    ~ManualTimers() override;

    std::unique_ptr<OneShot> Make(std::function<void()> due) override;

    std::uint64_t NowMs() const { return nowMs_; }
    /** When the earliest running timer is due. */
    std::optional<std::uint64_t> NextDueMs() const;
    /** Moves the time on by `ms`, calling every timer due on the way. */
    void AdvanceMs(std::uint64_t ms);
    /** Moves to the earliest due timer and calls it; false when none runs. */
    bool AdvanceToNext();
    /** On: whenever a timer runs, the event loop moves the time to it as soon
     *  as it has handled the events before (a whole run passes in no real
     *  time, also inside modal windows). Off (the default): only the test moves it. */
    void SetRunFreely(bool on);

  private:
    class Timer;
    using Key = std::pair<std::uint64_t, std::uint64_t>;  // due time, start order

    void Add(Timer* timer, std::uint64_t ms);
    void Remove(Timer* timer);
    void Fire(Key key);  // by value: firing removes the map entry it came from
    void PostStep();

    std::uint64_t nowMs_ = 0;
    std::uint64_t started_ = 0;
    std::map<Key, Timer*> running_;
    bool freely_ = false;
    bool posted_ = false;
    std::unique_ptr<QObject> context_;  // ends the posted steps with the timers
};

}  // namespace kestrune::app
