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

PressTracker::Pointer PushButton::Where(const MouseEvent& e) const {
  return PressTracker::Pointer{.over = e.x >= 0 && e.y >= 0 && e.x < PixelWidth() && e.y < PixelHeight(),
                               .captured = HasCapture()};
}

void PushButton::Apply(const PressTracker::Reaction& r) {
  if (r.releaseCapture && HasCapture()) ReleaseCapture();
  for (PressTracker::Step step : r) {
    if (step == PressTracker::Step::Paint) {
      // The classic face has no hover look: only Down shows.
      const bool changed = (r.look == Look::Down) != (look_ == Look::Down);
      look_ = r.look;
      if (changed || r.force) Refresh();
    }
    if (step == PressTracker::Step::Click) Press();
  }
}

void PushButton::OnMouseDown(const MouseEvent& e) {
  if (tracker_.TakesMouse()) Apply(tracker_.Press(e.button, Where(e)));
}

void PushButton::OnMouseMove(const MouseEvent& e) {
  if (tracker_.TakesMouse()) Apply(tracker_.Move(e.button, Where(e)));
}

void PushButton::OnMouseUp(const MouseEvent& e) {
  if (tracker_.TakesMouse()) Apply(tracker_.Release(e.button, Where(e), Where(e).over));
}

void PushButton::OnKeyDown(int& key, int /*shift*/) {
  if (key != vk::kSpace || !tracker_.TakesKeys()) return;
  key = 0;
  Apply(tracker_.KeyDown(vk::kSpace));
}

void PushButton::OnKeyUp(int& key, int /*shift*/) {
  if (key != vk::kSpace || !tracker_.TakesKeys()) return;
  Apply(tracker_.KeyUp(vk::kSpace, PressTracker::Pointer{}));
}

void PushButton::OnGotFocus() { Apply(tracker_.FocusIn(PressTracker::Pointer{})); }

void PushButton::OnLostFocus() { Apply(tracker_.FocusOut(PressTracker::Pointer{})); }

void PushButton::OnCaptureLost() { Apply(tracker_.CaptureLost(PressTracker::Pointer{})); }

void PushButton::OnPaint(platform::Surface& s) {
  Rect r{0, 0, PixelWidth(), PixelHeight()};
  s.FillRect(r, kFace);
  const bool focused = HasFocus();
  const bool pressed = look_ == Look::Down;
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
