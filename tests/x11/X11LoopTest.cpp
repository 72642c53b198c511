// Timers on the real event loop (without a display: pure timers).
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>

#include "platform/x11/backend.h"

namespace pd::x11 {
namespace {

using Clock = std::chrono::steady_clock;

double MsBetween(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

TEST(X11Loop, ShortIntervalsRunAtTheTenMillisecondMinimum) {
  X11Loop loop;
  std::vector<Clock::time_point> ticks;
  auto timer = loop.CreateTimer([&] {
    ticks.push_back(Clock::now());
    if (ticks.size() == 8) loop.Quit();
  });
  timer->SetInterval(1);
  timer->SetEnabled(true);
  EXPECT_EQ(timer->Interval(), 1) << "the asked interval is kept";
  const auto start = Clock::now();
  loop.Run();
  ASSERT_EQ(ticks.size(), 8u);
  EXPECT_GE(MsBetween(start, ticks[0]), 9.9);
  for (std::size_t i = 1; i < ticks.size(); ++i) EXPECT_GE(MsBetween(ticks[i - 1], ticks[i]), 9.9) << i;
}

TEST(X11Loop, TickDoesNotReenterWhileItYieldsButOtherTimersFire) {
  X11Loop loop;
  int depth = 0;
  int maxDepth = 0;
  int slowTicks = 0;
  int otherTicks = 0;
  std::unique_ptr<platform::Timer> other;
  auto slow = loop.CreateTimer([&] {
    ++slowTicks;
    maxDepth = std::max(maxDepth, ++depth);
    // A tick that yields for 60 ms, as a hot-key tick does per entry.
    const auto until = Clock::now() + std::chrono::milliseconds(60);
    while (Clock::now() < until) {
      loop.Sleep(1);
      loop.DoEvents();
    }
    --depth;
    loop.Quit();
  });
  other = loop.CreateTimer([&] { ++otherTicks; });
  slow->SetInterval(10);
  other->SetInterval(10);
  slow->SetEnabled(true);
  other->SetEnabled(true);
  loop.Run();
  EXPECT_EQ(slowTicks, 1);
  EXPECT_EQ(maxDepth, 1);
  EXPECT_GE(otherTicks, 3) << "timers keep firing while a tick yields";
}

TEST(X11Loop, TimerMayStopOrDestroyItselfInItsTick) {
  X11Loop loop;
  int selfDestroyed = 0;
  int stopped = 0;
  std::unique_ptr<platform::Timer> doomed;
  doomed = loop.CreateTimer([&] {
    ++selfDestroyed;
    doomed.reset();
  });
  std::unique_ptr<platform::Timer> stopper;
  stopper = loop.CreateTimer([&] {
    ++stopped;
    stopper->SetEnabled(false);
  });
  auto end = loop.CreateTimer([&] { loop.Quit(); });
  doomed->SetInterval(10);
  doomed->SetEnabled(true);
  stopper->SetInterval(10);
  stopper->SetEnabled(true);
  end->SetInterval(60);
  end->SetEnabled(true);
  loop.Run();
  EXPECT_EQ(selfDestroyed, 1);
  EXPECT_EQ(stopped, 1);
  EXPECT_FALSE(stopper->Enabled());
}

TEST(X11Loop, SleepDeliversNothingAndALateTimerFiresOnce) {
  X11Loop loop;
  int ticks = 0;
  auto timer = loop.CreateTimer([&] { ++ticks; });
  timer->SetInterval(10);
  timer->SetEnabled(true);
  loop.Sleep(45);
  EXPECT_EQ(ticks, 0);
  loop.DoEvents();
  EXPECT_EQ(ticks, 1);
  loop.DoEvents();
  EXPECT_EQ(ticks, 1) << "rescheduled from the late tick";
  timer->SetInterval(0);
  loop.Sleep(15);
  loop.DoEvents();
  EXPECT_EQ(ticks, 1) << "interval 0 stops the timer";
}

TEST(X11Loop, RunWithNothingToWaitForReturnsAndTickCountIsMonotonicMs) {
  X11Loop loop;
  auto idle = loop.CreateTimer([] {});
  loop.Run();  // no running timer, no display: returns at once
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  const auto now = static_cast<std::uint64_t>(ts.tv_sec) * 1000 + static_cast<std::uint64_t>(ts.tv_nsec) / 1'000'000;
  const std::uint64_t tick = loop.TickCount();
  EXPECT_LE(now, tick);
  EXPECT_LE(tick, now + 5);
  loop.Sleep(20);
  EXPECT_GE(loop.TickCount(), tick + 20);
}

}  // namespace
}  // namespace pd::x11
