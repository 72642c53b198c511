// Forms as top-level windows of a Unicode window class; what happens to them
// goes to the host's sink, and the window procedure decides nothing itself.
//
// Every form is owned by a window: the one named at creation, else the host's
// hidden owner window. An owned window has no task-list entry and keeps the
// ordinary caption and frame (WS_EX_TOOLWINDOW would give it the small tool
// caption). The host is found from a window through GWLP_USERDATA.
#include <windows.h>

#include <string>

#include "platform/win32/host.h"
#include "platform/win32/surface.h"
#include "platform/win32/window_object.h"

namespace pd::win32 {

using platform::HostEvent;
using platform::HostEventKind;
using platform::WindowKind;

// The window procedure of the forms: hands each message to the host whose
// pointer the window keeps.
struct FormProcedure {
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* host = WindowObject<Win32Host>(hwnd, msg, lParam);
    if (host == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_NCDESTROY) {
      host->forms_.erase(reinterpret_cast<WindowHandle>(hwnd));
      SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
      return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    return host->OnMessage(reinterpret_cast<WindowHandle>(hwnd), msg, wParam, lParam);
  }
};

namespace {

constexpr const wchar_t* kFormClass = L"ProcessDrovak.Form";
constexpr const wchar_t* kOwnerClass = L"ProcessDrovak.Owner";
constexpr int kClipboardTries = 10;
constexpr DWORD kClipboardRetryMs = 10;

HWND Hwnd(WindowHandle form) { return reinterpret_cast<HWND>(form); }
WindowHandle Handle(HWND hwnd) { return reinterpret_cast<WindowHandle>(hwnd); }

// The W registration makes WM_CHAR carry UTF-16 whatever the caller posted.
// CS_DBLCLKS turns a second quick press into WM_xBUTTONDBLCLK.
bool RegisterClasses() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = &FormProcedure::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hIcon = static_cast<HICON>(LoadImageW(wc.hInstance, MAKEINTRESOURCEW(1), IMAGE_ICON, 32, 32, 0));
  wc.hIconSm = static_cast<HICON>(LoadImageW(wc.hInstance, MAKEINTRESOURCEW(1), IMAGE_ICON, 16, 16, 0));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = nullptr;  // the frame covers the whole client area
  wc.lpszClassName = kFormClass;
  if (RegisterClassExW(&wc) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return false;
  WNDCLASSEXW owner{};
  owner.cbSize = sizeof(owner);
  owner.lpfnWndProc = &DefWindowProcW;
  owner.hInstance = wc.hInstance;
  owner.lpszClassName = kOwnerClass;
  return RegisterClassExW(&owner) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

struct Styles {
  DWORD style;
  DWORD exStyle;
};

Styles StylesOf(WindowKind kind) {
  switch (kind) {
    case WindowKind::Dialog:
      return {WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME};
    case WindowKind::Popup:
      return {WS_POPUP, WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE};
    case WindowKind::Form:
      break;
  }
  return {WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0};
}

// The window rectangle whose client area is r.
RECT OuterRect(HWND hwnd, const Rect& r) {
  RECT outer{r.left, r.top, r.right, r.bottom};
  AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_EXSTYLE)));
  return outer;
}

std::wstring Wide(StringView s) { return std::wstring(s.begin(), s.end()); }

int MouseShift(WPARAM wParam) {
  int shift = 0;
  if ((wParam & MK_SHIFT) != 0) shift |= platform::shift::kShift;
  if ((wParam & MK_CONTROL) != 0) shift |= platform::shift::kCtrl;
  if (GetKeyState(VK_MENU) < 0) shift |= platform::shift::kAlt;
  return shift;
}

int KeyShift() {
  int shift = 0;
  if (GetKeyState(VK_SHIFT) < 0) shift |= platform::shift::kShift;
  if (GetKeyState(VK_CONTROL) < 0) shift |= platform::shift::kCtrl;
  if (GetKeyState(VK_MENU) < 0) shift |= platform::shift::kAlt;
  return shift;
}

int HeldButtons(WPARAM wParam) {
  int held = 0;
  if ((wParam & MK_LBUTTON) != 0) held |= platform::button::kLeft;
  if ((wParam & MK_RBUTTON) != 0) held |= platform::button::kRight;
  if ((wParam & MK_MBUTTON) != 0) held |= platform::button::kMiddle;
  return held;
}

// Client position of a mouse message; negative outside the window (capture).
Point MousePos(LPARAM lParam) {
  return Point{static_cast<short>(LOWORD(static_cast<DWORD>(lParam))),
               static_cast<short>(HIWORD(static_cast<DWORD>(lParam)))};
}

// The button of a press, release or double click; 0 for other messages.
int ButtonOf(UINT msg) {
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
      return platform::button::kLeft;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
      return platform::button::kRight;
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
      return platform::button::kMiddle;
    default:
      return 0;
  }
}

bool OpenClipboardRetrying(HWND owner) {
  // Another program may hold the clipboard open for a moment.
  for (int i = 0; i < kClipboardTries; ++i) {
    if (OpenClipboard(owner) != FALSE) return true;
    ::Sleep(kClipboardRetryMs);
  }
  return false;
}

}  // namespace

Win32Host::~Win32Host() {
  // No window may outlive the host its procedure points to.
  const auto forms = std::move(forms_);
  forms_.clear();
  for (const auto& [form, state] : forms) {
    if (IsWindow(Hwnd(form)) != FALSE) DestroyWindow(Hwnd(form));
  }
  if (owner_ != 0) DestroyWindow(Hwnd(owner_));
}

void Win32Host::SetEventSink(platform::HostEventSink* sink) { sink_ = sink; }

WindowHandle Win32Host::OwnerWindow() {
  if (owner_ == 0 || IsWindow(Hwnd(owner_)) == FALSE) {
    owner_ = Handle(CreateWindowExW(0, kOwnerClass, L"ProcessDrovak", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                    GetModuleHandleW(nullptr), nullptr));
  }
  return owner_;
}

WindowHandle Win32Host::CreateForm(StringView caption, WindowKind kind, WindowHandle owner) {
  static const bool registered = RegisterClasses();
  if (!registered) return 0;
  const WindowHandle ownerWindow = IsForm(owner) ? owner : OwnerWindow();
  const Styles styles = StylesOf(kind);
  RECT outer{0, 0, 100, 100};
  AdjustWindowRectEx(&outer, styles.style, FALSE, styles.exStyle);
  HWND hwnd = CreateWindowExW(styles.exStyle, kFormClass, Wide(caption).c_str(), styles.style, outer.left, outer.top,
                              outer.right - outer.left, outer.bottom - outer.top, Hwnd(ownerWindow), nullptr,
                              GetModuleHandleW(nullptr), this);
  if (hwnd == nullptr) return 0;
  RECT client{};
  GetClientRect(hwnd, &client);
  // Reported from here on: nothing of the creation itself reaches the sink.
  forms_[Handle(hwnd)] = Form{.kind = kind, .width = client.right, .height = client.bottom};
  return Handle(hwnd);
}

void Win32Host::DestroyForm(WindowHandle form) {
  if (!IsForm(form)) return;
  forms_.erase(form);  // nothing more is reported, not even a lost capture
  DestroyWindow(Hwnd(form));
}

void Win32Host::SetCaption(WindowHandle form, StringView caption) {
  if (IsForm(form)) SetWindowTextW(Hwnd(form), Wide(caption).c_str());
}

void Win32Host::SetBounds(WindowHandle form, const Rect& r) {
  if (!IsForm(form)) return;
  const RECT outer = OuterRect(Hwnd(form), r);
  SetWindowPos(Hwnd(form), nullptr, outer.left, outer.top, outer.right - outer.left, outer.bottom - outer.top,
               SWP_NOZORDER | SWP_NOACTIVATE);
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
  auto it = forms_.find(form);
  if (it == forms_.end() || IsWindow(Hwnd(form)) == FALSE) return;
  if (!visible && GetCapture() == Hwnd(form)) ReleaseCapture();
  const bool popup = it->second.kind == WindowKind::Popup;
  // A window the user minimised (and hid since) comes back restored.
  const int restore = IsIconic(Hwnd(form)) != FALSE ? SW_RESTORE : SW_SHOW;
  ShowWindow(Hwnd(form), !visible ? SW_HIDE : popup ? SW_SHOWNOACTIVATE : restore);
}

// A minimised window is not on the screen: not shown.
bool Win32Host::IsVisible(WindowHandle form) {
  return IsForm(form) && IsWindowVisible(Hwnd(form)) != FALSE && IsIconic(Hwnd(form)) == FALSE;
}

bool Win32Host::IsForm(WindowHandle form) { return forms_.count(form) != 0 && IsWindow(Hwnd(form)) != FALSE; }

void Win32Host::EnableInput(WindowHandle form, bool enabled) {
  if (IsForm(form)) EnableWindow(Hwnd(form), enabled ? TRUE : FALSE);
}

std::unique_ptr<platform::Surface> Win32Host::CreateFormSurface(WindowHandle form, int width, int height) {
  if (!IsForm(form) || width <= 0 || height <= 0) return nullptr;
  return CreateWindowSurface(graphics_, form, width, height);
}

void Win32Host::SetCapture(WindowHandle form) {
  if (IsForm(form)) ::SetCapture(Hwnd(form));
}

void Win32Host::ReleaseCapture() {
  releasing_ = true;
  ::ReleaseCapture();
  releasing_ = false;
}

WindowHandle Win32Host::Capture() {
  const WindowHandle holder = Handle(GetCapture());
  return IsForm(holder) ? holder : 0;
}

Rect Win32Host::ScreenRect() { return Rect{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)}; }

Rect Win32Host::WorkArea() {
  RECT r{};
  if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0) == 0) return ScreenRect();
  return Rect{r.left, r.top, r.right, r.bottom};
}

String Win32Host::ClipboardText() {
  if (IsClipboardFormatAvailable(CF_UNICODETEXT) == FALSE) return String();
  if (!OpenClipboardRetrying(Hwnd(OwnerWindow()))) return String();
  String text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT); data != nullptr) {
    if (const auto* chars = static_cast<const char16_t*>(GlobalLock(data)); chars != nullptr) {
      // Up to the terminating NUL, and never past the block.
      const std::size_t limit = GlobalSize(data) / sizeof(char16_t);
      std::size_t n = 0;
      while (n < limit && chars[n] != u'\0') ++n;
      text.assign(chars, n);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

void Win32Host::SetClipboardText(StringView text) {
  HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(char16_t));
  if (data == nullptr) return;
  auto* chars = static_cast<char16_t*>(GlobalLock(data));
  if (chars == nullptr) {
    GlobalFree(data);
    return;
  }
  text.copy(chars, text.size());
  chars[text.size()] = u'\0';
  GlobalUnlock(data);
  // EmptyClipboard makes the window that opened the clipboard its owner; a
  // clipboard opened without a window would refuse SetClipboardData.
  if (!OpenClipboardRetrying(Hwnd(OwnerWindow()))) {
    GlobalFree(data);
    return;
  }
  EmptyClipboard();
  if (SetClipboardData(CF_UNICODETEXT, data) == nullptr) GlobalFree(data);  // else the system's now
  CloseClipboard();
}

void Win32Host::Report(const HostEvent& event) {
  if (sink_ != nullptr && forms_.count(event.window) != 0) sink_->OnHostEvent(event);
}

std::intptr_t Win32Host::OnMessage(WindowHandle form, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  HWND hwnd = Hwnd(form);
  switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      Report(HostEvent{.kind = HostEventKind::kMouseDown, .window = form, .pos = MousePos(lParam),
                       .button = ButtonOf(msg), .shift = MouseShift(wParam)});
      return 0;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK: {
      // The system sends the double click in place of the second press.
      HostEvent event{.kind = HostEventKind::kMouseDown, .window = form, .pos = MousePos(lParam),
                      .button = ButtonOf(msg), .shift = MouseShift(wParam)};
      Report(event);
      event.kind = HostEventKind::kDoubleClick;
      Report(event);
      return 0;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      Report(HostEvent{.kind = HostEventKind::kMouseUp, .window = form, .pos = MousePos(lParam),
                       .button = ButtonOf(msg), .shift = MouseShift(wParam)});
      return 0;
    case WM_MOUSEMOVE:
      Report(HostEvent{.kind = HostEventKind::kMouseMove, .window = form, .pos = MousePos(lParam),
                       .button = HeldButtons(wParam), .shift = MouseShift(wParam)});
      return 0;
    case WM_MOUSEWHEEL: {
      // Sent to the focused window with the pointer in screen pixels.
      POINT at{static_cast<short>(LOWORD(static_cast<DWORD>(lParam))),
               static_cast<short>(HIWORD(static_cast<DWORD>(lParam)))};
      ScreenToClient(hwnd, &at);
      Report(HostEvent{.kind = HostEventKind::kMouseWheel, .window = form, .pos = Point{at.x, at.y},
                       .shift = MouseShift(LOWORD(wParam)), .wheel = GET_WHEEL_DELTA_WPARAM(wParam)});
      return 0;
    }
    case WM_MOUSEACTIVATE: {
      // A click on a menu or a tool tip leaves the focus where it was.
      auto it = forms_.find(form);
      if (it != forms_.end() && it->second.kind == WindowKind::Popup) return MA_NOACTIVATE;
      break;
    }
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYUP: {
      const bool down = msg == WM_KEYDOWN || msg == WM_SYSKEYDOWN;
      Report(HostEvent{.kind = down ? HostEventKind::kKeyDown : HostEventKind::kKeyUp, .window = form,
                       .shift = KeyShift(), .key = static_cast<int>(wParam)});
      // Alt+F4, Alt+Space and the other system keys keep working.
      if (msg == WM_SYSKEYDOWN || msg == WM_SYSKEYUP) break;
      return 0;
    }
    case WM_CHAR: {
      const auto unit = static_cast<char16_t>(wParam);
      if (unit >= 0xD800 && unit < 0xDC00) {  // the first half of a pair: wait for the second
        pendingSurrogate_ = unit;
        return 0;
      }
      const char16_t first = pendingSurrogate_;
      pendingSurrogate_ = 0;
      if (unit < 0x20 || unit == 0x7F) return 0;  // Enter, Tab, Backspace, Ctrl+letters: keys, not text
      String text;
      if (first != 0 && unit >= 0xDC00 && unit < 0xE000) text += first;
      text += unit;
      Report(HostEvent{.kind = HostEventKind::kText, .window = form, .text = std::move(text)});
      return 0;
    }
    case WM_SETFOCUS:
      Report(HostEvent{.kind = HostEventKind::kFocusIn, .window = form});
      return 0;
    case WM_KILLFOCUS:
      Report(HostEvent{.kind = HostEventKind::kFocusOut, .window = form});
      return 0;
    case WM_SHOWWINDOW:
      Report(HostEvent{.kind = wParam != 0 ? HostEventKind::kShown : HostEventKind::kHidden, .window = form});
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      BeginPaint(hwnd, &ps);
      const RECT r = ps.rcPaint;
      EndPaint(hwnd, &ps);
      if (r.right > r.left && r.bottom > r.top) {
        Report(HostEvent{.kind = HostEventKind::kExpose, .window = form,
                         .area = Rect{r.left, r.top, r.right, r.bottom}});
      }
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;  // the frame covers the client area: nothing to erase, no flicker
    case WM_SIZE: {
      auto it = forms_.find(form);
      if (wParam == SIZE_MINIMIZED || it == forms_.end()) return 0;
      const int width = LOWORD(static_cast<DWORD>(lParam));
      const int height = HIWORD(static_cast<DWORD>(lParam));
      if (width == it->second.width && height == it->second.height) return 0;
      it->second.width = width;
      it->second.height = height;
      Report(HostEvent{.kind = HostEventKind::kResized, .window = form, .area = Bounds(form)});
      return 0;
    }
    case WM_CLOSE:
      // The close button asks; the control host decides.
      Report(HostEvent{.kind = HostEventKind::kCloseRequest, .window = form, .unloadMode = platform::unload::kUser});
      return 0;
    case WM_QUERYENDSESSION: {
      auto it = forms_.find(form);
      if (it != forms_.end()) it->second.sessionAsked = true;
      Report(HostEvent{.kind = HostEventKind::kCloseRequest, .window = form,
                       .unloadMode = platform::unload::kSession});
      return TRUE;  // the session may end
    }
    case WM_ENDSESSION: {
      // Asked once per ending: a session ended without the question (or a
      // form that survived it) hears of it now.
      auto it = forms_.find(form);
      const bool asked = it != forms_.end() && it->second.sessionAsked;
      if (it != forms_.end()) it->second.sessionAsked = false;
      if (wParam != 0 && !asked) {
        Report(HostEvent{.kind = HostEventKind::kCloseRequest, .window = form,
                         .unloadMode = platform::unload::kSession});
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (!releasing_ && reinterpret_cast<HWND>(lParam) != hwnd) {
        Report(HostEvent{.kind = HostEventKind::kCaptureLost, .window = form});
      }
      return 0;
    default:
      break;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

}  // namespace pd::win32
