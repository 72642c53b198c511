#include "forms/Shape.h"

#include <algorithm>

namespace pd::forms {

Shape::Shape(Container& parent, StringView name, int index) : Control(parent, name, index) {
  SetTabStop(false);
  Refresh();
}

void Shape::SetBorderColor(Colour colour) {
  borderColor_ = colour;
  Refresh();
}

void Shape::SetBorderWidth(int width) {
  borderWidth_ = std::max(1, width);
  Refresh();
}

void Shape::SetBorderStyle(int style) {
  borderStyle_ = style == 0 ? 0 : 1;
  Refresh();
}

void Shape::SetBackStyle(int backStyle) {
  backStyle_ = backStyle == 1 ? 1 : 0;
  Refresh();
}

void Shape::OnPaint(platform::Surface& surface) {
  const int w = PixelWidth();
  const int h = PixelHeight();
  if (backStyle_ == 1) surface.FillRect(Rect{0, 0, w, h}, BackColor());
  if (borderStyle_ == 0) return;
  const int b = std::min({borderWidth_, (w + 1) / 2, (h + 1) / 2});
  surface.FillRect(Rect{0, 0, w, b}, borderColor_);
  surface.FillRect(Rect{0, h - b, w, h}, borderColor_);
  surface.FillRect(Rect{0, b, b, h - b}, borderColor_);
  surface.FillRect(Rect{w - b, b, w, h - b}, borderColor_);
}

}  // namespace pd::forms
