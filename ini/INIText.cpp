// clsINI: the text parser and writer, and the byte and file wrappers.
// Both directions are single passes over the text: no search restarts from
// the beginning and the output is sized before it is filled.
#include <string>
#include <string_view>
#include <utility>

#include "ini/clsINI.h"
#include "platform/text.h"

namespace pd::ini {
namespace {

constexpr StringView kCrLf = u"\r\n";

// The name of a section header line, or false when the line is not one: it
// begins with "[" and a "]" stands at the third character or later.
bool HeaderName(StringView line, StringView& name) {
  if (line.empty() || line[0] != u'[') return false;
  const auto close = line.find(u']', 2);
  if (close == StringView::npos) return false;
  name = line.substr(1, close - 1);
  return true;
}

INIKey KeyLine(StringView line) {
  INIKey key;
  const auto eq = line.find(u'=');
  if (eq != StringView::npos) {
    key.Name.assign(line.substr(0, eq));
    key.Value.assign(line.substr(eq + 1));
  }
  key.Text.assign(line);
  return key;
}

// Each record is written as one line: its Text when it has no Name.
std::size_t LineLength(const INIKey& key) {
  return key.Name.empty() ? key.Text.size() : key.Name.size() + 1 + key.Value.size();
}

bool Written(std::size_t index, const INISection& section) { return index == 0 || !section.Name.empty(); }

}  // namespace

void clsINI::OpenString(StringView text) {
  // Parsed into new tables first: the text may be a view of this document.
  std::vector<INISection> sections;
  if (!text.empty()) {
    // Section 0 holds the lines before the first header. A header as the
    // very last line (no CR LF after it) opens an empty section like any
    // other, so that the text is written back with it.
    sections.emplace_back();
    std::size_t start = 0;
    while (true) {
      const auto end = text.find(kCrLf, start);
      const StringView line = text.substr(start, end == StringView::npos ? StringView::npos : end - start);
      StringView name;
      if (HeaderName(line, name)) {
        sections.emplace_back().Name.assign(name);
      } else {
        sections.back().Keys.push_back(KeyLine(line));
      }
      if (end == StringView::npos) break;
      start = end + kCrLf.size();
    }
  }
  sections_ = std::move(sections);
  ResetIndexes();
}

String clsINI::SaveString() const {
  // An upper bound of the output: every line and a CR LF before each.
  std::size_t size = 0;
  for (std::size_t s = 0; s < sections_.size(); ++s) {
    const INISection& section = sections_[s];
    if (!Written(s, section)) continue;
    if (!section.Name.empty()) size += section.Name.size() + 4;
    for (const INIKey& key : section.Keys) size += LineLength(key) + 2;
  }

  String out;
  out.reserve(size);
  // Lines are joined by CR LF, so empty lines met while nothing has been
  // written leave no trace.
  const auto newLine = [&out] {
    if (!out.empty()) out.append(kCrLf);
  };
  for (std::size_t s = 0; s < sections_.size(); ++s) {
    const INISection& section = sections_[s];
    if (!Written(s, section)) continue;
    if (!section.Name.empty()) {
      newLine();
      out += u'[';
      out += section.Name;
      out += u']';
    }
    for (const INIKey& key : section.Keys) {
      newLine();
      if (key.Name.empty()) {
        out += key.Text;
      } else {
        out += key.Name;
        out += u'=';
        out += key.Value;
      }
    }
  }
  return out;
}

void clsINI::OpenBuf(std::string_view bytes) { OpenString(codec_->FromFileText(bytes)); }

std::string clsINI::SaveBuf() const { return codec_->ToFileText(SaveString()); }

bool clsINI::OpenFile(platform::Files& files, StringView path) {
  if (!files.FileExists(path)) return false;
  std::string bytes;
  if (!files.ReadFile(path, bytes)) {
    Clean();
    return false;
  }
  OpenBuf(bytes);
  return true;
}

std::string clsINI::CrLfLineEnds(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() + bytes.size() / 8);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const char c = bytes[i];
    if (c != '\r' && c != '\n') {
      out += c;
      continue;
    }
    out += "\r\n";
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
  }
  return out;
}

clsINI::FileRead clsINI::OpenDataFile(platform::Files& files, StringView path) {
  if (!files.FileExists(path)) return FileRead::kMissing;
  std::string bytes;
  if (!files.ReadFile(path, bytes)) {
    Clean();
    return FileRead::kUnreadable;
  }
  OpenBuf(CrLfLineEnds(bytes));
  return FileRead::kRead;
}

bool clsINI::SaveFile(platform::Files& files, StringView path) const {
  if (path.empty()) return false;
  return files.WriteFileAtomic(path, SaveBuf());
}

void clsINI::Clean() {
  sections_.clear();
  sections_.shrink_to_fit();
  ResetIndexes();
}

}  // namespace pd::ini
