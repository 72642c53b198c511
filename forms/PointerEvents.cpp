#include "forms/PointerEvents.h"

namespace pd::forms {

void PointerEvents::RaiseDown(const Control& self, const MouseEvent& e) {
  MouseEvent a = e;
  if (!RaiseMouse(self, MouseDown, a)) return;
  tracker_.Press(a.button, PressTracker::Pointer{.over = true});
}

void PointerEvents::RaiseMove(const Control& self, const MouseEvent& e) {
  MouseEvent a = e;
  RaiseMouse(self, MouseMove, a);
}

void PointerEvents::RaiseUp(const Control& self, const MouseEvent& e) {
  MouseEvent a = e;
  if (!RaiseMouse(self, MouseUp, a)) return;
  const bool inside = a.x >= 0 && a.y >= 0 && a.x < self.PixelWidth() && a.y < self.PixelHeight();
  if (tracker_.Release(a.button, PressTracker::Pointer{.over = inside}, inside).Has(PressTracker::Step::Click)) {
    Click.Raise();
  }
}

void PointerEvents::RaiseDblClick() {
  tracker_.DoubleClick();
  DblClick.Raise();
}

}  // namespace pd::forms
