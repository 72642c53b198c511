#include "contract/LoopContract.h"

#include <algorithm>
#include <string>
#include <vector>

namespace pd::test {

using platform::Timer;

void LoopContract::SetUp() {
  loop_ = GetParam().make();
  start_ = loop_->TickCount();
  watchdog_ = loop_->CreateTimer([this] {
    ADD_FAILURE() << "the loop did not end in 10 s";
    loop_->Quit();
  });
  watchdog_->SetInterval(10'000);
  watchdog_->SetEnabled(true);
}

void LoopContract::TearDown() {
  watchdog_.reset();
  loop_.reset();
}

namespace {

std::unique_ptr<Timer> Started(platform::EventLoop& loop, int ms, Timer::Tick tick) {
  auto t = loop.CreateTimer(std::move(tick));
  t->SetInterval(ms);
  t->SetEnabled(true);
  return t;
}

}  // namespace

// Run -> A opens the outer modal loop -> B opens the inner one; C ticks
// inside the inner loop and ends it, then ends the outer one, then Run.
TEST_P(LoopContract, NestedModalLoopsEachEndOnlyThemselvesWhileTimersFire) {
  auto& loop = Loop();
  int depth = 0;
  bool innerEnded = false, outerEnded = false, innerResult = false, outerResult = false;
  int aTicks = 0, bTicks = 0;
  std::vector<int> cDepths;
  std::vector<std::uint64_t> cTimes;
  std::unique_ptr<Timer> b, c;
  c = loop.CreateTimer([&] {
    cDepths.push_back(depth);
    cTimes.push_back(Elapsed());
    const auto atDepth = std::count(cDepths.begin(), cDepths.end(), depth);
    if (depth == 2 && atDepth == 3) innerEnded = true;
    if (depth == 1 && atDepth == 2) outerEnded = true;
    if (depth == 0) loop.Quit();
  });
  c->SetInterval(10);
  b = loop.CreateTimer([&] {
    if (bTicks++ > 0) return;
    c->SetEnabled(true);
    ++depth;
    innerResult = loop.RunModal([&] { return innerEnded; });
    --depth;
  });
  b->SetInterval(30);
  auto a = Started(loop, 20, [&] {
    if (aTicks++ > 0) return;
    b->SetEnabled(true);
    ++depth;
    outerResult = loop.RunModal([&] { return outerEnded; });
    --depth;
  });
  loop.Run();
  EXPECT_TRUE(innerResult);
  EXPECT_TRUE(outerResult);
  EXPECT_EQ(cDepths, (std::vector<int>{2, 2, 2, 1, 1, 0})) << "the inner loop ended alone, then the outer one";
  EXPECT_EQ(depth, 0);
  EXPECT_LE(aTicks, 2) << "A never re-entered its tick while its modal loop ran";
  if (Exact()) {
    // A at 20 enables B (30 later: 50), B enables C (10 later: 60).
    EXPECT_EQ(cTimes, (std::vector<std::uint64_t>{60, 70, 80, 90, 100, 110}));
  } else {
    for (std::size_t i = 1; i < cTimes.size(); ++i) EXPECT_GE(cTimes[i], cTimes[i - 1]);
  }
}

TEST_P(LoopContract, QuitEndsRunAndEveryModalLoopInItAndOnlyThatRun) {
  auto& loop = Loop();
  std::vector<std::string> log;
  std::unique_ptr<Timer> a, b, c;
  c = loop.CreateTimer([&] {
    log.push_back("quit");
    c->SetEnabled(false);
    loop.Quit();
  });
  c->SetInterval(10);
  b = loop.CreateTimer([&] {
    b->SetEnabled(false);
    c->SetEnabled(true);
    log.push_back(loop.RunModal([] { return false; }) ? "inner ended" : "inner quit");
  });
  b->SetInterval(10);
  a = Started(loop, 10, [&] {
    a->SetEnabled(false);
    b->SetEnabled(true);
    log.push_back(loop.RunModal([] { return false; }) ? "outer ended" : "outer quit");
  });
  loop.Run();
  EXPECT_EQ(log, (std::vector<std::string>{"quit", "inner quit", "outer quit"}));

  // The quit belonged to that Run: the next one runs until its own Quit.
  int ticks = 0;
  auto d = Started(loop, 10, [&] {
    if (++ticks == 2) loop.Quit();
  });
  loop.Run();
  EXPECT_EQ(ticks, 2);
  if (Exact()) {
    EXPECT_EQ(Elapsed(), 50U);
  }

  // Quit outside Run: modal loops end at once, and so does the next Run.
  d->SetEnabled(false);
  auto e = Started(loop, 50, [&] { ++ticks; });
  loop.Quit();
  loop.DoEvents();  // leaves the quit for the loops
  EXPECT_FALSE(loop.RunModal([] { return false; }));
  loop.Run();
  EXPECT_EQ(ticks, 2) << "nothing was delivered";
  if (Exact()) {
    EXPECT_EQ(Elapsed(), 50U);
  }
}

TEST_P(LoopContract, TicksMayStopChangeOrDestroyTheirOwnAndOtherTimers) {
  auto& loop = Loop();
  int selfTicks = 0, stopTicks = 0, leftTicks = 0, rightTicks = 0, neverTicks = 0;
  std::vector<std::uint64_t> changed;
  std::string seen;
  std::unique_ptr<Timer> self, stopper, left, right, changer;
  self = Started(loop, 10, [&, name = std::string(64, 'n')] {
    ++selfTicks;
    self.reset();
    seen = name;  // what the tick captured outlives its timer until it returns
  });
  stopper = Started(loop, 10, [&] {
    ++stopTicks;
    stopper->SetEnabled(false);
  });
  // Each destroys the other: whichever fires first, the other never does.
  left = Started(loop, 20, [&] {
    ++leftTicks;
    right.reset();
  });
  right = Started(loop, 20, [&] {
    ++rightTicks;
    left.reset();
  });
  changer = Started(loop, 10, [&] {
    changed.push_back(Elapsed());
    changer->SetInterval(40);
  });
  auto never = loop.CreateTimer([&] { ++neverTicks; });
  never->SetInterval(10);  // created stopped
  auto zero = Started(loop, 0, [&] { ++neverTicks; });
  auto end = Started(loop, 100, [&] { loop.Quit(); });
  loop.Run();
  EXPECT_EQ(selfTicks, 1);
  EXPECT_EQ(self, nullptr);
  EXPECT_EQ(seen, std::string(64, 'n'));
  EXPECT_EQ(stopTicks, 1);
  EXPECT_FALSE(stopper->Enabled());
  EXPECT_NE(leftTicks == 0, rightTicks == 0) << leftTicks << " " << rightTicks;
  EXPECT_NE(left == nullptr, right == nullptr);
  EXPECT_EQ(neverTicks, 0) << "stopped and zero-interval timers never tick";
  EXPECT_EQ(zero->Interval(), 0);
  ASSERT_GE(changed.size(), 2U);
  // Real system timers may fire a few milliseconds early.
  EXPECT_GE(changed[1] - changed[0], Exact() ? 40U : 30U) << "the new interval counts from the change";
  if (Exact()) {
    EXPECT_EQ(changed, (std::vector<std::uint64_t>{10, 50, 90}));
  }
}

TEST_P(LoopContract, DoEventsDeliversOnlyWhatIsPendingAndSleepNothing) {
  auto& loop = Loop();
  int ticks = 0;
  auto t = Started(loop, 200, [&] { ++ticks; });
  loop.DoEvents();
  EXPECT_EQ(ticks, 0) << "not due yet";
  loop.Sleep(450);
  EXPECT_EQ(ticks, 0) << "Sleep delivers nothing";
  EXPECT_GE(Elapsed(), Exact() ? 450U : 400U);  // the system tick may lag the sleep
  loop.DoEvents();
  EXPECT_EQ(ticks, 1) << "a timer that fell behind fires once";
  loop.DoEvents();
  EXPECT_EQ(ticks, 1) << "and is rescheduled from then";
  t->SetEnabled(false);

  // A tick that yields to the loop is not re-entered; other timers fire,
  // each at most once a pass.
  int depth = 0, maxDepth = 0, slowTicks = 0, passes = 0, other = 0, otherInside = 0;
  std::unique_ptr<Timer> slow;
  auto fast = Started(loop, 10, [&] { ++other; });
  slow = Started(loop, 10, [&] {
    ++slowTicks;
    maxDepth = std::max(maxDepth, ++depth);
    if (slowTicks == 1) {
      const int before = other;
      for (passes = 0; passes < 6; ++passes) {
        loop.Sleep(15);
        loop.DoEvents();
      }
      otherInside = other - before;
    } else {
      slow->SetEnabled(false);
      loop.Quit();
    }
    --depth;
  });
  loop.Run();
  EXPECT_EQ(maxDepth, 1);
  EXPECT_EQ(slowTicks, 2);
  EXPECT_GE(otherInside, 3);
  EXPECT_LE(otherInside, passes + 1);
  if (Exact()) {
    EXPECT_EQ(otherInside, 6);
  }
}

TEST_P(LoopContract, ShortIntervalsRunAtTheMinimumInsideModalLoops) {
  auto& loop = Loop();
  std::vector<std::uint64_t> at;
  auto t = Started(loop, 1, [&] { at.push_back(Elapsed()); });
  EXPECT_EQ(t->Interval(), 1) << "the asked interval is kept";
  const std::uint64_t start = Elapsed();
  EXPECT_TRUE(loop.RunModal([&] { return at.size() == 8; }));
  ASSERT_EQ(at.size(), 8U);
  const double mean = static_cast<double>(at.back() - start) / 8.0;
  EXPECT_GE(mean, 8.0);
  if (Exact()) {
    for (std::size_t i = 0; i < at.size(); ++i) EXPECT_EQ(at[i], 10 * (i + 1));
  }
}

// The system's request to end is heard in a pass of the loop, never inside
// the request itself: it wakes a loop that has nothing due for seconds, and
// a request runs the handler once (requests that come together, such as
// two signals of one kind, may count once); one still pending when the
// handler is cleared is dropped.
TEST_P(LoopContract, EndRequestsWakeTheLoopAndRunTheHandlerOnceEach) {
  auto& loop = Loop();
  const auto& requestEnd = GetParam().requestEnd;
  int calls = 0;
  loop.SetEndRequest([&] {
    if (++calls == 1) loop.Quit();
  });
  requestEnd(loop);
  EXPECT_EQ(calls, 0) << "the request itself runs nothing";
  auto idle = Started(loop, 5000, [] {});
  loop.Run();
  EXPECT_EQ(calls, 1);
  EXPECT_LT(Elapsed(), 5000U) << "woken by the request, not by a timer";

  requestEnd(loop);
  EXPECT_TRUE(loop.RunModal([&] { return calls == 2; })) << "a later request, a later call";
  loop.DoEvents();
  EXPECT_EQ(calls, 2);

  requestEnd(loop);
  loop.SetEndRequest(nullptr);
  loop.DoEvents();
  EXPECT_EQ(calls, 2) << "a request pending when the handler went is dropped";
}

}  // namespace pd::test
