// What the skinned controls share around their press tracker: where the
// pointer is for a control, and a host mouse event raised with the
// component's argument types (Button, Shift as 16-bit integers; X, Y as
// floats in twips).
#pragma once

#include <cstdint>

#include "controls/PressTracker.h"
#include "forms/Control.h"
#include "forms/ControlHost.h"
#include "forms/Event.h"

namespace pd::controls {

using MouseEventSignal = Event<std::int16_t&, std::int16_t&, float&, float&>;

// Whether the pointer is over the control (the window under it is the
// control's own) and whether the control holds the capture.
inline PressTracker::Pointer PointerOver(const forms::Control& control) {
  const forms::Site& site = control.GetSite();
  const forms::ControlHost& host = site.Host();
  const Point cursor = site.GetPlatform().input().CursorPos();
  return PressTracker::Pointer{host.WindowFromPoint(cursor) == control.hWnd(), host.GetCapture() == control.hWnd()};
}

inline void RaiseMouse(const MouseEventSignal& event, const forms::MouseEvent& e) {
  auto button = static_cast<std::int16_t>(e.button);
  auto shift = static_cast<std::int16_t>(e.shift);
  auto x = static_cast<float>(e.x * kTwipsPerPixel);
  auto y = static_cast<float>(e.y * kTwipsPerPixel);
  event.Raise(button, shift, x, y);
}

}  // namespace pd::controls
