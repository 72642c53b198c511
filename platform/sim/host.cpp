#include "platform/sim/backend.h"

namespace pd::sim {

WindowHandle SimHost::CreateForm(StringView /*caption*/) {
  const WindowHandle form = procs_.OpenWindow(procs_.CurrentProcess());
  visible_[form] = false;
  return form;
}

void SimHost::ShowForm(WindowHandle form, bool visible) { visible_[form] = visible; }

bool SimHost::IsVisible(WindowHandle form) const {
  auto it = visible_.find(form);
  return it != visible_.end() && it->second;
}

std::unique_ptr<platform::Surface> SimHost::CreateFormSurface(WindowHandle form, int width, int height) {
  if (visible_.count(form) == 0 || width <= 0 || height <= 0) return nullptr;
  return graphics_.CreateWindowSurface(width, height, [this, form](const soft::SoftSurface& frame) {
    Screenful& screen = screens_[form];
    screen.pixels = frame.ReadPixels(Rect{0, 0, frame.Width(), frame.Height()});
    ++screen.presents;
  });
}

const std::vector<Colour>& SimHost::Screen(WindowHandle form) const {
  static const std::vector<Colour> kNothing;
  auto it = screens_.find(form);
  return it == screens_.end() ? kNothing : it->second.pixels;
}

int SimHost::Presents(WindowHandle form) const {
  auto it = screens_.find(form);
  return it == screens_.end() ? 0 : it->second.presents;
}

std::unique_ptr<platform::ComponentSite> SimHost::CreateSite(WindowHandle form) {
  return std::make_unique<SimSite>(form);
}

}  // namespace pd::sim
