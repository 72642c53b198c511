// The contract of the event loop port, run unchanged on every backend: the
// simulation (virtual clock, timings checked to the millisecond), the Linux
// loop and the Windows loop (real clocks: only orders and lower bounds).
//
// Each test program instantiates it for its backend:
//   INSTANTIATE_TEST_SUITE_P(Sim, LoopContract, testing::Values(test::LoopBackend{
//       [] { return std::make_unique<sim::SimLoop>(); }, true}));
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>

#include "platform/loop.h"

namespace pd::test {

struct LoopBackend {
  std::function<std::unique_ptr<platform::EventLoop>()> make;
  // A virtual clock that moves only when the loop waits: exact timings hold.
  bool exactClock = false;
  // The system asks the program to end, as it does (the simulation's
  // request, SIGTERM to the process, WM_CLOSE posted to the loop's window),
  // without waiting for the handler.
  std::function<void(platform::EventLoop&)> requestEnd;

  friend void PrintTo(const LoopBackend& b, std::ostream* os) { *os << (b.exactClock ? "virtual" : "real") << " clock"; }
};

class LoopContract : public testing::TestWithParam<LoopBackend> {
 protected:
  void SetUp() override;
  void TearDown() override;

  platform::EventLoop& Loop() { return *loop_; }
  [[nodiscard]] bool Exact() const { return GetParam().exactClock; }
  // Milliseconds since the test began, on the loop's clock.
  [[nodiscard]] std::uint64_t Elapsed() { return loop_->TickCount() - start_; }

 private:
  std::unique_ptr<platform::EventLoop> loop_;
  // Ends Run (and every loop in it) after 10 s, so that a broken loop fails
  // instead of hanging.
  std::unique_ptr<platform::Timer> watchdog_;
  std::uint64_t start_ = 0;
};

}  // namespace pd::test
