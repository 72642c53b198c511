// What a component knows of the form it sits on (the seed of forms::Site,
// which replaces it when the components move onto the control host).
#pragma once

#include <vector>

#include "platform/properties.h"
#include "platform/types.h"

namespace pd::platform {

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

}  // namespace pd::platform
