// The drawing the skinned controls ask of a surface, checked on every
// drawing backend: the software surface (the simulation's) and GDI (the
// Windows tests under Wine) run this same file against the Graphics of each
// backend registered.
// No text: the results do not depend on a font.
#include <gtest/gtest.h>

#include <vector>

#include "controls/CaptionLayout.h"
#include "contract/Backend.h"
#include "controls/NineSlice.h"
#include "unit/SurfaceTestUtil.h"

namespace pd::controls {
namespace {

using test::CountColour;
using test::PixelAt;

class SkinDrawContract : public test::PlatformSuite {};

PD_ON_EVERY_BACKEND(SkinDrawContract);

// A 6 x 12 skin of two 6-row frames; each frame's corners (2 x 2) are red,
// its edges green, its centre blue, and the second frame's centre black.
std::vector<Colour> TwoFrameSkin() {
  std::vector<Colour> px;
  for (int y = 0; y < 12; ++y) {
    const int fy = y % 6;
    for (int x = 0; x < 6; ++x) {
      const bool edgeX = x < 2 || x >= 4;
      const bool edgeY = fy < 2 || fy >= 4;
      Colour c = edgeX && edgeY ? 0x0000FF : (edgeX || edgeY) ? 0x00FF00 : (y < 6 ? 0xFF0000 : 0x000000);
      px.push_back(c);
    }
  }
  return px;
}

TEST_P(SkinDrawContract, NineSliceKeepsCornersAndStretchesTheRest) {
  const std::vector<Colour> px = TwoFrameSkin();
  auto skin = gfx_->CreatePicture(6, 12, px, 24);
  auto s = gfx_->CreateSurface(30, 20);
  DrawNineSlice(*s, *skin, 6, 6, Margins{2, 2, 2, 2}, 30, 20);
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 30, 20}, 0x0000FF), 16) << "four 2 x 2 corners";
  EXPECT_EQ(CountColour(*s, Rect{2, 2, 28, 18}, 0x000000), 26 * 16) << "the second frame's centre, stretched";
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 30, 20}, 0x00FF00), 2 * 2 * 26 + 2 * 2 * 16) << test::DumpSurface(*s);
  // Margins larger than the target: the pieces that would be inverted are skipped.
  auto small = gfx_->CreateSurface(3, 3);
  small->FillRect(Rect{0, 0, 3, 3}, 0xFFFFFF);
  DrawNineSlice(*small, *skin, 0, 6, Margins{2, 2, 2, 2}, 3, 3);
  EXPECT_EQ(PixelAt(*small, 0, 0), 0x0000FFu);
}

TEST_P(SkinDrawContract, TheIconBlendGreysSkipsTheKeyAndMixes) {
  auto s = gfx_->CreateSurface(3, 1);
  s->FillRect(Rect{0, 0, 3, 1}, 0x204060);
  const Colour icon[] = {0xFF0000FF, 0xFFFF00FF, 0x80FFFFFF};
  auto pic = gfx_->CreatePicture(3, 1, icon, 32);
  BlendPicture(*s, 0, 0, 3, 1, *pic, 0, 0, blend::kKeyColour | blend::kGrey, kIconKeyColour, 0);
  EXPECT_EQ(PixelAt(*s, 0, 0), 0x737373u);
  EXPECT_EQ(PixelAt(*s, 1, 0), 0x204060u);
  const Colour mixed =
      BlendChannel(0x60, 255, 128) | (BlendChannel(0x40, 255, 128) << 8) | (BlendChannel(0x20, 255, 128) << 16);
  EXPECT_EQ(PixelAt(*s, 2, 0), mixed);
}

}  // namespace
}  // namespace pd::controls
