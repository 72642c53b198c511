#include "platform/timer_queue.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace pd::platform {

class TimerQueue::QueueTimer final : public Timer {
 public:
  QueueTimer(const std::shared_ptr<State>& state, Tick tick)
      : Timer(std::move(tick)), state_(state), serial_(state->nextSerial++) {}
  ~QueueTimer() override {
    if (auto state = state_.lock()) state->Remove(serial_);
  }

  void SetInterval(int ms) override {
    interval_ = ms < 0 ? 0 : ms;
    Reschedule();
    Register();
  }
  [[nodiscard]] int Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override {
    enabled_ = enabled;
    Reschedule();
    Register();
  }
  [[nodiscard]] bool Enabled() const override { return enabled_; }
  void Resume() override {
    if (enabled_) return;
    auto state = state_.lock();
    if (!stepped_ || !state || interval_ <= 0) return SetEnabled(true);
    enabled_ = true;
    const std::int64_t now = state->clock();
    const std::int64_t step = static_cast<std::int64_t>(EffectiveInterval(interval_)) * state->unitsPerMs;
    if (due_ <= now) due_ += ((now - due_) / step + 1) * step;
    Register();
  }

  // Running and not inside its own tick.
  [[nodiscard]] bool Waiting() const { return enabled_ && interval_ > 0 && !InTick(); }
  [[nodiscard]] std::int64_t Due() const { return due_; }
  [[nodiscard]] std::uint64_t Serial() const { return serial_; }

  // Reschedules from now, or from the start of the pass when that was
  // within the slack, then runs the tick (which may destroy this).
  void FireNow(std::int64_t passStart) {
    if (auto state = state_.lock()) {
      const std::int64_t now = state->clock();
      Reschedule(now - passStart <= state->slack ? passStart : now);
    }
    Fire();
  }

 private:
  // Only running timers are in the queue's map: a pass looks at those alone,
  // however many stopped timers the program's controls hold.
  void Register() {
    auto state = state_.lock();
    if (!state) return;
    if (enabled_ && interval_ > 0) {
      state->Add(this);
    } else {
      state->Remove(serial_);
    }
  }

  void Reschedule() {
    if (auto state = state_.lock()) Reschedule(state->clock());
  }
  void Reschedule(std::int64_t from) {
    auto state = state_.lock();
    if (!state || !enabled_ || interval_ <= 0) return;
    due_ = from + static_cast<std::int64_t>(EffectiveInterval(interval_)) * state->unitsPerMs;
    stepped_ = true;
  }

  std::weak_ptr<State> state_;
  std::uint64_t serial_;
  int interval_ = 0;
  bool enabled_ = false;
  bool stepped_ = false;  // due_ holds a step of a run
  std::int64_t due_ = 0;
};

namespace {
bool BySerial(const auto* t, std::uint64_t serial) { return t->Serial() < serial; }
}  // namespace

TimerQueue::QueueTimer* TimerQueue::State::Find(std::uint64_t serial) const {
  const auto it = std::lower_bound(timers.begin(), timers.end(), serial, BySerial<QueueTimer>);
  return it != timers.end() && (*it)->Serial() == serial ? *it : nullptr;
}

void TimerQueue::State::Add(QueueTimer* t) {
  const auto it = std::lower_bound(timers.begin(), timers.end(), t->Serial(), BySerial<QueueTimer>);
  if (it == timers.end() || *it != t) timers.insert(it, t);
}

void TimerQueue::State::Remove(std::uint64_t serial) {
  const auto it = std::lower_bound(timers.begin(), timers.end(), serial, BySerial<QueueTimer>);
  if (it != timers.end() && (*it)->Serial() == serial) timers.erase(it);
}

TimerQueue::TimerQueue(Clock clock, std::int64_t unitsPerMs, std::int64_t slack) : state_(std::make_shared<State>()) {
  state_->clock = std::move(clock);
  state_->unitsPerMs = unitsPerMs > 0 ? unitsPerMs : 1;
  state_->slack = slack > 0 ? slack : 0;
}

TimerQueue::~TimerQueue() = default;

std::unique_ptr<Timer> TimerQueue::Create(Timer::Tick tick) {
  return std::make_unique<QueueTimer>(state_, std::move(tick));
}

TimerQueue::QueueTimer* TimerQueue::DueAt(std::int64_t limit) const {
  QueueTimer* best = nullptr;
  // The list runs in creation order, so the first of equal due times wins.
  for (QueueTimer* t : state_->timers) {
    if (t->Waiting() && t->Due() <= limit && (best == nullptr || t->Due() < best->Due())) best = t;
  }
  return best;
}

std::int64_t TimerQueue::NextDue() const {
  const QueueTimer* next = DueAt(kNever);
  return next != nullptr ? next->Due() : kNever;
}

bool TimerQueue::FireOne() {
  const std::int64_t now = state_->clock();
  QueueTimer* t = DueAt(now);
  if (t == nullptr) return false;
  t->FireNow(now);
  return true;
}

int TimerQueue::FireDue(const std::function<bool()>& stop) {
  const std::int64_t now = state_->clock();
  // Nothing fires early unless something is due now.
  if (state_->slack > 0 && NextDue() > now) return 0;
  const std::int64_t limit = now + state_->slack;
  // The list of the pass, kept for the next pass at the same depth (a
  // tick's own loop makes its own). The state outlives the pass even if a
  // tick destroys the queue.
  const std::shared_ptr<State> state = state_;
  const std::size_t depth = state->depth++;
  if (state->spares.size() <= depth) state->spares.resize(depth + 1);
  std::vector<std::pair<std::int64_t, std::uint64_t>> due;  // (due time, serial)
  due.swap(state->spares[depth]);
  struct Leave {
    State& state;
    std::size_t depth;
    std::vector<std::pair<std::int64_t, std::uint64_t>>& due;
    ~Leave() {
      due.swap(state.spares[depth]);
      state.depth = depth;
    }
  } leave{*state, depth, due};
  due.clear();
  for (const QueueTimer* t : state->timers) {
    if (t->Waiting() && t->Due() <= limit) due.emplace_back(t->Due(), t->Serial());
  }
  std::sort(due.begin(), due.end());
  int fired = 0;
  for (const auto& [at, serial] : due) {
    // An earlier tick may have stopped, changed or destroyed this timer.
    QueueTimer* t = state->Find(serial);
    if (t == nullptr || !t->Waiting() || t->Due() > limit) continue;
    t->FireNow(now);
    ++fired;
    if (stop && stop()) break;
  }
  return fired;
}

}  // namespace pd::platform
