// Checks every backend's Resources port passes: the simulation (unit tests),
// the Windows resource script (under Wine) and the Linux backend (under
// Xvfb) run this same file against each backend registered.
#include <gtest/gtest.h>

#include <memory>

#include "contract/Backend.h"
#include "platform/platform.h"
#include "platform/resources.h"
#include "platform/text.h"

namespace pd {
namespace {

namespace res = platform::res;

class ResourcesContract : public test::PlatformSuite {
 protected:
  platform::Resources& resources() { return platform_->resources(); }
};

PD_ON_EVERY_BACKEND(ResourcesContract);

struct Expected {
  int id;
  int size;  // asked
  int width;
  int height;
  int bits;
};

constexpr Expected kPictures[] = {
    {res::kProgramIcon, 0, 32, 32, 32},    {res::kProgramIcon, 16, 16, 16, 32}, {res::kProgramIcon, 32, 32, 32, 32},
    {res::kIconEnabled, 0, 16, 16, 32},    {res::kIconEnabled, 32, 32, 32, 32}, {res::kIconSuccess, 0, 16, 16, 32},
    {res::kIconSuccess, 48, 32, 32, 32},   {res::kIconRefused, 0, 16, 16, 32},  {res::kIconRefused, 32, 32, 32, 32},
    {res::kIconDisabled, 0, 16, 16, 32},   {res::kIconDisabled, 8, 16, 16, 32}, {res::kButtonSkin, 0, 18, 105, 24},
    {res::kCheckBoxSkin, 16, 13, 156, 24}, {res::kTabSkin, 0, 18, 84, 24},      {res::kScrollSkin, 0, 86, 144, 24},
};

Colour At(const platform::Picture& p, int x, int y) { return p.Pixels()[static_cast<std::size_t>(y * p.Width() + x)]; }

TEST_P(ResourcesContract, EveryNumberLoadsAtItsSizeAndDepthOnce) {
  for (const Expected& e : kPictures) {
    SCOPED_TRACE(testing::Message() << "resource " << e.id << " asked at " << e.size);
    auto picture = resources().LoadPicture(e.id, e.size);
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Width(), e.width);
    EXPECT_EQ(picture->Height(), e.height);
    EXPECT_EQ(picture->BitsPerPixel(), e.bits);
    EXPECT_EQ(resources().LoadPicture(e.id, e.size), picture) << "loaded once, then shared";
    if (e.bits == 32) {
      // Icons: clear at the corner, opaque in the middle.
      EXPECT_EQ(At(*picture, 0, 0) >> 24, 0u);
      EXPECT_EQ(At(*picture, e.width / 2, e.height / 2) >> 24, 0xFFu);
    }
  }
}

TEST_P(ResourcesContract, UnknownNumbersHaveNoPicture) {
  for (int id : {0, -1, 2, 100, 105, 200, 205, 32512}) {
    EXPECT_EQ(resources().LoadPicture(id), nullptr) << id;
  }
}

TEST_P(ResourcesContract, SkinsKeepTheirKnownPixels) {
  auto button = resources().LoadPicture(res::kButtonSkin);
  ASSERT_NE(button, nullptr);
  // Curved corners: light blue-grey on the Up, Move, Down and focus frames,
  // a paler grey on the disabled one.
  for (int frame : {0, 1, 2, 4}) {
    for (auto [x, y] : {std::pair{0, 0}, {17, 0}, {0, 20}, {17, 20}}) {
      EXPECT_EQ(At(*button, x, frame * 21 + y), 0xCAB7A8u) << "frame " << frame << " at " << x << "," << y;
    }
  }
  EXPECT_EQ(At(*button, 0, 3 * 21), 0xEEE9E4u);
  EXPECT_EQ(At(*button, 9, 3 * 21 + 10), 0xFFFFFFu) << "disabled face";

  // The check box: frame 4 x value + look; the tick's top pixel at (9, 3).
  auto check = resources().LoadPicture(res::kCheckBoxSkin);
  ASSERT_NE(check, nullptr);
  EXPECT_EQ(At(*check, 9, 4 * 13 + 3), 0x21A121u);
  EXPECT_EQ(At(*check, 6, 9 * 13 + 6), 0x21A121u) << "grey mark, Move";
  EXPECT_EQ(At(*check, 0, 0), 0x80511Cu);

  // The scroll strips: magenta outside them and in the unused glyph cells.
  auto scroll = resources().LoadPicture(res::kScrollSkin);
  ASSERT_NE(scroll, nullptr);
  EXPECT_EQ(At(*scroll, res::kScrollGlyphs.left, 8 * 9 + 4), 0xFF00FFu);
  EXPECT_EQ(At(*scroll, res::kScrollArrows.left, res::kScrollArrows.bottom), 0xFF00FFu);
  EXPECT_NE(At(*scroll, res::kScrollThumb.left + 7, 11), 0xFF00FFu);
}

}  // namespace
}  // namespace pd
