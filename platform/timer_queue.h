// The timers of one thread on a clock the owner supplies: the queue the
// simulation (virtual clock) and the Linux loop (CLOCK_MONOTONIC) share.
//
// A timer is due an effective interval (at least kMinTimerIntervalMs) after
// it was started, changed, or last fired. Due timers fire in due order, ties
// in creation order. A timer that fell behind (the thread slept, a tick ran
// long) fires once and is rescheduled from the moment it fired, as system
// timers do. Timers due within the queue's slack of each other fire in one
// pass, and those a pass fires are rescheduled from its start, so timers
// that ran together once keep running together: a loop wakes once for all
// of them (the simulation's queue has no slack). A timer whose tick is still running (it yields to the loop) is
// not due: it never re-enters its own tick. A tick may stop, change or
// destroy its own timer or any other. The queue may be destroyed before its
// timers, which then never fire.
#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include "platform/loop.h"

namespace pd::platform {

class TimerQueue {
 public:
  // The clock: a monotonic count of units; unitsPerMs of them make a
  // millisecond (1 for a millisecond clock, 1'000'000 for nanoseconds).
  using Clock = std::function<std::int64_t()>;
  static constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();

  // slack: how early (in clock units) a timer may fire to share a pass
  // with one that is due.
  TimerQueue(Clock clock, std::int64_t unitsPerMs, std::int64_t slack = 0);
  TimerQueue(const TimerQueue&) = delete;
  TimerQueue& operator=(const TimerQueue&) = delete;
  ~TimerQueue();

  // A stopped timer of this queue.
  std::unique_ptr<Timer> Create(Timer::Tick tick);

  // When the next timer is due (it may be in the past); kNever when no timer
  // runs outside its own tick.
  [[nodiscard]] std::int64_t NextDue() const;

  // Fires the one timer due first at the clock's time now; false when none
  // is due.
  bool FireOne();
  // One pass: fires each timer due at the clock's time now once, in due
  // order; when one is, those due within the slack after it fire too. A timer that becomes due while the pass runs waits for the next
  // pass. Stops early when stop (if given) is true after a tick. Returns how
  // many ticks ran.
  int FireDue(const std::function<bool()>& stop = nullptr);

 private:
  class QueueTimer;
  struct State {
    Clock clock;
    std::int64_t unitsPerMs = 1;
    std::int64_t slack = 0;
    std::uint64_t nextSerial = 0;
    // Running timers in creation order, side by side: a pass reads a few
    // words, not a tree. A destroyed timer's number is never used again, so
    // a stale number finds nothing.
    std::vector<QueueTimer*> timers;
    // FireDue's lists between passes, one per depth of nested passes (a
    // tick's DoEvents): a pass allocates nothing once the program runs.
    std::vector<std::vector<std::pair<std::int64_t, std::uint64_t>>> spares;
    std::size_t depth = 0;

    [[nodiscard]] QueueTimer* Find(std::uint64_t serial) const;
    void Add(QueueTimer* t);
    void Remove(std::uint64_t serial);
  };

  // The timer due first at or before limit, outside its tick; nullptr if none.
  [[nodiscard]] QueueTimer* DueAt(std::int64_t limit) const;

  std::shared_ptr<State> state_;
};

}  // namespace pd::platform
