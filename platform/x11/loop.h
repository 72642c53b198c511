// Timers on the monotonic clock and the event loop over the X connection.
#pragma once

#include <poll.h>
#include <ctime>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/loop.h"
#include "platform/timer_queue.h"

namespace pd::x11 {

class XConnection;

// A source of events the loop serves besides the X connection (the D-Bus
// connection of the tray): before each wait it adds the descriptors it
// waits for (fd, events) and says whether it holds work already (the loop
// then does not sleep); after the wait it gets what the wait reported for
// them (revents 0 when nothing happened) and does its work. DoEvents serves
// it too, without waiting.
class LoopSource {
 public:
  struct Fd {
    int fd = -1;
    short events = 0;
    short revents = 0;
  };
  virtual ~LoopSource() = default;
  // Appends the descriptors to wait on; true when there is work already.
  // A source whose descriptors may be other files than before (a watch
  // removed and another added, even with the same number) says so with
  // X11Loop::FdsChanged before the next wait.
  virtual bool Prepare(std::vector<Fd>& fds) = 0;
  virtual void Dispatch(const std::vector<Fd>& fds) = 0;
};

// Timers on CLOCK_MONOTONIC (the shared timer queue); the loop waits in
// epoll on the X connection (when there is one) and the sources' fds, with
// the timeout of the nearest due timer.
class X11Loop final : public platform::EventLoop {
 public:
  // x may be nullptr: then the loop runs timers only.
  explicit X11Loop(XConnection* x = nullptr);
  ~X11Loop() override;
  X11Loop(const X11Loop&) = delete;
  X11Loop& operator=(const X11Loop&) = delete;

  std::unique_ptr<platform::Timer> CreateTimer(platform::Timer::Tick tick) override;
  // Drains the pending X events, then fires every timer already due once.
  void DoEvents() override;
  // Until Quit. Without a display and without a running timer nothing can
  // ever happen, and Run returns.
  void Run() override;
  void Quit() override { quit_ = true; }
  // As Run, until ended() (checked after the X events of a pass and after
  // each tick); without a display and a running timer it returns false.
  bool RunModal(const std::function<bool()>& ended) override;
  void Sleep(int ms) override;
  std::uint64_t TickCount() override;
  // While a handler is set, SIGTERM, SIGHUP and SIGINT are blocked in the
  // calling thread (threads started later inherit that) and read from a
  // signalfd the loop waits on: each signal read runs the handler once. The
  // loss of the X connection runs it once, and the loop waits on that
  // connection no more. Clearing the handler drops the signals still
  // pending and restores the signal mask; a lost connection then ends Run.
  void SetEndRequest(std::function<void()> handler) override;

  static std::int64_t NowNs();

  // The source stays registered until removed; it must outlive that.
  void AddSource(LoopSource* source) {
    sources_.push_back(source);
    FdsChanged();
  }
  void RemoveSource(LoopSource* source) {
    std::erase(sources_, source);
    FdsChanged();
  }
  // The descriptors are registered with the kernel again before the next
  // wait.
  void FdsChanged() { fdsChanged_ = true; }

 private:
  // Passes and waits until quit_ or ended(); true when ended() ended it.
  bool Loop(const std::function<bool()>& ended);
  // Waits for the X connection, the sources or the next timer (not at all
  // when wait is false), then serves the sources.
  void Wait(bool wait = true);

  XConnection* x_;
  platform::TimerQueue timers_;
  std::vector<LoopSource*> sources_;
  // Waits in epoll, whose registrations stay with the kernel between
  // waits: a wake-up costs what a bare timer's does, however many
  // descriptors there are. registered_ is what it holds; without epoll
  // (-1), ppoll.
  void WaitEpoll(const timespec* until);
  void Register();
  int epoll_ = -1;
  std::vector<pollfd> registered_;
  bool fdsChanged_ = true;
  // Kept between waits so that a pass allocates nothing.
  std::vector<pollfd> pfds_;
  std::vector<std::vector<LoopSource::Fd>> fds_;
  std::vector<char> ready_;  // by source: work held or news on its descriptors
  unsigned long flushedBefore_ = 0;  // the X request number after the last flush
  bool quit_ = false;
  // The end of the session: the handler, the signals' source, and whether
  // the loss of the X connection has been reported.
  class Signals;
  std::function<void()> endRequest_;
  std::unique_ptr<Signals> signals_;
  bool lossReported_ = false;
  // Runs the handler for a lost X connection once (Run ends without one).
  void ReportLoss();
};

// Monotonic milliseconds (CLOCK_MONOTONIC).
std::int64_t MonotonicMs();

}  // namespace pd::x11
