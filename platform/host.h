// Control host port: the windows components live on, and the site through
// which a component talks to its host.
//
// This is the seed of the control host; child surfaces, mouse and key
// events, the popup menu and message boxes join it as the controls that
// need them are built.
#pragma once

#include <memory>
#include <vector>

#include "platform/properties.h"
#include "platform/surface.h"
#include "platform/types.h"

namespace pd::platform {

// What a component knows of the form it sits on.
class ComponentSite {
 public:
  virtual ~ComponentSite() = default;

  // The form's top-level window.
  virtual WindowHandle HostWindow() = 0;
  // The component's design properties.
  virtual PropertyStore& Properties() = 0;
  // Tells the host (a form designer) that a property changed.
  virtual void PropertyChanged(StringView name) = 0;
  // Sets the component's size on the form, in twips.
  virtual void SetExtent(int widthTwips, int heightTwips) = 0;
};

// The site the backends give their components: the form's window, a
// property bag, and the names of changed properties (there is no designer at
// run time; tests read them).
class FormSite final : public ComponentSite {
 public:
  explicit FormSite(WindowHandle form) : form_(form) {}
  WindowHandle HostWindow() override { return form_; }
  PropertyStore& Properties() override { return bag_; }
  void PropertyChanged(StringView name) override { changed_.emplace_back(name); }
  void SetExtent(int widthTwips, int heightTwips) override { extent_ = {widthTwips, heightTwips}; }

  [[nodiscard]] PropertyBag& Bag() { return bag_; }
  [[nodiscard]] const std::vector<String>& ChangedProperties() const { return changed_; }
  [[nodiscard]] Point Extent() const { return extent_; }

 private:
  WindowHandle form_;
  PropertyBag bag_;
  std::vector<String> changed_;
  Point extent_;
};

class Host {
 public:
  virtual ~Host() = default;

  // Creates a hidden top-level window for a form; 0 on failure.
  virtual WindowHandle CreateForm(StringView caption) = 0;
  virtual void DestroyForm(WindowHandle form) = 0;
  virtual void ShowForm(WindowHandle form, bool visible) = 0;

  // A site for a component on the form, with its own property store.
  virtual std::unique_ptr<ComponentSite> CreateSite(WindowHandle form) = 0;

  // An off-screen surface of the given size for drawing on the form: what is
  // drawn reaches the form's window all at once when Present is called.
  // nullptr for a window that is not one of our forms or an empty size.
  virtual std::unique_ptr<Surface> CreateFormSurface(WindowHandle form, int width, int height) = 0;
};

}  // namespace pd::platform
