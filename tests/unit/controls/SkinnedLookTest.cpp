// The main window's kinds of skinned controls together on one form, in the
// real font: the tab row of option buttons with the tab skin, a white page
// with push buttons, a toggle, an icon, and two- and three-state check
// boxes. The frame is written to <temp>/SkinnedLook.*.bmp for a look.
#include <gtest/gtest.h>

#include "controls/XP_Button.h"
#include "controls/XP_CheckBox.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "forms/PictureBox.h"
#include "platform/sim/platform.h"
#include "unit/SurfaceTestUtil.h"

namespace pd::controls {
namespace {

constexpr int Px(int pixels) { return pixels * kTwipsPerPixel; }

TEST(SkinnedLook, MainWindowKindsOnAWhitePage) {
  sim::SimPlatform sim;
  forms::ControlHost host{sim};
  forms::Form form{host, u"frmMain", u"Process Drovak"};
  platform::Font verdana;
  verdana.face = u"Verdana";
  form.SetFont(verdana);
  form.Move(0, 0, Px(436), Px(200));

  XP_Button tabs[] = {XP_Button{form, u"tabPage", 0}, XP_Button{form, u"tabPage", 1}, XP_Button{form, u"tabPage", 2}};
  const char16_t* titles[] = {u"Опции", u"Процессы", u"Запреты"};
  const auto tabSkin = sim.resources().LoadPicture(platform::res::kTabSkin, 0);
  for (int i = 0; i < 3; ++i) {
    XP_Button& t = tabs[i];
    t.Move(Px(6 + 82 * i), Px(8), Px(80), Px(22));
    t.SetButtonPicture(tabSkin, 5, 5, 6, 1, true);
    t.SetControlType(2);
    t.SetGroup(1);
    t.SetCaption(titles[i]);
  }
  forms::PictureBox page{form, u"picPage"};
  page.Move(Px(6), Px(29), Px(424), Px(165));
  page.SetBackColor(0xFFFFFF);

  XP_CheckBox autorun{page, u"chkAutoRun"};
  autorun.Move(Px(10), Px(10), Px(100), Px(17));
  autorun.SetCaption(u"Запускать вместе с системой");
  autorun.SetAutoSizeH(true);
  autorun.SetBackColor(0xFFFFFF);
  autorun.SetValue(1);
  XP_CheckBox tips{page, u"chkTip_Kill"};
  tips.Move(Px(10), Px(32), Px(200), Px(17));
  tips.SetCaption(u"Подсказка при закрытии программы (три состояния)");
  tips.SetNumStates(1);
  tips.SetAutoSizeV(true);
  tips.SetBackColor(0xFFFFFF);
  tips.SetValue(2);
  XP_CheckBox off{page, u"chkTip_Block"};
  off.Move(Px(220), Px(10), Px(190), Px(17));
  off.SetCaption(u"Справа, выключен");
  off.SetAligment(1);
  off.SetEnabled(false);
  off.SetBackColor(0xFFFFFF);

  XP_Button add{page, u"cmdList_Add"};
  add.Move(Px(10), Px(90), Px(91), Px(21));
  add.SetCaption(u"Добавить");
  XP_Button kill{page, u"cmdProc_Kill"};
  kill.Move(Px(110), Px(90), Px(110), Px(34));
  kill.SetCaption(u"Завершить процесс");
  kill.SetPicture(sim.resources().LoadPicture(platform::res::kIconSuccess, 16));
  XP_Button toggle{page, u"cmdEnabled"};
  toggle.Move(Px(228), Px(90), Px(80), Px(21));
  toggle.SetCaption(u"Включен");
  toggle.SetControlType(1);
  toggle.SetValue(true);
  XP_Button disabled{page, u"cmdProc_KillFile"};
  disabled.Move(Px(314), Px(90), Px(100), Px(34));
  disabled.SetCaption(u"Удалить файл");
  disabled.SetPicture(sim.resources().LoadPicture(platform::res::kIconRefused, 16));
  disabled.SetEnabled(false);
  XP_Button ok{page, u"cmdOK"};
  ok.Move(Px(320), Px(135), Px(91), Px(21));
  ok.SetCaption(u"OK");

  form.Show();
  ok.SetFocus();
  sim.MouseMove(form.Window(), Point{6 + 10 + 40, 29 + 90 + 10});  // hover over "Добавить"
  tabs[1].SetValue(true);

  EXPECT_EQ(add.LastState(), Look::Move);
  EXPECT_EQ(ok.LastFrame(), 4) << "focused";
  EXPECT_EQ(disabled.LastFrame(), 3);
  EXPECT_EQ(tabs[0].LastFrame(), 0);
  EXPECT_EQ(tabs[1].LastFrame(), 2);
  EXPECT_EQ(tips.LastFrame(), 8);
  EXPECT_EQ(off.LastFrame(), 3);
  EXPECT_GT(autorun.PixelWidth(), 100) << "sized to its caption";
  EXPECT_GT(tips.PixelHeight(), 17) << "two lines high";
  const std::string path = test::DumpSurface(*form.Frame());
  EXPECT_NE(path, "(not written)");
}

}  // namespace
}  // namespace pd::controls
