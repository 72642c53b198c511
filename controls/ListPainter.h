// ListPainter: draws the list part of an XP_ListBox (width x height pixels
// from the surface's origin): background, the visible rows, the frame.
//
// Rows i = 0, 1, ... of items TopIndex + i are drawn while the item exists
// and i <= VisibleRows, so one partly visible row shows at the bottom; only
// those rows cost anything, however long the list.
// Row geometry (pixels): top y0 = RowHeight * i + 1, bottom y1 =
// RowHeight * (i + 1), both included. Text starts at tx = 2, + ImageWidth + 2
// in Style 1, + 13 + 4 in Style 2. A selected row is filled with the
// selection colour from x 1 to W - 1 (FullRowSelect), or from tx - 2 to
// tx + the width of the stored text (markup included) + 1, and its text
// defaults to ForeColorSelected. Style 1 paints the top-left ImageWidth x
// RowHeight of the item's picture at (2, y0); Style 2 the check-box cell for
// (checked, enabled) at (3, y0 + (RowHeight - 13) / 2). The text is centred
// vertically by the height of its plain text. The frame is drawn last.
#pragma once

#include <cstdint>
#include <span>

#include "controls/ListItem.h"
#include "controls/PictureTable.h"
#include "platform/surface.h"

namespace pd::controls {

// What a repaint needs of the list, colours already resolved.
struct ListLook {
  Colour back = 0xFFFFFF;
  Colour border = 0;
  Colour fore = 0;
  Colour foreSelected = 0;
  Colour selection = 0;
  bool fullRowSelect = true;
  std::int32_t style = 0;
  std::int32_t imageWidth = 16;
  std::int32_t rowHeight = 1;
  std::int32_t visibleRows = 0;
  std::int32_t topIndex = 0;
  std::int32_t textWidthLimit = 0;  // Width handed to DrawColorText
};

class ListPainter {
 public:
  // skin: the list's skin picture (ListSkin.h), nullptr for none.
  ListPainter(platform::Surface& surface, const platform::Picture* skin, const PictureTable& pictures, int width,
              int height)
      : surface_(surface), skin_(skin), pictures_(pictures), width_(width), height_(height) {}

  // Background, rows, frame. Presenting is the caller's.
  void Paint(std::span<const ListItem> items, const ListLook& look);

  // Left edge of the text of a row.
  static std::int64_t TextLeft(const ListLook& look);

 private:
  void PaintRow(const ListItem& item, std::int64_t row, const ListLook& look);
  void PaintFrame(Colour colour);

  platform::Surface& surface_;
  const platform::Picture* skin_;
  const PictureTable& pictures_;
  int width_;
  int height_;
};

}  // namespace pd::controls
