// The pictures of the program, and the program icon of a window.
#pragma once

#include <map>
#include <memory>
#include <utility>

#include "platform/resources.h"
#include "platform/x11/connection.h"

namespace pd::soft {
class SoftGraphics;
}  // namespace pd::soft

namespace pd::x11 {

// The pictures embedded in the program (resources/), decoded once.
class X11Resources final : public platform::Resources {
 public:
  explicit X11Resources(soft::SoftGraphics& graphics) : graphics_(graphics) {}
  std::shared_ptr<const platform::Picture> LoadPicture(int id, int size) override;

 private:
  soft::SoftGraphics& graphics_;
  std::map<std::pair<int, int>, std::shared_ptr<const platform::Picture>> cache_;
};

// Gives a window the program icon (_NET_WM_ICON: the 16 and the 32 pixel
// pictures, ARGB).
void SetProgramIcon(XConnection& x, XWindow window);

}  // namespace pd::x11
