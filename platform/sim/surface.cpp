// Drawing in the simulation: the software surface.
#include "platform/soft/SoftGraphics.h"

namespace pd::platform {

std::unique_ptr<Graphics> CreateGraphics() { return std::make_unique<soft::SoftGraphics>(); }

}  // namespace pd::platform
