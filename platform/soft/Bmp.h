// BMP files of pixel rectangles: a failing pixel test writes the surface to
// a file for a look; pictures (skins) can be read from one.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "platform/types.h"

namespace pd::soft {

struct BmpImage {
  int width = 0;
  int height = 0;
  int bitsPerPixel = 0;            // 24 or 32
  std::vector<Colour> pixels;      // row by row from the top, 0xAABBGGRR
};

// The bytes of a 24-bit bottom-up BMP of width x height pixels given row by
// row from the top as 0x00BBGGRR; empty when the sizes are not positive or
// pixels holds fewer values.
std::string EncodeBmp(int width, int height, std::span<const Colour> pixels);
// Writes EncodeBmp to a file; false when it cannot be written.
bool WriteBmp(const std::filesystem::path& file, int width, int height, std::span<const Colour> pixels);

// Reads an uncompressed 24- or 32-bit BMP (bottom-up or top-down, also
// BI_BITFIELDS with the usual masks). False, with image untouched, for any
// other or damaged file.
bool DecodeBmp(std::string_view bytes, BmpImage& image);

}  // namespace pd::soft
