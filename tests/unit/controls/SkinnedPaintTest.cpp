// What the skinned button and check box draw, pixel by pixel, on the
// software surface with the fixed-width test font (6 pixels a character,
// ink in columns 1..4 and rows 3..10 of each cell).
#include <vector>

#include "controls/NineSlice.h"
#include "unit/SurfaceTestUtil.h"
#include "unit/controls/SkinnedTestUtil.h"

namespace pd::controls::test {
namespace {

// The bounding box of the pixels of one colour in an area of the frame.
Rect ColourBox(const platform::Surface& s, Colour colour, const Rect& area) {
  Rect box{area.right, area.bottom, area.left, area.top};
  const std::vector<Colour> px = s.ReadPixels(area);
  for (int y = area.top; y < area.bottom; ++y) {
    for (int x = area.left; x < area.right; ++x) {
      if (px[static_cast<std::size_t>((y - area.top) * area.Width() + (x - area.left))] != colour) continue;
      box = Rect{std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
    }
  }
  return box.right <= box.left ? Rect{} : box;
}

// The pixels of a block of a picture, and of the frame.
std::vector<Colour> Block(const platform::Picture& p, const Rect& r) {
  const std::vector<std::uint32_t> all = p.Pixels();
  std::vector<Colour> out;
  for (int y = r.top; y < r.bottom; ++y) {
    for (int x = r.left; x < r.right; ++x) out.push_back(all[static_cast<std::size_t>(y * p.Width() + x)] & 0xFFFFFF);
  }
  return out;
}

class SkinnedPaint : public SkinnedTest {
 protected:
  SkinnedPaint() { b2_.Move(Px(10), Px(40), Px(90), Px(21)); }
  const platform::Surface& F() const { return *form_.Frame(); }
  // b2's four corners against the skin frame's.
  void ExpectCornersOfFrame(int frame) {
    const platform::Picture& skin = *b2_.ButtonPicture();
    const int t = frame * 21;
    struct Corner {
      Rect at, src;
    } corners[] = {{{10, 40, 17, 48}, {0, t, 7, t + 8}},
                   {{93, 40, 100, 48}, {11, t, 18, t + 8}},
                   {{10, 53, 17, 61}, {0, t + 13, 7, t + 21}},
                   {{93, 53, 100, 61}, {11, t + 13, 18, t + 21}}};
    for (const Corner& c : corners) {
      EXPECT_EQ(F().ReadPixels(c.at), Block(skin, c.src)) << "frame " << frame << "; " << pd::test::DumpSurface(F());
    }
  }
};

TEST_F(SkinnedPaint, NineSliceCornersKeepTheirSizeInEveryFrame) {
  ExpectCornersOfFrame(0);
  sim_.MouseMove(W(), Point{20, 50});
  ExpectCornersOfFrame(1);
  sim_.MouseDown(W(), Point{20, 50});
  b2_.SetFocus();
  ExpectCornersOfFrame(2);
  sim_.MouseUp(W(), Point{250, 100});
  ExpectCornersOfFrame(4);  // focused, at rest
  b2_.SetEnabled(false);
  ExpectCornersOfFrame(3);
  // The edges stretch along their length only: the left edge's columns are
  // the skin's, row by row in the middle band.
  const platform::Picture& skin = *b2_.ButtonPicture();
  EXPECT_EQ(F().ReadPixels(Rect{10, 48, 17, 49}), Block(skin, Rect{0, 3 * 21 + 8, 7, 3 * 21 + 9}));
}

TEST_F(SkinnedPaint, TheTabSkinWithoutAFocusFrame) {
  auto tab = sim_.resources().LoadPicture(platform::res::kTabSkin, 0);
  ASSERT_TRUE(tab);
  b2_.SetButtonPicture(tab, 5, 5, 6, 1, true);
  b2_.SetButtonPicture(nullptr, -1, -1, -1, -1, true);  // keeps the picture and the margins
  EXPECT_EQ(b2_.ButtonPicture(), tab);
  EXPECT_EQ(b2_.SizeTop(), 6);
  b2_.SetFocus();
  EXPECT_EQ(b2_.LastFrame(), 0) << "four frames: no focus look";
  EXPECT_EQ(F().ReadPixels(Rect{10, 40, 15, 46}), Block(*tab, Rect{0, 0, 5, 6}));
  b2_.SetControlType(2);
  b2_.SetValue(true);
  EXPECT_EQ(F().ReadPixels(Rect{95, 60, 100, 61}), Block(*tab, Rect{13, 2 * 21 + 20, 18, 2 * 21 + 21}));
}

TEST_F(SkinnedPaint, CaptionCentredAndTheIconBesideIt) {
  b2_.SetForeColor(0x0000FF);
  b2_.SetCaption(u"AB");
  const Rect area{10, 40, 100, 61};
  // rect 5..85 in the button: "AB" (12 px) from x 39, ink from 40; rows 7..14.
  EXPECT_EQ(ColourBox(F(), 0x0000FF, area), (Rect{50, 47, 60, 55})) << pd::test::DumpSurface(F());

  std::vector<Colour> green(256, 0x00FF00);
  green[0] = 0xFF00FF;  // the key colour is not drawn
  b2_.SetPicture(sim_.graphics().CreatePicture(16, 16, green, 24));
  // u = (90 - (12 + 16 + 3)) / 2 = 29: the icon at 29, 2; the text from 48.
  EXPECT_EQ(ColourBox(F(), 0x00FF00, area), (Rect{39, 42, 55, 58}));
  EXPECT_NE(pd::test::PixelAt(F(), 39, 42), 0x00FF00u);
  EXPECT_EQ(ColourBox(F(), 0x0000FF, area), (Rect{59, 47, 69, 55}));

  b2_.SetAlignPicture(2);  // above: v = (21 - 32) / 2 = -5, the text at 14
  EXPECT_EQ(ColourBox(F(), 0x00FF00, area), (Rect{47, 40, 63, 51}));

  b2_.SetAlignPicture(0);
  b2_.SetEnabled(false);
  EXPECT_EQ(ColourBox(F(), 0x737373, area), (Rect{39, 42, 55, 58})) << "greyed: 255 / 3 + 30 = 115";
  EXPECT_EQ(ColourBox(F(), XP_Button::kDefaultForeColorDisabled, area), (Rect{59, 47, 69, 55}));
}

TEST_F(SkinnedPaint, StylesPerLookOnlyForDrawing) {
  b2_.SetForeColorMove(0x0000FF);
  b2_.SetFontBoldMove(true);
  b2_.SetCaption(u"AB");
  sim_.MouseMove(W(), Point{20, 50});
  // Bold: 7-pixel cells, ink columns 1..5: 14 px from x 5 + (80 - 14) / 2 = 38.
  EXPECT_EQ(ColourBox(F(), 0x0000FF, Rect{10, 40, 100, 61}), (Rect{49, 47, 61, 55}));
  EXPECT_FALSE(b2_.Font().bold) << "the button's own font is not changed";
}

TEST_F(SkinnedPaint, CheckBoxBoxAndCaptionBothWays) {
  chk_.SetForeColor(0x0000FF);
  chk_.SetCaption(u"Автозапуск");  // 60 px
  chk_.SetAutoSizeH(true);
  EXPECT_EQ(chk_.PixelWidth(), 77) << "caption width + 17";
  const platform::Picture& skin = *sim_.resources().LoadPicture(platform::res::kCheckBoxSkin, 0);
  EXPECT_EQ(F().ReadPixels(Rect{150, 12, 163, 25}), Block(skin, Rect{0, 0, 13, 13})) << "the box at the left";
  const Rect area{150, 10, 227, 27};
  EXPECT_EQ(ColourBox(F(), 0x0000FF, area), (Rect{166, 15, 224, 23})) << "text from x 15";

  chk_.SetAligment(1);
  EXPECT_EQ(F().ReadPixels(Rect{214, 12, 227, 25}), Block(skin, Rect{0, 0, 13, 13})) << "the box at the right";
  EXPECT_EQ(ColourBox(F(), 0x0000FF, area), (Rect{153, 15, 211, 23})) << "right-aligned to width - 15";

  chk_.SetValue(1);
  chk_.SetEnabled(false);
  EXPECT_EQ(chk_.LastFrame(), 7);
  EXPECT_EQ(F().ReadPixels(Rect{214, 12, 227, 25}), Block(skin, Rect{0, 7 * 13, 13, 8 * 13}));

  chk_.SetAutoSizeH(false);
  chk_.SetAligment(0);
  chk_.Move(Px(150), Px(10), Px(50), Px(17));
  chk_.SetAutoSizeV(true);
  EXPECT_EQ(chk_.PixelHeight(), 26) << "wrapped to 50 - 17 = 33 px: two lines";
}

}  // namespace
}  // namespace pd::controls::test
