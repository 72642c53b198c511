// Repaints of XP_ListBox on the software surface with the fixed-width test
// font (6-pixel cells, 13 high, ink in columns 1..4 and rows 3..10).
#include <gtest/gtest.h>

#include "ListTestUtil.h"
#include "controls/ListSkin.h"
#include "test_util.h"

namespace pd::controls::test {
namespace {

constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kBorder = 0xB99D7F;
constexpr Colour kRed = 0x0000FF;
constexpr Colour kGreen = 0x00FF00;

class ListPaint : public ListFixture {
 protected:
  Colour At(int x, int y) { return Shown().ReadPixels({x, y, x + 1, y + 1})[0]; }
  int Count(const Rect& r, Colour c) {
    int n = 0;
    for (Colour p : Shown().ReadPixels(r)) n += p == c ? 1 : 0;
    return n;
  }
  // Whether the 13 x 13 pixels at (x, y) are check-box cell `cell`.
  bool IsCheckCell(int x, int y, int cell) {
    const auto skin = ListSkin::Load(sim_);
    const Rect src = ListSkin::CheckCell(cell % 2 == 1, cell < 2);
    const auto want = SkinPixels(*skin, src);
    const auto px = Shown().ReadPixels({x, y, x + 13, y + 13});
    return px == want;
  }
  static std::vector<Colour> SkinPixels(const platform::Picture& pic, const Rect& r) {
    const auto all = pic.Pixels();
    std::vector<Colour> out;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) out.push_back(all[static_cast<std::size_t>(y * pic.Width() + x)] & 0xFFFFFF);
    }
    return out;
  }
};

TEST_F(ListPaint, EmptyListIsBackgroundAndFrameOnly) {
  EXPECT_EQ(Count({0, 0, kWidth, kHeight}, kBorder), 2 * kWidth + 2 * (kHeight - 2));
  EXPECT_EQ(Count({1, 1, kWidth - 1, kHeight - 1}, kWhite), (kWidth - 2) * (kHeight - 2));
  EXPECT_EQ(At(kWidth - 1, kHeight - 1), kBorder);
  EXPECT_FALSE(List().TrackVisible());
}

TEST_F(ListPaint, DrawsOnePartlyVisibleRowBelowTheVisibleOnes) {
  List().SetItemHeight(16);
  for (int i = 0; i < 10; ++i) List().AddItem(i == 5 ? u"<color=255>x" : u"x");
  ASSERT_EQ(List().VisibleRows(), 5);
  // Row 5 (the sixth): y0 = 81, text at (2, 82), ink from 85, cut by the frame at 89.
  EXPECT_EQ(Count({0, 0, kWidth, kHeight}, kRed), 4 * 4);
  EXPECT_EQ(At(3, 85), kRed);
  EXPECT_EQ(At(1, 89), kBorder);
  EXPECT_TRUE(List().TrackVisible());

  List().SetTopIndex(5);  // the red item is first now
  EXPECT_EQ(At(3, 1 + 1 + 3), kRed);
}

TEST_F(ListPaint, CheckBoxStyleDrawsTheCellAndShiftsTheText) {
  List().SetItemHeight(16);
  List().SetStyle(2);
  Add({u"<color=255>a", u"b", u"c", u"d"});
  List().SetListChecked(1, true);
  List().SetListEnabled(2, false);
  List().SetListChecked(3, true);
  List().SetListEnabled(3, false);
  EXPECT_TRUE(IsCheckCell(3, 1 + 1, 0));
  EXPECT_TRUE(IsCheckCell(3, 17 + 1, 1));
  EXPECT_TRUE(IsCheckCell(3, 33 + 1, 2));
  EXPECT_TRUE(IsCheckCell(3, 49 + 1, 3));  // disabled and checked: the fourth cell
  // Text from x = 19, centred: y0 + (16 - 13) / 2.
  EXPECT_EQ(At(20, 1 + 1 + 3), kRed);
  EXPECT_EQ(At(19, 1 + 1 + 3), kWhite);
  EXPECT_EQ(Count({0, 0, kWidth, kHeight}, kRed), 32);
}

TEST_F(ListPaint, SelectionBarWithoutFullRowCoversTheStoredText) {
  List().SetItemHeight(16);
  List().SetFullRowSelect(false);
  List().SetSelectionColor(0x404040);
  Add({u"<b>ab</b>"});
  List().SetListIndex(0);
  // From x 0 to 2 + width of "<b>ab</b>" (9 cells) + 1, rows 1..16.
  const int right = 2 + 9 * 6 + 1;
  EXPECT_EQ(At(1, 1), 0x404040U);
  EXPECT_EQ(At(right, 16), 0x404040U);
  EXPECT_EQ(At(right + 1, 8), kWhite);
  EXPECT_EQ(At(right, 17), kWhite);
  EXPECT_EQ(At(0, 8), kBorder);  // the frame is drawn over it
}

TEST_F(ListPaint, SelectedRowsUseForeColorSelectedExceptForColouredRuns) {
  List().SetItemHeight(16);
  List().SetForeColor(kGreen);
  List().SetForeColorSelected(kWhite);
  List().SetSelectionColor(0x404040);
  Add({u"a<color=255>b", u"c"});
  List().SetListIndex(0);
  EXPECT_EQ(At(1, 1), 0x404040U);
  EXPECT_EQ(At(kWidth - 2, 16), 0x404040U);  // full row: 1 .. W - 2
  EXPECT_EQ(At(3, 5), kWhite);               // a at (2, 2)
  EXPECT_EQ(At(9, 5), kRed);                 // b keeps its colour
  EXPECT_EQ(At(3, 17 + 1 + 3), kGreen);      // c unselected
  EXPECT_EQ(At(7, 5), 0x404040U);            // no text background
}

TEST_F(ListPaint, PictureColumnShowsTheTopLeftOfTheItemPicture) {
  List().SetItemHeight(16);
  List().SetStyle(1);
  const std::vector<Colour> green(20 * 20, kGreen);
  List().AddItem(u"<color=255>t", -1, std::shared_ptr<const platform::Picture>(graphics_->CreatePicture(20, 20, green)));
  EXPECT_EQ(Count({0, 0, kWidth, kHeight}, kGreen), 16 * 16);
  EXPECT_EQ(At(2, 1), kGreen);
  EXPECT_EQ(At(17, 16), kGreen);
  EXPECT_EQ(At(21, 5), kRed);  // text from 2 + 16 + 2
}

TEST_F(ListPaint, TextIsCentredByTheHeightOfAllItsLines) {
  List().SetItemHeight(30);
  Add({u"<color=255>a<br>b"});
  // Two lines, 26 high, in a row of 30 from y 1: text top 3.
  EXPECT_EQ(At(3, 3 + 3), kRed);
  EXPECT_EQ(At(3, 3 + 13 + 3), kRed);
  EXPECT_EQ(At(3, 3 + 2), kWhite);
}

TEST_F(ListPaint, PicturesInItemTextsComeFromTheListsTable) {
  Add({u"<img=3,4,4>"});
  EXPECT_EQ(Count({0, 0, kWidth, kHeight}, kGreen), 0);
  const std::vector<Colour> green(16, kGreen);
  List().RegisterPicture(3, std::shared_ptr<const platform::Picture>(graphics_->CreatePicture(4, 4, green)));
  EXPECT_EQ(Count({0, 0, kWidth, kHeight}, kGreen), 16);
  EXPECT_EQ(At(2, 1), kGreen);
}

TEST_F(ListPaint, ResizeRepaintsAtTheNewSize) {
  Add({u"a"});
  List().Move(0, 0, 50 * kTwipsPerPixel, 40 * kTwipsPerPixel);
  EXPECT_EQ(List().PixelWidth(), 50);
  EXPECT_EQ(At(49, 39), kBorder);
  EXPECT_EQ(List().VisibleRows(), 2);
  EXPECT_EQ(List().Font().face, platform::kFixedFace);
}

}  // namespace
}  // namespace pd::controls::test
