#include "forms/Form.h"

#include <algorithm>
#include <functional>

#include "forms/ControlHost.h"
#include "forms/Cursor.h"

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

// The visible controls inside a container, each with a handle on its life.
void CollectVisible(const Container& container, std::vector<std::pair<Control*, ControlLife>>& out) {
  for (Control* child : container.Children()) {
    if (!child->Visible()) continue;
    out.emplace_back(child, child->Life());
    if (const auto* inner = dynamic_cast<const Container*>(child)) CollectVisible(*inner, out);
  }
}

bool IsWithin(const Control& control, const Control& ancestor) {
  for (const Control* c = &control; c != nullptr; c = c->Parent()) {
    if (c == &ancestor) return true;
  }
  return false;
}

}  // namespace

Form::Form(ControlHost& host, StringView name, StringView caption, platform::WindowKind kind, Form* owner)
    : Container(FormTag{}, *this, name), host_(host), caption_(caption) {
  window_ = host.GetPlatform().host().CreateForm(caption, kind, owner != nullptr ? owner->Window() : 0);
  visible_ = false;
  Control::host_ = &host;
  handle_ = host.NewHandle(*this);
  host.Register(*this);
}

Form::~Form() {
  // Controls that outlive their form are detached and leave nothing behind.
  OrphanChildren();
  host_.ReleaseHandle(hWnd());
  host_.Unregister(*this);
  frame_.reset();
  if (window_ != 0) host_.GetPlatform().host().DestroyForm(window_);
  form_ = nullptr;
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
    const ControlLife self = Life();
    OnResize();
    if (!self.Alive() || !RaiseEvent(Resize)) return;
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
  const ControlLife self = Life();
  RepaintAll();  // the frame is ready before the window maps
  host_.GetPlatform().host().ShowForm(window_, true);  // the activation may run handlers
  if (!self.Alive()) return;
  host_.InputHolderChanged();
  if (self.Alive() && visible_) ShowChanged(*this, true);
}

void Form::Hide() {
  if (!visible_) return;
  visible_ = false;
  const ControlLife self = Life();
  // Focus and capture go first: nothing a handler does later can put them
  // back on a hidden form.
  ShowChanged(*this, false);
  if (!self.Alive() || visible_) return;
  host_.InputHolderChanged();  // a modal form gives the input back before it goes
  if (self.Alive() && !visible_) host_.GetPlatform().host().ShowForm(window_, false);
}

bool Form::ShowModal() {
  const ControlLife self = Life();
  Show();
  if (!self.Alive()) return true;
  // A handler may destroy the form while its loop runs.
  return host_.RunModal([this, self] { return !self.Alive() || !visible_ || unloaded_; }, this);
}

bool Form::Unload(int unloadMode) {
  bool cancel = false;
  // A form its own handler destroyed is unloaded for good.
  if (!RaiseEvent(QueryUnload, cancel, unloadMode)) return true;
  if (cancel) return false;
  if (!RaiseEvent(OnUnload, cancel)) return true;
  if (cancel) return false;
  const ControlLife self = Life();
  Hide();
  if (self.Alive()) unloaded_ = true;
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

Control* Form::CaptureControl() const {
  Control* c = host_.CaptureControl();
  return c != nullptr && c->form_ == this ? c : nullptr;
}

void Form::SetFocusTo(Control* control) {
  if (focus_ == control) return;
  Control* old = focus_;
  focus_ = control;
  if (control != nullptr) lastActive_ = control;
  const ControlLife self = Life();
  if (old != nullptr) old->OnLostFocus();
  // A LostFocus handler may have moved the focus on, or destroyed the form
  // or the control.
  if (self.Alive() && focus_ == control && control != nullptr) control->OnGotFocus();
}

void Form::Forget(Control& control) {
  if (focus_ == &control) focus_ = nullptr;
  if (lastActive_ == &control) lastActive_ = nullptr;
  if (pressed_ == &control) pressed_ = nullptr;
  host_.Forget(control);
}

void Form::DropInside(Control& control) {
  auto gone = [&control](const Control* c) {
    return c != nullptr && IsWithin(*c, control) && (!c->Shown() || !c->EffectivelyEnabled());
  };
  const ControlLife self = Life();
  if (gone(focus_)) SetFocusTo(nullptr);
  if (self.Alive() && gone(CaptureControl())) host_.SetCaptureTo(nullptr);
}

void Form::ShowChanged(Control& control, bool shown) {
  // Focus and capture never stay on a hidden or disabled control.
  const ControlLife self = Life();
  DropInside(control);
  if (!self.Alive()) return;
  // OnShow reaches every control whose place on the screen changed: the
  // control and each one inside it that is visible itself. A handler may
  // change or destroy any of them; the rest hear only what is still true.
  std::vector<std::pair<Control*, ControlLife>> reached;
  if (&control != this) reached.emplace_back(&control, control.Life());
  if (const auto* container = dynamic_cast<const Container*>(&control)) CollectVisible(*container, reached);
  for (auto& [c, life] : reached) {
    if (!self.Alive()) return;
    if (life.Alive() && c->form_ == this && c->Shown() == shown) c->OnShow(shown);
  }
}

void Form::MoveFocus(bool forward) {
  // The tab order is the creation order. From a control that is no tab
  // stop, Tab goes to the next one after it in that order.
  const std::vector<Control*> all = Controls();
  const std::size_t n = all.size();
  if (n == 0) return;
  auto at = std::find(all.begin(), all.end(), focus_);
  std::size_t start = forward ? n - 1 : 0;
  if (at != all.end()) start = static_cast<std::size_t>(at - all.begin());
  for (std::size_t k = 1; k <= n; ++k) {
    Control* c = all[forward ? (start + k) % n : (start + n - k) % n];
    if (c->CanFocus() && c->tabStop_ && c->Shown() && c->EffectivelyEnabled() && c->HasWindow()) {
      SetFocusTo(c);
      return;
    }
  }
}

void Form::RestoreFocus() {
  Control* last = lastActive_;
  if (last != nullptr && last->CanFocus() && last->Shown() && last->EffectivelyEnabled() && last->HasWindow()) {
    SetFocusTo(last);
  } else {
    MoveFocus(true);
  }
}

// ---- Events ----------------------------------------------------------------------------

void Form::HandleEvent(const HostEvent& event) { Dispatch(event); }

void Form::InputHeld() {
  buttonsDown_ = 0;
  pressed_ = nullptr;
  if (CaptureControl() != nullptr && !host_.CaptureExplicit()) host_.SetCaptureTo(nullptr);
}

void Form::Dispatch(const HostEvent& event) {
  switch (event.kind) {
    case HostEventKind::kMouseDown:
    case HostEventKind::kMouseMove:
    case HostEventKind::kMouseUp:
    case HostEventKind::kDoubleClick:
    case HostEventKind::kMouseWheel:
    case HostEventKind::kCaptureLost:
      PointerEvent(event);
      break;
    case HostEventKind::kKeyDown:
    case HostEventKind::kKeyUp:
    case HostEventKind::kText:
      KeyEvent(event);
      break;
    case HostEventKind::kFocusIn:
    case HostEventKind::kFocusOut:
      FocusEvent(event);
      break;
    case HostEventKind::kCloseRequest:
    case HostEventKind::kExpose:
    case HostEventKind::kShown:
    case HostEventKind::kHidden:
    case HostEventKind::kResized:
      WindowEvent(event);
      break;
  }
}

// ---- Pointer ---------------------------------------------------------------------------

void Form::PointerEvent(const HostEvent& event) {
  switch (event.kind) {
    case HostEventKind::kMouseDown:
      MouseDown(event);
      break;
    case HostEventKind::kMouseUp:
      MouseUp(event);
      break;
    case HostEventKind::kMouseMove: {
      Control* capture = CaptureControl();
      Control* target = capture != nullptr ? capture : ControlAt(event.pos);
      ShowCursorOf(target != nullptr ? *target : *this, GetSite().GetPlatform().host(), Window(), cursor_);
      MouseEventFor(target, event);
      break;
    }
    case HostEventKind::kDoubleClick: {
      Control* capture = CaptureControl();
      MouseEventFor(capture != nullptr ? capture : ControlAt(event.pos), event);
      break;
    }
    case HostEventKind::kMouseWheel:
      MouseWheel(event);
      break;
    case HostEventKind::kCaptureLost:
      host_.CaptureEnded(*this);
      break;
    default:
      break;
  }
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

void Form::MouseDown(const HostEvent& event) {
  Control* target = CaptureControl();
  if (target == nullptr) target = ControlAt(event.pos);
  buttonsDown_ |= event.button;
  pressed_ = target;
  if (target == nullptr || !target->EffectivelyEnabled()) return;
  const ControlLife self = Life();
  const ControlLife life = target->Life();
  if (target->CanFocus()) target->SetFocus();
  // The focus handlers may have destroyed, hidden or disabled the control,
  // or run a modal loop that ended the press.
  if (!self.Alive() || !life.Alive() || pressed_ != target || !target->Shown() || !target->EffectivelyEnabled()) {
    return;
  }
  if (CaptureControl() == nullptr) host_.SetCaptureTo(target);  // a press captures by itself
  if (!self.Alive() || !life.Alive()) return;
  MouseEventFor(target, event);
}

void Form::MouseUp(const HostEvent& event) {
  Control* capture = CaptureControl();
  buttonsDown_ &= ~event.button;
  if (buttonsDown_ == 0 && capture != nullptr && !host_.CaptureExplicit()) {
    // The press's own capture ends with the last button, after the control
    // has seen the release.
    const ControlLife self = Life();
    MouseEventFor(capture, event);
    if (self.Alive() && host_.CaptureControl() == capture && !host_.CaptureExplicit()) host_.SetCaptureTo(nullptr);
    return;
  }
  MouseEventFor(capture != nullptr ? capture : ControlAt(event.pos), event);
}

void Form::MouseWheel(const HostEvent& event) {
  // To the control under the pointer, else to its containers in turn.
  for (Control* c = ControlAt(event.pos); c != nullptr && c != this; c = c->parent_) {
    if (!c->EffectivelyEnabled()) continue;
    const Point origin = OriginOf(*c);
    const MouseEvent e{0, event.shift, event.pos.x - origin.x, event.pos.y - origin.y};
    const ControlLife life = c->Life();
    if (c->OnMouseWheel(e, event.wheel) || !life.Alive()) break;
  }
}

// ---- Keys ------------------------------------------------------------------------------

void Form::KeyEvent(const HostEvent& event) {
  switch (event.kind) {
    case HostEventKind::kKeyDown:
      KeyDown(event);
      break;
    case HostEventKind::kKeyUp:
      if (focus_ != nullptr) {
        int key = event.key;
        focus_->OnKeyUp(key, event.shift);
      }
      break;
    case HostEventKind::kText: {
      const ControlLife self = Life();
      for (char16_t ch : event.text) {
        if (!self.Alive() || focus_ == nullptr) break;
        if (ch < 0x20) continue;  // control characters come from the keys
        focus_->OnKeyPress(ch);
      }
      break;
    }
    default:
      break;
  }
}

void Form::KeyDown(const HostEvent& event) {
  const ControlLife self = Life();
  if (PreviewKeyDown(event.key, event.shift) || !self.Alive()) return;
  Control* target = focus_;
  if (event.key == platform::vk::kTab && (target == nullptr || !target->WantsTab()) &&
      (event.shift & (platform::shift::kCtrl | platform::shift::kAlt)) == 0) {
    MoveFocus((event.shift & platform::shift::kShift) == 0);
    return;
  }
  if (target == nullptr) return;
  int key = event.key;
  target->OnKeyDown(key, event.shift);
  // The focus still on the control means both are still there.
  if (!self.Alive() || key == 0 || focus_ != target) return;
  // The keys that type a control character.
  char16_t typed = 0;
  if (key == platform::vk::kBack) typed = 8;
  if (key == platform::vk::kReturn) typed = 13;
  if (key == platform::vk::kEscape) typed = 27;
  if (typed != 0) target->OnKeyPress(typed);
}

// ---- Focus and window ------------------------------------------------------------------

void Form::FocusEvent(const HostEvent& event) {
  const bool in = event.kind == HostEventKind::kFocusIn;
  active_ = in;
  if (in && focus_ == nullptr) {
    const ControlLife self = Life();
    RestoreFocus();
    if (!self.Alive()) return;
  }
  Activate.Raise(in);
}

void Form::WindowEvent(const HostEvent& event) {
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
    default:
      // Shown and Hidden: whether the form is shown is the program's to
      // say: a report of an earlier map may arrive after Hide, and a window
      // the manager iconified keeps its state. What the screen needs comes
      // as exposes. Resized: the size is ours to set; the window manager
      // cannot resize a form.
      break;
  }
}

}  // namespace pd::forms
