// The program's identity from its module file name, and the single-instance
// token: a named mutex of the logged-on user's session, with a message-only
// window of the holder that a later start asks to show the main window.
#include <windows.h>

#include <string>

#include "platform/win32/app.h"
#include "platform/win32/window_object.h"

namespace pd::win32 {
namespace {

String OwnModulePath() {
  std::wstring buf(MAX_PATH, L'\0');
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buf.data(), static_cast<DWORD>(buf.size()));
    if (n == 0) return {};
    if (n < buf.size()) {
      buf.resize(n);
      break;
    }
    if (buf.size() >= 32768) return {};
    buf.resize(buf.size() * 2);
  }
  return String(buf.begin(), buf.end());
}

}  // namespace

struct InstanceProcedure {
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* app = WindowObject<Win32App>(hwnd, msg, lParam);
    if (msg == Win32App::kShowMessage && app != nullptr) {
      if (app->showRequest_) {
        const auto handler = app->showRequest_;
        handler();
      }
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
};

namespace {

HWND CreateInstanceWindow(const String& token, Win32App* app) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &InstanceProcedure::Proc;
  wc.hInstance = instance;
  wc.lpszClassName = Win32App::kInstanceClass;
  RegisterClassExW(&wc);  // registered once per process: a second time fails harmlessly
  const std::wstring name(token.begin(), token.end());
  return CreateWindowExW(0, Win32App::kInstanceClass, name.c_str(), 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance,
                         app);
}

}  // namespace

WindowHandle Win32App::InstanceWindow(const String& token) {
  const std::wstring name(token.begin(), token.end());
  return reinterpret_cast<WindowHandle>(FindWindowExW(HWND_MESSAGE, nullptr, kInstanceClass, name.c_str()));
}

Win32App::Win32App(String token) : token_(std::move(token)) {
  const String path = OwnModulePath();
  const auto cut = path.find_last_of(u"\\/");
  folder_ = cut == String::npos ? String() : path.substr(0, cut);
  String file = cut == String::npos ? path : path.substr(cut + 1);
  const auto dot = file.rfind(u'.');
  exeName_ = dot == String::npos || dot == 0 ? file : file.substr(0, dot);
}

Win32App::~Win32App() {
  if (window_ != nullptr) DestroyWindow(static_cast<HWND>(window_));
  if (mutex_ != nullptr) CloseHandle(mutex_);
}

bool Win32App::PrevInstance() {
  if (claimed_) return previous_;
  claimed_ = true;
  const std::wstring name(token_.begin(), token_.end());
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  const DWORD error = GetLastError();
  // Access denied: the mutex exists but belongs to someone this process may
  // not open, which is another instance as well.
  previous_ = error == ERROR_ALREADY_EXISTS || (mutex == nullptr && error == ERROR_ACCESS_DENIED);
  mutex_ = mutex;  // kept for the program's life, so the token stays claimed
  if (!previous_) {
    window_ = CreateInstanceWindow(token_, this);
  } else if (HWND first = reinterpret_cast<HWND>(InstanceWindow(token_)); first != nullptr) {
    // This process was started by the user: it may pass the foreground on.
    DWORD pid = 0;
    GetWindowThreadProcessId(first, &pid);
    if (pid != 0) AllowSetForegroundWindow(pid);
    PostMessageW(first, kShowMessage, 0, 0);
  }
  return previous_;
}

}  // namespace pd::win32
