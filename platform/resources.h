// Resources port: the pictures built into the executable, by number.
//
// Windows: a resource script compiled into the executable (ICON and BITMAP
// resources). Linux and the simulation: the same pictures embedded as data.
// Both come from the files in resources/, drawn for this program.
#pragma once

#include <memory>

#include "platform/surface.h"

namespace pd::platform {

// Resource numbers.
namespace res {
inline constexpr int kProgramIcon = 1;
inline constexpr int kIconEnabled = 101;
inline constexpr int kIconSuccess = 102;
inline constexpr int kIconRefused = 103;
inline constexpr int kIconDisabled = 104;
inline constexpr int kButtonSkin = 201;    // XP_Button's default skin strip
inline constexpr int kCheckBoxSkin = 202;  // XP_CheckBox's box strip
inline constexpr int kTabSkin = 203;       // the tab buttons' strip (imgTab)
inline constexpr int kScrollSkin = 204;    // XP_ListBox's scroll-bar strip
}  // namespace res

class Resources {
 public:
  virtual ~Resources() = default;
  // The picture of a resource number (a 32-bit picture with its alpha for
  // icons, 24-bit for skin strips); nullptr for a number that has none.
  // Icons come at 16 x 16 (tray) or 32 x 32 (program icon); size asks for
  // one of them, 0 for the natural size.
  virtual std::shared_ptr<const Picture> LoadPicture(int id, int size = 0) = 0;
};

}  // namespace pd::platform
