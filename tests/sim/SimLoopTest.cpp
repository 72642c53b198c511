// The simulated clock, timers and modal loops: what only the simulation has
// (Advance, Post, the modal user). The rules every loop keeps are in
// contract/LoopContract.cpp, run here on the virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "contract/LoopContract.h"
#include "platform/sim/loop.h"
#include "platform/timer_queue.h"

namespace pd::sim {
namespace {

using test::LoopContract;
INSTANTIATE_TEST_SUITE_P(Sim, LoopContract,
                         testing::Values(test::LoopBackend{
                             [] { return std::make_unique<SimLoop>(); }, true,
                             [](platform::EventLoop& loop) { static_cast<SimLoop&>(loop).RequestEnd(); }}));

// name followed by the number (appended: GCC 12 at -O3 warns wrongly about
// a literal + std::string).
std::string Named(const char* name, std::uint64_t n) {
  std::string s(name);
  s += std::to_string(n);
  return s;
}

std::unique_ptr<platform::Timer> Started(SimLoop& loop, int ms, platform::Timer::Tick tick) {
  auto t = loop.CreateTimer(std::move(tick));
  t->SetInterval(ms);
  t->SetEnabled(true);
  return t;
}

TEST(SimLoop, AdvanceFiresAtDueTimesWithTiesInCreationOrder) {
  SimLoop loop;
  std::vector<std::string> order;
  auto a = loop.CreateTimer([&] { order.push_back(Named("a", loop.Now())); });
  auto b = Started(loop, 20, [&] { order.push_back(Named("b", loop.Now())); });
  a->SetInterval(40);
  a->SetEnabled(true);
  auto c = Started(loop, 1, [&] { order.push_back(Named("c", loop.Now())); });
  loop.Advance(45);
  // At 40 'a' was created first; 'c' runs at the 10 ms resolution.
  EXPECT_EQ(order, (std::vector<std::string>{"c10", "b20", "c20", "c30", "a40", "b40", "c40"}));
  EXPECT_EQ(loop.Now(), 45U);

  order.clear();
  b.reset();
  c.reset();
  a->SetEnabled(false);
  a->SetEnabled(true);  // restarting counts the interval anew: 85
  loop.Advance(39);
  EXPECT_TRUE(order.empty());
  loop.Advance(1);
  EXPECT_EQ(order, (std::vector<std::string>{"a85"}));
}

TEST(SimLoop, RandomTimersFireAtEveryDueTimeInOrder) {
  std::mt19937 rng(20240611);
  for (int round = 0; round < 20; ++round) {
    SimLoop loop;
    struct Fired {
      std::uint64_t at;
      std::size_t id;
    };
    std::vector<Fired> fired;
    std::vector<int> intervals;
    std::vector<std::unique_ptr<platform::Timer>> timers;
    const std::size_t n = 1 + rng() % 8;
    for (std::size_t id = 0; id < n; ++id) {
      intervals.push_back(static_cast<int>(rng() % 120));
      timers.push_back(Started(loop, intervals.back(), [&, id] { fired.push_back({loop.Now(), id}); }));
    }
    std::uint64_t end = 0;
    for (int step = 0; step < 10; ++step) {
      const std::uint64_t ms = rng() % 200;
      loop.Advance(ms);
      end += ms;
    }
    for (std::size_t i = 1; i < fired.size(); ++i) {
      const bool ordered = fired[i - 1].at < fired[i].at || (fired[i - 1].at == fired[i].at && fired[i - 1].id < fired[i].id);
      EXPECT_TRUE(ordered) << "round " << round << " tick " << i;
    }
    for (std::size_t id = 0; id < n; ++id) {
      const int every = intervals[id] == 0 ? 0 : std::max(intervals[id], platform::kMinTimerIntervalMs);
      const auto count = static_cast<std::uint64_t>(
          std::count_if(fired.begin(), fired.end(), [&](const Fired& f) { return f.id == id; }));
      EXPECT_EQ(count, every == 0 ? 0 : end / static_cast<std::uint64_t>(every)) << "round " << round << " timer " << id;
      for (const Fired& f : fired) {
        if (f.id == id && every > 0) {
          EXPECT_EQ(f.at % static_cast<std::uint64_t>(every), 0U);
        }
      }
    }
  }
}

TEST(SimLoop, PostedWorkRunsAtTheNextPassAndRunEndsWhenNothingCanHappen) {
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
  EXPECT_EQ(loop.DoEventsCalls(), 2);

  auto idle = loop.CreateTimer([] {});
  loop.Post([&] { ran.push_back(3); });
  loop.Run();  // the work, then no timer and no work: returns
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(loop.Now(), 0U);
}

TEST(SimLoop, ModalLoopDeliversWorkThenAsksTheUserThenMovesTheClock) {
  SimLoop loop;
  std::vector<std::string> log;
  bool innerEnded = false, outerEnded = false;
  int innerCalls = 0;
  loop.SetUser([&](int depth) {
    log.push_back(Named("user", static_cast<std::uint64_t>(depth)) + Named("@", loop.Now()));
    if (depth == 1) return;  // does nothing: the clock moves
    if (++innerCalls == 1) {
      loop.Post([&] { log.push_back("work"); });
    } else {
      innerEnded = true;
    }
  });
  auto t = Started(loop, 100, [&] {
    log.push_back("tick");
    EXPECT_TRUE(loop.RunModal([&] { return innerEnded; }));
    EXPECT_EQ(loop.ModalDepth(), 1);
    outerEnded = true;
  });
  loop.Post([&] { log.push_back("posted"); });
  EXPECT_TRUE(loop.RunModal([&] { return outerEnded; }));
  EXPECT_EQ(loop.ModalDepth(), 0);
  EXPECT_EQ(log, (std::vector<std::string>{"posted", "user1@0", "tick", "user2@100", "work", "user2@100"}));
}

TEST(SimLoop, ModalLoopGivesUpWhenItCouldNeverEnd) {
  SimLoop loop;
  EXPECT_FALSE(loop.RunModal([] { return false; })) << "no work, no user, no timer";
  EXPECT_EQ(loop.Now(), 0U);

  // A timer that fell behind before the loop began fires once at once.
  std::vector<std::uint64_t> at;
  auto t = Started(loop, 1000, [&] { at.push_back(loop.Now()); });
  loop.Sleep(5000);
  EXPECT_FALSE(loop.RunModal([] { return false; }));
  ASSERT_FALSE(at.empty());
  EXPECT_EQ(at[0], 5000U);
  EXPECT_EQ(at[1], 6000U);
  EXPECT_EQ(at.back(), 5000U + SimLoop::kModalLimitMs) << "an hour of simulated time, then it gives up";
  EXPECT_EQ(loop.Now(), at.back());
}

TEST(SimLoop, TimerMayOutliveItsLoop) {
  auto loop = std::make_unique<SimLoop>();
  auto t = Started(*loop, 10, [] {});
  loop.reset();
  t->SetInterval(20);
  t->SetEnabled(false);
  EXPECT_EQ(t->Interval(), 20);
  t.reset();
}

// The queue's slack: timers due within it of one another fire in one pass
// and are rescheduled from that pass, so they keep sharing wake-ups; with
// no slack (the simulation) each fires at its own time.
TEST(TimerQueueSlack, TimersDueTogetherShareEveryPassFromThenOn) {
  for (const std::int64_t slack : {0, 1}) {
    std::int64_t now = 0;
    platform::TimerQueue queue([&] { return now; }, 1, slack);
    std::vector<std::pair<std::int64_t, char>> fired;
    auto a = queue.Create([&] { fired.emplace_back(now, 'a'); });
    auto b = queue.Create([&] { fired.emplace_back(now, 'b'); });
    a->SetInterval(10);
    a->SetEnabled(true);
    now = 1;
    b->SetInterval(10);
    b->SetEnabled(true);
    std::set<std::int64_t> passes;
    for (; now <= 40; ++now) {
      if (queue.FireDue() > 0) passes.insert(now);
    }
    EXPECT_EQ(fired.size(), slack == 0 ? 7U : 8U) << "slack " << slack;
    const std::set<std::int64_t> apart{10, 11, 20, 21, 30, 31, 40};
    const std::set<std::int64_t> together{10, 20, 30, 40};
    EXPECT_EQ(passes, slack == 0 ? apart : together) << "slack " << slack;
  }
}

}  // namespace
}  // namespace pd::sim
