// ListScroll: the scroll model of XP_ListBox's own vertical scroll bar.
//
// Values are rows. Setting the position limits it to Min..Max (Min checked
// first) and hands it to the list, which makes it its TopIndex and repaints;
// setting the position raises no event. Negative maximum, minimum and large
// change are ignored.
//
// The bar's parts (arrows, track, thumb), their geometry, auto-repeat and
// mouse handling build on this model; they resize and place the thumb where
// the comments in ListScroll.cpp say.
#pragma once

#include <cstdint>
#include <functional>

namespace pd::controls {

class ListScroll {
 public:
  using PositionSink = std::function<void(std::int32_t)>;

  explicit ListScroll(PositionSink onPosition) : onPosition_(std::move(onPosition)) {}

  [[nodiscard]] std::int32_t ScrollMin() const { return min_; }
  [[nodiscard]] std::int32_t ScrollMax() const { return max_; }
  [[nodiscard]] std::int32_t ScrollValue() const { return value_; }
  [[nodiscard]] std::int32_t LargeChange() const { return largeChange_; }
  [[nodiscard]] std::int32_t SmallChange() const { return smallChange_; }

  void SetMax(std::int32_t v);
  void SetMin(std::int32_t v);
  void SetLargeChange(std::int32_t v);
  void SetPosition(std::int32_t v);

  // After Refresh and Clear: all rows fit -> maximum 1; otherwise maximum
  // count - visible and large change visible - 1.
  void RecomputeRange(std::int32_t listCount, std::int32_t visibleRows);

 private:
  PositionSink onPosition_;
  std::int32_t min_ = 0;
  std::int32_t max_ = 1;
  std::int32_t value_ = 0;
  std::int32_t largeChange_ = 1;
  std::int32_t smallChange_ = 1;
};

}  // namespace pd::controls
