#include <algorithm>

#include "platform/sim/loop.h"

namespace pd::sim {

SimLoop::SimLoop() : timers_([this] { return static_cast<std::int64_t>(now_); }, 1) {}

std::unique_ptr<platform::Timer> SimLoop::CreateTimer(platform::Timer::Tick tick) {
  return timers_.Create(std::move(tick));
}

bool SimLoop::FireNext(std::uint64_t limit) {
  const std::int64_t next = timers_.NextDue();
  if (next == platform::TimerQueue::kNever || static_cast<std::uint64_t>(next) > limit) return false;
  now_ = std::max(now_, static_cast<std::uint64_t>(next));
  timers_.FireOne();
  return true;
}

void SimLoop::Advance(std::uint64_t ms) {
  const std::uint64_t target = now_ + ms;
  while (FireNext(target)) {
  }
  now_ = std::max(now_, target);
}

void SimLoop::DoEvents() {
  ++doEventsCalls_;
  // Only what is pending now: work posted by a handler runs at the next pass.
  for (std::size_t pending = posted_.size(); pending > 0 && !posted_.empty(); --pending) {
    auto work = std::move(posted_.front());
    posted_.pop_front();
    work();
  }
  timers_.FireDue();
}

void SimLoop::Run() {
  while (!quit_) {
    if (!posted_.empty()) {
      DoEvents();
      continue;
    }
    if (!FireNext(UINT64_MAX)) break;  // nothing could ever happen again
  }
  quit_ = false;
}

bool SimLoop::RunModal(const std::function<bool()>& ended) {
  ++modalDepth_;
  const std::uint64_t start = now_;
  bool result = false;
  while (!quit_) {
    if (ended()) {
      result = true;
      break;
    }
    if (!posted_.empty()) {
      DoEvents();
      continue;
    }
    if (user_) {
      const std::size_t before = posted_.size();
      const std::uint64_t at = now_;
      user_(modalDepth_);
      if (ended() || quit_ || posted_.size() != before || now_ != at) continue;
    }
    // One timer at a time, so that ended() is seen after each tick.
    if (!FireNext(start + kModalLimitMs)) break;
  }
  --modalDepth_;
  return result;
}

void SimLoop::Sleep(int ms) {
  if (ms > 0) now_ += static_cast<std::uint64_t>(ms);
}

void SimLoop::RequestEnd() {
  Post([this] {
    if (endRequest_) endRequest_();
  });
}

void SimLoop::Post(std::function<void()> work) { posted_.push_back(std::move(work)); }

}  // namespace pd::sim
