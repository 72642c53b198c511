// The Linux process walk with about 300 extra processes: the backend's walk
// (which reads only ids it has not seen) against a naive walk that reads
// every process's comm and exe link each time, in the same run.
//
//   cmake --preset release && ninja -C build/release process_walk_bench
//   build/release/bench/process_walk_bench [--extra=300]
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Sleepers.h"
#include "platform/x11/backend.h"

namespace {

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
}

// The block timer's tick: a walk and the path of every entry.
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

BENCHMARK(BM_NaiveWalk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BackendWalk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BackendWalkWithPaths)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BackendColdWalk)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ReaddirOnly)->Unit(benchmark::kMicrosecond);



}  // namespace

int main(int argc, char** argv) {
  int extra = 300;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--extra=", 8) == 0) {
      extra = std::atoi(argv[i] + 8);
    } else {
      args.push_back(argv[i]);
    }
  }
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  const std::vector<pid_t> sleepers = StartSleepers(extra);
  usleep(200'000);  // let them exec and settle (past the young-process second below)
  sleep(1);
  benchmark::AddCustomContext("extra processes", std::to_string(sleepers.size()));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  StopSleepers(sleepers);
  return 0;
}
