// Simulated registry: an in-memory hive with the system's rules.
#include "platform/sim/platform.h"
#include "platform/sim/registry.h"

namespace pd::sim {

void SimRegistry::ProtectKey(platform::RegRoot root, std::string_view subKey) {
  platform::RegistryHive::Path path;
  if (platform::RegistryHive::SplitPath(subKey, path)) protected_.emplace_back(root, std::move(path));
}

bool SimRegistry::MayWrite(platform::RegRoot root, const platform::RegistryHive::Path& path) {
  for (const auto& [r, p] : protected_) {
    if (r != root || p.size() > path.size()) continue;
    bool under = true;
    for (std::size_t i = 0; i < p.size() && under; ++i) under = platform::RegistryHive::SameName(p[i], path[i]);
    if (under) return false;
  }
  return true;
}

std::unique_ptr<platform::Registry> SimPlatform::CreateRegistry() { return std::make_unique<SimRegistry>(); }

}  // namespace pd::sim
