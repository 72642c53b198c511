#include "forms/PictureBox.h"

#include <algorithm>

#include "forms/Border.h"

namespace pd::forms {

PictureBox::PictureBox(Container& parent, StringView name, int index) : Container(parent, name, index) {
  SetTabStop(false);
  Refresh();
}

void PictureBox::SetBorderStyle(int style) {
  borderStyle_ = style == border::kFixedSingle ? border::kFixedSingle : border::kNone;
  Refresh();
}

void PictureBox::SetAppearance(int appearance) {
  appearance_ = appearance == appearance::kFlat ? appearance::kFlat : appearance::k3D;
  Refresh();
}

int PictureBox::ScaleWidth() const {
  return std::max(0, PixelWidth() - 2 * forms::BorderWidth(borderStyle_, appearance_));
}

int PictureBox::ScaleHeight() const {
  return std::max(0, PixelHeight() - 2 * forms::BorderWidth(borderStyle_, appearance_));
}

Point PictureBox::ClientOrigin() const {
  const int b = forms::BorderWidth(borderStyle_, appearance_);
  return Point{b, b};
}

void PictureBox::OnPaint(platform::Surface& surface) {
  const Rect all{0, 0, PixelWidth(), PixelHeight()};
  surface.FillRect(all, BackColor());
  DrawBorder(surface, all, borderStyle_, appearance_);
  Paint.Raise(surface);
}

}  // namespace pd::forms
