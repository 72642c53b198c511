// ListScroll: the scroll model of XP_ListBox's own vertical scroll bar.
//
// Values are rows. Setting the position limits it to Min..Max (Min checked
// first), lets the bar size and place its thumb, and hands the value to the
// list, which makes it its TopIndex and repaints; setting the position
// raises no event. Negative maximum, minimum and large change are ignored;
// each accepted change lets the bar resize its thumb.
//
// Geometry of the bar's parts: ScrollGeometry.h; the bar: ListScrollBar.h.
#pragma once

#include <cstdint>
#include <functional>

namespace pd::controls {

class ListScroll {
 public:
  using PositionSink = std::function<void(std::int32_t)>;
  using ThumbSink = std::function<void()>;

  explicit ListScroll(PositionSink onPosition) : onPosition_(std::move(onPosition)) {}
  // Told after every change of the range or the position (the thumb).
  void SetThumbSink(ThumbSink onThumb) { onThumb_ = std::move(onThumb); }

  [[nodiscard]] std::int32_t ScrollMin() const { return min_; }
  [[nodiscard]] std::int32_t ScrollMax() const { return max_; }
  [[nodiscard]] std::int32_t ScrollValue() const { return value_; }
  [[nodiscard]] std::int32_t LargeChange() const { return largeChange_; }
  [[nodiscard]] std::int32_t SmallChange() const { return smallChange_; }

  void SetMax(std::int32_t v);
  void SetMin(std::int32_t v);
  void SetLargeChange(std::int32_t v);
  void SetPosition(std::int32_t v);
  // A dragged thumb: the value only, the thumb stays where the pointer put
  // it and the list is not told.
  void SetDraggedValue(std::int32_t v) { value_ = v; }

  // After Refresh and Clear: all rows fit -> maximum 1; otherwise maximum
  // count - visible and large change visible - 1.
  void RecomputeRange(std::int32_t listCount, std::int32_t visibleRows);

 private:
  void ThumbChanged() const {
    if (onThumb_) onThumb_();
  }

  PositionSink onPosition_;
  ThumbSink onThumb_;
  std::int32_t min_ = 0;
  std::int32_t max_ = 1;
  std::int32_t value_ = 0;
  std::int32_t largeChange_ = 1;
  std::int32_t smallChange_ = 1;
};

}  // namespace pd::controls
