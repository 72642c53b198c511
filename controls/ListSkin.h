// ListSkin: the built-in artwork of XP_ListBox.
//
// imgChk is a vertical strip of four 13 x 13 cells: unchecked, checked,
// unchecked disabled, checked disabled. The scroll-bar strips (arrows,
// thumb, track, glyphs, gripper) join here with the scroll bar.
#pragma once

#include <memory>
#include <vector>

#include "platform/surface.h"

namespace pd::controls {

class ListSkin {
 public:
  static constexpr int kCheckCell = 13;
  static constexpr int kCheckCells = 4;

  // The cell of a check box: its top in the strip.
  static constexpr int CheckCellTop(bool checked, bool enabled) {
    return kCheckCell * (enabled ? 0 : 2) + (checked ? kCheckCell : 0);
  }

  // Pixels of imgChk, row by row, 0x00BBGGRR.
  static std::vector<Colour> CheckStripPixels();
  static std::unique_ptr<platform::Picture> CheckStrip(platform::Graphics& graphics);
};

}  // namespace pd::controls
