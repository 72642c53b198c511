// The Linux process port on the real /proc and on fake /proc trees.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <sched.h>
#include <signal.h>
#include <time.h>

#include <chrono>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <thread>

#include "X11TestUtil.h"
#include "contract/ProcessesContract.h"
#include "platform/x11/connection.h"
#include "platform/x11/processes.h"
#include "test_util.h"

// Xlib last: its macros (None, Status, Bool) stay out of the headers above.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace fs = std::filesystem;

namespace pd::x11 {
namespace {

using test::Child;
using test::ExeFileOf;
using test::FindInWalk;
using test::TempFolder;

// A copy of /bin/sleep under a name of the test's own.
fs::path CopySleep(const TempFolder& folder, const std::string& name) {
  const fs::path exe = folder.Path() / name;
  fs::copy_file("/bin/sleep", exe);
  fs::permissions(exe, fs::perms::owner_all);
  return exe;
}

TEST(X11Processes, WalkListsAChildWithNameAndPathAndTerminateEndsIt) {
  TempFolder folder;
  const fs::path exe = CopySleep(folder, "pd-sleeper");
  Child child({exe.string(), "30"});
  ASSERT_GT(child.Pid(), 0);

  X11Processes procs;
  auto entry = FindInWalk(procs, child.Id());
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(ExeFileOf(*entry), u"pd-sleeper");
  EXPECT_EQ(entry->th32ParentProcessID, static_cast<std::uint32_t>(getpid()));
  EXPECT_GE(entry->cntThreads, 1u);
  EXPECT_EQ(procs.ExecutablePath(child.Id()), exe.u16string());

  EXPECT_TRUE(procs.Terminate(child.Id()));
  const int status = child.Reap();
  ASSERT_TRUE(WIFSIGNALED(status));
  EXPECT_EQ(WTERMSIG(status), SIGKILL);
  EXPECT_FALSE(FindInWalk(procs, child.Id()).has_value());
  EXPECT_EQ(procs.ExecutablePath(child.Id()), u"");
  EXPECT_FALSE(procs.Terminate(child.Id()));
}

TEST(X11Processes, DeletedExecutableKeepsItsNameAndThePathSaysDeleted) {
  TempFolder folder;
  const fs::path exe = CopySleep(folder, "pd-deleted");
  Child child({exe.string(), "30"});
  ASSERT_GT(child.Pid(), 0);
  fs::remove(exe);

  X11Processes procs;
  auto entry = FindInWalk(procs, child.Id());
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(ExeFileOf(*entry), u"pd-deleted");
  // Not the bare path: a new file put there is not this process's file.
  EXPECT_EQ(procs.ExecutablePath(child.Id()), exe.u16string() + u" (deleted)");
}

// The checks run in a child of their own process group and, where the test
// may create one, in a pid namespace of their own: a missing guard then
// kills only processes made for the test, and the test sees it.
int TerminateGuardWorker(bool negatives) {
  X11Processes procs;
  int bad = 0;
  if (procs.Terminate(0)) bad |= 1;
  if (procs.Terminate(1)) bad |= 2;
  if (procs.Terminate(static_cast<ProcessId>(getpid()))) bad |= 4;
  if (negatives) {
    if (procs.Terminate(0xFFFFFFFFu)) bad |= 8;  // kill(-1): every process
    if (procs.Terminate(0x80000000u)) bad |= 16;
  }
  return bad;
}

int TerminateGuardSupervisor(bool negatives) {
  const pid_t victim = fork();
  if (victim == 0) {
    for (;;) pause();
  }
  const pid_t worker = fork();
  if (worker == 0) _exit(TerminateGuardWorker(negatives));
  int status = 0;
  waitpid(worker, &status, 0);
  int result = WIFEXITED(status) ? WEXITSTATUS(status) : 64;
  timespec pause{0, 20'000'000};
  nanosleep(&pause, nullptr);
  if (waitpid(victim, &status, WNOHANG) != 0) result |= 32;  // the bystander died
  kill(victim, SIGKILL);
  waitpid(victim, &status, 0);
  return result;
}

TEST(X11Processes, TerminateRefusesIdsZeroOneOwnAndThoseThatTurnNegative) {
  const pid_t child = fork();
  if (child == 0) {
    setpgid(0, 0);
    if (unshare(CLONE_NEWPID) == 0) {
      const pid_t init = fork();  // pid 1 of the new namespace
      if (init == 0) _exit(TerminateGuardSupervisor(true));
      int status = 0;
      waitpid(init, &status, 0);
      _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 65);
    }
    _exit(TerminateGuardSupervisor(false) == 0 ? 100 : 66);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the test's process group was signalled";
  if (WEXITSTATUS(status) == 100) {
    GTEST_SKIP() << "ids 0, 1 and own refused; ids that turn negative not tried: no pid namespace (needs root)";
  }
  EXPECT_EQ(WEXITSTATUS(status), 0) << "bit mask of the ids that were signalled";
}

TEST(X11Processes, OwnIdAndNoWindowOwnerWithoutDisplay) {
  X11Processes procs;
  EXPECT_EQ(procs.CurrentProcess(), static_cast<ProcessId>(getpid()));
  EXPECT_EQ(procs.WindowOwner(0), 0u);
  EXPECT_EQ(procs.WindowOwner(0x400001), 0u);
  EXPECT_EQ(procs.ExecutablePath(0), u"");
}

// ---- A fake /proc ------------------------------------------------------------------

// One process of a fake /proc: what its folder's files say.
struct FakeTask {
  int pid = 0;
  std::string comm;
  std::string exe;  // the exe link's target; none when empty
  unsigned long long startTicks = 100;
  std::string cmdline;  // NUL-separated
  char state = 'S';
  int ppid = 1;
  unsigned long flags = 0x400100;  // field 9; 0x200000 marks a kernel thread
  std::string environ;             // NUL-separated
  std::string cwd;                 // the cwd link's target; none when empty
};

class FakeProc {
 public:
  [[nodiscard]] std::string Root() const { return folder_.Path().string(); }

  // A process folder with stat, comm, exe link (when exe is not empty) and
  // cmdline. startTicks is in clock ticks after boot.
  void Add(int pid, const std::string& comm, const std::string& exe, unsigned long long startTicks = 100,
           const std::string& cmdline = {}) {
    Add(FakeTask{.pid = pid, .comm = comm, .exe = exe, .startTicks = startTicks, .cmdline = cmdline});
  }
  void Add(const FakeTask& task) {
    const fs::path staging = folder_.Path() / (".new" + std::to_string(task.pid));
    fs::create_directories(staging);
    WriteStat(staging, task);
    std::ofstream(staging / "status") << "Name:\t" << task.comm << "\nUmask:\t0022\nState:\t" << task.state
                                      << " (sleeping)\nTgid:\t" << task.pid << "\nNgid:\t0\nPid:\t" << task.pid
                                      << '\n';
    if (!task.exe.empty()) fs::create_symlink(task.exe, staging / "exe");
    if (!task.cwd.empty()) fs::create_symlink(task.cwd, staging / "cwd");
    std::ofstream(staging / "cmdline") << task.cmdline << '\0';
    std::ofstream(staging / "environ") << task.environ;
    // Built beside and moved in, so that a reused id gets a new folder
    // (with a new inode), as in /proc.
    const fs::path dir = folder_.Path() / std::to_string(task.pid);
    fs::remove_all(dir);
    fs::rename(staging, dir);
    tasks_[task.pid] = task;
  }
  void Remove(int pid) {
    fs::remove_all(folder_.Path() / std::to_string(pid));
    tasks_.erase(pid);
  }
  // The kernel's count of ids handed out, as loadavg's last field.
  void SetLastPid(int pid, int tasks = 123) {
    std::ofstream(folder_.Path() / "loadavg") << "0.00 0.01 0.05 1/" << tasks << ' ' << pid << '\n';
  }
  // The process replaces its executable (exec): same folder, same start, a
  // new exe link, and comm the new file's base name cut at 15 bytes, as
  // the kernel sets it (argv as given).
  // comm, where given, is what the process set for itself.
  void Exec(int pid, const std::string& exe, const std::string& cmdline = {}, const std::string& comm = {}) {
    FakeTask& task = tasks_.at(pid);
    const fs::path dir = folder_.Path() / std::to_string(pid);
    fs::remove(dir / "exe");
    fs::create_symlink(exe, dir / "exe");
    task.exe = exe;
    task.comm = comm.empty() ? fs::path(exe).filename().string().substr(0, 15) : comm;
    task.cmdline = cmdline;
    std::ofstream(dir / "cmdline") << cmdline << '\0';
    WriteStat(dir, task);
  }
  // The process ends; its parent has not reaped it.
  void Zombie(int pid) {
    FakeTask& task = tasks_.at(pid);
    const fs::path dir = folder_.Path() / std::to_string(pid);
    fs::remove(dir / "exe");
    task.state = 'Z';
    WriteStat(dir, task);
  }
  // The program's own id, as "self" names it.
  void SetSelf(int pid) { fs::create_symlink(std::to_string(pid), folder_.Path() / "self"); }

 private:
  static void WriteStat(const fs::path& dir, const FakeTask& t) {
    std::ofstream(dir / "stat") << t.pid << " (" << t.comm << ") " << t.state << ' ' << t.ppid << ' ' << t.pid << ' '
                                << t.pid << " 0 -1 " << t.flags << " 0 0 0 0 0 0 0 0 20 0 " << (t.state == 'Z' ? 1 : 3) << " 0 " << t.startTicks
                                << " 1000 10 18446744073709551615 0 0\n";
    std::ofstream(dir / "comm") << t.comm << '\n';
    // No memory once it has ended, as for a kernel thread.
    const bool none = t.state == 'Z' || (t.flags & 0x200000) != 0;
    std::ofstream(dir / "statm") << (none ? "0 0 0 0 0 0 0\n" : "586 121 97 1 0 56 0\n");
  }

  TempFolder folder_;
  std::map<int, FakeTask> tasks_;
};

unsigned long long TicksNow() {
  timespec ts{};
  clock_gettime(CLOCK_BOOTTIME, &ts);
  const auto hz = static_cast<unsigned long long>(sysconf(_SC_CLK_TCK));
  const auto ns = static_cast<unsigned long long>(ts.tv_nsec);
  return static_cast<unsigned long long>(ts.tv_sec) * hz + ns * hz / 1'000'000'000ULL;
}

// The contract on a fake /proc whose ids are handed out in turn and wrap
// around within 60, with loadavg kept in step. A lasting process started
// at boot; the others start in the future, so that they stay young for the
// whole test and their execs are always seen.
class FakeDriver final : public test::ProcessesDriver {
 public:
  FakeDriver() {
    Load();  // before the backend opens it
    procs_ = std::make_unique<X11Processes>(proc_.Root());
  }
  platform::Processes& Procs() override { return *procs_; }
  ProcessId Start(const std::string& name, bool lasting) override {
    Take();
    const auto hz = static_cast<unsigned long long>(sysconf(_SC_CLK_TCK));
    proc_.Add(last_, name, "/usr/bin/" + name, lasting ? 100 : TicksNow() + 60 * hz);
    live_.insert(last_);
    Load();
    return static_cast<ProcessId>(last_);
  }
  void End(ProcessId id) override {
    proc_.Remove(static_cast<int>(id));
    live_.erase(static_cast<int>(id));
    Load();
  }
  void Exec(ProcessId id, const std::string& name) override { proc_.Exec(static_cast<int>(id), "/opt/" + name); }
  void EndUnreaped(ProcessId id) override { proc_.Zombie(static_cast<int>(id)); }
  void Churn() override {
    Take();
    Load();
  }

 private:
  static constexpr int kMaxId = 60;
  void Take() {
    do {
      last_ = last_ % kMaxId + 1;
    } while (last_ < 2 || live_.contains(last_));
  }
  void Load() { proc_.SetLastPid(last_, static_cast<int>(live_.size())); }

  FakeProc proc_;
  std::unique_ptr<X11Processes> procs_;
  std::set<int> live_;
  int last_ = 1;
};

using test::ProcessesContract;
INSTANTIATE_TEST_SUITE_P(X11, ProcessesContract,
                         testing::Values(test::ProcessesBackend{"x11 on a fake /proc",
                                                                [] { return std::make_unique<FakeDriver>(); }, true}));

std::vector<std::pair<ProcessId, String>> List(X11Processes& procs) {
  std::vector<std::pair<ProcessId, String>> out;
  procs.Walk([&](const platform::ProcessEntry& e) {
    out.emplace_back(e.th32ProcessID, ExeFileOf(e));
    return true;
  });
  return out;
}

using Listing = std::vector<std::pair<ProcessId, String>>;

TEST(X11ProcessesCache, WalkReadsOnlyIdsItHasNotSeen) {
  FakeProc proc;
  proc.Add(100, "alpha", "/usr/bin/alpha");
  proc.Add(200, "beta", "/opt/beta/beta-bin");
  fs::create_directories(fs::path(proc.Root()) / "self");
  fs::create_directories(fs::path(proc.Root()) / "sys");
  X11Processes procs(proc.Root());

  EXPECT_EQ(List(procs), (Listing{{100, u"alpha"}, {200, u"beta-bin"}}));
  EXPECT_EQ(procs.Reads(), 2u);
  EXPECT_EQ(List(procs), (Listing{{100, u"alpha"}, {200, u"beta-bin"}}));
  EXPECT_EQ(procs.Reads(), 2u) << "a second walk only checks";
  EXPECT_EQ(procs.Checks(), 2u);

  proc.Add(300, "gamma", "/usr/bin/gamma");
  EXPECT_EQ(List(procs).size(), 3u);
  EXPECT_EQ(procs.Reads(), 3u) << "only the new id is read";
  EXPECT_EQ(procs.ExecutablePath(300), u"/usr/bin/gamma");
  EXPECT_EQ(procs.Reads(), 4u) << "the path is read at the call, not taken from the walk";
}

TEST(X11ProcessesCache, EndedProcessLeavesTheCacheAndAReusedIdIsReadAgain) {
  FakeProc proc;
  proc.Add(100, "alpha", "/usr/bin/alpha", 100);
  proc.Add(200, "beta", "/usr/bin/beta", 100);
  X11Processes procs(proc.Root());
  List(procs);

  proc.Remove(200);
  EXPECT_EQ(List(procs), (Listing{{100, u"alpha"}}));
  EXPECT_EQ(procs.CachedCount(), 1u);

  proc.Add(100, "omega", "/usr/bin/omega", 5000);  // id 100 now names another process
  EXPECT_EQ(List(procs), (Listing{{100, u"omega"}}));
  EXPECT_EQ(procs.ExecutablePath(100), u"/usr/bin/omega");
}

TEST(X11ProcessesCache, YoungProcessIsReadAtEveryWalkSoItsExecIsSeen) {
  FakeProc proc;
  proc.Add(100, "old", "/usr/bin/old", 100);
  proc.Add(400, "sh", "/bin/sh", TicksNow());  // just forked by a shell
  X11Processes procs(proc.Root());
  EXPECT_EQ(List(procs), (Listing{{100, u"old"}, {400, u"sh"}}));

  proc.Exec(400, "/usr/bin/blocked-app");
  EXPECT_EQ(List(procs), (Listing{{100, u"old"}, {400, u"blocked-app"}}));
  EXPECT_EQ(procs.Reads(), 3u) << "only the young process is read again";
}

// The mark moves with a fork (loadavg's last id), with the exec of a young
// process at once, and with the exec of an old one within kRecheckMarks
// marks (each checks a share of the old entries in turn); it stays put
// otherwise, so a caller may skip its walk.
TEST(X11ProcessesCache, ChangeMarkMovesWithAStartAndWithAnExecOfAnyAge) {
  FakeProc proc;
  for (int pid = 100; pid < 300; ++pid) proc.Add(pid, "old", "/usr/bin/old", 100);
  proc.Add(400, "sh", "/bin/sh", TicksNow());
  proc.SetLastPid(400);
  X11Processes procs(proc.Root());
  List(procs);
  const std::uint64_t quiet = procs.ChangeMark();
  for (std::size_t i = 0; i < 2 * X11Processes::kRecheckMarks; ++i) ASSERT_EQ(procs.ChangeMark(), quiet);

  proc.Exec(400, "/usr/bin/blocked-app");
  const std::uint64_t exec = procs.ChangeMark();
  EXPECT_NE(exec, quiet);
  EXPECT_EQ(procs.ChangeMark(), exec);

  for (const int pid : {150, 299, 100}) {
    const std::uint64_t before = procs.ChangeMark();
    proc.Exec(pid, "/usr/bin/late-" + std::to_string(pid));
    std::size_t marks = 1;
    while (marks <= X11Processes::kRecheckMarks && procs.ChangeMark() == before) ++marks;
    EXPECT_LE(marks, X11Processes::kRecheckMarks) << "pid " << pid;
  }
  const std::uint64_t settled = procs.ChangeMark();
  proc.SetLastPid(401);
  const std::uint64_t started = procs.ChangeMark();
  EXPECT_NE(started, settled);
  EXPECT_EQ(started & 0xFFFFFFFFU, 401U);

  // Without loadavg nothing can be told: every mark is new.
  FakeProc bare;
  X11Processes blind(bare.Root());
  EXPECT_NE(blind.ChangeMark(), blind.ChangeMark());
}

// After a start the changed walk looks up the new id alone: no listing,
// one read, the old entries left as they are. A task whose folder shows a
// moment after its id was taken keeps the mark moving until a walk has
// looked it up again, and that walk lists it.
TEST(X11ProcessesCache, ChangedWalkReadsTheNewIdsAloneAndLooksAgainForALateOne) {
  FakeProc proc;
  for (int pid = 100; pid < 140; ++pid) proc.Add(pid, "old" + std::to_string(pid), "/usr/bin/old", 100);
  proc.SetLastPid(139, 40);
  X11Processes procs(proc.Root());
  std::uint64_t since = 0;
  const auto changed = [&] {
    Listing out;
    procs.WalkChanged(since, [&](const platform::ProcessEntry& e) {
      out.emplace_back(e.th32ProcessID, ExeFileOf(e));
      return true;
    });
    return out;
  };
  EXPECT_EQ(changed().size(), 40U);
  const std::uint64_t reads = procs.Reads();
  const std::uint64_t listings = procs.Listings();

  proc.Add(141, "new", "/usr/bin/new", TicksNow());
  proc.SetLastPid(141, 41);  // 140: a thread that has ended
  EXPECT_EQ(changed(), (Listing{{141, u"new"}}));
  EXPECT_EQ(procs.Reads(), reads + 1);
  EXPECT_EQ(procs.Listings(), listings);

  proc.SetLastPid(142, 42);  // taken, not shown yet
  EXPECT_EQ(changed(), (Listing{}));
  const std::uint64_t mark = procs.ChangeMark();
  EXPECT_NE(procs.ChangeMark(), mark) << "looked up again at the next walk";
  proc.Add(142, "late", "/usr/bin/late", TicksNow());
  EXPECT_EQ(changed(), (Listing{{142, u"late"}}));
  EXPECT_EQ(procs.Listings(), listings);
  const std::uint64_t quiet = procs.ChangeMark();
  EXPECT_EQ(procs.ChangeMark(), quiet);
}

TEST(X11ProcessesCache, NameFallsBackToCommWhenTheExeLinkIsAbsent) {
  FakeProc proc;
  proc.Add(2, "kthreadd", "");
  proc.Add(500, "gnome-terminal-", "", 100, "/usr/libexec/gnome-terminal-server\0--app-id");
  proc.Add(501, "abcdefghijklmno", "", 100, "/usr/bin/unrelated");
  proc.Add(600, "sleep", "/tmp/x/pd sleeper (deleted)");
  X11Processes procs(proc.Root());
  EXPECT_EQ(List(procs), (Listing{{500, u"gnome-terminal-server"},
                                  {501, u"abcdefghijklmno"},
                                  {600, u"pd sleeper"}}));
  EXPECT_EQ(procs.ExecutablePath(2), u"");
  EXPECT_EQ(procs.ExecutablePath(600), u"/tmp/x/pd sleeper (deleted)");
}

TEST(X11ProcessesCache, CommWithSpacesAndParenthesesIsParsed) {
  FakeProc proc;
  proc.Add(700, "odd ) (name", "");
  X11Processes procs(proc.Root());
  EXPECT_EQ(List(procs), (Listing{{700, u"odd ) (name"}}));
}

TEST(X11ProcessesCache, FolderWithoutStatIsSkippedAndAMissingRootListsNothing) {
  FakeProc proc;
  fs::create_directories(fs::path(proc.Root()) / "800");  // ended while listed
  proc.Add(900, "ok", "/bin/ok");
  X11Processes procs(proc.Root());
  EXPECT_EQ(List(procs), (Listing{{900, u"ok"}}));

  X11Processes none(proc.Root() + "/missing");
  EXPECT_TRUE(List(none).empty());
}

TEST(X11ProcessesCache, VisitorMayWalkAgainAndStopEarly) {
  FakeProc proc;
  proc.Add(100, "a", "/bin/a");
  proc.Add(200, "b", "/bin/b");
  X11Processes procs(proc.Root());
  int outer = 0;
  procs.Walk([&](const platform::ProcessEntry&) {
    ++outer;
    EXPECT_EQ(List(procs).size(), 2u);
    return false;
  });
  EXPECT_EQ(outer, 1);
}

// Random starts, ends, short threads and execs of young processes, with ids
// handed out as the kernel does (in turn, wrapping around, so that ids are
// reused) and loadavg kept in step, and walks inside a visitor that
// meanwhile sees other starts and ends: every walk lists what a fresh
// reader of the same tree lists, the outer walk's entries stay as they were
// listed, and walks after starts alone do without a listing.
TEST(X11ProcessesCache, KeptWalkListsWhatAFreshReadListsAfterRandomChanges) {
  constexpr int kMaxId = 60;
  FakeProc proc;
  proc.SetLastPid(1, 0);
  X11Processes kept(proc.Root());
  std::mt19937 rng(20240607);
  std::map<int, bool> live;  // id -> young
  int last = 1;              // the id handed out last
  std::uint64_t walks = 0;
  const auto load = [&] { proc.SetLastPid(last, static_cast<int>(live.size())); };
  const auto walk = [&] {
    ++walks;
    return List(kept);
  };
  const auto fresh = [&] {
    X11Processes reader(proc.Root());
    return List(reader);
  };
  const auto start = [&] {
    do {
      last = last % kMaxId + 1;
    } while (last < 2 || live.contains(last));
    const bool young = rng() % 2 == 0;
    proc.Add(last, "p" + std::to_string(rng() % 1000), "/bin/e" + std::to_string(rng() % 1000),
             young ? TicksNow() : 100);
    live[last] = young;
  };
  for (int round = 0; round < 80; ++round) {
    for (int change = static_cast<int>(rng() % 4); change > 0; --change) {
      const auto pick = std::next(live.begin(), live.empty() ? 0 : static_cast<long>(rng() % live.size()));
      const int op = static_cast<int>(rng() % 6);
      if (op < 2 || pick == live.end()) {
        if (live.size() < kMaxId / 2) start();
      } else if (op == 2) {
        proc.Remove(pick->first);
        live.erase(pick);
      } else if (op == 3) {
        last = last % kMaxId + 1;  // a thread that has ended again
      } else {  // young or old
        proc.Exec(pick->first, "/usr/bin/x" + std::to_string(rng() % 1000));
      }
    }
    load();
    const Listing expected = fresh();
    if (round % 4 != 3) {
      EXPECT_EQ(walk(), expected) << "round " << round;
    } else {
      Listing outer;
      Listing inner;
      Listing after;
      ++walks;
      kept.Walk([&](const platform::ProcessEntry& e) {
        if (outer.empty()) {
          if (live.size() > 3) {
            const auto gone = std::prev(live.end(), 2);
            proc.Remove(gone->first);
            live.erase(gone);
            load();
            walk();
          }
          start();
          load();
          inner = walk();
          after = fresh();
        }
        outer.emplace_back(e.th32ProcessID, ExeFileOf(e));
        return true;
      });
      EXPECT_EQ(outer, expected) << "round " << round;
      EXPECT_EQ(inner, after) << "round " << round;
    }
    EXPECT_EQ(walk(), fresh()) << "round " << round;
    EXPECT_EQ(kept.CachedCount(), live.size());
  }
  EXPECT_GT(kept.Listings(), walks / 8) << kept.Listings() << " of " << walks << " walks";
  EXPECT_LT(kept.Listings(), walks / 2) << walks << " walks";
}

// ---- Names as a user knows them ----------------------------------------------------

// A file with that text, made executable.
void WriteFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << text;
  fs::permissions(path, fs::perms::owner_all);
}

std::string Args(std::initializer_list<std::string> args) {
  std::string out;
  for (const std::string& a : args) {
    if (!out.empty()) out += '\0';
    out += a;
  }
  return out;
}

// Windows programs under Wine, scripts, kernel threads and zombies, each
// through a full walk, a changed walk from 0, Identify and ExecutablePath,
// which agree.
TEST(X11ProcessesNames, WineProgramsScriptsKernelThreadsAndZombiesAreNamedAsAUserKnowsThem) {
  TempFolder files;
  const fs::path root = files.Path();
  const std::string prefix = (root / "pfx").string();
  WriteFile(root / "pfx/drive_c/windows/system32/notepad.exe", "MZ");
  fs::create_directories(root / "pfx/dosdevices");
  fs::create_symlink("../drive_c", root / "pfx/dosdevices/c:");
  WriteFile(root / "games/Game.exe", "MZ");
  const std::string interp = (root / "bin/pyinterp").string();
  WriteFile(interp, "ELF");
  WriteFile(root / "s/tool.py", "#!" + interp + " -u\nprint()\n");
  WriteFile(root / "s/envtool", "#!/usr/bin/env -S python3 -u\n");
  WriteFile(root / "s/data.txt", "not a script\n");
  const std::string winZ = "Z:" + std::regex_replace((root / "games/Game.exe").string(), std::regex("/"), "\\\\");
  const std::string wineEnv = Args({"HOME=/nowhere", "WINEPREFIX=" + prefix, "LANG=C"});
  const std::string tool = (root / "s/tool.py").string();
  const std::string sdir = (root / "s").string();

  struct Case {
    const char* what;
    FakeTask task;
    const char* name;  // nullptr: not listed, no identity
    std::string path;
  };
  const std::vector<Case> cases{
      {"plain", {.pid = 10, .comm = "alpha", .exe = "/usr/bin/alpha"}, "alpha", "/usr/bin/alpha"},
      {"Wine, C: through dosdevices",
       {.pid = 11, .comm = "notepad.exe", .exe = "/usr/lib/wine/wine64",
        .cmdline = Args({"C:\\windows\\system32\\notepad.exe", ""}), .environ = wineEnv},
       "notepad.exe", prefix + "/drive_c/windows/system32/notepad.exe"},
      {"Wine, Z: as /",
       {.pid = 12, .comm = "Game.exe", .exe = "/opt/proton/files/bin/wine64-preloader", .cmdline = winZ,
        .environ = wineEnv},
       "Game.exe", (root / "games/Game.exe").string()},
      {"Wine, a bare name", {.pid = 13, .comm = "ping", .exe = "/usr/lib/wine/wine64", .cmdline = Args({"ping", "-n"})},
       "ping.exe", ""},
      {"Wine, a file that is not there",
       {.pid = 14, .comm = "gone.exe", .exe = "/usr/lib/wine/wine-preloader", .cmdline = "C:\\gone.exe",
        .environ = wineEnv},
       "gone.exe", ""},
      {"Wine, the loader still starting",
       {.pid = 15, .comm = "wine64", .exe = "/usr/lib/wine/wine64", .cmdline = Args({"/usr/lib/wine/wine64", "x.exe"})},
       "wine64", "/usr/lib/wine/wine64"},
      {"script by its #! line",
       {.pid = 20, .comm = "tool.py", .exe = interp, .cmdline = Args({interp, "-u", tool, "--flag"})}, "tool.py", tool},
      {"script by a relative path",
       {.pid = 21, .comm = "tool.py", .exe = interp, .cmdline = Args({interp, "-u", "./tool.py"}), .cwd = sdir},
       "tool.py", tool},
      {"script through env, a versioned interpreter",
       {.pid = 22, .comm = "python3", .exe = "/usr/bin/python3.11", .cmdline = Args({"python3", "-u", "envtool"}),
        .cwd = sdir},
       "envtool", sdir + "/envtool"},
      {"-c: program text, not a script",
       {.pid = 23, .comm = "pyinterp", .exe = interp, .cmdline = Args({interp, "-c", tool})}, "pyinterp", interp},
      {"another program reading a script",
       {.pid = 24, .comm = "less", .exe = "/usr/bin/less", .cmdline = Args({"less", tool})}, "less", "/usr/bin/less"},
      {"argument that is no script",
       {.pid = 25, .comm = "pyinterp", .exe = interp, .cmdline = Args({interp, sdir + "/data.txt"})}, "pyinterp",
       interp},
      {"argv[0] is the script",
       {.pid = 26, .comm = "tool.py", .exe = "/usr/bin/other", .cmdline = Args({tool, tool})}, "tool.py", tool},
      {"kernel thread", {.pid = 30, .comm = "kworker/0:1", .ppid = 2, .flags = 0x04208040}, nullptr, ""},
      {"kthreadd", {.pid = 2, .comm = "kthreadd", .ppid = 0, .flags = 0x00208040}, nullptr, ""},
      {"zombie", {.pid = 31, .comm = "ended", .state = 'Z'}, nullptr, ""},
      {"refused link", {.pid = 32, .comm = "someones", .ppid = 1}, "someones", ""},
  };
  FakeProc proc;
  for (const Case& c : cases) proc.Add(c.task);
  X11Processes procs(proc.Root());
  Listing expected;
  for (const Case& c : cases) {
    if (c.name != nullptr) expected.emplace_back(c.task.pid, text::FromUtf8(c.name));
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(List(procs), expected);
  Listing changed;
  std::uint64_t since = 0;
  procs.WalkChanged(since, [&](const platform::ProcessEntry& e) {
    changed.emplace_back(e.th32ProcessID, ExeFileOf(e));
    return true;
  });
  EXPECT_EQ(changed, expected);
  for (const Case& c : cases) {
    const auto id = static_cast<ProcessId>(c.task.pid);
    const platform::ProcessIdentity who = procs.Identify(id);
    EXPECT_EQ(procs.ExecutablePath(id), text::FromUtf8(c.path)) << c.what;
    if (c.name == nullptr) {
      EXPECT_FALSE(who) << c.what;
      continue;
    }
    EXPECT_EQ(who.id, id) << c.what;
    EXPECT_EQ(who.name, text::FromUtf8(c.name)) << c.what;
    EXPECT_EQ(who.path, text::FromUtf8(c.path)) << c.what;
  }
}

// The program's own file replaced while it runs (an upgrade): its own
// path drops " (deleted)", so it still knows itself; another process of
// the old file keeps the suffix, so no new file is taken for it.
TEST(X11ProcessesNames, OwnReplacedFileIsStillTheProgramsOwnPathAndNobodyElses) {
  FakeProc proc;
  proc.Add(300, "ProcessDrovak", "/opt/pd/ProcessDrovak (deleted)");
  proc.Add(301, "ProcessDrovak", "/opt/pd/ProcessDrovak (deleted)");
  proc.SetSelf(300);
  X11Processes procs(proc.Root());
  EXPECT_EQ(List(procs), (Listing{{300, u"ProcessDrovak"}, {301, u"ProcessDrovak"}}));
  EXPECT_EQ(procs.ExecutablePath(300), u"/opt/pd/ProcessDrovak");
  EXPECT_EQ(procs.Identify(300).path, u"/opt/pd/ProcessDrovak");
  EXPECT_EQ(procs.ExecutablePath(301), u"/opt/pd/ProcessDrovak (deleted)");
  EXPECT_EQ(procs.Identify(301).path, u"/opt/pd/ProcessDrovak (deleted)");
}

// Execs comm cannot tell (the same 15 leading bytes) and those only comm
// tells (a script run by the interpreter the process already was, a Wine
// program renaming itself): a full walk and the marks see both.
TEST(X11ProcessesNames, ExecSeenWhereOnlyTheLinkOrOnlyCommChanges) {
  TempFolder files;
  const std::string interp = (files.Path() / "sh").string();
  WriteFile(interp, "ELF");
  const std::string script = (files.Path() / "blocked.sh").string();
  WriteFile(script, "#!" + interp + "\n");
  FakeProc proc;
  for (int pid = 100; pid < 130; ++pid) proc.Add(pid, "idle", "/usr/bin/idle");
  proc.Add(200, "verylongprogram", "/opt/verylongprogram-one");
  proc.Add(201, "sh", interp, 100, Args({interp}));
  proc.Add(202, "wine64", "/usr/lib/wine/wine64", 100, Args({"/usr/lib/wine/wine64", "game.exe"}));
  proc.SetLastPid(202);
  X11Processes procs(proc.Root());
  X11Processes walker(proc.Root());
  List(walker);
  std::uint64_t since = 0;
  procs.WalkChanged(since, [](const platform::ProcessEntry&) { return true; });
  std::uint64_t mark = procs.ChangeMark();
  // Same start and folder; comm as the kernel or the process set it.
  proc.Exec(200, "/opt/verylongprogram-two", "", "verylongprogram");
  proc.Exec(201, interp, Args({interp, script}), "blocked.sh");
  proc.Exec(202, "/usr/lib/wine/wine64", Args({"C:\\game.exe"}), "game.exe");
  const Listing changed{{200, u"verylongprogram-two"}, {201, u"blocked.sh"}, {202, u"game.exe"}};
  Listing seen;
  for (std::size_t n = 0; n < X11Processes::kRecheckMarks; ++n) {
    const std::uint64_t now = procs.ChangeMark();
    if (now == mark) continue;
    mark = now;
    procs.WalkChanged(since, [&](const platform::ProcessEntry& e) {
      seen.emplace_back(e.th32ProcessID, ExeFileOf(e));
      return true;
    });
  }
  std::sort(seen.begin(), seen.end());
  EXPECT_EQ(seen, changed) << "by the marks";
  Listing all = List(walker);
  std::erase_if(all, [](const auto& e) { return e.first < 200; });
  EXPECT_EQ(all, changed) << "by a full walk";
}

// ---- On the real /proc -------------------------------------------------------------

TEST(X11Processes, ScriptStartedByItsHashBangLineIsNamedByTheScript) {
  TempFolder folder;
  const fs::path script = folder.Path() / "pd-script.sh";
  // The sleep outlives the killed script: it must not hold the test's output
  // open.
  WriteFile(script, "#!/bin/sh\nwhile :; do sleep 5 </dev/null >/dev/null 2>&1; done\n");
  Child child({script.string()});
  ASSERT_GT(child.Pid(), 0);
  X11Processes procs;
  const auto entry = FindInWalk(procs, child.Id());
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(ExeFileOf(*entry), u"pd-script.sh");
  EXPECT_EQ(procs.ExecutablePath(child.Id()), script.u16string());
  EXPECT_EQ(procs.Identify(child.Id()).name, u"pd-script.sh");
}

TEST(X11Processes, KilledChildNotYetReapedIsNotRunning) {
  TempFolder folder;
  Child child({CopySleep(folder, "pd-unreaped").string(), "30"});
  ASSERT_GT(child.Pid(), 0);
  X11Processes procs;
  std::uint64_t since = 0;
  std::set<ProcessId> ids;
  procs.WalkChanged(since, [&](const platform::ProcessEntry& e) {
    ids.insert(e.th32ProcessID);
    return true;
  });
  ASSERT_TRUE(ids.contains(child.Id()));
  ASSERT_EQ(kill(child.Pid(), SIGKILL), 0);
  ASSERT_TRUE(test::WaitFor([&] { return procs.StartTime(child.Id()) == 0; }, 5000)) << "no zombie";
  EXPECT_FALSE(FindInWalk(procs, child.Id()).has_value());
  EXPECT_FALSE(procs.Identify(child.Id()));
  EXPECT_EQ(procs.ExecutablePath(child.Id()), u"");
  ids.clear();
  std::uint64_t fresh = 0;
  procs.WalkChanged(fresh, [&](const platform::ProcessEntry& e) {
    ids.insert(e.th32ProcessID);
    return true;
  });
  EXPECT_FALSE(ids.contains(child.Id()));
  EXPECT_TRUE(WIFSIGNALED(child.Reap()));
}

// A process whose first thread has ended while another runs shows as a
// zombie in stat (state Z, no memory, no exe link): it still runs, and a
// blocked one must not hide so.
TEST(X11Processes, ProcessWhoseFirstThreadEndedStillRuns) {
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    pthread_t thread{};
    pthread_create(
        &thread, nullptr,
        [](void* fd) -> void* {
          for (;;) pause();
          return fd;
        },
        nullptr);
    close(ready[0]);
    close(ready[1]);
    syscall(SYS_exit, 0);  // this thread alone, with no unwinding into the test
  }
  close(ready[1]);
  char byte = 0;
  ASSERT_EQ(read(ready[0], &byte, 1), 0);  // the writing end closed: both threads started
  close(ready[0]);
  const auto id = static_cast<ProcessId>(pid);
  X11Processes procs;
  const auto zombieLeader = [&] {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(in, line);
    return line.substr(line.rfind(')') + 2, 1) == "Z";
  };
  EXPECT_TRUE(test::WaitFor(zombieLeader, 5000));
  EXPECT_NE(procs.StartTime(id), 0u);
  EXPECT_TRUE(procs.Identify(id));
  EXPECT_TRUE(FindInWalk(procs, id).has_value());
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

// A process's own /proc file, kept open, names the process and not its id:
// once it has ended and been reaped, the file reads nothing (ESRCH), even
// after another process has taken the id; the walks name the newcomer.
TEST(X11Processes, IdTakenAgainAfterAnEndIsListedUnderTheNewcomersName) {
  TempFolder folder;
  const fs::path firstExe = CopySleep(folder, "pd-first");
  const fs::path secondExe = CopySleep(folder, "pd-second");
  std::optional<Child> first(std::in_place, std::vector<std::string>{firstExe.string(), "30"});
  const pid_t id = first->Pid();
  ASSERT_GT(id, 0);
  X11Processes procs;
  ASSERT_TRUE(test::WaitFor([&] { return procs.Identify(first->Id()).name == u"pd-first"; }, 5000));
  std::uint64_t since = 0;
  procs.WalkChanged(since, [](const platform::ProcessEntry&) { return true; });
  EXPECT_GT(procs.KeptFiles(), 0u);
  const std::string comm = "/proc/" + std::to_string(id) + "/comm";
  const int kept = open(comm.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(kept, 0);
  ASSERT_EQ(kill(id, SIGKILL), 0);
  first.reset();  // reaped
  std::ofstream("/proc/sys/kernel/ns_last_pid") << id - 1;
  Child second({secondExe.string(), "30"});
  if (second.Pid() != id) {
    close(kept);
    GTEST_SKIP() << "the id was not handed out again (needs a writable /proc/sys/kernel/ns_last_pid, and no other "
                    "start in between)";
  }
  char buf[64];
  errno = 0;
  EXPECT_LT(pread(kept, buf, sizeof buf, 0), 0);
  EXPECT_EQ(errno, ESRCH);
  close(kept);
  ASSERT_TRUE(test::WaitFor([&] { return procs.Identify(second.Id()).name == u"pd-second"; }, 5000));
  std::optional<String> changed;
  procs.ChangeMark();
  procs.WalkChanged(since, [&](const platform::ProcessEntry& e) {
    if (e.th32ProcessID == second.Id()) changed = ExeFileOf(e);
    return true;
  });
  EXPECT_EQ(changed, u"pd-second");
  const auto listed = FindInWalk(procs, second.Id());
  ASSERT_TRUE(listed.has_value());
  EXPECT_EQ(ExeFileOf(*listed), u"pd-second");
}

// A shell that has run for more than a second replaces itself with a
// blocked program: the block timer's way (a mark every 10 ms, a changed
// walk when it moved) lists the new name within a second.
TEST(X11Processes, ExecByAProcessOlderThanASecondIsListedWithinASecond) {
  TempFolder folder;
  const fs::path blocked = CopySleep(folder, "pd-late-blocked");
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  const pid_t pid = fork();
  if (pid == 0) {
    dup2(go[0], 0);
    close(go[1]);
    const std::string line = "read x; exec " + blocked.string() + " 30";
    execl("/bin/sh", "sh", "-c", line.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(go[0]);
  X11Processes procs;
  std::uint64_t since = 0;
  procs.WalkChanged(since, [](const platform::ProcessEntry&) { return true; });
  std::this_thread::sleep_for(std::chrono::milliseconds(X11Processes::kYoungMs + 200));  // no longer young
  procs.WalkChanged(since, [](const platform::ProcessEntry&) { return true; });
  std::uint64_t mark = procs.ChangeMark();
  const auto t0 = std::chrono::steady_clock::now();
  ASSERT_EQ(write(go[1], "\n", 1), 1);
  String name;
  while (name.empty() && std::chrono::steady_clock::now() - t0 < std::chrono::seconds(5)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    const std::uint64_t now = procs.ChangeMark();
    if (now == mark) continue;
    mark = now;
    procs.WalkChanged(since, [&](const platform::ProcessEntry& e) {
      if (e.th32ProcessID == static_cast<ProcessId>(pid)) name = ExeFileOf(e);
      return true;
    });
  }
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
  close(go[1]);
  EXPECT_EQ(name, u"pd-late-blocked");
  // A second, with room for a loaded machine's late ticks.
  EXPECT_LT(ms, 1500) << "listed after " << ms << " ms";
}

// ---- The owner of a window ------------------------------------------------------

// A private Xvfb that also listens on TCP: the server cannot tell the
// process of a client that connects over TCP, as with a window shown from
// another machine.
class TcpXvfb {
 public:
  TcpXvfb() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-listen", "tcp", "-screen", "0", "320x240x24", "+extension",
             "X-Resource", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    char buf[16] = {};
    std::size_t got = 0;
    pollfd p{fds[0], POLLIN, 0};
    while (got + 1 < sizeof buf && poll(&p, 1, 5000) > 0) {
      const ssize_t n = read(fds[0], buf + got, sizeof buf - 1 - got);
      if (n <= 0) break;
      got += static_cast<std::size_t>(n);
      if (std::memchr(buf, '\n', got) != nullptr) break;
    }
    close(fds[0]);
    if (got > 0) number_ = std::atoi(buf);
  }
  ~TcpXvfb() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  TcpXvfb(const TcpXvfb&) = delete;
  TcpXvfb& operator=(const TcpXvfb&) = delete;
  // The display number; -1 when it did not start.
  [[nodiscard]] int Number() const { return number_; }

 private:
  pid_t pid_ = -1;
  int number_ = -1;
};

TEST(X11ProcessesWindows, NetWmPidIsTakenOnlyFromAWindowOfThisHost) {
  if (std::system("command -v Xvfb >/dev/null 2>&1") != 0) GTEST_SKIP() << "Xvfb is not installed";
  TcpXvfb server;
  ASSERT_GE(server.Number(), 0) << "Xvfb did not start";
  const std::string display = ":" + std::to_string(server.Number());
  test::EnvVar env("DISPLAY", display);
  std::string error;
  auto x = XConnection::Open(error);
  ASSERT_NE(x, nullptr) << error;
  Display* remote = XOpenDisplay(("127.0.0.1" + display).c_str());
  ASSERT_NE(remote, nullptr) << "no TCP connection";
  TempFolder folder;
  Child local({CopySleep(folder, "pd-local").string(), "30"});
  const Window w = XCreateSimpleWindow(remote, DefaultRootWindow(remote), 0, 0, 10, 10, 0, 0, 0);
  const auto pid = static_cast<unsigned long>(local.Pid());
  XChangeProperty(remote, w, XInternAtom(remote, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(&pid), 1);
  const auto setMachine = [&](const std::string& machine) {
    XChangeProperty(remote, w, XA_WM_CLIENT_MACHINE, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(machine.data()), static_cast<int>(machine.size()));
    XSync(remote, False);
  };
  X11Processes procs("/proc", x.get());
  const auto window = static_cast<WindowHandle>(w);
  EXPECT_EQ(procs.WindowOwner(window), 0U) << "no WM_CLIENT_MACHINE";
  setMachine("pd-elsewhere.invalid");
  EXPECT_EQ(procs.WindowOwner(window), 0U) << "shown from another machine";
  char host[256] = {};
  ASSERT_EQ(gethostname(host, sizeof host - 1), 0);
  setMachine(host);
  EXPECT_EQ(procs.WindowOwner(window), local.Id()) << "this host";
  XCloseDisplay(remote);
}

}  // namespace
}  // namespace pd::x11
