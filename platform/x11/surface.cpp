// Drawing on Linux: the software surface with FreeType text; window
// surfaces come from SoftGraphics::CreateWindowSurface with a presenter that
// puts the frame into the window.
#include "platform/x11/platform.h"

namespace pd::x11 {

std::unique_ptr<platform::Graphics> X11Platform::CreateGraphics() { return std::make_unique<soft::SoftGraphics>(); }

}  // namespace pd::x11
