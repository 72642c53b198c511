// Simulated files: real files in a folder of the test, with faults on demand.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace pd::sim {

class SimFiles final : public platform::Files {
 public:
  std::optional<std::uint64_t> FileLength(StringView path) override;
  bool FileExists(StringView path) override;
  bool ReadFile(StringView path, std::string& bytes) override;
  bool WriteFileAtomic(StringView path, std::string_view bytes) override;
  bool RemoveFile(StringView path) override;
  // A save of "Blocks.txt" writes "Blocks.txt.tmp~" first: that file, when it
  // is a regular file, is the only one removed.
  int RemoveLeftoverTemps(StringView path) override;
  [[nodiscard]] String LastError() const override { return lastError_; }

  // Faults: the next writes fail before the old file is touched (a folder
  // that refuses new files, a full disk).
  void FailWrites(bool fail) { failWrites_ = fail; }
  // The next writes stop once the temporary file is written, as a crash
  // would stop them: the temporary file stays, the old file is untouched,
  // and the write returns false.
  void InterruptWrites(bool interrupt) { interruptWrites_ = interrupt; }
  // Files RemoveFile refuses while inUse says so (a running executable).
  void SetInUse(std::function<bool(StringView)> inUse) { inUse_ = std::move(inUse); }
  // Files that exist but ReadFile cannot read while unreadable says so (no
  // permission, locked by another program).
  void SetUnreadable(std::function<bool(StringView)> unreadable) { unreadable_ = std::move(unreadable); }
  [[nodiscard]] int Writes() const { return writes_; }

 private:
  bool Fail(std::string_view what);
  bool failWrites_ = false;
  bool interruptWrites_ = false;
  std::function<bool(StringView)> inUse_;
  std::function<bool(StringView)> unreadable_;
  int writes_ = 0;
  String lastError_;
};

}  // namespace pd::sim
