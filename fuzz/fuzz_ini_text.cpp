// Fuzz target: the INI parser and writer. Any bytes parse; writing gives
// them back except for leading empty lines and header tails; what was
// written parses to the same document and writes back unchanged.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ini/clsINI.h"
#include "platform/text.h"

namespace {

using pd::String;
using pd::StringView;
using pd::ini::clsINI;
using pd::ini::INIKey;

void Check(bool ok) {
  if (!ok) std::abort();
}

// The text as writing must give it: empty lines at the very start dropped,
// each header line cut after its first "]" from the third character on.
String Expected(StringView text) {
  String out;
  std::size_t start = 0;
  while (true) {
    auto end = text.find(u"\r\n", start);
    const bool last = end == StringView::npos;
    if (last) end = text.size();
    StringView line = text.substr(start, end - start);
    if (!line.empty() && line[0] == u'[' && line.find(u']', 2) != StringView::npos) {
      line = line.substr(0, line.find(u']', 2) + 1);
    }
    if (!out.empty()) {
      out += u"\r\n";
      out += line;
    } else {
      out += line;  // nothing while the lines are still empty
    }
    if (last) break;
    start = end + 2;
  }
  return out;
}

bool SameKey(const INIKey& a, const INIKey& b) { return a.Name == b.Name && a.Value == b.Value && a.Text == b.Text; }

bool IsBlank(const INIKey& k) { return k.Name.empty() && k.Text.empty(); }

// The reparsed document equals the first, less the blank records at the
// start of section 0 that writing drops.
bool SameDocument(const clsINI& first, const clsINI& again) {
  const auto& a = first.Sections();
  const auto& b = again.Sections();
  if (a.empty() || b.empty()) {
    // Only a document of empty lines writes as nothing.
    if (!b.empty()) return false;
    for (const auto& s : a) {
      if (!s.Name.empty()) return false;
      for (const auto& k : s.Keys) {
        if (!IsBlank(k)) return false;
      }
    }
    return true;
  }
  if (a.size() != b.size()) return false;
  for (std::size_t s = 0; s < a.size(); ++s) {
    if (a[s].Name != b[s].Name) return false;
    std::size_t skip = 0;
    if (s == 0) {
      while (skip < a[0].Keys.size() && IsBlank(a[0].Keys[skip])) ++skip;
    }
    if (a[s].Keys.size() - skip != b[s].Keys.size()) return false;
    for (std::size_t k = 0; k < b[s].Keys.size(); ++k) {
      if (!SameKey(a[s].Keys[skip + k], b[s].Keys[k])) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  clsINI doc;
  doc.OpenBuf(bytes);
  Check((doc.SectionCount() == 0) == bytes.empty());

  const String written = doc.SaveString();
  const String text = pd::text::Utf8Codec().FromFileText(bytes);
  Check(written == Expected(text));
  const std::string buf = doc.SaveBuf();
  Check(pd::text::Utf8Codec().FromFileText(buf) == written);  // the file reads back as the text written
  // Nothing dropped from a file already in the platform's form: every byte back.
  if (written == text && pd::text::Utf8Codec().ToFileText(text) == bytes) Check(buf == bytes);

  clsINI again;
  again.OpenString(written);
  Check(again.SaveString() == written);
  Check(SameDocument(doc, again));
  return 0;
}
