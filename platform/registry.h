// Registry port: keys under the four predefined roots, holding named, typed
// values, in the shape of the system's ANSI registry calls.
//
// Key and value names, and the data of the string types (REG_SZ,
// REG_EXPAND_SZ, REG_MULTI_SZ), are UTF-8 on every backend, so that any
// character survives; other data are bytes, passed unchanged. Callers
// convert. Names never contain NUL. Key and value names are compared
// without regard to letter case, and a name keeps the form it was created
// with. Values enumerate in the order they were created; subkeys in
// the order of their upper-cased names.
//
// Windows: advapi32's wide calls (the stored value is the same as the ANSI
// calls store for text the ANSI code page holds; a path that it cannot hold,
// such as a program in a folder named in another script, survives too).
// Simulation: an in-memory hive. Linux: a hive in a file
// under the user's configuration folder, with the values of the current
// user's ...\CurrentVersion\Run key kept as XDG autostart entries.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/types.h"

namespace pd::platform {

enum class RegRoot { ClassesRoot, CurrentUser, LocalMachine, Users };

// Value types, numbered as the system numbers them.
inline constexpr std::uint32_t kRegNone = 0;
inline constexpr std::uint32_t kRegSz = 1;
inline constexpr std::uint32_t kRegExpandSz = 2;
inline constexpr std::uint32_t kRegBinary = 3;
inline constexpr std::uint32_t kRegDword = 4;
inline constexpr std::uint32_t kRegDwordBigEndian = 5;
inline constexpr std::uint32_t kRegLink = 6;
inline constexpr std::uint32_t kRegMultiSz = 7;
inline constexpr std::uint32_t kRegQword = 11;

// Limits of the system: a key name holds at most 255 characters, a value
// name at most 16383.
inline constexpr std::size_t kRegMaxKeyName = 255;
inline constexpr std::size_t kRegMaxValueName = 16383;

// An open key; 0 is "no key". Every key a call returns must be closed.
using RegKey = std::uintptr_t;

// What RegQueryInfoKey tells about a key. Name lengths count UTF-16 code
// units, without a terminating NUL; data sizes count bytes as the store
// keeps them (UTF-16 on Windows, UTF-8 in the hive).
struct RegKeyInfo {
  std::uint32_t subKeys = 0;
  std::uint32_t maxSubKeyName = 0;
  std::uint32_t values = 0;
  std::uint32_t maxValueName = 0;
  std::uint32_t maxValueData = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;

  enum class Access {
    Read,  // query and enumerate (KEY_READ)
    All,   // everything (KEY_ALL_ACCESS)
  };

  // Opens an existing key. subKey is a path of names separated by '\'; it
  // may not be empty, nor begin or end with '\', nor hold an empty name.
  // Returns 0 when the key is missing or the access is refused.
  virtual RegKey OpenKey(RegRoot root, std::string_view subKey, Access access) = 0;
  // Opens the key with all access, creating it and missing parents first.
  // 0 on failure.
  virtual RegKey CreateKey(RegRoot root, std::string_view subKey) = 0;
  virtual void CloseKey(RegKey key) = 0;

  virtual bool QueryInfoKey(RegKey key, RegKeyInfo& info) = 0;
  // Value number index in enumeration order: its name, type and data.
  // False (outputs untouched) past the last value or on failure.
  virtual bool EnumValue(RegKey key, std::uint32_t index, std::string& name, std::uint32_t& type,
                         std::string& data) = 0;
  // The value of that whole name (the empty name is the key's default
  // value). False (outputs untouched) when there is none.
  virtual bool QueryValue(RegKey key, std::string_view name, std::uint32_t& type, std::string& data) = 0;
  // Name of subkey number index; false past the last one.
  virtual bool EnumKey(RegKey key, std::uint32_t index, std::string& name) = 0;
  // Creates or replaces a value; needs a key opened with all access.
  virtual bool SetValue(RegKey key, std::string_view name, std::uint32_t type, std::string_view data) = 0;
  virtual bool DeleteValue(RegKey key, std::string_view name) = 0;
  // Deletes a key that has no subkeys, with its values.
  virtual bool DeleteKey(RegRoot root, std::string_view subKey) = 0;

  // Why the latest failed call failed, for tests and debug builds
  // ("RegOpenKeyExA: 2"); calls that succeed leave it as it was.
  [[nodiscard]] virtual String LastError() const = 0;
};

}  // namespace pd::platform
