// ListSkin: where XP_ListBox finds its pictures in the scroll-bar skin (the
// resource res::kScrollSkin): every strip is a vertical stack of equal cells
// at its own place in the one picture (platform/resources.h).
//
// Cells of the scroll-bar parts go by state s (0 normal, 1 hot, 2 pressed)
// and the control's disabled flag d: cell s + 3 d, so a disabled control
// (always in state 0) shows the fourth cell. The arrow glyphs hold the up
// arrow in cells 0-3 and the down arrow in cells 4-7. The check box of a row
// (Style 2) has four 13 x 13 cells: unchecked, checked, unchecked disabled,
// checked disabled.
#pragma once

#include <memory>

#include "platform/platform.h"
#include "platform/resources.h"
#include "platform/surface.h"

namespace pd::controls {

class ListSkin {
 public:
  static constexpr int kCheckCell = 13;
  static constexpr Colour kKey = 0xFF00FF;  // transparent in glyphs and the gripper

  // The skin picture of the platform's resources; nullptr when it has none
  // (then nothing of it is drawn).
  static std::shared_ptr<const platform::Picture> Load(platform::Platform& platform);

  static constexpr Rect CheckCell(bool checked, bool enabled) {
    return Cell(platform::res::kScrollCheck, kCheckCell, (enabled ? 0 : 2) + (checked ? 1 : 0));
  }
  static constexpr Rect ArrowCell(int state, bool disabled) {
    return Cell(platform::res::kScrollArrows, 17, StateCell(state, disabled));
  }
  static constexpr Rect ThumbCell(int state, bool disabled) {
    return Cell(platform::res::kScrollThumb, 22, StateCell(state, disabled));
  }
  static constexpr Rect ShaftCell(int state, bool disabled) {
    return Cell(platform::res::kScrollShaft, 17, StateCell(state, disabled));
  }
  // small: the 7 x 7 glyphs for arrow buttons under 17 pixels.
  static constexpr Rect GlyphCell(bool small, bool up, int state, bool disabled) {
    const Rect strip = small ? platform::res::kScrollGlyphsSmall : platform::res::kScrollGlyphs;
    return Cell(strip, (strip.bottom - strip.top) / 16, StateCell(state, disabled) + (up ? 0 : 4));
  }
  static constexpr Rect GripperCell(int state, bool disabled) {
    return Cell(platform::res::kScrollGripper, 8, StateCell(state, disabled));
  }

 private:
  static constexpr int StateCell(int state, bool disabled) { return state + (disabled ? 3 : 0); }
  static constexpr Rect Cell(const Rect& strip, int height, int cell) {
    return Rect{strip.left, strip.top + height * cell, strip.right, strip.top + height * (cell + 1)};
  }
};

}  // namespace pd::controls
