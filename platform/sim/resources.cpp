#include "platform/sim/backend.h"

namespace pd::sim {

std::shared_ptr<const platform::Picture> SimResources::LoadPicture(int /*id*/, int /*size*/) {
  return nullptr;  // the embedded pictures arrive with resources/
}

}  // namespace pd::sim
