// Keys and the foreground under Wine. Keys reach Wine only while one of its
// windows has the X focus, so each test shows a window of its own, activates
// it with xdotool on the private X display of scripts/wine-run and presses
// keys with xdotool.
#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "Win32TestUtil.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "hotkeys/HotKeys.h"
#include "platform/win32/platform.h"

namespace pd::win32 {
namespace {

using platform::vk::kInsert;
using test::RunUnix;
using test::WaitFor;

constexpr DWORD kTimeoutMs = 5000;

// A stand-in for the system's ghost lookup: one window is the ghost of another.
WindowHandle gGhost = 0;
WindowHandle gHung = 0;
WindowHandle FakeGhostResolver(WindowHandle w) { return w == gGhost ? gHung : 0; }

class Win32InputTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char display[64] = {};
    if (GetEnvironmentVariableA("DISPLAY", display, sizeof(display)) == 0) {
      GTEST_SKIP() << "no X display: run under scripts/wine-run, which starts a private one";
    }
    if (!test::UnixProgramExists("/usr/bin/xdotool")) GTEST_SKIP() << "xdotool is not installed";
    form_ = NewForm(L"PD input test ");
  }

  void TearDown() override {
    if (pressing_) RunUnix("xdotool keyup Insert", Pump());
    // Let the release reach the X server before the window goes.
    if (pressing_) WaitFor([&] { return (input_.GetAsyncKeyState(kInsert) & 0x8000) == 0; }, Pump(), 2000);
    for (WindowHandle f : forms_) host_.DestroyForm(f);
  }

  WindowHandle NewForm(const std::wstring& prefix) {
    const std::wstring caption = prefix + std::to_wstring(GetCurrentProcessId()) + L"." + std::to_wstring(forms_.size());
    const WindowHandle f = host_.CreateForm(String(caption.begin(), caption.end()));
    EXPECT_NE(f, 0u);
    host_.ShowForm(f, true);
    forms_.push_back(f);
    return f;
  }

  std::function<void()> Pump() {
    return [this] { loop_.DoEvents(); };
  }

  // Gives the window the X focus as a user's click would.
  bool Activate(WindowHandle f) {
    HWND hwnd = reinterpret_cast<HWND>(f);
    // Wine keeps the X window of a top-level window in this property.
    std::uintptr_t xid = 0;
    WaitFor([&] { return (xid = reinterpret_cast<std::uintptr_t>(GetPropA(hwnd, "__wine_x11_whole_window"))) != 0; },
            Pump(), kTimeoutMs);
    if (xid == 0) return false;
    RunUnix("timeout 5 xdotool windowactivate --sync " + std::to_string(xid), Pump());
    return WaitFor([&] { return input_.ForegroundWindow() == f; }, Pump(), kTimeoutMs);
  }

  void KeyDown() {
    pressing_ = true;
    RunUnix("xdotool keydown Insert", Pump());
  }
  void KeyUp() { RunUnix("xdotool keyup Insert", Pump()); }

  std::unique_ptr<platform::Graphics> graphics_ = win32::CreateGdiGraphics();
  Win32Host host_{*graphics_};
  Win32Loop loop_;
  Win32Input input_;
  Win32Processes procs_;
  WindowHandle form_ = 0;
  std::vector<WindowHandle> forms_;
  bool pressing_ = false;
};

TEST_F(Win32InputTest, ForegroundIsTheActivatedWindowOwnedByThisProcess) {
  ASSERT_TRUE(Activate(form_)) << "the window never came to the front";
  const WindowHandle fg = input_.ForegroundWindow();
  EXPECT_EQ(fg, form_);
  EXPECT_EQ(procs_.WindowOwner(fg), GetCurrentProcessId());

  const WindowHandle second = NewForm(L"PD second form ");
  input_.SetForegroundWindow(second);
  EXPECT_TRUE(WaitFor([&] { return input_.ForegroundWindow() == second; }, Pump(), kTimeoutMs));
}

TEST_F(Win32InputTest, GhostWindowInFrontIsResolvedToTheHungWindow) {
  const WindowHandle hung = NewForm(L"PD hung form ");
  ASSERT_TRUE(Activate(form_));
  gGhost = form_;
  gHung = hung;
  Win32Input resolving(&FakeGhostResolver);
  EXPECT_EQ(resolving.ForegroundWindow(), hung);
  gGhost = 0;
  EXPECT_EQ(resolving.ForegroundWindow(), form_) << "a window that is no ghost stays itself";
  // The system's own lookup, where it exists, leaves ordinary windows alone.
  EXPECT_EQ(input_.ForegroundWindow(), form_);
}

// The WIN mask as the system's keyboard sees it: a low-level hook meets
// the unassigned key's press and release between WIN's press and release,
// so that the release of WIN ends a combination and opens no start menu.
std::vector<std::pair<DWORD, bool>>* gSeen = nullptr;  // (vk, released)
LRESULT CALLBACK RecordKeys(int code, WPARAM wParam, LPARAM lParam) {
  if (code == HC_ACTION && gSeen != nullptr) {
    const auto* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    gSeen->emplace_back(key->vkCode, wParam == WM_KEYUP || wParam == WM_SYSKEYUP);
  }
  return CallNextHookEx(nullptr, code, wParam, lParam);
}

TEST_F(Win32InputTest, WinMaskPutsAnUnassignedKeyBetweenWinDownAndUp) {
  std::vector<std::pair<DWORD, bool>> seen;
  gSeen = &seen;
  HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, RecordKeys, GetModuleHandleW(nullptr), 0);
  ASSERT_NE(hook, nullptr);
  INPUT win[2] = {};
  win[0].type = INPUT_KEYBOARD;
  win[0].ki.wVk = VK_LWIN;
  win[1] = win[0];
  win[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(1, &win[0], sizeof(INPUT));
  input_.MaskWinRelease();
  SendInput(1, &win[1], sizeof(INPUT));
  WaitFor([&] { return seen.size() >= 4; }, Pump(), kTimeoutMs);
  UnhookWindowsHookEx(hook);
  gSeen = nullptr;
  const std::vector<std::pair<DWORD, bool>> expected{
      {VK_LWIN, false}, {platform::vk::kUnassigned, false}, {platform::vk::kUnassigned, true}, {VK_LWIN, true}};
  EXPECT_EQ(seen, expected);
}

TEST_F(Win32InputTest, KeyHeldWithXdotoolIsDownUntilReleased) {
  ASSERT_TRUE(Activate(form_));
  KeyDown();
  std::int16_t first = 0;
  ASSERT_TRUE(WaitFor([&] { return ((first = input_.GetAsyncKeyState(kInsert)) & 0x8000) != 0; }, Pump(), kTimeoutMs))
      << "Insert held with xdotool never showed as down";
  // Bit 0 (pressed since the previous query) may or may not come with the
  // first "down" word, but it is never reported twice for one press.
  EXPECT_EQ(static_cast<std::uint16_t>(first) & 0xFFFEu, 0x8000u);
  EXPECT_EQ(static_cast<std::uint16_t>(input_.GetAsyncKeyState(kInsert)), 0x8000u);
  KeyUp();
  EXPECT_TRUE(WaitFor([&] { return (input_.GetAsyncKeyState(kInsert) & 0x8000) == 0; }, Pump(), kTimeoutMs));
  EXPECT_EQ(input_.GetAsyncKeyState(-1), 0);
  EXPECT_EQ(input_.GetAsyncKeyState(256), 0);
}

TEST_F(Win32InputTest, HotKeysOnTheWindowsPlatformSeePressAndRelease) {
  Win32Platform platform;
  forms::ControlHost host(platform);
  forms::Form form(host, u"frmMain", u"frmMain");
  hotkeys::HotKeys keys(form);
  keys.AddHotKey(kInsert, 0, 0);
  int presses = 0, ups = 0;
  keys.HKPress.Connect([&](std::int32_t) { ++presses; });
  keys.HKUp.Connect([&](std::int32_t) { ++ups; });
  ASSERT_TRUE(Activate(form_));
  keys.StartHK();
  KeyDown();
  EXPECT_TRUE(WaitFor([&] { return presses > 0; }, [&] { platform.loop().DoEvents(); }, kTimeoutMs));
  KeyUp();
  EXPECT_TRUE(WaitFor([&] { return ups > 0; }, [&] { platform.loop().DoEvents(); }, kTimeoutMs));
  EXPECT_EQ(presses, 1);
  EXPECT_EQ(ups, 1);
  keys.StopHK();
}

}  // namespace
}  // namespace pd::win32

namespace pd::win32 {
namespace {

// The system's own key state and foreground serve the double press: the
// desktop reports nothing and binds nothing; the shell is the taskbar's
// process.
TEST(Win32Desktop, ThePlatformsOwnHotKeysServe) {
  Win32Desktop desktop;
  EXPECT_EQ(desktop.Kind(), platform::DesktopKind::kPlatform);
  EXPECT_FALSE(desktop.WatchChord([] {}));
  EXPECT_EQ(desktop.ChordName(), u"");
  EXPECT_EQ(desktop.ForegroundProcess(), 0U);
  HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
  DWORD pid = 0;
  if (taskbar != nullptr) GetWindowThreadProcessId(taskbar, &pid);
  EXPECT_EQ(desktop.ShellProcess(), pid);
}

}  // namespace
}  // namespace pd::win32
