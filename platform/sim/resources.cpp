#include "platform/sim/resources.h"
#include "platform/soft/SoftGraphics.h"
#include "resources/Embedded.h"

namespace pd::sim {

std::shared_ptr<const platform::Picture> SimResources::LoadPicture(int id, int size) {
  const std::pair key{id, platform::res::IconSize(id, size)};
  auto found = cache_.find(key);
  if (found != cache_.end()) return found->second;
  std::shared_ptr<const platform::Picture> picture = resources::LoadEmbeddedPicture(graphics_, id, size);
  if (picture != nullptr) cache_.emplace(key, picture);
  return picture;
}

}  // namespace pd::sim
