// PressTracker: how a pressable thing follows the pointer, the left button,
// the space bar and the focus; written once for the skinned button, the
// skinned check box, the list's scroll-bar parts, the plain push button and
// the clicks of the plain controls. It holds the state and decides; its
// owner raises its own events, paints its own look and runs its own
// hover-watch timer.
//
// Looks: Up (at rest), Move (the pointer over it, or the left button held
// on it while the pointer is outside), Down (pressed). Disabled and focused
// are not looks; the owner draws them from its own state.
//
// How an owner uses it
// --------------------
// Before each call the owner samples where the pointer is (Pointer): `over`
// is "the window under the cursor is mine" (PointerOver in MouseEvents.h:
// ControlHost::WindowFromPoint at the cursor, which sees other programs'
// windows too) or, for a part of a control, "the cursor is inside the
// part"; `captured` is "I hold the mouse capture". Each call returns a
// Reaction: the steps to carry out in the order given, and whether the
// owner should release the capture. After every call the owner sets its
// hover-watch timer running exactly when Watching() is true.
//
//   mouse press     if (!TakesMouse()) return; raise MouseDown; Apply(Press(button, where))
//   mouse move      if (!TakesMouse()) return; raise MouseMove; Apply(Move(buttons, where))
//   mouse release   if (!TakesMouse()) return; raise MouseUp;   Apply(Release(button, where, inside))
//                   (button: the Button argument as the event's handlers left it, RaiseMouse)
//   double click    if (!TakesMouse()) return; raise DblClick;  DoubleClick()
//   key down        if (!TakesKeys()) return;  raise KeyDown (its handler may change the code);
//                   Apply(KeyDown(code))
//   key press       if (!TakesKeys()) return;  raise KeyPress
//   key up          if (!TakesKeys()) return;  raise KeyUp;     Apply(KeyUp(code))
//   focus in / out  Apply(FocusIn(where)) / Apply(FocusOut(where))
//   capture lost    Apply(CaptureLost(where))   (also at the end of every press)
//   watch tick      Apply(Watch(where))
//   enabled change  Apply(Enabled(enabled))
//   own refresh     Apply(Refresh(where, force)) when something else changed the look's
//                   inputs (a value set by the host)
//
// Steps: Paint(look, force) paints that look (an owner with a "last painted"
// check skips it when the look is unchanged and force is false); Activate
// completes the press (a toggle flips, a check box advances, a scroll arrow
// scrolls); Click raises Click; MouseOut raises MouseOut.
//
// Behaviour
// ---------
// - Left press: LeftHeld; the look is Down while over, Move while outside.
//   Other buttons press nothing; they ask to release the capture unless the
//   left button is held.
// - Left release: LeftHeld clears, the look follows the pointer; when the
//   release is `inside` (the owner's test), Activate, then Click if the
//   press began here (no Click after a double click's second press, nor
//   after the press was cancelled by a lost focus or capture).
// - Space down (code 32): SpaceHeld, look Down, the watch stops; mouse input
//   is ignored until Space comes up, which gives Click, Activate, then the
//   look that follows the pointer. A Space up that went down elsewhere does
//   nothing. While the left button is held, keys are ignored.
// - Focus: with Options::focusLook, arriving clears MouseEntered and
//   repaints, forced (unless a press is held); without it, arriving only
//   sets HasFocus. Leaving cancels any press (LeftHeld and SpaceHeld clear,
//   so nothing stays held once Space comes up elsewhere), clears
//   MouseEntered and repaints, forced.
// - Hover: the watch runs while the pointer is over and no capture is held.
//   A tick that finds the pointer gone, or a refresh after the capture ends
//   with the pointer gone, paints Up and raises MouseOut once when the
//   pointer had moved over it since the focus last changed (MouseEntered).
//   Nothing runs while nothing is hovered.
// - Disabled: every flag clears, the watch stops, Up is painted forced.
#pragma once

#include <array>
#include <cstdint>

namespace pd::forms {

enum class Look : std::uint8_t { Up = 0, Move = 1, Down = 2 };

class PressTracker {
 public:
  struct Options {
    // Whether the look depends on the focus (the button's focus frame):
    // then the focus arriving repaints, forced.
    bool focusLook = true;
  };

  // Where the pointer is, sampled by the owner just before the call.
  struct Pointer {
    bool over = false;
    bool captured = false;
  };

  enum class Step : std::uint8_t { Paint, Activate, Click, MouseOut };

  // What the owner does, in order.
  struct Reaction {
    std::array<Step, 4> steps{};
    int count = 0;
    Look look = Look::Up;  // for Paint
    bool force = false;    // for Paint
    bool releaseCapture = false;

    [[nodiscard]] const Step* begin() const { return steps.data(); }
    [[nodiscard]] const Step* end() const { return steps.data() + count; }
    [[nodiscard]] bool Has(Step s) const;
    void Add(Step s) { steps[static_cast<std::size_t>(count++)] = s; }
  };

  static constexpr int kLeft = 1;
  static constexpr int kSpace = 32;

  PressTracker() = default;
  explicit PressTracker(Options options) : options_(options) {}

  [[nodiscard]] bool TakesMouse() const { return !spaceHeld_; }
  [[nodiscard]] bool TakesKeys() const { return !leftHeld_; }

  // button: the one that changed; buttons: every one held (the move's mask).
  Reaction Press(int button, Pointer where);
  Reaction Move(int buttons, Pointer where);
  Reaction Release(int button, Pointer where, bool inside);
  void DoubleClick() { clickArmed_ = false; }
  Reaction KeyDown(int keyCode);
  Reaction KeyUp(int keyCode, Pointer where);
  Reaction FocusIn(Pointer where);
  Reaction FocusOut(Pointer where);
  Reaction CaptureLost(Pointer where);
  Reaction Watch(Pointer where);
  Reaction Enabled(bool enabled);
  // The look that follows the pointer and the held button, painted.
  Reaction Refresh(Pointer where, bool force = false) { return RefreshState(where, 0, force); }

  // ---- State ----
  [[nodiscard]] bool LeftHeld() const { return leftHeld_; }
  [[nodiscard]] bool SpaceHeld() const { return spaceHeld_; }
  [[nodiscard]] bool MouseEntered() const { return mouseEntered_; }
  [[nodiscard]] bool HasFocus() const { return hasFocus_; }
  // Whether the hover watch should run now.
  [[nodiscard]] bool Watching() const { return hovered_ && !captured_ && !spaceHeld_; }

 private:
  Reaction RefreshState(Pointer where, int buttons, bool force);
  static Reaction Paint(Look look, bool force);
  void Leave(Reaction& r);

  Options options_;
  bool leftHeld_ = false;
  bool spaceHeld_ = false;
  bool mouseEntered_ = false;
  bool hasFocus_ = false;
  bool clickArmed_ = false;  // the left press began here
  bool hovered_ = false;     // the pointer was over at the last look
  bool captured_ = false;    // as of the last call
};

}  // namespace pd::forms
