// ScrollPainter: draws the parts of XP_ListBox's scroll bar from the skin
// picture (ListSkin.h), each part in its own pixels (0, 0 to w x h).
//
// Every part background is a nine-slice paint of one skin cell: the corners
// unscaled, the edges stretched along their length, the centre stretched
// both ways; a piece of no size is skipped.
// - Arrow: the arrow cell of state s (the disabled cell for a disabled
//   control), margins 5; then its glyph centred, key colour 0xFF00FF: the
//   7 x 7 glyphs when the part is under 17 pixels wide or high, else 9 x 9.
// - Thumb: the thumb cell, margins 5; the 8 x 8 gripper of the same state
//   centred.
// - Track: the normal track cell whatever the state, margins 1 left and
//   right. While a page step is held, the stretch between the track's end
//   and the thumb on the side of the press is painted again from the cell
//   of the current state.
#pragma once

#include "platform/surface.h"

namespace pd::controls {

class ScrollPainter {
 public:
  // skin: nullptr draws nothing.
  ScrollPainter(platform::Surface& surface, const platform::Picture* skin) : surface_(surface), skin_(skin) {}

  void Arrow(bool up, int w, int h, int state, bool disabled);
  void Thumb(int w, int h, int state, bool disabled);
  // pressedFrom, pressedTo: the rows of the held page step's stretch (empty
  // when none).
  void Track(int w, int h, int state, bool disabled, int pressedFrom, int pressedTo);

  // src (sx, sy, sw, sh) into dst with margins l, t, r, b.
  static void NineSlice(platform::Surface& surface, const Rect& dst, const platform::Picture& pic, const Rect& src,
                        int l, int t, int r, int b);

 private:
  platform::Surface& surface_;
  const platform::Picture* skin_;
};

}  // namespace pd::controls
