#include "forms/Control.h"

#include <algorithm>

#include "forms/ControlHost.h"
#include "forms/Form.h"

namespace pd::forms {

// ---- Site ------------------------------------------------------------------------

const platform::Font& Site::AmbientFont() const {
  const Container* parent = control_.Parent();
  return parent != nullptr ? parent->Font() : control_.Font();
}

Colour Site::AmbientBackColor() const {
  const Container* parent = control_.Parent();
  return parent != nullptr ? parent->BackColor() : control_.BackColor();
}

forms::PropertyBag& Site::Bag() {
  if (control_.OnForm()) return control_.GetForm().StoredProperties(control_.Name(), control_.Index());
  if (!detached_) detached_ = std::make_unique<forms::PropertyBag>();
  return *detached_;
}

Form& Site::GetForm() const { return control_.GetForm(); }
ControlHost& Site::Host() const { return control_.Host(); }
platform::Platform& Site::GetPlatform() const { return Host().GetPlatform(); }
WindowHandle Site::HostWindow() const { return control_.OnForm() ? control_.GetForm().Window() : 0; }

// ---- ControlLife -------------------------------------------------------------------

ControlLife::ControlLife(const Control& control) : block_(control.life_) { ++block_->refs; }

// ---- Control ---------------------------------------------------------------------

Control::Control(Container& parent, StringView name, int index)
    : name_(name),
      index_(index),
      parent_(&parent),
      form_(&parent.GetForm()),
      host_(&parent.Host()),
      life_(new ControlLife::Block) {
  handle_ = host_->NewHandle(*this);
  backColor_ = parent.BackColor();
  font_ = parent.Font();
  order_ = form_->nextOrder_++;
  parent.children_.push_back(this);
}

// The form takes its handle once its host is set.
Control::Control(FormTag /*tag*/, Form& self, StringView name)
    : name_(name), form_(&self), life_(new ControlLife::Block) {}

Control::~Control() {
  Detach();
  life_->alive = false;
  ControlLife::Block* block = life_;
  if (--block->refs == 0) delete block;
}

void Control::Detach() {
  if (parent_ == nullptr || form_ == nullptr) return;
  Form* form = form_;
  const bool wasShown = Shown() && HasWindow();
  const Rect area = FormRect();
  Container* parent = parent_;
  std::erase(parent->children_, this);
  Orphan();
  if (wasShown && parent->Shown()) form->Repaint(area);
}

void Control::Orphan() {
  if (form_ != nullptr && form_ != this) form_->Forget(*this);
  if (host_ != nullptr && parent_ != nullptr) host_->ReleaseHandle(handle_);
  parent_ = nullptr;
  form_ = nullptr;
}

// The children stay where their owners keep them, off every form.
Container::~Container() { OrphanChildren(); }

void Container::OrphanChildren() {
  std::vector<Control*> kids;
  kids.swap(children_);
  for (Control* child : kids) {
    if (auto* inner = dynamic_cast<Container*>(child)) inner->OrphanChildren();
    child->Orphan();
  }
}

Rect Control::PixelRect() const {
  const int x = left_ / kTwipsPerPixel;
  const int y = top_ / kTwipsPerPixel;
  return Rect{x, y, x + PixelWidth(), y + PixelHeight()};
}

Rect Control::FormRect() const {
  if (parent_ == nullptr) return Rect{0, 0, PixelWidth(), PixelHeight()};
  const Point origin = form_->OriginOf(*this);
  return Rect{origin.x, origin.y, origin.x + PixelWidth(), origin.y + PixelHeight()};
}

void Control::Move(int left, int top, int width, int height) {
  const Rect before = FormRect();
  const bool resized = (width >= 0 && width != width_) || (height >= 0 && height != height_);
  left_ = left;
  top_ = top;
  if (width >= 0) width_ = width;
  if (height >= 0) height_ = height;
  if (resized) {
    const ControlLife life(*this);
    OnResize();
    if (!life.Alive()) return;
  }
  if (parent_ != nullptr && Shown() && HasWindow()) {
    const Rect after = FormRect();
    form_->Repaint(Rect{std::min(before.left, after.left), std::min(before.top, after.top),
                        std::max(before.right, after.right), std::max(before.bottom, after.bottom)});
  }
}

bool Control::Shown() const {
  for (const Control* c = this; c != nullptr; c = c->parent_) {
    if (!c->visible_) return false;
  }
  return form_ != nullptr && form_->visible_;
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  const bool parentShown = parent_ == nullptr || parent_->Shown();
  visible_ = visible;
  if (!parentShown || parent_ == nullptr) return;
  if (HasWindow()) form_->Repaint(FormRect());
  form_->ShowChanged(*this, visible);
}

bool Control::EffectivelyEnabled() const {
  for (const Control* c = this; c != nullptr; c = c->parent_) {
    if (!c->enabled_) return false;
  }
  return true;
}

void Control::SetEnabledState(bool enabled) {
  if (enabled_ == enabled) return;
  enabled_ = enabled;
  if (!enabled && form_ != nullptr) form_->DropInside(*this);  // focus and capture held inside go
}

void Control::SetEnabled(bool enabled) {
  if (enabled_ == enabled) return;
  SetEnabledState(enabled);
  Refresh();
}

void Control::SetBackColor(Colour colour) {
  backColor_ = colour;
  Refresh();
}

void Control::SetFont(const platform::Font& font) {
  font_ = font;
  Refresh();
}

void Control::ZOrder(int position) {
  if (parent_ == nullptr) return;
  auto& siblings = parent_->children_;
  std::erase(siblings, this);
  if (position == 0) {
    siblings.push_back(this);
  } else {
    siblings.insert(siblings.begin(), this);
  }
  Refresh();
}

bool Control::SetFocus() {
  if (!CanFocus() || !Shown() || !EffectivelyEnabled() || !HasWindow()) return false;
  form_->SetFocusTo(this);
  return true;
}

bool Control::HasFocus() const { return form_ != nullptr && form_->focus_ == this; }

void Control::SetCapture() {
  if (form_ != nullptr) host_->SetCaptureTo(this, true);
}

void Control::ReleaseCapture() {
  if (HasCapture()) host_->SetCaptureTo(nullptr);
}

bool Control::HasCapture() const { return host_ != nullptr && host_->CaptureControl() == this; }

void Control::Refresh() {
  if (Shown() && HasWindow()) form_->Repaint(FormRect());
}

}  // namespace pd::forms
