// Windows registry: advapi32's wide calls. Names and the data of the string
// types arrive in UTF-8 and are stored as the system stores all text, in
// UTF-16; for text the ANSI code page holds, the registry ends up exactly
// as the ANSI calls would leave it, and any other text (a program in a
// folder whose name the code page cannot hold) survives as well. Other data
// passes unchanged.
#include <windows.h>

#include <algorithm>
#include <cwchar>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/text.h"
#include "platform/win32/platform.h"

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

std::wstring Wide(std::string_view utf8) {
  const String s = text::FromUtf8(utf8);
  return std::wstring(s.begin(), s.end());
}

std::string Utf8(const wchar_t* units, std::size_t n) { return text::ToUtf8(String(units, units + n)); }

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// Data as the wide calls take it: a string type's UTF-8 as UTF-16.
std::vector<BYTE> StoredData(DWORD type, std::string_view data) {
  if (!IsStringType(type)) return std::vector<BYTE>(data.begin(), data.end());
  const String s = text::FromUtf8(data);
  std::vector<BYTE> out;
  out.reserve(s.size() * 2);
  for (char16_t c : s) {
    out.push_back(static_cast<BYTE>(c & 0xFF));
    out.push_back(static_cast<BYTE>(c >> 8));
  }
  return out;
}

// And back: a string type's UTF-16 (an odd last byte dropped) as UTF-8.
std::string PortData(DWORD type, const BYTE* bytes, DWORD size) {
  if (!IsStringType(type)) return std::string(reinterpret_cast<const char*>(bytes), size);
  String s;
  s.reserve(size / 2);
  for (DWORD i = 0; i + 1 < size; i += 2) s += static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
  return text::ToUtf8(s);
}

// The system would address the root (or another key) through an empty name.
bool ValidPath(std::string_view subKey) {
  if (subKey.empty() || subKey.front() == '\\' || subKey.back() == '\\') return false;
  return subKey.find("\\\\") == std::string_view::npos && subKey.find('\0') == std::string_view::npos;
}

class Win32Registry final : public Registry {
 public:
  RegKey OpenKey(RegRoot root, std::string_view subKey, Access access) override {
    if (!ValidPath(subKey)) return Fail("RegOpenKeyExW", ERROR_INVALID_PARAMETER), 0;
    HKEY key = nullptr;
    const std::wstring path = Wide(subKey);
    const REGSAM sam = access == Access::All ? KEY_ALL_ACCESS : KEY_READ;
    const LONG rc = RegOpenKeyExW(RootKey(root), path.c_str(), 0, sam, &key);
    if (rc != ERROR_SUCCESS) return Fail("RegOpenKeyExW", rc), 0;
    return AsRegKey(key);
  }

  RegKey CreateKey(RegRoot root, std::string_view subKey) override {
    if (!ValidPath(subKey)) return Fail("RegCreateKeyW", ERROR_INVALID_PARAMETER), 0;
    HKEY key = nullptr;
    const std::wstring path = Wide(subKey);
    const LONG rc = RegCreateKeyW(RootKey(root), path.c_str(), &key);
    if (rc != ERROR_SUCCESS) return Fail("RegCreateKeyW", rc), 0;
    return AsRegKey(key);
  }

  void CloseKey(RegKey key) override {
    if (key != 0) RegCloseKey(AsHkey(key));
  }

  bool QueryInfoKey(RegKey key, RegKeyInfo& info) override {
    DWORD subKeys = 0, maxSubKey = 0, values = 0, maxValueName = 0, maxValueData = 0;
    const LONG rc = RegQueryInfoKeyW(AsHkey(key), nullptr, nullptr, nullptr, &subKeys, &maxSubKey, nullptr,
                                     &values, &maxValueName, &maxValueData, nullptr, nullptr);
    if (rc != ERROR_SUCCESS) return Fail("RegQueryInfoKeyW", rc);
    info = {subKeys, maxSubKey, values, maxValueName, maxValueData};
    return true;
  }

  bool EnumValue(RegKey key, std::uint32_t index, std::string& name, std::uint32_t& type,
                 std::string& data) override {
    RegKeyInfo info;
    if (!QueryInfoKey(key, info)) return false;
    // Sizes from the key information, grown when a value changed meanwhile.
    DWORD nameCap = info.maxValueName + 1;
    DWORD dataCap = info.maxValueData + 2;
    for (int attempt = 0; attempt < 4; ++attempt) {
      std::vector<wchar_t> nameBuf(nameCap + 1, L'\0');
      std::vector<BYTE> dataBuf(dataCap + 2, 0);
      DWORD nameLen = nameCap;
      DWORD dataLen = dataCap;
      DWORD t = 0;
      const LONG rc = RegEnumValueW(AsHkey(key), index, nameBuf.data(), &nameLen, nullptr, &t, dataBuf.data(), &dataLen);
      if (rc == ERROR_MORE_DATA) {
        nameCap = nameCap * 2 + 256;
        dataCap = std::max<DWORD>(dataCap * 2, dataLen + 2);
        continue;
      }
      if (rc != ERROR_SUCCESS) return Fail("RegEnumValueW", rc);
      name = Utf8(nameBuf.data(), nameLen);
      type = t;
      data = PortData(t, dataBuf.data(), dataLen);
      return true;
    }
    return Fail("RegEnumValueW", ERROR_MORE_DATA);
  }

  bool QueryValue(RegKey key, std::string_view name, std::uint32_t& type, std::string& data) override {
    const std::wstring n = Wide(name);
    for (int attempt = 0; attempt < 4; ++attempt) {
      DWORD size = 0;
      DWORD t = 0;
      LONG rc = RegQueryValueExW(AsHkey(key), n.c_str(), nullptr, &t, nullptr, &size);
      if (rc != ERROR_SUCCESS) return Fail("RegQueryValueExW", rc);
      std::vector<BYTE> buf(size + 2, 0);
      DWORD got = size;
      rc = RegQueryValueExW(AsHkey(key), n.c_str(), nullptr, &t, buf.data(), &got);
      if (rc == ERROR_MORE_DATA) continue;  // it grew between the two calls
      if (rc != ERROR_SUCCESS) return Fail("RegQueryValueExW", rc);
      type = t;
      data = PortData(t, buf.data(), got);
      return true;
    }
    return Fail("RegQueryValueExW", ERROR_MORE_DATA);
  }

  bool EnumKey(RegKey key, std::uint32_t index, std::string& name) override {
    wchar_t buf[kRegMaxKeyName + 2] = {};
    const LONG rc = RegEnumKeyW(AsHkey(key), index, buf, static_cast<DWORD>(kRegMaxKeyName + 2));
    if (rc != ERROR_SUCCESS) return Fail("RegEnumKeyW", rc);
    name = Utf8(buf, wcsnlen(buf, kRegMaxKeyName + 2));
    return true;
  }

  bool SetValue(RegKey key, std::string_view name, std::uint32_t type, std::string_view data) override {
    const std::wstring n = Wide(name);
    const std::vector<BYTE> stored = StoredData(type, data);
    const LONG rc = RegSetValueExW(AsHkey(key), n.c_str(), 0, type, stored.data(), static_cast<DWORD>(stored.size()));
    if (rc != ERROR_SUCCESS) return Fail("RegSetValueExW", rc);
    return true;
  }

  bool DeleteValue(RegKey key, std::string_view name) override {
    const std::wstring n = Wide(name);
    const LONG rc = RegDeleteValueW(AsHkey(key), n.c_str());
    if (rc != ERROR_SUCCESS) return Fail("RegDeleteValueW", rc);
    return true;
  }

  bool DeleteKey(RegRoot root, std::string_view subKey) override {
    if (!ValidPath(subKey)) return Fail("RegDeleteKeyW", ERROR_INVALID_PARAMETER);
    const std::wstring path = Wide(subKey);
    const LONG rc = RegDeleteKeyW(RootKey(root), path.c_str());
    if (rc != ERROR_SUCCESS) return Fail("RegDeleteKeyW", rc);
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

}  // namespace pd::platform

namespace pd::win32 {

std::unique_ptr<platform::Registry> CreateWin32Registry() { return std::make_unique<platform::Win32Registry>(); }

std::unique_ptr<platform::Registry> Win32Platform::CreateRegistry() { return CreateWin32Registry(); }

}  // namespace pd::win32
