#include "resources/Embedded.h"

#include "platform/resources.h"
#include "platform/soft/Bmp.h"

namespace pd::resources {

std::string_view FindBmp(int id, int size) {
  const int wanted = platform::res::IconSize(id, size);
  for (const EmbeddedFile& file : EmbeddedFiles()) {
    if (file.id == id && file.size == wanted) return file.bytes;
  }
  return {};
}

std::unique_ptr<platform::Picture> LoadEmbeddedPicture(platform::Graphics& graphics, int id, int size) {
  soft::BmpImage image;
  if (!soft::DecodeBmp(FindBmp(id, size), image)) return nullptr;
  return graphics.CreatePicture(image.width, image.height, image.pixels, image.bitsPerPixel);
}

}  // namespace pd::resources
