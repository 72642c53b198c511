// Timers and the event loop: epoll on the X connection and the sources'
// descriptors with the timeout of the nearest due timer, on CLOCK_MONOTONIC.
#include <X11/Xlib.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/signalfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <utility>
#include <vector>

#include "platform/x11/connection.h"
#include "platform/x11/loop.h"

namespace pd::x11 {

namespace {
constexpr std::int64_t kNsPerMs = 1'000'000;
// A timer due within half the shortest interval after the one that wakes
// the loop fires with it: timers at the shortest interval fall into step
// and share every wake-up, whatever their phases were.
constexpr std::int64_t kTimerSlackNs = platform::kMinTimerIntervalMs * kNsPerMs / 2;
}  // namespace

// The signals that end the session, read from a signalfd while they are
// blocked; the mask before is put back when the source goes, after the
// signals still pending were taken (unblocked, they would end the program).
class X11Loop::Signals final : public LoopSource {
 public:
  explicit Signals(std::function<void()>& handler) : handler_(handler) {
    sigemptyset(&set_);
    for (const int sig : {SIGTERM, SIGHUP, SIGINT}) sigaddset(&set_, sig);
    pthread_sigmask(SIG_BLOCK, &set_, &before_);
    fd_ = signalfd(-1, &set_, SFD_NONBLOCK | SFD_CLOEXEC);
    // Blocked with nothing to read them, they would be lost: the default.
    if (fd_ < 0) pthread_sigmask(SIG_SETMASK, &before_, nullptr);
  }
  ~Signals() override {
    if (fd_ >= 0) {
      Take();
      close(fd_);
    }
    pthread_sigmask(SIG_SETMASK, &before_, nullptr);
  }
  Signals(const Signals&) = delete;
  Signals& operator=(const Signals&) = delete;

  bool Prepare(std::vector<Fd>& fds) override {
    if (fd_ >= 0) fds.push_back(Fd{fd_, POLLIN, 0});
    return false;
  }
  void Dispatch(const std::vector<Fd>& fds) override {
    if (fds.empty() || (fds[0].revents & POLLIN) == 0) return;
    // The handler may clear itself, which ends this source: nothing of it
    // is used after the first call.
    const int n = Take();
    std::function<void()>& handler = handler_;
    for (int i = 0; i < n && handler; ++i) {
      const auto call = handler;
      call();
    }
  }

 private:
  // Reads the pending signals; their number.
  int Take() {
    int n = 0;
    std::array<signalfd_siginfo, 4> info{};
    for (;;) {
      const ssize_t got = read(fd_, info.data(), sizeof info);
      if (got <= 0) break;
      n += static_cast<int>(static_cast<std::size_t>(got) / sizeof(signalfd_siginfo));
    }
    return n;
  }

  std::function<void()>& handler_;
  sigset_t set_{};
  sigset_t before_{};
  int fd_ = -1;
};

X11Loop::X11Loop(XConnection* x)
    : x_(x), timers_(&X11Loop::NowNs, kNsPerMs, kTimerSlackNs), epoll_(epoll_create1(EPOLL_CLOEXEC)) {}

X11Loop::~X11Loop() {
  if (signals_) RemoveSource(signals_.get());
  if (epoll_ >= 0) close(epoll_);
}

void X11Loop::SetEndRequest(std::function<void()> handler) {
  endRequest_ = std::move(handler);
  if (endRequest_ && !signals_) {
    signals_ = std::make_unique<Signals>(endRequest_);
    AddSource(signals_.get());
  } else if (!endRequest_ && signals_) {
    RemoveSource(signals_.get());
    signals_.reset();
  }
}

void X11Loop::ReportLoss() {
  if (lossReported_) return;
  lossReported_ = true;
  FdsChanged();  // the connection is waited on no more
  if (endRequest_) {
    const auto handler = endRequest_;
    handler();
  } else {
    quit_ = true;
  }
}

std::int64_t X11Loop::NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::uint64_t X11Loop::TickCount() { return static_cast<std::uint64_t>(NowNs() / kNsPerMs); }

std::unique_ptr<platform::Timer> X11Loop::CreateTimer(platform::Timer::Tick tick) {
  return timers_.Create(std::move(tick));
}

// Inside a tick of a pass whose wait has just taken everything off the
// connections, a pass on request has nothing new to read: it dispatches
// what Xlib holds and fires what is due, without a system call.
void X11Loop::DoEvents() {
  const bool drained = x_ != nullptr && x_->Drained();
  if (!drained) Wait(false);
  if (x_ != nullptr) {
    x_->DispatchQueued();
    x_->SetDrained(true);
  }
  timers_.FireDue();
  if (x_ != nullptr) x_->SetDrained(drained);
}

void X11Loop::Run() {
  Loop(nullptr);
  quit_ = false;
}

bool X11Loop::RunModal(const std::function<bool()>& ended) { return Loop(ended); }

bool X11Loop::Loop(const std::function<bool()>& ended) {
  const auto done = [&] { return quit_ || (ended && ended()); };
  // A loop inside a tick gives the tick back the state it found.
  const bool drained = x_ != nullptr && x_->Drained();
  bool result = false;
  while (!quit_) {
    if (ended && ended()) {
      result = true;
      break;
    }
    if (x_ != nullptr) x_->DispatchQueued();
    if (done()) continue;
    timers_.FireDue(done);
    if (done()) continue;
    if (x_ == nullptr && sources_.empty() && timers_.NextDue() == platform::TimerQueue::kNever) {
      break;  // nothing could ever happen
    }
    Wait();
  }
  if (x_ != nullptr) x_->SetDrained(drained);
  return result;
}

// A pass that wakes for a timer with nothing arrived makes no system call
// besides the wait itself: the X connection is read only when poll says it
// has data, and only Xlib's own queue is looked at otherwise.
void X11Loop::Wait(bool wait) {
  if (x_ != nullptr && x_->Lost() && !lossReported_) {
    ReportLoss();
    return;
  }
  Display* dpy = x_ != nullptr && !x_->Lost() ? x_->Dpy() : nullptr;
  pfds_.clear();
  if (dpy != nullptr) {
    x_->SetDrained(false);
    // XFlush also tries to read the socket: only when requests were made.
    if (NextRequest(dpy) != flushedBefore_) {
      XFlush(dpy);
      flushedBefore_ = NextRequest(dpy);
    }
    // Events Xlib read along with a reply are in its queue, not the socket.
    if (QLength(dpy) > 0) wait = false;
    pfds_.push_back(pollfd{x_->Fd(), POLLIN, 0});
  }
  // Each source's descriptors, in order, after the X connection's.
  fds_.resize(sources_.size());
  ready_.assign(sources_.size(), 0);
  for (std::size_t i = 0; i < sources_.size(); ++i) {
    fds_[i].clear();
    if (sources_[i]->Prepare(fds_[i])) {
      ready_[i] = 1;
      wait = false;
    }
    for (const auto& f : fds_[i]) pfds_.push_back(pollfd{f.fd, f.events, 0});
  }
  const std::int64_t next = timers_.NextDue();
  timespec timeout{};
  timespec* until = nullptr;
  if (!wait) {
    until = &timeout;
  } else if (next != platform::TimerQueue::kNever) {
    const std::int64_t ns = std::max<std::int64_t>(0, next - NowNs());
    timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
    until = &timeout;
  }
  if (pfds_.empty() && !wait) return;
  if (epoll_ >= 0) {
    WaitEpoll(until);
  } else {
    ppoll(pfds_.empty() ? nullptr : pfds_.data(), pfds_.size(), until, nullptr);
  }
  std::size_t at = 0;
  if (dpy != nullptr) {
    if (pfds_[at++].revents != 0) XEventsQueued(dpy, QueuedAfterReading);
    x_->SetDrained(true);
    // A read that met the server's end: the session ends.
    if (x_->Lost()) ReportLoss();
  }
  // Only a source with work or with news on its descriptors is served.
  bool any = false;
  for (std::size_t i = 0; i < fds_.size(); ++i) {
    for (auto& f : fds_[i]) {
      f.revents = pfds_[at++].revents;
      if (f.revents != 0) ready_[i] = 1;
    }
    any = any || ready_[i] != 0;
  }
  if (!any) return;
  // What poll said is taken out first: a source's work may run a loop of
  // its own (a menu opened from a click), which waits with these members.
  std::vector<std::vector<LoopSource::Fd>> fds = std::move(fds_);
  const std::vector<char> ready = ready_;
  // A source may remove itself (or another) while dispatching.
  const std::vector<LoopSource*> sources = sources_;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    if (ready[i] != 0 && std::find(sources_.begin(), sources_.end(), sources[i]) != sources_.end()) {
      sources[i]->Dispatch(fds[i]);
    }
  }
  fds_ = std::move(fds);
}

namespace {
bool SameSet(const std::vector<pollfd>& a, const std::vector<pollfd>& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const pollfd& x, const pollfd& y) { return x.fd == y.fd && x.events == y.events; });
}
}  // namespace

// The kernel keeps the registrations: they are made again only when the
// descriptors changed. A descriptor epoll refuses sends the loop back to
// ppoll for good.
void X11Loop::Register() {
  for (const pollfd& p : registered_) epoll_ctl(epoll_, EPOLL_CTL_DEL, p.fd, nullptr);
  registered_.clear();
  for (const pollfd& p : pfds_) {
    // A descriptor two sources share is registered once, for both's events.
    epoll_event ev{};
    ev.data.fd = p.fd;
    for (const pollfd& q : pfds_) {
      if (q.fd == p.fd) ev.events |= static_cast<std::uint32_t>(q.events);
    }
    if (epoll_ctl(epoll_, EPOLL_CTL_ADD, p.fd, &ev) != 0 && errno != EEXIST) {
      for (const pollfd& r : pfds_) epoll_ctl(epoll_, EPOLL_CTL_DEL, r.fd, nullptr);
      close(epoll_);
      epoll_ = -1;
      registered_.clear();
      return;
    }
  }
  registered_ = pfds_;
  fdsChanged_ = false;
}

void X11Loop::WaitEpoll(const timespec* until) {
  if (fdsChanged_ || !SameSet(pfds_, registered_)) Register();
  if (epoll_ < 0) {
    ppoll(pfds_.empty() ? nullptr : pfds_.data(), pfds_.size(), until, nullptr);
    return;
  }
  std::array<epoll_event, 8> ready{};
  const int n = epoll_pwait2(epoll_, ready.data(), static_cast<int>(ready.size()), until, nullptr);
  if (n < 0 && errno == ENOSYS) {
    // A kernel before 5.11 (or a tool that does not know the call): poll.
    close(epoll_);
    epoll_ = -1;
    ppoll(pfds_.empty() ? nullptr : pfds_.data(), pfds_.size(), until, nullptr);
    return;
  }
  for (pollfd& p : pfds_) {
    p.revents = 0;
    for (int i = 0; i < n; ++i) {
      if (ready[static_cast<std::size_t>(i)].data.fd != p.fd) continue;
      // EPOLLIN and the rest have poll's values.
      const auto got = static_cast<short>(ready[static_cast<std::size_t>(i)].events);
      p.revents = static_cast<short>(got & (p.events | POLLERR | POLLHUP | POLLNVAL));
    }
  }
}

void X11Loop::Sleep(int ms) {
  if (ms <= 0) return;
  timespec left{ms / 1000, static_cast<long>(ms % 1000) * kNsPerMs};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace pd::x11
