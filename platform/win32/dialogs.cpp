// The system's popup menu and message box. Both run the system's own modal
// loop, which dispatches the thread's other messages (timers) meanwhile.
#include <windows.h>
// <windows.h> names MessageBoxA MessageBox; here MessageBox is the port's.
#undef MessageBox

#include <string>

#include "platform/text.h"
#include "platform/win32/backend.h"

namespace pd::win32 {
namespace {

constexpr const wchar_t* kMenuOwnerClass = L"ProcessDrovak.MenuOwner";

HWND Hwnd(WindowHandle w) { return reinterpret_cast<HWND>(w); }

}  // namespace

Win32Dialogs::~Win32Dialogs() {
  if (menuOwner_ != 0) DestroyWindow(Hwnd(menuOwner_));
}

WindowHandle Win32Dialogs::MenuOwner() {
  if (menuOwner_ != 0 && IsWindow(Hwnd(menuOwner_)) != FALSE) return menuOwner_;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kMenuOwnerClass;
  RegisterClassExW(&wc);  // "already exists" on a second call: fine
  // A top-level window (never shown): a message-only window cannot own a menu.
  menuOwner_ = reinterpret_cast<WindowHandle>(CreateWindowExW(WS_EX_TOOLWINDOW, kMenuOwnerClass, L"", WS_POPUP, 0, 0,
                                                              0, 0, nullptr, nullptr, wc.hInstance, nullptr));
  return menuOwner_;
}

std::optional<int> Win32Dialogs::PopupMenu(WindowHandle owner, std::span<const platform::MenuItem> items,
                                           Point screen) {
  HWND window = owner != 0 && IsWindow(Hwnd(owner)) != FALSE ? Hwnd(owner) : Hwnd(MenuOwner());
  if (window == nullptr) return std::nullopt;
  HMENU menu = CreatePopupMenu();
  if (menu == nullptr) return std::nullopt;
  for (const platform::MenuItem& item : items) {
    if (item.separator) {
      AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
      continue;
    }
    UINT flags = MF_STRING;
    if (item.checked) flags |= MF_CHECKED;
    if (!item.enabled) flags |= MF_GRAYED;
    const std::string caption = text::ToAnsi(item.caption);
    AppendMenuA(menu, flags, static_cast<UINT_PTR>(item.id), caption.c_str());
  }
  // Without the owner in front the menu would not close on a click elsewhere;
  // the WM_NULL afterwards lets a second opening work at once. An owner
  // already in front is left alone: under Wine the window manager would
  // raise it again, over the menu.
  if (GetForegroundWindow() != window) SetForegroundWindow(window);
  const BOOL chosen = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON,
                                     screen.x, screen.y, 0, window, nullptr);
  PostMessageW(window, WM_NULL, 0, 0);
  DestroyMenu(menu);
  return static_cast<int>(chosen);
}

std::optional<int> Win32Dialogs::MessageBox(WindowHandle owner, StringView text, StringView title, unsigned flags) {
  HWND window = owner != 0 && IsWindow(Hwnd(owner)) != FALSE ? Hwnd(owner) : nullptr;
  const std::string ansiText = text::ToAnsi(text);
  const std::string ansiTitle = text::ToAnsi(title);
  const int answer = ::MessageBoxA(window, ansiText.c_str(), ansiTitle.c_str(), flags | MB_SETFOREGROUND);
  if (answer == 0) return std::nullopt;
  // Escape on a box without a Cancel button: "no" for Yes/No, "OK" for OK
  // (Windows answers so itself; Wine answers IDCANCEL).
  if (answer == IDCANCEL && (flags & MB_TYPEMASK) == platform::mb::kYesNo) return platform::mb::kIdNo;
  if (answer == IDCANCEL && (flags & MB_TYPEMASK) == platform::mb::kOk) return platform::mb::kIdOk;
  return answer;
}

}  // namespace pd::win32
