// SetTimer timers and the thread's message queue as the event loop.
//
// Names no Windows type: it can be included without <windows.h>.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/loop.h"
#include "platform/types.h"

namespace pd::win32 {

class Win32Loop;

class Win32Timer final : public platform::Timer {
 public:
  Win32Timer(Tick tick, std::uintptr_t id);
  ~Win32Timer() override;

  void SetInterval(int ms) override;
  [[nodiscard]] int Interval() const override { return interval_; }
  void SetEnabled(bool enabled) override;
  [[nodiscard]] bool Enabled() const override { return enabled_; }

 private:
  friend class Win32Loop;
  // Starts, restarts or stops the system timer after a change.
  void Apply();

  std::uintptr_t id_;
  int interval_ = 0;
  bool enabled_ = false;
  bool scheduled_ = false;
};

class Win32Loop final : public platform::EventLoop {
 public:
  Win32Loop() = default;
  ~Win32Loop() override;
  Win32Loop(const Win32Loop&) = delete;
  Win32Loop& operator=(const Win32Loop&) = delete;

  std::unique_ptr<platform::Timer> CreateTimer(platform::Timer::Tick tick) override;
  // Dispatches the messages pending now (PeekMessage with PM_REMOVE) and
  // returns; a WM_QUIT met on the way is left for Run.
  void DoEvents() override;
  // GetMessage loop until Quit (PostQuitMessage).
  void Run() override;
  void Quit() override;
  // A nested GetMessage loop; ended() is checked before each wait, that is
  // after each dispatched message. A WM_QUIT met inside is posted again
  // (PostQuitMessage) so that the loops outside end too.
  bool RunModal(const std::function<bool()>& ended) override;
  void Sleep(int ms) override;
  std::uint64_t TickCount() override;
  // Heard on a hidden top-level window of the loop (never shown; a
  // message-only window hears no broadcast): WM_QUERYENDSESSION runs the
  // handler and lets the session end; WM_ENDSESSION runs it when the
  // session ends without that question; WM_CLOSE (another program asking
  // the program to end, as the task manager does) runs it too. The form's
  // own window reports the session's end to the form as well: a program
  // unloads once whichever comes first.
  void SetEndRequest(std::function<void()> handler) override;
  // The window that hears the session's end (0 without a handler).
  [[nodiscard]] WindowHandle SessionWindow() const { return reinterpret_cast<WindowHandle>(sessionWindow_); }

  // The thread's hidden message-only window that receives the WM_TIMER
  // messages of its timers; 0 when it could not be created.
  static WindowHandle TimerWindow();
  // Called by that window's procedure: fires the timer of the id, if it
  // still exists.
  static void DispatchTimer(std::uintptr_t id);

 private:
  friend struct SessionProcedure;
  void* sessionWindow_ = nullptr;  // HWND
  bool sessionAsked_ = false;      // WM_QUERYENDSESSION came and WM_ENDSESSION not yet
  std::function<void()> endRequest_;
};

}  // namespace pd::win32
