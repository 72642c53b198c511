// PropertyTable: a component's stored design properties, each named with
// its default once, read by load (Read), save (Write), the defaults of a
// newly placed component (Init) and the setters (NameOf).
//
// An entry is one of:
// - a member of the component: load assigns it directly, with no events and
//   no repaint;
// - an attribute the control host keeps for every control (Enabled, Font,
//   MousePointer, MouseIcon, BackColor: the Host* entries), loaded without
//   notifications or repaint;
// - anything else, through a get and a set function.
// Entries are saved in the table's order and loaded in it or in a load order
// of their names. A Font default stands for the host's ambient font,
// whatever font it holds.
//
//   static const PropertyTable<XP_Button> table{
//       {u"Caption", String(u"XP Button"), &XP_Button::caption_},
//       PropertyTable<XP_Button>::HostEnabled(), ...};
//   table.Read(*this, store);     // load
//   table.Write(*this, store);    // save
//   table.Init(*this);            // the defaults
//   GetSite().PropertyChanged(table.NameOf(&XP_Button::caption_));  // a setter
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <type_traits>
#include <variant>
#include <vector>

#include "forms/Control.h"
#include "forms/Properties.h"
#include "platform/surface.h"
#include "platform/types.h"

namespace pd::forms {

// The attributes the control host keeps for every control.
enum class HostAttribute { kNone, kEnabled, kFont, kMousePointer, kMouseIcon, kBackColor };

template <typename C>
class PropertyTable {
 public:
  using PicturePtr = std::shared_ptr<const platform::Picture>;
  using Value = std::variant<std::int32_t, bool, String, Colour, platform::Font, PicturePtr>;
  using Member = std::variant<std::monostate, std::int32_t C::*, std::int16_t C::*, bool C::*, String C::*, Colour C::*,
                              PicturePtr C::*>;
  using Get = Value (*)(const C&);
  using Set = void (*)(C&, Value);

  struct Entry {
    StringView name;
    Value def;
    Member member{};
    Get get = nullptr;
    Set set = nullptr;
    HostAttribute host = HostAttribute::kNone;
  };

  // The host's attributes under their stored names and defaults.
  static Entry HostEnabled() { return Host(u"Enabled", true, HostAttribute::kEnabled); }
  static Entry HostFont() { return Host(u"Font", platform::Font{}, HostAttribute::kFont); }
  static Entry HostMousePointer() { return Host(u"MousePointer", std::int32_t{0}, HostAttribute::kMousePointer); }
  static Entry HostMouseIcon() { return Host(u"MouseIcon", PicturePtr{}, HostAttribute::kMouseIcon); }
  static Entry HostBackColor(Colour def) { return Host(u"BackColor", def, HostAttribute::kBackColor); }

  // Entries are loaded and saved in their order, or loaded in loadOrder
  // (every entry's name once) where a component loads in another order than
  // it saves.
  PropertyTable(std::initializer_list<Entry> entries, std::initializer_list<StringView> loadOrder = {})
      : entries_(entries) {
    for (StringView name : loadOrder) {
      std::size_t i = 0;
      while (i < entries_.size() && entries_[i].name != name) ++i;
      if (i == entries_.size()) throw std::logic_error("PropertyTable: an unknown name in the load order");
      loadOrder_.push_back(i);
    }
    if (loadOrder_.empty()) {
      for (std::size_t i = 0; i < entries_.size(); ++i) loadOrder_.push_back(i);
    }
    if (loadOrder_.size() != entries_.size()) throw std::logic_error("PropertyTable: a load order that misses names");
  }

  [[nodiscard]] const std::vector<Entry>& Entries() const { return entries_; }

  void Read(C& c, forms::PropertyStore& store) const {
    const platform::Font& ambient = c.GetSite().AmbientFont();
    for (std::size_t i : loadOrder_) Assign(c, entries_[i], ReadValue(store, entries_[i], ambient));
  }

  void Write(const C& c, forms::PropertyStore& store) const {
    const platform::Font& ambient = c.GetSite().AmbientFont();
    for (const Entry& e : entries_) WriteValue(store, e, ValueOf(c, e), ambient);
  }

  // Every entry at its default, as a newly placed component has them.
  void Init(C& c) const {
    for (const Entry& e : entries_) {
      Value v = e.def;
      if (e.host == HostAttribute::kFont) v = c.GetSite().AmbientFont();
      Assign(c, e, std::move(v));
    }
  }

  // The name of a member's entry; throws std::logic_error for a member that
  // has none (a mistake in the component).
  template <typename T>
  [[nodiscard]] StringView NameOf(T C::*member) const {
    for (const Entry& e : entries_) {
      const auto* m = std::get_if<T C::*>(&e.member);
      if (m != nullptr && *m == member) return e.name;
    }
    throw std::logic_error("PropertyTable: a member without an entry");
  }
  [[nodiscard]] StringView NameOf(HostAttribute host) const {
    for (const Entry& e : entries_) {
      if (e.host == host) return e.name;
    }
    throw std::logic_error("PropertyTable: an attribute without an entry");
  }

 private:
  static Entry Host(StringView name, Value def, HostAttribute host) {
    return Entry{name, std::move(def), {}, nullptr, nullptr, host};
  }

  static void Assign(C& c, const Entry& e, Value v) {
    if (e.set != nullptr) {
      e.set(c, std::move(v));
      return;
    }
    if (e.host != HostAttribute::kNone) {
      AssignHost(c, e.host, std::move(v));
      return;
    }
    std::visit(
        [&](auto m) {
          using M = decltype(m);
          if constexpr (std::is_same_v<M, std::int16_t C::*>) {
            c.*m = static_cast<std::int16_t>(std::get<std::int32_t>(v));
          } else if constexpr (!std::is_same_v<M, std::monostate>) {
            using T = std::remove_reference_t<decltype(c.*m)>;
            c.*m = std::get<T>(std::move(v));
          }
        },
        e.member);
  }

  // Loading sets the host's attribute itself: no notification, no repaint.
  static void AssignHost(Control& c, HostAttribute host, Value v) {
    switch (host) {
      case HostAttribute::kEnabled:
        c.SetEnabledState(std::get<bool>(v));
        break;
      case HostAttribute::kFont:
        c.Control::SetFont(std::get<platform::Font>(v));
        break;
      case HostAttribute::kMousePointer:
        c.Control::SetMousePointer(std::get<std::int32_t>(v));
        break;
      case HostAttribute::kMouseIcon:
        c.Control::SetMouseIcon(std::get<PicturePtr>(std::move(v)));
        break;
      case HostAttribute::kBackColor:
        c.Control::SetBackColor(std::get<Colour>(v));
        break;
      case HostAttribute::kNone:
        break;
    }
  }

  static Value ValueOf(const C& c, const Entry& e) {
    if (e.get != nullptr) return e.get(c);
    switch (e.host) {
      case HostAttribute::kEnabled:
        return c.Enabled();
      case HostAttribute::kFont:
        return c.Font();
      case HostAttribute::kMousePointer:
        return c.MousePointer();
      case HostAttribute::kMouseIcon:
        return c.MouseIcon();
      case HostAttribute::kBackColor:
        return c.BackColor();
      case HostAttribute::kNone:
        break;
    }
    Value v = e.def;
    std::visit(
        [&](auto m) {
          using M = decltype(m);
          if constexpr (std::is_same_v<M, std::int16_t C::*>) {
            v = std::int32_t{c.*m};
          } else if constexpr (!std::is_same_v<M, std::monostate>) {
            v = c.*m;
          }
        },
        e.member);
    return v;
  }

  static Value ReadValue(forms::PropertyStore& store, const Entry& e, const platform::Font& ambient) {
    return std::visit(
        [&](const auto& def) -> Value {
          using T = std::decay_t<decltype(def)>;
          if constexpr (std::is_same_v<T, std::int32_t>) return store.ReadInt(e.name, def);
          if constexpr (std::is_same_v<T, bool>) return store.ReadBool(e.name, def);
          if constexpr (std::is_same_v<T, String>) return store.ReadString(e.name, def);
          if constexpr (std::is_same_v<T, Colour>) return store.ReadColour(e.name, def);
          if constexpr (std::is_same_v<T, platform::Font>) return store.ReadFont(e.name, ambient);
          if constexpr (std::is_same_v<T, PicturePtr>) return store.ReadPicture(e.name);
        },
        e.def);
  }

  static void WriteValue(forms::PropertyStore& store, const Entry& e, const Value& v,
                         const platform::Font& ambient) {
    std::visit(
        [&](const auto& def) {
          using T = std::decay_t<decltype(def)>;
          const T& value = std::get<T>(v);
          if constexpr (std::is_same_v<T, std::int32_t>) store.WriteInt(e.name, value, def);
          if constexpr (std::is_same_v<T, bool>) store.WriteBool(e.name, value, def);
          if constexpr (std::is_same_v<T, String>) store.WriteString(e.name, value, def);
          if constexpr (std::is_same_v<T, Colour>) store.WriteColour(e.name, value, def);
          if constexpr (std::is_same_v<T, platform::Font>) store.WriteFont(e.name, value, ambient);
          if constexpr (std::is_same_v<T, PicturePtr>) store.WritePicture(e.name, value);
        },
        e.def);
  }

  std::vector<Entry> entries_;
  std::vector<std::size_t> loadOrder_;
};

}  // namespace pd::forms
