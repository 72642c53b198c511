// ScrollGeometry: where the parts of XP_ListBox's scroll bar lie, as plain
// functions of the scroll model and the bar's size (pixels).
//
// The bar is a track (the shaft) TrackWidth pixels wide along the right edge
// of the list, inside its one-pixel frame: top 1, left = list width - 1 -
// TrackWidth, height = list height - 2. An arrow button sits at each end of
// the track, a x a where a = 17 when the track is more than 33 pixels high,
// else half its height. The thumb lies between them and shows only when the
// arrows are full size (a > 16).
//
// Thumb size: the list's inner height less both arrows (the room between
// the arrows plus the frame's two lines) times LargeChange / (LargeChange +
// range), rounded, at least 11 pixels and at most that length, then cut to
// the room where it would not fit between the arrows; unchanged when
// the range is empty (Min = Max = 0) or LargeChange is 0, except that it
// never outgrows the room. Thumb top: the up
// arrow's height plus the free room (room - thumb) times (Value - Min) /
// range, rounded. A dragged thumb's top maps back to a value the same way, so
// the thumb at the bottom end is the value Max: the last row in view.
#pragma once

#include <cstdint>

#include "platform/types.h"

namespace pd::controls {

class ListScroll;

namespace scroll {

inline constexpr int kTrackWidth = 17;
inline constexpr int kFullArrow = 17;
inline constexpr int kMinThumb = 11;
inline constexpr int kFirstThumbHeight = 20;
// The frame's lines above and below the track.
inline constexpr int kTrackInset = 2;

enum class Part { kNone, kUp, kDown, kThumb, kTrackAbove, kTrackBelow };

// The arrow buttons' height for a track of height h.
constexpr int ArrowHeight(int trackHeight) { return trackHeight > 33 ? kFullArrow : trackHeight / 2; }
constexpr bool ThumbShown(int arrowHeight) { return arrowHeight > 16; }

// The track's rectangle in the list's pixels.
Rect TrackRect(int listWidth, int listHeight);

// The free room of a track between its arrows.
constexpr int Room(int trackHeight, int arrowHeight) { return trackHeight - 2 * arrowHeight; }

// The thumb's height for the model's range; `current` (at most the room)
// when it is left as it is (empty range or no LargeChange).
int ThumbHeight(int room, std::int32_t min, std::int32_t max, std::int32_t largeChange, int current);

// The thumb's top in the track for a value.
int ThumbTop(int arrowHeight, int room, int thumbHeight, std::int32_t min, std::int32_t max, std::int32_t value);

// A dragged thumb: its top limited to the room between the arrows.
int LimitThumbTop(int top, int arrowHeight, int room, int thumbHeight);
// The value of a thumb top (already limited); `current` when the thumb
// fills the room and cannot move.
std::int32_t ValueAt(int top, int arrowHeight, int room, int thumbHeight, std::int32_t min, std::int32_t max,
                     std::int32_t current);

// The part under a point y of a track (its own pixels).
Part HitTest(int y, int trackHeight, int arrowHeight, int thumbTop, int thumbHeight);

}  // namespace scroll
}  // namespace pd::controls
