// The pictures of resources/ built into the program as data, decoded on
// first use and kept: the resources of the backends without a resource
// section in their executable (the simulation and Linux).
#pragma once

#include <map>
#include <memory>
#include <string_view>
#include <utility>

#include "platform/resources.h"

namespace pd::soft {

class SoftGraphics;

class EmbeddedResources final : public platform::Resources {
 public:
  explicit EmbeddedResources(SoftGraphics& graphics) : graphics_(graphics) {}
  // Icons at the size res::IconSize picks, skin strips at their own; one
  // picture per number and size, shared by every caller.
  std::shared_ptr<const platform::Picture> LoadPicture(int id, int size = 0) override;

  // The BMP file of a resource number at the size res::IconSize picks;
  // empty for a number that has none.
  static std::string_view FindBmp(int id, int size);

 private:
  SoftGraphics& graphics_;
  std::map<std::pair<int, int>, std::shared_ptr<const platform::Picture>> cache_;
};

}  // namespace pd::soft
