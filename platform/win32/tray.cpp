// The notification area: Shell_NotifyIconA, the shell's windows and its
// TaskbarCreated message (see Win32Tray in tray.h).
#include <windows.h>
#include <shellapi.h>

#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/host.h"
#include "platform/win32/tray.h"

namespace pd::win32 {
namespace {

constexpr const wchar_t* kReportWindowClass = L"ProcessDrovak.TrayWindow";

// The record's fields are those of NOTIFYICONDATAA up to guidItem.
constexpr DWORD kNativeSize = offsetof(NOTIFYICONDATAA, guidItem);
static_assert(sizeof(void*) != 4 || kNativeSize == sizeof(platform::NotifyIconRecord),
              "a 32-bit program passes the record's own 488 bytes");

UINT TaskbarCreated() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

LRESULT CALLBACK ReportWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* tray = reinterpret_cast<Win32Tray*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (tray != nullptr) {
    return static_cast<LRESULT>(
        tray->OnMessage(reinterpret_cast<WindowHandle>(hwnd), msg, static_cast<std::uintptr_t>(wParam),
                        static_cast<std::intptr_t>(lParam)));
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND ToHwnd(std::uint32_t window) { return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(window)); }

int HeldButtons() {
  int b = 0;
  if (GetKeyState(VK_LBUTTON) < 0) b |= platform::button::kLeft;
  if (GetKeyState(VK_RBUTTON) < 0) b |= platform::button::kRight;
  if (GetKeyState(VK_MBUTTON) < 0) b |= platform::button::kMiddle;
  return b;
}

// A 32-bit icon from a picture (alpha kept; a 24-bit picture is opaque).
HICON MakeIcon(const platform::Picture& picture) {
  const int w = picture.Width();
  const int h = picture.Height();
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HDC dc = GetDC(nullptr);
  HBITMAP colour = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  ReleaseDC(nullptr, dc);
  if (colour == nullptr) return nullptr;
  const auto px = picture.Pixels();
  auto* out = static_cast<std::uint32_t*>(bits);
  for (std::size_t i = 0; i < px.size() && i < static_cast<std::size_t>(w) * h; ++i) {
    const std::uint32_t p = px[i];
    const std::uint32_t a = picture.BitsPerPixel() == 32 ? p & 0xFF000000u : 0xFF000000u;
    out[i] = a | ((p & 0xFF) << 16) | (p & 0xFF00) | ((p >> 16) & 0xFF);
  }
  std::vector<std::uint8_t> zeros(static_cast<std::size_t>((w + 15) / 16 * 2) * h, 0);
  HBITMAP mask = CreateBitmap(w, h, 1, 1, zeros.data());
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmColor = colour;
  info.hbmMask = mask;
  HICON icon = CreateIconIndirect(&info);
  DeleteObject(colour);
  DeleteObject(mask);
  return icon;
}

template <std::size_t N, std::size_t M>
void CopyText(char (&to)[N], const char (&from)[M]) {
  static_assert(N >= M);
  std::memcpy(to, from, M);
}

}  // namespace

Win32Tray::~Win32Tray() {
  while (!reports_.empty()) DestroyReportWindow(reports_.begin()->first);
  for (auto& [id, icon] : icons_) DestroyIcon(static_cast<HICON>(icon.hicon));
}

std::uint32_t Win32Tray::CreateReportWindow(Report report) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = ReportWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kReportWindowClass;
  RegisterClassExW(&wc);  // "already exists" on a second call: fine
  TaskbarCreated();
  HWND hwnd = CreateWindowExW(WS_EX_TOOLWINDOW, kReportWindowClass, L"ProcessDrovak", WS_POPUP, 0, 0, 0, 0,
                              nullptr, nullptr, instance, nullptr);
  if (hwnd == nullptr) return 0;
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  // Window handles carry 32 significant bits, also in a 64-bit program.
  const auto window = static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(hwnd));
  reports_[window] = std::move(report);
  return window;
}

void Win32Tray::DestroyReportWindow(std::uint32_t window) {
  if (reports_.erase(window) == 0) return;
  callbackMessages_.erase(window);
  HWND hwnd = ToHwnd(window);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  DestroyWindow(hwnd);
}

std::uint32_t Win32Tray::IconHandle(const std::shared_ptr<const platform::Picture>& picture) {
  if (!picture) return 0;
  for (auto it = icons_.begin(); it != icons_.end();) {
    if (it->second.picture == picture) return it->first;
    // Icons of pictures nobody else holds are let go.
    if (it->second.picture.use_count() == 1) {
      DestroyIcon(static_cast<HICON>(it->second.hicon));
      it = icons_.erase(it);
    } else {
      ++it;
    }
  }
  HICON hicon = MakeIcon(*picture);
  if (hicon == nullptr) return 0;
  const std::uint32_t id = nextIcon_++;
  icons_[id] = Icon{hicon, picture};
  return id;
}

bool Win32Tray::Notify(std::uint32_t message, const platform::NotifyIconRecord& record) {
  NOTIFYICONDATAA nid{};
  nid.cbSize = kNativeSize;
  nid.hWnd = ToHwnd(record.hWnd);
  nid.uID = record.uID;
  nid.uFlags = record.uFlags;
  nid.uCallbackMessage = record.uCallbackMessage;
  const auto icon = icons_.find(record.hIcon);
  nid.hIcon = icon != icons_.end() ? static_cast<HICON>(icon->second.hicon) : nullptr;
  CopyText(nid.szTip, record.szTip);
  nid.dwState = record.dwState;
  nid.dwStateMask = record.dwStateMask;
  CopyText(nid.szInfo, record.szInfo);
  nid.uTimeout = record.uTimeout;
  CopyText(nid.szInfoTitle, record.szInfoTitle);
  nid.dwInfoFlags = record.dwInfoFlags;
  if (message == platform::nim::kAdd || message == platform::nim::kModify) {
    callbackMessages_[record.hWnd] = record.uCallbackMessage;
  }
  return Shell_NotifyIconA(message, &nid) != FALSE;
}

bool Win32Tray::ShellPresent() {
  return FindWindowA("Progman", "Program Manager") != nullptr || FindWindowA("Shell_TrayWnd", nullptr) != nullptr;
}

std::intptr_t Win32Tray::OnMessage(WindowHandle window, unsigned msg, std::uintptr_t wParam, std::intptr_t lParam) {
  HWND hwnd = reinterpret_cast<HWND>(window);
  if (msg == TaskbarCreated()) {
    ++generation_;
    return 0;
  }
  const auto id = static_cast<std::uint32_t>(window);
  const auto callback = callbackMessages_.find(id);
  if (callback != callbackMessages_.end() && msg == callback->second) {
    const auto found = reports_.find(id);
    if (found != reports_.end()) {
      const Report report = found->second;  // the handler may destroy the window
      report(static_cast<std::uint32_t>(lParam) & 0xFFFF, HeldButtons());
    }
    return 0;
  }
  return static_cast<std::intptr_t>(
      DefWindowProcW(hwnd, msg, static_cast<WPARAM>(wParam), static_cast<LPARAM>(lParam)));
}

}  // namespace pd::win32
