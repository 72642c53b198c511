// Simulated files: real files (the test's folder stands for the application
// folder) through the standard library, with faults the test switches on.
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/sim/files.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace pd::sim {

namespace {

// The temporary file a save of target writes first.
fs::path TempPathFor(const fs::path& target) {
  fs::path temp = target;
  temp += ".tmp~";
  return temp;
}

}  // namespace

bool SimFiles::Fail(std::string_view what) {
  lastError_ = text::FromUtf8(what);
  return false;
}

bool SimFiles::FileExists(StringView path) {
  if (path.empty()) return false;
  std::error_code ec;
  const auto st = fs::status(fs::path(path), ec);
  return !ec && fs::exists(st) && !fs::is_directory(st);
}

std::optional<std::uint64_t> SimFiles::FileLength(StringView path) {
  if (!FileExists(path)) return std::nullopt;
  std::error_code ec;
  const auto size = fs::file_size(fs::path(path), ec);
  if (ec) return std::nullopt;
  return static_cast<std::uint64_t>(size);
}

bool SimFiles::ReadFile(StringView path, std::string& bytes) {
  if (unreadable_ && unreadable_(path) && FileExists(path)) return Fail("ReadFile: simulated permission denied");
  std::ifstream in(fs::path(path), std::ios::binary);
  if (!in) return Fail("ReadFile: cannot open");
  std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return Fail("ReadFile: read error");
  bytes = std::move(data);
  return true;
}

bool SimFiles::WriteFileAtomic(StringView path, std::string_view bytes) {
  ++writes_;
  if (failWrites_) return Fail("WriteFileAtomic: simulated write failure");
  const fs::path target(path);
  // A read-only file is not replaced (Windows refuses to; a rename on Linux
  // would not ask).
  std::error_code stat;
  const fs::file_status st = fs::status(target, stat);
  if (!stat && fs::is_regular_file(st) &&
      (st.permissions() & (fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write)) ==
          fs::perms::none) {
    return Fail("WriteFileAtomic: the file is read-only");
  }
  const fs::path temp = TempPathFor(target);
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) return Fail("WriteFileAtomic: cannot create the temporary file");
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      out.close();
      std::error_code ignored;
      fs::remove(temp, ignored);
      return Fail("WriteFileAtomic: write failed");
    }
  }
  if (interruptWrites_) return Fail("WriteFileAtomic: simulated crash before the rename");
  std::error_code ec;
  fs::rename(temp, target, ec);
  if (ec) {
    std::error_code ignored;
    fs::remove(temp, ignored);
    return Fail("WriteFileAtomic: rename: " + ec.message());
  }
  return true;
}

bool SimFiles::RemoveFile(StringView path) {
  if (inUse_ && inUse_(path)) return Fail("RemoveFile: the file is in use by a running process");
  std::error_code ec;
  if (!fs::remove(fs::path(path), ec) || ec) return Fail("RemoveFile: " + (ec ? ec.message() : "no such file"));
  return true;
}

int SimFiles::RemoveLeftoverTemps(StringView path) {
  if (path.empty()) return 0;
  const fs::path temp = TempPathFor(fs::path(path));
  std::error_code ec;
  if (!fs::is_regular_file(fs::symlink_status(temp, ec)) || ec) return 0;
  return fs::remove(temp, ec) && !ec ? 1 : 0;
}

}  // namespace pd::sim
