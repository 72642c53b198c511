// Helpers shared by the tests.
#pragma once

#include <filesystem>
#include <ostream>
#include <random>
#include <string>

#include "platform/text.h"
#include "platform/types.h"

namespace pd {
// Readable UTF-16 strings in assertion messages.
inline void PrintTo(const String& s, std::ostream* os) { *os << '"' << text::ToUtf8(s) << '"'; }
}  // namespace pd

namespace pd::test {

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
