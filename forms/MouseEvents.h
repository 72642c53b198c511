// The mouse events of a component as its host sees them, and where the
// pointer is for a control: what every pressable control shares around its
// press tracker.
//
// MouseDown, MouseMove and MouseUp carry (Button, Shift, X, Y): Button and
// Shift 16-bit integers, X and Y floats in twips from the control's
// top-left corner. Handlers take them by reference, and what they leave in
// Button and Shift is what the control then acts on, as with the key
// events' KeyCode.
#pragma once

#include <cstdint>

#include "forms/Control.h"
#include "forms/ControlHost.h"
#include "forms/PressTracker.h"
#include "forms/Event.h"

namespace pd::forms {

using MouseEventSignal = Event<std::int16_t&, std::int16_t&, float&, float&>;

// Raises self's event with e's arguments and leaves in e the Button and
// Shift the handlers left; false when a handler destroyed self, so that
// nothing of self is touched after the raise.
inline bool RaiseMouse(const Control& self, const MouseEventSignal& event, MouseEvent& e) {
  auto button = static_cast<std::int16_t>(e.button);
  auto shift = static_cast<std::int16_t>(e.shift);
  auto x = static_cast<float>(e.x * kTwipsPerPixel);
  auto y = static_cast<float>(e.y * kTwipsPerPixel);
  const bool alive = self.RaiseEvent(event, button, shift, x, y);
  e.button = button;
  e.shift = shift;
  return alive;
}

// Whether the pointer is over the control (the window in front under it,
// of any program, is the control's own) and whether the control holds the
// capture.
inline PressTracker::Pointer PointerOver(const Control& control) {
  const Site& site = control.GetSite();
  const ControlHost& host = site.Host();
  const Point cursor = site.GetPlatform().input().CursorPos();
  return PressTracker::Pointer{host.WindowFromPoint(cursor) == control.hWnd(), host.GetCapture() == control.hWnd()};
}

}  // namespace pd::forms
