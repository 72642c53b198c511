// ScrollPart: one part of XP_ListBox's scroll bar (the track, an arrow
// button or the thumb) as a control of its own, so that the part under the
// pointer and the part holding the capture have handles as windows do. The
// track holds the other three. A part does nothing itself: its bar
// (ListScrollBar) paints it and handles its mouse.
#pragma once

#include "forms/Control.h"

namespace pd::controls {

class ListScrollBar;

class ScrollPart final : public forms::Container {
 public:
  enum class Kind { kTrack, kUp, kDown, kThumb };

  ScrollPart(forms::Container& parent, StringView name, Kind kind, ListScrollBar& bar)
      : Container(parent, name), kind_(kind), bar_(bar) {
    SetTabStop(false);
  }

  [[nodiscard]] Kind PartKind() const { return kind_; }
  // Places the part in its parent, in pixels.
  void Place(int x, int y, int w, int h) {
    Move(x * kTwipsPerPixel, y * kTwipsPerPixel, w * kTwipsPerPixel, h * kTwipsPerPixel);
  }
  // Whether a point in the part's pixels lies on it.
  [[nodiscard]] bool Over(int x, int y) const { return x >= 0 && y >= 0 && x < PixelWidth() && y < PixelHeight(); }

 private:
  void OnPaint(platform::Surface& surface) override;
  void OnMouseDown(const forms::MouseEvent& e) override;
  void OnMouseMove(const forms::MouseEvent& e) override;
  void OnMouseUp(const forms::MouseEvent& e) override;
  void OnCaptureLost() override;

  Kind kind_;
  ListScrollBar& bar_;
};

}  // namespace pd::controls
