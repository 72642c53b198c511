// The pictures of the program in the simulation.
#pragma once

#include <map>
#include <memory>
#include <utility>

#include "platform/resources.h"

namespace pd::soft {
class SoftGraphics;
}  // namespace pd::soft

namespace pd::sim {

// The pictures embedded in the program (resources/), decoded once.
class SimResources final : public platform::Resources {
 public:
  explicit SimResources(soft::SoftGraphics& graphics) : graphics_(graphics) {}
  std::shared_ptr<const platform::Picture> LoadPicture(int id, int size) override;

 private:
  soft::SoftGraphics& graphics_;
  std::map<std::pair<int, int>, std::shared_ptr<const platform::Picture>> cache_;
};

}  // namespace pd::sim
