// Resources port: the pictures built into the executable, by number.
//
// Windows: a resource script compiled into the executable (ICON and BITMAP
// resources). Linux and the simulation: the same pictures embedded as data.
// Both come from the files in resources/, drawn for this program.
#pragma once

#include <memory>

#include "platform/surface.h"
#include "platform/types.h"

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
inline constexpr int kScrollSkin = 204;    // XP_ListBox's scroll-bar strips (below)

// kScrollSkin holds XP_ListBox's strips side by side, each a vertical stack
// of equal cells from the picture's top; the rest of the picture is magenta
// (0xFF00FF), the key colour of the glyphs and the gripper.
inline constexpr Rect kScrollArrows{0, 0, 17, 68};         // 4 cells 17 x 17: normal, hot, pressed, disabled
inline constexpr Rect kScrollThumb{17, 0, 32, 88};         // 4 cells 15 x 22, the same order
inline constexpr Rect kScrollShaft{32, 0, 49, 68};         // 4 cells 17 x 17, the same order
inline constexpr Rect kScrollGlyphs{49, 0, 58, 144};       // 16 cells 9 x 9: up arrow 0-3, down arrow 4-7 (states
                                                           // as above), 8-15 unused
inline constexpr Rect kScrollGlyphsSmall{58, 0, 65, 112};  // 16 cells 7 x 7, as kScrollGlyphs
inline constexpr Rect kScrollGripper{65, 0, 73, 32};       // 4 cells 8 x 8, the states as above
inline constexpr Rect kScrollCheck{73, 0, 86, 52};         // the list's check box, 4 cells 13 x 13: unchecked,
                                                           // checked, unchecked disabled, checked disabled

inline constexpr bool IsIcon(int id) { return id == kProgramIcon || (id >= kIconEnabled && id <= kIconDisabled); }

// The size of the picture LoadPicture gives for an icon asked at `size`: 0
// asks for the natural size (32 for the program icon, 16 for the tray
// icons), up to 16 gives 16, above 16 gives 32. 0 for a number that is not
// an icon (skin strips come at their own size whatever is asked).
inline constexpr int IconSize(int id, int size) {
  if (!IsIcon(id)) return 0;
  if (size == 0) return id == kProgramIcon ? 32 : 16;
  return size > 16 ? 32 : 16;
}
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
