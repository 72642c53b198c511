#include <algorithm>

#include "platform/sim/backend.h"

namespace pd::sim {

SimTimer::SimTimer(SimLoop& loop, Tick tick, std::uint64_t order)
    : Timer(std::move(tick)), loop_(loop), order_(order) {
  loop_.timers_.push_back(this);
}

SimTimer::~SimTimer() { std::erase(loop_.timers_, this); }

void SimTimer::Reschedule() { due_ = loop_.now_ + static_cast<std::uint64_t>(EffectiveInterval(interval_)); }

void SimTimer::SetInterval(int ms) {
  interval_ = ms < 0 ? 0 : ms;
  if (Running()) Reschedule();
}

void SimTimer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  if (Running()) Reschedule();
}

std::unique_ptr<platform::Timer> SimLoop::CreateTimer(platform::Timer::Tick tick) {
  return std::make_unique<SimTimer>(*this, std::move(tick), nextOrder_++);
}

SimTimer* SimLoop::NextDue(std::uint64_t limit) const {
  SimTimer* best = nullptr;
  for (SimTimer* t : timers_) {
    if (!t->Running() || t->InTick() || t->due_ > limit) continue;
    if (best == nullptr || t->due_ < best->due_ || (t->due_ == best->due_ && t->order_ < best->order_)) {
      best = t;
    }
  }
  return best;
}

void SimLoop::FireTimer(SimTimer& t) {
  t.Reschedule();
  t.Fire();
}

void SimLoop::Advance(std::uint64_t ms) {
  const std::uint64_t target = now_ + ms;
  while (SimTimer* t = NextDue(target)) {
    now_ = std::max(now_, t->due_);
    FireTimer(*t);
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
  // Timers already due; each fires at most once per pass.
  std::vector<SimTimer*> due;
  for (SimTimer* t : timers_) {
    if (t->Running() && !t->InTick() && t->due_ <= now_) due.push_back(t);
  }
  std::sort(due.begin(), due.end(), [](const SimTimer* a, const SimTimer* b) {
    return a->due_ != b->due_ ? a->due_ < b->due_ : a->order_ < b->order_;
  });
  for (SimTimer* t : due) {
    // A handler of an earlier timer may have stopped or destroyed this one.
    if (std::find(timers_.begin(), timers_.end(), t) == timers_.end()) continue;
    if (t->Running() && !t->InTick() && t->due_ <= now_) FireTimer(*t);
  }
}

void SimLoop::Run() {
  while (!quit_) {
    if (!posted_.empty()) {
      DoEvents();
      continue;
    }
    SimTimer* next = NextDue(UINT64_MAX);
    if (next == nullptr) break;  // nothing could ever happen again
    Advance(next->due_ > now_ ? next->due_ - now_ : 0);
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
      if (ended() || posted_.size() != before || now_ != at) continue;
    }
    SimTimer* next = NextDue(UINT64_MAX);
    if (next == nullptr || next->due_ - start > kModalLimitMs) break;
    Advance(next->due_ > now_ ? next->due_ - now_ : 0);
  }
  --modalDepth_;
  return result;
}

void SimLoop::Sleep(int ms) {
  if (ms > 0) now_ += static_cast<std::uint64_t>(ms);
}

void SimLoop::Post(std::function<void()> work) { posted_.push_back(std::move(work)); }

}  // namespace pd::sim
