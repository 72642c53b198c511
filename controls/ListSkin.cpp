#include "controls/ListSkin.h"

namespace pd::controls {

std::shared_ptr<const platform::Picture> ListSkin::Load(platform::Platform& platform) {
  return platform.resources().LoadPicture(platform::res::kScrollSkin);
}

}  // namespace pd::controls
