#include "controls/ListPainter.h"

#include <algorithm>

#include "controls/ColorText.h"
#include "controls/ListSkin.h"

namespace pd::controls {
namespace {

constexpr std::int64_t kCoordLimit = 1 << 30;
int Coord(std::int64_t v) { return static_cast<int>(std::clamp(v, -kCoordLimit, kCoordLimit)); }
std::int32_t Int32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

std::int64_t ListPainter::TextLeft(const ListLook& look) {
  std::int64_t tx = 2;
  if (look.style == 1) tx += std::int64_t{look.imageWidth} + 2;
  if (look.style == 2) tx += ListSkin::kCheckCell + 4;
  return tx;
}

void ListPainter::Paint(std::span<const ListItem> items, const ListLook& look) {
  surface_.SetBackColor(look.back);
  surface_.FillRect(Rect{0, 0, width_, height_}, look.back);
  const std::int64_t count = static_cast<std::int64_t>(items.size());
  const std::int64_t top = std::max<std::int64_t>(look.topIndex, 0);
  for (std::int64_t i = 0; top + i < count && i <= look.visibleRows; ++i) {
    PaintRow(items[static_cast<std::size_t>(top + i)], i, look);
  }
  PaintFrame(look.border);
}

void ListPainter::PaintRow(const ListItem& item, std::int64_t row, const ListLook& look) {
  const std::int64_t rowHeight = look.rowHeight;
  const std::int64_t tx = TextLeft(look);
  const std::int64_t y0 = rowHeight * row + 1;
  const std::int64_t y1 = rowHeight * (row + 1);
  const int w = width_;

  Colour text = look.fore;
  if (item.Selected) {
    text = look.foreSelected;
    std::int64_t x0 = 1;
    std::int64_t x1 = w - 1;
    if (!look.fullRowSelect) {
      x0 = tx - 2;
      x1 = tx + surface_.TextWidth(item.ItemText) + 1;
    }
    surface_.FillRect({Coord(x0), Coord(y0), Coord(x1 + 1), Coord(y1 + 1)}, look.selection);
  }

  if (look.style == 1 && item.Picture) {
    const int pw = std::min<int>(look.imageWidth, item.Picture->Width());
    const int ph = Coord(std::min<std::int64_t>(rowHeight, item.Picture->Height()));
    if (pw > 0 && ph > 0) surface_.CopyPicture(*item.Picture, {2, Coord(y0)}, {0, 0, pw, ph});
  }

  if (look.style == 2 && skin_ != nullptr) {
    const int cell = ListSkin::kCheckCell;
    surface_.CopyPicture(*skin_, {3, Coord(y0 + (rowHeight - cell) / 2)}, ListSkin::CheckCell(item.Checked, item.Enabled));
  }

  surface_.SetTextColor(text);
  const std::int64_t th = surface_.TextHeight(item.PlainText);
  DrawColorText(surface_, item.Runs, Int32(tx), Int32(y0 + (rowHeight - th) / 2), look.textWidthLimit, pictures_);
}

void ListPainter::PaintFrame(Colour colour) {
  const int w = width_;
  const int h = height_;
  surface_.Line({0, 0}, {0, h}, colour);
  surface_.Line({0, 0}, {w, 0}, colour);
  surface_.Line({w - 1, 0}, {w - 1, h}, colour);
  surface_.Line({0, h - 1}, {w, h - 1}, colour);
}

}  // namespace pd::controls
