// Drawing in the simulation: the software surface.
#include "platform/sim/platform.h"

namespace pd::sim {

std::unique_ptr<platform::Graphics> SimPlatform::CreateGraphics() { return std::make_unique<soft::SoftGraphics>(); }

}  // namespace pd::sim
