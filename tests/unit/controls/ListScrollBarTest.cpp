// The list's scroll bar driven through the simulated mouse and clock: arrow
// steps and their auto-repeat, page steps, thumb drags, the hover watch,
// and the skin cells each state shows.
//
// The list is 200 x 162 pixels with 16-pixel rows: ten visible rows. With
// 30 items the range is 0..20 and a page 9 rows; the track is 160 high with
// 17-pixel arrows and 126 pixels of room between them. The thumb is sized
// against the inner height less the arrows, 162 - 34 = 128: 128 * 9 / 29 =
// 39.7, so 40 pixels, leaving 86 pixels of free room.
#include <gtest/gtest.h>

#include "ListTestUtil.h"
#include "controls/ListScrollBar.h"
#include "controls/ListSkin.h"
#include "test_util.h"

namespace pd::controls::test {
namespace {

using Kind = ScrollPart::Kind;
using Log = std::vector<std::string>;

class ScrollBar : public ListFixture {
 protected:
  void SetUp() override {
    form_.Move(0, 0, 220 * kTwipsPerPixel, 200 * kTwipsPerPixel);
    List().Move(0, 0, 200 * kTwipsPerPixel, 162 * kTwipsPerPixel);
    List().SetItemHeight(16);
    for (int i = 0; i < 30; ++i) List().AddItem(u"item");
    List().MouseDown.Connect([this](std::int16_t&, std::int16_t&, float& x, float& y) {
      log_.push_back("MouseDown " + std::to_string(static_cast<int>(x)) + "," + std::to_string(static_cast<int>(y)));
    });
    TakeLog();
  }
  const ListScrollBar& Bar() { return List().ScrollBar(); }
  Rect At(Kind kind) { return Bar().PartOf(kind).FormRect(); }
  Point Centre(Kind kind) {
    const Rect r = At(kind);
    return Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  // The skin's pixels of a rectangle, and the frame's.
  std::vector<Colour> Skin(const Rect& r) {
    const auto skin = ListSkin::Load(sim_);
    const auto all = skin->Pixels();
    std::vector<Colour> out;
    for (int y = r.top; y < r.bottom; ++y) {
      for (int x = r.left; x < r.right; ++x) out.push_back(all[static_cast<std::size_t>(y * skin->Width() + x)] & 0xFFFFFF);
    }
    return out;
  }
  std::vector<Colour> Frame(const Rect& r) { return form_.Frame()->ReadPixels(r); }
  // The part shows the cell's unscaled 5 x 5 top-left corner.
  bool ShowsCorner(Kind kind, const Rect& cell) {
    const Rect p = At(kind);
    return Frame({p.left, p.top, p.left + 5, p.top + 5}) == Skin({cell.left, cell.top, cell.left + 5, cell.top + 5});
  }
};

TEST_F(ScrollBar, LaysOutTheTrackArrowsAndThumb) {
  EXPECT_TRUE(List().TrackVisible());
  EXPECT_EQ(At(Kind::kTrack), (Rect{182, 1, 199, 161}));
  EXPECT_EQ(At(Kind::kUp), (Rect{182, 1, 199, 18}));
  EXPECT_EQ(At(Kind::kDown), (Rect{182, 144, 199, 161}));
  EXPECT_EQ(At(Kind::kThumb), (Rect{182, 18, 199, 18 + 40}));
  EXPECT_EQ(List().ScrollModel().ScrollMax(), 20);
  EXPECT_EQ(List().ScrollModel().LargeChange(), 9);
  List().SetTopIndex(20);
  EXPECT_EQ(At(Kind::kThumb).bottom, 144) << "the thumb at the end touches the down arrow";
}

TEST_F(ScrollBar, AnArrowStepsOneRowAndHeldRepeatsAfter500ThenEvery50Ms) {
  const Point down = Centre(Kind::kDown);
  Press(down);
  EXPECT_EQ(List().TopIndex(), 1);
  EXPECT_EQ(TakeLog(), (Log{"MouseDown 8,8"})) << "in the arrow's own pixels";
  EXPECT_EQ(Bar().StateOf(Kind::kDown), 2);
  Advance(499);
  EXPECT_EQ(List().TopIndex(), 1);
  Advance(1);
  EXPECT_EQ(List().TopIndex(), 2);
  Advance(50);
  EXPECT_EQ(List().TopIndex(), 3);
  Advance(100);
  EXPECT_EQ(List().TopIndex(), 5);
  Release(down);
  EXPECT_EQ(TakeLog(), (Log{"MouseUp"}));
  EXPECT_FALSE(Bar().Changer().Enabled());
  Advance(600);
  EXPECT_EQ(List().TopIndex(), 5);
  EXPECT_EQ(Bar().StateOf(Kind::kDown), 1) << "released over it: hot";

  // Held, it acts only while the pointer is on it, and stops at the end.
  Press(Centre(Kind::kUp));
  MoveTo(Point{50, 50});
  Advance(600);
  EXPECT_EQ(List().TopIndex(), 4);
  EXPECT_EQ(Bar().StateOf(Kind::kUp), 1) << "pressed, pointer away: hot";
  MoveTo(Centre(Kind::kUp));
  Advance(1000);
  EXPECT_EQ(List().TopIndex(), 0);
  EXPECT_FALSE(Bar().Changer().Enabled());
  Release(Centre(Kind::kUp));
}

TEST_F(ScrollBar, TheTrackPagesUntilTheThumbReachesThePointer) {
  const Point below{190, 91};  // below the thumb at the start (18..57), inside it after one page (57..96)
  Press(below);
  EXPECT_EQ(List().TopIndex(), 9);
  EXPECT_EQ(Bar().RepeatMode(), ListScrollBar::Repeat::kPageDown);
  Advance(1000);
  EXPECT_EQ(List().TopIndex(), 9) << "the thumb lies under the pointer now";
  Release(below);

  const Point low{190, 140};
  Press(low);
  EXPECT_EQ(List().TopIndex(), 18);
  Advance(500);
  EXPECT_EQ(List().TopIndex(), 20);
  Release(low);
  Press(Point{190, 20});
  EXPECT_EQ(List().TopIndex(), 11);
  Advance(550);
  EXPECT_EQ(List().TopIndex(), 0);
  Release(Point{190, 20});
  EXPECT_FALSE(Bar().Changer().Enabled());
  EXPECT_EQ(Bar().Changer().Interval(), ListScrollBar::kFirstRepeatMs);
}

TEST_F(ScrollBar, DraggingTheThumbScrollsRowByRowAndItsEndShowsTheLastRow) {
  const Point grip = Centre(Kind::kThumb);
  Press(grip);
  EXPECT_TRUE(TakeLog().empty()) << "no MouseDown for the thumb";
  EXPECT_EQ(Bar().StateOf(Kind::kThumb), 2);
  MoveTo(Point{grip.x, grip.y + 9});  // 86 pixels of free room for 20 rows: 9 * 20 / 86 = 2.1
  EXPECT_EQ(List().TopIndex(), 2);
  EXPECT_EQ(At(Kind::kThumb).top, 18 + 9) << "pixel-exact while dragged";
  EXPECT_EQ(TakeLog(), (Log{"Scroll"}));
  MoveTo(Point{grip.x + 40, grip.y + 300});
  EXPECT_EQ(List().TopIndex(), 20);
  EXPECT_EQ(List().ScrollModel().ScrollValue(), 20);
  EXPECT_EQ(At(Kind::kThumb).bottom, 144);
  MoveTo(Point{grip.x, grip.y + 11});
  EXPECT_EQ(List().TopIndex(), 3);
  Release(Point{grip.x, grip.y + 11});
  EXPECT_EQ(TakeLog(), (Log{"Scroll", "Scroll", "MouseUp"}));
  EXPECT_EQ(At(Kind::kThumb).top, 18 + 13) << "snapped to the place of 3: 86 * 3 / 20 = 12.9";
  EXPECT_EQ(Bar().StateOf(Kind::kThumb), 1);
}

TEST_F(ScrollBar, AHotPartIsWatchedUntilThePointerLeavesIt) {
  EXPECT_FALSE(Bar().UnMover().Enabled());
  MoveTo(Centre(Kind::kUp));
  EXPECT_EQ(Bar().StateOf(Kind::kUp), 1);
  EXPECT_TRUE(Bar().UnMover().Enabled());
  EXPECT_TRUE(ShowsCorner(Kind::kUp, ListSkin::ArrowCell(1, false)));
  MoveTo(Point{50, 50});  // the list gets this move, not the arrow
  Advance(10);
  EXPECT_EQ(Bar().StateOf(Kind::kUp), 0);
  EXPECT_FALSE(Bar().UnMover().Enabled()) << "no part hot: the watch stops";
  EXPECT_TRUE(ShowsCorner(Kind::kUp, ListSkin::ArrowCell(0, false)));

  Press(Centre(Kind::kThumb));
  EXPECT_FALSE(Bar().UnMover().Enabled()) << "the pressed part holds the capture";
  Release(Centre(Kind::kThumb));
  EXPECT_TRUE(Bar().UnMover().Enabled());
  MoveTo(Point{50, 50});
  Advance(10);
  EXPECT_EQ(Bar().StateOf(Kind::kThumb), 0);
}

TEST_F(ScrollBar, EachStateShowsItsSkinCells) {
  EXPECT_TRUE(ShowsCorner(Kind::kUp, ListSkin::ArrowCell(0, false)));
  EXPECT_TRUE(ShowsCorner(Kind::kThumb, ListSkin::ThumbCell(0, false)));
  // The up glyph, centred: (17 - 9) / 2 = 4 in both directions; key pixels show the button.
  const Rect up = At(Kind::kUp);
  const Rect glyph = ListSkin::GlyphCell(false, true, 0, false);
  const auto want = Skin(glyph);
  const auto shown = Frame({up.left + 4, up.top + 4, up.left + 13, up.top + 13});
  int ink = 0;
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (want[i] == ListSkin::kKey) continue;
    ++ink;
    EXPECT_EQ(shown[i], want[i]) << i;
  }
  EXPECT_GT(ink, 8);

  Press(Centre(Kind::kDown));
  EXPECT_TRUE(ShowsCorner(Kind::kDown, ListSkin::ArrowCell(2, false)));
  Release(Centre(Kind::kDown));

  // A held page step repaints the track between the thumb and the pointer's end in the pressed cell.
  Press(Point{190, 140});
  const Rect thumb = At(Kind::kThumb);
  const Rect pressed = ListSkin::ShaftCell(2, false);
  EXPECT_EQ(Frame({184, thumb.bottom + 1, 185, thumb.bottom + 2}),
            Skin({pressed.left + 2, pressed.top + 8, pressed.left + 3, pressed.top + 9}));
  const Rect normal = ListSkin::ShaftCell(0, false);
  EXPECT_EQ(Frame({184, thumb.top - 2, 185, thumb.top - 1}),
            Skin({normal.left + 2, normal.top + 8, normal.left + 3, normal.top + 9}));
  Release(Point{190, 140});

  List().SetEnabled(false);
  EXPECT_TRUE(ShowsCorner(Kind::kUp, ListSkin::ArrowCell(0, true)));
  EXPECT_TRUE(ShowsCorner(Kind::kThumb, ListSkin::ThumbCell(0, true)));
  EXPECT_EQ(Bar().StateOf(Kind::kDown), 0);
}

TEST_F(ScrollBar, AShortTrackHasHalfArrowsWithSmallGlyphsAndNoThumb) {
  List().Move(0, 0, 200 * kTwipsPerPixel, 32 * kTwipsPerPixel);
  List().Refresh();
  EXPECT_EQ(Bar().ArrowHeight(), 15);
  EXPECT_FALSE(Bar().PartOf(Kind::kThumb).Visible());
  const Rect down = At(Kind::kDown);
  EXPECT_EQ(down, (Rect{182, 16, 199, 31}));
  const Rect glyph = ListSkin::GlyphCell(true, false, 0, false);
  const auto want = Skin(glyph);
  const auto shown = Frame({down.left + 5, down.top + 4, down.left + 12, down.top + 11});
  for (std::size_t i = 0; i < want.size(); ++i) {
    if (want[i] != ListSkin::kKey) {
      EXPECT_EQ(shown[i], want[i]) << i;
    }
  }
}

TEST_F(ScrollBar, TheTrackShowsOnlyWhileItemsExceedTheRows) {
  while (List().ListCount() > 10) List().RemoveItem(0);
  EXPECT_FALSE(List().TrackVisible());
  EXPECT_FALSE(Bar().PartOf(Kind::kTrack).Visible());
  EXPECT_EQ(List().ScrollModel().ScrollMax(), 0);
  List().AddItem(u"one more");
  EXPECT_TRUE(Bar().PartOf(Kind::kTrack).Visible());
  List().Clear();
  EXPECT_FALSE(Bar().PartOf(Kind::kTrack).Visible());
  EXPECT_EQ(List().ScrollModel().ScrollMax(), 1);
}

}  // namespace
}  // namespace pd::controls::test
