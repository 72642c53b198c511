// The Linux process walk with extra processes (1,000 in all by default):
// the backend's walk (which reads in full only ids it has not seen, and
// checks every cached one for an exec) against a naive walk that reads
// every process's comm and exe link each time, in the same run; and what
// one check of a cached process costs by each way of telling an exec
// (BM_Check/...: per process, over all of them): readlink of exe, open +
// read + close of comm or stat, statx of exe, and pread of comm, stat or
// statm through a descriptor kept open (ways 4-6, what the backend does),
// so that the cheapest correct one is used.
//
//   cmake --preset release && ninja -C build/release process_walk_bench
//   build/release/bench/process_walk_bench [--processes=1000]
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Sleepers.h"
#include "platform/x11/processes.h"

namespace {

using pd::bench::RunningProcesses;
using pd::bench::StartSleepers;
using pd::bench::StopSleepers;

// What a walk without a cache does for every process: read comm, read the
// exe link.
std::size_t NaiveWalk() {
  std::size_t n = 0;
  DIR* dir = opendir("/proc");
  if (dir == nullptr) return 0;
  char path[300];
  char buf[PATH_MAX];
  while (const dirent* de = readdir(dir)) {
    if (de->d_name[0] < '0' || de->d_name[0] > '9') continue;
    std::snprintf(path, sizeof path, "/proc/%s/comm", de->d_name);
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
      benchmark::DoNotOptimize(read(fd, buf, sizeof buf));
      close(fd);
    }
    std::snprintf(path, sizeof path, "/proc/%s/exe", de->d_name);
    benchmark::DoNotOptimize(readlink(path, buf, sizeof buf));
    ++n;
  }
  closedir(dir);
  return n;
}

std::size_t ReaddirOnly() {
  std::size_t n = 0;
  DIR* dir = opendir("/proc");
  if (dir == nullptr) return 0;
  while (const dirent* de = readdir(dir)) {
    if (de->d_name[0] >= '0' && de->d_name[0] <= '9') ++n;
  }
  closedir(dir);
  return n;
}

void BM_NaiveWalk(benchmark::State& state) {
  std::size_t n = 0;
  for (auto _ : state) n = NaiveWalk();
  state.counters["processes"] = static_cast<double>(n);
}

// A full walk with fresh names: every cached process checked for an exec
// (and read again where it changed).
void BM_BackendWalk(benchmark::State& state) {
  pd::x11::X11Processes procs;
  std::size_t n = 0;
  procs.Walk([](const auto&) { return true; });  // the first walk reads everything
  const auto readsBefore = procs.Reads();
  for (auto _ : state) {
    n = 0;
    procs.Walk([&](const pd::platform::ProcessEntry& e) {
      benchmark::DoNotOptimize(e.szExeFile[0]);
      ++n;
      return true;
    });
  }
  state.counters["processes"] = static_cast<double>(n);
  state.counters["reads/walk"] =
      static_cast<double>(procs.Reads() - readsBefore) / static_cast<double>(state.iterations());
  state.counters["kept_files"] = static_cast<double>(procs.KeptFiles());
}

// The process page's refresh: a walk and the path of every entry, read at
// the call.
void BM_BackendWalkWithPaths(benchmark::State& state) {
  pd::x11::X11Processes procs;
  procs.Walk([](const auto&) { return true; });
  for (auto _ : state) {
    procs.Walk([&](const pd::platform::ProcessEntry& e) {
      benchmark::DoNotOptimize(procs.ExecutablePath(e.th32ProcessID).size());
      return true;
    });
  }
}

// The first walk of a program: nothing cached yet.
void BM_BackendColdWalk(benchmark::State& state) {
  for (auto _ : state) {
    pd::x11::X11Processes procs;
    procs.Walk([](const auto&) { return true; });
  }
}

void BM_ReaddirOnly(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(ReaddirOnly());
}

// The ways to tell whether a cached process replaced its executable, each
// over every process (one /proc folder kept open, as the backend keeps it;
// for the pread ways, a descriptor of each process's file kept open too).
enum CheckWay { kReadlinkExe, kReadComm, kReadStat, kStatxExe, kPreadComm, kPreadStat, kPreadStatm };

void BM_Check(benchmark::State& state) {
  const int dir = open("/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  std::vector<std::string> ids;
  if (DIR* d = opendir("/proc")) {
    while (const dirent* de = readdir(d)) {
      if (de->d_name[0] >= '1' && de->d_name[0] <= '9') ids.emplace_back(de->d_name);
    }
    closedir(d);
  }
  char path[64];
  char buf[PATH_MAX];
  std::vector<int> kept;
  if (state.range(0) >= kPreadComm) {
    for (const std::string& id : ids) {
      const char* leaf = state.range(0) == kPreadComm ? "comm" : state.range(0) == kPreadStat ? "stat" : "statm";
      std::snprintf(path, sizeof path, "%s/%s", id.c_str(), leaf);
      const int fd = openat(dir, path, O_RDONLY | O_CLOEXEC);
      if (fd >= 0) kept.push_back(fd);
    }
  }
  const auto read = [&](const char* leaf, const std::string& id) {
    std::snprintf(path, sizeof path, "%s/%s", id.c_str(), leaf);
    const int fd = openat(dir, path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    benchmark::DoNotOptimize(::read(fd, buf, sizeof buf));
    close(fd);
  };
  for (auto _ : state) {
    for (const int fd : kept) benchmark::DoNotOptimize(pread(fd, buf, sizeof buf, 0));
    const std::size_t paths = kept.empty() ? ids.size() : 0;
    for (std::size_t i = 0; i < paths; ++i) {
      const std::string& id = ids[i];
      switch (state.range(0)) {
        case kReadlinkExe:
          std::snprintf(path, sizeof path, "%s/exe", id.c_str());
          benchmark::DoNotOptimize(readlinkat(dir, path, buf, sizeof buf));
          break;
        case kReadComm:
          read("comm", id);
          break;
        case kReadStat:
          read("stat", id);
          break;
        default: {
          std::snprintf(path, sizeof path, "%s/exe", id.c_str());
          struct statx sx {};
          benchmark::DoNotOptimize(statx(dir, path, AT_STATX_DONT_SYNC, STATX_INO, &sx));
        }
      }
    }
  }
  for (const int fd : kept) close(fd);
  close(dir);
  state.counters["processes"] = static_cast<double>(ids.size());
  state.counters["us_per_process"] = benchmark::Counter(static_cast<double>(ids.size()) * 1e-6,
                                                        benchmark::Counter::kIsIterationInvariantRate |
                                                            benchmark::Counter::kInvert);
}
BENCHMARK(BM_Check)
    ->Arg(kReadlinkExe)
    ->Arg(kReadComm)
    ->Arg(kReadStat)
    ->Arg(kStatxExe)
    ->Arg(kPreadComm)
    ->Arg(kPreadStat)
    ->Arg(kPreadStatm)
    ->ArgName("way")
    ->Unit(benchmark::kMicrosecond);

BENCHMARK(BM_NaiveWalk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BackendWalk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BackendWalkWithPaths)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BackendColdWalk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReaddirOnly)->Unit(benchmark::kMicrosecond);



}  // namespace

int main(int argc, char** argv) {
  int processes = 1000;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--processes=", 12) == 0) {
      processes = std::atoi(argv[i] + 12);
    } else {
      args.push_back(argv[i]);
    }
  }
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  const int running = RunningProcesses();
  const std::vector<pid_t> sleepers = StartSleepers(processes > running ? processes - running : 0);
  usleep(200'000);  // let them exec and settle (past the young-process second below)
  sleep(1);
  benchmark::AddCustomContext("processes", std::to_string(RunningProcesses()));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  StopSleepers(sleepers);
  return 0;
}
