// Timers and the event loop: poll() on the X connection with the timeout of
// the nearest due timer, on CLOCK_MONOTONIC.
#include <X11/Xlib.h>
#include <poll.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <utility>

#include "platform/x11/backend.h"

namespace pd::x11 {

namespace {
constexpr std::int64_t kNever = std::numeric_limits<std::int64_t>::max();
constexpr std::int64_t kNsPerMs = 1'000'000;
}  // namespace

X11Timer::X11Timer(X11Loop& loop, Tick tick, std::uint64_t order)
    : Timer(std::move(tick)), loop_(loop), order_(order) {
  loop_.timers_.push_back(this);
}

X11Timer::~X11Timer() { std::erase(loop_.timers_, this); }

void X11Timer::Reschedule(std::int64_t nowNs) { dueNs_ = nowNs + EffectiveInterval(interval_) * kNsPerMs; }

void X11Timer::SetInterval(int ms) {
  interval_ = ms < 0 ? 0 : ms;
  if (Running()) Reschedule(X11Loop::NowNs());
}

void X11Timer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (Running()) Reschedule(X11Loop::NowNs());
}

std::int64_t X11Loop::NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

std::uint64_t X11Loop::TickCount() { return static_cast<std::uint64_t>(NowNs() / kNsPerMs); }

std::unique_ptr<platform::Timer> X11Loop::CreateTimer(platform::Timer::Tick tick) {
  return std::make_unique<X11Timer>(*this, std::move(tick), nextOrder_++);
}

bool X11Loop::Registered(const X11Timer* t, std::uint64_t order) const {
  // The order number tells a timer from a new one built at a freed address.
  return std::any_of(timers_.begin(), timers_.end(), [&](const X11Timer* r) { return r == t && r->order_ == order; });
}

void X11Loop::FireDue() {
  const std::int64_t now = NowNs();
  std::vector<std::pair<X11Timer*, std::uint64_t>> due;
  for (X11Timer* t : timers_) {
    if (t->Running() && !t->InTick() && t->dueNs_ <= now) due.emplace_back(t, t->order_);
  }
  std::sort(due.begin(), due.end(), [](const auto& a, const auto& b) {
    return a.first->dueNs_ != b.first->dueNs_ ? a.first->dueNs_ < b.first->dueNs_ : a.second < b.second;
  });
  for (const auto& [t, order] : due) {
    // A tick before this one may have stopped, changed or destroyed it.
    if (!Registered(t, order)) continue;
    if (!t->Running() || t->InTick() || t->dueNs_ > now) continue;
    t->Reschedule(NowNs());
    t->Fire();
  }
}

std::int64_t X11Loop::NextDueNs() const {
  std::int64_t next = kNever;
  for (const X11Timer* t : timers_) {
    if (t->Running() && !t->InTick()) next = std::min(next, t->dueNs_);
  }
  return next;
}

void X11Loop::DoEvents() {
  if (x_ != nullptr) x_->DispatchPending();
  FireDue();
}

void X11Loop::Run() {
  RunModal([] { return false; });
  quit_ = false;
}

bool X11Loop::RunModal(const std::function<bool()>& ended) {
  while (!quit_) {
    if (ended()) return true;
    DoEvents();
    if (quit_) break;
    if (ended()) return true;
    const std::int64_t next = NextDueNs();
    if (x_ == nullptr && next == kNever) break;  // nothing could ever happen
    // Xlib may hold events already read from the socket: poll would not
    // see them.
    if (x_ != nullptr && XPending(x_->Dpy()) > 0) continue;
    timespec timeout{};
    timespec* wait = nullptr;
    if (next != kNever) {
      const std::int64_t ns = std::max<std::int64_t>(0, next - NowNs());
      timeout.tv_sec = static_cast<time_t>(ns / 1'000'000'000);
      timeout.tv_nsec = static_cast<long>(ns % 1'000'000'000);
      wait = &timeout;
    }
    pollfd pfd{};
    if (x_ != nullptr) {
      pfd.fd = x_->Fd();
      pfd.events = POLLIN;
    }
    ppoll(x_ != nullptr ? &pfd : nullptr, x_ != nullptr ? 1 : 0, wait, nullptr);
  }
  return false;
}

void X11Loop::Sleep(int ms) {
  if (ms <= 0) return;
  timespec left{ms / 1000, static_cast<long>(ms % 1000) * kNsPerMs};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

}  // namespace pd::x11
