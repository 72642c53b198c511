// Form: a top-level window of the program and the tree of controls on it.
//
// The form owns its OS window (through the host port) and one frame: an
// off-screen surface the size of its client area into which the form and
// its controls paint, each through its own view. An expose puts the frame
// back on the screen without painting; a change paints only the part it
// touches and presents that part.
//
// Placement: Left and Top are the client area's position on the screen,
// Width and Height its size, all in twips.
//
// Closing: the close button, the session's end and Unload all raise
// QueryUnload(Cancel, UnloadMode) first; a cancelled close changes nothing.
// Otherwise OnUnload(Cancel) runs, and a form that stays uncancelled is
// hidden and counts as unloaded (its window exists until the form object
// goes). The backend never closes a window by itself.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "forms/Control.h"
#include "forms/Cursor.h"
#include "forms/Event.h"
#include "platform/host.h"

namespace pd::forms {

class Form : public Container {
 public:
  Form(ControlHost& host, StringView name, StringView caption,
       platform::WindowKind kind = platform::WindowKind::Form, Form* owner = nullptr);
  ~Form() override;

  [[nodiscard]] ControlHost& Host() const { return host_; }
  // The form's OS window.
  [[nodiscard]] WindowHandle Window() const { return window_; }
  [[nodiscard]] const String& Caption() const { return caption_; }
  void SetCaption(StringView caption);

  void Move(int left, int top, int width = -1, int height = -1) override;

  // Shows or hides the window (and raises OnShow on every control it shows
  // or hides). Hiding drops the focus; when the window gets the keyboard
  // again, the control that had the focus last gets it back (else the
  // first in the tab order).
  void Show();
  void Hide();
  void SetVisible(bool visible) override { visible ? Show() : Hide(); }
  // Shows the form and runs a modal loop until it is hidden or unloaded;
  // the platform's timers keep firing. False when the program quit meanwhile.
  bool ShowModal();

  // QueryUnload, then OnUnload; true when the form was unloaded (hidden).
  bool Unload(int unloadMode = platform::unload::kCode);
  [[nodiscard]] bool Unloaded() const { return unloaded_; }

  // Every control on the form, depth first in creation order (the option
  // groups of buttons look at all controls of their window).
  [[nodiscard]] std::vector<Control*> Controls() const;
  // The control under a point of the client area (pixels): the frontmost
  // shown control with a window that the pointer finds (HitTestVisible),
  // containers searched inside; nullptr for the form itself.
  [[nodiscard]] Control* ControlAt(Point client) const;
  [[nodiscard]] Control* ActiveControl() const { return focus_; }
  // The control of this form holding the pointer capture (the control host
  // keeps the program's one capture), nullptr for none.
  [[nodiscard]] Control* CaptureControl() const;

  // The design properties saved for the control of that name and index
  // (-1: not in an array), made empty on first use; they outlive the
  // control, as a designer's file would.
  [[nodiscard]] forms::PropertyBag& StoredProperties(StringView name, int index = -1);

  // Paints the part of the client area (pixels) again and presents it.
  void Repaint(const Rect& area);
  void RepaintAll();
  // The frame: what the window shows (tests read its pixels).
  [[nodiscard]] platform::Surface* Frame() const { return frame_.get(); }
  [[nodiscard]] int PaintCount() const { return paints_; }

  // ---- Events of the form ----
  Event<bool&, int> QueryUnload;  // Cancel, UnloadMode
  Event<bool&> OnUnload;          // Cancel
  Event<> Resize;
  Event<bool> Activate;  // true when the window got the keyboard focus, false when it lost it

  // ---- From the control host ----
  void HandleEvent(const platform::HostEvent& event);
  // A modal loop of another form holds the program: a press in progress on
  // this form ends here, as its release will not reach it.
  void InputHeld();
  // The capture left this form: the buttons held on it count as up.
  void PressEnded() { buttonsDown_ = 0; }

 protected:
  // The form sees a key before the focused control (Enter and Escape of a
  // dialog); true swallows it.
  virtual bool PreviewKeyDown(int /*keyCode*/, int /*shift*/) { return false; }
  void OnPaint(platform::Surface& surface) override;

 private:
  friend class Control;
  void EnsureFrame();
  void PaintTree(Control& control, Point origin, const Rect& clip, const Rect& area);
  // Every handler a dispatch runs may destroy the form or the control it
  // reached, or hide, disable or move them; what follows asks a
  // ControlLife taken before.
  void Dispatch(const platform::HostEvent& event);
  void PointerEvent(const platform::HostEvent& event);
  void KeyEvent(const platform::HostEvent& event);
  void FocusEvent(const platform::HostEvent& event);
  void WindowEvent(const platform::HostEvent& event);
  void MouseDown(const platform::HostEvent& event);
  void MouseUp(const platform::HostEvent& event);
  void MouseWheel(const platform::HostEvent& event);
  void MouseEventFor(Control* target, const platform::HostEvent& event);
  void KeyDown(const platform::HostEvent& event);
  void MoveFocus(bool forward);
  // The form got the keyboard: to the control that had the focus last,
  // else to the first in the tab order.
  void RestoreFocus();
  void SetFocusTo(Control* control);
  void Forget(Control& control);
  // Focus and capture held inside a control that is hidden or disabled now
  // go.
  void DropInside(Control& control);
  void ShowChanged(Control& control, bool shown);
  [[nodiscard]] Point OriginOf(const Control& control) const;

  ControlHost& host_;
  WindowHandle window_ = 0;
  String caption_;
  std::unique_ptr<platform::Surface> frame_;
  Control* focus_ = nullptr;
  Control* lastActive_ = nullptr;  // the latest control to have the focus, while it is on the form
  Control* pressed_ = nullptr;     // the control a press landed on (gets the double click)
  int buttonsDown_ = 0;
  bool unloaded_ = false;
  bool active_ = false;
  ShownCursor cursor_;  // what the window was last asked to show
  int paints_ = 0;
  std::uint64_t nextOrder_ = 0;
  std::map<std::pair<String, int>, std::unique_ptr<forms::PropertyBag>, std::less<>> stored_;
};

}  // namespace pd::forms
