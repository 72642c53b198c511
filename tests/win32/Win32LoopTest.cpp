// Timers and the message loop of the Windows backend, with the real clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "platform/win32/backend.h"

namespace pd::win32 {
namespace {

// Runs passes of the loop for a while, as a busy program does.
void PumpFor(Win32Loop& loop, int ms) {
  const std::uint64_t end = loop.TickCount() + static_cast<std::uint64_t>(ms);
  while (loop.TickCount() < end) {
    loop.DoEvents();
    loop.Sleep(1);
  }
}

TEST(Win32Loop, OneMillisecondTimerTicksAtTheTenMillisecondMinimum) {
  Win32Loop loop;
  std::vector<std::uint64_t> ticks;
  auto timer = loop.CreateTimer([&] { ticks.push_back(loop.TickCount()); });
  timer->SetInterval(1);
  timer->SetEnabled(true);
  EXPECT_EQ(timer->Interval(), 1);
  PumpFor(loop, 300);
  ASSERT_GE(ticks.size(), 5u);
  const double mean = static_cast<double>(ticks.back() - ticks.front()) / static_cast<double>(ticks.size() - 1);
  EXPECT_GE(mean, 9.0) << ticks.size() << " ticks in 300 ms";
}

TEST(Win32Loop, TickNeverReentersWhileItRunsDoEventsButOtherTimersDo) {
  Win32Loop loop;
  int depth = 0, maxDepth = 0, slowTicks = 0, otherTicks = 0, otherDuringSlow = 0;
  auto slow = loop.CreateTimer([&] {
    ++slowTicks;
    maxDepth = std::max(maxDepth, ++depth);
    if (slowTicks == 1) {
      const int before = otherTicks;
      PumpFor(loop, 80);  // yields to the loop for eight of its own periods
      otherDuringSlow = otherTicks - before;
    }
    --depth;
  });
  auto other = loop.CreateTimer([&] { ++otherTicks; });
  slow->SetInterval(10);
  other->SetInterval(10);
  slow->SetEnabled(true);
  other->SetEnabled(true);
  PumpFor(loop, 200);
  EXPECT_EQ(maxDepth, 1);
  EXPECT_GE(otherDuringSlow, 3) << "DoEvents inside a tick delivers the other timers";
  EXPECT_GE(slowTicks, 3) << "the slow timer goes on ticking after its long tick";
}

TEST(Win32Loop, StoppedTimersDoNotTick) {
  Win32Loop loop;
  int ticks = 0;
  auto timer = loop.CreateTimer([&] { ++ticks; });
  timer->SetInterval(10);
  PumpFor(loop, 40);
  EXPECT_EQ(ticks, 0) << "created stopped";
  timer->SetEnabled(true);
  timer->SetInterval(0);
  PumpFor(loop, 40);
  EXPECT_EQ(ticks, 0) << "interval 0 stops it";
  timer->SetInterval(10);
  PumpFor(loop, 60);
  EXPECT_GT(ticks, 0);
  timer->SetEnabled(false);
  const int stoppedAt = ticks;
  PumpFor(loop, 40);
  EXPECT_EQ(ticks, stoppedAt);
}

TEST(Win32Loop, DoEventsReturnsWithNothingPendingAndDeliversADueTimer) {
  Win32Loop loop;
  const std::uint64_t start = loop.TickCount();
  loop.DoEvents();
  EXPECT_LT(loop.TickCount() - start, 100u);

  int ticks = 0;
  auto timer = loop.CreateTimer([&] { ++ticks; });
  timer->SetInterval(10);
  timer->SetEnabled(true);
  loop.Sleep(40);
  EXPECT_EQ(ticks, 0) << "Sleep delivers nothing";
  loop.DoEvents();
  EXPECT_EQ(ticks, 1) << "a due timer fires once per pass";
}

TEST(Win32Loop, RunEndsOnQuitFromATickThatDestroysItsOwnTimer) {
  Win32Loop loop;
  int ticks = 0;
  std::unique_ptr<platform::Timer> timer;
  timer = loop.CreateTimer([&] {
    if (++ticks < 3) return;
    timer.reset();
    loop.Quit();
  });
  timer->SetInterval(10);
  timer->SetEnabled(true);
  const std::uint64_t start = loop.TickCount();
  loop.Run();
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(timer, nullptr);
  EXPECT_LT(loop.TickCount() - start, 2000u);
  loop.DoEvents();  // nothing left of the destroyed timer
  EXPECT_EQ(ticks, 3);
}

TEST(Win32Loop, QuitBeforeADoEventsPassStillEndsTheNextRun) {
  Win32Loop loop;
  loop.Quit();
  loop.DoEvents();  // meets WM_QUIT and leaves it for Run
  loop.Run();       // returns at once
  SUCCEED();
}

}  // namespace
}  // namespace pd::win32
