// PushButton: the plain push button of the control host's own dialogs
// (message box, save dialog), in the desktop's classic look.
//
// Pressed by a click released over it or by Space (a press tracker follows
// the pointer, the left button, Space and the focus); Click runs then. The
// focused button wears the heavy frame of the default button and the
// dotted focus rectangle. The face shows the caption, or what a glyph
// painter draws in its place (a picture button of a tool bar).
#pragma once

#include <functional>

#include "forms/Control.h"
#include "forms/PressTracker.h"

namespace pd::forms {

class PushButton final : public Control {
 public:
  // Draws the face's content into the rectangle (already shifted while the
  // button is held down); enabled tells the state.
  using Glyph = std::function<void(platform::Surface&, const Rect&, bool enabled)>;

  PushButton(Container& parent, StringView name, int index, StringView caption, std::function<void()> click);

  void SetGlyph(Glyph glyph) { glyph_ = std::move(glyph); }
  [[nodiscard]] const String& Caption() const { return caption_; }
  [[nodiscard]] bool CanFocus() const override { return true; }
  // Runs the click as if the user pressed the button.
  void Press() const;

 protected:
  void OnPaint(platform::Surface& s) override;
  void OnMouseDown(const MouseEvent& e) override;
  void OnMouseMove(const MouseEvent& e) override;
  void OnMouseUp(const MouseEvent& e) override;
  void OnKeyDown(int& key, int shift) override;
  void OnKeyUp(int& key, int shift) override;
  void OnGotFocus() override;
  void OnLostFocus() override;
  void OnCaptureLost() override;

 private:
  [[nodiscard]] PressTracker::Pointer Where(const MouseEvent& e) const;
  void Apply(const PressTracker::Reaction& r);

  String caption_;
  std::function<void()> click_;
  Glyph glyph_;
  PressTracker tracker_;
  Look look_ = Look::Up;
};

// Frame helpers of the classic look, shared by the host's own dialogs.
void FrameRect(platform::Surface& s, const Rect& r, Colour topLeft, Colour bottomRight);
[[nodiscard]] Rect Inset(const Rect& r, int by);
// The dotted rectangle of the focus.
void FocusRect(platform::Surface& s, const Rect& r, Colour colour);

}  // namespace pd::forms
