#include "forms/PushButton.h"

namespace pd::forms {

namespace vk = platform::vk;

namespace {

// System colours of buttons.
constexpr Colour kFace = 0x8000000F;
constexpr Colour kShadow = 0x80000010;
constexpr Colour kGreyText = 0x80000011;
constexpr Colour kButtonText = 0x80000012;
constexpr Colour kLight = 0x80000014;
constexpr Colour kDarkShadow = 0x80000015;
constexpr Colour k3DLight = 0x80000016;
constexpr Colour kFrameColour = 0x80000006;

}  // namespace

void FrameRect(platform::Surface& s, const Rect& r, Colour topLeft, Colour bottomRight) {
  s.FillRect(Rect{r.left, r.top, r.right, r.top + 1}, topLeft);
  s.FillRect(Rect{r.left, r.top, r.left + 1, r.bottom}, topLeft);
  s.FillRect(Rect{r.left, r.bottom - 1, r.right, r.bottom}, bottomRight);
  s.FillRect(Rect{r.right - 1, r.top, r.right, r.bottom}, bottomRight);
}

Rect Inset(const Rect& r, int by) { return Rect{r.left + by, r.top + by, r.right - by, r.bottom - by}; }

void FocusRect(platform::Surface& s, const Rect& r, Colour colour) {
  auto dot = [&](int x, int y) {
    if ((x + y) % 2 == 0) s.FillRect(Rect{x, y, x + 1, y + 1}, colour);
  };
  for (int x = r.left; x < r.right; ++x) {
    dot(x, r.top);
    dot(x, r.bottom - 1);
  }
  for (int y = r.top; y < r.bottom; ++y) {
    dot(r.left, y);
    dot(r.right - 1, y);
  }
}

PushButton::PushButton(Container& parent, StringView name, int index, StringView caption,
                       std::function<void()> click)
    : Control(parent, name, index), caption_(caption), click_(std::move(click)) {}

void PushButton::Press() const {
  if (click_) click_();
}

void PushButton::OnMouseDown(const MouseEvent& e) {
  if (e.button != platform::button::kLeft) return;
  held_ = true;
  SetInside(e);
}

void PushButton::OnMouseMove(const MouseEvent& e) {
  if (held_) SetInside(e);
}

void PushButton::OnMouseUp(const MouseEvent& e) {
  if (!held_ || e.button != platform::button::kLeft) return;
  held_ = false;
  const bool wasInside = inside_;
  inside_ = false;
  Refresh();
  if (wasInside) Press();
}

void PushButton::OnKeyDown(int& key, int /*shift*/) {
  if (key != vk::kSpace) return;
  key = 0;
  if (!spaceDown_) {
    spaceDown_ = true;
    Refresh();
  }
}

void PushButton::OnKeyUp(int& key, int /*shift*/) {
  if (key != vk::kSpace || !spaceDown_) return;
  spaceDown_ = false;
  Refresh();
  Press();
}

void PushButton::OnLostFocus() {
  spaceDown_ = false;
  Refresh();
}

void PushButton::OnCaptureLost() {
  held_ = false;
  inside_ = false;
  Refresh();
}

void PushButton::SetInside(const MouseEvent& e) {
  const bool inside = e.x >= 0 && e.y >= 0 && e.x < PixelWidth() && e.y < PixelHeight();
  if (inside == inside_) return;
  inside_ = inside;
  Refresh();
}

void PushButton::OnPaint(platform::Surface& s) {
  Rect r{0, 0, PixelWidth(), PixelHeight()};
  s.FillRect(r, kFace);
  const bool focused = HasFocus();
  const bool pressed = (held_ && inside_) || spaceDown_;
  if (focused) {
    FrameRect(s, r, kFrameColour, kFrameColour);
    r = Inset(r, 1);
  }
  if (pressed) {
    FrameRect(s, r, kShadow, kShadow);
  } else {
    FrameRect(s, r, kLight, kDarkShadow);
    FrameRect(s, Inset(r, 1), k3DLight, kShadow);
  }
  const int shift = pressed ? 1 : 0;
  const Rect face{r.left + shift, r.top + shift, r.right + shift, r.bottom + shift};
  if (glyph_) {
    glyph_(s, face, EffectivelyEnabled());
  } else {
    s.SetTextColor(EffectivelyEnabled() ? kButtonText : kGreyText);
    s.TextIn(face, caption_, platform::dt::kCenter | platform::dt::kVCenter | platform::dt::kSingleLine);
  }
  if (focused) FocusRect(s, Inset(Rect{0, 0, PixelWidth(), PixelHeight()}, 4), kButtonText);
}

}  // namespace pd::forms
