// PointerEvents: the mouse events of a plain control (label, picture box),
// raised to its host from the control's On* members.
//
// MouseDown, MouseMove and MouseUp carry (Button, Shift, X, Y) with X and Y
// in twips from the control's top-left corner; Button is the button that
// changed (down, up) or every button held (move). Click follows the MouseUp
// of a left press that came up inside the control; a double click raises
// DblClick on its second press, and its release raises no second Click.
#pragma once

#include <cstdint>

#include "forms/Control.h"
#include "forms/Event.h"

namespace pd::forms {

class PointerEvents {
 public:
  Event<> Click;
  Event<> DblClick;
  Event<std::int16_t&, std::int16_t&, float&, float&> MouseDown;  // Button, Shift, X, Y
  Event<std::int16_t&, std::int16_t&, float&, float&> MouseMove;
  Event<std::int16_t&, std::int16_t&, float&, float&> MouseUp;

 protected:
  void RaiseDown(const MouseEvent& e);
  void RaiseMove(const MouseEvent& e);
  // width and height: the control's size in pixels.
  void RaiseUp(const MouseEvent& e, int width, int height);
  void RaiseDblClick();

 private:
  static void Raise(const Event<std::int16_t&, std::int16_t&, float&, float&>& event, const MouseEvent& e);
  bool leftPressed_ = false;
};

}  // namespace pd::forms
