// The simulation's virtual clock, its timers and its event loop.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

#include "platform/loop.h"
#include "platform/timer_queue.h"

namespace pd::sim {

// The virtual clock starts at 0 and moves only by Advance, Sleep and the
// loops waiting for the next due timer (Run, RunModal); timers run on the
// shared timer queue.
class SimLoop final : public platform::EventLoop {
 public:
  SimLoop();

  std::unique_ptr<platform::Timer> CreateTimer(platform::Timer::Tick tick) override;
  // Runs the work posted before the pass (work a handler posts runs at the
  // next one), then fires each timer due now once.
  void DoEvents() override;
  // Delivers posted work and moves the clock from one due timer to the next
  // until Quit; returns when nothing could ever happen again (no work, no
  // running timer).
  void Run() override;
  void Quit() override { quit_ = true; }
  // Delivers what is posted, then lets the user act (SetUser), then moves
  // the clock to the next due timer, until ended() or Quit. A loop that
  // could never end (no work, no user, no timer, or an hour of simulated
  // time without an end) returns false.
  bool RunModal(const std::function<bool()>& ended) override;
  // Moves the clock without delivering anything.
  void Sleep(int ms) override;
  std::uint64_t TickCount() override { return now_; }

  // The user of modal loops: called when a modal loop has nothing posted,
  // with the depth of modal loops running; it may post work, deliver
  // events, or end the loop. Tests set it to answer menus and boxes.
  void SetUser(std::function<void(int depth)> user) { user_ = std::move(user); }
  [[nodiscard]] int ModalDepth() const { return modalDepth_; }

  // Stored; RequestEnd raises it.
  void SetEndRequest(std::function<void()> handler) override { endRequest_ = std::move(handler); }
  // The system asks the program to end (the session ends, a signal comes):
  // the handler runs at the next pass of the loop. Without one nothing
  // happens (a real system would end the program).
  void RequestEnd();
  static constexpr std::uint64_t kModalLimitMs = 3'600'000;

  // Moves the clock forward by ms, firing every due timer at its due time in
  // order (ties in creation order). A timer that fell behind (the thread
  // slept) fires once, as system timers do, and is rescheduled from then.
  void Advance(std::uint64_t ms);
  // Queues work for the next pass of the loop (a user event).
  void Post(std::function<void()> work);

  [[nodiscard]] std::uint64_t Now() const { return now_; }
  [[nodiscard]] int DoEventsCalls() const { return doEventsCalls_; }

 private:
  // Moves the clock to the next due timer (not back when it is overdue) and
  // fires it; false when no timer runs or it is due after limit.
  bool FireNext(std::uint64_t limit);

  std::uint64_t now_ = 0;
  platform::TimerQueue timers_;
  std::deque<std::function<void()>> posted_;
  bool quit_ = false;
  int doEventsCalls_ = 0;
  int modalDepth_ = 0;
  std::function<void(int)> user_;
  std::function<void()> endRequest_;
};

}  // namespace pd::sim
