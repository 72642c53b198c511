// Timers and the event loop of the single user-interface thread.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace pd::platform {

// The shortest interval a timer runs at; shorter requests run at this rate
// (the resolution of the Windows SetTimer, kept on every platform).
inline constexpr int kMinTimerIntervalMs = 10;

// A timer of the user-interface thread. Created stopped; ticks while
// enabled with an interval > 0. A tick never starts again while an earlier
// tick of the same timer is still running (yielding to the loop), and a
// timer may be stopped, changed or destroyed from inside its own tick.
class Timer {
 public:
  using Tick = std::function<void()>;

  explicit Timer(Tick tick) : tick_(tick ? std::make_shared<const Tick>(std::move(tick)) : nullptr) {}
  Timer(const Timer&) = delete;
  Timer& operator=(const Timer&) = delete;
  virtual ~Timer() { *alive_ = false; }

  // Interval in milliseconds; 0 stops the timer as the enabled flag does.
  virtual void SetInterval(int ms) = 0;
  [[nodiscard]] virtual int Interval() const = 0;
  virtual void SetEnabled(bool enabled) = 0;
  [[nodiscard]] virtual bool Enabled() const = 0;
  // Starts a stopped timer in step with the ticks it had before it stopped:
  // its first tick comes when one would have come had it run on (the first
  // after now). A timer that never ran, or a backend whose system timers
  // keep no step, starts as SetEnabled(true) starts it. A running timer is
  // left as it is.
  virtual void Resume() = 0;

  [[nodiscard]] bool InTick() const { return inTick_; }

 protected:
  // Backends call this when the timer is due. Returns at once when the
  // previous tick is still running.
  void Fire() {
    if (inTick_ || !tick_) return;
    // Both outlive the timer while the tick runs: the tick may destroy its
    // timer and still use what it captured.
    const auto alive = alive_;
    const auto tick = tick_;
    inTick_ = true;
    (*tick)();
    if (*alive) inTick_ = false;
  }

  // The interval a backend really schedules: the requested one, raised to
  // the platform's timer resolution.
  static int EffectiveInterval(int ms) { return ms < kMinTimerIntervalMs ? kMinTimerIntervalMs : ms; }

 private:
  std::shared_ptr<const Tick> tick_;
  bool inTick_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

class EventLoop {
 public:
  virtual ~EventLoop() = default;

  virtual std::unique_ptr<Timer> CreateTimer(Timer::Tick tick) = 0;

  // One pass of the loop: delivers what is pending now and returns.
  virtual void DoEvents() = 0;

  // Runs until Quit is called.
  virtual void Run() = 0;
  // Ends Run, and every modal loop running inside it: the program is
  // ending. Called outside Run, the next Run returns at once.
  virtual void Quit() = 0;

  // A modal loop (a menu, a message box, a dialog): runs the loop nested in
  // whatever runs now, delivering events and firing timers, until ended()
  // is true (checked before waiting and after everything delivered) or Quit
  // is called. Loops nest to any depth; each ends only itself. Returns true
  // when ended() ended it, false when Quit did.
  virtual bool RunModal(const std::function<bool()>& ended) = 0;

  // Blocks the thread; nothing is delivered meanwhile.
  virtual void Sleep(int ms) = 0;

  // Milliseconds of a monotonic clock.
  [[nodiscard]] virtual std::uint64_t TickCount() = 0;

  // What runs when the system asks the program to end: the session ends
  // (log off, shut down; on Linux SIGTERM, SIGHUP, SIGINT, or the loss of
  // the display). The handler runs on the user-interface thread from a pass
  // of the loop (never inside a signal handler), once for each request, and
  // is expected to unload the program. Without a handler (nullptr) the
  // system's default applies: on Linux the signal ends the program at once.
  virtual void SetEndRequest(std::function<void()> handler) = 0;
};

}  // namespace pd::platform
