// The simulated registry: an in-memory hive.
#pragma once

#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry_hive.h"

namespace pd::sim {

// An in-memory hive, empty at the start. Tests read it back through the port
// or Hive(), count open handles, and protect keys to stand for keys the user
// may read but not change (access denied to KEY_ALL_ACCESS).
class SimRegistry final : public platform::HiveRegistry {
 public:
  // The key and everything under it may be read but not opened for writing,
  // created, changed or deleted. subKey as in OpenKey.
  void ProtectKey(platform::RegRoot root, std::string_view subKey);

 protected:
  bool MayWrite(platform::RegRoot root, const platform::RegistryHive::Path& path) override;

 private:
  std::vector<std::pair<platform::RegRoot, platform::RegistryHive::Path>> protected_;
};

}  // namespace pd::sim
