// The keyboard, pointer and foreground window through user32.
//
// Names no Windows type: it can be included without <windows.h>.
#pragma once

#include <cstdint>

#include "platform/input.h"

namespace pd::win32 {

class Win32Input final : public platform::Input {
 public:
  // Maps the system's ghost window of a hung application to the hung window;
  // returns 0 for any other window.
  using GhostResolver = WindowHandle (*)(WindowHandle ghost);

  // Looks up HungWindowFromGhostWindow in user32 (absent under some
  // systems: then no resolution takes place).
  Win32Input();
  // With a resolver of the caller's (tests); nullptr for none.
  explicit Win32Input(GhostResolver resolver) : resolver_(resolver) {}

  std::int16_t GetAsyncKeyState(int virtualKey) override;
  // The system keeps the key state to itself: a new mark every time.
  std::uint64_t KeyMark() override { return ++keyMark_; }
  // GetForegroundWindow, with a ghost window resolved to the hung window it
  // stands for. The desktop, the shell's desktop window and the taskbar count
  // as no window (0).
  WindowHandle ForegroundWindow() override;
  void SetForegroundWindow(WindowHandle window) override;
  Point CursorPos() override;
  // SendInput: VK 0xE8 down and up.
  void MaskWinRelease() override;

  [[nodiscard]] bool HasGhostResolver() const { return resolver_ != nullptr; }

 private:
  GhostResolver resolver_ = nullptr;
  std::uint64_t keyMark_ = 0;
};

}  // namespace pd::win32
