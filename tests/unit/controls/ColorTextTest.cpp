// DrawColorText on the software surface with the fixed-width test font: a
// character is a 6-pixel cell (7 bold), 13 high, inked in columns 1..4 (1..5
// bold) and rows 3..10 of its cell.
#include "controls/ColorText.h"

#include <gtest/gtest.h>

#include <climits>

#include "ListTestUtil.h"
#include "controls/MarkupParser.h"
#include "platform/soft/SoftGraphics.h"
#include "test_util.h"

namespace pd::controls::test {
namespace {

constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kInk = 0x111111;
constexpr Colour kRed = 0x0000FF;
constexpr Colour kGreen = 0x00FF00;
constexpr Colour kBlue = 0xFF0000;

class ColorText : public ::testing::Test {
 protected:
  ColorText() : surface_(graphics_->CreateSurface(320, 60)) {
    surface_->SetFont(FixedFont());
    surface_->SetTextColor(kInk);
  }

  void Draw(StringView text, int x = 0, int y = 0, int width = 10000) {
    runs_ = ParseItemText(text);
    DrawColorText(*surface_, runs_, x, y, width, pictures_);
  }

  // The bounding box of the pixels of one colour; empty when there are none.
  Rect InkOf(Colour c) const {
    Rect box{surface_->Width(), surface_->Height(), 0, 0};
    const auto px = surface_->ReadPixels({0, 0, surface_->Width(), surface_->Height()});
    for (int y = 0; y < surface_->Height(); ++y) {
      for (int x = 0; x < surface_->Width(); ++x) {
        if (px[static_cast<std::size_t>(y * surface_->Width() + x)] != c) continue;
        box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1), std::max(box.bottom, y + 1)};
      }
    }
    return box.right <= box.left ? Rect{} : box;
  }
  int CountColourIn(const Rect& r, Colour c) const {
    int n = 0;
    for (Colour p : surface_->ReadPixels(r)) n += p == c ? 1 : 0;
    return n;
  }
  Colour At(int x, int y) const { return surface_->ReadPixels({x, y, x + 1, y + 1})[0]; }

  std::unique_ptr<platform::Graphics> graphics_ = std::make_unique<soft::SoftGraphics>();
  std::unique_ptr<platform::Surface> surface_;
  PictureTable pictures_;
  std::vector<TextRun> runs_;
};

// A first column too long for its "<left=" stop is cut before the stop
// (with an ellipsis), never drawn into the next column; one that fits is
// drawn whole, and text after the stop is not cut.
TEST_F(ColorText, TextTooLongForItsColumnStopsBeforeTheNext) {
  for (const auto& [name, cut] : {std::pair{u"abc", false}, std::pair{u"memfd:sealed-abcdefghij", true}}) {
    surface_->FillRect({0, 0, surface_->Width(), surface_->Height()}, kWhite);
    Draw(String(name) + u"<left=60><color=#00FF00>/path</color>");
    const Rect ink = InkOf(kInk);
    EXPECT_LE(ink.right, 60 - 4 + 1) << "the first column ends before the stop";
    if (!cut) {
      EXPECT_EQ(ink.right, 6 * 2 + 5);
    }
    EXPECT_EQ(InkOf(kGreen).left, 60 + 1) << "the second column where it was";
  }
}

TEST_F(ColorText, WorkedExampleDrawsEachRunAtItsPen) {
  Draw(u"Name <b>bold <color=#FF0000>red</color></b><left=100><color=0 128 0>x</color><br>line 2", 10, 5);
  // "Name " at 10 in the default colour; "bold " at 40, bold (inked to column 5).
  EXPECT_EQ(At(11, 8), kInk);
  EXPECT_EQ(At(10, 8), kWhite);
  EXPECT_EQ(At(45, 8), kInk);
  EXPECT_EQ(At(46, 8), kWhite);
  // "red" bold at 40 + 5 * 7 = 75: r, e, d at 75, 82, 89.
  EXPECT_EQ(InkOf(kRed), (Rect{76, 8, 95, 16}));
  // "x" at X + 100, green.
  EXPECT_EQ(InkOf(0x008000), (Rect{111, 8, 115, 16}));
  // "line 2" one line down at X.
  EXPECT_EQ(At(11, 18 + 3), kInk);
  EXPECT_EQ(InkOf(kInk), (Rect{11, 8, 10 + 5 * 6 + 3 * 7 + 6, 18 + 11}));  // ends with the bold d
}

TEST_F(ColorText, CellsAlignLeftCentreAndRightAndAdvanceByTheirWidth) {
  Draw(u"<color=255><td width=50>L</td></color><color=65280><td width=50 align=1>C</td></color>"
       u"<color=16711680><td width=50 align=2>R</td></color>rest");
  EXPECT_EQ(InkOf(kRed), (Rect{1, 3, 5, 11}));
  EXPECT_EQ(InkOf(kGreen), (Rect{50 + 22 + 1, 3, 50 + 22 + 5, 11}));
  EXPECT_EQ(InkOf(kBlue), (Rect{150 - 6 + 1, 3, 150 - 6 + 5, 11}));
  EXPECT_EQ(InkOf(kInk), (Rect{151, 3, 150 + 4 * 6 - 1, 11}));
}

TEST_F(ColorText, CellTextIsClippedToItsRectangle) {
  Draw(u"<td width=9>ab</td><color=255>z");
  EXPECT_EQ(InkOf(kInk), (Rect{1, 3, 9, 11}));  // "b" cut at the cell's right edge
  EXPECT_EQ(InkOf(kRed), (Rect{10, 3, 14, 11}));
}

TEST_F(ColorText, LineBreaksReturnToTheOriginAndMayComeFirst) {
  Draw(u"<br>x", 4, 0);
  EXPECT_EQ(InkOf(kInk), (Rect{5, 16, 9, 24}));
}

TEST_F(ColorText, TypedCrLfStaysOnTheLine) {
  Draw(u"a\r\nb");
  EXPECT_EQ(InkOf(kInk), (Rect{1, 3, 11, 11}));  // b right after a: CR and LF draw nothing
}

TEST_F(ColorText, WidthLimitOnlyDecidesWhetherTheNextRunStarts) {
  Draw(u"abcdefgh</b><color=255>z", 0, 0, 10);
  EXPECT_EQ(InkOf(kInk), (Rect{1, 3, 47, 11}));  // drawn whole, past the limit
  EXPECT_EQ(InkOf(kRed), Rect{});
  surface_->Clear();
  Draw(u"abcdefgh</b><color=255>z", 0, 0, 48);  // pen 48 reaches X + 48
  EXPECT_EQ(InkOf(kRed), Rect{});
  Draw(u"abcdefgh</b><color=255>z", 0, 0, 49);
  EXPECT_EQ(InkOf(kRed), (Rect{49, 3, 53, 11}));
}

TEST_F(ColorText, SpacesAndLeftMoveThePen) {
  Draw(u"<space=20><color=255>x");
  EXPECT_EQ(InkOf(kRed), (Rect{21, 3, 25, 11}));
  surface_->Clear();
  Draw(u"abcdefghij<left=30><color=65280>Z", 5, 0);  // back left from 65 to 35
  EXPECT_EQ(InkOf(kGreen), (Rect{36, 3, 40, 11}));
}

TEST_F(ColorText, StylesFollowTheRuns) {
  Draw(u"<u>a b</u>c<i>d");
  EXPECT_EQ(At(0, 11), kInk);   // underline across the whole advance,
  EXPECT_EQ(At(17, 11), kInk);  // the space included
  EXPECT_EQ(At(18, 11), kWhite);
  EXPECT_EQ(At(19, 3), kInk);  // c: upright, not underlined
  // d italic at 24: rows 3..6 one column to the right.
  EXPECT_EQ(At(25, 3), kWhite);
  EXPECT_EQ(At(26, 3), kInk);
  EXPECT_EQ(At(25, 8), kInk);
}

TEST_F(ColorText, FontStyleAndTextColourAreRestored) {
  platform::Font f = FixedFont();
  f.italic = true;  // an italic font stays italic; bold and underline stay off
  surface_->SetFont(f);
  Draw(u"<b><u><color=255>x<td width=9>y</td><color=65280>z");
  EXPECT_EQ(surface_->CurrentFont(), f);
  EXPECT_EQ(surface_->TextColor(), kInk);
  // Runs in the default colour use the colour of the call.
  surface_->SetTextColor(kBlue);
  Draw(u"<b>q", 0, 20);
  EXPECT_EQ(InkOf(kBlue).top, 23);
  EXPECT_EQ(surface_->TextColor(), kBlue);
  EXPECT_FALSE(surface_->CurrentFont().bold);
}

TEST_F(ColorText, ImagesComeOnlyFromRegisteredPictures) {
  const std::vector<Colour> red(12, kRed);
  pictures_.Set(5, std::shared_ptr<const platform::Picture>(graphics_->CreatePicture(4, 3, red)));
  // a; picture 5 at the pen (advance 4); b; unknown 6 draws nothing, advances 8;
  // c; picture 5 placed at (100, 20) without advancing; d.
  Draw(u"a<img=5,4,3>b<img=6,8,8>c<img=5,10,10,100,20>d");
  EXPECT_EQ(CountColourIn({6, 0, 10, 3}, kRed), 12);
  EXPECT_EQ(CountColourIn({100, 20, 104, 23}, kRed), 12);
  EXPECT_EQ(CountColourIn({0, 0, 320, 60}, kRed), 24);  // clipped to the picture's 4 x 3
  EXPECT_EQ(InkOf(kInk), (Rect{1, 3, 30 + 5, 11}));     // d at 30
  EXPECT_EQ(At(25, 3), kInk);                           // c at 24
}

TEST_F(ColorText, ExtremeNumbersDoNotOverflowThePen) {
  Draw(u"<left=2147483647>x<space=2147483647>y<td width=2147483647 height=2147483647>z</td>w"
       u"<left=-2147483648><img=1,2147483647,2147483647,-2147483648,2147483647>v",
       INT_MAX, INT_MAX, INT_MAX);
  Draw(u"<space=-2147483648><space=-2147483648>a", INT_MIN, INT_MIN, INT_MAX);
  Draw(u"<space=-2147483648><space=-2147483648><color=255>a", 0, 0, INT_MIN);  // negative width: nothing
  EXPECT_EQ(InkOf(kRed), Rect{});
}

}  // namespace
}  // namespace pd::controls::test
