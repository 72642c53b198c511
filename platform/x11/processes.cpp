// Processes from /proc, the owner of a window from the X server, and
// termination by SIGKILL.
//
// Processes from /proc. A walk lists the numeric entries of the /proc
// folder and reads a process in full (stat, the exe link, argv, and for a
// script or a Windows program what they name) only when it has not seen
// that id before: entries are cached by id and start time, and the folder
// entry's inode number tells, without reading anything, that the id still
// names the same process. Entries of ended processes are dropped at the
// walk that misses them.
//
// A process can replace its executable (exec) at any age, and the kernel
// then sets its comm to the new file's base name: comm (with the exe link
// where comm is cut at 15 bytes) tells whether a cached entry still holds.
// A full walk checks every cached entry that way (one read of stat, which
// also tells a zombie) and reads again the ones that changed, so it never
// lists a stale name. ChangeMark and the changed walk check the entries
// in turn (one read of comm each), as many as the time since the latest
// checks calls for, so that every entry is checked within kRecheckCycleMs,
// and each mark at least its share, so that every entry is checked within
// kRecheckMarks marks: with the block timer's 10 ms tick an exec by a
// process of any age moves the mark within a second. A young process
// (started less than a second ago, the fork-then-exec window) is checked
// at every mark and every walk.
//
// Names as a user knows them (procfs::NameImage): a Windows program under
// Wine or Proton by its .exe, a script started through its #! line by the
// script, anything else by its executable file; where the exe link is
// refused (another user's process) by comm, or by the base name of argv[0]
// when comm is cut at 15 characters and argv[0] continues it. Kernel
// threads (no exe link, and the kernel-thread flag or kthreadd as the
// parent) and zombies (ended, not yet reaped) are never listed: their
// entries are kept hidden, so that they are not read again.
//
// What a walk looks at for a known id lies in a small table sorted by id,
// scanned beside the folder listing; the name, comm, parent and thread
// count lie apart in small records, copied into one entry as the visitor
// is called, and the paths apart again, touched only for ids read again.
//
// Listing /proc costs the kernel a visit of every process, so a walk skips
// it when loadavg tells that tasks only started since the latest walk: the
// ids handed out since (its last field, at most kMaxProbes) are looked up
// one by one (status; a thread's id is counted but not listed), and the
// count of tasks (its fourth field) must be the earlier count plus the
// tasks found alive, so that no task ended. Anything else (an end, ids that
// wrapped, a failed read, no loadavg, a nested pid namespace, whose tasks
// loadavg does not count apart) lists the folder, as does a walk so long
// after the latest one that the ids could have gone all the way round
// (pid_max at 5,000 starts a second) and the first walk kFullListingMs
// after the latest listing.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/XRes.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <climits>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "platform/text.h"
#include "platform/x11/connection.h"
#include "platform/x11/loop.h"
#include "platform/x11/processes.h"
#include "platform/x11/process_names.h"

namespace pd::x11 {

using procfs::BaseName;
using procfs::PidLeaf;
using procfs::ReadLink;
using procfs::ReadSmall;
using procfs::WithoutDeleted;

namespace {

// More than the system starts in a second (tasks, threads included), for
// the time the ids take to wrap around.
constexpr long kStartsPerSecond = 5000;

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

// A kernel thread's flag in field 9 of stat (PF_KTHREAD).
constexpr unsigned long long kKernelThread = 0x00200000;
// comm holds at most this many bytes of a name (TASK_COMM_LEN - 1).
constexpr std::size_t kCommSize = 15;

// Descriptors left to the rest of the program beside those the process
// table keeps, and the soft limit the table asks for at most (a higher one
// passes to programs it starts, and some close every descriptor up to it).
constexpr rlim_t kReservedFiles = 1024;
constexpr rlim_t kWantedFiles = 65536;

// Descriptors all tables of the program keep: one limit for all.
std::atomic<std::size_t> g_keptFiles{0};

// The most descriptors the tables may keep: the soft limit raised towards
// the hard one, less the reserve.
std::size_t KeepableFiles() {
  rlimit lim{};
  if (getrlimit(RLIMIT_NOFILE, &lim) != 0) return 0;
  if (lim.rlim_cur != RLIM_INFINITY && lim.rlim_cur < kWantedFiles && lim.rlim_cur < lim.rlim_max) {
    rlimit raised = lim;
    raised.rlim_cur = std::min(lim.rlim_max, kWantedFiles);
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) lim = raised;
  }
  const rlim_t soft = lim.rlim_cur == RLIM_INFINITY ? kWantedFiles : lim.rlim_cur;
  return soft > kReservedFiles ? static_cast<std::size_t>(soft - kReservedFiles) : 0;
}

// A kept descriptor's file read from its start into buf (NUL-terminated):
// its length, 0 when the process is gone or the read failed.
std::size_t ReadKept(int fd, char* buf, std::size_t cap) {
  ssize_t n = 0;
  do {
    n = pread(fd, buf, cap - 1, 0);
  } while (n < 0 && errno == EINTR);
  const std::size_t got = n > 0 ? static_cast<std::size_t>(n) : 0;
  buf[got] = '\0';
  return got;
}

}  // namespace

X11Processes::Fd& X11Processes::Fd::operator=(Fd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

X11Processes::Fd::~Fd() {
  if (fd_ >= 0) close(fd_);
}

X11Processes::X11Processes(std::string procRoot, XConnection* x)
    : root_(std::move(procRoot)), x_(x), clockTicks_(sysconf(_SC_CLK_TCK)) {
  if (clockTicks_ <= 0) clockTicks_ = 100;
  loadavg_ = open((root_ + "/loadavg").c_str(), O_RDONLY | O_CLOEXEC);
  dir_ = open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  char buf[32];
  long pidMax = 0;
  if (ReadSmall(AT_FDCWD, (root_ + "/sys/kernel/pid_max").c_str(), buf, sizeof buf) > 0) pidMax = std::atol(buf);
  wrapMs_ = std::max(pidMax, 32768L) * 1000 / kStartsPerSecond;
  // loadavg counts the tasks of the whole system but gives the last id of
  // the program's own pid namespace: inside a nested one (several ids on
  // NSpid) the count moves with tasks the folder never shows.
  char status[4096];
  if (ReadSmall(AT_FDCWD, (root_ + "/self/status").c_str(), status, sizeof status) > 0) {
    const char* ns = std::strstr(status, "\nNSpid:");
    const char* end = ns == nullptr ? nullptr : std::strchr(ns + 1, '\n');
    if (end != nullptr && std::count(ns + 7, end, '\t') > 1) wrapMs_ = 0;
  }
  int err = 0;
  const std::string self = ReadLink(AT_FDCWD, (root_ + "/self").c_str(), err);
  self_ = ParsePid(self.c_str());
  maxKeptFiles_ = KeepableFiles();
}

X11Processes::~X11Processes() {
  g_keptFiles -= keptFiles_;
  if (loadavg_ >= 0) close(loadavg_);
  if (dir_ >= 0) close(dir_);
}

int X11Processes::Dir() {
  if (dir_ < 0) dir_ = open(root_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  return dir_;
}

X11Processes::Seen X11Processes::Read(int dir, ProcessId id, Fresh& f, bool keep) {
  ++reads_;
  char leaf[32];
  // Opened before the reads: they name the process read below, or one that
  // has ended by then (the first check finds it gone).
  if (keep && g_keptFiles + 2 <= maxKeptFiles_) {
    f.kept.comm = Fd(openat(dir, PidLeaf(leaf, id, "comm"), O_RDONLY | O_CLOEXEC));
    f.kept.statm = Fd(openat(dir, PidLeaf(leaf, id, "statm"), O_RDONLY | O_CLOEXEC));
  }
  // "pid (comm) state ppid ... flags(9) ... num_threads(20) ...
  // starttime(22) ..."; comm may hold spaces and parentheses, so the fields
  // start after the last ')'.
  char stat[1024];
  const std::size_t size = ReadSmall(dir, PidLeaf(leaf, id, "stat"), stat, sizeof stat);
  if (size == 0) return Seen::kGone;
  const std::string_view line(stat, size);
  const auto open = line.find('(');
  const auto close = line.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) return Seen::kGone;
  const std::string_view comm = line.substr(open + 1, close - open - 1);
  std::array<unsigned long long, 19> fields{};  // from field 4 (ppid) on
  std::size_t count = 0;
  char state = '\0';
  {
    const char* p = stat + close + 1;
    while (*p == ' ') ++p;
    state = *p;  // field 3
    while (*p != '\0' && *p != ' ') ++p;
    while (*p != '\0' && count < fields.size()) {
      char* end = nullptr;
      const long long v = std::strtoll(p, &end, 10);
      if (end == p) break;
      fields[count++] = v < 0 ? 0ULL : static_cast<unsigned long long>(v);
      p = end;
    }
  }
  if (count < fields.size()) return Seen::kGone;
  f.startTicks = fields[18];  // field 22
  f.startMs = static_cast<std::int64_t>(f.startTicks * 1000ULL / static_cast<unsigned long long>(clockTicks_));
  f.parent = static_cast<std::uint32_t>(fields[0]);    // field 4
  f.threads = static_cast<std::uint32_t>(fields[16]);  // field 20
  f.comm.assign(comm.substr(0, kCommSize));
  // Ended, waiting for its parent: not running. A leader whose own thread
  // ended while others run shows Z too, and runs.
  if ((state == 'Z' && f.threads <= 1) || state == 'X' || state == 'x') return Seen::kHidden;

  int err = 0;
  std::string target = ReadLink(dir, PidLeaf(leaf, id, "exe"), err);
  if (err == ENOENT && ((fields[5] & kKernelThread) != 0 || id == 2 || f.parent == 2)) return Seen::kHidden;
  if (err == 0 && !target.empty()) {
    std::string name;
    std::string path;
    procfs::NameImage(dir, id, target, comm, name, path);
    // The program's own file, replaced while it runs, is still the program.
    if (id == self_) path = WithoutDeleted(target);
    f.name = text::FromUtf8(name);
    f.paths.path = text::FromUtf8(path);
  } else {
    // Refused (another user's process) or absent (exiting).
    target.clear();
    std::string_view name = comm;
    char cmdline[4096];
    if (comm.size() == kCommSize && ReadSmall(dir, PidLeaf(leaf, id, "cmdline"), cmdline, sizeof cmdline) > 0) {
      // comm is cut at 15 bytes: argv[0] may hold the rest.
      const std::string_view arg0 = BaseName(std::string_view(cmdline));
      if (arg0.size() > comm.size() && arg0.substr(0, comm.size()) == comm) name = arg0;
    }
    f.name = text::FromUtf8(name);
  }
  f.paths.link = std::move(target);
  return Seen::kLive;
}

X11Processes::Check X11Processes::Same(int dir, const Slot& s, bool withStat) {
  ++checks_;
  char leaf[32];
  char buf[1024];
  std::string_view comm;
  const Kept& kept = blocks_[s.item / kBlock]->kept[s.item % kBlock];
  if (kept.comm.Open() && (!withStat || kept.statm.Open())) {
    // A kept file that reads nothing: the process ended. Its id may name
    // another one already (the folder listed under it may even show the
    // ended one's inode while a kept file holds that): read again.
    if (withStat) {
      // No memory: a zombie, or exiting.
      const std::size_t size = ReadKept(kept.statm.Get(), buf, sizeof buf);
      if (size == 0) return Check::kChanged;
      if (buf[0] == '0' && buf[1] == ' ') return Check::kChanged;  // read again: it turns hidden
    }
    std::size_t size = ReadKept(kept.comm.Get(), buf, sizeof buf);
    if (size == 0) return Check::kChanged;
    if (buf[size - 1] == '\n') --size;
    comm = std::string_view(buf, size);
  } else if (withStat) {
    const std::size_t size = ReadSmall(dir, PidLeaf(leaf, s.id, "stat"), buf, sizeof buf);
    const std::string_view line(buf, size);
    const auto open = line.find('(');
    const auto close = line.rfind(')');
    if (size == 0 || open == std::string_view::npos || close == std::string_view::npos || close < open) {
      return Check::kGone;
    }
    comm = line.substr(open + 1, close - open - 1);
    const std::size_t state = line.find_first_not_of(' ', close + 1);
    if (state == std::string_view::npos || line[state] == 'Z' || line[state] == 'X' || line[state] == 'x') {
      return Check::kChanged;  // read again: it turns hidden
    }
  } else {
    std::size_t size = ReadSmall(dir, PidLeaf(leaf, s.id, "comm"), buf, sizeof buf);
    if (size == 0) return Check::kGone;
    if (buf[size - 1] == '\n') --size;
    comm = std::string_view(buf, size);
  }
  comm = comm.substr(0, kCommSize);
  const Brief& b = BriefOf(s.item);
  if (comm != std::string_view(b.comm.data())) return Check::kChanged;
  // comm tells every exec that changes the name, but where the name is
  // not comm (cut at 15 bytes, a script's, a Windows program's, or one the
  // process gave itself), the link may change it alone.
  if (b.derived || comm.size() == kCommSize) {
    int err = 0;
    if (ReadLink(dir, PidLeaf(leaf, s.id, "exe"), err) != PathsOf(s.item).link) return Check::kChanged;
  }
  return Check::kSame;
}

void X11Processes::RecheckInTurn(int dir, std::int64_t now, bool mark) {
  const std::size_t n = slots_.size();
  if (n == 0) return;
  std::size_t budget = mark ? (n + kRecheckMarks - 1) / kRecheckMarks : 0;
  if (recheckMs_ != 0 && now > recheckMs_) {
    const auto due = (static_cast<std::int64_t>(n) * (now - recheckMs_) + kRecheckCycleMs - 1) / kRecheckCycleMs;
    budget = std::max(budget, static_cast<std::size_t>(std::min<std::int64_t>(due, static_cast<std::int64_t>(n))));
  }
  recheckMs_ = now;
  auto it = std::lower_bound(slots_.begin(), slots_.end(), recheckFrom_,
                             [](const Slot& s, ProcessId v) { return s.id < v; });
  for (std::size_t k = 0; k < std::min(budget, n); ++k) {
    if (it == slots_.end()) it = slots_.begin();
    const Slot& s = *it++;
    if (s.hidden || std::find(changed_.begin(), changed_.end(), s.id) != changed_.end()) continue;
    // One that ended is left to the next walk.
    if (Same(dir, s, false) != Check::kChanged) continue;
    changed_.push_back(s.id);
    ++imageChanges_;
  }
  recheckFrom_ = it == slots_.end() ? 0 : it->id;
}

const X11Processes::Slot* X11Processes::Find(ProcessId id) const {
  const auto it = std::lower_bound(slots_.begin(), slots_.end(), id, [](const Slot& s, ProcessId v) { return s.id < v; });
  return it != slots_.end() && it->id == id ? &*it : nullptr;
}

X11Processes::Slot* X11Processes::Find(ProcessId id) {
  return const_cast<Slot*>(std::as_const(*this).Find(id));
}

std::uint32_t X11Processes::Allocate() {
  if (free_.empty()) {
    const auto first = static_cast<std::uint32_t>(blocks_.size() * kBlock);
    blocks_.push_back(std::make_unique<Block>());
    for (std::size_t i = kBlock; i > 0; --i) free_.push_back(first + static_cast<std::uint32_t>(i - 1));
  }
  const std::uint32_t item = free_.back();
  free_.pop_back();
  return item;
}

void X11Processes::Store(std::uint32_t item, Fresh&& f) {
  Brief& b = blocks_[item / kBlock]->briefs[item % kBlock];
  b.parent = f.parent;
  b.threads = f.threads;
  b.comm.fill('\0');
  std::copy_n(f.comm.begin(), std::min(f.comm.size(), kCommSize), b.comm.begin());
  b.derived = f.name.size() != f.comm.size() || !std::equal(f.name.begin(), f.name.end(), f.comm.begin(), [](char16_t a, char c) {
    return a == static_cast<unsigned char>(c);
  });
  const std::size_t size = std::min(f.name.size(), platform::ProcessEntry::kMaxPath - 1);
  b.size = static_cast<std::uint16_t>(size);
  if (size <= Brief::kShortName) {
    std::copy_n(f.name.begin(), size, b.name.begin());
    f.paths.name.clear();
  } else {
    f.paths.name = std::move(f.name);
  }
  blocks_[item / kBlock]->paths[item % kBlock] = std::move(f.paths);
  Kept& kept = blocks_[item / kBlock]->kept[item % kBlock];
  g_keptFiles -= kept.Count();
  keptFiles_ -= kept.Count();
  kept = std::move(f.kept);
  g_keptFiles += kept.Count();
  keptFiles_ += kept.Count();
}

void X11Processes::Release(std::uint32_t item) {
  Kept& kept = blocks_[item / kBlock]->kept[item % kBlock];
  g_keptFiles -= kept.Count();
  keptFiles_ -= kept.Count();
  kept = Kept{};
  free_.push_back(item);
}

StringView X11Processes::NameOf(std::uint32_t item) const {
  const Brief& b = BriefOf(item);
  return b.size <= Brief::kShortName ? StringView(b.name.data(), b.size) : StringView(PathsOf(item).name);
}

void X11Processes::Log(const Pass& pass, ProcessId id) {
  if (pass.log) log_.emplace_back(++logged_, id);
}

bool X11Processes::Add(int dir, ProcessId id, std::uint64_t inode, const Pass& pass) {
  Fresh f;
  const Seen seen = Read(dir, id, f, true);
  if (seen == Seen::kGone) return false;
  const std::uint32_t item = Allocate();
  added_.push_back(Slot{id, item, inode, f.startMs, pass.walk, seen == Seen::kHidden});
  Store(item, std::move(f));
  if (seen == Seen::kLive) Log(pass, id);
  return true;
}

bool X11Processes::Reread(int dir, Slot& s, const Pass& pass) {
  Fresh f;
  Kept& kept = blocks_[s.item / kBlock]->kept[s.item % kBlock];
  // The kept descriptors may name an ended process: opened again.
  g_keptFiles -= kept.Count();
  keptFiles_ -= kept.Count();
  kept = Kept{};
  const Seen seen = Read(dir, s.id, f, true);
  if (seen == Seen::kGone) return false;
  const bool sameStart = f.startMs == s.startMs;
  if (seen == Seen::kLive &&
      (s.hidden || !sameStart || f.paths.link != PathsOf(s.item).link || f.name != NameOf(s.item))) {
    Log(pass, s.id);
    if (sameStart && !s.hidden) ++imageChanges_;  // an exec, wherever it was found
  }
  s.hidden = seen == Seen::kHidden;
  s.startMs = f.startMs;
  s.walk = pass.walk;
  Store(s.item, std::move(f));
  return true;
}

bool X11Processes::Validate(int dir, Slot& s, Pass& pass) {
  if (!s.hidden && s.startMs <= pass.youngAfter) {
    switch (Same(dir, s, true)) {
      case Check::kSame:
        s.walk = pass.walk;
        return true;
      case Check::kGone:
        return false;
      case Check::kChanged:
        break;
    }
  } else if (s.hidden) {
    // A zombie stays one and a kernel thread stays what it is: the folder's
    // inode tells that it is the same.
    s.walk = pass.walk;
    return true;
  }
  return Reread(dir, s, pass);
}

void X11Processes::ListFolder(int dir, Pass& pass) {
  if (listing_.empty()) listing_.resize(64 * 1024);
  lseek(dir, 0, SEEK_SET);
  std::size_t at = 0;  // /proc lists ids in ascending order: a cursor finds most
  ProcessId previous = 0;
  for (;;) {
    const ssize_t got = getdents64(dir, listing_.data(), listing_.size());
    if (got <= 0) break;
    for (ssize_t pos = 0; pos < got;) {
      const auto* de = reinterpret_cast<const dirent64*>(listing_.data() + pos);
      pos += de->d_reclen;
      const ProcessId id = ParsePid(de->d_name);
      if (id == 0) continue;
      if (id > previous) {
        while (at < slots_.size() && slots_[at].id < id) ++at;
      } else {  // another folder (tests) may list in any order
        at = static_cast<std::size_t>(
            std::lower_bound(slots_.begin(), slots_.end(), id, [](const Slot& s, ProcessId v) { return s.id < v; }) -
            slots_.begin());
      }
      previous = id;
      if (at == slots_.size() || slots_[at].id != id) {
        if (!Add(dir, id, de->d_ino, pass)) pass.exact = false;  // ended meanwhile
        continue;
      }
      Slot& s = slots_[at];
      if (de->d_ino == 0 || s.inode != de->d_ino) {
        // Another process, however alike.
        if (!Reread(dir, s, pass)) {
          pass.exact = false;
          continue;
        }
        if (!s.hidden) Log(pass, id);
        s.inode = de->d_ino;
      } else if (!Validate(dir, s, pass)) {
        pass.exact = false;  // ended meanwhile: not listed
      }
    }
  }
}

long X11Processes::ProbeIds(int dir, ProcessId after, ProcessId last,
                            std::vector<std::pair<ProcessId, std::uint64_t>>& ids) {
  ids.clear();
  std::vector<ProcessId> again;
  again.swap(late_);
  long alive = 0;
  char leaf[32];
  char status[512];
  const auto look = [&](ProcessId id, bool fresh) {
    struct stat st {};
    if (fstatat(dir, PidLeaf(leaf, id, ""), &st, 0) != 0) {  // ended, never ran, or not yet shown
      if (fresh) late_.push_back(id);
      return true;
    }
    if (ReadSmall(dir, PidLeaf(leaf, id, "status"), status, sizeof status) == 0) return true;
    const char* tgid = std::strstr(status, "\nTgid:");
    if (tgid == nullptr) return false;
    ++alive;
    // A thread's id opens a folder too, but the listing shows only processes.
    if (std::strtoul(tgid + 6, nullptr, 10) == id) ids.emplace_back(id, st.st_ino);
    return true;
  };
  // Looked up once more: a task is shown a moment after its id is taken.
  for (ProcessId id : again) {
    if ((id <= after || id > last) && !look(id, false)) return -1;
  }
  for (ProcessId id = after + 1; id <= last && id != 0; ++id) {
    if (!look(id, true)) return -1;
  }
  return alive;
}

bool X11Processes::Probe(int dir, const Load& load, std::vector<std::pair<ProcessId, std::uint64_t>>& ids) {
  if (load.last < base_->last || load.last - base_->last > kMaxProbes) return false;
  const long alive = ProbeIds(dir, base_->last, load.last, ids);
  std::erase_if(ids, [&](const auto& p) { return Find(p.first) != nullptr; });
  return alive >= 0 && base_->tasks + static_cast<std::uint64_t>(alive) == load.tasks;
}

void X11Processes::ReadProbed(int dir, Pass& pass) {
  // No task ended, so every cached id still names its process.
  for (const auto& [id, inode] : probed_) {
    if (!Add(dir, id, inode, pass)) pass.exact = false;
  }
  for (Slot& s : slots_) {
    if (!Validate(dir, s, pass)) pass.exact = false;
  }
}

void X11Processes::Walk(const Visitor& visit) {
  std::uint64_t all = 0;
  WalkChanged(all, visit);
}

void X11Processes::FullPass(int dir, const Load& load, Pass& pass, bool outer) {
  if (pass.exact && base_ && pass.now - listedMs_ < kFullListingMs && pass.now - baseMs_ < wrapMs_ &&
      Probe(dir, load, probed_)) {
    ReadProbed(dir, pass);
  } else {
    ListFolder(dir, pass);
    late_.clear();
    ++listings_;
    listedMs_ = pass.now;
  }
  // Every entry was checked: what the checks in turn found is read.
  changed_.clear();
  Update(pass.walk, outer);
  recent_.clear();
  std::size_t listed = 0;
  for (const Slot& s : slots_) {
    if (s.walk != pass.walk) continue;
    ++listed;
    if (!s.hidden && s.startMs > pass.youngAfter) recent_.push_back(s.id);
  }
  if (pass.exact && listed == slots_.size()) {
    base_ = load;
    baseMs_ = pass.now;
  } else {
    base_.reset();
  }
}

bool X11Processes::LightPass(int dir, const Load& load, Pass& pass, bool outer) {
  // The processes among the new ids, and ids taken again by another process.
  if (ProbeIds(dir, *seenLast_, load.last, probed_) < 0) return false;
  for (const auto& [id, inode] : probed_) {
    if (Slot* s = Find(id)) {
      if (s->inode != inode && Reread(dir, *s, pass)) {
        s->inode = inode;
        if (!s->hidden) Log(pass, id);  // another process, however alike
      }
      continue;
    }
    Add(dir, id, inode, pass);
  }
  bool ended = false;
  const auto reread = [&](Slot& s) {
    if (!Reread(dir, s, pass)) {
      s.walk = 0;
      ended = true;
    }
  };
  // The young of the latest walk, still young or not (an exec ChangeMark
  // saw is read here), and the next entries in turn.
  for (ProcessId id : recent_) {
    Slot* s = Find(id);
    if (s == nullptr || s->walk == pass.walk || s->hidden) continue;
    switch (Same(dir, *s, false)) {
      case Check::kSame:
        break;
      case Check::kGone:
        s->walk = 0;
        ended = true;
        break;
      case Check::kChanged:
        reread(*s);
        break;
    }
  }
  // By the time since the latest checks only: a mark has just checked its
  // share when the block timer walks.
  RecheckInTurn(dir, pass.now, false);
  for (ProcessId id : changed_) {
    Slot* s = Find(id);
    if (s != nullptr && s->walk != pass.walk && s->walk != 0) reread(*s);
  }
  changed_.clear();
  // Only the outermost walk frees entries: an outer one may be visiting them.
  if (ended && outer) {
    std::erase_if(slots_, [&](const Slot& s) {
      if (s.walk != 0) return false;
      Release(s.item);
      return true;
    });
  }
  Update(pass.walk, false);
  std::erase_if(recent_, [&](ProcessId id) {
    const Slot* s = Find(id);
    return s == nullptr || s->hidden || s->startMs <= pass.youngAfter;
  });
  for (const Slot& s : added_) {
    if (!s.hidden && s.startMs > pass.youngAfter) recent_.push_back(s.id);
  }
  return true;
}

bool X11Processes::ListChanged(int dir, std::uint64_t since, Pass& pass,
                               std::vector<std::pair<ProcessId, std::uint32_t>>& list) {
  if (since == 0 || since < floor_ || since > logged_) return false;
  std::vector<ProcessId> ids;
  for (auto it = log_.rbegin(); it != log_.rend() && it->first > since; ++it) ids.push_back(it->second);
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  for (ProcessId id : ids) {
    Slot* known = Find(id);
    if (known == nullptr) continue;  // ended
    Slot& s = *known;
    // Found by an earlier walk: still there, and as it was?
    if (s.walk != pass.walk && !Reread(dir, s, pass)) continue;
    if (!s.hidden) list.emplace_back(s.id, s.item);
  }
  return true;
}

void X11Processes::WalkChanged(std::uint64_t& since, const Visitor& visit) {
  const int dir = Dir();
  if (dir < 0) return;
  Pass pass;
  pass.walk = ++walks_;
  pass.now = MonotonicMs();
  pass.youngAfter = BootMs() - kYoungMs;
  const bool outer = ++walkDepth_ == 1;
  if (visits_.size() < static_cast<std::size_t>(walkDepth_)) {
    visits_.push_back(std::make_unique<Visit>());
  }
  // The oldest half of a long log goes: a caller that has not walked since
  // then walks all.
  if (log_.size() > kMaxLog) {
    const auto cut = log_.begin() + static_cast<std::ptrdiff_t>(log_.size() - kMaxLog / 2);
    floor_ = std::prev(cut)->first;
    log_.erase(log_.begin(), cut);
  }
  // Everything is read before the visitor runs: a walk inside the visitor
  // may reuse the buffers, and re-reads entries in place, but frees none
  // (the outermost full walk drops what ended).
  Load load;
  const bool loaded = ReadLoad(load);
  pass.exact = loaded;
  pass.log = !slots_.empty();
  added_.clear();
  const bool light = since != 0 && since >= floor_ && since <= logged_ && pass.exact && !slots_.empty() && seenLast_ &&
                     load.last >= *seenLast_ && load.last - *seenLast_ <= kMaxProbes && pass.now - seenMs_ < wrapMs_;
  if (!light || !LightPass(dir, load, pass, outer)) FullPass(dir, load, pass, outer);
  if (!pass.log) floor_ = ++logged_;
  if (loaded) {
    seenLast_ = load.last;
  } else {
    seenLast_.reset();
  }
  seenMs_ = pass.now;
  young_ = recent_;

  Visit& v = *visits_[static_cast<std::size_t>(walkDepth_ - 1)];
  auto& list = v.items;
  list.clear();
  if (!ListChanged(dir, since, pass, list)) {
    for (const Slot& s : slots_) {
      if (s.walk == pass.walk && !s.hidden) list.emplace_back(s.id, s.item);
    }
  }
  since = logged_;
  for (const auto& [id, item] : list) {
    const Brief& b = BriefOf(item);
    v.entry.th32ProcessID = id;
    v.entry.th32ParentProcessID = b.parent;
    v.entry.cntThreads = b.threads;
    v.entry.SetExeFile(NameOf(item));
    if (!visit(v.entry)) break;
  }
  --walkDepth_;
}

void X11Processes::Update(std::uint64_t walk, bool outer) {
  if (outer) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < slots_.size(); ++i) {
      if (slots_[i].walk != walk) {
        Release(slots_[i].item);
        continue;
      }
      if (kept != i) slots_[kept] = slots_[i];
      ++kept;
    }
    slots_.resize(kept);
  }
  if (added_.empty()) return;
  const auto byId = [](const Slot& a, const Slot& b) { return a.id < b.id; };
  if (!std::is_sorted(added_.begin(), added_.end(), byId)) std::sort(added_.begin(), added_.end(), byId);
  const auto mid = static_cast<std::ptrdiff_t>(slots_.size());
  slots_.insert(slots_.end(), added_.begin(), added_.end());
  // New ids come after the known ones until the kernel's ids wrap around.
  if (mid > 0 && slots_[static_cast<std::size_t>(mid)].id < slots_[static_cast<std::size_t>(mid) - 1].id) {
    std::inplace_merge(slots_.begin(), slots_.begin() + mid, slots_.end(), byId);
  }
}

bool X11Processes::ReadLoad(Load& load) {
  if (loadavg_ < 0) return false;
  char buf[128];
  const ssize_t n = pread(loadavg_, buf, sizeof buf - 1, 0);
  if (n <= 0) return false;
  buf[n] = '\0';
  // "0.00 0.01 0.05 1/123 4567": tasks after the slash, the last id last.
  const char* slash = std::strchr(buf, '/');
  const char* space = std::strrchr(buf, ' ');
  if (slash == nullptr || space == nullptr || space < slash) return false;
  // Read here rather than with strtoul, whose locale tables are one more
  // thing a tick would bring into the cache.
  const auto number = [](const char* p) {
    std::uint64_t value = 0;
    for (; *p >= '0' && *p <= '9'; ++p) value = value * 10 + static_cast<std::uint64_t>(*p - '0');
    return value;
  };
  load.tasks = number(slash + 1);
  load.last = static_cast<std::uint32_t>(number(space + 1));
  return load.last != 0;
}

std::uint64_t X11Processes::ChangeMark() {
  Load load;
  if (!ReadLoad(load) || !late_.empty()) return (++unreadableMarks_) << 32;
  const int dir = Dir();
  if (dir < 0) return (++unreadableMarks_) << 32;
  if (!young_.empty()) {
    const std::int64_t youngAfter = BootMs() - kYoungMs;
    std::erase_if(young_, [&](ProcessId id) {
      const Slot* s = Find(id);
      if (s == nullptr || s->startMs <= youngAfter) return true;
      if (Same(dir, *s, false) != Check::kChanged) return false;
      ++imageChanges_;
      changed_.push_back(id);
      return true;  // the next walk reads it again anyway
    });
  }
  RecheckInTurn(dir, MonotonicMs(), true);
  return (imageChanges_ << 32) | load.last;
}

String X11Processes::ExecutablePath(ProcessId id) {
  if (id == 0) return {};
  const int dir = Dir();
  Fresh f;
  if (dir < 0 || Read(dir, id, f) != Seen::kLive) return {};
  return std::move(f.paths.path);
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
  const int dir = Dir();
  if (id == 0 || dir < 0) return 0;
  char leaf[32];
  char stat[1024];
  if (ReadSmall(dir, PidLeaf(leaf, id, "stat"), stat, sizeof stat) == 0) return 0;
  const char* close = std::strrchr(stat, ')');
  if (close == nullptr) return 0;
  // After ") ": the state (field 3), then fields 4 to 22.
  const char* p = close + 1;
  while (*p == ' ') ++p;
  const char state = *p;
  if (state == 'X' || state == 'x' || state == '\0') return 0;
  for (int field = 3; field < 22; ++field) {
    while (*p != '\0' && *p != ' ') ++p;
    while (*p == ' ') ++p;
    if (*p == '\0') return 0;
    // A zombie has one thread: a Z leader with more runs (its own thread
    // ended, the others did not).
    if (field == 19 && state == 'Z' && std::strtoull(p, nullptr, 10) <= 1) return 0;
  }
  char* end = nullptr;
  const unsigned long long ticks = std::strtoull(p, &end, 10);
  if (end == p) return 0;
  return static_cast<std::uint64_t>(ticks) + 1;
}

platform::ProcessIdentity X11Processes::Identify(ProcessId id) {
  const int dir = Dir();
  Fresh f;
  if (id == 0 || dir < 0 || Read(dir, id, f) != Seen::kLive) return {};
  // Read again last: the id must still name the process that was read.
  const std::uint64_t started = f.startTicks + 1;
  if (StartTime(id) != started) return {};
  return {.id = id, .started = started, .name = std::move(f.name), .path = std::move(f.paths.path)};
}

ProcessId X11Processes::CurrentProcess() { return static_cast<ProcessId>(getpid()); }

namespace {

// Whether a window's WM_CLIENT_MACHINE names this host (the machine its
// client runs on, by the client's word).
bool OnThisHost(Display* dpy, Window w, Atom property) {
  Atom type = 0;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::string machine;
  if (XGetWindowProperty(dpy, w, property, 0, 256, False, AnyPropertyType, &type, &format, &count, &after, &data) ==
          Success &&
      data != nullptr && format == 8) {
    machine.assign(reinterpret_cast<const char*>(data), count);
  }
  if (data != nullptr) XFree(data);
  while (!machine.empty() && machine.back() == '\0') machine.pop_back();
  if (machine.empty()) return false;
  const auto same = [&](std::string_view host) {
    return !host.empty() && host.size() == machine.size() &&
           std::equal(host.begin(), host.end(), machine.begin(),
                      [](char a, char b) { return (a | 0x20) == (b | 0x20); });
  };
  char host[256] = {};
  if (gethostname(host, sizeof host - 1) == 0 && same(host)) return true;
  utsname names{};
  return uname(&names) == 0 && same(names.nodename);
}

}  // namespace

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
  // The client's own word, which names a process on its machine: only
  // when that machine is this one.
  if (!OnThisHost(dpy, w, x_->GetAtom("WM_CLIENT_MACHINE"))) return 0;
  std::vector<unsigned long> pid;
  x_->ReadLongs(w, x_->GetAtom("_NET_WM_PID"), XA_CARDINAL, pid);
  if (!pid.empty() && pid[0] > 0 && pid[0] <= std::numeric_limits<ProcessId>::max()) {
    return static_cast<ProcessId>(pid[0]);
  }
  return 0;
}

}  // namespace pd::x11
