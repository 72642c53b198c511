// PointerEvents: the mouse events of a plain control (label, picture box),
// raised to its host from the control's On* members.
//
// MouseDown, MouseMove and MouseUp carry (Button, Shift, X, Y) with X and Y
// in twips from the control's top-left corner; Button is the button that
// changed (down, up) or every button held (move), and what the handlers
// leave in it is the button the control goes on with (MouseEvents.h).
// Click follows the MouseUp of a left press that came up inside the
// control (the press tracker's click); a double click raises DblClick on
// its second press, and its release raises no second Click.
#pragma once

#include <cstdint>

#include "forms/Control.h"
#include "forms/Event.h"
#include "forms/MouseEvents.h"
#include "forms/PressTracker.h"

namespace pd::forms {

class PointerEvents {
 public:
  Event<> Click;
  Event<> DblClick;
  MouseEventSignal MouseDown;  // Button, Shift, X, Y
  MouseEventSignal MouseMove;
  MouseEventSignal MouseUp;

 protected:
  // self: the control the events are of (its size; whether the handlers
  // left it in place for what follows the raise).
  void RaiseDown(const Control& self, const MouseEvent& e);
  void RaiseMove(const Control& self, const MouseEvent& e);
  void RaiseUp(const Control& self, const MouseEvent& e);
  void RaiseDblClick();

 private:
  PressTracker tracker_{PressTracker::Options{.focusLook = false}};
};

}  // namespace pd::forms
