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

std::unique_ptr<platform::ComponentSite> SimHost::CreateSite(WindowHandle form) {
  return std::make_unique<SimSite>(form);
}

}  // namespace pd::sim
