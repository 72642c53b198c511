// The program's life beyond its own menu: the session's end, a second start
// while it runs, and a window the user minimised.
#include "unit/app/AppTestUtil.h"

namespace pd::app::test {
namespace {

class SessionTest : public AppTest {
 protected:
  void SetUp() override {
    WriteFile("Options.cfg", "ShowOnHotKey=True\r\nEnabled=True\r\n");
    WriteFile("Exclamations.txt", "keep.exe=1\r\n");
    WriteFile("Blocks.txt", "game.exe=1\r\n");
    ASSERT_TRUE(Start());
  }
  // What the program has written: the three files and the Run value.
  [[nodiscard]] std::string Written() {
    return ReadFile("Options.cfg") + "|" + ReadFile("Exclamations.txt") + "|" + ReadFile("Blocks.txt") + "|" +
           text::ToUtf8(RunValue());
  }
};

// The end of the session (on Linux also SIGTERM, SIGHUP, SIGINT, the loss
// of the display) is the system's unload: the options changed since the
// last save are written, so are the lists, the icon goes, the loop ends.
TEST_F(SessionTest, TheSessionsEndSavesTheOptionsRemovesTheIconAndEndsTheLoop) {
  F().mnuState_Click();
  F().chkTip_Good->SetValue(1);
  F().lstBlock->AddItem(u"new.exe");
  p_.loop().RequestEnd();
  p_.loop().Run();  // until the unload quits it
  EXPECT_TRUE(F().Unloaded());
  const std::string options = ReadFile("Options.cfg");
  EXPECT_NE(options.find("Enabled=False\r\n"), std::string::npos) << options;
  EXPECT_NE(options.find("TipNormal=True\r\n"), std::string::npos) << options;
  EXPECT_EQ(ReadFile("Blocks.txt"), "game.exe=1\r\nnew.exe=0\r\n") << "no edit of a list is lost";
  EXPECT_EQ(p_.tray().IconCount(), 0U);
  EXPECT_FALSE(F().BlockTimerRunning());

  // A second request (another signal) finds nothing left to do.
  std::filesystem::remove(dir_.Path() / "Options.cfg");
  p_.loop().RequestEnd();
  p_.loop().DoEvents();
  EXPECT_FALSE(Exists("Options.cfg"));
}

TEST_F(SessionTest, ASecondStartShowsTheFirstsWindowAndTouchesNothingElse) {
  F().mnuState_Click();  // not saved yet: a second start must not save it either
  const std::string before = Written();
  const std::size_t balloons = BalloonCount();
  {
    frmMain second(host_);
    EXPECT_FALSE(second.Load());
  }
  EXPECT_FALSE(F().Visible()) << "shown from the loop, not inside the second start";
  p_.loop().DoEvents();
  EXPECT_TRUE(F().Visible());
  EXPECT_EQ(p_.host().Active(), F().Window());
  EXPECT_EQ(p_.app().ShowRequestsSent(), 1);
  EXPECT_EQ(Written(), before);
  EXPECT_EQ(p_.tray().IconCount(), 1U);
  EXPECT_EQ(BalloonCount(), balloons);

  // The first, ended, gives the token back.
  form_.reset();
  EXPECT_TRUE(Start());
}

// A minimised window stays shown to the form but not on the screen: it
// takes no Ctrl+Alt+click, and showing it ("Основное окно", Ctrl+Alt+Insert,
// a second start) brings it back.
TEST_F(SessionTest, AMinimisedWindowDoesNotCountAsShownAndComesBackWhenShown) {
  F().mnuShow_Click();
  RunInFront(u"C:/apps/calc.exe");
  const WindowHandle calc = p_.input().ForegroundWindow();
  // Minimised, the window gives the foreground to the one before it.
  const auto minimize = [&] {
    p_.host().Minimize(F().Window());
    p_.input().SetForegroundWindow(calc);
  };
  minimize();
  EXPECT_FALSE(F().WindowShown());
  Chord(platform::vk::kLButton);
  EXPECT_EQ(F().lstEXEList->ListCount(), 1) << "a minimised window adds nothing";

  using Show = std::function<void()>;
  const std::vector<std::pair<const char*, Show>> ways = {
      {"menu", [&] { F().mnuShow_Click(); }},
      {"hot key", [&] { Chord(platform::vk::kInsert); }},
      {"second start",
       [&] {
         frmMain second(host_);
         EXPECT_FALSE(second.Load());
         p_.loop().DoEvents();
       }},
  };
  for (const auto& [name, show] : ways) {
    minimize();
    ASSERT_TRUE(p_.host().Minimized(F().Window())) << name;
    show();
    EXPECT_FALSE(p_.host().Minimized(F().Window())) << name;
    EXPECT_TRUE(p_.host().IsVisible(F().Window())) << name;
    EXPECT_TRUE(F().WindowShown()) << name;
  }
  p_.input().SetForegroundWindow(calc);
  Chord(platform::vk::kLButton);
  ASSERT_EQ(F().lstEXEList->ListCount(), 2);
  EXPECT_EQ(F().lstEXEList->List(1), u"calc.exe");
}

}  // namespace
}  // namespace pd::app::test
