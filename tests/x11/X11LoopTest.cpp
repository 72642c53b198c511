// The Linux event loop without a display (pure timers): the loop contract on
// CLOCK_MONOTONIC, and what only this loop promises.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <array>

#include "contract/LoopContract.h"
#include "platform/x11/loop.h"

namespace pd::x11 {
namespace {

using test::LoopContract;
INSTANTIATE_TEST_SUITE_P(X11, LoopContract,
                         testing::Values(test::LoopBackend{[] { return std::make_unique<X11Loop>(); }, false,
                                                           [](platform::EventLoop&) { kill(getpid(), SIGTERM); }}));

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

// A pipe's read end as a source: counts what the loop hands it.
class PipeSource final : public LoopSource {
 public:
  PipeSource() { EXPECT_EQ(pipe(ends_.data()), 0); }
  ~PipeSource() override {
    close(ends_[0]);
    close(ends_[1]);
  }
  PipeSource(const PipeSource&) = delete;
  PipeSource& operator=(const PipeSource&) = delete;
  bool Prepare(std::vector<Fd>& fds) override {
    fds.push_back(Fd{ends_[0], POLLIN, 0});
    return false;
  }
  void Dispatch(const std::vector<Fd>& fds) override {
    if ((fds.at(0).revents & POLLIN) == 0) return;
    char c = 0;
    if (read(ends_[0], &c, 1) == 1) ++reads;
  }
  void Write() { EXPECT_EQ(write(ends_[1], "x", 1), 1); }
  [[nodiscard]] int ReadEnd() const { return ends_[0]; }
  int reads = 0;

 private:
  std::array<int, 2> ends_{};
};

// The loop keeps its descriptors registered with the kernel between waits;
// a source that ends and one that comes after it on the same descriptor
// number (a file the registration never saw) must be waited on all the same.
TEST(X11Loop, SourcesAreServedAcrossRemovalAndAReusedDescriptorNumber) {
  X11Loop loop;
  auto ticks = loop.CreateTimer([] {});
  ticks->SetInterval(10);
  ticks->SetEnabled(true);
  int number = -1;
  for (int round = 0; round < 3; ++round) {
    PipeSource source;
    if (round > 0) {
      EXPECT_EQ(source.ReadEnd(), number) << "the descriptor number came back";
    }
    number = source.ReadEnd();
    loop.AddSource(&source);
    loop.DoEvents();
    EXPECT_EQ(source.reads, 0);
    source.Write();
    const std::uint64_t until = loop.TickCount() + 2000;
    loop.RunModal([&] { return source.reads == 1 || loop.TickCount() > until; });
    EXPECT_EQ(source.reads, 1) << "round " << round;
    loop.RemoveSource(&source);
  }
}

}  // namespace
}  // namespace pd::x11
