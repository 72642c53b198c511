// PropertyTable: a component's stored design properties, each named with
// its default once, read by load, save and the setters.
//
// An entry is either a member of the component (load assigns it directly,
// with no events and no repaint) or a property of the host's control
// (Enabled, Font, MousePointer, ...), read and written through a get and a
// set function. Entries are loaded and saved in the table's order. A Font
// default stands for the host's ambient font, whatever font it holds.
//
//   static const PropertyTable<XP_Button> table({
//       {u"Caption", String(u"XP Button"), &XP_Button::caption_},
//       {u"Enabled", true, nullptr, GetEnabled, SetEnabled}, ...});
//   table.Read(*this, store, ambientFont);     // load
//   table.Write(*this, store, ambientFont);    // save
//   GetSite().PropertyChanged(table.NameOf(&XP_Button::caption_));  // a setter
#pragma once

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <stdexcept>
#include <variant>
#include <vector>

#include "platform/properties.h"
#include "platform/surface.h"
#include "platform/types.h"

namespace pd::controls {

template <typename C>
class PropertyTable {
 public:
  using PicturePtr = std::shared_ptr<const platform::Picture>;
  using Value = std::variant<std::int32_t, bool, String, Colour, platform::Font, PicturePtr>;
  using Member = std::variant<std::monostate, std::int32_t C::*, std::int16_t C::*, bool C::*, String C::*,
                              Colour C::*>;

  struct Entry {
    StringView name;
    Value def;
    Member member{};
    Value (*get)(const C&) = nullptr;
    void (*set)(C&, Value) = nullptr;
  };

  PropertyTable(std::initializer_list<Entry> entries) : entries_(entries) {}

  [[nodiscard]] const std::vector<Entry>& Entries() const { return entries_; }

  void Read(C& c, platform::PropertyStore& store, const platform::Font& ambient) const {
    for (const Entry& e : entries_) {
      Value v = ReadValue(store, e, ambient);
      if (e.set != nullptr) {
        e.set(c, std::move(v));
        continue;
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
  }

  void Write(const C& c, platform::PropertyStore& store, const platform::Font& ambient) const {
    for (const Entry& e : entries_) {
      Value v = e.def;
      if (e.get != nullptr) {
        v = e.get(c);
      } else {
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
      }
      WriteValue(store, e, v, ambient);
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

 private:
  static Value ReadValue(platform::PropertyStore& store, const Entry& e, const platform::Font& ambient) {
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

  static void WriteValue(platform::PropertyStore& store, const Entry& e, const Value& v,
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
};

}  // namespace pd::controls
