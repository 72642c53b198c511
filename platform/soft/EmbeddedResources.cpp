#include "platform/soft/EmbeddedResources.h"

#include "platform/soft/Bmp.h"
#include "platform/soft/SoftGraphics.h"
#include "resources/Embedded.h"

namespace pd::soft {

std::string_view EmbeddedResources::FindBmp(int id, int size) {
  const int wanted = platform::res::IconSize(id, size);
  for (const resources::EmbeddedFile& file : resources::EmbeddedFiles()) {
    if (file.id == id && file.size == wanted) return file.bytes;
  }
  return {};
}

std::shared_ptr<const platform::Picture> EmbeddedResources::LoadPicture(int id, int size) {
  const std::pair key{id, platform::res::IconSize(id, size)};
  auto found = cache_.find(key);
  if (found != cache_.end()) return found->second;
  BmpImage image;
  if (!DecodeBmp(FindBmp(id, size), image)) return nullptr;
  std::shared_ptr<const platform::Picture> picture =
      graphics_.CreatePicture(image.width, image.height, image.pixels, image.bitsPerPixel);
  if (picture != nullptr) cache_.emplace(key, picture);
  return picture;
}

}  // namespace pd::soft
