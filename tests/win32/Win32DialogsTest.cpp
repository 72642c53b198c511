// The system's popup menu and message box under Wine, answered as a user
// would (the mouse for menus, which take no keys under Wine; Return and
// Escape for message boxes) from a timer that keeps firing inside the
// system's modal loop.
#include <gtest/gtest.h>
#include <windows.h>
// <windows.h> names MessageBoxA MessageBox; here MessageBox is the port's.
#undef MessageBox

#include <functional>
#include <string>
#include <vector>

#include "Win32TestUtil.h"
#include "Win32XSession.h"
#include "platform/win32/dialogs.h"
#include "platform/win32/surface.h"
#include "platform/win32/host.h"
#include "platform/win32/loop.h"

namespace pd::win32 {
namespace {

using platform::MenuItem;
namespace mb = platform::mb;

constexpr DWORD kGiveUpMs = 5000;

class Win32DialogsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string why = test::WindowTestsUnavailable();
    if (!why.empty()) GTEST_SKIP() << why;
    owner_ = host_.CreateForm(u"PD dialogs owner");
    host_.SetBounds(owner_, platform_rect_);
    host_.ShowForm(owner_, true);
    ASSERT_TRUE(test::ActivateWindow(Hwnd(owner_), Pump()));
  }
  void TearDown() override {
    if (owner_ != 0) host_.DestroyForm(owner_);
  }
  std::function<void()> Pump() {
    return [this] { loop_.DoEvents(); };
  }
  static HWND Hwnd(WindowHandle w) { return reinterpret_cast<HWND>(w); }

  // Runs show() while a 10 ms timer ticks; the first tick that finds the
  // dialog's window (find) calls act(window) once. A dialog still open
  // kGiveUpMs after that is closed by giveUp(window), so that a test fails
  // instead of hanging.
  void WhileTicking(const std::function<HWND()>& find, const std::function<void(HWND)>& act,
                    const std::function<void(HWND)>& giveUp, const std::function<void()>& show) {
    ticks_ = ticksOpen_ = 0;
    gaveUp_ = false;
    ULONGLONG actedAt = 0;
    auto timer = loop_.CreateTimer([&] {
      ++ticks_;
      HWND window = find();
      if (window == nullptr) return;
      ++ticksOpen_;
      if (actedAt == 0) {
        actedAt = GetTickCount64();
        act(window);
      } else if (!gaveUp_ && GetTickCount64() - actedAt > kGiveUpMs) {
        gaveUp_ = true;
        giveUp(window);
      }
    });
    timer->SetInterval(10);
    timer->SetEnabled(true);
    show();
    timer->SetEnabled(false);
  }

  std::unique_ptr<platform::Graphics> graphics_ = win32::CreateGdiGraphics();
  Win32Host host_{*graphics_};
  Win32Loop loop_;
  Win32Dialogs dialogs_;
  WindowHandle owner_ = 0;
  Rect platform_rect_{300, 200, 700, 500};
  int ticks_ = 0;
  int ticksOpen_ = 0;
  bool gaveUp_ = false;
};

// The open menu's window (Wine and Windows: class #32768).
HWND OpenMenuWindow() {
  HWND menu = FindWindowW(L"#32768", nullptr);
  return menu != nullptr && IsWindowVisible(menu) != FALSE ? menu : nullptr;
}

std::wstring MenuCaption(HMENU menu, UINT index) {
  wchar_t buf[128] = {};
  GetMenuStringW(menu, index, buf, 128, MF_BYPOSITION);
  return buf;
}

TEST_F(Win32DialogsTest, PopupMenuShowsTheItemsAndAnswersTheClickedOne) {
  const std::vector<MenuItem> items{
      {.id = 1, .caption = u"Показать окно"},
      {.separator = true},
      {.id = 2, .caption = u"Автозапуск", .checked = true},
      {.id = 3, .caption = u"Недоступно", .enabled = false},
      {.id = 4, .caption = u"Выход"},
  };
  struct Case {
    const char* what;
    WindowHandle owner;
    int clickIndex;  // -1: a click on the owner form, beside the menu
    int answer;
  };
  const Case cases[] = {
      {"the last item of a form's menu", owner_, 4, 4},
      {"the first item of a menu without owner (the tray's)", 0, 0, 1},
      {"a click beside the menu", owner_, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::wstring> captions;
    std::vector<UINT> states;
    std::optional<int> answer;
    WhileTicking(
        OpenMenuWindow,
        [&](HWND window) {
          auto* menu = reinterpret_cast<HMENU>(SendMessageW(window, MN_GETHMENU, 0, 0));
          for (int i = 0; i < GetMenuItemCount(menu); ++i) {
            captions.push_back(MenuCaption(menu, static_cast<UINT>(i)));
            states.push_back(GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION));
          }
          RECT r{};
          if (c.clickIndex >= 0) GetMenuItemRect(nullptr, menu, static_cast<UINT>(c.clickIndex), &r);
          const int x = c.clickIndex >= 0 ? (r.left + r.right) / 2 : platform_rect_.right - 20;
          const int y = c.clickIndex >= 0 ? (r.top + r.bottom) / 2 : platform_rect_.bottom - 20;
          test::StartUnix("sleep 0.3; " + test::ScreenshotCommand("menu" + std::to_string(c.clickIndex)) +
                          "; xdotool mousemove " +
                          std::to_string(x) + " " + std::to_string(y) + " click 1");
        },
        [](HWND window) { SendMessageW(window, WM_KEYDOWN, VK_ESCAPE, 0); },
        [&] { answer = dialogs_.PopupMenu(c.owner, items, Point{720, 220}); });
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, c.answer);
    EXPECT_FALSE(gaveUp_) << "the click never closed the menu";
    EXPECT_GE(ticksOpen_, 10) << "timers fire while the menu is open";
    const std::vector<std::wstring> shown{L"Показать окно", L"", L"Автозапуск", L"Недоступно", L"Выход"};
    EXPECT_TRUE(captions == shown) << "captions through the ANSI code page";
    ASSERT_EQ(states.size(), 5u);
    EXPECT_NE(states[1] & MF_SEPARATOR, 0u);
    EXPECT_NE(states[2] & MF_CHECKED, 0u);
    EXPECT_NE(states[3] & MF_GRAYED, 0u);
    EXPECT_EQ(states[4] & (MF_CHECKED | MF_GRAYED), 0u);
  }
}

TEST_F(Win32DialogsTest, MessageBoxIsAnsweredWithReturnAndEscape) {
  const String title = u"Подтверждение";
  const String text = u"Завершить процесс «notepad.exe»?";
  struct Case {
    unsigned flags;
    const char* key;
    int answer;
  };
  const Case cases[] = {
      {mb::kYesNo | mb::kIconExclamation, "Return", mb::kIdYes},
      {mb::kYesNo | mb::kDefButton2, "Return", mb::kIdNo},
      {mb::kOk, "Escape", mb::kIdOk},
      {mb::kYesNo, "Escape", mb::kIdNo},
      {mb::kOk | mb::kIconExclamation, "Return", mb::kIdOk},
  };
  const std::wstring wideTitle(title.begin(), title.end());
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.flags) + " " + c.key);
    std::wstring shownTitle, shownText;
    std::optional<int> answer;
    WhileTicking(
        [&]() -> HWND { return FindWindowW(L"#32770", wideTitle.c_str()); },
        [&](HWND box) {
          wchar_t buf[256] = {};
          GetWindowTextW(box, buf, 256);
          shownTitle = buf;
          // The message is the box's only static text with a caption.
          EnumChildWindows(
              box,
              [](HWND child, LPARAM found) -> BOOL {
                wchar_t cls[32] = {}, caption[256] = {};
                GetClassNameW(child, cls, 32);
                GetWindowTextW(child, caption, 256);
                if (lstrcmpiW(cls, L"Static") == 0 && caption[0] != L'\0') {
                  *reinterpret_cast<std::wstring*>(found) = caption;
                  return FALSE;
                }
                return TRUE;
              },
              reinterpret_cast<LPARAM>(&shownText));
          const std::uintptr_t xid = test::XWindowOf(box, [] {}, 2000);
          test::StartUnix("timeout 5 xdotool windowactivate --sync " + std::to_string(xid) + "; " +
                          test::ScreenshotCommand("box" + std::to_string(c.flags)) + "; xdotool key " + c.key);
        },
        [](HWND box) { PostMessageW(box, WM_COMMAND, IDABORT, 0); },
        [&] { answer = dialogs_.MessageBox(owner_, text, title, c.flags); });
    ASSERT_TRUE(answer.has_value());
    EXPECT_EQ(*answer, c.answer);
    EXPECT_FALSE(gaveUp_) << "the key never closed the box";
    EXPECT_GE(ticksOpen_, 3) << "timers fire while the box is open";
    EXPECT_TRUE(shownTitle == wideTitle) << "title through the ANSI code page";
    EXPECT_TRUE(shownText == std::wstring(text.begin(), text.end())) << "text through the ANSI code page";
  }
}

}  // namespace
}  // namespace pd::win32
