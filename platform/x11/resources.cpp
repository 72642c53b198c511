#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "platform/soft/Bmp.h"
#include "platform/soft/SoftGraphics.h"
#include "platform/x11/connection.h"
#include "platform/x11/resources.h"
#include "resources/Embedded.h"

namespace pd::x11 {

std::shared_ptr<const platform::Picture> X11Resources::LoadPicture(int id, int size) {
  const std::pair key{id, platform::res::IconSize(id, size)};
  auto found = cache_.find(key);
  if (found != cache_.end()) return found->second;
  std::shared_ptr<const platform::Picture> picture = resources::LoadEmbeddedPicture(graphics_, id, size);
  if (picture != nullptr) cache_.emplace(key, picture);
  return picture;
}

void SetProgramIcon(XConnection& x, XWindow window) {
  // Width, height, then the pixels as 0xAARRGGBB, for each size; Xlib takes
  // the 32-bit items of a property as longs.
  std::vector<long> data;
  for (int size : {16, 32}) {
    soft::BmpImage image;
    if (!soft::DecodeBmp(resources::FindBmp(platform::res::kProgramIcon, size), image)) continue;
    data.push_back(image.width);
    data.push_back(image.height);
    for (Colour p : image.pixels) {
      const unsigned long argb = (p & 0xFF00FF00u) | ((p & 0xFFu) << 16) | ((p >> 16) & 0xFFu);
      data.push_back(static_cast<long>(argb));
    }
  }
  if (data.empty()) return;
  XChangeProperty(x.Dpy(), window, x.GetAtom("_NET_WM_ICON"), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(data.data()), static_cast<int>(data.size()));
}

}  // namespace pd::x11
