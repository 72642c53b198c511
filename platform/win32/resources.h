// The executable's resources.
//
// Names no Windows type: it can be included without <windows.h>.
#pragma once

#include <map>
#include <memory>
#include <utility>

#include "platform/resources.h"

namespace pd::win32 {

// The executable's ICON and BITMAP resources (resources/ProcessDrovak.rc),
// read once.
class Win32Resources final : public platform::Resources {
 public:
  explicit Win32Resources(platform::Graphics& graphics) : graphics_(graphics) {}
  std::shared_ptr<const platform::Picture> LoadPicture(int id, int size) override;

 private:
  platform::Graphics& graphics_;
  std::map<std::pair<int, int>, std::shared_ptr<const platform::Picture>> cache_;
};

}  // namespace pd::win32
