// The simulated keyboard, pointer and foreground window.
#pragma once

#include <array>
#include <cstdint>

#include "platform/input.h"

namespace pd::sim {

class SimProcesses;

class SimInput final : public platform::Input {
 public:
  explicit SimInput(SimProcesses& procs) : procs_(procs) {}

  std::int16_t GetAsyncKeyState(int virtualKey) override;
  // Moves with every KeyDown, KeyUp, Tap and ReleaseAll.
  std::uint64_t KeyMark() override { return keyMark_; }
  WindowHandle ForegroundWindow() override;
  void SetForegroundWindow(WindowHandle window) override;
  Point CursorPos() override { return cursor_; }
  // Counted; the mask's own keys change no key state.
  void MaskWinRelease() override { ++winMasks_; }
  [[nodiscard]] int WinMasks() const { return winMasks_; }

  // The user presses / releases a key or mouse button (virtual-key code).
  void KeyDown(int virtualKey);
  void KeyUp(int virtualKey);
  // Presses and releases at once, between two queries.
  void Tap(int virtualKey);
  void ReleaseAll();
  void MoveCursor(Point p) { cursor_ = p; }
  [[nodiscard]] int QueryCount() const { return queries_; }

 private:
  struct Key {
    bool down = false;
    bool pressedSince = false;
  };
  SimProcesses& procs_;
  std::array<Key, 256> keys_{};
  WindowHandle foreground_ = 0;
  Point cursor_;
  int queries_ = 0;
  int winMasks_ = 0;
  std::uint64_t keyMark_ = 0;
};

}  // namespace pd::sim
