#include "platform/sim/input.h"
#include "platform/sim/processes.h"

namespace pd::sim {

std::int16_t SimInput::GetAsyncKeyState(int virtualKey) {
  ++queries_;
  if (virtualKey < 0 || virtualKey > 255) return 0;
  Key& k = keys_[static_cast<std::size_t>(virtualKey)];
  std::uint16_t word = (k.down ? platform::kKeyDownNow : 0) | (k.pressedSince ? platform::kKeyPressedSince : 0);
  k.pressedSince = false;
  return static_cast<std::int16_t>(word);
}

void SimInput::KeyDown(int virtualKey) {
  ++keyMark_;
  Key& k = keys_.at(static_cast<std::size_t>(virtualKey));
  if (!k.down) k.pressedSince = true;
  k.down = true;
}

void SimInput::KeyUp(int virtualKey) {
  ++keyMark_;
  keys_.at(static_cast<std::size_t>(virtualKey)).down = false;
}

void SimInput::Tap(int virtualKey) {
  KeyDown(virtualKey);
  KeyUp(virtualKey);
}

void SimInput::ReleaseAll() {
  ++keyMark_;
  for (Key& k : keys_) k.down = false;
}

WindowHandle SimInput::ForegroundWindow() {
  // A window whose process ended is gone from the screen.
  if (foreground_ != 0 && !procs_.IsWindow(foreground_)) foreground_ = 0;
  return foreground_;
}

void SimInput::SetForegroundWindow(WindowHandle window) { foreground_ = window; }

}  // namespace pd::sim
