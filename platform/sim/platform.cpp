#include "platform/sim/platform.h"

namespace pd::sim {

using platform::HostEvent;
using platform::HostEventKind;

namespace {

int ButtonKey(int button) {
  switch (button) {
    case platform::button::kRight:
      return platform::vk::kRButton;
    case platform::button::kMiddle:
      return platform::vk::kMButton;
    default:
      return platform::vk::kLButton;
  }
}

}  // namespace

SimPlatform::SimPlatform(String folder)
    : procs_(kSelfId), input_(procs_), app_(std::move(folder), loop_), host_(procs_, graphics_) {
  procs_.SetClock([this] { return loop_.Now(); });
  files_.SetInUse([this](StringView path) { return procs_.ImageInUse(path); });
}

void SimPlatform::MouseMove(WindowHandle window, Point pos, int shift) {
  const Rect b = host_.Bounds(window);
  input_.MoveCursor(Point{b.left + pos.x, b.top + pos.y});
  host_.Deliver(HostEvent{.kind = HostEventKind::kMouseMove, .window = window, .pos = pos, .button = heldButtons_,
                          .shift = shift});
}

void SimPlatform::MouseDown(WindowHandle window, Point pos, int button, int shift) {
  const Rect b = host_.Bounds(window);
  input_.MoveCursor(Point{b.left + pos.x, b.top + pos.y});
  input_.KeyDown(ButtonKey(button));
  heldButtons_ |= button;
  host_.Deliver(
      HostEvent{.kind = HostEventKind::kMouseDown, .window = window, .pos = pos, .button = button, .shift = shift});
}

void SimPlatform::MouseUp(WindowHandle window, Point pos, int button, int shift) {
  const Rect b = host_.Bounds(window);
  input_.MoveCursor(Point{b.left + pos.x, b.top + pos.y});
  input_.KeyUp(ButtonKey(button));
  heldButtons_ &= ~button;
  host_.Deliver(
      HostEvent{.kind = HostEventKind::kMouseUp, .window = window, .pos = pos, .button = button, .shift = shift});
}

void SimPlatform::MouseWheel(WindowHandle window, Point pos, int delta, int shift) {
  const Rect b = host_.Bounds(window);
  input_.MoveCursor(Point{b.left + pos.x, b.top + pos.y});
  host_.Deliver(HostEvent{.kind = HostEventKind::kMouseWheel, .window = window, .pos = pos, .shift = shift,
                          .wheel = delta});
}

void SimPlatform::Click(WindowHandle window, Point pos, int button, int shift) {
  MouseDown(window, pos, button, shift);
  MouseUp(window, pos, button, shift);
}

void SimPlatform::KeyDown(WindowHandle window, int virtualKey, int shift) {
  if ((shift & platform::shift::kShift) != 0) input_.KeyDown(platform::vk::kShift);
  if ((shift & platform::shift::kCtrl) != 0) input_.KeyDown(platform::vk::kControl);
  if ((shift & platform::shift::kAlt) != 0) input_.KeyDown(platform::vk::kMenu);
  input_.KeyDown(virtualKey);
  host_.Deliver(HostEvent{.kind = HostEventKind::kKeyDown, .window = window, .shift = shift, .key = virtualKey});
}

void SimPlatform::KeyUp(WindowHandle window, int virtualKey, int shift) {
  input_.KeyUp(virtualKey);
  host_.Deliver(HostEvent{.kind = HostEventKind::kKeyUp, .window = window, .shift = shift, .key = virtualKey});
  if ((shift & platform::shift::kShift) != 0) input_.KeyUp(platform::vk::kShift);
  if ((shift & platform::shift::kCtrl) != 0) input_.KeyUp(platform::vk::kControl);
  if ((shift & platform::shift::kAlt) != 0) input_.KeyUp(platform::vk::kMenu);
}

void SimPlatform::PressKey(WindowHandle window, int virtualKey, int shift) {
  KeyDown(window, virtualKey, shift);
  KeyUp(window, virtualKey, shift);
}

void SimPlatform::Type(WindowHandle window, StringView text) {
  host_.Deliver(HostEvent{.kind = HostEventKind::kText, .window = window, .text = String(text)});
}

}  // namespace pd::sim
