// Timers and the event loop: SetTimer on a hidden message-only window of the
// user-interface thread, and that thread's message queue.
#include <windows.h>

#include <atomic>
#include <unordered_map>

#include "platform/win32/loop.h"
#include "platform/win32/window_object.h"

namespace pd::win32 {
namespace {

constexpr const wchar_t* kTimerWindowClass = L"ProcessDrovak.TimerWindow";

// Timers of this thread by id. Ids are unique in the process and never
// reused, so a WM_TIMER of a destroyed timer finds nothing.
thread_local std::unordered_map<UINT_PTR, Win32Timer*> tTimers;
std::atomic<UINT_PTR> gNextTimerId{1};

LRESULT CALLBACK TimerWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_TIMER) {
    Win32Loop::DispatchTimer(wParam);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

HWND CreateTimerWindow() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &TimerWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kTimerWindowClass;
  // A second registration (another thread) fails with "class exists": fine.
  RegisterClassExW(&wc);
  return CreateWindowExW(0, kTimerWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
}

HWND ThreadTimerWindow() {
  thread_local HWND window = CreateTimerWindow();
  return window;
}

}  // namespace

// The procedure of the loop's session window: the session's end and a
// request to close reach the loop's handler.
struct SessionProcedure {
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* loop = WindowObject<Win32Loop>(hwnd, msg, lParam);
    if (loop == nullptr) return DefWindowProcW(hwnd, msg, wParam, lParam);
    switch (msg) {
      case WM_QUERYENDSESSION:
        loop->sessionAsked_ = true;
        Run(*loop);
        return TRUE;  // the session may end
      case WM_ENDSESSION: {
        // Asked once per ending: a session ended without the question hears
        // of it now.
        const bool asked = loop->sessionAsked_;
        loop->sessionAsked_ = false;
        if (wParam != 0 && !asked) Run(*loop);
        return 0;
      }
      case WM_CLOSE:
        Run(*loop);
        return 0;
      default:
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
  }
  static void Run(Win32Loop& loop) {
    if (!loop.endRequest_) return;
    const auto handler = loop.endRequest_;
    handler();
  }
};

namespace {

constexpr const wchar_t* kSessionWindowClass = L"ProcessDrovak.SessionWindow";

HWND CreateSessionWindow(Win32Loop* loop) {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &SessionProcedure::Proc;
  wc.hInstance = instance;
  wc.lpszClassName = kSessionWindowClass;
  RegisterClassExW(&wc);
  // A hidden top-level window with no task-list entry: it hears broadcasts.
  return CreateWindowExW(WS_EX_TOOLWINDOW, kSessionWindowClass, L"ProcessDrovak", WS_POPUP, 0, 0, 0, 0, nullptr,
                         nullptr, instance, loop);
}

}  // namespace

// ---- Timers ----------------------------------------------------------------------

Win32Timer::Win32Timer(Tick tick, std::uintptr_t id) : Timer(std::move(tick)), id_(id) { tTimers[id_] = this; }

Win32Timer::~Win32Timer() {
  if (scheduled_) KillTimer(ThreadTimerWindow(), id_);
  tTimers.erase(id_);
}

void Win32Timer::SetInterval(int ms) {
  interval_ = ms < 0 ? 0 : ms;
  Apply();
}

void Win32Timer::SetEnabled(bool enabled) {
  enabled_ = enabled;
  Apply();
}

void Win32Timer::Apply() {
  HWND window = ThreadTimerWindow();
  if (enabled_ && interval_ > 0 && window != nullptr) {
    // SetTimer with an id already in use restarts that timer.
    scheduled_ = SetTimer(window, id_, static_cast<UINT>(EffectiveInterval(interval_)), nullptr) != 0;
  } else if (scheduled_) {
    KillTimer(window, id_);
    scheduled_ = false;
  }
}

// ---- The loop --------------------------------------------------------------------

Win32Loop::~Win32Loop() {
  if (sessionWindow_ != nullptr) DestroyWindow(static_cast<HWND>(sessionWindow_));
}

void Win32Loop::SetEndRequest(std::function<void()> handler) {
  endRequest_ = std::move(handler);
  if (endRequest_ && sessionWindow_ == nullptr) {
    sessionWindow_ = CreateSessionWindow(this);
  } else if (!endRequest_ && sessionWindow_ != nullptr) {
    DestroyWindow(static_cast<HWND>(sessionWindow_));
    sessionWindow_ = nullptr;
    sessionAsked_ = false;
  }
}

std::unique_ptr<platform::Timer> Win32Loop::CreateTimer(platform::Timer::Tick tick) {
  return std::make_unique<Win32Timer>(std::move(tick), gNextTimerId.fetch_add(1));
}

WindowHandle Win32Loop::TimerWindow() { return reinterpret_cast<WindowHandle>(ThreadTimerWindow()); }

void Win32Loop::DispatchTimer(std::uintptr_t id) {
  auto it = tTimers.find(id);
  if (it == tTimers.end()) return;
  // Fire returns at once when this timer's previous tick is still running.
  it->second->Fire();
}

void Win32Loop::DoEvents() {
  // Messages that arrive while the pass runs are left for the next one, so a
  // handler that keeps posting (or a timer due again) cannot hold it.
  const DWORD start = GetTickCount();
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));  // for Run
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    if (static_cast<LONG>(msg.time - start) > 0) return;
  }
}

void Win32Loop::Run() {
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

void Win32Loop::Quit() { PostQuitMessage(0); }

bool Win32Loop::RunModal(const std::function<bool()>& ended) {
  MSG msg;
  while (!ended()) {
    const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      // The program is ending: leave the quit for the loops outside.
      if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return true;
}

void Win32Loop::Sleep(int ms) {
  if (ms > 0) ::Sleep(static_cast<DWORD>(ms));
}

std::uint64_t Win32Loop::TickCount() { return GetTickCount64(); }

}  // namespace pd::win32
