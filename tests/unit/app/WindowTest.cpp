// The main window's layout and life: start-up, the tray menu, close and
// exit, the temporary icons.
#include "unit/app/AppTestUtil.h"

#include "controls/CaptionLayout.h"

namespace pd::app::test {
namespace {

TEST_F(AppTest, ASecondCopyEndsBeforeTouchingAnything) {
  p_.app().SetOtherInstanceRunning(true);
  EXPECT_FALSE(Start());
  EXPECT_TRUE(std::filesystem::is_empty(dir_.Path()));
  EXPECT_EQ(p_.tray().IconCount(), 0U);
  EXPECT_EQ(RunValue(), u"");
}

TEST_F(AppTest, LayoutAndPlacement) {
  ASSERT_TRUE(Start());
  EXPECT_EQ(F().Caption(), u"Process Drovak 1.3");
  EXPECT_EQ(F().Width(), 6540);
  EXPECT_EQ(F().Height(), 6990);
  EXPECT_EQ(F().Left(), 1280 * 15 - 6540 - 300);
  EXPECT_EQ(F().Top(), 1024 * 15 - 6990 - 1200);
  EXPECT_FALSE(F().Visible()) << "start-up ends hidden";
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(F().tabPage[i]->Left(), 75 + 1275 * i);
    EXPECT_EQ(F().picPage[i]->Left(), 90);
    EXPECT_EQ(F().picPage[i]->Top(), 390);
    EXPECT_EQ(F().picPage[i]->BackColor(), 0xFFFFFFU);
    EXPECT_EQ(F().picPage[i]->Visible(), i == 0);
  }
  EXPECT_EQ(F().tabPage[1]->Caption(), u"Процессы");
  EXPECT_EQ(F().shpShape1->BorderColor(), 0xB39B87U);
  EXPECT_EQ(F().Font().face, u"Verdana");
  EXPECT_EQ(F().chkTip_Bad->Font().face, u"Verdana");
  EXPECT_TRUE(F().lblLabel1->Font().bold);
  EXPECT_EQ(F().Processes().lstProc().Font().face, u"MS Sans Serif");
  EXPECT_EQ(F().Processes().cmdProc_Kill().Font().face, u"MS Sans Serif");
  EXPECT_EQ(F().Processes().cmdSaveLog().Font().face, u"Verdana");
  EXPECT_EQ(F().cmdOK->Caption(), u"ОК");
  EXPECT_EQ(F().TrayIcon->TipText(), u"Process Drovak 1.3");
  EXPECT_TRUE(F().TrayIcon->RestoreOnShellFail());

  F().tabPage[2]->SetValue(true);
  F().tabPage_Click(2);
  EXPECT_FALSE(F().picPage[0]->Visible());
  EXPECT_TRUE(F().picPage[2]->Visible());
}

TEST_F(AppTest, EveryButtonCaptionFitsOnOneLineInItsOwnFont) {
  ASSERT_TRUE(Start());
  auto measure = p_.graphics().CreateSurface(1, 1);
  measure->SetFont(platform::Font{.face = u"Verdana"});
  if (measure->TextWidth(u"i") == platform::kFixedAdvance) {
    GTEST_SKIP() << "built without FreeType: text uses the built-in test font";
  }
  auto& page = F().Processes();
  for (const controls::XP_Button* b :
       {F().tabPage[0].get(), F().tabPage[1].get(), F().tabPage[2].get(), F().cmdOK.get(), F().cmdList_Add.get(),
        F().cmdList_Delete.get(), F().cmdList_EnableAll[0].get(), F().cmdList_EnableAll[1].get(),
        &page.cmdProc_Refresh(), &page.cmdProc_AddBlock(), &page.cmdProc_Kill(), &page.cmdProc_KillFile(),
        &page.cmdSaveLog(), F().cmdBlock_Add.get(), F().cmdBlock_Delete.get(), F().cmdBlock_EnableAll[0].get(),
        F().cmdBlock_EnableAll[1].get()}) {
    measure->SetFont(b->Font());
    // The button wraps its caption to its width less 10 pixels and has room
    // for one line only.
    EXPECT_EQ(controls::WrapCaption(*measure, b->Caption(), b->PixelWidth() - 10), b->Caption())
        << text::ToUtf8(b->Caption()) << " in " << text::ToUtf8(b->Font().face) << ": "
        << measure->TextWidth(b->Caption()) << " of " << b->PixelWidth() - 10 << " pixels";
  }
}

TEST_F(AppTest, TrayMenuTogglesShowsAndExits) {
  ASSERT_TRUE(Start());
  const auto trayWindow = static_cast<std::uint32_t>(F().TrayIcon->hWnd());
  p_.dialogs().QueueMenuAnswer(menu::kState);
  p_.tray().Click(trayWindow, platform::button::kRight);
  p_.loop().Advance(10);
  ASSERT_FALSE(p_.dialogs().History().empty());
  EXPECT_EQ(p_.dialogs().History().back().text, u"Включен|-|Основное окно|Выход");
  EXPECT_FALSE(F().Enabled());
  EXPECT_FALSE(F().BlockTimerRunning());
  EXPECT_EQ(F().TrayIconId(), 104);

  p_.dialogs().QueueMenuAnswer(menu::kShow);
  p_.tray().Click(trayWindow, platform::button::kLeft);
  p_.loop().Advance(10);
  EXPECT_TRUE(F().Visible());

  // Closing hides and writes all three files; the program goes on.
  WriteFile("Blocks.txt", "old.exe=1\r\n");
  p_.host().Deliver(platform::HostEvent{
      .kind = platform::HostEventKind::kCloseRequest, .window = F().Window(), .unloadMode = platform::unload::kUser});
  EXPECT_FALSE(F().Visible());
  EXPECT_EQ(ReadFile("Blocks.txt"), "");
  EXPECT_EQ(p_.tray().IconCount(), 1U);

  // "Выход" writes the options and both lists and removes the icon.
  F().lstBlock->AddItem(u"new.exe");
  std::filesystem::remove(dir_.Path() / "Options.cfg");
  p_.dialogs().QueueMenuAnswer(menu::kExit);
  p_.tray().Click(trayWindow, platform::button::kRight);
  p_.loop().Advance(10);
  EXPECT_EQ(ReadFile("Options.cfg").find("Enabled=False\r\n") != std::string::npos, true);
  EXPECT_EQ(ReadFile("Blocks.txt"), "new.exe=0\r\n");
  EXPECT_EQ(p_.tray().IconCount(), 0U);
  EXPECT_FALSE(F().BlockTimerRunning());
}

// The warning of a failed save at "Выход" stays on show until the icon goes:
// kExitWarningMs later, or at a click on the icon.
TEST_F(AppTest, AFailedSaveAtExitIsShownBeforeTheIconGoes) {
  WriteFile("Options.cfg", "Enabled=True\r\n");
  for (const bool click : {false, true}) {
    ASSERT_TRUE(Start());
    F().txtBlock->SetText(u"a.exe");
    F().cmdBlock_Add->Click.Raise();  // a temporary icon whose timer must not withdraw the warning
    p_.files().FailWrites(true);
    F().mnuExit_Click();
    EXPECT_FALSE(F().BlockTimerRunning());
    const auto* shown = p_.tray().ShownBalloon();
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown->title, u"Options.cfg, Exclamations.txt, Blocks.txt");
    EXPECT_EQ(shown->text, msg::kSaveFailedAtExit);
    if (click) {
      p_.tray().Click(static_cast<std::uint32_t>(F().TrayIcon->hWnd()), platform::button::kLeft);
      p_.loop().Advance(10);
      EXPECT_EQ(p_.tray().IconCount(), 0U) << "a click ends it at once";
    } else {
      p_.loop().Advance(frmMain::kExitWarningMs - 1);
      EXPECT_EQ(p_.tray().IconCount(), 1U);
      EXPECT_EQ(p_.tray().ShownBalloon(), shown);
      EXPECT_EQ(F().TrayIconId(), 101) << "the normal icon while the warning shows";
      const std::uint64_t before = p_.loop().Now();
      p_.loop().Run();
      EXPECT_EQ(p_.loop().Now(), before + 1) << "the loop ends with the icon";
      EXPECT_EQ(p_.tray().IconCount(), 0U);
    }
    p_.files().FailWrites(false);
    form_.reset();
  }
}

TEST_F(AppTest, TheTemporaryIconStaysThreeAndAHalfSecondsAfterTheLastEvent) {
  WriteFile("Options.cfg", "Enabled=True\r\n");
  ASSERT_TRUE(Start());
  F().txtBlock->SetText(u"a.exe");
  F().cmdBlock_Add->Click.Raise();
  EXPECT_EQ(F().TrayIconId(), 102);
  p_.loop().Advance(2000);
  F().txtBlock->SetText(u"b.exe");
  F().cmdBlock_Add->Click.Raise();
  p_.loop().Advance(3000);
  EXPECT_EQ(F().TrayIconId(), 102) << "5 s after the first, 3 s after the second";
  p_.loop().Advance(600);
  EXPECT_EQ(F().TrayIconId(), 101);
  EXPECT_FALSE(F().tmrIconChanger().Enabled());
}

// No tray at start-up, or one that goes for good: the balloons still come
// (without the icon) and the user is told once, after the grace period,
// how to reach the window; a tray that comes and goes again adds nothing.
TEST_F(AppTest, WithoutATrayTheUserIsToldOnceHowToReachTheWindow) {
  for (const bool trayAtStart : {false, true}) {
    SCOPED_TRACE(trayAtStart ? "the tray goes" : "no tray at start-up");
    sim::SimPlatform p{dir_.Str()};
    forms::ControlHost host{p};
    WriteFile("Options.cfg", "Enabled=True\r\n");
    p.tray().SetBalloonsWithoutIcon(true);
    if (!trayAtStart) p.tray().StopShell();
    frmMain f{host};
    ASSERT_TRUE(f.Load());
    if (trayAtStart) {
      p.loop().Advance(1000);
      p.tray().StopShell();
    }
    // Lost at the restore timer's tick, 100 ms after the tray went.
    const std::uint64_t grace = shell::TrayIcon::kNoTrayMs + (trayAtStart ? 100 : 0);
    const auto& balloons = p.tray().Balloons();
    p.loop().Advance(grace - 1);
    EXPECT_TRUE(balloons.empty());
    p.loop().Advance(1);
    ASSERT_EQ(balloons.size(), 1U);
    EXPECT_EQ(balloons[0].title, msg::kCaption);
    EXPECT_EQ(balloons[0].text, msg::kNoTray);
    EXPECT_TRUE(balloons[0].alone);

    f.txtBlock->SetText(u"a.exe");
    f.cmdBlock_Add->Click.Raise();
    ASSERT_EQ(balloons.size(), 2U) << "an action is still reported";
    EXPECT_TRUE(balloons[1].alone);

    p.tray().StartShell();
    p.loop().Advance(1000);
    EXPECT_NE(p.tray().Icon(static_cast<std::uint32_t>(f.TrayIcon->hWnd())), nullptr);
    p.tray().StopShell();
    p.loop().Advance(60'000);
    EXPECT_EQ(balloons.size(), 2U) << "told once";
    f.Unload(platform::unload::kCode);
  }
}

}  // namespace
}  // namespace pd::app::test

namespace pd::app::test {
namespace {

TEST_F(AppTest, TheProcessPageRefreshesWhenItBecomesCurrentOrTheWindowShows) {
  ASSERT_TRUE(Start());
  auto& list = F().Processes().lstProc();
  p_.processes().Start(u"C:/apps/one.exe");
  F().tabPage_Click(0);
  EXPECT_EQ(list.ListCount(), 0) << "other pages do not refresh";
  F().tabPage[1]->SetValue(true);
  F().tabPage_Click(1);
  EXPECT_TRUE(F().picPage[1]->Visible());
  const int listed = list.ListCount();
  EXPECT_GT(listed, 0);
  p_.processes().Start(u"C:/apps/two.exe");
  F().mnuShow_Click();
  EXPECT_EQ(list.ListCount(), listed + 1);
}

}  // namespace
}  // namespace pd::app::test
