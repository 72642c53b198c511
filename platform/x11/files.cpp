// Files through POSIX calls; a save goes to a temporary file that replaces
// the old one by rename.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/text.h"
#include "platform/x11/files.h"

namespace pd::x11 {

namespace {

// The process's umask, read without changing it.
mode_t CurrentUmask() {
  const int fd = open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 022;
  char buf[4096];
  const ssize_t n = read(fd, buf, sizeof buf - 1);
  close(fd);
  if (n <= 0) return 022;
  buf[n] = '\0';
  const char* p = std::strstr(buf, "Umask:");
  if (p == nullptr) return 022;
  return static_cast<mode_t>(std::strtoul(p + 6, nullptr, 8) & 0777);
}


// A save's temporary file: "." + the target's name + "." + the characters
// mkstemp puts in place of these X's.
constexpr std::string_view kTempRandom = "XXXXXX";

std::string TempTemplate(const std::string& base) { return "." + base + "." + std::string(kTempRandom); }

bool IsMkstempChar(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsTempName(std::string_view name, std::string_view base) {
  const std::string_view tail = name.substr(std::min(name.size(), base.size() + 2));
  return name.size() == base.size() + 2 + kTempRandom.size() && name.front() == '.' &&
         name.substr(1, base.size()) == base && name[base.size() + 1] == '.' &&
         std::all_of(tail.begin(), tail.end(), IsMkstempChar);
}

// The folder and the name of target ("." for a bare name).
std::pair<std::string, std::string> SplitTarget(const std::string& target) {
  const auto cut = target.find_last_of('/');
  if (cut == std::string::npos) return {".", target};
  return {cut == 0 ? "/" : target.substr(0, cut), target.substr(cut + 1)};
}

// The file a save of path writes: a symbolic link is written through, so
// that it keeps pointing at the data.
std::string WrittenPath(std::string target) {
  struct stat st {};
  if (lstat(target.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    if (char* real = realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  return target;
}

}  // namespace

bool WriteToFile(int fd, std::string_view bytes, int& err) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      err = errno;
      return false;
    }
    if (n == 0) {
      err = EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

int CreateTempBeside(const std::string& target, std::string& temp) {
  const auto [folder, base] = SplitTarget(target);
  temp = folder + "/" + TempTemplate(base);
  return mkostemp(temp.data(), O_CLOEXEC);
}

bool MakeFolders(const std::string& path) {
  if (path.empty()) return false;
  for (std::size_t i = 1; i <= path.size(); ++i) {
    if (i != path.size() && path[i] != '/') continue;
    const std::string part = path.substr(0, i);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

FileFailure ReadWholeFile(const std::string& path, std::string& bytes) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {"open", errno};
  struct stat st {};
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    close(fd);
    return {"open", EISDIR};
  }
  std::string data;
  char buf[65536];
  for (;;) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0) {
      if (errno == EINTR) continue;
      const int err = errno;
      close(fd);
      return {"read", err};
    }
    if (n == 0) break;
    data.append(buf, static_cast<std::size_t>(n));
  }
  close(fd);
  bytes = std::move(data);
  return {};
}

FileFailure ReplaceFile(const std::string& target, std::string_view bytes, unsigned mode) {
  const std::string folder = SplitTarget(target).first;
  std::string temp;
  const int fd = CreateTempBeside(target, temp);
  if (fd < 0) return {"create temporary file", errno};

  auto abandon = [&](const char* step, int err, bool closeFd) {
    if (closeFd) close(fd);
    unlink(temp.c_str());
    return FileFailure{step, err};
  };
  int err = 0;
  if (!WriteToFile(fd, bytes, err)) return abandon("write", err, true);
  fchmod(fd, static_cast<mode_t>(mode));  // best effort: mkstemp made it 0600
  if (fsync(fd) != 0) return abandon("fsync", errno, true);
  // close reports late write errors (NFS, quotas); the descriptor is gone
  // either way.
  if (close(fd) != 0) return abandon("close", errno, false);
  if (rename(temp.c_str(), target.c_str()) != 0) return abandon("rename", errno, false);
  // The rename itself reaches the disk with the folder.
  const int dir = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    fsync(dir);
    close(dir);
  }
  return {};
}

bool X11Files::Fail(const std::string& what, int err, const std::string& path) {
  std::string msg = "X11: " + what;
  if (err != 0) msg += std::string(": ") + std::strerror(err);
  if (!path.empty()) msg += " (" + path + ")";
  lastError_ = text::FromUtf8(msg);
  return false;
}

bool X11Files::FileExists(StringView path) {
  if (path.empty()) return false;
  struct stat st {};
  return stat(text::ToUtf8(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::optional<std::uint64_t> X11Files::FileLength(StringView path) {
  if (path.empty()) return std::nullopt;
  struct stat st {};
  if (stat(text::ToUtf8(path).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(st.st_size);
}

bool X11Files::ReadFile(StringView path, std::string& bytes) {
  const std::string p = text::ToUtf8(path);
  if (const FileFailure f = ReadWholeFile(p, bytes); f.step != nullptr) {
    return Fail(std::string("ReadFile: ") + f.step, f.error, p);
  }
  return true;
}

bool X11Files::WriteFileAtomic(StringView path, std::string_view bytes) {
  const std::string utf8 = text::ToUtf8(path);
  if (utf8.empty()) return Fail("WriteFileAtomic: empty path", 0, {});
  const std::string target = WrittenPath(utf8);
  struct stat st {};
  mode_t mode = 0666 & ~CurrentUmask();
  if (stat(target.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) return Fail("WriteFileAtomic: target", EISDIR, target);
    // A read-only file is not replaced, as on Windows: a rename would put a
    // new file in its place whatever its own permissions say. A file with no
    // write bit counts as read-only even to the superuser.
    if ((st.st_mode & 0222) == 0 || (access(target.c_str(), W_OK) != 0 && errno == EACCES)) {
      return Fail("WriteFileAtomic: the file is read-only", EACCES, target);
    }
    mode = st.st_mode & 07777;
  }
  if (const FileFailure f = ReplaceFile(target, bytes, mode); f.step != nullptr) {
    return Fail(std::string("WriteFileAtomic: ") + f.step, f.error, target);
  }
  return true;
}

bool X11Files::RemoveFile(StringView path) {
  const std::string p = text::ToUtf8(path);
  if (p.empty() || unlink(p.c_str()) != 0) return Fail("RemoveFile: unlink", p.empty() ? ENOENT : errno, p);
  return true;
}

int X11Files::RemoveLeftoverTemps(StringView path) {
  const std::string utf8 = text::ToUtf8(path);
  if (utf8.empty()) return 0;
  const auto [folder, base] = SplitTarget(WrittenPath(utf8));
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return 0;
  std::vector<std::string> found;
  while (const dirent* e = readdir(dir)) {
    if (IsTempName(e->d_name, base)) found.push_back(folder + "/" + e->d_name);
  }
  closedir(dir);
  int removed = 0;
  for (const std::string& p : found) {
    struct stat st {};
    if (lstat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && unlink(p.c_str()) == 0) ++removed;
  }
  return removed;
}

}  // namespace pd::x11
