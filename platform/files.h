// File port: whole-file input and output in bytes, written safely.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/types.h"

namespace pd::platform {

class Files {
 public:
  virtual ~Files() = default;

  // True when a file (normal, hidden or system; not a directory) exists at
  // the path. The empty path and any lookup error give false.
  virtual bool FileExists(StringView path) = 0;

  // Reads the whole file. False (and bytes untouched) when it cannot be
  // opened or read.
  virtual bool ReadFile(StringView path, std::string& bytes) = 0;

  // Replaces the file's content with bytes: writes a temporary file in the
  // same folder, flushes it to disk and puts it in place of the old file in
  // one step. On any failure the old file stays whole, the temporary file is
  // removed and false is returned.
  virtual bool WriteFileAtomic(StringView path, std::string_view bytes) = 0;

  // The length of a file in bytes; nullopt when no file (a directory, nothing)
  // is there or it cannot be looked up. The backends ask the file system;
  // this fallback reads the file.
  virtual std::optional<std::uint64_t> FileLength(StringView path) {
    std::string bytes;
    if (!FileExists(path) || !ReadFile(path, bytes)) return std::nullopt;
    return bytes.size();
  }

  // Deletes a file; false when it could not be deleted.
  virtual bool RemoveFile(StringView path) = 0;

  // Removes the temporary files that saves of path (WriteFileAtomic) stopped
  // by a crash or a power cut left beside it. Only files named the way this
  // backend names its own temporary files of path are removed: never path
  // itself, other files, folders or links. The number removed; 0 when there
  // are none or the folder cannot be listed.
  virtual int RemoveLeftoverTemps(StringView path) = 0;

  // The reason for the latest failure of this port, for tests and debug
  // builds ("WriteFileAtomic: rename: No space left on device").
  [[nodiscard]] virtual String LastError() const = 0;
};

}  // namespace pd::platform
