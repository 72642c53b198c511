#include "forms/PressTracker.h"

#include <algorithm>

namespace pd::forms {

bool PressTracker::Reaction::Has(Step s) const { return std::find(begin(), end(), s) != end(); }

PressTracker::Reaction PressTracker::Paint(Look look, bool force) {
  Reaction r;
  r.look = look;
  r.force = force;
  r.Add(Step::Paint);
  return r;
}

void PressTracker::Leave(Reaction& r) {
  hovered_ = false;
  if (mouseEntered_) r.Add(Step::MouseOut);
}

PressTracker::Reaction PressTracker::RefreshState(Pointer where, int buttons, bool force) {
  if (spaceHeld_) return {};
  captured_ = where.captured;
  const bool pressed = (buttons & kLeft) != 0 && leftHeld_;
  Look look = Look::Up;
  if (where.over) {
    look = pressed ? Look::Down : Look::Move;
  } else if (pressed) {
    look = Look::Move;
  }
  Reaction r;
  if (where.over) {
    hovered_ = true;
  } else if (hovered_ && !where.captured) {
    Leave(r);
  }
  r.look = look;
  r.force = force;
  r.Add(Step::Paint);
  return r;
}

PressTracker::Reaction PressTracker::Press(int button, Pointer where) {
  if (button != kLeft) {
    Reaction r;
    r.releaseCapture = !leftHeld_;
    return r;
  }
  leftHeld_ = true;
  clickArmed_ = true;
  return RefreshState(where, kLeft, false);
}

PressTracker::Reaction PressTracker::Move(int buttons, Pointer where) {
  mouseEntered_ = true;
  return RefreshState(where, buttons, false);
}

PressTracker::Reaction PressTracker::Release(int button, Pointer where, bool inside) {
  if (button != kLeft) return {};
  const bool held = leftHeld_;
  const bool click = held && clickArmed_ && inside;
  leftHeld_ = false;
  clickArmed_ = false;
  Reaction r = RefreshState(where, 0, false);
  if (held && inside) r.Add(Step::Activate);
  if (click) r.Add(Step::Click);
  return r;
}

PressTracker::Reaction PressTracker::KeyDown(int keyCode) {
  if (keyCode != kSpace) return {};
  spaceHeld_ = true;
  Reaction r = Paint(Look::Down, false);
  r.releaseCapture = true;
  return r;
}

PressTracker::Reaction PressTracker::KeyUp(int keyCode, Pointer where) {
  if (keyCode != kSpace || !spaceHeld_) return {};
  spaceHeld_ = false;
  Reaction r;
  r.Add(Step::Click);
  r.Add(Step::Activate);
  const Reaction after = RefreshState(where, 0, false);
  for (Step s : after) r.Add(s);
  r.look = after.look;
  r.force = after.force;
  return r;
}

PressTracker::Reaction PressTracker::FocusIn(Pointer where) {
  hasFocus_ = true;
  if (!options_.focusLook) return {};
  mouseEntered_ = false;
  if (leftHeld_ || spaceHeld_) return {};
  return RefreshState(where, 0, true);
}

PressTracker::Reaction PressTracker::FocusOut(Pointer where) {
  hasFocus_ = false;
  mouseEntered_ = false;
  leftHeld_ = false;
  clickArmed_ = false;
  spaceHeld_ = false;  // a press the focus left is cancelled, not completed elsewhere
  return RefreshState(where, 0, true);
}

PressTracker::Reaction PressTracker::CaptureLost(Pointer where) {
  leftHeld_ = false;
  clickArmed_ = false;
  where.captured = false;
  return RefreshState(where, 0, false);
}

PressTracker::Reaction PressTracker::Watch(Pointer where) {
  if (where.over) return {};
  Reaction r;
  Leave(r);
  r.look = Look::Up;
  r.Add(Step::Paint);
  return r;
}

PressTracker::Reaction PressTracker::Enabled(bool enabled) {
  if (!enabled) {
    leftHeld_ = false;
    spaceHeld_ = false;
    mouseEntered_ = false;
    hasFocus_ = false;
    clickArmed_ = false;
    hovered_ = false;
  }
  return Paint(Look::Up, true);
}

}  // namespace pd::forms
