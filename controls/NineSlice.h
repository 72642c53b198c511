// The nine-slice copy of a skin frame: the corners at their own size, the
// edges stretched along their length, the centre stretched both ways, so a
// frame of any size keeps its curved corners.
#pragma once

#include "platform/surface.h"

namespace pd::controls {

struct Margins {
  int left = 0;
  int right = 0;
  int top = 0;
  int bottom = 0;
};

// Copies the frame whose rows start at frameTop (frameHeight rows, the
// skin's whole width) onto the rectangle (0, 0, width, height) of the
// surface, in the order centre, left, right, bottom, top edge, then the
// bottom-left, bottom-right, top-left and top-right corners. A piece with no
// width or height, or whose source leaves the skin (margins larger than the
// skin or the target), is skipped.
void DrawNineSlice(platform::Surface& surface, const platform::Picture& skin, int frameTop, int frameHeight,
                   const Margins& m, int width, int height);

}  // namespace pd::controls
