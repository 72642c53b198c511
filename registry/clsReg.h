// clsReg: the registry behind string key paths.
//
// A key path is a root name, a backslash and the subkey path:
// "HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Run". The
// root names are "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
// "HKEY_LOCAL_MACHINE" and "HKEY_USERS", in exactly that case. A path with
// another root, without a subkey path, or with an empty name in it (a
// doubled, leading or trailing backslash after the root) makes every
// operation do nothing: reads give "" or 0. The root key itself cannot be
// addressed.
//
// No operation reports an error: a missing key or value reads as empty, and
// a failed write or delete has no effect. Every operation opens what it
// needs and closes it before returning, except the enumeration, which keeps
// one key open from EnumStart to EnumEnd (or the next EnumStart, or the
// object's end).
//
// Names and the texts of string values reach the registry whole, whatever
// their characters (the registry port takes them as UTF-8). Binary data is
// the text in the platform's "ANSI" code page (Codec::ToAnsi), one byte per
// character where the code page holds it. Value names are matched whole, without regard to letter case, as the
// registry itself matches them. A key path or value name holding a NUL
// character is refused like an invalid path (the system would cut it there
// and reach another value).
//
// Value type codes (valueType arguments and results):
//   1 string (REG_SZ)         written as the text and one NUL; read as the text
//                             up to its first NUL
//   2 binary (REG_BINARY)     one byte per character, no terminator; read back
//                             whole, one character per byte
//   3 number (REG_DWORD)      4 bytes, parsed from the text (below); read as
//                             signed decimal text ("-1" for 0xFFFFFFFF)
//   4 expandable (REG_EXPAND_SZ)  as 1; references are not expanded
//   5 multi-string (REG_MULTI_SZ) the text split at CR LF, each line followed
//                             by NUL, then one more NUL; read back joined with
//                             CR LF, so the text written comes back
//  -1 any other type (big-endian number, link, none, 64-bit number…): not
//     written; read as one character per byte
//
// A number is parsed from text thus: blanks around it are removed; "0x" or
// "0X" and 1 to 8 hexadecimal digits give those 32 bits ("0xFFFFFFFF" is -1);
// otherwise a decimal of at most 9 characters (optional sign, digits,
// optional fraction) gives the nearest integer, halves to even; anything
// else gives 0.
#pragma once

#include <cstdint>
#include <string>

#include "platform/registry.h"
#include "platform/text.h"
#include "platform/types.h"

namespace pd {

class clsReg {
 public:
  static constexpr int kTypeString = 1;
  static constexpr int kTypeBinary = 2;
  static constexpr int kTypeDword = 3;
  static constexpr int kTypeExpandString = 4;
  static constexpr int kTypeMultiString = 5;
  static constexpr int kTypeOther = -1;

  // codec: the platform's (Platform::codec()), for binary data and Read_Buf.
  clsReg(platform::Registry& registry, const text::Codec& codec) : reg_(registry), codec_(codec) {}
  ~clsReg() { EnumEnd(); }
  clsReg(const clsReg&) = delete;
  clsReg& operator=(const clsReg&) = delete;

  // The value as text; "" when the key or value does not exist or is empty.
  // An empty value name reads the key's default value. A string comes back
  // without its terminating NUL but with any inner one; a multi-string keeps
  // its parts NUL-separated, with one NUL after the last; a DWORD reads as
  // signed decimal; other data one character per byte.
  String Read(StringView keyPath, StringView valueName);

  // The value's data and its type code. An empty array, with valueType left
  // as it was, when nothing is found or the data is empty. A string's
  // terminating NUL is not part of the result (a multi-string keeps the NUL
  // that ends its last line), and its text is in the platform's file text
  // (Codec::ToFileText: the ANSI code page on Windows, UTF-8 on Linux);
  // other data comes back whole.
  std::string Read_Buf(StringView keyPath, StringView valueName, int& valueType);

  // Creates the key when missing and sets the value. Does nothing for a type
  // code outside 1 to 5.
  void WriteValue(StringView keyPath, StringView valueName, StringView valueText, int valueType);

  // Creates the key and missing parents.
  void CreateKey(StringView keyPath);

  // Deletes the key with all its subkeys. Subkeys that cannot be deleted
  // (access denied) are left with the keys above them; the call still ends.
  void DeleteKey(StringView keyPath);

  // Deletes the value. The key is created first when missing.
  void DeleteValue(StringView keyPath, StringView valueName);

  // Enumeration. EnumStart ends an enumeration in progress, opens the key
  // for reading and records its counts; with an invalid path it does
  // nothing at all (an open enumeration stays open). EnumEnd closes the key
  // and zeroes every count.
  void EnumStart(StringView keyPath);
  void EnumEnd();
  [[nodiscard]] int Enum_GetCountKey() const { return EnumSubKeyCount_; }
  [[nodiscard]] int Enum_GetCountValue() const { return EnumValueCount_; }
  // Name of subkey number index; "" when there is none.
  String Enum_GetKey(int index);
  // Name, text and type code of value number index; with an index out of
  // range (or no enumeration), name and text are "" and the type is left as
  // it was.
  void Enum_GetValue(int index, String& valueName, String& valueText, int& valueType);

  // The state of the enumeration: the open key (0 when idle) and the sizes
  // recorded by EnumStart (each maximum length plus one).
  [[nodiscard]] platform::RegKey EnumKey() const { return EnumKey_; }
  [[nodiscard]] int EnumMaxSubKeyName() const { return EnumMaxSubKeyName_; }
  [[nodiscard]] int EnumMaxValueName() const { return EnumMaxValueName_; }
  [[nodiscard]] int EnumMaxValueData() const { return EnumMaxValueData_; }

  // Helpers, public for their tests.
  static std::int32_t ParseDword(StringView text);
  // The type code of a registry type.
  static int TypeCode(std::uint32_t registryType);
  // Text of data of a registry type, as Read gives it.
  static String DataToText(std::uint32_t registryType, std::string_view data, const text::Codec& codec);

 private:
  struct KeyPath {
    platform::RegRoot root = platform::RegRoot::CurrentUser;
    std::string subKey;  // UTF-8
  };
  // ROOT\sub\key, with one optional backslash at the end; false for an
  // unknown root (exact case), no subkey, an empty component or a NUL.
  static bool ParsePath(StringView keyPath, KeyPath& out);
  // One query of a value by its whole name (case ignored; "" is the default
  // value). False when the path, the name, the key or the value is missing.
  bool QueryByName(StringView keyPath, StringView valueName, std::uint32_t& type, std::string& data);
  static std::string NameBytes(StringView name);
  void DeleteTree(platform::RegRoot root, const std::string& subKey, int depth);

  platform::Registry& reg_;
  const text::Codec& codec_;
  platform::RegKey EnumKey_ = 0;
  int EnumSubKeyCount_ = 0;
  int EnumValueCount_ = 0;
  int EnumMaxSubKeyName_ = 0;
  int EnumMaxValueName_ = 0;
  int EnumMaxValueData_ = 0;
};

}  // namespace pd
