// Helpers for pixel tests of the software surface.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/soft/Bmp.h"
#include "platform/surface.h"

namespace pd::test {

// Writes the surface to <temp>/<test name>.bmp and returns the path, so a
// failing pixel test can show what was drawn.
inline std::string DumpSurface(const platform::Surface& s) {
  const auto* info = testing::UnitTest::GetInstance()->current_test_info();
  std::string name = info != nullptr ? std::string(info->test_suite_name()) + "." + info->name() : "surface";
  const std::filesystem::path file = std::filesystem::temp_directory_path() / (name + ".bmp");
  const auto pixels = s.ReadPixels(Rect{0, 0, s.Width(), s.Height()});
  return soft::WriteBmp(file, s.Width(), s.Height(), pixels) ? file.string() : std::string("(not written)");
}

inline Colour PixelAt(const platform::Surface& s, int x, int y) { return s.ReadPixels(Rect{x, y, x + 1, y + 1})[0]; }

// Counts pixels of a colour in a rectangle.
inline int CountColour(const platform::Surface& s, const Rect& r, Colour c) {
  int n = 0;
  for (Colour p : s.ReadPixels(r)) n += p == c ? 1 : 0;
  return n;
}

// The bounding box, in surface coordinates, of the pixels of area that are
// not the background colour; empty when there are none.
inline Rect InkBox(const platform::Surface& s, Colour background, Rect area) {
  Rect box{area.right, area.bottom, area.left, area.top};
  const auto px = s.ReadPixels(area);
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (px[static_cast<std::size_t>((y - area.top) * area.Width() + (x - area.left))] != background) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
    }
  }
  return box.right <= box.left ? Rect{} : box;
}
inline Rect InkBox(const platform::Surface& s, Colour background) {
  return InkBox(s, background, Rect{0, 0, s.Width(), s.Height()});
}

}  // namespace pd::test

#define EXPECT_PIXEL(surface, x, y, colour)                                               \
  EXPECT_EQ(pd::test::PixelAt(surface, x, y), static_cast<pd::Colour>(colour))            \
      << "at (" << (x) << ", " << (y) << "); surface: " << pd::test::DumpSurface(surface)
