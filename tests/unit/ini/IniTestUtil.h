// Helpers of the INI document tests.
#pragma once

#include <string>

#include "ini/clsINI.h"
#include "platform/text.h"

namespace pd::ini::test {

// The document's tables in one readable line: each section as <name>, each
// record as (Name|Value|Text); CR, LF and NUL shown as \r, \n and \0.
// With dropLeadingBlanks, the blank records at the start of section 0 are
// left out, as writing drops them; a document left with nothing but an
// empty section 0 then dumps as "" (the empty document).
inline std::string Dump(const clsINI& doc, bool dropLeadingBlanks = false) {
  const auto show = [](const String& s) {
    std::string out;
    for (char c : text::ToUtf8(s)) {
      if (c == '\r') {
        out += "\\r";
      } else if (c == '\n') {
        out += "\\n";
      } else if (c == '\0') {
        out += "\\0";
      } else {
        out += c;
      }
    }
    return out;
  };
  std::string out;
  bool leading = dropLeadingBlanks;
  for (const INISection& s : doc.Sections()) {
    out.append("<").append(show(s.Name)).append(">");
    for (const INIKey& k : s.Keys) {
      if (leading && k.Name.empty() && k.Text.empty()) continue;
      leading = false;
      out.append("(").append(show(k.Name)).append("|").append(show(k.Value)).append("|").append(show(k.Text)).append(")");
    }
    leading = false;
  }
  if (dropLeadingBlanks && out == "<>") out.clear();
  return out;
}

inline clsINI Parse(StringView text) {
  clsINI doc;
  doc.OpenString(text);
  return doc;
}

}  // namespace pd::ini::test
