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

void PointerEvents::RaiseUp(const Control& self, const MouseEvent& e) {
  const bool click = e.button == platform::button::kLeft && leftPressed_ && e.x >= 0 && e.y >= 0 &&
                     e.x < self.PixelWidth() && e.y < self.PixelHeight();
  if (e.button == platform::button::kLeft) leftPressed_ = false;
  const ControlLife life = self.Life();
  Raise(MouseUp, e);
  if (click && life.Alive()) Click.Raise();
}

void PointerEvents::RaiseDblClick() {
  leftPressed_ = false;
  DblClick.Raise();
}

}  // namespace pd::forms
