// Fuzz target: edits of an INI document driven by the input. The document
// starts from the first part of the input; the rest is a list of edits with
// names and values cut from the input. After every edit, the document
// written and parsed again must answer every lookup as the document does:
// nothing an edit accepted may read back as other keys or sections.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ini/clsINI.h"
#include "platform/text.h"

namespace {

using pd::String;
using pd::ini::clsINI;

void Check(bool ok) {
  if (!ok) std::abort();
}

class Input {
 public:
  Input(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  [[nodiscard]] bool More() const { return pos_ < size_; }
  std::uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  // A short string: a length byte, then that many bytes (Windows-1251).
  String Str() {
    const std::size_t n = Byte() % 12;
    std::string bytes;
    for (std::size_t i = 0; i < n && More(); ++i) bytes += static_cast<char>(Byte());
    return pd::text::Utf8Codec().FromAnsi(bytes);
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
};

// Names to look up after each edit: "", a blank and the latest names used
// (a few, so that every input stays fast).
void Remember(std::vector<String>& names, const String& name) {
  for (const String& n : names) {
    if (n == name) return;
  }
  if (names.size() >= 12) names.erase(names.begin() + 2);
  names.push_back(name);
}

void CheckSurvivesReparse(const clsINI& doc, const std::vector<String>& names) {
  clsINI again;
  again.OpenString(doc.SaveString());
  Check(again.SaveString() == doc.SaveString());
  for (const String& s : names) {
    for (const String& k : names) Check(again.GetKeyValue(s, k) == doc.GetKeyValue(s, k));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Input in(data, size);
  clsINI doc;
  {
    const std::size_t n = in.Byte();
    std::string start;
    for (std::size_t i = 0; i < n && in.More(); ++i) start += static_cast<char>(in.Byte());
    doc.OpenBuf(start);
  }
  std::vector<String> names = {u"", u" "};
  for (int step = 0; step < 64 && in.More(); ++step) {
    const std::uint8_t op = in.Byte() % 7;
    const String a = in.Str();
    const String b = in.Str();
    const String c = in.Str();
    Remember(names, a);
    Remember(names, b);
    switch (op) {
      case 0:
      case 1:
        if (doc.SetKeyValue(a, b, c)) Check(doc.GetKeyValue(a, b) == c);
        break;
      case 2:
        doc.RenameSection(a, b);
        break;
      case 3:
        doc.RenameKey(a, b, c);
        break;
      case 4:
        doc.DeleteSection(a);
        break;
      case 5:
        doc.DeleteKey(a, b);
        break;
      default:
        for (std::int32_t s = 0; s <= doc.Enum_GetSectionCount(); ++s) {
          for (std::int32_t k = 0; k <= doc.Enum_GetKeyCount(s); ++k) {
            (void)doc.Enum_GetKeyName(s, k);
            (void)doc.Enum_GetKeyValue(s, k);
          }
        }
        break;
    }
    CheckSurvivesReparse(doc, names);
  }
  return 0;
}
