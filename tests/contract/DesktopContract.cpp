#include "contract/DesktopContract.h"

namespace pd::test {

void ServeUntil(platform::EventLoop& loop, const std::function<bool()>& done, int waitMs) {
  bool late = false;
  auto deadline = loop.CreateTimer([&] { late = true; });
  deadline->SetInterval(waitMs);
  deadline->SetEnabled(true);
  // What the loop does not serve (the compositor's side, another
  // connection) is looked at often.
  auto tick = loop.CreateTimer([] {});
  tick->SetInterval(10);
  tick->SetEnabled(true);
  loop.RunModal([&] { return done() || late; });
}

int DesktopContract::AwaitPresses(int n, int waitMs) {
  ServeUntil(S().Loop(), [&] { return presses_ >= n; }, waitMs);
  return presses_;
}

void DesktopContract::AwaitFocusReported() {
  ServeUntil(S().Loop(), [&] { return S().FocusReported(); }, 2000);
}

TEST_P(DesktopContract, ReportsEachPressWhileBoundAndNothingOnceTakenBack) {
  auto& d = S().Desktop();
  EXPECT_EQ(d.Kind(), GetParam().kind);
  EXPECT_EQ(d.ChordName(), u"") << "nothing bound yet";
  ASSERT_TRUE(d.WatchChord([this] { ++presses_; }));
  EXPECT_TRUE(S().Bound());
  EXPECT_EQ(d.ChordName(), GetParam().chord);
  for (int i = 1; i <= 3; ++i) {
    S().PressChord();
    EXPECT_EQ(AwaitPresses(i), i);
  }
  // Two quick presses are two reports, in one pass of the loop or two.
  S().PressChord();
  S().PressChord();
  EXPECT_EQ(AwaitPresses(5), 5);
  d.UnwatchChord();
  EXPECT_FALSE(S().Bound());
  EXPECT_EQ(d.ChordName(), u"");
  S().PressChord();
  EXPECT_EQ(AwaitPresses(6, 300), 5) << "no report after UnwatchChord";
  ASSERT_TRUE(d.WatchChord([this] { ++presses_; }));
  S().PressChord();
  EXPECT_EQ(AwaitPresses(6), 6) << "bound again";
}

TEST_P(DesktopContract, NamesTheFocusedProcessOrNone) {
  auto& d = S().Desktop();
  ASSERT_TRUE(d.WatchChord([] {}));
  const ProcessId cases[][2] = {
      {4242, 4242}, {0, 0}, {DesktopSession::kNoLocalProcess, 0}, {77, 77}, {1, 1},
  };
  for (const auto& c : cases) {
    S().Focus(c[0]);
    AwaitFocusReported();
    EXPECT_EQ(d.ForegroundProcess(), c[1]) << "focused " << c[0];
  }
  EXPECT_EQ(d.ShellProcess(), S().Compositor());
}

}  // namespace pd::test
