#include "platform/sim/backend.h"

namespace pd::sim {

SimPlatform::SimPlatform(String folder)
    : procs_(kSelfId), input_(procs_), app_(std::move(folder)), host_(procs_, graphics_) {}

}  // namespace pd::sim

namespace pd::platform {

std::unique_ptr<Platform> CreatePlatform(String& /*error*/) { return std::make_unique<sim::SimPlatform>(); }

}  // namespace pd::platform
