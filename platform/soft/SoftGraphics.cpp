#include "platform/soft/SoftGraphics.h"

#include <array>

#include "platform/soft/SoftPicture.h"

namespace pd::soft {
namespace {

// COLOR_SCROLLBAR (0) to COLOR_MENUBAR (30), 0x00BBGGRR.
constexpr std::array<Colour, 31> kClassic = {
    0xC8D0D4,  // 0 scroll bar
    0xA56E3A,  // 1 desktop
    0x6A240A,  // 2 active caption
    0x808080,  // 3 inactive caption
    0xC8D0D4,  // 4 menu
    0xFFFFFF,  // 5 window
    0x000000,  // 6 window frame
    0x000000,  // 7 menu text
    0x000000,  // 8 window text
    0xFFFFFF,  // 9 caption text
    0xC8D0D4,  // 10 active border
    0xC8D0D4,  // 11 inactive border
    0x808080,  // 12 application workspace
    0x6A240A,  // 13 highlight
    0xFFFFFF,  // 14 highlight text
    0xC8D0D4,  // 15 button face
    0x808080,  // 16 button shadow
    0x808080,  // 17 grey text
    0x000000,  // 18 button text
    0xC8D0D4,  // 19 inactive caption text
    0xFFFFFF,  // 20 button highlight
    0x404040,  // 21 3D dark shadow
    0xC8D0D4,  // 22 3D light
    0x000000,  // 23 tooltip text
    0xE1FFFF,  // 24 tooltip background
    0xB5B5B5,  // 25 (unused)
    0x800000,  // 26 hot-tracked item
    0xF0CAA6,  // 27 active caption gradient
    0xC0C0C0,  // 28 inactive caption gradient
    0x6A240A,  // 29 menu highlight
    0xC8D0D4,  // 30 menu bar
};

}  // namespace

Colour SoftGraphics::ClassicColour(Colour colour) {
  if ((colour & 0x80000000u) == 0) return colour;
  const Colour index = colour & 0x7FFFFFFFu;
  return index < kClassic.size() ? kClassic[index] : 0;
}

std::unique_ptr<platform::Surface> SoftGraphics::CreateSurface(int width, int height) {
  return std::make_unique<SoftSurface>(width, height, fonts_);
}

std::unique_ptr<SoftSurface> SoftGraphics::CreateWindowSurface(int width, int height, SoftSurface::Presenter present) {
  return std::make_unique<SoftSurface>(width, height, fonts_, std::move(present));
}

std::unique_ptr<platform::Picture> SoftGraphics::CreatePicture(int width, int height, std::span<const Colour> pixels,
                                                               int bitsPerPixel) {
  return std::make_unique<SoftPicture>(width, height, pixels, bitsPerPixel);
}

}  // namespace pd::soft
