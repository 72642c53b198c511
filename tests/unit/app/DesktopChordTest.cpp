// The double press where the desktop reports the chord and names the
// foreground process (Wayland compositors), played by the simulated
// desktop of each kind.
#include "unit/app/AppTestUtil.h"

namespace pd::app::test {
namespace {

using platform::DesktopKind;

class DesktopChordTest : public AppTest {
 protected:
  bool StartOn(DesktopKind kind, bool firstRun = false) {
    if (!firstRun) {
      WriteFile("Options.cfg",
                "ShowOnHotKey=False\r\nEnabled=True\r\nTipNormal=True\r\nTipIgnore=True\r\nTipBlock=True\r\n");
    }
    WriteFile("Exclamations.txt", "keep.exe=1\r\n");
    p_.desktop().SetKind(kind);
    return Start();
  }
  // A program whose window the compositor has focused; the X11 side sees
  // no window of it.
  ProcessId RunFocused(StringView path, sim::SimProcessOptions options = {}) {
    const ProcessId id = p_.processes().Start(path, options);
    p_.desktop().SetForeground(id);
    p_.input().SetForegroundWindow(0);
    return id;
  }
  void DoublePress(std::uint64_t gapMs = 200) {
    ASSERT_TRUE(p_.desktop().PressChord());
    p_.loop().Advance(gapMs);
    ASSERT_TRUE(p_.desktop().PressChord());
    p_.loop().Advance(10);
  }
  [[nodiscard]] bool Running(ProcessId id) const { return p_.processes().IsRunning(id); }
};

TEST_F(DesktopChordTest, EachReportingKindEndsTheFocusedProcessAndRefusesWhatItMustNot) {
  struct Case {
    const char16_t* path;  // nullptr: no window focused
    bool shell;            // the compositor's own process
    bool killed;
    const char16_t* balloon;
  };
  const Case cases[] = {
      {u"/usr/bin/foot", false, true, msg::kKilled},
      {u"/usr/bin/keep.exe", false, false, msg::kKillRefused},
      {u"/usr/bin/sway", true, false, nullptr},
      {nullptr, false, false, nullptr},
  };
  for (DesktopKind kind : {DesktopKind::kSway, DesktopKind::kHyprland, DesktopKind::kKWin}) {
    form_.reset();
    ASSERT_TRUE(StartOn(kind));
    ASSERT_TRUE(F().DesktopWatchesChord());
    SCOPED_TRACE(static_cast<int>(kind));
    for (const Case& c : cases) {
      const ProcessId id = c.path != nullptr ? RunFocused(c.path) : 0;
      if (id == 0) p_.desktop().SetForeground(0);
      p_.desktop().SetShell(c.shell ? id : 0);
      const std::size_t before = BalloonCount();
      DoublePress();
      if (id != 0) {
        EXPECT_EQ(Running(id), !c.killed);
      }
      if (c.balloon == nullptr) {
        EXPECT_EQ(BalloonCount(), before);
        EXPECT_EQ(F().TrayIconId(), 103);
      } else {
        ASSERT_EQ(BalloonCount(), before + 1);
        EXPECT_EQ(p_.tray().Balloons().back().text, c.balloon);
      }
      p_.loop().Advance(3600);
      if (id != 0 && Running(id)) p_.processes().End(id);
    }
    // The program itself, focused through its own window: refused.
    const ProcessId self = RunFocused(p_.app().OwnPath());
    DoublePress();
    EXPECT_TRUE(Running(self));
    F().mnuExit_Click();
    EXPECT_FALSE(p_.desktop().Bound()) << "the binding is taken back at the exit";
  }
}

TEST_F(DesktopChordTest, PressesCountByTheSameRuleAsTheHotKeysAndOnlyOnce) {
  ASSERT_TRUE(StartOn(DesktopKind::kSway));
  const ProcessId id = RunFocused(u"/usr/bin/foot");
  // A lone press is forgotten a second later; the foreground is asked only
  // at the press that kills.
  ASSERT_TRUE(p_.desktop().PressChord());
  p_.loop().Advance(1000);
  EXPECT_EQ(p_.desktop().ForegroundQueries(), 0);
  ASSERT_TRUE(p_.desktop().PressChord());
  EXPECT_TRUE(Running(id));
  p_.loop().Advance(999);
  ASSERT_TRUE(p_.desktop().PressChord());
  EXPECT_FALSE(Running(id));
  EXPECT_EQ(p_.desktop().ForegroundQueries(), 1);
  // The X11 engine's sight of the same chord is not counted again.
  p_.loop().Advance(2000);
  const ProcessId front = RunInFront(u"/usr/bin/xterm");
  DoubleWin();
  EXPECT_TRUE(Running(front));
  // Switched off: the desktop's presses do nothing either.
  const ProcessId next = RunFocused(u"/usr/bin/foot");
  F().mnuState_Click();
  DoublePress();
  EXPECT_TRUE(Running(next));
}

TEST_F(DesktopChordTest, IdentityIsReadAtThePress) {
  ASSERT_TRUE(StartOn(DesktopKind::kHyprland));
  const ProcessId id = RunFocused(u"/usr/bin/foot");
  ASSERT_TRUE(p_.desktop().PressChord());
  // Between the presses the process becomes an excepted program.
  p_.processes().Exec(id, u"/usr/bin/keep.exe");
  ASSERT_TRUE(p_.desktop().PressChord());
  EXPECT_TRUE(Running(id));
  EXPECT_EQ(p_.tray().Balloons().back().text, msg::kKillRefused);
}

TEST_F(DesktopChordTest, WithoutAReportingDesktopTheUserIsToldOnceAndTheHotKeysServe) {
  struct Case {
    DesktopKind kind;
    bool refuses;
    bool firstRun;
    bool told;
  };
  const Case cases[] = {
      {DesktopKind::kPlatform, false, false, false},   {DesktopKind::kUnsupported, false, false, true},
      {DesktopKind::kUnsupported, false, true, true},  {DesktopKind::kSway, true, false, true},
      {DesktopKind::kPlatform, false, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    form_.reset();
    std::filesystem::remove(dir_.Path() / "Options.cfg");
    const std::size_t start = BalloonCount();
    p_.desktop().SetRefusesBinding(c.refuses);
    ASSERT_TRUE(StartOn(c.kind, c.firstRun));
    EXPECT_FALSE(F().DesktopWatchesChord());
    ASSERT_EQ(BalloonCount() - start, c.firstRun || c.told ? 1U : 0U);
    if (BalloonCount() > start) {
      const String text = p_.tray().Balloons().back().text;
      EXPECT_EQ(text.find(msg::kDesktopNoChord) != String::npos, c.told);
    }
    // The hot keys still end what X11 shows in front; no second note.
    const ProcessId id = RunInFront(u"/usr/bin/xterm");
    DoubleWin();
    EXPECT_FALSE(Running(id));
    const auto& all = p_.tray().Balloons();
    for (std::size_t i = start + 1; i < all.size(); ++i) EXPECT_EQ(all[i].text.find(msg::kDesktopNoChord), String::npos);
    F().mnuExit_Click();
  }
}

TEST_F(DesktopChordTest, ADesktopBindingOtherKeysNamesThemInTheIntroduction) {
  ASSERT_TRUE(StartOn(DesktopKind::kKWin, true));
  ASSERT_EQ(BalloonCount(), 1U);
  const String text = p_.tray().Balloons().back().text;
  EXPECT_EQ(text, msg::kIntroKeys + p_.desktop().ChordName() + msg::kIntroKeysEnd);
}

}  // namespace
}  // namespace pd::app::test
