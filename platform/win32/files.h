// Files through the "W" calls of kernel32.
//
// Names no Windows type: it can be included without <windows.h>.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace pd::win32 {

// A new name for the temporary file of a save of target:
// "<target>.<pid>-<n>.tmp", n counting up in the process.
std::wstring TempNameFor(const std::wstring& target);

class Win32Files final : public platform::Files {
 public:
  std::optional<std::uint64_t> FileLength(StringView path) override;
  // GetFileAttributesW: true for any file that is not a directory.
  bool FileExists(StringView path) override;
  bool ReadFile(StringView path, std::string& bytes) override;
  // Temporary file in the target's folder, written, flushed and closed, then
  // MoveFileExW(REPLACE_EXISTING | WRITE_THROUGH) onto the target.
  bool WriteFileAtomic(StringView path, std::string_view bytes) override;
  bool RemoveFile(StringView path) override;
  // FindFirstFileW on "<target>.*.tmp"; removes the files (not folders or
  // links) named as TempNameFor names them, any process id and number.
  int RemoveLeftoverTemps(StringView path) override;
  // "Win32: WriteFileAtomic: MoveFileEx failed (5)".
  [[nodiscard]] String LastError() const override { return lastError_; }

 private:
  bool Fail(const char* what, unsigned long code);
  String lastError_;
};

}  // namespace pd::win32
