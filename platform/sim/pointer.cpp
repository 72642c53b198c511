// The simulated host's pointer: which window of any program lies under a
// point, and the shape the pointer takes over each of ours.
#include <algorithm>

#include "platform/sim/host.h"

namespace pd::sim {

namespace {

bool Contains(const Rect& r, Point p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

}  // namespace

WindowHandle SimHost::TopWindowAt(Point screen) {
  for (auto it = foreign_.rbegin(); it != foreign_.rend(); ++it) {
    if (Contains(it->second, screen)) return it->first;
  }
  for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
    if (IsVisible(*it) && Contains(Find(*it)->bounds, screen)) return *it;
  }
  return 0;
}

void SimHost::SetCursor(WindowHandle form, platform::PointerShape shape,
                        std::shared_ptr<const platform::Picture> picture) {
  Window* w = Find(form);
  if (w == nullptr) return;
  if (shape == platform::PointerShape::kCustom && picture == nullptr) shape = platform::PointerShape::kDefault;
  w->cursor = shape;
  w->cursorPicture = shape == platform::PointerShape::kCustom ? std::move(picture) : nullptr;
}

void SimHost::PlaceForeignWindow(WindowHandle window, const Rect& r) {
  RemoveForeignWindow(window);
  foreign_.emplace_back(window, r);
}

void SimHost::RemoveForeignWindow(WindowHandle window) {
  std::erase_if(foreign_, [window](const auto& entry) { return entry.first == window; });
}

platform::PointerShape SimHost::Cursor(WindowHandle form) const {
  const Window* w = Find(form);
  return w != nullptr ? w->cursor : platform::PointerShape::kDefault;
}

std::shared_ptr<const platform::Picture> SimHost::CursorPicture(WindowHandle form) const {
  const Window* w = Find(form);
  return w != nullptr ? w->cursorPicture : nullptr;
}

}  // namespace pd::sim
