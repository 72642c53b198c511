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

forms::PropertyBag& Site::Bag() { return control_.GetForm().StoredProperties(control_.Name(), control_.Index()); }

Form& Site::GetForm() const { return control_.GetForm(); }
ControlHost& Site::Host() const { return control_.GetForm().Host(); }
platform::Platform& Site::GetPlatform() const { return Host().GetPlatform(); }
WindowHandle Site::HostWindow() const { return control_.GetForm().Window(); }

// ---- Control ---------------------------------------------------------------------

Control::Control(Container& parent, StringView name, int index)
    : name_(name), index_(index), parent_(&parent), form_(&parent.GetForm()) {
  handle_ = form_->Host().NewHandle(*this);
  backColor_ = parent.BackColor();
  font_ = parent.Font();
  order_ = form_->nextOrder_++;
  parent.children_.push_back(this);
}

// The form takes its handle once its host is set.
Control::Control(FormTag /*tag*/, Form& self, StringView name) : name_(name), form_(&self) {}

Control::~Control() { Detach(); }

void Control::Detach() {
  if (parent_ == nullptr) return;
  form_->Forget(*this);
  std::erase(parent_->children_, this);
  const bool wasShown = Shown() && HasWindow();
  const Rect area = FormRect();
  Container* parent = parent_;
  parent_ = nullptr;
  form_->Host().ReleaseHandle(handle_);
  if (wasShown && parent->Shown()) form_->Repaint(area);
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
  if (resized) OnResize();
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
  return form_->visible_;
}

void Control::SetVisible(bool visible) {
  if (visible_ == visible) return;
  const bool parentShown = parent_ == nullptr || parent_->Shown();
  visible_ = visible;
  if (!parentShown || parent_ == nullptr) return;
  form_->ShowChanged(*this, visible);
  if (HasWindow()) form_->Repaint(FormRect());
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
  if (!enabled) form_->ShowChanged(*this, true);  // drops focus and capture held inside
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

bool Control::HasFocus() const { return form_->focus_ == this; }

void Control::SetCapture() {
  form_->explicitCapture_ = true;
  form_->SetCaptureTo(this);
}

void Control::ReleaseCapture() {
  if (form_->capture_ == this) form_->SetCaptureTo(nullptr);
}

bool Control::HasCapture() const { return form_->capture_ == this; }

void Control::Refresh() {
  if (Shown() && HasWindow()) form_->Repaint(FormRect());
}

}  // namespace pd::forms
