// The hot-key actions and the block timer, driven by the keyboard and the
// virtual clock.
#include <tuple>
#include <utility>

#include "unit/app/AppTestUtil.h"

namespace pd::app::test {
namespace {

class HotKeyTest : public AppTest {
 protected:
  void SetUp() override {
    WriteFile("Options.cfg",
              "ShowOnHotKey=False\r\nEnabled=True\r\nTipNormal=True\r\nTipIgnore=True\r\nTipBlock=True\r\n");
    WriteFile("Exclamations.txt", "keep.exe=1\r\nloose.exe=0\r\n");
    WriteFile("Blocks.txt", "game.exe=1\r\nNOTEPAD2.EXE=1\r\noff.exe=0\r\nProcessDrovak.exe=1\r\n");
    ASSERT_TRUE(Start());
  }
  [[nodiscard]] bool Running(ProcessId id) const { return p_.processes().IsRunning(id); }
};

TEST_F(HotKeyTest, DoubleChordKillsTheForegroundUnlessProtected) {
  struct Case {
    const char16_t* path;
    sim::SimProcessOptions options;
    bool killed;
    const char16_t* balloon;  // nullptr: none
    int icon;
  };
  const Case cases[] = {
      {u"C:/apps/notepad.exe", {}, true, msg::kKilled, 102},
      {u"C:/apps/keep.exe", {}, false, msg::kKillRefused, 103},
      {u"C:/apps/loose.exe", {}, true, msg::kKilled, 102},
      {u"C:/Windows/Explorer.EXE", {}, false, nullptr, 103},
      {u"C:/apps/stuck.exe", {.refusesTermination = true}, false, msg::kKillFailed, 103},
  };
  for (const Case& c : cases) {
    const ProcessId id = RunInFront(c.path, c.options);
    const std::size_t before = BalloonCount();
    const int masks = p_.input().WinMasks();
    DoubleWin();
    EXPECT_EQ(p_.input().WinMasks(), masks + 2) << "each press keeps its WIN release from the start menu";
    EXPECT_EQ(Running(id), !c.killed) << text::ToUtf8(c.path);
    if (c.balloon == nullptr) {
      EXPECT_EQ(BalloonCount(), before) << text::ToUtf8(c.path);
    } else {
      ASSERT_EQ(BalloonCount(), before + 1) << text::ToUtf8(c.path);
      EXPECT_EQ(p_.tray().Balloons().back().text, c.balloon) << text::ToUtf8(c.path);
      EXPECT_EQ(p_.tray().Balloons().back().title, String(c.path).substr(String(c.path).rfind(u'/') + 1));
    }
    EXPECT_EQ(F().TrayIconId(), c.icon) << text::ToUtf8(c.path);
    p_.loop().Advance(3600);
    EXPECT_EQ(F().TrayIconId(), 101) << "the normal icon returns";
    p_.processes().End(id);
  }
}

TEST_F(HotKeyTest, NothingInFrontShowsTheRefusalIconWithoutABalloon) {
  p_.input().SetForegroundWindow(0);
  const std::size_t before = BalloonCount();
  DoubleWin();
  EXPECT_EQ(F().TrayIconId(), 103);
  EXPECT_EQ(BalloonCount(), before);
}

TEST_F(HotKeyTest, TwoPressesWithinASecondAlwaysCountWhereverTheyFall) {
  // Presses 240 ms apart, the first at every phase of a second.
  for (int offset = 0; offset < 1000; offset += 100) {
    const ProcessId id = RunInFront(u"C:/apps/notepad.exe");
    p_.loop().Advance(static_cast<std::uint64_t>(offset));
    Chord(platform::vk::kLWin);
    p_.loop().Advance(180);
    Chord(platform::vk::kLWin);
    EXPECT_FALSE(Running(id)) << "first press at +" << offset;
    p_.loop().Advance(1500);
  }
  // A lone press is forgotten a second later.
  const ProcessId id = RunInFront(u"C:/apps/notepad.exe");
  Chord(platform::vk::kLWin);
  p_.loop().Advance(1000);
  Chord(platform::vk::kLWin);
  EXPECT_TRUE(Running(id));
  EXPECT_EQ(F().PressCount(), 1);
  // A third press within the second kills again.
  Chord(platform::vk::kLWin);
  EXPECT_FALSE(Running(id));
  const ProcessId next = RunInFront(u"C:/apps/other.exe");
  Chord(platform::vk::kLWin);
  EXPECT_FALSE(Running(next));
}

TEST_F(HotKeyTest, AddToExceptionsAndShowOnlyWhenAllowed) {
  const ProcessId calc = RunInFront(u"C:/apps/calc.exe");
  Chord(platform::vk::kLButton);
  EXPECT_EQ(F().lstEXEList->ListCount(), 2) << "hidden window: nothing";
  Chord(platform::vk::kInsert);
  EXPECT_FALSE(F().Visible()) << "ShowOnHotKey off";

  F().chkHKShow->SetValue(1);
  Chord(platform::vk::kInsert);
  EXPECT_TRUE(F().Visible());
  p_.input().SetForegroundWindow(p_.processes().OpenWindow(calc));
  Chord(platform::vk::kLButton);
  ASSERT_EQ(F().lstEXEList->ListCount(), 3);
  EXPECT_EQ(F().lstEXEList->List(2), u"calc.exe");
  EXPECT_TRUE(F().lstEXEList->ListChecked(2));
  EXPECT_EQ(LastBalloon(), String(u"calc.exe: ") + msg::kAddedException);

  RunInFront(u"C:/apps/game.exe", {.refusesTermination = true});
  Chord(platform::vk::kLButton);
  EXPECT_EQ(F().lstEXEList->ListCount(), 3);
  EXPECT_EQ(p_.tray().Balloons().back().text, msg::kInBlocks);
}

TEST_F(HotKeyTest, DisabledNothingWorks) {
  F().mnuState_Click();
  const ProcessId id = RunInFront(u"C:/apps/notepad.exe");
  const ProcessId game = p_.processes().Start(u"C:/games/game.exe");
  DoubleWin();
  p_.loop().Advance(100);
  EXPECT_TRUE(Running(id));
  EXPECT_TRUE(Running(game));
}

TEST_F(HotKeyTest, BlockTimerEndsBlockedProgramsButNeverItself) {
  struct Case {
    const char16_t* path;
    bool killed;
  };
  for (const Case c :
       {Case{u"D:/games/game.exe", true}, Case{u"C:/apps/notepad2.exe", true}, Case{u"C:/apps/off.exe", false}}) {
    const ProcessId id = p_.processes().Start(c.path);
    const std::size_t before = BalloonCount();
    p_.loop().Advance(30);
    EXPECT_EQ(Running(id), !c.killed) << text::ToUtf8(c.path);
    EXPECT_EQ(BalloonCount(), before + (c.killed ? 1 : 0)) << "reported once";
    if (c.killed) {
      EXPECT_EQ(p_.tray().Balloons().back().text, msg::kBlocked);
      EXPECT_EQ(F().TrayIconId(), 103);
    }
  }
  const ProcessId own = p_.processes().Start(p_.app().OwnPath());
  const ProcessId copy = p_.processes().Start(u"E:/copy/ProcessDrovak.exe");
  p_.loop().Advance(30);
  EXPECT_TRUE(Running(own));
  EXPECT_FALSE(Running(copy));
}

TEST_F(HotKeyTest, ARefusingBlockedProcessIsReportedOnceAsAFailure) {
  const ProcessId id = p_.processes().Start(u"D:/games/game.exe", {.refusesTermination = true});
  const std::size_t before = BalloonCount();
  p_.loop().Advance(5000);
  EXPECT_TRUE(Running(id));
  ASSERT_EQ(BalloonCount(), before + 1);
  EXPECT_EQ(p_.tray().Balloons().back().text, msg::kBlockFailed);
  // A new instance of it counts anew.
  p_.processes().End(id);
  p_.processes().Start(u"D:/games/game.exe");
  p_.loop().Advance(30);
  EXPECT_EQ(p_.tray().Balloons().back().text, msg::kBlocked);
}

// The tick walks only when it could find something new: a start, an exec,
// or a change of the switched-on names. A process it ended that has yet to
// go costs no walk.
TEST_F(HotKeyTest, TheBlockTickWalksOnlyOnSomethingNew) {
  auto& procs = p_.processes();
  for (int i = 0; i < 200; ++i) procs.Start(u"C:/apps/idle" + text::FromUtf8(std::to_string(i)) + u".exe");
  p_.loop().Advance(5000);
  const auto during = [&](std::uint64_t ms) {
    const std::size_t walks = F().BlockWalks();
    const std::size_t visits = procs.VisitCount();
    p_.loop().Advance(ms);
    return std::pair{F().BlockWalks() - walks, procs.VisitCount() - visits};
  };
  EXPECT_EQ(during(1000), std::pair(std::size_t{0}, std::size_t{0})) << "nothing new: no walk";
  // A start or an exec noticed late costs one walk, of that process alone.
  const ProcessId harmless = procs.Start(u"C:/apps/harmless.exe");
  EXPECT_EQ(during(1000), std::pair(std::size_t{1}, std::size_t{1}));
  procs.ExecUnmarked(harmless, u"C:/apps/harmless2.exe");
  EXPECT_EQ(during(1000), std::pair(std::size_t{1}, std::size_t{1}));
  const ProcessId game = procs.Start(u"D:/games/game.exe", {.exitDelayMs = 300});
  EXPECT_EQ(during(1000), std::pair(std::size_t{1}, std::size_t{1})) << "its end is waited for without walks";
  EXPECT_FALSE(Running(game));
  EXPECT_EQ(p_.tray().Balloons().back().text, msg::kBlocked);

  const ProcessId off = procs.Start(u"C:/apps/off.exe");
  p_.loop().Advance(1000);
  EXPECT_TRUE(Running(off));
  F().lstBlock->SetListChecked(2, true);  // switched on: found without a new start
  const std::size_t seen = procs.VisitCount();
  p_.loop().Advance(20);
  EXPECT_FALSE(Running(off));
  EXPECT_GE(procs.VisitCount() - seen, 201U) << "a new name: every process looked at";
}

// A blocked process is ended even when another walk (the process list, a
// hot key) has listed it first.
TEST_F(HotKeyTest, ABlockedStartIsEndedThoughAnotherWalkListedItFirst) {
  auto& procs = p_.processes();
  for (const bool walkedBefore : {false, true}) {
    p_.loop().Advance(5000);
    const ProcessId game = procs.Start(u"D:/games/game.exe");
    if (walkedBefore) procs.Walk([](const platform::ProcessEntry&) { return true; });
    const std::size_t before = BalloonCount();
    p_.loop().Advance(30);
    EXPECT_FALSE(Running(game)) << walkedBefore;
    ASSERT_EQ(BalloonCount(), before + 1) << walkedBefore;
    EXPECT_EQ(p_.tray().Balloons().back().text, msg::kBlocked);
  }
}

TEST_F(HotKeyTest, WithNoEntryOnTheTickWalksNothing) {
  F().cmdBlock_EnableAll[1]->Click.Raise();
  const std::size_t walks = F().BlockWalks();
  const std::size_t simWalks = p_.processes().WalkCount();
  p_.loop().Advance(1000);
  EXPECT_EQ(F().BlockWalks(), walks);
  EXPECT_EQ(p_.processes().WalkCount(), simWalks);
}

// Enabled with no entry on, the program has nothing to watch: no timer
// wakes it until a key moves or an entry is switched on, and the double
// press still ends the foreground application at once.
TEST_F(HotKeyTest, NothingToWatchNoWakeUpYetTheChordAndTheBlockListWork) {
  F().cmdBlock_EnableAll[1]->Click.Raise();
  p_.loop().Advance(10'000);  // the start-up's own timers (the tray's, the icon's) run out
  const int idle = p_.loop().Wakeups();
  p_.loop().Advance(60'000);
  EXPECT_EQ(p_.loop().Wakeups(), idle);
  EXPECT_FALSE(F().BlockTimerRunning());

  const ProcessId id = RunInFront(u"C:/apps/notepad.exe");
  DoubleWin();
  EXPECT_FALSE(Running(id));
  p_.loop().Advance(10'000);
  const int afterChord = p_.loop().Wakeups();
  p_.loop().Advance(60'000);
  EXPECT_EQ(p_.loop().Wakeups(), afterChord) << "resting again once the keys are up and the count is reset";

  const ProcessId game = p_.processes().Start(u"D:/games/game.exe");
  F().lstBlock->SetListChecked(0, true);
  EXPECT_TRUE(F().BlockTimerRunning());
  p_.loop().Advance(20);
  EXPECT_FALSE(Running(game));
  F().lstBlock->SetListChecked(0, false);
  p_.loop().Advance(20);
  EXPECT_FALSE(F().BlockTimerRunning()) << "no entry on: the timer stops itself";
}

}  // namespace
}  // namespace pd::app::test
