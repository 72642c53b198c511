#include "registry/clsReg.h"

#include <array>

#include "platform/text.h"

namespace pd {
namespace {

using platform::RegKey;
using platform::Registry;

constexpr std::array<std::pair<std::u16string_view, platform::RegRoot>, 4> kRoots = {{
    {u"HKEY_CLASSES_ROOT", platform::RegRoot::ClassesRoot},
    {u"HKEY_CURRENT_USER", platform::RegRoot::CurrentUser},
    {u"HKEY_LOCAL_MACHINE", platform::RegRoot::LocalMachine},
    {u"HKEY_USERS", platform::RegRoot::Users},
}};

// The deepest key tree the system allows.
constexpr int kMaxDepth = 512;

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int HexValue(char16_t c) {
  if (IsDigit(c)) return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

std::string DwordBytes(std::int32_t n) {
  const auto u = static_cast<std::uint32_t>(n);
  std::string out;
  for (int i = 0; i < 4; ++i) out += static_cast<char>((u >> (8 * i)) & 0xFF);
  return out;
}

// Opens a key and closes it when the scope ends.
class OpenedKey {
 public:
  OpenedKey(Registry& reg, RegKey key) : reg_(reg), key_(key) {}
  ~OpenedKey() {
    if (key_ != 0) reg_.CloseKey(key_);
  }
  OpenedKey(const OpenedKey&) = delete;
  OpenedKey& operator=(const OpenedKey&) = delete;
  [[nodiscard]] RegKey get() const { return key_; }
  explicit operator bool() const { return key_ != 0; }

 private:
  Registry& reg_;
  RegKey key_;
};

// A string type's data without its terminating NUL.
bool IsStringType(std::uint32_t type) {
  return type == platform::kRegSz || type == platform::kRegExpandSz || type == platform::kRegMultiSz;
}

}  // namespace

// ---- Paths and names ------------------------------------------------------------

bool clsReg::ParsePath(StringView keyPath, KeyPath& out) {
  const std::size_t slash = keyPath.find(u'\\');
  if (slash == StringView::npos) return false;
  const StringView rootName = keyPath.substr(0, slash);
  StringView sub = keyPath.substr(slash + 1);
  bool known = false;
  for (const auto& [name, root] : kRoots) {
    if (rootName == name) {
      out.root = root;
      known = true;
    }
  }
  // One backslash at the end still names the key; an empty component does not.
  if (!sub.empty() && sub.back() == u'\\') sub.remove_suffix(1);
  if (!known || sub.empty() || sub.front() == u'\\' || sub.back() == u'\\') return false;
  if (sub.find(u"\\\\") != StringView::npos || sub.find(u'\0') != StringView::npos) return false;
  out.subKey = text::ToUtf8(sub);
  return true;
}

std::string clsReg::NameBytes(StringView name) { return text::ToUtf8(name); }

// ---- Conversions -----------------------------------------------------------------

int clsReg::TypeCode(std::uint32_t registryType) {
  switch (registryType) {
    case platform::kRegSz: return kTypeString;
    case platform::kRegExpandSz: return kTypeExpandString;
    case platform::kRegBinary: return kTypeBinary;
    case platform::kRegDword: return kTypeDword;
    case platform::kRegMultiSz: return kTypeMultiString;
    default: return kTypeOther;
  }
}

String clsReg::DataToText(std::uint32_t registryType, std::string_view data, const text::Codec& codec) {
  if (data.empty()) return {};
  switch (registryType) {
    case platform::kRegDword: {
      std::uint32_t u = 0;
      for (std::size_t i = 0; i < 4 && i < data.size(); ++i) {
        u |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[i])) << (8 * i);
      }
      return text::FromAscii(std::to_string(static_cast<std::int32_t>(u)));
    }
    case platform::kRegSz:
    case platform::kRegExpandSz:
    case platform::kRegMultiSz:
      // Everything but the terminating NUL: an inner NUL stays, and a
      // multi-string keeps its parts NUL-separated with one NUL at the end.
      if (data.back() == '\0') data.remove_suffix(1);
      return text::FromUtf8(data);
    default: return codec.FromAnsi(data);
  }
}

std::int32_t clsReg::ParseDword(StringView text) {
  while (!text.empty() && text.front() == u' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == u' ') text.remove_suffix(1);
  if (text.size() >= 2 && text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
    const StringView digits = text.substr(2);
    if (digits.empty() || digits.size() > 8) return 0;
    std::uint32_t u = 0;
    for (char16_t c : digits) {
      const int d = HexValue(c);
      if (d < 0) return 0;
      u = (u << 4) | static_cast<std::uint32_t>(d);
    }
    return static_cast<std::int32_t>(u);
  }
  if (text.empty() || text.size() >= 10) return 0;
  std::size_t i = 0;
  bool negative = false;
  if (text[0] == u'+' || text[0] == u'-') {
    negative = text[0] == u'-';
    ++i;
  }
  std::int64_t whole = 0;
  std::size_t digits = 0;
  for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) whole = whole * 10 + (text[i] - u'0');
  // Rounding to the nearest integer, halves to even: only the fraction's
  // comparison with one half matters.
  int half = -1;  // -1 below a half, 0 exactly a half, 1 above
  if (i < text.size() && text[i] == u'.') {
    ++i;
    bool first = true;
    for (; i < text.size() && IsDigit(text[i]); ++i, ++digits) {
      const int d = text[i] - u'0';
      if (first) {
        half = d > 5 ? 1 : (d == 5 ? 0 : -1);
        first = false;
      } else if (half == 0 && d != 0) {
        half = 1;
      }
    }
  }
  if (i != text.size() || digits == 0) return 0;
  if (half > 0 || (half == 0 && (whole & 1) == 1)) ++whole;
  return static_cast<std::int32_t>(negative ? -whole : whole);
}

// ---- Reading -------------------------------------------------------------------

// Walking the key's values instead would copy all their data, and on Linux
// re-read the autostart folder for each entry of Run.
bool clsReg::QueryByName(StringView keyPath, StringView valueName, std::uint32_t& type, std::string& data) {
  KeyPath path;
  if (!ParsePath(keyPath, path) || valueName.find(u'\0') != StringView::npos) return false;
  OpenedKey key(reg_, reg_.OpenKey(path.root, path.subKey, Registry::Access::Read));
  return key && reg_.QueryValue(key.get(), NameBytes(valueName), type, data);
}

std::string clsReg::Read_Buf(StringView keyPath, StringView valueName, int& valueType) {
  std::uint32_t type = 0;
  std::string data;
  if (!QueryByName(keyPath, valueName, type, data)) return {};
  if (IsStringType(type) && !data.empty() && data.back() == '\0') data.pop_back();
  if (data.empty()) return {};
  valueType = TypeCode(type);
  // A string's bytes as the platform's files hold text.
  return IsStringType(type) ? codec_.ToFileText(text::FromUtf8(data)) : data;
}

String clsReg::Read(StringView keyPath, StringView valueName) {
  std::uint32_t type = 0;
  std::string data;
  if (!QueryByName(keyPath, valueName, type, data)) return {};
  return DataToText(type, data, codec_);
}

// ---- Writing ---------------------------------------------------------------------

void clsReg::WriteValue(StringView keyPath, StringView valueName, StringView valueText, int valueType) {
  if (valueType < kTypeString || valueType > kTypeMultiString) return;
  KeyPath path;
  if (!ParsePath(keyPath, path) || valueName.find(u'\0') != StringView::npos) return;
  std::uint32_t type = platform::kRegSz;
  std::string data;
  switch (valueType) {
    case kTypeDword:
      type = platform::kRegDword;
      data = DwordBytes(ParseDword(valueText));
      break;
    case kTypeMultiString: {
      type = platform::kRegMultiSz;
      std::size_t start = 0;
      while (true) {
        const std::size_t end = valueText.find(u"\r\n", start);
        data += text::ToUtf8(valueText.substr(start, end == StringView::npos ? end : end - start));
        data += '\0';
        if (end == StringView::npos) break;
        start = end + 2;
      }
      data += '\0';
      break;
    }
    case kTypeBinary:
      type = platform::kRegBinary;
      data = codec_.ToAnsi(valueText);
      break;
    default:
      type = valueType == kTypeExpandString ? platform::kRegExpandSz : platform::kRegSz;
      data = text::ToUtf8(valueText);
      data += '\0';
      break;
  }
  OpenedKey key(reg_, reg_.CreateKey(path.root, path.subKey));
  if (key) reg_.SetValue(key.get(), NameBytes(valueName), type, data);
}

void clsReg::CreateKey(StringView keyPath) {
  KeyPath path;
  if (!ParsePath(keyPath, path)) return;
  OpenedKey key(reg_, reg_.CreateKey(path.root, path.subKey));
}

void clsReg::DeleteValue(StringView keyPath, StringView valueName) {
  KeyPath path;
  if (!ParsePath(keyPath, path) || valueName.find(u'\0') != StringView::npos) return;
  OpenedKey key(reg_, reg_.CreateKey(path.root, path.subKey));
  if (key) reg_.DeleteValue(key.get(), NameBytes(valueName));
}

void clsReg::DeleteKey(StringView keyPath) {
  KeyPath path;
  if (!ParsePath(keyPath, path)) return;
  DeleteTree(path.root, path.subKey, 0);
}

void clsReg::DeleteTree(platform::RegRoot root, const std::string& subKey, int depth) {
  if (depth > kMaxDepth) return;
  {
    OpenedKey key(reg_, reg_.OpenKey(root, subKey, Registry::Access::All));
    if (!key) return;
    platform::RegKeyInfo info;
    if (!reg_.QueryInfoKey(key.get(), info)) return;
    // Delete subkey 0 until none is left; a subkey that stays (access
    // denied) is stepped over, so the loop always ends.
    std::uint32_t remaining = info.subKeys;
    std::uint32_t skip = 0;
    std::string name;
    while (skip < remaining && reg_.EnumKey(key.get(), skip, name)) {
      DeleteTree(root, subKey + '\\' + name, depth + 1);
      platform::RegKeyInfo now;
      if (!reg_.QueryInfoKey(key.get(), now)) break;
      if (now.subKeys >= remaining) ++skip;
      remaining = now.subKeys;
    }
  }
  reg_.DeleteKey(root, subKey);
}

// ---- Enumeration -------------------------------------------------------------------

void clsReg::EnumStart(StringView keyPath) {
  KeyPath path;
  if (!ParsePath(keyPath, path)) return;
  EnumEnd();
  EnumKey_ = reg_.OpenKey(path.root, path.subKey, Registry::Access::Read);
  platform::RegKeyInfo info;
  if (EnumKey_ == 0 || !reg_.QueryInfoKey(EnumKey_, info)) return;
  EnumSubKeyCount_ = static_cast<int>(info.subKeys);
  EnumValueCount_ = static_cast<int>(info.values);
  EnumMaxSubKeyName_ = static_cast<int>(info.maxSubKeyName) + 1;
  EnumMaxValueName_ = static_cast<int>(info.maxValueName) + 1;
  EnumMaxValueData_ = static_cast<int>(info.maxValueData) + 1;
}

void clsReg::EnumEnd() {
  if (EnumKey_ != 0) reg_.CloseKey(EnumKey_);
  EnumKey_ = 0;
  EnumSubKeyCount_ = 0;
  EnumValueCount_ = 0;
  EnumMaxSubKeyName_ = 0;
  EnumMaxValueName_ = 0;
  EnumMaxValueData_ = 0;
}

String clsReg::Enum_GetKey(int index) {
  std::string name;
  if (EnumKey_ == 0 || index < 0 || !reg_.EnumKey(EnumKey_, static_cast<std::uint32_t>(index), name)) return {};
  return text::FromUtf8(name);
}

void clsReg::Enum_GetValue(int index, String& valueName, String& valueText, int& valueType) {
  valueName.clear();
  valueText.clear();
  std::string name;
  std::uint32_t type = 0;
  std::string data;
  if (EnumKey_ == 0 || index < 0 || !reg_.EnumValue(EnumKey_, static_cast<std::uint32_t>(index), name, type, data)) {
    return;
  }
  valueName = text::FromUtf8(name);
  valueText = DataToText(type, data, codec_);
  valueType = TypeCode(type);
}

}  // namespace pd
