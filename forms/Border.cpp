#include "forms/Border.h"

namespace pd::forms {

namespace {

// One ring of r: top and left in one colour, bottom and right in another.
void Ring(platform::Surface& s, const Rect& r, Colour topLeft, Colour bottomRight) {
  if (r.Width() <= 0 || r.Height() <= 0) return;
  s.FillRect(Rect{r.left, r.top, r.right, r.top + 1}, topLeft);
  s.FillRect(Rect{r.left, r.top, r.left + 1, r.bottom}, topLeft);
  s.FillRect(Rect{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
  s.FillRect(Rect{r.right - 1, r.top + 1, r.right, r.bottom}, bottomRight);
}

}  // namespace

int BorderWidth(int borderStyle, int appearance) {
  if (borderStyle != border::kFixedSingle) return 0;
  return appearance == appearance::k3D ? 2 : 1;
}

void DrawBorder(platform::Surface& surface, const Rect& r, int borderStyle, int appearance) {
  if (borderStyle != border::kFixedSingle) return;
  if (appearance != appearance::k3D) {
    Ring(surface, r, 0x80000006, 0x80000006);
    return;
  }
  Ring(surface, r, 0x80000010, 0x80000014);
  Ring(surface, Rect{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, 0x80000015, 0x80000016);
}

}  // namespace pd::forms
