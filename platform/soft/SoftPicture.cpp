#include "platform/soft/SoftPicture.h"

#include <algorithm>

#include "platform/soft/Pixel.h"

namespace pd::soft {

SoftPicture::SoftPicture(int width, int height, std::span<const Colour> pixels, int bitsPerPixel)
    : width_(std::max(1, width)), height_(std::max(1, height)), bits_(bitsPerPixel == 24 ? 24 : 32) {
  const std::size_t count = static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_);
  data_.assign(count, 0);
  const std::uint32_t keep = bits_ == 32 ? 0xFFFFFFFFu : 0x00FFFFFFu;
  // Given pixels keep their row layout only when the size was valid.
  if (width == width_ && height == height_) {
    const std::size_t n = std::min(count, pixels.size());
    for (std::size_t i = 0; i < n; ++i) data_[i] = SwapRedBlue(pixels[i]) & keep;
  }
}

std::vector<std::uint32_t> SoftPicture::Pixels() const {
  std::vector<std::uint32_t> out(data_.size());
  std::transform(data_.begin(), data_.end(), out.begin(), SwapRedBlue);
  return out;
}

}  // namespace pd::soft
