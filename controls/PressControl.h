// The input half both skinned press controls (XP_Button, XP_CheckBox)
// share: mouse, keys, focus and capture go through one PressTracker,
// raising the component's own events on the way; a mouse handler's Button
// is the button the control acts on, as a key handler's KeyCode is the key. What a reaction does
// (paint a look, activate, raise Click) is the control's: its Apply.
//
// Derived declares the events MouseDown, MouseMove, MouseUp, DblClick,
// KeyDown, KeyPress and KeyUp (in the order of its own event table) and
// Apply(const PressTracker::Reaction&); it may hide ReleasedInside to tell
// otherwise whether a release ends a click.
#pragma once

#include <cstdint>

#include "forms/Control.h"
#include "forms/MouseEvents.h"
#include "forms/PressTracker.h"

namespace pd::controls {

using forms::Look;
using forms::PressTracker;

template <typename Derived>
class PressControl : public forms::Control {
 public:
  [[nodiscard]] bool LeftHeld() const { return tracker_.LeftHeld(); }
  [[nodiscard]] bool SpaceHeld() const { return tracker_.SpaceHeld(); }
  [[nodiscard]] bool MouseEntered() const { return tracker_.MouseEntered(); }

 protected:
  PressControl(forms::Container& parent, StringView name, int index, PressTracker::Options options = {})
      : Control(parent, name, index), tracker_(options) {}

  [[nodiscard]] PressTracker::Pointer Where() const { return forms::PointerOver(*this); }
  // By default a release over the control's window ends a click.
  [[nodiscard]] bool ReleasedInside(const forms::MouseEvent& /*e*/, const PressTracker::Pointer& where) const {
    return where.over;
  }

  void OnMouseDown(const forms::MouseEvent& e) override {
    if (!tracker_.TakesMouse()) return;
    forms::MouseEvent a = e;
    if (!forms::RaiseMouse(*this, Self().MouseDown, a)) return;
    Self().Apply(tracker_.Press(a.button, Where()));
  }
  void OnMouseMove(const forms::MouseEvent& e) override {
    if (!tracker_.TakesMouse()) return;
    forms::MouseEvent a = e;
    if (!forms::RaiseMouse(*this, Self().MouseMove, a)) return;
    Self().Apply(tracker_.Move(a.button, Where()));
  }
  void OnMouseUp(const forms::MouseEvent& e) override {
    if (!tracker_.TakesMouse()) return;
    forms::MouseEvent a = e;
    if (!forms::RaiseMouse(*this, Self().MouseUp, a)) return;
    const PressTracker::Pointer where = Where();
    Self().Apply(tracker_.Release(a.button, where, Self().ReleasedInside(a, where)));
  }
  void OnDblClick(const forms::MouseEvent& /*e*/) override {
    if (!tracker_.TakesMouse()) return;
    tracker_.DoubleClick();
    Self().DblClick.Raise();
  }
  void OnKeyDown(int& keyCode, int shift) override {
    if (!tracker_.TakesKeys()) return;
    auto code = static_cast<std::int16_t>(keyCode);
    auto sh = static_cast<std::int16_t>(shift);
    const bool alive = RaiseEvent(Self().KeyDown, code, sh);
    keyCode = code;
    if (!alive) return;
    Self().Apply(tracker_.KeyDown(code));
  }
  void OnKeyPress(char16_t& keyAscii) override {
    if (!tracker_.TakesKeys()) return;
    auto ascii = static_cast<std::int16_t>(keyAscii);
    Self().KeyPress.Raise(ascii);
    keyAscii = static_cast<char16_t>(ascii);
  }
  void OnKeyUp(int& keyCode, int shift) override {
    if (!tracker_.TakesKeys()) return;
    auto code = static_cast<std::int16_t>(keyCode);
    auto sh = static_cast<std::int16_t>(shift);
    const bool alive = RaiseEvent(Self().KeyUp, code, sh);
    keyCode = code;
    if (!alive) return;
    Self().Apply(tracker_.KeyUp(code, Where()));
  }
  void OnGotFocus() override { Self().Apply(tracker_.FocusIn(Where())); }
  void OnLostFocus() override { Self().Apply(tracker_.FocusOut(Where())); }
  void OnCaptureLost() override { Self().Apply(tracker_.CaptureLost(Where())); }

  PressTracker tracker_;

 private:
  Derived& Self() { return static_cast<Derived&>(*this); }
};

}  // namespace pd::controls
