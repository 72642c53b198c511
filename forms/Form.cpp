#include "forms/Form.h"

#include <algorithm>
#include <functional>

#include "forms/ControlHost.h"

namespace pd::forms {

using platform::HostEvent;
using platform::HostEventKind;

namespace {

Rect Intersect(const Rect& a, const Rect& b) {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

bool Empty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

bool Contains(const Rect& r, Point p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

void ForEachControl(const Container& container, const std::function<void(Control&)>& visit) {
  for (Control* child : container.Children()) {
    visit(*child);
    if (const auto* inner = dynamic_cast<const Container*>(child)) ForEachControl(*inner, visit);
  }
}

}  // namespace

Form::Form(ControlHost& host, StringView name, StringView caption, platform::WindowKind kind, Form* owner)
    : Container(FormTag{}, *this, name), host_(host), caption_(caption) {
  window_ = host.GetPlatform().host().CreateForm(caption, kind, owner != nullptr ? owner->Window() : 0);
  visible_ = false;
  handle_ = host.NewHandle(*this);
  host.Register(*this);
}

Form::~Form() {
  // Controls that outlive their form find no parent and leave nothing behind.
  std::vector<Control*> all = Controls();
  for (Control* c : all) {
    host_.ReleaseHandle(c->hWnd());
    c->parent_ = nullptr;
  }
  children_.clear();
  host_.ReleaseHandle(hWnd());
  host_.Unregister(*this);
  frame_.reset();
  if (window_ != 0) host_.GetPlatform().host().DestroyForm(window_);
}

void Form::SetCaption(StringView caption) {
  caption_ = String(caption);
  host_.GetPlatform().host().SetCaption(window_, caption);
}

void Form::Move(int left, int top, int width, int height) {
  const bool resized = (width >= 0 && width != width_) || (height >= 0 && height != height_);
  left_ = left;
  top_ = top;
  if (width >= 0) width_ = width;
  if (height >= 0) height_ = height;
  const int x = left_ / kTwipsPerPixel;
  const int y = top_ / kTwipsPerPixel;
  host_.GetPlatform().host().SetBounds(window_, Rect{x, y, x + PixelWidth(), y + PixelHeight()});
  if (resized) {
    frame_.reset();
    OnResize();
    Resize.Raise();
    if (visible_) RepaintAll();
  }
}

void Form::EnsureFrame() {
  if (frame_ || PixelWidth() <= 0 || PixelHeight() <= 0) return;
  frame_ = host_.GetPlatform().host().CreateFormSurface(window_, PixelWidth(), PixelHeight());
}

void Form::Show() {
  unloaded_ = false;
  if (visible_) return;
  visible_ = true;
  RepaintAll();  // the frame is ready before the window maps
  host_.GetPlatform().host().ShowForm(window_, true);
  host_.InputHolderChanged();
  ShowChanged(*this, true);
}

void Form::Hide() {
  if (!visible_) return;
  visible_ = false;
  SetCaptureTo(nullptr);
  host_.InputHolderChanged();  // a modal form gives the input back before it goes
  host_.GetPlatform().host().ShowForm(window_, false);
  ShowChanged(*this, false);
}

bool Form::ShowModal() {
  Show();
  return host_.RunModal([this] { return !visible_ || unloaded_; }, this);
}

bool Form::Unload(int unloadMode) {
  bool cancel = false;
  QueryUnload.Raise(cancel, unloadMode);
  if (cancel) return false;
  OnUnload.Raise(cancel);
  if (cancel) return false;
  Hide();
  unloaded_ = true;
  return true;
}

std::vector<Control*> Form::Controls() const {
  std::vector<Control*> all;
  ForEachControl(*this, [&](Control& c) { all.push_back(&c); });
  std::stable_sort(all.begin(), all.end(), [](const Control* a, const Control* b) { return a->order_ < b->order_; });
  return all;
}

Point Form::OriginOf(const Control& control) const {
  Point p{};
  for (const Control* c = &control; c->parent_ != nullptr; c = c->parent_) {
    const Rect r = c->PixelRect();
    const Point inner = c->parent_->ClientOrigin();
    p.x += r.left + inner.x;
    p.y += r.top + inner.y;
  }
  return p;
}

Control* Form::ControlAt(Point client) const {
  const Container* container = this;
  Point origin{};
  Control* found = nullptr;
  while (container != nullptr) {
    const Container* next = nullptr;
    const auto& kids = container->children_;
    for (auto it = kids.rbegin(); it != kids.rend(); ++it) {
      Control* c = *it;
      if (!c->visible_ || !c->HasWindow() || !c->HitTestVisible()) continue;
      const Rect r = c->PixelRect();
      const Point inner = container->ClientOrigin();
      const Rect at{origin.x + inner.x + r.left, origin.y + inner.y + r.top, origin.x + inner.x + r.right,
                    origin.y + inner.y + r.bottom};
      if (!Contains(at, client)) continue;
      found = c;
      next = dynamic_cast<const Container*>(c);
      origin = Point{at.left, at.top};
      break;
    }
    container = next;
  }
  return found;
}

forms::PropertyBag& Form::StoredProperties(StringView name, int index) {
  auto& bag = stored_[std::make_pair(String(name), index)];
  if (!bag) bag = std::make_unique<forms::PropertyBag>();
  return *bag;
}

// ---- Painting ------------------------------------------------------------------------

void Form::OnPaint(platform::Surface& surface) {
  surface.SetBackColor(BackColor());
  surface.Clear();
}

void Form::PaintTree(Control& control, Point origin, const Rect& clip, const Rect& area) {
  const Rect own{origin.x, origin.y, origin.x + control.PixelWidth(), origin.y + control.PixelHeight()};
  const Rect visible = Intersect(Intersect(own, clip), area);
  if (Empty(visible)) return;
  frame_->SetView(origin, visible);
  frame_->SetFont(control.Font());
  control.OnPaint(*frame_);
  if (auto* container = dynamic_cast<Container*>(&control)) {
    const Point inner = container->ClientOrigin();
    for (Control* child : container->children_) {
      if (!child->visible_ || !child->HasWindow()) continue;
      const Rect r = child->PixelRect();
      PaintTree(*child, Point{origin.x + inner.x + r.left, origin.y + inner.y + r.top}, visible, area);
    }
  }
}

void Form::Repaint(const Rect& area) {
  if (!visible_) return;
  EnsureFrame();
  if (!frame_) return;
  const Rect part = Intersect(area, Rect{0, 0, frame_->Width(), frame_->Height()});
  if (Empty(part)) return;
  ++paints_;
  PaintTree(*this, Point{}, part, part);
  frame_->ResetView();
  frame_->PresentRect(part);
}

void Form::RepaintAll() { Repaint(Rect{0, 0, PixelWidth(), PixelHeight()}); }

// ---- Focus, capture, visibility --------------------------------------------------------

void Form::SetFocusTo(Control* control) {
  if (focus_ == control) return;
  Control* old = focus_;
  focus_ = control;
  if (old != nullptr) old->OnLostFocus();
  // A LostFocus handler may have moved the focus on.
  if (focus_ == control && control != nullptr) control->OnGotFocus();
}

void Form::SetCaptureTo(Control* control) {
  if (capture_ == control) return;
  Control* old = capture_;
  capture_ = control;
  if (control == nullptr) {
    explicitCapture_ = false;
    host_.GetPlatform().host().ReleaseCapture();
    host_.CaptureChanged(nullptr);
  } else {
    host_.GetPlatform().host().SetCapture(window_);
    host_.CaptureChanged(this);
  }
  if (old != nullptr) old->OnCaptureLost();
}

void Form::Forget(Control& control) {
  if (focus_ == &control) focus_ = nullptr;
  if (capture_ == &control) SetCaptureTo(nullptr);
  if (pressed_ == &control) pressed_ = nullptr;
}

void Form::ShowChanged(Control& control, bool shown) {
  // Focus and capture never stay on a hidden or disabled control.
  auto drop = [this](Control& c) {
    if (!c.Shown() || !c.EffectivelyEnabled()) {
      if (focus_ == &c) SetFocusTo(nullptr);
      if (capture_ == &c) SetCaptureTo(nullptr);
    }
  };
  drop(control);
  if (auto* container = dynamic_cast<Container*>(&control)) ForEachControl(*container, drop);
  if (&control != this) control.OnShow(shown && control.Shown());
}

void Form::MoveFocus(bool forward) {
  std::vector<Control*> order;
  for (Control* c : Controls()) {
    if (c->CanFocus() && c->tabStop_ && c->Shown() && c->EffectivelyEnabled() && c->HasWindow()) order.push_back(c);
  }
  if (order.empty()) return;
  auto it = std::find(order.begin(), order.end(), focus_);
  std::size_t next = 0;
  if (it != order.end()) {
    const auto at = static_cast<std::size_t>(it - order.begin());
    next = forward ? (at + 1) % order.size() : (at + order.size() - 1) % order.size();
  } else if (!forward) {
    next = order.size() - 1;
  }
  SetFocusTo(order[next]);
}

// ---- Events ----------------------------------------------------------------------------

void Form::HandleEvent(const HostEvent& event) { Dispatch(event); }

void Form::InputHeld() {
  buttonsDown_ = 0;
  pressed_ = nullptr;
  if (capture_ != nullptr && !explicitCapture_) SetCaptureTo(nullptr);
}

void Form::MouseEventFor(Control* target, const HostEvent& event) {
  if (target == nullptr || !target->EffectivelyEnabled()) return;
  const Point origin = OriginOf(*target);
  const MouseEvent e{event.button, event.shift, event.pos.x - origin.x, event.pos.y - origin.y};
  switch (event.kind) {
    case HostEventKind::kMouseDown:
      target->OnMouseDown(e);
      break;
    case HostEventKind::kMouseMove:
      target->OnMouseMove(e);
      break;
    case HostEventKind::kMouseUp:
      target->OnMouseUp(e);
      break;
    case HostEventKind::kDoubleClick:
      target->OnDblClick(e);
      break;
    default:
      break;
  }
}

void Form::KeyDown(const HostEvent& event) {
  if (PreviewKeyDown(event.key, event.shift)) return;
  Control* target = focus_;
  if (event.key == platform::vk::kTab && (target == nullptr || !target->WantsTab()) &&
      (event.shift & (platform::shift::kCtrl | platform::shift::kAlt)) == 0) {
    MoveFocus((event.shift & platform::shift::kShift) == 0);
    return;
  }
  if (target == nullptr) return;
  int key = event.key;
  target->OnKeyDown(key, event.shift);
  if (key == 0 || focus_ != target) return;
  // The keys that type a control character.
  char16_t typed = 0;
  if (key == platform::vk::kBack) typed = 8;
  if (key == platform::vk::kReturn) typed = 13;
  if (key == platform::vk::kEscape) typed = 27;
  if (typed != 0) target->OnKeyPress(typed);
}

void Form::Dispatch(const HostEvent& event) {
  switch (event.kind) {
    case HostEventKind::kCloseRequest:
      Unload(event.unloadMode);
      break;
    case HostEventKind::kExpose:
      if (!frame_) {
        RepaintAll();
      } else if (visible_) {
        frame_->PresentRect(event.area);
      }
      break;
    case HostEventKind::kMouseDown: {
      Control* target = capture_ != nullptr ? capture_ : ControlAt(event.pos);
      buttonsDown_ |= event.button;
      pressed_ = target;
      if (target != nullptr && target->EffectivelyEnabled()) {
        if (target->CanFocus()) target->SetFocus();
        if (capture_ == nullptr) SetCaptureTo(target);  // a press captures by itself
      }
      MouseEventFor(target, event);
      break;
    }
    case HostEventKind::kMouseMove:
      MouseEventFor(capture_ != nullptr ? capture_ : ControlAt(event.pos), event);
      break;
    case HostEventKind::kMouseUp: {
      Control* target = capture_ != nullptr ? capture_ : ControlAt(event.pos);
      buttonsDown_ &= ~event.button;
      if (buttonsDown_ == 0 && !explicitCapture_ && capture_ != nullptr) {
        // The press's own capture ends with the last button, after the
        // control has seen the release.
        Control* held = capture_;
        MouseEventFor(held, event);
        if (capture_ == held && !explicitCapture_) SetCaptureTo(nullptr);
        break;
      }
      MouseEventFor(target, event);
      break;
    }
    case HostEventKind::kDoubleClick: {
      Control* target = capture_ != nullptr ? capture_ : ControlAt(event.pos);
      MouseEventFor(target, event);
      break;
    }
    case HostEventKind::kMouseWheel:
      // To the control under the pointer, else to its containers in turn.
      for (Control* c = ControlAt(event.pos); c != nullptr && c != this; c = c->parent_) {
        if (!c->EffectivelyEnabled()) continue;
        const Point origin = OriginOf(*c);
        const MouseEvent e{0, event.shift, event.pos.x - origin.x, event.pos.y - origin.y};
        if (c->OnMouseWheel(e, event.wheel)) break;
      }
      break;
    case HostEventKind::kKeyDown:
      KeyDown(event);
      break;
    case HostEventKind::kKeyUp:
      if (focus_ != nullptr) {
        int key = event.key;
        focus_->OnKeyUp(key, event.shift);
      }
      break;
    case HostEventKind::kText:
      for (char16_t ch : event.text) {
        if (focus_ == nullptr) break;
        if (ch < 0x20) continue;  // control characters come from the keys
        focus_->OnKeyPress(ch);
      }
      break;
    case HostEventKind::kFocusIn:
      active_ = true;
      if (focus_ == nullptr) MoveFocus(true);
      Activate.Raise(true);
      break;
    case HostEventKind::kFocusOut:
      active_ = false;
      Activate.Raise(false);
      break;
    case HostEventKind::kShown:
    case HostEventKind::kHidden:
      // Whether the form is shown is the program's to say: a report of an
      // earlier map may arrive after Hide, and a window the manager
      // iconified keeps its state. What the screen needs comes as exposes.
      break;
    case HostEventKind::kResized:
      break;  // the size is ours to set; the window manager cannot resize a form
    case HostEventKind::kCaptureLost:
      if (capture_ != nullptr) {
        Control* old = capture_;
        capture_ = nullptr;
        explicitCapture_ = false;
        buttonsDown_ = 0;
        host_.CaptureChanged(nullptr);
        old->OnCaptureLost();
      }
      break;
  }
}

}  // namespace pd::forms
