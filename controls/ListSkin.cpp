#include "controls/ListSkin.h"

#include <array>

namespace pd::controls {
namespace {

struct CellLook {
  Colour frame;
  Colour inside;
  Colour tick;
};

// Enabled: the list's blue-grey frame on white, a green tick; disabled: greys.
constexpr CellLook kEnabled{0xB99D7F, 0xFFFFFF, 0x21A121};
constexpr CellLook kDisabled{0xBFC5C9, 0xF0F0F0, 0xA0A0A0};

// The tick: for columns 3..9 of the cell, its top row (two pixels deep).
constexpr std::array<int, 7> kTickTop{5, 6, 7, 6, 5, 4, 3};

}  // namespace

std::vector<Colour> ListSkin::CheckStripPixels() {
  constexpr int w = kCheckCell;
  std::vector<Colour> px(static_cast<std::size_t>(w * kCheckCell * kCheckCells));
  for (int cell = 0; cell < kCheckCells; ++cell) {
    const bool checked = (cell % 2) == 1;
    const CellLook& look = cell < 2 ? kEnabled : kDisabled;
    for (int y = 0; y < kCheckCell; ++y) {
      for (int x = 0; x < w; ++x) {
        const bool frame = x == 0 || y == 0 || x == w - 1 || y == kCheckCell - 1;
        Colour c = frame ? look.frame : look.inside;
        if (checked && x >= 3 && x <= 9) {
          const int top = kTickTop[static_cast<std::size_t>(x - 3)];
          if (y == top || y == top + 1) c = look.tick;
        }
        px[static_cast<std::size_t>((cell * kCheckCell + y) * w + x)] = c;
      }
    }
  }
  return px;
}

std::unique_ptr<platform::Picture> ListSkin::CheckStrip(platform::Graphics& graphics) {
  const std::vector<Colour> px = CheckStripPixels();
  return graphics.CreatePicture(kCheckCell, kCheckCell * kCheckCells, px);
}

}  // namespace pd::controls
