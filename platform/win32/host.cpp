// The control host's seed: hidden top-level windows for forms, and sites
// with a property bag for the components on them.
#include <windows.h>

#include <string>

#include "platform/win32/backend.h"

namespace pd::win32 {
namespace {

constexpr const wchar_t* kFormClass = L"ProcessDrovak.Form";

LRESULT CALLBACK FormWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {
    // Closing a form only hides it; the program decides when it goes.
    ShowWindow(hwnd, SW_HIDE);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool RegisterFormClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &FormWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kFormClass;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

}  // namespace

WindowHandle Win32Host::CreateForm(StringView caption) {
  static const bool registered = RegisterFormClass();
  if (!registered) return 0;
  const std::wstring title(caption.begin(), caption.end());
  HWND hwnd = CreateWindowExW(0, kFormClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480,
                              320, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  return reinterpret_cast<WindowHandle>(hwnd);
}

void Win32Host::DestroyForm(WindowHandle form) {
  if (form != 0) DestroyWindow(reinterpret_cast<HWND>(form));
}

void Win32Host::ShowForm(WindowHandle form, bool visible) {
  if (form != 0) ShowWindow(reinterpret_cast<HWND>(form), visible ? SW_SHOW : SW_HIDE);
}

std::unique_ptr<platform::Surface> Win32Host::CreateFormSurface(WindowHandle form, int width, int height) {
  const HWND window = reinterpret_cast<HWND>(form);
  DWORD owner = 0;
  if (!IsWindow(window) || GetWindowThreadProcessId(window, &owner) == 0 || owner != GetCurrentProcessId()) {
    return nullptr;
  }
  if (width <= 0 || height <= 0) return nullptr;
  return CreateWindowSurface(graphics_, form, width, height);
}

std::unique_ptr<platform::ComponentSite> Win32Host::CreateSite(WindowHandle form) {
  return std::make_unique<Win32Site>(form);
}

}  // namespace pd::win32
