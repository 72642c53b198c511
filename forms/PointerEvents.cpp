#include "forms/PointerEvents.h"

namespace pd::forms {

void PointerEvents::RaiseDown(const MouseEvent& e) {
  const MouseEvent a = RaiseMouse(MouseDown, e);
  tracker_.Press(a.button, PressTracker::Pointer{.over = true});
}

void PointerEvents::RaiseMove(const MouseEvent& e) { RaiseMouse(MouseMove, e); }

void PointerEvents::RaiseUp(const MouseEvent& e, int width, int height) {
  const MouseEvent a = RaiseMouse(MouseUp, e);
  const bool inside = a.x >= 0 && a.y >= 0 && a.x < width && a.y < height;
  if (tracker_.Release(a.button, PressTracker::Pointer{.over = inside}, inside).Has(PressTracker::Step::Click)) {
    Click.Raise();
  }
}

void PointerEvents::RaiseDblClick() {
  tracker_.DoubleClick();
  DblClick.Raise();
}

}  // namespace pd::forms
