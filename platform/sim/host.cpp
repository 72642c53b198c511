#include <algorithm>

#include "platform/sim/host.h"
#include "platform/sim/processes.h"
#include "platform/soft/Pixel.h"
#include "platform/soft/SoftGraphics.h"

namespace pd::sim {

using platform::HostEvent;
using platform::HostEventKind;

SimHost::Window* SimHost::Find(WindowHandle form) {
  auto it = windows_.find(form);
  return it == windows_.end() ? nullptr : &it->second;
}

const SimHost::Window* SimHost::Find(WindowHandle form) const {
  auto it = windows_.find(form);
  return it == windows_.end() ? nullptr : &it->second;
}

WindowHandle SimHost::CreateForm(StringView caption, platform::WindowKind kind, WindowHandle owner) {
  const WindowHandle form = procs_.OpenWindow(procs_.CurrentProcess());
  Window& w = windows_[form];
  w.caption = String(caption);
  w.kind = kind;
  w.owner = Find(owner) != nullptr ? owner : 0;
  order_.push_back(form);
  return form;
}

void SimHost::Activate(WindowHandle form) {
  if (form == active_ || (form != 0 && Find(form) == nullptr)) return;
  const WindowHandle old = active_;
  active_ = form;
  std::erase(activeHistory_, form);
  if (form != 0) activeHistory_.push_back(form);
  if (old != 0) Deliver(HostEvent{.kind = HostEventKind::kFocusOut, .window = old});
  if (form != 0) Deliver(HostEvent{.kind = HostEventKind::kFocusIn, .window = form});
}

void SimHost::DestroyForm(WindowHandle form) {
  if (windows_.erase(form) == 0) return;
  std::erase(activeHistory_, form);
  if (active_ == form) {
    active_ = 0;
    ActivateLast();
  }
  std::erase(order_, form);
  if (capture_ == form) capture_ = 0;
  procs_.CloseWindow(form);
}

void SimHost::SetCaption(WindowHandle form, StringView caption) {
  if (Window* w = Find(form)) w->caption = String(caption);
}

void SimHost::SetBounds(WindowHandle form, const Rect& r) {
  Window* w = Find(form);
  if (w == nullptr) return;
  const bool resized = r.Width() != w->bounds.Width() || r.Height() != w->bounds.Height();
  w->bounds = r;
  if (resized) Deliver(HostEvent{.kind = HostEventKind::kResized, .window = form, .area = r});
}

Rect SimHost::Bounds(WindowHandle form) {
  const Window* w = Find(form);
  return w != nullptr ? w->bounds : Rect{};
}

void SimHost::ShowForm(WindowHandle form, bool visible) {
  Window* w = Find(form);
  if (w == nullptr || (w->visible == visible && !(visible && w->minimized))) return;
  w->visible = visible;
  if (visible) w->minimized = false;  // shown again: restored
  if (!visible && capture_ == form) capture_ = 0;
  Deliver(HostEvent{.kind = visible ? HostEventKind::kShown : HostEventKind::kHidden, .window = form});
  if (visible) {
    const Rect client{0, 0, w->bounds.Width(), w->bounds.Height()};
    Deliver(HostEvent{.kind = HostEventKind::kExpose, .window = form, .area = client});
    if (w->kind != platform::WindowKind::Popup) Activate(form);
  } else if (active_ == form) {
    ActivateLast();
  }
}

void SimHost::ActivateLast() {
  // As window managers do: the window active before, if still shown.
  for (auto it = activeHistory_.rbegin(); it != activeHistory_.rend(); ++it) {
    if (*it != active_ && IsVisible(*it)) {
      Activate(*it);
      return;
    }
  }
  Activate(0);
}

bool SimHost::IsVisible(WindowHandle form) {
  const Window* w = Find(form);
  return w != nullptr && w->visible && !w->minimized;
}

void SimHost::Minimize(WindowHandle form) {
  Window* w = Find(form);
  if (w == nullptr || !w->visible || w->minimized || w->kind == platform::WindowKind::Popup) return;
  w->minimized = true;
  if (capture_ == form) capture_ = 0;
  if (active_ == form) ActivateLast();
}

bool SimHost::Minimized(WindowHandle form) const {
  const Window* w = Find(form);
  return w != nullptr && w->minimized;
}

std::unique_ptr<platform::Surface> SimHost::CreateFormSurface(WindowHandle form, int width, int height) {
  if (Find(form) == nullptr || width <= 0 || height <= 0) return nullptr;
  auto present = [this, form](const soft::SoftSurface& frame, const Rect& r) {
    Window* w = Find(form);
    if (w == nullptr) return;  // destroyed: nothing shows
    const int fw = frame.Width();
    const int fh = frame.Height();
    if (w->screenWidth != fw || w->screen.size() != static_cast<std::size_t>(fw) * static_cast<std::size_t>(fh)) {
      w->screen.assign(static_cast<std::size_t>(fw) * static_cast<std::size_t>(fh), 0);
      w->screenWidth = fw;
    }
    const int left = std::max(r.left, 0);
    const int right = std::min(r.right, fw);
    for (int y = std::max(r.top, 0); y < std::min(r.bottom, fh); ++y) {
      const std::uint32_t* row = frame.Row(y);
      for (int x = left; x < right; ++x) {
        w->screen[static_cast<std::size_t>(y) * static_cast<std::size_t>(fw) + static_cast<std::size_t>(x)] =
            soft::SwapRedBlue(row[x]) & 0xFFFFFFu;
      }
    }
    ++w->presents;
  };
  return graphics_.CreateWindowSurface(width, height, std::move(present));
}

void SimHost::SetCapture(WindowHandle form) {
  if (Find(form) != nullptr) capture_ = form;
}

void SimHost::ReleaseCapture() { capture_ = 0; }

void SimHost::EnableInput(WindowHandle form, bool enabled) {
  if (Window* w = Find(form)) w->enabled = enabled;
}

bool SimHost::InputEnabled(WindowHandle form) const {
  const Window* w = Find(form);
  return w != nullptr && w->enabled;
}

WindowHandle SimHost::ModalOf(WindowHandle form) const {
  for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
    const Window* w = Find(*it);
    if (w == nullptr || !w->visible || !w->enabled) continue;
    for (WindowHandle up = w->owner; up != 0; up = Owner(up)) {
      if (up == form) return *it;
    }
  }
  return 0;
}

void SimHost::Deliver(const HostEvent& event) {
  const Window* w = Find(event.window);
  if (sink_ == nullptr || w == nullptr) return;
  if (!w->enabled) {
    switch (event.kind) {
      case HostEventKind::kKeyDown:
      case HostEventKind::kKeyUp:
      case HostEventKind::kText:
        // A disabled window never keeps the keyboard: its modal window has it.
        if (const WindowHandle modal = ModalOf(event.window)) {
          HostEvent moved = event;
          moved.window = modal;
          sink_->OnHostEvent(moved);
        }
        return;
      case HostEventKind::kMouseDown:
        if (const WindowHandle modal = ModalOf(event.window); modal != 0 && Kind(modal) != platform::WindowKind::Popup) {
          Activate(modal);
        }
        return;
      case HostEventKind::kMouseMove:
      case HostEventKind::kMouseUp:
      case HostEventKind::kDoubleClick:
      case HostEventKind::kMouseWheel:
        return;
      case HostEventKind::kCloseRequest:
        if (event.unloadMode == platform::unload::kUser) return;
        break;
      default:
        break;
    }
  }
  sink_->OnHostEvent(event);
}

String SimHost::Caption(WindowHandle form) const {
  const Window* w = Find(form);
  return w != nullptr ? w->caption : String();
}

platform::WindowKind SimHost::Kind(WindowHandle form) const {
  const Window* w = Find(form);
  return w != nullptr ? w->kind : platform::WindowKind::Form;
}

WindowHandle SimHost::Owner(WindowHandle form) const {
  const Window* w = Find(form);
  return w != nullptr ? w->owner : 0;
}

std::vector<WindowHandle> SimHost::Forms() const { return order_; }

const std::vector<Colour>& SimHost::Screen(WindowHandle form) const {
  static const std::vector<Colour> kNothing;
  const Window* w = Find(form);
  return w != nullptr ? w->screen : kNothing;
}

int SimHost::Presents(WindowHandle form) const {
  const Window* w = Find(form);
  return w != nullptr ? w->presents : 0;
}

}  // namespace pd::sim
