// The simulated clock and timers: the rules every timing test relies on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/sim/backend.h"

namespace pd::sim {
namespace {

TEST(SimLoop, ShortIntervalsRunAtTheTimerResolution) {
  SimLoop loop;
  std::vector<std::uint64_t> at;
  auto t = loop.CreateTimer([&] { at.push_back(loop.Now()); });
  t->SetInterval(1);
  t->SetEnabled(true);
  loop.Advance(35);
  EXPECT_EQ(at, (std::vector<std::uint64_t>{10, 20, 30}));
  EXPECT_EQ(loop.Now(), 35U);
}

TEST(SimLoop, DueTimersFireInOrderWithTiesInCreationOrder) {
  SimLoop loop;
  std::vector<char> order;
  auto a = loop.CreateTimer([&] { order.push_back('a'); });
  auto b = loop.CreateTimer([&] { order.push_back('b'); });
  b->SetInterval(20);
  b->SetEnabled(true);
  a->SetInterval(40);
  a->SetEnabled(true);
  loop.Advance(40);
  EXPECT_EQ(order, (std::vector<char>{'b', 'a', 'b'}));  // at 40 'a' was created first
}

TEST(SimLoop, SleepBlocksAndAnOverdueTimerFiresOnce) {
  SimLoop loop;
  int ticks = 0;
  auto t = loop.CreateTimer([&] { ++ticks; });
  t->SetInterval(10);
  t->SetEnabled(true);
  loop.Sleep(300);
  EXPECT_EQ(ticks, 0);
  EXPECT_EQ(loop.TickCount(), 300U);
  loop.Advance(0);
  EXPECT_EQ(ticks, 1);
  loop.Advance(10);
  EXPECT_EQ(ticks, 2);
}

TEST(SimLoop, DoEventsRunsPendingWorkAndDueTimersOnly) {
  SimLoop loop;
  std::vector<int> ran;
  loop.Post([&] {
    ran.push_back(1);
    loop.Post([&] { ran.push_back(2); });  // next pass
  });
  loop.DoEvents();
  EXPECT_EQ(ran, (std::vector<int>{1}));
  loop.DoEvents();
  EXPECT_EQ(ran, (std::vector<int>{1, 2}));
}

TEST(SimLoop, TimerMayBeDestroyedOrRestartedInItsOwnTick) {
  SimLoop loop;
  int ticks = 0;
  std::unique_ptr<platform::Timer> t;
  t = loop.CreateTimer([&] {
    ++ticks;
    t.reset();
  });
  t->SetInterval(10);
  t->SetEnabled(true);
  loop.Advance(100);
  EXPECT_EQ(ticks, 1);

  // What the tick captured stays valid until the tick returns, although its
  // timer is gone.
  std::string seen;
  t = loop.CreateTimer([&, name = std::string(64, 'n')] {
    t.reset();
    seen = name;
  });
  t->SetInterval(10);
  t->SetEnabled(true);
  loop.Advance(10);
  EXPECT_EQ(seen, std::string(64, 'n'));

  int shots = 0;
  auto oneShot = loop.CreateTimer([&] { ++shots; });
  oneShot->SetInterval(3500);
  oneShot->SetEnabled(true);
  loop.Advance(3000);
  oneShot->SetEnabled(true);  // restarting counts the interval anew
  loop.Advance(3000);
  EXPECT_EQ(shots, 0);
  loop.Advance(500);
  EXPECT_EQ(shots, 1);
}

TEST(SimLoop, RunEndsOnQuitOrWhenNothingCanHappen) {
  SimLoop loop;
  int ticks = 0;
  auto t = loop.CreateTimer([&] {
    if (++ticks == 3) loop.Quit();
  });
  t->SetInterval(100);
  t->SetEnabled(true);
  loop.Run();
  EXPECT_EQ(ticks, 3);
  EXPECT_EQ(loop.Now(), 300U);
  t->SetEnabled(false);
  loop.Run();  // no timer, no work: returns at once
  EXPECT_EQ(loop.Now(), 300U);
}

}  // namespace
}  // namespace pd::sim
