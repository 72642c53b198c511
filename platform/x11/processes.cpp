// Processes from /proc, the owner of a window from the X server, and
// termination by SIGKILL.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <limits>

#include "platform/text.h"
#include "platform/x11/backend.h"

namespace pd::x11 {

namespace {

// Reads a small file of /proc in one go; false when it cannot be opened.
bool ReadSmall(const std::string& path, std::string& out, std::size_t limit) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  out.resize(limit);
  std::size_t got = 0;
  while (got < limit) {
    const ssize_t n = read(fd, out.data() + got, limit - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  close(fd);
  out.resize(got);
  return got > 0;
}

std::string BaseName(std::string_view path) {
  const auto cut = path.find_last_of('/');
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

constexpr std::string_view kDeleted = " (deleted)";

std::int64_t BootMs() {
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

// A numeric folder name as a process id; 0 for anything else.
ProcessId ParsePid(const char* name) {
  std::uint64_t v = 0;
  if (*name == '\0') return 0;
  for (const char* p = name; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return 0;
    v = v * 10 + static_cast<std::uint64_t>(*p - '0');
    if (v > std::numeric_limits<ProcessId>::max()) return 0;
  }
  return static_cast<ProcessId>(v);
}

}  // namespace

X11Processes::X11Processes(std::string procRoot, XConnection* x)
    : root_(std::move(procRoot)), x_(x), clockTicks_(sysconf(_SC_CLK_TCK)) {
  if (clockTicks_ <= 0) clockTicks_ = 100;
  loadavg_ = open((root_ + "/loadavg").c_str(), O_RDONLY | O_CLOEXEC);
}

X11Processes::~X11Processes() {
  if (loadavg_ >= 0) close(loadavg_);
}

std::string X11Processes::PidPath(ProcessId id, const char* leaf) const {
  std::string p = root_;
  p += '/';
  p += std::to_string(id);
  p += '/';
  p += leaf;
  return p;
}

std::string X11Processes::ReadLink(ProcessId id, int& err) const {
  const std::string link = PidPath(id, "exe");
  std::string buf(PATH_MAX, '\0');
  for (;;) {
    const ssize_t n = readlink(link.c_str(), buf.data(), buf.size());
    if (n < 0) {
      err = errno;
      return {};
    }
    if (static_cast<std::size_t>(n) < buf.size()) {
      buf.resize(static_cast<std::size_t>(n));
      err = 0;
      return buf;
    }
    buf.resize(buf.size() * 2);  // cut: try again with room
  }
}

bool X11Processes::Read(ProcessId id, Entry& e) {
  ++reads_;
  // "pid (comm) state ppid ... num_threads(20) ... starttime(22) ..."; comm
  // may hold spaces and parentheses, so the fields start after the last ')'.
  std::string stat;
  if (!ReadSmall(PidPath(id, "stat"), stat, 1024)) return false;
  const auto open = stat.find('(');
  const auto close = stat.rfind(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return false;
  const std::string comm = stat.substr(open + 1, close - open - 1);
  std::vector<unsigned long long> fields;  // from field 4 (ppid) on
  {
    const char* p = stat.c_str() + close + 1;
    // Skip the state letter (field 3).
    while (*p == ' ') ++p;
    while (*p != '\0' && *p != ' ') ++p;
    while (*p != '\0' && fields.size() < 19) {
      char* end = nullptr;
      errno = 0;
      const long long v = std::strtoll(p, &end, 10);
      if (end == p) break;
      fields.push_back(v < 0 ? 0ULL : static_cast<unsigned long long>(v));
      p = end;
    }
  }
  if (fields.size() < 19) return false;
  e.parent = static_cast<std::uint32_t>(fields[0]);     // field 4
  e.threads = static_cast<std::uint32_t>(fields[16]);   // field 20
  e.startTime = fields[18];                              // field 22

  int err = 0;
  std::string target = ReadLink(id, err);
  std::string name;
  if (err == 0 && !target.empty()) {
    std::string_view file = target;
    if (file.size() > kDeleted.size() && file.substr(file.size() - kDeleted.size()) == kDeleted) {
      file.remove_suffix(kDeleted.size());
    }
    name = BaseName(file);
  } else {
    // Refused (another user's process) or absent (kernel thread, zombie).
    target.clear();
    name = comm;
    if (comm.size() == 15) {  // comm is cut at 15 bytes: argv[0] may hold the rest
      std::string cmdline;
      if (ReadSmall(PidPath(id, "cmdline"), cmdline, 4096)) {
        const std::string arg0 = BaseName(std::string_view(cmdline.c_str()));
        if (arg0.size() > comm.size() && arg0.compare(0, comm.size(), comm) == 0) name = arg0;
      }
    }
  }
  e.path = text::FromUtf8(target);
  e.link = std::move(target);
  e.entry = platform::ProcessEntry{};
  e.entry.th32ProcessID = id;
  e.entry.th32ParentProcessID = e.parent;
  e.entry.cntThreads = e.threads;
  e.entry.SetExeFile(text::FromUtf8(name));
  return true;
}

bool X11Processes::Young(const Entry& e, std::int64_t bootMs) const {
  const auto startMs = static_cast<std::int64_t>(e.startTime * 1000ULL / static_cast<unsigned long long>(clockTicks_));
  return bootMs - startMs < kYoungMs;
}

void X11Processes::Walk(const Visitor& visit) {
  const std::uint64_t walk = ++walks_;
  const std::int64_t now = MonotonicMs();
  const std::int64_t boot = BootMs();
  DIR* dir = opendir(root_.c_str());
  if (dir == nullptr) return;
  ++walkDepth_;
  // Entries, not copies: a walk inside the visitor may re-read them in
  // place but erases nothing (the outer walk does).
  std::vector<const Entry*> snapshot;
  snapshot.reserve(cache_.size() + 16);
  // Old entries due for a re-read, taken after the folder was listed.
  std::vector<std::map<ProcessId, Entry>::iterator> due;
  young_.clear();
  while (const dirent* de = readdir(dir)) {
    const ProcessId id = ParsePid(de->d_name);
    if (id == 0) continue;
    auto it = cache_.find(id);
    const bool known = it != cache_.end() && de->d_ino != 0 && it->second.inode == de->d_ino;
    if (!known || Young(it->second, boot)) {
      Entry e;
      if (!Read(id, e)) {  // ended meanwhile
        if (it != cache_.end() && walkDepth_ == 1) cache_.erase(it);
        continue;
      }
      e.inode = de->d_ino;
      e.readAtMs = now;
      it = cache_.insert_or_assign(id, std::move(e)).first;
    } else if (now - it->second.readAtMs >= kRecheckMs) {
      due.push_back(it);
    }
    it->second.walk = walk;
    it->second.seenAtMs = now;
    if (Young(it->second, boot)) young_.push_back(id);
    snapshot.push_back(&it->second);
  }
  closedir(dir);
  if (due.size() > kMaxRechecksPerWalk) {
    std::partial_sort(due.begin(), due.begin() + kMaxRechecksPerWalk, due.end(),
                      [](const auto& a, const auto& b) { return a->second.readAtMs < b->second.readAtMs; });
    due.resize(kMaxRechecksPerWalk);
  }
  for (auto it : due) {
    Entry e;
    if (!Read(it->first, e)) continue;  // ended: the next walk drops it
    if (e.link != it->second.link) ++imageChanges_;
    e.inode = it->second.inode;
    e.readAtMs = now;
    e.walk = walk;
    e.seenAtMs = now;
    it->second = std::move(e);
  }
  if (walkDepth_ == 1) std::erase_if(cache_, [walk](const auto& kv) { return kv.second.walk != walk; });
  // /proc lists ids in ascending order; other folders (tests) may not.
  std::sort(snapshot.begin(), snapshot.end(),
            [](const Entry* a, const Entry* b) { return a->entry.th32ProcessID < b->entry.th32ProcessID; });
  for (const Entry* e : snapshot) {
    if (!visit(e->entry)) break;
  }
  --walkDepth_;
}

std::uint32_t X11Processes::LastPid() {
  if (loadavg_ < 0) return 0;
  char buf[128];
  const ssize_t n = pread(loadavg_, buf, sizeof buf - 1, 0);
  if (n <= 0) return 0;
  buf[n] = '\0';
  // "0.00 0.01 0.05 1/123 4567": the last field.
  const char* p = std::strrchr(buf, ' ');
  return p == nullptr ? 0 : static_cast<std::uint32_t>(std::strtoul(p + 1, nullptr, 10));
}

std::uint64_t X11Processes::ChangeMark() {
  const std::uint32_t last = LastPid();
  if (last == 0) return (++unreadableMarks_) << 32;
  const std::int64_t boot = BootMs();
  std::erase_if(young_, [&](ProcessId id) {
    auto it = cache_.find(id);
    if (it == cache_.end() || !Young(it->second, boot)) return true;
    int err = 0;
    if (ReadLink(id, err) != it->second.link) {
      ++imageChanges_;
      return true;  // the next walk reads it again anyway
    }
    return false;
  });
  return (imageChanges_ << 32) | last;
}

String X11Processes::ExecutablePath(ProcessId id) {
  if (id == 0) return {};
  auto it = cache_.find(id);
  if (it != cache_.end() && MonotonicMs() - it->second.seenAtMs < kPathTrustMs) return it->second.path;
  int err = 0;
  return text::FromUtf8(ReadLink(id, err));
}

bool X11Processes::Terminate(ProcessId id) {
  // kill(0, ...) signals the caller's process group and kill(-1, ...) every
  // process it may signal; an id above INT_MAX would turn negative.
  if (id <= 1 || id > static_cast<ProcessId>(std::numeric_limits<pid_t>::max())) return false;
  const auto pid = static_cast<pid_t>(id);
  if (pid == getpid()) return false;
  return kill(pid, SIGKILL) == 0;
}

std::uint64_t X11Processes::StartTime(ProcessId id) {
  if (id == 0) return 0;
  std::string stat;
  if (!ReadSmall(PidPath(id, "stat"), stat, 1024)) return 0;
  const auto close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  // After ") ": the state (field 3), then fields 4 to 22.
  const char* p = stat.c_str() + close + 1;
  while (*p == ' ') ++p;
  if (*p == 'Z' || *p == 'X' || *p == 'x' || *p == '\0') return 0;
  for (int field = 3; field < 22; ++field) {
    while (*p != '\0' && *p != ' ') ++p;
    while (*p == ' ') ++p;
    if (*p == '\0') return 0;
  }
  char* end = nullptr;
  const unsigned long long ticks = std::strtoull(p, &end, 10);
  if (end == p) return 0;
  return static_cast<std::uint64_t>(ticks) + 1;
}

ProcessId X11Processes::CurrentProcess() { return static_cast<ProcessId>(getpid()); }

ProcessId X11Processes::WindowOwner(WindowHandle window) {
  if (x_ == nullptr || window == 0) return 0;
  Display* dpy = x_->Dpy();
  const auto w = static_cast<Window>(window);
  // The window must exist: an id of a vanished window may still name its
  // client, or another client's window later.
  Window root = 0;
  int gx = 0;
  int gy = 0;
  unsigned int gw = 0;
  unsigned int gh = 0;
  unsigned int border = 0;
  unsigned int depth = 0;
  if (XGetGeometry(dpy, w, &root, &gx, &gy, &gw, &gh, &border, &depth) == 0) return 0;
  if (x_->HasXRes()) {
    XResClientIdSpec spec{w, XRES_CLIENT_ID_PID_MASK};
    long count = 0;
    XResClientIdValue* ids = nullptr;
    ProcessId owner = 0;
    if (XResQueryClientIds(dpy, 1, &spec, &count, &ids) == Success) {
      for (long i = 0; i < count && owner == 0; ++i) {
        const pid_t pid = XResGetClientPid(&ids[i]);
        if (pid > 0) owner = static_cast<ProcessId>(pid);
      }
      XResClientIdsDestroy(count, ids);
    }
    if (owner != 0) return owner;
  }
  std::vector<unsigned long> pid;
  x_->ReadLongs(w, x_->GetAtom("_NET_WM_PID"), XA_CARDINAL, pid);
  if (!pid.empty() && pid[0] > 0 && pid[0] <= std::numeric_limits<ProcessId>::max()) {
    return static_cast<ProcessId>(pid[0]);
  }
  return 0;
}

}  // namespace pd::x11
