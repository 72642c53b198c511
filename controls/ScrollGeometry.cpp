#include "controls/ScrollGeometry.h"

#include <algorithm>
#include <cmath>

namespace pd::controls::scroll {

Rect TrackRect(int listWidth, int listHeight) {
  const int left = listWidth - 1 - kTrackWidth;
  return Rect{left, 1, left + kTrackWidth, 1 + std::max(0, listHeight - kTrackInset)};
}

int ThumbHeight(int room, std::int32_t min, std::int32_t max, std::int32_t largeChange, int current) {
  // Without a range or a page the thumb keeps its size, within the room.
  const double range = static_cast<double>(max) - min;
  if ((min == 0 && max == 0) || largeChange == 0 || largeChange + range <= 0) {
    return std::max(0, std::min(current, room));
  }
  // Sized against the list's inner height less both arrows, which is the
  // room plus the two frame lines beside the track; cut to the room only
  // where that size would not fit between the arrows.
  const int length = room + kTrackInset;
  const double h = std::round(length * static_cast<double>(largeChange) / (largeChange + range));
  const int sized = std::min(length, static_cast<int>(std::max<double>(h, kMinThumb)));
  return std::max(0, std::min(room, sized));
}

int ThumbTop(int arrowHeight, int room, int thumbHeight, std::int32_t min, std::int32_t max, std::int32_t value) {
  const double range = static_cast<double>(max) - min;
  if (range <= 0) return arrowHeight;
  const double free = room - thumbHeight;
  return arrowHeight + static_cast<int>(std::lround(free / range * (static_cast<double>(value) - min)));
}

int LimitThumbTop(int top, int arrowHeight, int room, int thumbHeight) {
  return std::max(arrowHeight, std::min(top, arrowHeight + room - thumbHeight));
}

std::int32_t ValueAt(int top, int arrowHeight, int room, int thumbHeight, std::int32_t min, std::int32_t max,
                     std::int32_t current) {
  const int free = room - thumbHeight;
  if (free <= 0) return current;
  const double range = static_cast<double>(max) - min;
  const double v = std::round(static_cast<double>(top - arrowHeight) / free * range + min);
  return static_cast<std::int32_t>(std::clamp<double>(v, min, max));
}

Part HitTest(int y, int trackHeight, int arrowHeight, int thumbTop, int thumbHeight) {
  if (y < 0 || y >= trackHeight) return Part::kNone;
  if (y < arrowHeight) return Part::kUp;
  if (y >= trackHeight - arrowHeight) return Part::kDown;
  if (ThumbShown(arrowHeight)) {
    if (y < thumbTop) return Part::kTrackAbove;
    if (y >= thumbTop + thumbHeight) return Part::kTrackBelow;
    return Part::kThumb;
  }
  return Part::kNone;
}

}  // namespace pd::controls::scroll
