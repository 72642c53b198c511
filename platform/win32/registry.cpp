// Windows registry: advapi32's ANSI calls. Names and data arrive in the
// ANSI code page already and pass through unchanged.
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"

namespace pd::platform {
namespace {

HKEY RootKey(RegRoot root) {
  switch (root) {
    case RegRoot::ClassesRoot: return HKEY_CLASSES_ROOT;
    case RegRoot::CurrentUser: return HKEY_CURRENT_USER;
    case RegRoot::LocalMachine: return HKEY_LOCAL_MACHINE;
    case RegRoot::Users: return HKEY_USERS;
  }
  return HKEY_CURRENT_USER;
}

HKEY AsHkey(RegKey key) { return reinterpret_cast<HKEY>(key); }
RegKey AsRegKey(HKEY key) { return reinterpret_cast<RegKey>(key); }

// The system would address the root (or another key) through an empty name.
bool ValidPath(std::string_view subKey) {
  if (subKey.empty() || subKey.front() == '\\' || subKey.back() == '\\') return false;
  return subKey.find("\\\\") == std::string_view::npos && subKey.find('\0') == std::string_view::npos;
}

class Win32Registry final : public Registry {
 public:
  RegKey OpenKey(RegRoot root, std::string_view subKey, Access access) override {
    if (!ValidPath(subKey)) return Fail("RegOpenKeyExA", ERROR_INVALID_PARAMETER), 0;
    HKEY key = nullptr;
    const std::string path(subKey);
    const REGSAM sam = access == Access::All ? KEY_ALL_ACCESS : KEY_READ;
    const LONG rc = RegOpenKeyExA(RootKey(root), path.c_str(), 0, sam, &key);
    if (rc != ERROR_SUCCESS) return Fail("RegOpenKeyExA", rc), 0;
    return AsRegKey(key);
  }

  RegKey CreateKey(RegRoot root, std::string_view subKey) override {
    if (!ValidPath(subKey)) return Fail("RegCreateKeyA", ERROR_INVALID_PARAMETER), 0;
    HKEY key = nullptr;
    const std::string path(subKey);
    const LONG rc = RegCreateKeyA(RootKey(root), path.c_str(), &key);
    if (rc != ERROR_SUCCESS) return Fail("RegCreateKeyA", rc), 0;
    return AsRegKey(key);
  }

  void CloseKey(RegKey key) override {
    if (key != 0) RegCloseKey(AsHkey(key));
  }

  bool QueryInfoKey(RegKey key, RegKeyInfo& info) override {
    DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxValueData = 0;
    const LONG rc = RegQueryInfoKeyA(AsHkey(key), nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr,
                                     &values, &maxValueName, &maxValueData, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return Fail("RegQueryInfoKeyA", rc);
    info = {subKeys, maxSubKey, values, maxValueName, maxValueData};
    return true;
  }

  bool EnumValue(RegKey key, std::uint32_t index, std::string& name, std::uint32_t& type,
                 std::string& data) override {
    RegKeyInfo info;
    if (!QueryInfoKey(key, info)) return false;
    // Sizes from the key information, grown when a value changed meanwhile.
    DWORD nameCap = info.maxValueName + 1;
    DWORD dataCap = info.maxValueData + 1;
    for (int attempt = 0; attempt < 4; ++attempt) {
      std::vector<char> nameBuf(nameCap + 1, '\0');
      std::vector<BYTE> dataBuf(dataCap + 1, 0);
      DWORD nameLen = nameCap;
      DWORD dataLen = dataCap;
      DWORD t = 0;
      const LONG rc = RegEnumValueA(AsHkey(key), index, nameBuf.data(), &nameLen, nullptr, &t, dataBuf.data(), &dataLen);
      if (rc == ERROR_MORE_DATA) {
        nameCap = nameCap * 2 + 256;
        dataCap = std::max<DWORD>(dataCap * 2, dataLen + 1);
        continue;
      }
      if (rc != ERROR_SUCCESS) return Fail("RegEnumValueA", rc);
      name.assign(nameBuf.data(), nameLen);
      type = t;
      data.assign(reinterpret_cast<const char*>(dataBuf.data()), dataLen);
      return true;
    }
    return Fail("RegEnumValueA", ERROR_MORE_DATA);
  }

  bool QueryValue(RegKey key, std::string_view name, std::uint32_t& type, std::string& data) override {
    const std::string n(name);
    for (int attempt = 0; attempt < 4; ++attempt) {
      DWORD size = 0;
      DWORD t = 0;
      LONG rc = RegQueryValueExA(AsHkey(key), n.c_str(), nullptr, &t, nullptr, &size);
      if (rc != ERROR_SUCCESS) return Fail("RegQueryValueExA", rc);
      std::vector<BYTE> buf(size + 1, 0);
      DWORD got = size;
      rc = RegQueryValueExA(AsHkey(key), n.c_str(), nullptr, &t, buf.data(), &got);
      if (rc == ERROR_MORE_DATA) continue;  // it grew between the two calls
      if (rc != ERROR_SUCCESS) return Fail("RegQueryValueExA", rc);
      type = t;
      data.assign(reinterpret_cast<const char*>(buf.data()), got);
      return true;
    }
    return Fail("RegQueryValueExA", ERROR_MORE_DATA);
  }

  bool EnumKey(RegKey key, std::uint32_t index, std::string& name) override {
    char buf[kRegMaxKeyName + 2] = {};
    const LONG rc = RegEnumKeyA(AsHkey(key), index, buf, static_cast<DWORD>(sizeof buf));
    if (rc != ERROR_SUCCESS) return Fail("RegEnumKeyA", rc);
    name.assign(buf);
    return true;
  }

  bool SetValue(RegKey key, std::string_view name, std::uint32_t type, std::string_view data) override {
    const std::string n(name);
    const LONG rc = RegSetValueExA(AsHkey(key), n.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                   static_cast<DWORD>(data.size()));
    if (rc != ERROR_SUCCESS) return Fail("RegSetValueExA", rc);
    return true;
  }

  bool DeleteValue(RegKey key, std::string_view name) override {
    const std::string n(name);
    const LONG rc = RegDeleteValueA(AsHkey(key), n.c_str());
    if (rc != ERROR_SUCCESS) return Fail("RegDeleteValueA", rc);
    return true;
  }

  bool DeleteKey(RegRoot root, std::string_view subKey) override {
    if (!ValidPath(subKey)) return Fail("RegDeleteKeyA", ERROR_INVALID_PARAMETER);
    const std::string path(subKey);
    const LONG rc = RegDeleteKeyA(RootKey(root), path.c_str());
    if (rc != ERROR_SUCCESS) return Fail("RegDeleteKeyA", rc);
    return true;
  }

  [[nodiscard]] String LastError() const override { return lastError_; }

 private:
  bool Fail(std::string_view call, LONG code) {
    lastError_ = text::FromUtf8(std::string(call) + ": " + std::to_string(code));
    return false;
  }

  String lastError_;
};

}  // namespace

std::unique_ptr<Registry> CreateRegistry() { return std::make_unique<Win32Registry>(); }

}  // namespace pd::platform
