#include "platform/registry_hive.h"

#include <algorithm>
#include <array>
#include <cstdio>

#include "platform/text.h"

namespace pd::platform {
namespace {

constexpr std::array<std::string_view, 4> kRootNames = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                        "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

// Upper-casing for the sort order, the inverse of text::LowerChar.
char16_t UpperFold(char16_t c) {
  static const auto table = [] {
    std::array<char16_t, 0x530> t{};
    for (std::size_t i = 0; i < t.size(); ++i) t[i] = static_cast<char16_t>(i);
    for (std::size_t i = 0; i < t.size(); ++i) {
      const char16_t lower = text::LowerChar(static_cast<char16_t>(i));
      if (lower != i && lower < t.size() && t[lower] == lower) t[lower] = static_cast<char16_t>(i);
    }
    return t;
  }();
  return c < table.size() ? table[c] : c;
}

// ---- Text form of the hive --------------------------------------------------
// Names and string data are UTF-8 and the file shows them as they are; %XX
// stands for control bytes, '%', '"' and every byte that is not part of a
// whole UTF-8 sequence (binary data), so that every byte survives and every
// record stays on one line.
//
// Files of the first version held names and data in Windows-1251, shown as
// UTF-8 with the one unassigned byte 0x98 escaped; they are read into the
// same values in UTF-8 and written back in the present form.

constexpr std::string_view kLegacyHeader = "ProcessDrovak registry 1";

bool NeedsEscape(unsigned char b) { return b < 0x20 || b == 0x7F || b == '%' || b == '"'; }

std::string Escape(std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t i = 0; i < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    std::size_t whole = 1;
    if (b >= 0x80) {
      // The longest prefix of the next four bytes that is one character.
      whole = 0;
      for (std::size_t n = 2; n <= 4 && whole == 0 && i + n <= bytes.size(); ++n) {
        const std::string_view seq = bytes.substr(i, n);
        if (text::IsUtf8(seq)) whole = n;
      }
    }
    if (whole > 1) {
      out += bytes.substr(i, whole);
      i += whole;
    } else if (NeedsEscape(b) || b >= 0x80) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
      ++i;
    } else {
      out += static_cast<char>(b);
      ++i;
    }
  }
  return out;
}

int HexDigit(char16_t c) {
  if (c >= u'0' && c <= u'9') return c - u'0';
  if (c >= u'A' && c <= u'F') return c - u'A' + 10;
  if (c >= u'a' && c <= u'f') return c - u'a' + 10;
  return -1;
}

// The bytes a field of the file stands for. In a legacy file each character
// stands for its Windows-1251 byte.
bool Unescape(std::string_view field, bool legacy, std::string& bytes) {
  bytes.clear();
  std::string run;  // characters of a legacy file not yet turned into bytes
  auto flush = [&] {
    if (legacy) bytes += text::ToCp1251(text::FromUtf8(run));
    run.clear();
  };
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (field[i] == '%') {
      if (i + 2 >= field.size()) return false;
      const int hi = HexDigit(static_cast<unsigned char>(field[i + 1]));
      const int lo = HexDigit(static_cast<unsigned char>(field[i + 2]));
      if (hi < 0 || lo < 0) return false;
      flush();
      bytes += static_cast<char>(hi * 16 + lo);
      i += 2;
    } else if (field[i] == '"') {
      return false;
    } else if (legacy) {
      run += field[i];
    } else {
      bytes += field[i];
    }
  }
  flush();
  return true;
}

// A name or string of a legacy file, from Windows-1251 to UTF-8.
void Recode(std::string& bytes) { bytes = text::ToUtf8(text::FromCp1251(bytes)); }

bool IsStringType(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

bool IsCleanString(std::string_view data) {
  return !data.empty() && data.back() == '\0' && data.find('\0') == data.size() - 1;
}

void WriteKey(std::string& out, const std::string& path, const RegistryHive::Key& key) {
  out += '[';
  out += path;
  out += "]\n";
  for (const auto& v : key.values) {
    out += '"';
    out += Escape(v.name);
    out += "\"=";
    if ((v.type == kRegSz || v.type == kRegExpandSz) && IsCleanString(v.data)) {
      out += v.type == kRegSz ? "sz:\"" : "expand:\"";
      out += Escape(std::string_view(v.data).substr(0, v.data.size() - 1));
      out += '"';
    } else if (v.type == kRegDword && v.data.size() == 4) {
      std::uint32_t n = 0;
      for (int i = 3; i >= 0; --i) n = (n << 8) | static_cast<unsigned char>(v.data[static_cast<std::size_t>(i)]);
      char buf[16];
      std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(n));
      out += buf;
    } else {
      out += "type(" + std::to_string(v.type) + "):\"";
      out += Escape(v.data);
      out += '"';
    }
    out += '\n';
  }
  for (const auto& sub : key.subKeys) WriteKey(out, path + '\\' + Escape(sub.name), sub);
}

bool ParseUnsigned(std::string_view s, int base, std::uint32_t& n) {
  if (s.empty() || s.size() > (base == 16 ? 8U : 10U)) return false;
  std::uint64_t v = 0;
  for (char c : s) {
    const int d = HexDigit(static_cast<char16_t>(static_cast<unsigned char>(c)));
    if (d < 0 || d >= base) return false;
    v = v * static_cast<unsigned>(base) + static_cast<unsigned>(d);
  }
  if (v > 0xFFFFFFFFULL) return false;
  n = static_cast<std::uint32_t>(v);
  return true;
}

// One value line: "name"=sz:"text" | expand:"text" | dword:hhhhhhhh | type(N):"bytes"
bool ParseValue(std::string_view line, bool legacy, RegistryHive::Value& v) {
  if (line.size() < 3 || line[0] != '"') return false;
  const std::size_t close = line.find('"', 1);
  if (close == std::string_view::npos || close + 1 >= line.size() || line[close + 1] != '=') return false;
  if (!Unescape(line.substr(1, close - 1), legacy, v.name)) return false;
  if (legacy) Recode(v.name);
  std::string_view rest = line.substr(close + 2);
  const std::size_t colon = rest.find(':');
  if (colon == std::string_view::npos) return false;
  const std::string_view kind = rest.substr(0, colon);
  std::string_view body = rest.substr(colon + 1);
  if (kind == "dword") {
    std::uint32_t n = 0;
    if (!ParseUnsigned(body, 16, n)) return false;
    v.type = kRegDword;
    v.data.clear();
    for (int i = 0; i < 4; ++i) v.data += static_cast<char>((n >> (8 * i)) & 0xFF);
    return true;
  }
  if (body.size() < 2 || body.front() != '"' || body.back() != '"') return false;
  if (!Unescape(body.substr(1, body.size() - 2), legacy, v.data)) return false;
  if (kind == "sz" || kind == "expand") {
    v.type = kind == "sz" ? kRegSz : kRegExpandSz;
    v.data += '\0';
  } else if (kind.size() > 6 && kind.substr(0, 5) == "type(" && kind.back() == ')') {
    if (!ParseUnsigned(kind.substr(5, kind.size() - 6), 10, v.type)) return false;
  } else {
    return false;
  }
  if (legacy && IsStringType(v.type)) Recode(v.data);
  return true;
}

}  // namespace

// ---- Keys --------------------------------------------------------------------

RegistryHive::Value* RegistryHive::Key::FindValue(std::string_view valueName) {
  for (auto& v : values) {
    if (SameName(v.name, valueName)) return &v;
  }
  return nullptr;
}

RegistryHive::Key* RegistryHive::Key::FindSubKey(std::string_view keyName) {
  for (auto& k : subKeys) {
    if (SameName(k.name, keyName)) return &k;
  }
  return nullptr;
}

bool RegistryHive::SplitPath(std::string_view subKey, Path& path) {
  path.clear();
  if (subKey.empty()) return false;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = subKey.find('\\', start);
    const std::string_view name = subKey.substr(start, end == std::string_view::npos ? end : end - start);
    if (name.empty() || (name.size() > kRegMaxKeyName && text::FromUtf8(name).size() > kRegMaxKeyName)) return false;
    path.emplace_back(name);
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

// Names that are not UTF-8 (only a caller of the port can make them) match
// byte for byte: decoded, two different ones could read alike.
bool RegistryHive::SameName(std::string_view a, std::string_view b) {
  if (a == b) return true;
  return text::IsUtf8(a) && text::IsUtf8(b) && text::EqualsIgnoreCase(text::FromUtf8(a), text::FromUtf8(b));
}

bool RegistryHive::SortsBefore(std::string_view a, std::string_view b) {
  const String wa = text::FromUtf8OrCp1251(a);
  const String wb = text::FromUtf8OrCp1251(b);
  return std::lexicographical_compare(wa.begin(), wa.end(), wb.begin(), wb.end(),
                                      [](char16_t x, char16_t y) { return UpperFold(x) < UpperFold(y); });
}

std::string_view RegistryHive::RootName(RegRoot root) { return kRootNames[static_cast<std::size_t>(root)]; }

RegistryHive::Key* RegistryHive::Find(RegRoot root, const Path& path) {
  Key* key = &Root(root);
  for (const auto& name : path) {
    key = key->FindSubKey(name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

RegistryHive::Key* RegistryHive::Create(RegRoot root, const Path& path) {
  Key* key = &Root(root);
  for (const auto& name : path) {
    Key* sub = key->FindSubKey(name);
    if (sub == nullptr) {
      auto at = std::find_if(key->subKeys.begin(), key->subKeys.end(),
                             [&](const Key& k) { return SortsBefore(name, k.name); });
      at = key->subKeys.insert(at, Key{name, {}, {}});
      sub = &*at;
    }
    key = sub;
  }
  return key;
}

RegistryHive::DeleteResult RegistryHive::Delete(RegRoot root, const Path& path) {
  if (path.empty()) return DeleteResult::NotFound;
  Key* parent = Find(root, Path(path.begin(), path.end() - 1));
  if (parent == nullptr) return DeleteResult::NotFound;
  auto it = std::find_if(parent->subKeys.begin(), parent->subKeys.end(),
                         [&](const Key& k) { return SameName(k.name, path.back()); });
  if (it == parent->subKeys.end()) return DeleteResult::NotFound;
  if (!it->subKeys.empty()) return DeleteResult::HasSubKeys;
  parent->subKeys.erase(it);
  return DeleteResult::Deleted;
}

// ---- Text form --------------------------------------------------------------

std::string RegistryHive::Serialize() const {
  std::string out(kFileHeader);
  out += '\n';
  for (std::size_t r = 0; r < kRootNames.size(); ++r) {
    for (const auto& sub : roots_[r].subKeys) WriteKey(out, std::string(kRootNames[r]) + '\\' + Escape(sub.name), sub);
  }
  return out;
}

bool RegistryHive::Parse(std::string_view text) {
  *this = RegistryHive();
  bool clean = true;
  bool headerSeen = false;
  bool legacy = false;
  Key* current = nullptr;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (!headerSeen) {
      legacy = line == kLegacyHeader;
      if (line != kFileHeader && !legacy) return false;  // not our file: load nothing
      headerSeen = true;
      continue;
    }
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line[0] == '[') {
      current = nullptr;
      const std::size_t slash = line.find('\\');
      if (line.back() != ']' || slash == std::string_view::npos) {
        clean = false;
        continue;
      }
      const std::string_view rootName = line.substr(1, slash - 1);
      const auto r = std::find(kRootNames.begin(), kRootNames.end(), rootName);
      std::string sub;
      Path path;
      if (r == kRootNames.end() || !Unescape(line.substr(slash + 1, line.size() - slash - 2), legacy, sub)) {
        clean = false;
        continue;
      }
      if (legacy) Recode(sub);
      if (!SplitPath(sub, path)) {
        clean = false;
        continue;
      }
      current = Create(static_cast<RegRoot>(r - kRootNames.begin()), path);
      continue;
    }
    Value v;
    if (current == nullptr || !ParseValue(line, legacy, v) || v.name.size() > kRegMaxValueName ||
        v.name.find('\0') != std::string::npos) {
      clean = false;
      continue;
    }
    if (Value* old = current->FindValue(v.name)) {
      *old = std::move(v);
    } else {
      current->values.push_back(std::move(v));
    }
  }
  return clean && headerSeen;
}

// ---- The port over the hive ------------------------------------------------

bool HiveRegistry::Fail(std::string_view what) {
  lastError_ = text::FromUtf8(what);
  return false;
}

RegKey HiveRegistry::Insert(RegRoot root, RegistryHive::Path path, bool writable) {
  const RegKey key = nextHandle_++;
  handles_[key] = Handle{root, std::move(path), writable};
  return key;
}

const HiveRegistry::Handle* HiveRegistry::Resolve(RegKey key) {
  const auto it = handles_.find(key);
  if (it == handles_.end()) {
    Fail("invalid key handle");
    return nullptr;
  }
  return &it->second;
}

RegistryHive::Key* HiveRegistry::KeyOf(RegKey key, const Handle** handle) {
  const Handle* h = Resolve(key);
  if (h == nullptr) return nullptr;
  if (handle != nullptr) *handle = h;
  RegistryHive::Key* k = hive_.Find(h->root, h->path);
  if (k == nullptr) Fail("the key was deleted");
  return k;
}

RegKey HiveRegistry::OpenKey(RegRoot root, std::string_view subKey, Access access) {
  RegistryHive::Path path;
  if (!RegistryHive::SplitPath(subKey, path)) return Fail("OpenKey: invalid key path"), 0;
  if (!Refresh()) return 0;
  if (hive_.Find(root, path) == nullptr) return Fail("OpenKey: no such key"), 0;
  const bool writable = access == Access::All;
  if (writable && !MayWrite(root, path)) return Fail("OpenKey: access denied"), 0;
  return Insert(root, std::move(path), writable);
}

RegKey HiveRegistry::CreateKey(RegRoot root, std::string_view subKey) {
  RegistryHive::Path path;
  if (!RegistryHive::SplitPath(subKey, path)) return Fail("CreateKey: invalid key path"), 0;
  if (!Refresh()) return 0;
  if (!MayWrite(root, path)) return Fail("CreateKey: access denied"), 0;
  if (hive_.Find(root, path) == nullptr) {
    // Parents that may not be written cannot receive a new subkey.
    for (std::size_t n = path.size(); n > 0; --n) {
      RegistryHive::Path parent(path.begin(), path.begin() + static_cast<std::ptrdiff_t>(n - 1));
      if (parent.empty() || hive_.Find(root, parent) != nullptr) {
        if (!parent.empty() && !MayWrite(root, parent)) return Fail("CreateKey: access denied"), 0;
        break;
      }
    }
    if (!Change([&] { return hive_.Create(root, path) != nullptr; })) {
      return 0;
    }
  }
  return Insert(root, std::move(path), true);
}

void HiveRegistry::CloseKey(RegKey key) { handles_.erase(key); }

bool HiveRegistry::QueryInfoKey(RegKey key, RegKeyInfo& info) {
  const RegistryHive::Key* k = KeyOf(key);
  if (k == nullptr) return false;
  RegKeyInfo out;
  out.subKeys = static_cast<std::uint32_t>(k->subKeys.size());
  out.values = static_cast<std::uint32_t>(k->values.size());
  auto units = [](const std::string& name) { return static_cast<std::uint32_t>(text::FromUtf8(name).size()); };
  for (const auto& s : k->subKeys) out.maxSubKeyName = std::max(out.maxSubKeyName, units(s.name));
  for (const auto& v : k->values) {
    out.maxValueName = std::max(out.maxValueName, units(v.name));
    out.maxValueData = std::max(out.maxValueData, static_cast<std::uint32_t>(v.data.size()));
  }
  info = out;
  return true;
}

bool HiveRegistry::EnumValue(RegKey key, std::uint32_t index, std::string& name, std::uint32_t& type,
                             std::string& data) {
  const RegistryHive::Key* k = KeyOf(key);
  if (k == nullptr) return false;
  if (index >= k->values.size()) return Fail("EnumValue: no more items");
  const auto& v = k->values[index];
  name = v.name;
  type = v.type;
  data = v.data;
  return true;
}

bool HiveRegistry::QueryValue(RegKey key, std::string_view name, std::uint32_t& type, std::string& data) {
  RegistryHive::Key* k = KeyOf(key);
  if (k == nullptr) return false;
  const RegistryHive::Value* v = k->FindValue(name);
  if (v == nullptr) return Fail("QueryValue: no such value");
  type = v->type;
  data = v->data;
  return true;
}

bool HiveRegistry::EnumKey(RegKey key, std::uint32_t index, std::string& name) {
  const RegistryHive::Key* k = KeyOf(key);
  if (k == nullptr) return false;
  if (index >= k->subKeys.size()) return Fail("EnumKey: no more items");
  name = k->subKeys[index].name;
  return true;
}

bool HiveRegistry::SetValue(RegKey key, std::string_view name, std::uint32_t type, std::string_view data) {
  const Handle* h = nullptr;
  if (KeyOf(key, &h) == nullptr) return false;
  if (!h->writable) return Fail("SetValue: access denied");
  if (name.size() > kRegMaxValueName) return Fail("SetValue: value name too long");
  const RegRoot root = h->root;
  const RegistryHive::Path path = h->path;
  return Change([&] {
    RegistryHive::Key* k = hive_.Find(root, path);
    if (RegistryHive::Value* v = k->FindValue(name)) {
      v->type = type;
      v->data.assign(data);
    } else {
      k->values.push_back({std::string(name), type, std::string(data)});
    }
    return true;
  });
}

bool HiveRegistry::DeleteValue(RegKey key, std::string_view name) {
  const Handle* h = nullptr;
  RegistryHive::Key* k = KeyOf(key, &h);
  if (k == nullptr) return false;
  if (!h->writable) return Fail("DeleteValue: access denied");
  if (k->FindValue(name) == nullptr) return Fail("DeleteValue: no such value");
  const RegRoot root = h->root;
  const RegistryHive::Path path = h->path;
  return Change([&] {
    auto& values = hive_.Find(root, path)->values;
    values.erase(std::find_if(values.begin(), values.end(),
                              [&](const RegistryHive::Value& v) { return RegistryHive::SameName(v.name, name); }));
    return true;
  });
}

bool HiveRegistry::DeleteKey(RegRoot root, std::string_view subKey) {
  RegistryHive::Path path;
  if (!RegistryHive::SplitPath(subKey, path)) return Fail("DeleteKey: invalid key path");
  if (!Refresh()) return false;
  if (hive_.Find(root, path) == nullptr) return Fail("DeleteKey: no such key");
  if (!MayWrite(root, path)) return Fail("DeleteKey: access denied");
  return Change([&] {
    switch (hive_.Delete(root, path)) {
      case RegistryHive::DeleteResult::Deleted: return true;
      case RegistryHive::DeleteResult::HasSubKeys: return Fail("DeleteKey: the key has subkeys");
      case RegistryHive::DeleteResult::NotFound: break;
    }
    return Fail("DeleteKey: no such key");
  });
}

}  // namespace pd::platform
