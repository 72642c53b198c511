// Drawing on Linux: the software surface with FreeType text; window
// surfaces come from SoftGraphics::CreateWindowSurface with a presenter that
// puts the frame into the window.
#include "platform/soft/SoftGraphics.h"

namespace pd::platform {

std::unique_ptr<Graphics> CreateGraphics() { return std::make_unique<soft::SoftGraphics>(); }

}  // namespace pd::platform
