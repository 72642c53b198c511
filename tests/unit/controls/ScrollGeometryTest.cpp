// The scroll bar's geometry as numbers: properties over generated list
// sizes, positions and track heights.
#include <gtest/gtest.h>

#include <set>

#include "controls/ScrollGeometry.h"

namespace pd::controls::scroll {
namespace {

TEST(ScrollGeometry, ArrowsAreFullSizeAbove33PixelsElseHalfTheTrack) {
  const std::pair<int, int> cases[] = {{100, 17}, {34, 17}, {33, 16}, {30, 15}, {1, 0}, {0, 0}};
  for (auto [track, arrow] : cases) {
    EXPECT_EQ(ArrowHeight(track), arrow) << track;
    EXPECT_EQ(ThumbShown(ArrowHeight(track)), arrow == 17) << track;
  }
  EXPECT_EQ(TrackRect(200, 90), (Rect{182, 1, 199, 89}));
}

// The list's range as the list computes it (RecomputeRange).
struct Range {
  std::int32_t max;
  std::int32_t large;
};
Range RangeOf(int count, int visible) {
  return count < visible ? Range{1, 1} : Range{count - visible, visible - 1};
}

TEST(ScrollGeometry, TheThumbStaysInsideTheTrackAndItsEndShowsTheLastRow) {
  for (int track : {36, 60, 88, 161, 400}) {
    const int a = ArrowHeight(track);
    const int room = Room(track, a);
    for (int count : {0, 1, 5, 9, 10, 11, 30, 99, 1000, 100000, 2000000000}) {
      for (int visible : {1, 2, 5, 10, 24}) {
        if (count <= visible) continue;  // the track is hidden
        const Range r = RangeOf(count, visible);
        const int h = ThumbHeight(room, 0, r.max, r.large, kFirstThumbHeight);
        SCOPED_TRACE(testing::Message() << "track " << track << " count " << count << " visible " << visible);
        ASSERT_LE(h, room);
        ASSERT_GE(h, std::min(room, kMinThumb));
        int previous = a;
        const std::set<std::int32_t> values{0, 1, r.max / 3, r.max / 2, r.max - 1, r.max};
        for (std::int32_t v : values) {
          if (v < 0 || v > r.max) continue;
          const int top = ThumbTop(a, room, h, 0, r.max, v);
          ASSERT_GE(top, a);
          ASSERT_LE(top + h, track - a);
          ASSERT_GE(top, previous) << "the thumb moves down with the value";
          previous = top;
          EXPECT_EQ(HitTest(top, track, a, top, h), Part::kThumb);
        }
        // Dragged past the end: the last value, whose top row leaves the last item at the bottom.
        const int end = LimitThumbTop(track + 50, a, room, h);
        EXPECT_EQ(end + h, track - a);
        if (room > h) {
          EXPECT_EQ(ValueAt(end, a, room, h, 0, r.max, -7), r.max);
          EXPECT_EQ(ValueAt(LimitThumbTop(-50, a, room, h), a, room, h, 0, r.max, -7), 0);
        }
      }
    }
  }
}

TEST(ScrollGeometry, ThumbSizeFollowsThePageAndKeepsItsSizeWithoutARange) {
  // A 162-pixel list: track 160, room 126, the length sized against 162 - 34 = 128.
  EXPECT_EQ(ThumbHeight(126, 0, 20, 9, 20), 40);  // 128 * 9 / 29 = 39.72
  const std::pair<std::int32_t, int> tops[] = {{0, 17}, {10, 60}, {19, 99}, {20, 103}};  // 17 + 86 * v / 20
  for (auto [value, top] : tops) EXPECT_EQ(ThumbTop(17, 126, 40, 0, 20, value), top) << value;
  EXPECT_EQ(ThumbHeight(10, 0, 1, 100, 20), 10) << "12 * 100 / 101 would not fit the room of 10";
  EXPECT_EQ(ThumbHeight(122, 0, 100000, 9, 20), kMinThumb);
  EXPECT_EQ(ThumbHeight(122, 0, 0, 9, 33), 33);
  EXPECT_EQ(ThumbHeight(122, 0, 20, 0, 33), 33);
  EXPECT_EQ(ThumbHeight(4, 0, 20, 0, 20), 4) << "a single visible row: no page, still inside the room";
  EXPECT_EQ(ThumbHeight(8, 0, 100000, 9, 20), 8) << "never longer than the room";
}

TEST(ScrollGeometry, HitTestFindsEveryPartInOrder) {
  // Track 100: arrows 0..16 and 83..99, thumb 40..59.
  const std::pair<int, Part> cases[] = {{-1, Part::kNone},        {0, Part::kUp},         {16, Part::kUp},
                                        {17, Part::kTrackAbove},  {39, Part::kTrackAbove}, {40, Part::kThumb},
                                        {59, Part::kThumb},       {60, Part::kTrackBelow}, {82, Part::kTrackBelow},
                                        {83, Part::kDown},        {99, Part::kDown},       {100, Part::kNone}};
  for (auto [y, part] : cases) EXPECT_EQ(HitTest(y, 100, 17, 40, 20), part) << y;
  EXPECT_EQ(HitTest(20, 30, 15, 15, 20), Part::kDown) << "no thumb in a short track";
}

}  // namespace
}  // namespace pd::controls::scroll
