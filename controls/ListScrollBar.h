// ListScrollBar: XP_ListBox's own vertical scroll bar, built from four parts
// (ScrollPart: the track holding the up arrow, the down arrow and the
// thumb) and two timers, over the list's scroll model (ListScroll).
//
// Layout: on every resize of the list the track goes inside the frame
// along the right edge and the arrows and the thumb are placed in it
// (ScrollGeometry.h). The track shows only while the list has more items
// than visible rows.
//
// Mouse, left button (other buttons only raise the list's mouse events and
// give up the capture):
// - An arrow steps one row (SmallChange) at once; held, it repeats after
//   500 ms and then every 50 ms while the pointer stays on it, until the
//   end of the range.
// - The track above or below the thumb steps a page (LargeChange); held,
//   it repeats the same way while the pointer stays on the track and the
//   thumb has not reached the pointer.
// - The thumb follows the pointer pixel by pixel; each new value scrolls
//   the list and raises Scroll. When let go it snaps to its value's place.
// The list's MouseDown and MouseMove are raised for the arrows and the
// track, MouseUp for every part, with coordinates in the part's pixels. A
// press on a part gives the list the keyboard focus.
//
// Looks: each part follows the pointer and the left button with a press
// tracker of its own (PressTracker.h): normal, hot (under the pointer, or
// the pressed part while the pointer is away) or pressed. A hot part is
// watched every 10 ms (tmrUnMover) until the window under the pointer is no
// longer that part, then drawn normal again; the watch runs only while a
// part is hot and does not hold the capture. A capture lost in mid-press
// ends the press as a release would.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "controls/ScrollPart.h"
#include "forms/PressTracker.h"
#include "platform/loop.h"
#include "platform/surface.h"

namespace pd::controls {

using forms::PressTracker;

class ListScroll;
class XP_ListBox;

class ListScrollBar {
 public:
  static constexpr int kFirstRepeatMs = 500;
  static constexpr int kRepeatMs = 50;
  static constexpr int kHoverPollMs = 10;

  enum class Repeat { kNone, kPageUp, kPageDown, kLineUp, kLineDown };

  ListScrollBar(XP_ListBox& list, ListScroll& model);
  ~ListScrollBar();
  ListScrollBar(const ListScrollBar&) = delete;
  ListScrollBar& operator=(const ListScrollBar&) = delete;

  // Places the track in a list of that size (pixels), then the arrows and
  // the thumb, and draws them normal.
  void Layout(int listWidth, int listHeight);
  // Resizes and places the thumb for the model's range and value.
  void SizeThumb();
  void SetTrackShown(bool shown);
  // The whole control enabled or disabled: no part stays hot or pressed;
  // the parts are redrawn.
  void EnabledChanged(bool enabled);

  [[nodiscard]] std::int16_t PressedButton() const { return pressedButton_; }
  [[nodiscard]] Repeat RepeatMode() const { return repeat_; }
  [[nodiscard]] const ScrollPart& PartOf(ScrollPart::Kind kind) const { return *parts_[Index(kind)]; }
  [[nodiscard]] int StateOf(ScrollPart::Kind kind) const { return state_[Index(kind)]; }
  [[nodiscard]] int ArrowHeight() const { return arrow_; }
  [[nodiscard]] int ThumbTop() const { return thumbTop_; }
  [[nodiscard]] int ThumbHeight() const { return thumbHeight_; }
  [[nodiscard]] bool ThumbShown() const;
  [[nodiscard]] const platform::Timer& Changer() const { return *changer_; }
  [[nodiscard]] const platform::Timer& UnMover() const { return *unMover_; }

  // ---- From the parts ----
  void Paint(const ScrollPart& part, platform::Surface& surface);
  void MouseDown(ScrollPart& part, const forms::MouseEvent& e);
  void MouseMove(ScrollPart& part, const forms::MouseEvent& e);
  void MouseUp(ScrollPart& part, const forms::MouseEvent& e);
  void CaptureLost(ScrollPart& part);

 private:
  static constexpr std::size_t Index(ScrollPart::Kind kind) { return static_cast<std::size_t>(kind); }
  // Leaves in e the Button and Shift as the handlers left them; false when
  // a handler destroyed the list (and this bar with it).
  bool RaiseMouse(int which, forms::MouseEvent& e);
  // Carries out a tracker's reaction for a part, then runs the watch
  // exactly while some part wants it.
  void Apply(ScrollPart& part, const PressTracker::Reaction& r);
  void SetState(ScrollPart& part, int state, bool force);
  [[nodiscard]] PressTracker& Tracker(const ScrollPart& part) { return trackers_[Index(part.PartKind())]; }
  [[nodiscard]] static PressTracker::Pointer Where(const ScrollPart& part, const forms::MouseEvent& e);
  void EndPress(ScrollPart& part);
  void StartRepeat(Repeat mode);
  void StopRepeat();
  void PlaceThumb();
  bool Drag(const forms::MouseEvent& e);  // false when the Scroll handler destroyed the list
  void OnChanger();
  void OnUnMover();
  [[nodiscard]] bool PointerOn(const ScrollPart& part) const;
  [[nodiscard]] int Room() const;

  XP_ListBox& list_;
  ListScroll& model_;
  std::unique_ptr<ScrollPart> track_;
  std::unique_ptr<ScrollPart> up_;
  std::unique_ptr<ScrollPart> down_;
  std::unique_ptr<ScrollPart> thumb_;
  std::array<ScrollPart*, 4> parts_{};
  std::array<int, 4> state_{};  // the look each part was drawn in
  std::array<PressTracker, 4> trackers_{PressTracker(PressTracker::Options{.focusLook = false}),
                                        PressTracker(PressTracker::Options{.focusLook = false}),
                                        PressTracker(PressTracker::Options{.focusLook = false}),
                                        PressTracker(PressTracker::Options{.focusLook = false})};
  std::unique_ptr<platform::Timer> changer_;  // tmrChanger
  std::unique_ptr<platform::Timer> unMover_;  // tmrUnMover

  int trackHeight_ = 0;
  int arrow_ = 0;
  int thumbTop_ = 0;
  int thumbHeight_ = 20;
  float pressY_ = 0;
  std::int32_t dragStart_ = 0;
  Repeat repeat_ = Repeat::kNone;
  std::int16_t pressedButton_ = 0;
};

}  // namespace pd::controls
