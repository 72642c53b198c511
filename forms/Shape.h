// Shape: a rectangle outline drawn over its container (the frame around the
// pages of the main window).
//
// The outline is BorderWidth pixels wide, drawn inside the control in
// BorderColor when BorderStyle is 1 (solid); 0 (transparent) draws none.
// BackStyle 0 (transparent, the default) leaves the inside as it is; 1
// fills it with BackColor. Only the rectangle (Shape 0) is drawn.
//
// A shape is drawn like any control but the pointer passes through it:
// clicks reach what lies under it (HitTestVisible is false).
#pragma once

#include "forms/Control.h"

namespace pd::forms {

class Shape : public Control {
 public:
  static constexpr int kRectangle = 0;

  Shape(Container& parent, StringView name, int index = -1);

  [[nodiscard]] int ShapeKind() const { return kRectangle; }
  [[nodiscard]] Colour BorderColor() const { return borderColor_; }
  void SetBorderColor(Colour colour);
  [[nodiscard]] int BorderWidth() const { return borderWidth_; }
  // Below 1 becomes 1.
  void SetBorderWidth(int width);
  [[nodiscard]] int BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(int style);
  [[nodiscard]] int BackStyle() const { return backStyle_; }
  void SetBackStyle(int backStyle);

  [[nodiscard]] bool HitTestVisible() const override { return false; }

 protected:
  void OnPaint(platform::Surface& surface) override;

 private:
  Colour borderColor_ = 0x80000008;
  int borderWidth_ = 1;
  int borderStyle_ = 1;
  int backStyle_ = 0;
};

}  // namespace pd::forms
