#include "controls/ListScroll.h"

namespace pd::controls {

void ListScroll::SetMax(std::int32_t v) {
  if (v < 0) return;
  max_ = v;
  if (value_ > v) SetPosition(v);
  ThumbChanged();
}

void ListScroll::SetMin(std::int32_t v) {
  if (v < 0) return;
  min_ = v;
  ThumbChanged();
}

void ListScroll::SetLargeChange(std::int32_t v) {
  if (v < 0) return;
  largeChange_ = v;
  ThumbChanged();
}

void ListScroll::SetPosition(std::int32_t v) {
  if (v < min_) {
    v = min_;
  } else if (v > max_) {
    v = max_;
  }
  value_ = v;
  ThumbChanged();
  if (onPosition_) onPosition_(value_);
}

void ListScroll::RecomputeRange(std::int32_t listCount, std::int32_t visibleRows) {
  if (listCount < visibleRows) {
    SetMax(1);
  } else {
    SetMax(listCount - visibleRows);
    SetLargeChange(visibleRows - 1);
  }
}

}  // namespace pd::controls
