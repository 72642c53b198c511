// A picture of the software surface: pixels in memory as 0xAARRGGBB (see
// Pixel.h), with the colour depth it was created with.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "platform/surface.h"

namespace pd::soft {

class SoftPicture final : public platform::Picture {
 public:
  // pixels row by row as 0xAABBGGRR; missing pixels are black, sizes below 1
  // become 1, a depth other than 24 is taken as 32.
  SoftPicture(int width, int height, std::span<const Colour> pixels, int bitsPerPixel);

  [[nodiscard]] int Width() const override { return width_; }
  [[nodiscard]] int Height() const override { return height_; }
  [[nodiscard]] int BitsPerPixel() const override { return bits_; }
  [[nodiscard]] std::vector<std::uint32_t> Pixels() const override;

  // Row y as 0xAARRGGBB words.
  [[nodiscard]] const std::uint32_t* Row(int y) const { return data_.data() + static_cast<std::size_t>(y) * width_; }

 private:
  int width_;
  int height_;
  int bits_;
  std::vector<std::uint32_t> data_;
};

}  // namespace pd::soft
