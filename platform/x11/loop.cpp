// Timers and the event loop: poll() on the X connection with the timeout of
// the nearest due timer, on CLOCK_MONOTONIC.
#include <X11/Xlib.h>
#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include "platform/x11/backend.h"

namespace pd::x11 {

namespace {
constexpr std::int64_t kNsPerMs = 1'000'000;
}  // namespace

X11Loop::X11Loop(XConnection* x) : x_(x), timers_(&X11Loop::NowNs, kNsPerMs) {}

std::int64_t X11Loop::NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::uint64_t X11Loop::TickCount() { return static_cast<std::uint64_t>(NowNs() / kNsPerMs); }

std::unique_ptr<platform::Timer> X11Loop::CreateTimer(platform::Timer::Tick tick) {
  return timers_.Create(std::move(tick));
}

void X11Loop::DoEvents() {
  if (x_ != nullptr) x_->DispatchPending();
  if (!sources_.empty()) Wait(false);
  timers_.FireDue();
}

void X11Loop::Run() {
  Loop(nullptr);
  quit_ = false;
}

bool X11Loop::RunModal(const std::function<bool()>& ended) { return Loop(ended); }

bool X11Loop::Loop(const std::function<bool()>& ended) {
  const auto done = [&] { return quit_ || (ended && ended()); };
  while (!quit_) {
    if (ended && ended()) return true;
    if (x_ != nullptr) x_->DispatchPending();
    if (done()) continue;
    timers_.FireDue(done);
    if (done()) continue;
    if (x_ == nullptr && sources_.empty() && timers_.NextDue() == platform::TimerQueue::kNever) {
      break;  // nothing could ever happen
    }
    Wait();
  }
  return false;
}

void X11Loop::Wait(bool wait) {
  // Xlib may hold events already read from the socket: poll would not see
  // them.
  if (x_ != nullptr && XPending(x_->Dpy()) > 0) wait = false;
  std::vector<pollfd> pfds;
  if (x_ != nullptr) pfds.push_back(pollfd{x_->Fd(), POLLIN, 0});
  // Each source's descriptors, in order, after the X connection's.
  std::vector<std::vector<LoopSource::Fd>> fds(sources_.size());
  for (std::size_t i = 0; i < sources_.size(); ++i) {
    if (sources_[i]->Prepare(fds[i])) wait = false;
    for (const auto& f : fds[i]) pfds.push_back(pollfd{f.fd, f.events, 0});
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
  if (pfds.empty() && !wait) return;
  ppoll(pfds.empty() ? nullptr : pfds.data(), pfds.size(), until, nullptr);
  std::size_t at = x_ != nullptr ? 1 : 0;
  // A source may remove itself (or another) while dispatching.
  const std::vector<LoopSource*> sources = sources_;
  for (std::size_t i = 0; i < sources.size(); ++i) {
    for (auto& f : fds[i]) f.revents = pfds[at++].revents;
    if (std::find(sources_.begin(), sources_.end(), sources[i]) != sources_.end()) sources[i]->Dispatch(fds[i]);
  }
}

void X11Loop::Sleep(int ms) {
  if (ms <= 0) return;
  timespec left{ms / 1000, static_cast<long>(ms % 1000) * kNsPerMs};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace pd::x11
