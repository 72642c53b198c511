// DrawColorText: draws the runs of one item text on a surface.
//
// The pen starts at (x, y). Runs are drawn in order while the pen's x is
// below x + width, tested before each run; a run is never cut, so the limit
// only decides whether the next run starts (the surface clips at its edge).
//   RunText  exactly CR LF: the pen goes to x and one line (the height of ""
//            in the current font) down. Other text: drawn at the pen in the
//            run's style and colour, without a background; the pen moves on
//            by its width. A CR LF inside a longer text is drawn as it is.
//   RunLeft  the pen goes to x + OffsetX (it may move left).
//   RunCell  the text in the rectangle (pen, pen + RunWidth) x (pen y, pen y +
//            RunHeight, or one line if that is 0 or less) with the run's
//            Align flags that lay text out (platform::dt::kLayoutMask:
//            alignment, word breaks, "...", no clip); others, such as
//            0x400 that would only measure, are dropped. The pen moves on by
//            RunWidth.
//   RunImage the top-left RunWidth x RunHeight of the registered picture
//            (clipped to its size), at x + OffsetX / y + OffsetY or at the
//            pen; a picture at the pen advances it by RunWidth. An unknown
//            number draws nothing and still advances the pen.
// Style comes from the run (bold, italic, underline of the surface font);
// colour from the run, or the surface's text colour at the call when it is
// kDefaultColour. The font's style and the text colour are restored
// afterwards. Pen arithmetic is 64-bit: no value in a text can overflow it.
#pragma once

#include <cstdint>
#include <span>

#include "controls/PictureTable.h"
#include "controls/TextRun.h"
#include "platform/surface.h"

namespace pd::controls {

void DrawColorText(platform::Surface& surface, std::span<const TextRun> runs, std::int32_t x, std::int32_t y,
                   std::int32_t width, const PictureTable& pictures);

}  // namespace pd::controls
