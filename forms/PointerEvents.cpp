#include "forms/PointerEvents.h"

#include "platform/host.h"

namespace pd::forms {

void PointerEvents::Raise(const Event<std::int16_t&, std::int16_t&, float&, float&>& event, const MouseEvent& e) {
  auto button = static_cast<std::int16_t>(e.button);
  auto shift = static_cast<std::int16_t>(e.shift);
  auto x = static_cast<float>(e.x * kTwipsPerPixel);
  auto y = static_cast<float>(e.y * kTwipsPerPixel);
  event.Raise(button, shift, x, y);
}

void PointerEvents::RaiseDown(const MouseEvent& e) {
  if (e.button == platform::button::kLeft) leftPressed_ = true;
  Raise(MouseDown, e);
}

void PointerEvents::RaiseMove(const MouseEvent& e) { Raise(MouseMove, e); }

void PointerEvents::RaiseUp(const MouseEvent& e, int width, int height) {
  const bool click = e.button == platform::button::kLeft && leftPressed_ && e.x >= 0 && e.y >= 0 && e.x < width &&
                     e.y < height;
  if (e.button == platform::button::kLeft) leftPressed_ = false;
  Raise(MouseUp, e);
  if (click) Click.Raise();
}

void PointerEvents::RaiseDblClick() {
  leftPressed_ = false;
  DblClick.Raise();
}

}  // namespace pd::forms
