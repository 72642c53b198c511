// The program's own path, its data folder, the single-instance lock and
// the socket on which its holder hears a later start.
#include <fcntl.h>
#include <pwd.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/text.h"
#include "platform/x11/app.h"
#include "platform/x11/files.h"
#include "platform/x11/loop.h"

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

// The listening socket as a source of the loop: each connection accepted
// is a show request.
class X11App::Listener final : public LoopSource {
 public:
  Listener(int fd, std::string path, X11App& app) : fd_(fd), path_(std::move(path)), app_(app) {}
  ~Listener() override {
    unlink(path_.c_str());
    close(fd_);
  }
  Listener(const Listener&) = delete;
  Listener& operator=(const Listener&) = delete;

  bool Prepare(std::vector<Fd>& fds) override {
    fds.push_back(Fd{fd_, POLLIN, 0});
    return false;
  }
  void Dispatch(const std::vector<Fd>& fds) override {
    if (fds.empty() || (fds[0].revents & POLLIN) == 0) return;
    int requests = 0;
    for (;;) {
      const int conn = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (conn < 0) break;
      ucred peer{};
      socklen_t size = sizeof peer;
      if (getsockopt(conn, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 && peer.uid == getuid()) ++requests;
      close(conn);
    }
    // Several starts at once show the window once.
    if (requests > 0 && app_.showRequest_) {
      const auto handler = app_.showRequest_;
      handler();
    }
  }

 private:
  int fd_;
  std::string path_;
  X11App& app_;
};

X11App::X11App(std::string exePath, X11Loop* loop)
    : exe_(exePath.empty() ? SelfExe() : std::move(exePath)), loop_(loop) {
  const auto cut = exe_.find_last_of('/');
  if (cut == std::string::npos) {
    file_ = exe_;
  } else {
    folder_ = exe_.substr(0, cut);
    file_ = exe_.substr(cut + 1);
  }
}

X11App::~X11App() {
  // The socket goes while the lock is still held.
  if (listener_ && loop_ != nullptr) loop_->RemoveSource(listener_.get());
  listener_.reset();
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

std::string X11App::SocketPath() {
  std::string path = LockPath();
  return path.substr(0, path.size() - std::string_view(".lock").size()) + ".sock";
}

namespace {

// The socket's address; false when the path does not fit.
bool Address(const std::string& path, sockaddr_un& addr) {
  addr = sockaddr_un{};
  addr.sun_family = AF_UNIX;
  if (path.size() >= sizeof addr.sun_path) return false;
  path.copy(addr.sun_path, path.size());
  return true;
}

// Tells the holder of the lock that the program was started again: a
// connection that is not waited for (a holder that does not accept at
// once is not waited on either).
void AskToShow() {
  sockaddr_un addr{};
  if (!Address(X11App::SocketPath(), addr)) return;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return;
  connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);  // NOLINT: the socket API's cast
  close(fd);
}

}  // namespace

void X11App::Listen() {
  if (loop_ == nullptr) return;
  const std::string path = SocketPath();
  sockaddr_un addr{};
  if (!Address(path, addr)) return;
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return;
  // Left by a holder that ended without removing it: the lock says no one
  // listens on it now.
  unlink(path.c_str());
  const mode_t mask = umask(077);
  const bool bound = bind(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;  // NOLINT: as above
  umask(mask);
  if (!bound || listen(fd, 8) != 0) {
    close(fd);
    return;
  }
  listener_ = std::make_unique<Listener>(fd, path, *this);
  loop_->AddSource(listener_.get());
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
    if (held) AskToShow();
    return held;
  }
  lockFd_ = fd;
  Listen();
  return false;
}

}  // namespace pd::x11
