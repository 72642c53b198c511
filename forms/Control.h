// Controls: the children of a form, kept by the control host, not by the
// operating system.
//
// A control has a place in its container (left, top, width, height in
// twips, 15 to the pixel), a z-order among its siblings, visibility, an
// enabled state, and a site: its design properties, the ambient font and
// back colour of its container, its form and the platform. The form finds
// the control under the pointer, holds the capture and the focus, and
// delivers mouse, key, focus, resize, show and paint events to the control
// through the virtual On* members; a component raises its own events to its
// host from there.
//
// Every component is constructed the same way: Control(parent, name,
// index). index >= 0 makes the control a member of the control array of
// that name (tabPage(1)); -1 for a plain control.
//
// Painting: OnPaint draws on the form's frame through a view whose origin
// is the control's top-left corner and whose clip is the control's visible
// part, so a control paints in its own pixels (0, 0 to PixelWidth x
// PixelHeight). Refresh repaints the control (and whatever overlaps it) at
// once and puts it on the screen.
//
// Handlers and lifetimes: every event is raised so that its handler may
// hide, disable, move, destroy or re-create the raising control, its
// siblings, its container or its form, or run a modal loop. Whatever runs
// after a raise asks a ControlLife taken before it (RaiseEvent does this
// for a component's own events). Controls and forms go in any order: a
// control whose form or container is destroyed first is detached (it keeps
// its state, shows nowhere and takes no input).
//
// Controls are not OS windows. Each still has a handle of its own (hWnd),
// unique in the process, so that "the window under the pointer" and "the
// window holding the capture" name a control as they would on Windows.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "forms/Event.h"
#include "forms/Properties.h"
#include "platform/platform.h"
#include "platform/types.h"

namespace pd::forms {

class Container;
class ControlHost;
class Form;
class Control;

// A weak handle on a control: says whether the control still exists. An
// event handler may destroy the control that raised it, its container or
// its form; whatever runs after a handler asks a handle taken before it.
// Single-threaded and cheap: a count on a block the control shares with
// its handles, no atomics.
class ControlLife {
 public:
  ControlLife() = default;
  explicit ControlLife(const Control& control);
  ControlLife(const ControlLife& other) : block_(other.block_) {
    if (block_ != nullptr) ++block_->refs;
  }
  ControlLife& operator=(ControlLife other) noexcept {
    std::swap(block_, other.block_);
    return *this;
  }
  ~ControlLife() { Drop(); }

  [[nodiscard]] bool Alive() const { return block_ != nullptr && block_->alive; }

 private:
  friend class Control;
  struct Block {
    std::uint32_t refs = 1;
    bool alive = true;
  };
  void Drop() {
    if (block_ != nullptr && --block_->refs == 0) delete block_;
    block_ = nullptr;
  }
  Block* block_ = nullptr;
};

// What a component knows of where it sits.
class Site {
 public:
  explicit Site(Control& control) : control_(control) {}

  // The component's design properties: the form keeps them by the
  // control's name and index (what a designer saved for it), so they may be
  // stored before the control exists.
  [[nodiscard]] forms::PropertyStore& Properties() { return Bag(); }
  [[nodiscard]] forms::PropertyBag& Bag();
  // Tells the host (a designer) that a property changed; kept for tests.
  void PropertyChanged(StringView name) { changed_.emplace_back(name); }
  [[nodiscard]] const std::vector<String>& ChangedProperties() const { return changed_; }

  // The container's font and back colour.
  [[nodiscard]] const platform::Font& AmbientFont() const;
  [[nodiscard]] Colour AmbientBackColor() const;

  [[nodiscard]] Form& GetForm() const;
  [[nodiscard]] ControlHost& Host() const;
  [[nodiscard]] platform::Platform& GetPlatform() const;
  [[nodiscard]] WindowHandle HostWindow() const;

 private:
  Control& control_;
  std::vector<String> changed_;
  std::unique_ptr<PropertyBag> detached_;  // the bag of a control whose form is gone
};

// A mouse event in the control's own pixels.
struct MouseEvent {
  int button = 0;  // platform::button bits: the one that changed (down/up), or all held (move)
  int shift = 0;   // platform::shift bits
  int x = 0;
  int y = 0;
};

class Control {
 public:
  // Joins parent's children in front of the others.
  Control(Container& parent, StringView name, int index = -1);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // ---- Identity ----
  [[nodiscard]] const String& Name() const { return name_; }
  [[nodiscard]] int Index() const { return index_; }
  [[nodiscard]] Container* Parent() const { return parent_; }
  // The form the control sits on. A control may outlive its form or its
  // container: it is then detached (OnForm() false), shown nowhere, and
  // takes no input; GetForm() must not be called on it.
  [[nodiscard]] Form& GetForm() const { return *form_; }
  [[nodiscard]] bool OnForm() const { return form_ != nullptr; }
  [[nodiscard]] ControlHost& Host() const { return *host_; }
  [[nodiscard]] Site& GetSite() { return site_; }
  [[nodiscard]] const Site& GetSite() const { return site_; }
  // The control's handle: unique in the process, never 0.
  [[nodiscard]] WindowHandle hWnd() const { return handle_; }

  // ---- Place, in twips relative to the parent's client area ----
  [[nodiscard]] int Left() const { return left_; }
  [[nodiscard]] int Top() const { return top_; }
  [[nodiscard]] int Width() const { return width_; }
  [[nodiscard]] int Height() const { return height_; }
  // Negative width or height keeps the current one. Raises OnResize when
  // the size changes; repaints what the move uncovers and covers.
  virtual void Move(int left, int top, int width = -1, int height = -1);
  // In pixels: the size, the rectangle in the parent, and on the form.
  [[nodiscard]] int PixelWidth() const { return width_ / kTwipsPerPixel; }
  [[nodiscard]] int PixelHeight() const { return height_ / kTwipsPerPixel; }
  [[nodiscard]] Rect PixelRect() const;
  [[nodiscard]] Rect FormRect() const;

  // ---- State ----
  [[nodiscard]] bool Visible() const { return visible_; }
  virtual void SetVisible(bool visible);
  // Visible, and every container up to the form visible too.
  [[nodiscard]] bool Shown() const;
  [[nodiscard]] bool Enabled() const { return enabled_; }
  virtual void SetEnabled(bool enabled);
  // Enabled, and every container up to the form enabled too.
  [[nodiscard]] bool EffectivelyEnabled() const;
  [[nodiscard]] bool TabStop() const { return tabStop_; }
  void SetTabStop(bool tabStop) { tabStop_ = tabStop; }
  // The control's own back colour and font; both start as the ambient ones.
  [[nodiscard]] Colour BackColor() const { return backColor_; }
  virtual void SetBackColor(Colour colour);
  [[nodiscard]] const platform::Font& Font() const { return font_; }
  virtual void SetFont(const platform::Font& font);
  // The cursor shown over the control (the host's MousePointer values) and
  // its picture for the custom pointer (99).
  [[nodiscard]] std::int32_t MousePointer() const { return mousePointer_; }
  virtual void SetMousePointer(std::int32_t value) { mousePointer_ = value; }
  [[nodiscard]] const std::shared_ptr<const platform::Picture>& MouseIcon() const { return mouseIcon_; }
  virtual void SetMouseIcon(std::shared_ptr<const platform::Picture> icon) { mouseIcon_ = std::move(icon); }

  // 0 brings the control in front of its siblings, 1 sends it behind them.
  void ZOrder(int position = 0);

  // ---- Focus and capture ----
  // Whether the control takes the keyboard focus at all (text boxes,
  // buttons, lists); labels and containers do not.
  [[nodiscard]] virtual bool CanFocus() const { return false; }
  // Whether Tab goes to the control as a key instead of moving the focus.
  [[nodiscard]] virtual bool WantsTab() const { return false; }
  // Takes the focus when the control can hold it now; false otherwise.
  bool SetFocus();
  [[nodiscard]] bool HasFocus() const;
  // Mouse events come to this control until ReleaseCapture or until every
  // button is up. A press captures the control it lands on by itself.
  void SetCapture();
  void ReleaseCapture();
  [[nodiscard]] bool HasCapture() const;

  // ---- Painting ----
  // Repaints the control now and puts it on the screen (when shown).
  void Refresh();

  // Whether the control is drawn and hit at run time (false for components
  // that are invisible at run time: timers, hot keys, tray icon).
  [[nodiscard]] virtual bool HasWindow() const { return true; }
  // Whether the pointer finds the control; false lets clicks through to
  // what lies under it (a drawn outline over a page).
  [[nodiscard]] virtual bool HitTestVisible() const { return true; }

  // ---- Raising events ----
  // A weak handle on this control.
  [[nodiscard]] ControlLife Life() const { return ControlLife(*this); }
  // Raises one of the component's events and says whether the control is
  // still there afterwards: the handler may destroy it (with its form or
  // container); what follows a raise runs only on true.
  template <typename... Params, typename... Args>
  bool RaiseEvent(const Event<Params...>& event, Args&&... args) const {
    const ControlLife life(*this);
    event.Raise(std::forward<Args>(args)...);
    return life.Alive();
  }

 protected:
  friend class Form;
  friend class Container;
  friend class ControlHost;
  template <typename C>
  friend class PropertyTable;

  // A control that is a Form has no parent.
  struct FormTag {};
  Control(FormTag, Form& self, StringView name);

  // Changes the enabled state without repainting (a component that draws
  // its own disabled look decides when to repaint).
  void SetEnabledState(bool enabled);

  virtual void OnPaint(platform::Surface& /*surface*/) {}
  virtual void OnMouseDown(const MouseEvent& /*e*/) {}
  virtual void OnMouseMove(const MouseEvent& /*e*/) {}
  virtual void OnMouseUp(const MouseEvent& /*e*/) {}
  virtual void OnDblClick(const MouseEvent& /*e*/) {}
  // The wheel turned over the control by delta 120ths of a notch (positive
  // away from the user); false passes it on to the container.
  virtual bool OnMouseWheel(const MouseEvent& /*e*/, int /*delta*/) { return false; }
  // keyCode may be set to 0 to swallow the key.
  virtual void OnKeyDown(int& /*keyCode*/, int /*shift*/) {}
  // A character typed (after the keyboard layout), or 8, 13, 27 for
  // Backspace, Enter and Escape.
  virtual void OnKeyPress(char16_t& /*keyAscii*/) {}
  virtual void OnKeyUp(int& /*keyCode*/, int /*shift*/) {}
  virtual void OnGotFocus() {}
  virtual void OnLostFocus() {}
  virtual void OnResize() {}
  // The control became shown (true) or hidden (false) on the screen.
  virtual void OnShow(bool /*shown*/) {}
  // The capture was taken away (another control or window took it).
  virtual void OnCaptureLost() {}

 private:
  friend class ControlLife;
  void Detach();
  // Leaves the form without a trace (the form or the container is going).
  void Orphan();

  String name_;
  int index_ = -1;
  Container* parent_ = nullptr;
  Form* form_ = nullptr;
  ControlHost* host_ = nullptr;
  ControlLife::Block* life_ = nullptr;
  WindowHandle handle_ = 0;
  Site site_{*this};
  int left_ = 0;
  int top_ = 0;
  int width_ = 0;
  int height_ = 0;
  bool visible_ = true;
  bool enabled_ = true;
  bool tabStop_ = true;
  Colour backColor_ = 0x8000000F;
  platform::Font font_;
  std::int32_t mousePointer_ = 0;
  std::shared_ptr<const platform::Picture> mouseIcon_;
  std::uint64_t order_ = 0;  // creation order on the form: the tab order
};

// A control that holds others: a form or a page container. Children are in
// z-order, the backmost first; moving or hiding a container moves or hides
// them with it.
class Container : public Control {
 public:
  using Control::Control;
  // Children left behind are detached, not dangling.
  ~Container() override;
  Container(const Container&) = delete;
  Container& operator=(const Container&) = delete;
  [[nodiscard]] const std::vector<Control*>& Children() const { return children_; }

 protected:
  // The client area's top-left corner in the container's own pixels (a
  // container with a frame moves its children inside it).
  [[nodiscard]] virtual Point ClientOrigin() const { return Point{}; }

 private:
  friend class Control;
  friend class Form;
  void OrphanChildren();
  std::vector<Control*> children_;
};

}  // namespace pd::forms
