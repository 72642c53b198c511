// POSIX files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace pd::x11 {

// The POSIX file operations the file port and the registry store share.
// A failure names the step that failed and its errno; step is nullptr on
// success.
struct FileFailure {
  const char* step = nullptr;
  int error = 0;
};

// Creates every missing folder of path (mode 0700 for new ones); true when
// path is a folder afterwards.
bool MakeFolders(const std::string& path);
// A folder of the system's programs (/usr/..., /bin, /sbin): a program
// installed there keeps and saves its files in the user's folders, even
// when it may write beside itself (run by root).
bool SystemProgramFolder(const std::string& folder);
// Writes all of bytes to the file open at fd (an interrupted write goes
// on); false with errno in err.
bool WriteToFile(int fd, std::string_view bytes, int& err);
// Reads the whole file; bytes are untouched on failure.
FileFailure ReadWholeFile(const std::string& path, std::string& bytes);
// Creates the temporary file of a save of target beside it,
// ".<name>.XXXXXX" (mkstemp fills the X's), and opens it; its path goes to
// temp. The descriptor, or -1 with errno set.
int CreateTempBeside(const std::string& target, std::string& temp);
// Puts bytes in place of target's content safely: a temporary file beside it
// (CreateTempBeside) is written, given mode, flushed and closed, then renamed over
// target, and the folder is flushed. On failure the temporary file is gone
// and target is as it was.
FileFailure ReplaceFile(const std::string& target, std::string_view bytes, unsigned mode);

class X11Files final : public platform::Files {
 public:
  std::optional<std::uint64_t> FileLength(StringView path) override;
  // Regular files (after following links) count; directories, other kinds
  // and errors do not.
  bool FileExists(StringView path) override;
  bool ReadFile(StringView path, std::string& bytes) override;
  // mkstemp in the target's folder, write all, fsync, close, rename over
  // the target (a symbolic link is written through to its target), fsync
  // the folder. The new file keeps the old file's permissions (a new file
  // gets 0666 less the umask).
  bool WriteFileAtomic(StringView path, std::string_view bytes) override;
  bool RemoveFile(StringView path) override;
  // Lists the folder of the file a save writes (a link's target) and
  // removes the regular files named as CreateTempBeside names them for it;
  // links are not followed.
  int RemoveLeftoverTemps(StringView path) override;
  [[nodiscard]] String LastError() const override { return lastError_; }

 private:
  bool Fail(const std::string& what, int err, const std::string& path);
  String lastError_;
};

}  // namespace pd::x11
