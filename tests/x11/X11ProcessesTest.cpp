// The Linux process port on the real /proc and on fake /proc trees.
#include <gtest/gtest.h>
#include <sched.h>
#include <signal.h>
#include <time.h>

#include <fstream>
#include <map>
#include <random>
#include <set>

#include "X11TestUtil.h"
#include "contract/ProcessesContract.h"
#include "platform/x11/backend.h"
#include "test_util.h"

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

class FakeProc {
 public:
  [[nodiscard]] std::string Root() const { return folder_.Path().string(); }

  // A process folder with stat, comm, exe link (when exe is not empty) and
  // cmdline. startTicks is in clock ticks after boot.
  void Add(int pid, const std::string& comm, const std::string& exe, unsigned long long startTicks = 100,
           const std::string& cmdline = {}) {
    const fs::path staging = folder_.Path() / (".new" + std::to_string(pid));
    fs::create_directories(staging);
    std::ofstream(staging / "stat") << pid << " (" << comm << ") S 1 " << pid << ' ' << pid
                                    << " 0 -1 4194560 0 0 0 0 0 0 0 0 20 0 3 0 " << startTicks
                                    << " 1000 10 18446744073709551615 0 0\n";
    std::ofstream(staging / "comm") << comm << '\n';
    std::ofstream(staging / "status") << "Name:\t" << comm << "\nUmask:\t0022\nState:\tS (sleeping)\nTgid:\t" << pid
                                      << "\nNgid:\t0\nPid:\t" << pid << '\n';
    if (!exe.empty()) fs::create_symlink(exe, staging / "exe");
    std::ofstream(staging / "cmdline") << cmdline << '\0';
    // Built beside and moved in, so that a reused id gets a new folder
    // (with a new inode), as in /proc.
    const fs::path dir = folder_.Path() / std::to_string(pid);
    fs::remove_all(dir);
    fs::rename(staging, dir);
  }
  void Remove(int pid) { fs::remove_all(folder_.Path() / std::to_string(pid)); }
  // The kernel's count of ids handed out, as loadavg's last field.
  void SetLastPid(int pid, int tasks = 123) {
    std::ofstream(folder_.Path() / "loadavg") << "0.00 0.01 0.05 1/" << tasks << ' ' << pid << '\n';
  }
  // The process replaces its executable (exec); same folder, same start.
  void Exec(int pid, const std::string& exe) {
    const fs::path link = folder_.Path() / std::to_string(pid) / "exe";
    fs::remove(link);
    fs::create_symlink(exe, link);
  }

 private:
  TempFolder folder_;
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
  EXPECT_EQ(procs.Reads(), 2u) << "a second walk reads nothing";

  proc.Add(300, "gamma", "/usr/bin/gamma");
  EXPECT_EQ(List(procs).size(), 3u);
  EXPECT_EQ(procs.Reads(), 3u) << "only the new id is read";
  EXPECT_EQ(procs.ExecutablePath(300), u"/usr/bin/gamma");
  EXPECT_EQ(procs.Reads(), 3u) << "the path comes from the walk";
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

// The mark moves with a fork (loadavg's last id) and with the exec of a
// young process, and stays put otherwise, so a caller may skip its walk.
TEST(X11ProcessesCache, ChangeMarkMovesOnlyWithAStartOrAYoungExec) {
  FakeProc proc;
  proc.Add(100, "old", "/usr/bin/old", 100);
  proc.Add(400, "sh", "/bin/sh", TicksNow());
  proc.SetLastPid(400);
  X11Processes procs(proc.Root());
  List(procs);
  const std::uint64_t quiet = procs.ChangeMark();
  EXPECT_EQ(procs.ChangeMark(), quiet);
  proc.Exec(100, "/usr/bin/other");  // an old process: left to the periodic re-read
  EXPECT_EQ(procs.ChangeMark(), quiet);

  proc.Exec(400, "/usr/bin/blocked-app");
  const std::uint64_t exec = procs.ChangeMark();
  EXPECT_NE(exec, quiet);
  EXPECT_EQ(procs.ChangeMark(), exec);
  proc.SetLastPid(401);
  EXPECT_NE(procs.ChangeMark(), exec);

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
  EXPECT_EQ(List(procs), (Listing{{2, u"kthreadd"},
                                  {500, u"gnome-terminal-server"},
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
      } else if (pick->second) {
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

}  // namespace
}  // namespace pd::x11
