#include "controls/ListScrollBar.h"

#include "forms/MouseEvents.h"
#include "controls/ListScroll.h"
#include "controls/ScrollGeometry.h"
#include "controls/ScrollPainter.h"
#include "controls/XP_ListBox.h"
#include "forms/ControlHost.h"
#include "platform/host.h"

namespace pd::controls {

using Kind = ScrollPart::Kind;

namespace {
constexpr int kDown = 0;
constexpr int kMove = 1;
constexpr int kUp = 2;
}  // namespace

ListScrollBar::ListScrollBar(XP_ListBox& list, ListScroll& model) : list_(list), model_(model) {
  track_ = std::make_unique<ScrollPart>(list, u"picShaft", Kind::kTrack, *this);
  up_ = std::make_unique<ScrollPart>(*track_, u"picArrowUp", Kind::kUp, *this);
  down_ = std::make_unique<ScrollPart>(*track_, u"picArrowDown", Kind::kDown, *this);
  thumb_ = std::make_unique<ScrollPart>(*track_, u"picScroller", Kind::kThumb, *this);
  parts_ = {track_.get(), up_.get(), down_.get(), thumb_.get()};
  track_->SetVisible(false);
  platform::EventLoop& loop = list.GetSite().GetPlatform().loop();
  changer_ = loop.CreateTimer([this] { OnChanger(); });
  changer_->SetInterval(kFirstRepeatMs);
  unMover_ = loop.CreateTimer([this] { OnUnMover(); });
  unMover_->SetInterval(kHoverPollMs);
}

ListScrollBar::~ListScrollBar() {
  // Hidden first, so that the parts leave without repainting one another.
  track_->SetVisible(false);
}

bool ListScrollBar::ThumbShown() const { return scroll::ThumbShown(arrow_); }

int ListScrollBar::Room() const { return scroll::Room(trackHeight_, arrow_); }

// ---- Layout ----------------------------------------------------------------------------

void ListScrollBar::Layout(int listWidth, int listHeight) {
  const Rect r = scroll::TrackRect(listWidth, listHeight);
  trackHeight_ = r.Height();
  arrow_ = scroll::ArrowHeight(trackHeight_);
  const int w = r.Width();
  track_->Place(r.left, r.top, w, trackHeight_);
  up_->Place(0, 0, w, arrow_);
  down_->Place(0, trackHeight_ - arrow_, w, arrow_);
  thumbTop_ = arrow_;
  thumbHeight_ = scroll::kFirstThumbHeight;
  thumb_->Place(0, thumbTop_, w, thumbHeight_);
  thumb_->SetVisible(ThumbShown());
  SizeThumb();
  state_ = {};
  if (track_->Shown()) track_->Refresh();
}

void ListScrollBar::SizeThumb() {
  thumbHeight_ = scroll::ThumbHeight(Room(), model_.ScrollMin(), model_.ScrollMax(), model_.LargeChange(),
                                     thumbHeight_);
  PlaceThumb();
}

void ListScrollBar::PlaceThumb() {
  thumbTop_ = scroll::ThumbTop(arrow_, Room(), thumbHeight_, model_.ScrollMin(), model_.ScrollMax(),
                               model_.ScrollValue());
  thumb_->Place(0, thumbTop_, scroll::kTrackWidth, thumbHeight_);
}

void ListScrollBar::SetTrackShown(bool shown) { track_->SetVisible(shown); }

void ListScrollBar::EnabledChanged(bool enabled) {
  if (!enabled) {
    StopRepeat();
    pressedButton_ = 0;
  }
  for (ScrollPart* part : parts_) Apply(*part, Tracker(*part).Enabled(enabled));
  if (track_->Shown()) track_->Refresh();
}

// ---- Painting ----------------------------------------------------------------------------

void ListScrollBar::Paint(const ScrollPart& part, platform::Surface& surface) {
  const bool disabled = !list_.EffectivelyEnabled();
  const int state = state_[Index(part.PartKind())];
  ScrollPainter painter(surface, list_.skin_.get());
  const int w = part.PixelWidth();
  const int h = part.PixelHeight();
  switch (part.PartKind()) {
    case Kind::kUp:
    case Kind::kDown:
      painter.Arrow(part.PartKind() == Kind::kUp, w, h, state, disabled);
      break;
    case Kind::kThumb:
      painter.Thumb(w, h, state, disabled);
      break;
    case Kind::kTrack: {
      int from = 0;
      int to = 0;
      if (pressedButton_ == 1 && repeat_ == Repeat::kPageUp && pressY_ < static_cast<float>(thumbTop_)) {
        to = thumbTop_;
      } else if (pressedButton_ == 1 && repeat_ == Repeat::kPageDown &&
                 pressY_ >= static_cast<float>(thumbTop_ + thumbHeight_)) {
        from = thumbTop_ + thumbHeight_;
        to = h;
      }
      painter.Track(w, h, state, disabled, from, to);
      break;
    }
  }
}

void ListScrollBar::SetState(ScrollPart& part, int state, bool force) {
  int& now = state_[Index(part.PartKind())];
  if (now == state && !force) return;
  now = state;
  if (part.Shown()) part.Refresh();
}

void ListScrollBar::Apply(ScrollPart& part, const PressTracker::Reaction& r) {
  if (r.releaseCapture) part.ReleaseCapture();
  // Activate and Click are not the parts' business: a scroll part acts on
  // the press and the list raises its own Click.
  if (r.Has(PressTracker::Step::Paint)) SetState(part, static_cast<int>(r.look), r.force);
  bool watch = false;
  for (const PressTracker& t : trackers_) watch = watch || t.Watching();
  unMover_->SetEnabled(watch && list_.EffectivelyEnabled());
}

PressTracker::Pointer ListScrollBar::Where(const ScrollPart& part, const forms::MouseEvent& e) {
  return PressTracker::Pointer{.over = part.Over(e.x, e.y), .captured = part.HasCapture()};
}

bool ListScrollBar::PointerOn(const ScrollPart& part) const { return forms::PointerOver(part).over; }

void ListScrollBar::OnUnMover() {
  for (ScrollPart* part : parts_) {
    PressTracker& t = Tracker(*part);
    if (!t.Watching()) continue;
    Apply(*part, t.Watch(PressTracker::Pointer{.over = PointerOn(*part) && list_.EffectivelyEnabled()}));
  }
}

// ---- Mouse -------------------------------------------------------------------------------

bool ListScrollBar::RaiseMouse(int which, forms::MouseEvent& e) {
  auto button = static_cast<std::int16_t>(e.button);
  auto shift = static_cast<std::int16_t>(e.shift);
  auto x = static_cast<float>(e.x);
  auto y = static_cast<float>(e.y);
  const forms::MouseEventSignal& event =
      which == kDown ? list_.MouseDown : which == kMove ? list_.MouseMove : list_.MouseUp;
  const bool alive = list_.RaiseEvent(event, button, shift, x, y);
  e.button = button;
  e.shift = shift;
  return alive;
}

void ListScrollBar::StartRepeat(Repeat mode) {
  repeat_ = mode;
  changer_->SetEnabled(true);
}

void ListScrollBar::StopRepeat() {
  changer_->SetEnabled(false);
  changer_->SetInterval(kFirstRepeatMs);
  repeat_ = Repeat::kNone;
}

void ListScrollBar::MouseDown(ScrollPart& part, const forms::MouseEvent& event) {
  const Kind kind = part.PartKind();
  forms::MouseEvent e = event;
  if (kind != Kind::kThumb && !RaiseMouse(kDown, e)) return;
  // The focus handlers may destroy the list (and this bar with it).
  const forms::ControlLife life = list_.Life();
  list_.SetFocus();
  if (!life.Alive()) return;
  Apply(part, Tracker(part).Press(e.button, Where(part, e)));
  if (e.button != platform::button::kLeft) return;
  switch (kind) {
    case Kind::kUp:
    case Kind::kDown: {
      pressedButton_ = 1;
      const bool up = kind == Kind::kUp;
      if (up ? model_.ScrollValue() > model_.ScrollMin() : model_.ScrollValue() < model_.ScrollMax()) {
        model_.SetPosition(model_.ScrollValue() + (up ? -model_.SmallChange() : model_.SmallChange()));
        StartRepeat(up ? Repeat::kLineUp : Repeat::kLineDown);
      }
      break;
    }
    case Kind::kTrack: {
      const int y = e.y;
      if (ThumbShown() && y < thumbTop_) {
        model_.SetPosition(model_.ScrollValue() - model_.LargeChange());
        StartRepeat(Repeat::kPageUp);
      } else if (ThumbShown() && thumbTop_ + thumbHeight_ <= y) {
        model_.SetPosition(model_.ScrollValue() + model_.LargeChange());
        StartRepeat(Repeat::kPageDown);
      }
      pressedButton_ = 1;
      pressY_ = static_cast<float>(y);
      part.Refresh();
      break;
    }
    case Kind::kThumb:
      dragStart_ = model_.ScrollValue();
      pressedButton_ = 1;
      pressY_ = static_cast<float>(e.y);
      break;
  }
}

void ListScrollBar::MouseMove(ScrollPart& part, const forms::MouseEvent& event) {
  const Kind kind = part.PartKind();
  forms::MouseEvent e = event;
  if (kind != Kind::kThumb && !RaiseMouse(kMove, e)) return;
  if (kind == Kind::kTrack) pressY_ = static_cast<float>(e.y);
  if (kind == Kind::kThumb && (e.button & platform::button::kLeft) != 0 && pressedButton_ == 1 && !Drag(e)) return;
  Apply(part, Tracker(part).Move(e.button, Where(part, e)));
}

bool ListScrollBar::Drag(const forms::MouseEvent& e) {
  const int top = scroll::LimitThumbTop(thumbTop_ + e.y - static_cast<int>(pressY_), arrow_, Room(), thumbHeight_);
  if (top != thumbTop_) {
    thumbTop_ = top;
    thumb_->Place(0, thumbTop_, scroll::kTrackWidth, thumbHeight_);
  }
  const std::int32_t value =
      scroll::ValueAt(top, arrow_, Room(), thumbHeight_, model_.ScrollMin(), model_.ScrollMax(), model_.ScrollValue());
  if (value == model_.ScrollValue()) return true;
  model_.SetDraggedValue(value);
  list_.ApplyScrollPosition(value);
  return list_.RaiseEvent(list_.Scroll);
}

void ListScrollBar::MouseUp(ScrollPart& part, const forms::MouseEvent& event) {
  forms::MouseEvent e = event;
  if (!RaiseMouse(kUp, e)) return;
  Apply(part, Tracker(part).Release(e.button, Where(part, e), part.Over(e.x, e.y)));
  if (e.button == platform::button::kLeft) EndPress(part);
}

void ListScrollBar::CaptureLost(ScrollPart& part) {
  // Also at the end of every press: the watch takes over from the capture.
  if (pressedButton_ != 0 && Tracker(part).LeftHeld()) EndPress(part);
  Apply(part, Tracker(part).CaptureLost(PressTracker::Pointer{.over = PointerOn(part)}));
}

void ListScrollBar::EndPress(ScrollPart& part) {
  pressedButton_ = 0;
  StopRepeat();
  if (part.PartKind() == Kind::kThumb &&
      thumbTop_ != scroll::ThumbTop(arrow_, Room(), thumbHeight_, model_.ScrollMin(), model_.ScrollMax(),
                                    model_.ScrollValue())) {
    // Dropped between two values: the thumb goes to its value's place.
    PlaceThumb();
  }
  if (part.PartKind() == Kind::kTrack && part.Shown()) part.Refresh();
}

// ---- Auto-repeat -------------------------------------------------------------------------

void ListScrollBar::OnChanger() {
  if (pressedButton_ == 0 || repeat_ == Repeat::kNone) {
    changer_->SetEnabled(false);
    return;
  }
  const std::int32_t value = model_.ScrollValue();
  switch (repeat_) {
    case Repeat::kPageUp:
      if (PointerOn(*track_) && pressY_ < static_cast<float>(thumbTop_)) model_.SetPosition(value - model_.LargeChange());
      break;
    case Repeat::kPageDown:
      if (PointerOn(*track_) && static_cast<float>(thumbTop_ + thumbHeight_) <= pressY_) {
        model_.SetPosition(value + model_.LargeChange());
      }
      break;
    case Repeat::kLineUp:
      if (PointerOn(*up_)) {
        model_.SetPosition(value - model_.SmallChange());
        if (model_.ScrollValue() == model_.ScrollMin()) changer_->SetEnabled(false);
      }
      break;
    case Repeat::kLineDown:
      if (PointerOn(*down_)) {
        model_.SetPosition(value + model_.SmallChange());
        if (model_.ScrollValue() == model_.ScrollMax()) changer_->SetEnabled(false);
      }
      break;
    case Repeat::kNone:
      break;
  }
  changer_->SetInterval(kRepeatMs);
}

// ---- The parts ---------------------------------------------------------------------------

void ScrollPart::OnPaint(platform::Surface& surface) { bar_.Paint(*this, surface); }
void ScrollPart::OnMouseDown(const forms::MouseEvent& e) { bar_.MouseDown(*this, e); }
void ScrollPart::OnMouseMove(const forms::MouseEvent& e) { bar_.MouseMove(*this, e); }
void ScrollPart::OnMouseUp(const forms::MouseEvent& e) { bar_.MouseUp(*this, e); }
void ScrollPart::OnCaptureLost() { bar_.CaptureLost(*this); }

}  // namespace pd::controls
