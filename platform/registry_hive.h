// An in-memory registry and the registry port over it: the simulated
// backend, and, with a file behind it, the Linux backend.
//
// The hive keeps the system's rules: names in UTF-8 (the registry port's
// text), compared without regard to letter case; values in
// creation order; subkeys in the order of their upper-cased names; a key
// with subkeys cannot be deleted; a key opened for reading cannot be
// written through.
#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace pd::platform {

class RegistryHive {
 public:
  struct Value {
    std::string name;
    std::uint32_t type = kRegNone;
    std::string data;
  };
  struct Key {
    std::string name;
    std::vector<Value> values;  // creation order
    std::vector<Key> subKeys;   // sorted by SortsBefore

    Value* FindValue(std::string_view valueName);
    Key* FindSubKey(std::string_view keyName);
  };
  using Path = std::vector<std::string>;

  // Splits "A\B\C" into its names. False for the empty path, an empty name
  // (a leading, trailing or doubled '\') and a name over kRegMaxKeyName.
  static bool SplitPath(std::string_view subKey, Path& path);
  static bool SameName(std::string_view a, std::string_view b);
  // The system's order of subkeys: by upper-cased name.
  static bool SortsBefore(std::string_view a, std::string_view b);
  static std::string_view RootName(RegRoot root);

  Key& Root(RegRoot root) { return roots_[static_cast<std::size_t>(root)]; }
  Key* Find(RegRoot root, const Path& path);
  // Finds or creates the key and its missing parents.
  Key* Create(RegRoot root, const Path& path);
  enum class DeleteResult { Deleted, NotFound, HasSubKeys };
  DeleteResult Delete(RegRoot root, const Path& path);

  // The whole hive as text (UTF-8, one line per key and per value) and
  // back. Parse loads every well-formed key and value and returns false
  // when anything else was found (a damaged or foreign file). It reads the
  // first version of the text too, whose names and strings were
  // Windows-1251, into the same values in UTF-8.
  [[nodiscard]] std::string Serialize() const;
  bool Parse(std::string_view text);

  static constexpr std::string_view kFileHeader = "ProcessDrovak registry 2";

 private:
  Key roots_[4];
};

// The registry port over a hive. Key handles stand for paths, so a handle to
// a key that was deleted fails from then on.
class HiveRegistry : public Registry {
 public:
  RegKey OpenKey(RegRoot root, std::string_view subKey, Access access) override;
  RegKey CreateKey(RegRoot root, std::string_view subKey) override;
  void CloseKey(RegKey key) override;
  bool QueryInfoKey(RegKey key, RegKeyInfo& info) override;
  bool EnumValue(RegKey key, std::uint32_t index, std::string& name, std::uint32_t& type,
                 std::string& data) override;
  bool QueryValue(RegKey key, std::string_view name, std::uint32_t& type, std::string& data) override;
  bool EnumKey(RegKey key, std::uint32_t index, std::string& name) override;
  bool SetValue(RegKey key, std::string_view name, std::uint32_t type, std::string_view data) override;
  bool DeleteValue(RegKey key, std::string_view name) override;
  bool DeleteKey(RegRoot root, std::string_view subKey) override;
  [[nodiscard]] String LastError() const override { return lastError_; }

  [[nodiscard]] std::size_t OpenHandles() const { return handles_.size(); }
  RegistryHive& Hive() { return hive_; }

 protected:
  struct Handle {
    RegRoot root = RegRoot::CurrentUser;
    RegistryHive::Path path;
    bool writable = false;
  };

  // Hooks for a store behind the hive. Refresh runs before a key is opened,
  // created or deleted (reload what changed outside). Commit runs after each
  // change; when it fails the change is undone and the call fails.
  virtual bool Refresh() { return true; }
  virtual bool Commit() { return true; }
  // False when the key may only be read (access denied for writing).
  virtual bool MayWrite(RegRoot /*root*/, const RegistryHive::Path& /*path*/) { return true; }

  const Handle* Resolve(RegKey key);
  // The key behind a handle; nullptr (with the error set) when it is gone.
  RegistryHive::Key* KeyOf(RegKey key, const Handle** handle = nullptr);
  bool Fail(std::string_view what);
  // Runs change on the hive; undoes it when change or Commit fails.
  template <class F>
  bool Change(F&& change) {
    RegistryHive backup = hive_;
    if (!change()) return false;
    if (!Commit()) {
      hive_ = std::move(backup);
      return false;
    }
    return true;
  }

 private:
  RegKey Insert(RegRoot root, RegistryHive::Path path, bool writable);

  RegistryHive hive_;
  std::map<RegKey, Handle> handles_;
  RegKey nextHandle_ = 0x1000;
  String lastError_;
};

}  // namespace pd::platform
