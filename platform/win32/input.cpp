// Keys, the foreground window and the pointer through user32.
#include <windows.h>

#include <bit>
#include <cwchar>

#include "platform/win32/input.h"

namespace pd::win32 {
namespace {

using HungWindowFromGhostWindowFn = HWND(WINAPI*)(HWND);

// user32 exports HungWindowFromGhostWindow on systems that draw ghost
// windows; elsewhere (older systems, Wine) there is nothing to resolve.
HungWindowFromGhostWindowFn LookUpHungWindowFromGhostWindow() {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  FARPROC proc = GetProcAddress(user32, "HungWindowFromGhostWindow");
  return proc == nullptr ? nullptr : std::bit_cast<HungWindowFromGhostWindowFn>(proc);
}

HungWindowFromGhostWindowFn SystemResolverFn() {
  static const HungWindowFromGhostWindowFn fn = LookUpHungWindowFromGhostWindow();
  return fn;
}

WindowHandle SystemResolver(WindowHandle ghost) {
  HWND hung = SystemResolverFn()(reinterpret_cast<HWND>(ghost));
  return reinterpret_cast<WindowHandle>(hung);
}

// The desktop, the shell's desktop window and the taskbar are no
// application's window.
bool IsShellWindow(HWND hwnd) {
  if (hwnd == GetDesktopWindow() || hwnd == GetShellWindow()) return true;
  wchar_t cls[32] = {};
  if (GetClassNameW(hwnd, cls, 32) == 0) return false;
  return std::wcscmp(cls, L"Shell_TrayWnd") == 0;
}

}  // namespace

Win32Input::Win32Input() : resolver_(SystemResolverFn() != nullptr ? &SystemResolver : nullptr) {}

std::int16_t Win32Input::GetAsyncKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) return 0;
  return static_cast<std::int16_t>(::GetAsyncKeyState(virtualKey));
}

WindowHandle Win32Input::ForegroundWindow() {
  HWND hwnd = GetForegroundWindow();
  if (hwnd == nullptr) return 0;
  // A hung application's window is replaced in front by the system's ghost
  // window, which belongs to another process: ask for the hung one instead.
  if (resolver_ != nullptr) {
    if (WindowHandle hung = resolver_(reinterpret_cast<WindowHandle>(hwnd)); hung != 0) {
      hwnd = reinterpret_cast<HWND>(hung);
    }
  }
  if (IsShellWindow(hwnd)) return 0;
  return reinterpret_cast<WindowHandle>(hwnd);
}

void Win32Input::SetForegroundWindow(WindowHandle window) {
  ::SetForegroundWindow(reinterpret_cast<HWND>(window));
}

void Win32Input::MaskWinRelease() {
  INPUT keys[2] = {};
  keys[0].type = INPUT_KEYBOARD;
  keys[0].ki.wVk = platform::vk::kUnassigned;
  keys[1] = keys[0];
  keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, keys, sizeof(INPUT));
}

Point Win32Input::CursorPos() {
  POINT p{};
  if (!GetCursorPos(&p)) return {};
  return {static_cast<int>(p.x), static_cast<int>(p.y)};
}

}  // namespace pd::win32
