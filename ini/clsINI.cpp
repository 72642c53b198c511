// clsINI: lookups, edits and enumeration. The parser and writer are in
// INIText.cpp.
#include "ini/clsINI.h"

#include <stdexcept>
#include <string>
#include <utility>

#include "platform/text.h"

namespace pd::ini {
namespace {

bool IsBlank(const INIKey& key) { return key.Name.empty() && key.Text.empty(); }

bool IsSpaces(StringView s) { return s.find_first_not_of(u' ') == StringView::npos; }

bool HasCrLf(StringView s) { return s.find(u"\r\n") != StringView::npos; }

// A name as lookups compare it: spaces (not tabs) trimmed from both ends,
// lower-cased.
String Fold(StringView name) {
  const auto first = name.find_first_not_of(u' ');
  if (first == StringView::npos) return {};
  const auto last = name.find_last_not_of(u' ');
  return text::LowerCase(name.substr(first, last - first + 1));
}

// The first entry whose folded name is the wanted one, or -1; builds the
// index on first use. nameOf gives nullptr for entries never found.
template <typename Entry, typename NameOf>
std::int32_t Lookup(const std::vector<Entry>& entries, NameOf nameOf, auto& index, const String& folded) {
  if (!index.built) {
    index.first.clear();
    for (std::size_t i = 0; i < entries.size(); ++i) {
      const String* name = nameOf(entries[i]);
      if (name != nullptr) index.first.emplace(Fold(*name), static_cast<std::int32_t>(i));
    }
    index.built = true;
  }
  const auto it = index.first.find(folded);
  return it == index.first.end() ? -1 : it->second;
}

}  // namespace

// ---- Names -----------------------------------------------------------------

bool clsINI::CanStoreKey(StringView name, StringView value) {
  if (name.empty() || name.find(u'=') != StringView::npos || HasCrLf(name) || HasCrLf(value)) return false;
  if (name[0] != u'[') return true;
  // The written line must not read as a header: no "]" from its third
  // character on.
  return name.find(u']', 2) == StringView::npos && value.find(u']') == StringView::npos;
}

bool clsINI::CanStoreDataKey(StringView name, StringView value) {
  const auto lineEnd = [](StringView s) { return s.find_first_of(u"\r\n") != StringView::npos; };
  return !lineEnd(name) && !lineEnd(value) && CanStoreKey(name, value);
}

bool clsINI::CanStoreSection(StringView name) {
  return !IsSpaces(name) && !HasCrLf(name) && name.find(u']', 1) == StringView::npos;
}

// ---- Private lookups and insertions --------------------------------------------

std::int32_t clsINI::FindSection(StringView name) const {
  // A section named by spaces only ("[  ]") is never found: a parsed text
  // always has the unnamed section 0 in front of it, so after a save and a
  // reload the name would find that one instead.
  return Lookup(
      sections_,
      [](const INISection& s) { return !s.Name.empty() && IsSpaces(s.Name) ? nullptr : &s.Name; },
      sectionIndex_, Fold(name));
}

std::int32_t clsINI::FindKey(std::int32_t section, StringView name) const {
  const auto& keys = sections_[static_cast<std::size_t>(section)].Keys;
  // Only key lines are found; blank lines and comments have no name.
  return Lookup(keys, [](const INIKey& k) { return k.Name.empty() ? nullptr : &k.Name; },
                keyIndex_[static_cast<std::size_t>(section)], Fold(name));
}

std::int32_t clsINI::AddSection(StringView name) {
  if (IsSpaces(name)) {
    // "" or spaces: the unnamed section, which only section 0 can be (an
    // unnamed section below the others would be dropped by the next save).
    sections_.insert(sections_.begin(), INISection{});
    keyIndex_.insert(keyIndex_.begin(), NameIndex{});
    sectionIndex_ = NameIndex{};
    return 0;
  }
  if (!sections_.empty()) {
    // Keep one blank line between the last section and the new header.
    auto& keys = sections_.back().Keys;
    if (keys.empty() || !IsBlank(keys.back())) keys.emplace_back();
  }
  INISection& added = sections_.emplace_back();
  added.Name.assign(name);
  keyIndex_.emplace_back();
  const auto index = SectionCount() - 1;
  if (sectionIndex_.built) sectionIndex_.first.emplace(Fold(name), index);
  return index;
}

std::int32_t clsINI::AddKey(std::int32_t section, StringView name) {
  auto& keys = sections_[static_cast<std::size_t>(section)].Keys;
  INIKey key;
  key.Name.assign(name);
  std::int32_t index = 0;
  if (keys.empty()) {
    // The new key, then a blank line.
    keys.push_back(std::move(key));
    keys.emplace_back();
  } else if (IsBlank(keys.back())) {
    // Before the section's trailing blank line.
    index = static_cast<std::int32_t>(keys.size()) - 1;
    keys.insert(keys.end() - 1, std::move(key));
  } else {
    index = static_cast<std::int32_t>(keys.size());
    keys.push_back(std::move(key));
  }
  // Only the blank line moved, and blank lines are not in the index.
  auto& keyIndex = keyIndex_[static_cast<std::size_t>(section)];
  if (keyIndex.built) keyIndex.first.emplace(Fold(name), index);
  return index;
}

void clsINI::ResetIndexes() {
  sectionIndex_ = NameIndex{};
  keyIndex_.assign(sections_.size(), NameIndex{});
}

void clsINI::RequireIndex(std::int32_t index, const char* what) {
  if (index < 0) throw std::out_of_range(std::string("clsINI: negative ") + what + " index " + std::to_string(index));
}

// ---- Public operations ------------------------------------------------------------

String clsINI::GetKeyValue(StringView section, StringView key) const {
  if (key.empty()) return {};
  const auto s = FindSection(section);
  if (s < 0) return {};
  const auto k = FindKey(s, key);
  if (k < 0) return {};
  return sections_[static_cast<std::size_t>(s)].Keys[static_cast<std::size_t>(k)].Value;
}

bool clsINI::SetKeyValue(StringView section, StringView key, StringView value) {
  if (key.empty()) return false;
  auto s = FindSection(section);
  auto k = s < 0 ? -1 : FindKey(s, key);
  // Everything is checked before anything changes.
  if (s < 0 && !IsSpaces(section) && !CanStoreSection(section)) return false;
  const StringView storedName =
      k < 0 ? key : StringView(sections_[static_cast<std::size_t>(s)].Keys[static_cast<std::size_t>(k)].Name);
  if (!CanStoreKey(storedName, value)) return false;

  if (k < 0) {
    // Adding moves sections and records, and the arguments may be views of
    // them (Sections() hands them out): add from copies.
    const String ownSection(section);
    const String ownKey(key);
    String ownValue(value);
    if (s < 0) s = AddSection(ownSection);
    k = AddKey(s, ownKey);
    sections_[static_cast<std::size_t>(s)].Keys[static_cast<std::size_t>(k)].Value = std::move(ownValue);
    return true;
  }
  sections_[static_cast<std::size_t>(s)].Keys[static_cast<std::size_t>(k)].Value.assign(value);
  return true;
}

bool clsINI::RenameSection(StringView section, StringView newName) {
  if (!CanStoreSection(newName)) return false;
  const auto s = FindSection(section);
  if (s < 0) return false;
  sections_[static_cast<std::size_t>(s)].Name.assign(newName);
  sectionIndex_ = NameIndex{};
  return true;
}

bool clsINI::RenameKey(StringView section, StringView key, StringView newName) {
  if (newName.empty()) return false;
  const auto s = FindSection(section);
  if (s < 0) return false;
  const auto k = FindKey(s, key);
  if (k < 0) return false;
  INIKey& record = sections_[static_cast<std::size_t>(s)].Keys[static_cast<std::size_t>(k)];
  if (!CanStoreKey(newName, record.Value)) return false;
  record.Name.assign(newName);
  keyIndex_[static_cast<std::size_t>(s)] = NameIndex{};
  return true;
}

bool clsINI::DeleteSection(StringView section) {
  const auto s = FindSection(section);
  if (s < 0) return false;
  sections_.erase(sections_.begin() + s);
  keyIndex_.erase(keyIndex_.begin() + s);
  sectionIndex_ = NameIndex{};
  return true;
}

bool clsINI::DeleteKey(StringView section, StringView key) {
  if (key.empty()) return false;
  const auto s = FindSection(section);
  if (s < 0) return false;
  const auto k = FindKey(s, key);
  if (k < 0) return false;
  auto& keys = sections_[static_cast<std::size_t>(s)].Keys;
  keys.erase(keys.begin() + k);
  keyIndex_[static_cast<std::size_t>(s)] = NameIndex{};
  return true;
}

// ---- Enumeration -------------------------------------------------------------------

String clsINI::Enum_GetSectionName(std::int32_t section) const {
  RequireIndex(section, "section");
  return section < SectionCount() ? sections_[static_cast<std::size_t>(section)].Name : String();
}

std::int32_t clsINI::Enum_GetKeyCount(std::int32_t section) const {
  RequireIndex(section, "section");
  return section < SectionCount() ? sections_[static_cast<std::size_t>(section)].KeyCount() : 0;
}

String clsINI::Enum_GetKeyName(std::int32_t section, std::int32_t key) const {
  RequireIndex(section, "section");
  RequireIndex(key, "key");
  if (section >= SectionCount()) return {};
  const INISection& s = sections_[static_cast<std::size_t>(section)];
  return key < s.KeyCount() ? s.Keys[static_cast<std::size_t>(key)].Name : String();
}

String clsINI::Enum_GetKeyValue(std::int32_t section, std::int32_t key) const {
  RequireIndex(section, "section");
  RequireIndex(key, "key");
  if (section >= SectionCount()) return {};
  const INISection& s = sections_[static_cast<std::size_t>(section)];
  return key < s.KeyCount() ? s.Keys[static_cast<std::size_t>(key)].Value : String();
}

}  // namespace pd::ini
