// Helpers shared by the tests.
#pragma once

#include <filesystem>
#include <ostream>
#include <random>
#include <iterator>
#include <string>
#include <utility>

#include "platform/text.h"
#include "platform/types.h"

namespace pd {
// Readable UTF-16 strings in assertion messages.
inline void PrintTo(const String& s, std::ostream* os) { *os << '"' << text::ToUtf8(s) << '"'; }
}  // namespace pd

namespace pd::test {

// A text of 1 to maxChars characters drawn from ASCII letters and digits,
// Cyrillic, Latin letters with accents, CJK and emoji (outside the BMP, so
// surrogate pairs), for round-trip properties.
inline String RandomText(std::mt19937& rng, int maxChars) {
  static constexpr std::pair<char32_t, char32_t> kRanges[] = {
      {U'a', U'z'}, {U'0', U'9'}, {0x0410, 0x044F}, {0x00C0, 0x00FF}, {0x0100, 0x017F}, {0x4E00, 0x9FFF},
      {0x1F300, 0x1F64F},
  };
  std::uniform_int_distribution<std::size_t> range(0, std::size(kRanges) - 1);
  String out;
  for (int n = std::uniform_int_distribution<int>(1, maxChars)(rng); n > 0; --n) {
    const auto [lo, hi] = kRanges[range(rng)];
    char32_t c = std::uniform_int_distribution<char32_t>(lo, hi)(rng);
    if (c == 0x00D7 || c == 0x00F7) c = 0x00DF;  // letters only: not x or /
    if (c < 0x10000) {
      out += static_cast<char16_t>(c);
    } else {
      out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
    }
  }
  return out;
}

// A fresh folder for one test, removed with everything in it afterwards.
class TempFolder {
 public:
  TempFolder() {
    std::random_device rd;
    path_ = std::filesystem::temp_directory_path() / ("pd-test-" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(path_);
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  [[nodiscard]] const std::filesystem::path& Path() const { return path_; }
  [[nodiscard]] String Str() const { return path_.generic_u16string(); }
  // name in UTF-8 on every platform (a narrow path is in the ANSI code page on Windows).
  [[nodiscard]] String File(const std::string& name) const {
    return (path_ / std::filesystem::path(std::u8string(name.begin(), name.end()))).generic_u16string();
  }

 private:
  std::filesystem::path path_;
};

}  // namespace pd::test
