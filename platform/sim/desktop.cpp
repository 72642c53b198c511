#include "platform/sim/desktop.h"

namespace pd::sim {

using platform::DesktopKind;

bool SimDesktop::WatchChord(std::function<void()> pressed) {
  pressed_ = nullptr;
  if (kind_ == DesktopKind::kPlatform || kind_ == DesktopKind::kUnsupported || refuses_) return false;
  pressed_ = std::move(pressed);
  return true;
}

void SimDesktop::UnwatchChord() { pressed_ = nullptr; }

String SimDesktop::ChordName() {
  if (!pressed_) return {};
  return kind_ == DesktopKind::kKWin ? u"Ctrl+Alt+End" : u"Ctrl+Alt+WIN";
}

bool SimDesktop::PressChord() {
  if (!pressed_) return false;
  // A copy: the handler may unbind.
  auto pressed = pressed_;
  pressed();
  return true;
}

}  // namespace pd::sim
