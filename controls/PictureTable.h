// PictureTable: the pictures a host registered with a list, by number.
//
// Item texts name pictures only by these numbers ("<img=NUMBER,...>"). Item
// texts carry process names and paths, which whoever starts a process
// chooses, so a number is never taken as a handle or address: a number that
// is not registered draws nothing.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "platform/surface.h"

namespace pd::controls {

class PictureTable {
 public:
  using PicturePtr = std::shared_ptr<const platform::Picture>;

  // Registers (or replaces) picture `number`; numbers start at 1, as 0 is
  // the blank of "<space=". A null picture unregisters the number.
  void Set(std::int32_t number, PicturePtr picture) {
    if (number < 1) throw std::out_of_range("XP_ListBox: picture number " + std::to_string(number) + " is below 1");
    if (picture) {
      pictures_[number] = std::move(picture);
    } else {
      pictures_.erase(number);
    }
  }
  // The picture of a number, or nullptr.
  [[nodiscard]] const platform::Picture* Find(std::int32_t number) const {
    auto it = pictures_.find(number);
    return it == pictures_.end() ? nullptr : it->second.get();
  }
  void Clear() { pictures_.clear(); }
  [[nodiscard]] std::size_t Size() const { return pictures_.size(); }

 private:
  std::map<std::int32_t, PicturePtr> pictures_;
};

}  // namespace pd::controls
