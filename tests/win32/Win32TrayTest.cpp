// The tray icon under Wine: Shell_NotifyIconA takes the record (the icon
// shows in Wine's own system tray window, as no X tray runs in the test
// session), a click on it reaches MouseDown/MouseUp, a balloon call is
// taken, and a TaskbarCreated broadcast makes the shell "new".
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "Win32TestUtil.h"
#include "Win32XSession.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/win32/platform.h"
#include "shell/TrayIcon.h"

namespace pd::win32 {
namespace {

constexpr DWORD kWaitMs = 8000;

class Win32TrayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = test::WindowTestsUnavailable();
    if (!why.empty()) GTEST_SKIP() << why;
    icon_.MouseDown.Connect([this](std::int16_t b) { log_.push_back("Down" + std::to_string(b)); });
    icon_.MouseUp.Connect([this](std::int16_t b) { log_.push_back("Up" + std::to_string(b)); });
    icon_.SetIcon(p_.resources().LoadPicture(platform::res::kIconEnabled, 0));
    icon_.SetTipText(u"Process Drovak 1.3");
  }
  std::function<void()> Pump() {
    return [this] { p_.loop().DoEvents(); };
  }
  bool Logged(const std::string& what) const { return std::find(log_.begin(), log_.end(), what) != log_.end(); }

  Win32Platform p_;
  forms::ControlHost host_{p_};
  forms::Form form_{host_, u"frmMain", u"frmMain"};
  shell::TrayIcon icon_{form_};
  std::vector<std::string> log_;
};

TEST_F(Win32TrayTest, IconInWinesTrayTakesAClickAndABalloon) {
  ASSERT_TRUE(p_.tray().ShellPresent()) << "no Progman and no Shell_TrayWnd";
  icon_.AddIcon();
  // The port's own answer for the same record: the shell has our icon.
  platform::NotifyIconRecord r = icon_.Record();
  EXPECT_TRUE(p_.tray().Notify(platform::nim::kModify, r));

  // Wine's tray window shows the icon in its first 20-pixel slot.
  const std::string mark = "/tmp/pd-tray-" + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(test::StartUnix("w=''; for i in $(seq 50); do w=$(xdotool search --name 'Wine System Tray' | head -1); "
                              "[ -n \"$w\" ] && break; sleep 0.1; done; "
                              "[ -n \"$w\" ] && xdotool mousemove --window $w 10 10 click 1; echo $w >" + mark +
                              "; " + test::ScreenshotCommand("wine-tray")));
  EXPECT_TRUE(test::WaitFor([this] { return Logged("Up1"); }, Pump(), kWaitMs))
      << "tray window: '" << test::ReadUnixFile(mark) << "'";
  EXPECT_EQ(log_, (std::vector<std::string>{"Down1", "Up1"}));

  // A balloon: the shell takes the record with the info fields.
  icon_.ShowBallon(u"notepad.exe", u"Было закрыто.", 1);
  r = icon_.Record();
  EXPECT_TRUE(p_.tray().Notify(platform::nim::kModify, r));
  EXPECT_STREQ(r.szInfoTitle, "notepad.exe");
  icon_.RemoveIcon();
  EXPECT_FALSE(p_.tray().Notify(platform::nim::kModify, r)) << "the icon is gone";
}

TEST_F(Win32TrayTest, TaskbarCreatedMakesTheIconComeBack) {
  icon_.SetRestoreOnShellFail(true);
  icon_.AddIcon();
  const std::uint64_t generation = p_.tray().ShellGeneration();
  SendMessageA(reinterpret_cast<HWND>(icon_.hWnd()), RegisterWindowMessageA("TaskbarCreated"), 0, 0);
  EXPECT_EQ(p_.tray().ShellGeneration(), generation + 1);
  // The next restore tick deletes and adds the icon again: the shell has it.
  const std::uint64_t start = GetTickCount64();
  EXPECT_TRUE(test::WaitFor([&] { return GetTickCount64() - start > 300; }, Pump(), kWaitMs));
  platform::NotifyIconRecord r = icon_.Record();
  EXPECT_TRUE(icon_.Added());
  EXPECT_TRUE(p_.tray().Notify(platform::nim::kModify, r));
}

}  // namespace
}  // namespace pd::win32
