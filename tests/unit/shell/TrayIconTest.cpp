#include "shell/TrayIcon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/sim/platform.h"
#include "platform/text.h"

namespace pd::shell {
namespace {

namespace nim = platform::nim;
namespace msg = platform::traymsg;

String Repeat(StringView unit, std::size_t n) {
  String s;
  while (s.size() < n) s += unit;
  s.resize(n);
  return s;
}

template <std::size_t N>
String Field(const char (&field)[N]) {
  return text::Utf8Codec().FromAnsi(std::string_view(field, strnlen(field, N)));
}

class TrayIconTest : public ::testing::Test {
 protected:
  TrayIconTest() {
    tray_.MouseDown.Connect([this](std::int16_t b) { Log("Down", b); });
    tray_.MouseUp.Connect([this](std::int16_t b) { Log("Up", b); });
    tray_.MouseDblClick.Connect([this](std::int16_t b) { Log("Dbl", b); });
    tray_.MouseMove.Connect([this](std::int16_t b) { Log("Move", b); });
    tray_.OnChange.Connect([this] { Log("Change", 0); });
    tray_.OnChangeTip.Connect([this] { Log("Tip", 0); });
    tray_.OnChangeIcon.Connect([this] { Log("Icon", 0); });
  }
  void Log(const char* what, int button) { log_.push_back(std::string(what) + std::to_string(button)); }
  std::vector<std::uint32_t> Messages() const {
    std::vector<std::uint32_t> out;
    for (const auto& c : shell().Calls()) out.push_back(c.message);
    return out;
  }
  sim::SimTray& shell() const { return p_.tray(); }
  const platform::NotifyIconRecord* Shown() const { return shell().Icon(static_cast<std::uint32_t>(tray_.hWnd())); }
  std::shared_ptr<const platform::Picture> Picture(int id) { return p_.resources().LoadPicture(id, 0); }

  mutable sim::SimPlatform p_;
  forms::ControlHost host_{p_};
  forms::Form form_{host_, u"frmMain", u"frmMain"};
  TrayIcon tray_{form_};
  std::vector<std::string> log_;
};

TEST_F(TrayIconTest, AddFillsTheRecordOnceAndCutsTheTip) {
  tray_.SetIcon(Picture(platform::res::kIconEnabled));
  tray_.SetTipText(Repeat(u"Процесс ", 100));
  // Before AddIcon: the setters store and raise their own events, no OnChange
  // and no call to the shell.
  EXPECT_EQ(log_, (std::vector<std::string>{"Icon0", "Tip0"}));
  EXPECT_TRUE(shell().Calls().empty());

  tray_.AddIcon();
  tray_.AddIcon();
  EXPECT_EQ(Messages(), (std::vector<std::uint32_t>{nim::kAdd, nim::kSetVersion}));
  ASSERT_NE(Shown(), nullptr);
  const auto& r = *Shown();
  EXPECT_EQ(r.cbSize, 488U);
  EXPECT_EQ(r.hWnd, tray_.hWnd());
  EXPECT_EQ(r.uID, 1U);
  EXPECT_EQ(r.uFlags, 0x17U);
  EXPECT_EQ(r.uCallbackMessage, 0x200U);
  EXPECT_EQ(r.uTimeout, 0U);
  EXPECT_EQ(shell().PictureOf(r.hIcon), tray_.Icon());
  EXPECT_EQ(Field(r.szTip), Repeat(u"Процесс ", 63));
  EXPECT_TRUE(tray_.Added() && tray_.Wanted());
}

TEST_F(TrayIconTest, BalloonTextsAreCutAtTheirFieldsAndOnlyShownWhileAdded) {
  tray_.ShowBallon(u"early", u"nothing", 1);
  EXPECT_TRUE(shell().Calls().empty());
  tray_.AddIcon();
  struct Case {
    String title, text;
    std::uint32_t flags;
    String shownTitle, shownText;
  };
  const std::vector<Case> cases{
      {u"notepad.exe", u"Было закрыто.", 1, u"notepad.exe", u"Было закрыто."},
      {Repeat(u"Ж", 80), Repeat(u"ab", 300), 2, Repeat(u"Ж", 63), Repeat(u"ab", 255)},
      {Repeat(u"x", 63), Repeat(u"y", 255), 1, Repeat(u"x", 63), Repeat(u"y", 255)},
      {Repeat(u"x", 64), Repeat(u"y", 256), 1, Repeat(u"x", 63), Repeat(u"y", 255)},
  };
  for (const auto& c : cases) {
    tray_.ShowBallon(c.title, c.text, c.flags);
    const auto* b = shell().ShownBalloon();
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->title, c.shownTitle);
    EXPECT_EQ(b->text, c.shownText);
    EXPECT_EQ(b->flags, c.flags);
  }
  // Each balloon replaced the one before; none raised an event.
  EXPECT_EQ(shell().Balloons().size(), cases.size());
  EXPECT_TRUE(log_.empty());
}

TEST_F(TrayIconTest, ChangingIconOrTipWithdrawsTheBalloonAndRaisesOnChange) {
  tray_.SetIcon(Picture(platform::res::kIconEnabled));
  tray_.AddIcon();
  log_.clear();
  tray_.ShowBallon(u"calc.exe", u"Добавлено", 1);
  tray_.SetIcon(Picture(platform::res::kIconSuccess));
  EXPECT_EQ(shell().ShownBalloon(), nullptr);
  EXPECT_EQ(shell().PictureOf(Shown()->hIcon), Picture(platform::res::kIconSuccess));
  tray_.SetTipText(u"Process Drovak 1.3");
  EXPECT_EQ(log_, (std::vector<std::string>{"Change0", "Icon0", "Change0", "Tip0"}));

  // Removing the icon takes its balloon along; afterwards nothing reaches
  // the shell but the delete itself.
  tray_.ShowBallon(u"a", u"b", 2);
  tray_.RemoveIcon();
  EXPECT_EQ(shell().ShownBalloon(), nullptr);
  EXPECT_EQ(shell().IconCount(), 0U);
  const std::size_t calls = shell().Calls().size();
  tray_.ShowBallon(u"a", u"b", 2);
  tray_.ModifyIcon();
  EXPECT_EQ(shell().Calls().size(), calls);
  // RemoveIcon reaches the shell whatever Added is.
  tray_.RemoveIcon();
  EXPECT_EQ(shell().Calls().size(), calls + 1);
  EXPECT_EQ(shell().Calls().back().message, nim::kDelete);
}

TEST_F(TrayIconTest, ReportsDecodeIntoMouseEvents) {
  tray_.AddIcon();
  const std::uint32_t w = static_cast<std::uint32_t>(tray_.hWnd());
  struct Case {
    std::uint32_t code;
    int buttons;
    std::optional<std::string> event;
  };
  const std::vector<Case> cases{
      {msg::kMouseMove, 0, "Move0"},       {msg::kMouseMove, 3, "Move3"},
      {msg::kLButtonDown, 0, "Down1"},     {msg::kLButtonUp, 0, "Up1"},
      {msg::kLButtonDblClk, 0, "Dbl1"},    {msg::kRButtonDown, 0, "Down2"},
      {msg::kRButtonUp, 0, "Up2"},         {msg::kRButtonDblClk, 0, "Dbl2"},
      {msg::kMButtonDown, 4, std::nullopt}, {msg::kMButtonUp, 0, std::nullopt},
      {0x209, 0, std::nullopt},            {0x402, 0, std::nullopt},  // middle double click, a balloon's show
      {0x405, 0, std::nullopt},            {0, 0, std::nullopt},
  };
  for (const auto& c : cases) {
    log_.clear();
    shell().Report(w, c.code, c.buttons);
    EXPECT_EQ(log_, c.event ? std::vector<std::string>{*c.event} : std::vector<std::string>{}) << c.code;
  }
  log_.clear();
  shell().Click(w, platform::button::kRight);
  EXPECT_EQ(log_, (std::vector<std::string>{"Down2", "Up2"}));
}

// The shell goes away and comes back `gone` ms later; the icon is back
// within 100 ms, whether the port tells of the shell's changes (the timer
// then sleeps while nothing happens) or the timer polls (Windows).
TEST(TrayIconRestore, BringsTheIconBackWithin100msOfTheShell) {
  for (const bool watchable : {true, false}) {
    SCOPED_TRACE(watchable ? "watched shell" : "polled shell");
    sim::SimPlatform p;
    p.tray().SetShellWatchable(watchable);
    forms::ControlHost host{p};
    forms::Form form{host, u"frmMain", u"frmMain"};
    TrayIcon tray{form};
    tray.SetTipText(u"Process Drovak 1.3");
    tray.SetRestoreOnShellFail(true);
    tray.AddIcon();
    tray.ShowBallon(u"old", u"balloon", 1);
    const auto shown = [&] { return p.tray().Icon(static_cast<std::uint32_t>(tray.hWnd())); };
    for (const std::uint64_t gone : {1ULL, 50ULL, 99ULL, 100ULL, 250ULL, 1000ULL}) {
      p.loop().Advance(37);  // the restart falls anywhere between two ticks
      p.tray().StopShell();
      p.loop().Advance(gone);
      p.tray().StartShell();
      p.loop().Advance(100);
      ASSERT_NE(shown(), nullptr) << "gone " << gone;
      EXPECT_EQ(Field(shown()->szTip), u"Process Drovak 1.3");
      EXPECT_TRUE(tray.Added() && tray.Wanted());
      EXPECT_EQ(tray.RestoreTimerRunning(), !watchable);
    }
    // An icon put back shows no old balloon.
    EXPECT_EQ(p.tray().ShownBalloon(), nullptr);
  }
}

// A balloon asked for while the shell is away (the program started before
// the panel) shows when the icon comes back, unless the icon changed first.
TEST(TrayIconRestore, ABalloonAskedForWithoutAShellShowsWhenTheIconIsBack) {
  for (const bool iconChanged : {false, true}) {
    sim::SimPlatform p;
    forms::ControlHost host{p};
    forms::Form form{host, u"frmMain", u"frmMain"};
    p.tray().StopShell();
    TrayIcon tray{form};
    tray.SetRestoreOnShellFail(true);
    tray.AddIcon();
    tray.ShowBallon(u"Process Drovak", u"Программа запущена", 1);
    p.loop().Advance(500);
    if (iconChanged) tray.SetIcon(p.resources().LoadPicture(platform::res::kIconDisabled, 0));
    p.tray().StartShell();
    p.loop().Advance(100);
    ASSERT_NE(p.tray().Icon(static_cast<std::uint32_t>(tray.hWnd())), nullptr);
    const auto* shown = p.tray().ShownBalloon();
    if (iconChanged) {
      EXPECT_EQ(shown, nullptr);
    } else {
      ASSERT_NE(shown, nullptr);
      EXPECT_EQ(shown->text, u"Программа запущена");
    }
  }
}

// Where no tray shows the icon and the port can show balloons without it
// (Linux), a balloon goes there at once; NoTray comes when the icon stays
// unshown for kNoTrayMs, not when the tray is back sooner, and once per
// loss.
TEST(TrayIconNoTray, BalloonsShowWithoutTheIconAndNoTrayComesOncePerLoss) {
  sim::SimPlatform p;
  p.tray().SetBalloonsWithoutIcon(true);
  p.tray().StopShell();
  forms::ControlHost host{p};
  forms::Form form{host, u"frmMain", u"frmMain"};
  TrayIcon tray{form};
  int raised = 0;
  tray.NoTray.Connect([&] { ++raised; });
  tray.SetRestoreOnShellFail(true);
  tray.AddIcon();
  EXPECT_FALSE(tray.IconShown());
  tray.ShowBallon(u"notepad.exe", u"Было закрыто.", platform::niif::kWarning);
  ASSERT_NE(p.tray().ShownBalloon(), nullptr);
  EXPECT_TRUE(p.tray().ShownBalloon()->alone);
  EXPECT_EQ(p.tray().ShownBalloon()->flags, platform::niif::kWarning);
  p.loop().Advance(TrayIcon::kNoTrayMs - 1);
  EXPECT_EQ(raised, 0);
  p.loop().Advance(1);
  EXPECT_EQ(raised, 1);
  p.loop().Advance(60'000);
  EXPECT_EQ(raised, 1);

  // The tray comes: the icon shows, its balloons are the icon's again.
  p.tray().StartShell();
  p.loop().Advance(100);
  EXPECT_TRUE(tray.IconShown());
  tray.ShowBallon(u"calc.exe", u"Было заблокировано.", platform::niif::kInfo);
  ASSERT_NE(p.tray().ShownBalloon(), nullptr);
  EXPECT_FALSE(p.tray().ShownBalloon()->alone);

  // It goes for less than kNoTrayMs, then for good.
  for (const std::uint64_t gone : {std::uint64_t{4000}, std::uint64_t{6000}, std::uint64_t{60000}}) {
    p.tray().StopShell();
    p.loop().Advance(gone);
    p.tray().StartShell();
    p.loop().Advance(100);
  }
  EXPECT_EQ(raised, 3) << "not for 4 s; for 6 s and for 60 s, each once";
  tray.RemoveIcon();
  p.tray().StopShell();
  p.loop().Advance(60'000);
  EXPECT_EQ(raised, 3) << "an icon not wanted is not missed";
}

TEST_F(TrayIconTest, WithoutRestoreTheIconStaysGoneUntilTheHostAddsItAgain) {
  tray_.AddIcon();
  shell().StopShell();
  p_.loop().Advance(500);
  shell().StartShell();
  p_.loop().Advance(500);
  EXPECT_EQ(Shown(), nullptr);
  EXPECT_TRUE(tray_.Added());  // nothing told the component
  tray_.RemoveIcon();
  tray_.AddIcon();
  EXPECT_NE(Shown(), nullptr);

  // Switching the timer off again stops the restore.
  tray_.SetRestoreOnShellFail(true);
  tray_.SetRestoreOnShellFail(false);
  EXPECT_FALSE(tray_.RestoreTimerRunning());
}

TEST_F(TrayIconTest, RestoreKeepsWantedWhileTheShellIsGoneAndAddsNothingUnwanted) {
  tray_.SetRestoreOnShellFail(true);
  tray_.AddIcon();
  shell().StopShell();
  p_.loop().Advance(100);
  EXPECT_FALSE(tray_.Added());
  EXPECT_TRUE(tray_.Wanted());
  // The host removes the icon while the shell is gone: it is not put back.
  tray_.RemoveIcon();
  shell().StartShell();
  p_.loop().Advance(1000);
  EXPECT_EQ(shell().IconCount(), 0U);
  // With the shell present and the icon shown, ticks call nothing.
  tray_.AddIcon();
  const std::size_t calls = shell().Calls().size();
  p_.loop().Advance(10'000);
  EXPECT_EQ(shell().Calls().size(), calls);
}

TEST_F(TrayIconTest, StoredPropertiesSizeAndDestruction) {
  sim::SimPlatform p;
  forms::ControlHost host{p};
  forms::Form form{host, u"frmMain", u"frmMain"};
  auto& bag = form.StoredProperties(u"TrayIcon");
  const auto icon = p.resources().LoadPicture(platform::res::kIconDisabled, 0);
  bag.WritePicture(u"Icon", icon);
  bag.WriteString(u"TipText", u"Подсказка", u"");
  bag.WriteBool(u"RestoreOnShellFail", true, false);
  std::uint32_t window = 0;
  {
    TrayIcon t{form};
    EXPECT_EQ(t.Icon(), icon);
    EXPECT_EQ(t.TipText(), u"Подсказка");
    EXPECT_TRUE(t.RestoreOnShellFail());
    EXPECT_FALSE(t.RestoreTimerRunning());  // only a write at run time starts it
    EXPECT_EQ(t.Width(), 450);
    t.Move(0, 0, 3000, 90);
    EXPECT_EQ(t.Width(), 450);
    EXPECT_EQ(t.Height(), 450);

    forms::PropertyBag out;
    t.WriteProperties(out);
    EXPECT_EQ(out.Size(), 3U);
    t.SetTipText(u"");
    t.SetIcon(nullptr);
    t.SetRestoreOnShellFail(false);
    forms::PropertyBag defaults;
    t.WriteProperties(defaults);
    EXPECT_EQ(defaults.Size(), 0U);
    EXPECT_EQ(t.GetSite().ChangedProperties(),
              (std::vector<String>{u"TipText", u"Icon", u"RestoreOnShellFail"}));
    t.AddIcon();
    window = static_cast<std::uint32_t>(t.hWnd());
    EXPECT_NE(p.tray().Icon(window), nullptr);
  }
  EXPECT_EQ(p.tray().IconCount(), 0U);
  p.tray().Report(window, msg::kLButtonDown);  // a late report finds no window
}

}  // namespace
}  // namespace pd::shell
