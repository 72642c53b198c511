// The program's own path, its data folder and the single-instance lock.
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/text.h"
#include "platform/x11/backend.h"

namespace pd::x11 {

namespace {

constexpr const char* kProgram = "ProcessDrovak";
constexpr std::string_view kDeleted = " (deleted)";

std::string SelfExe() {
  std::string buf(PATH_MAX, '\0');
  const ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return {};
  buf.resize(static_cast<std::size_t>(n));
  // A binary replaced while running (an upgrade) still names its folder.
  if (buf.size() > kDeleted.size() && buf.compare(buf.size() - kDeleted.size(), kDeleted.size(), kDeleted) == 0) {
    buf.resize(buf.size() - kDeleted.size());
  }
  return buf;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && *home == '/') return home;
  if (const passwd* pw = getpwuid(getuid()); pw != nullptr && pw->pw_dir != nullptr) return pw->pw_dir;
  return {};
}

}  // namespace

bool SystemProgramFolder(const std::string& folder) {
  return folder == "/bin" || folder == "/sbin" || folder == "/usr" || folder.starts_with("/usr/");
}

X11App::X11App(std::string exePath) : exe_(exePath.empty() ? SelfExe() : std::move(exePath)) {
  const auto cut = exe_.find_last_of('/');
  if (cut == std::string::npos) {
    file_ = exe_;
  } else {
    folder_ = exe_.substr(0, cut);
    file_ = exe_.substr(cut + 1);
  }
}

X11App::~X11App() {
  if (lockFd_ >= 0) close(lockFd_);
}

String X11App::Folder() { return text::FromUtf8(folder_); }
// Linux executables have no suffix: the base name is the file name.
String X11App::ExeName() { return text::FromUtf8(file_); }
String X11App::ExeFileName() { return text::FromUtf8(file_); }
String X11App::OwnPath() { return platform::JoinPath(*this, Folder(), ExeFileName()); }

String X11App::DataFolder() {
  const std::string exeFolder = folder_.empty() ? "/" : folder_;
  if (!SystemProgramFolder(exeFolder) && access(exeFolder.c_str(), W_OK | X_OK) == 0) return text::FromUtf8(folder_);
  std::string base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
    base = xdg;
  } else {
    base = HomeFolder();
    if (base.empty()) return text::FromUtf8(folder_);
    base += "/.config";
  }
  const std::string folder = base + "/" + kProgram;
  MakeFolders(folder);
  return text::FromUtf8(folder);
}

namespace {

// The user's runtime folder; empty when $XDG_RUNTIME_DIR is unset or not
// absolute.
std::string RuntimeFolder() {
  const char* run = std::getenv("XDG_RUNTIME_DIR");
  return run != nullptr && *run == '/' ? run : std::string();
}

}  // namespace

std::string X11App::LockPath() {
  std::string folder = RuntimeFolder();
  if (folder.empty()) folder = "/tmp/" + std::string(kProgram) + "-" + std::to_string(getuid());
  return folder + "/" + kProgram + ".lock";
}

bool X11App::PrevInstance() {
  if (lockFd_ >= 0) return false;  // this instance holds it
  const std::string path = LockPath();
  const std::string folder = path.substr(0, path.find_last_of('/'));
  if (RuntimeFolder().empty()) {
    // The shared /tmp: the folder must be ours and private, or anyone could
    // hold the lock for us.
    if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
    struct stat st {};
    if (lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) return false;
    if ((st.st_mode & 077) != 0) chmod(folder.c_str(), 0700);
  }
  const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) return false;  // no lock to be had: run rather than refuse
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const bool held = errno == EWOULDBLOCK;
    close(fd);
    return held;
  }
  lockFd_ = fd;
  return false;
}

}  // namespace pd::x11
