#include "forms/Properties.h"

namespace pd::forms {

template <typename T>
T PropertyBag::Read(StringView name, T def) const {
  auto it = values_.find(name);
  if (it == values_.end()) return def;
  if (const T* v = std::get_if<T>(&it->second)) return *v;
  return def;
}

void PropertyBag::Write(StringView name, Value value, bool isDefault) {
  auto it = values_.find(name);
  if (isDefault) {
    if (it != values_.end()) values_.erase(it);
    return;
  }
  if (it != values_.end()) {
    it->second = std::move(value);
  } else {
    values_.emplace(String(name), std::move(value));
  }
}

std::int32_t PropertyBag::ReadInt(StringView name, std::int32_t def) { return Read(name, def); }
bool PropertyBag::ReadBool(StringView name, bool def) { return Read(name, def); }
String PropertyBag::ReadString(StringView name, StringView def) { return Read(name, String(def)); }

void PropertyBag::WriteInt(StringView name, std::int32_t value, std::int32_t def) {
  Write(name, value, value == def);
}
void PropertyBag::WriteBool(StringView name, bool value, bool def) { Write(name, value, value == def); }
void PropertyBag::WriteString(StringView name, StringView value, StringView def) {
  Write(name, String(value), value == def);
}

Colour PropertyBag::ReadColour(StringView name, Colour def) { return Read(name, def); }
platform::Font PropertyBag::ReadFont(StringView name, const platform::Font& def) { return Read(name, def); }
std::shared_ptr<const platform::Picture> PropertyBag::ReadPicture(StringView name) {
  return Read(name, std::shared_ptr<const platform::Picture>());
}

void PropertyBag::WriteColour(StringView name, Colour value, Colour def) { Write(name, value, value == def); }
void PropertyBag::WriteFont(StringView name, const platform::Font& value, const platform::Font& def) {
  Write(name, value, value == def);
}
void PropertyBag::WritePicture(StringView name, std::shared_ptr<const platform::Picture> value) {
  const bool none = value == nullptr;
  Write(name, std::move(value), none);
}

bool PropertyBag::Contains(StringView name) const { return values_.find(name) != values_.end(); }

}  // namespace pd::forms
