// PictureBox: a plain container (the pages of the main window).
//
// Fills itself with BackColor, draws its frame (BorderStyle 0 none, the
// default; 1 fixed single, flat or 3D by Appearance, see Border.h), then
// raises Paint with the surface in its own pixels so the host can draw on
// it; its children are drawn after that, on top. A frame moves the client
// area, and with it the children, inside the frame. Children move, hide and
// show with the box (the control host's containers).
//
// Events: Paint, Click, DblClick, MouseDown, MouseMove, MouseUp
// (PointerEvents.h). The box never takes the focus.
#pragma once

#include "forms/Border.h"
#include "forms/Control.h"
#include "forms/Event.h"
#include "forms/PointerEvents.h"

namespace pd::forms {

class PictureBox : public Container, public PointerEvents {
 public:
  PictureBox(Container& parent, StringView name, int index = -1);

  [[nodiscard]] int BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(int style);
  [[nodiscard]] int Appearance() const { return appearance_; }
  void SetAppearance(int appearance);
  // The client area's size in pixels (inside the frame).
  [[nodiscard]] int ScaleWidth() const;
  [[nodiscard]] int ScaleHeight() const;

  Event<platform::Surface&> Paint;

 protected:
  [[nodiscard]] Point ClientOrigin() const override;
  void OnPaint(platform::Surface& surface) override;
  void OnMouseDown(const MouseEvent& e) override { RaiseDown(*this, e); }
  void OnMouseMove(const MouseEvent& e) override { RaiseMove(*this, e); }
  void OnMouseUp(const MouseEvent& e) override { RaiseUp(*this, e); }
  void OnDblClick(const MouseEvent& /*e*/) override { RaiseDblClick(); }

 private:
  int borderStyle_ = 0;
  int appearance_ = 1;
};

}  // namespace pd::forms
