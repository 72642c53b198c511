// The host's property store: the design properties of one component, read
// and written by name. A value equal to its default need not be stored, and
// reading a name that was never stored gives the default.
//
// Colours are 0x00BBGGRR or a system colour (top bit set), stored as given
// and resolved only when drawn. A font is stored whole. A picture is shared
// with the store; "none" (nullptr) is the default of every picture.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <variant>

#include "platform/surface.h"
#include "platform/types.h"

namespace pd::forms {

class PropertyStore {
 public:
  virtual ~PropertyStore() = default;

  virtual std::int32_t ReadInt(StringView name, std::int32_t def) = 0;
  virtual bool ReadBool(StringView name, bool def) = 0;
  virtual String ReadString(StringView name, StringView def) = 0;

  virtual void WriteInt(StringView name, std::int32_t value, std::int32_t def) = 0;
  virtual void WriteBool(StringView name, bool value, bool def) = 0;
  virtual void WriteString(StringView name, StringView value, StringView def) = 0;

  virtual Colour ReadColour(StringView name, Colour def) = 0;
  virtual platform::Font ReadFont(StringView name, const platform::Font& def) = 0;
  virtual std::shared_ptr<const platform::Picture> ReadPicture(StringView name) = 0;

  virtual void WriteColour(StringView name, Colour value, Colour def) = 0;
  virtual void WriteFont(StringView name, const platform::Font& value, const platform::Font& def) = 0;
  virtual void WritePicture(StringView name, std::shared_ptr<const platform::Picture> value) = 0;
};

// The store every backend hands to its components: an ordered map of typed
// values. A value written equal to its default is removed, so the bag holds
// exactly what differs from the defaults. A value read with another type than
// it was written with gives the default.
class PropertyBag : public PropertyStore {
 public:
  using Value = std::variant<std::int32_t, bool, String, Colour, platform::Font, std::shared_ptr<const platform::Picture>>;

  std::int32_t ReadInt(StringView name, std::int32_t def) override;
  bool ReadBool(StringView name, bool def) override;
  String ReadString(StringView name, StringView def) override;
  void WriteInt(StringView name, std::int32_t value, std::int32_t def) override;
  void WriteBool(StringView name, bool value, bool def) override;
  void WriteString(StringView name, StringView value, StringView def) override;
  Colour ReadColour(StringView name, Colour def) override;
  platform::Font ReadFont(StringView name, const platform::Font& def) override;
  std::shared_ptr<const platform::Picture> ReadPicture(StringView name) override;
  void WriteColour(StringView name, Colour value, Colour def) override;
  void WriteFont(StringView name, const platform::Font& value, const platform::Font& def) override;
  void WritePicture(StringView name, std::shared_ptr<const platform::Picture> value) override;

  [[nodiscard]] bool Contains(StringView name) const;
  [[nodiscard]] std::size_t Size() const { return values_.size(); }

 private:
  template <typename T>
  T Read(StringView name, T def) const;
  void Write(StringView name, Value value, bool isDefault);

  std::map<String, Value, std::less<>> values_;
};

}  // namespace pd::forms
