// Forms as top-level windows; what happens to them goes to the sink.
#include <windows.h>

#include <string>

#include "platform/win32/backend.h"

namespace pd::win32 {
namespace {

constexpr const wchar_t* kFormClass = L"ProcessDrovak.Form";

platform::HostEventSink* gSink = nullptr;

void Report(const platform::HostEvent& event) {
  if (gSink != nullptr) gSink->OnHostEvent(event);
}

LRESULT CALLBACK FormWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_CLOSE) {
    // The close button asks; the control host decides.
    Report(platform::HostEvent{.kind = platform::HostEventKind::kCloseRequest,
                               .window = reinterpret_cast<WindowHandle>(hwnd),
                               .unloadMode = platform::unload::kUser});
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

bool RegisterFormClass() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &FormWindowProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hIcon = static_cast<HICON>(LoadImageW(wc.hInstance, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
  wc.hIconSm = static_cast<HICON>(LoadImageW(wc.hInstance, MAKEINTRESOURCEW(1), IMAGE_ICON, 16, 16, 0));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  wc.lpszClassName = kFormClass;
  return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HWND Hwnd(WindowHandle form) { return reinterpret_cast<HWND>(form); }

}  // namespace

void Win32Host::SetEventSink(platform::HostEventSink* sink) { gSink = sink; }

WindowHandle Win32Host::CreateForm(StringView caption, platform::WindowKind /*kind*/, WindowHandle /*owner*/) {
  static const bool registered = RegisterFormClass();
  if (!registered) return 0;
  const std::wstring title(caption.begin(), caption.end());
  HWND hwnd = CreateWindowExW(0, kFormClass, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 480,
                              320, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  return reinterpret_cast<WindowHandle>(hwnd);
}

void Win32Host::DestroyForm(WindowHandle form) {
  if (IsForm(form)) DestroyWindow(Hwnd(form));
}

void Win32Host::SetCaption(WindowHandle form, StringView caption) {
  if (!IsForm(form)) return;
  const std::wstring title(caption.begin(), caption.end());
  SetWindowTextW(Hwnd(form), title.c_str());
}

void Win32Host::SetBounds(WindowHandle form, const Rect& r) {
  if (!IsForm(form)) return;
  RECT outer{r.left, r.top, r.right, r.bottom};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(Hwnd(form), GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(Hwnd(form), GWL_EXSTYLE)));
  MoveWindow(Hwnd(form), outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top, TRUE);
}

Rect Win32Host::Bounds(WindowHandle form) {
  if (!IsForm(form)) return Rect{};
  RECT client{};
  GetClientRect(Hwnd(form), &client);
  POINT origin{0, 0};
  ClientToScreen(Hwnd(form), &origin);
  return Rect{origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
}

void Win32Host::ShowForm(WindowHandle form, bool visible) {
  if (IsForm(form)) ShowWindow(Hwnd(form), visible ? SW_SHOW : SW_HIDE);
}

bool Win32Host::IsVisible(WindowHandle form) { return IsForm(form) && IsWindowVisible(Hwnd(form)) != FALSE; }

bool Win32Host::IsForm(WindowHandle form) {
  const HWND window = Hwnd(form);
  DWORD owner = 0;
  return form != 0 && IsWindow(window) && GetWindowThreadProcessId(window, &owner) != 0 &&
         owner == GetCurrentProcessId();
}

std::unique_ptr<platform::Surface> Win32Host::CreateFormSurface(WindowHandle form, int width, int height) {
  if (!IsForm(form) || width <= 0 || height <= 0) return nullptr;
  return CreateWindowSurface(graphics_, form, width, height);
}

void Win32Host::SetCapture(WindowHandle form) {
  if (IsForm(form)) ::SetCapture(Hwnd(form));
}

void Win32Host::ReleaseCapture() { ::ReleaseCapture(); }

WindowHandle Win32Host::Capture() { return reinterpret_cast<WindowHandle>(GetCapture()); }

Rect Win32Host::ScreenRect() { return Rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

Rect Win32Host::WorkArea() {
  RECT r{};
  if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0) == 0) return ScreenRect();
  return Rect{r.left, r.top, r.right, r.bottom};
}

String Win32Host::ClipboardText() { return String(); }

void Win32Host::SetClipboardText(StringView /*text*/) {}

}  // namespace pd::win32
