// The Linux event loop without a display (pure timers): the loop contract on
// CLOCK_MONOTONIC, and what only this loop promises.
#include <gtest/gtest.h>
#include <time.h>

#include "contract/LoopContract.h"
#include "platform/x11/backend.h"

namespace pd::x11 {
namespace {

using test::LoopContract;
INSTANTIATE_TEST_SUITE_P(X11, LoopContract,
                         testing::Values(test::LoopBackend{[] { return std::make_unique<X11Loop>(); }, false}));

TEST(X11Loop, LoopsWithNothingToWaitForReturnAndTickCountIsMonotonicMs) {
  X11Loop loop;
  auto idle = loop.CreateTimer([] {});
  loop.Run();  // no running timer, no display: returns at once
  EXPECT_FALSE(loop.RunModal([] { return false; }));
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
