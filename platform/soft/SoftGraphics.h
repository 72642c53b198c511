// Graphics of the software surface (the simulation and Linux): surfaces and
// pictures in memory, one font cache shared by all surfaces, the classic
// Windows system colours.
#pragma once

#include <memory>

#include "platform/soft/FontCache.h"
#include "platform/soft/SoftSurface.h"
#include "platform/surface.h"

namespace pd::soft {

class SoftGraphics final : public platform::Graphics {
 public:
  SoftGraphics() : fonts_(std::make_shared<FontCache>()) {}

  std::unique_ptr<platform::Surface> CreateSurface(int width, int height) override;
  std::unique_ptr<platform::Picture> CreatePicture(int width, int height, std::span<const Colour> pixels,
                                                   int bitsPerPixel = 32) override;
  Colour ResolveColour(Colour colour) override { return ClassicColour(colour); }

  // A surface whose Present hands the frame to present (a window's surface).
  std::unique_ptr<SoftSurface> CreateWindowSurface(int width, int height, SoftSurface::Presenter present);

  [[nodiscard]] const std::shared_ptr<FontCache>& Fonts() const { return fonts_; }

  // System colours 0x80000000..0x8000001E as the classic Windows scheme has
  // them (button face 0xC8D0D4, window 0xFFFFFF, highlight 0x6A240A, ...);
  // 0 for another index; other values unchanged.
  static Colour ClassicColour(Colour colour);

 private:
  std::shared_ptr<FontCache> fonts_;
};

}  // namespace pd::soft
