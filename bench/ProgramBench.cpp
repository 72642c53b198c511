// What the tray program costs on Linux while it waits: the real program
// (app/ProcessDrovak) started from a scratch folder, enabled (its first
// run), hot keys polled, one block entry on ("pdblocked", a copy of
// /bin/sleep), with 1,000 processes on the machine (children started for
// the run). Run inside a display with a tray:
//
//   cmake --preset release && cmake --build --preset release --target ProcessDrovak program_bench
//   scripts/with-xvfb --tray --notify -- build/release/bench/program_bench [--seconds=60]
//
// BM_ProgramIdle: the program's CPU time (schedstat, nanoseconds) over the
// run beside a bare 100 Hz timer's in the same seconds (times_bare: the
// ratio), and its resident memory. BM_BlockKill: 100 starts of the blocked
// program, each timed from fork to its death by the program's SIGKILL.
// BM_ChangeMark: what the block tick does with nothing new (the process
// table's mark, which checks a share of the processes for an exec in turn,
// so that each is checked within a second). BM_BlockTickAfterStart: what it does after one start (the
// mark, then a walk of the processes changed since its previous walk, names
// compared as the tick does), BM_WalkAfterStart: a walk of all 1,000
// processes then (what the tick did before, and still does after a change
// of the block list); both measured in this process on the same backend,
// cold (a quiet second before each start, in which the tick runs every
// 10 ms as in the program).
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "Sleepers.h"
#include "platform/text.h"
#include "platform/x11/processes.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using pd::bench::RunningProcesses;
using pd::bench::StartSleepers;
using pd::bench::StopSleepers;
using Clock = std::chrono::steady_clock;

int g_seconds = 60;
fs::path g_folder;
pid_t g_program = 0;



// Nanoseconds the process has run on a CPU (the first field of schedstat).
double CpuNs(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
  double ns = 0;
  in >> ns;
  return ns;
}

double RssMb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  }
  return 0;
}

// The program, copied into a scratch folder so that it keeps its files
// there, with HOME there too (its autostart entry).
bool StartProgram(const fs::path& program) {
  char tmpl[] = "/tmp/pd-program-bench-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return false;
  g_folder = tmpl;
  fs::copy_file(program, g_folder / "ProcessDrovak");
  fs::copy_file("/bin/sleep", g_folder / "pdblocked");
  std::ofstream(g_folder / "Blocks.txt") << "pdblocked=1\r\n";
  fs::create_directories(g_folder / "home");
  setenv("HOME", (g_folder / "home").c_str(), 1);
  const std::string exe = (g_folder / "ProcessDrovak").string();
  char* argv[] = {const_cast<char*>(exe.c_str()), nullptr};
  if (posix_spawn(&g_program, exe.c_str(), nullptr, nullptr, argv, environ) != 0) return false;
  for (int i = 0; i < 200 && !fs::exists(g_folder / "Options.cfg"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  return fs::exists(g_folder / "Options.cfg");
}

void StopProgram() {
  if (g_program > 0) {
    kill(g_program, SIGTERM);
    waitpid(g_program, nullptr, 0);
  }
  if (!g_folder.empty()) fs::remove_all(g_folder);
}

void BM_ProgramIdle(benchmark::State& state) {
  if (g_program <= 0) {
    state.SkipWithError("the program did not start (needs a display: scripts/with-xvfb --tray --notify)");
    return;
  }
  for (auto _ : state) {
    // Beside it, for the same seconds, a bare 100 Hz timer: a thread that
    // wakes from ppoll every 10 ms and does nothing, the floor of any
    // program that must look every 10 ms.
    std::atomic<bool> stop{false};
    double bareNs = 0;
    std::thread bare([&] {
      timespec c0{};
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
      const timespec tick{0, 10'000'000};
      while (!stop) ppoll(nullptr, 0, &tick, nullptr);
      timespec c1{};
      clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
      bareNs = static_cast<double>(c1.tv_sec - c0.tv_sec) * 1e9 + static_cast<double>(c1.tv_nsec - c0.tv_nsec);
    });
    const double c0 = CpuNs(g_program);
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(g_seconds));
    const double cpu = CpuNs(g_program) - c0;
    const double wall = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
    stop = true;
    bare.join();
    state.counters["cpu_percent"] = 100.0 * cpu / wall;
    state.counters["bare_100hz_percent"] = 100.0 * bareNs / wall;
    state.counters["times_bare"] = bareNs > 0 ? cpu / bareNs : 0;
  }
  state.counters["rss_mb"] = RssMb(g_program);
  state.counters["processes"] = RunningProcesses();
}
BENCHMARK(BM_ProgramIdle)->Iterations(1)->Unit(benchmark::kSecond);

void BM_BlockKill(benchmark::State& state) {
  if (g_program <= 0) {
    state.SkipWithError("the program did not start");
    return;
  }
  const std::string blocked = (g_folder / "pdblocked").string();
  std::vector<double> ms;
  int killed = 0;
  for (auto _ : state) {
    for (int i = 0; i < 100; ++i) {
      const auto t0 = Clock::now();
      const pid_t pid = fork();
      if (pid == 0) {
        execl(blocked.c_str(), "pdblocked", "5", static_cast<char*>(nullptr));
        _exit(127);
      }
      int status = 0;
      waitpid(pid, &status, 0);
      ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
      if (WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) ++killed;
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  std::sort(ms.begin(), ms.end());
  state.counters["median_ms"] = ms[ms.size() / 2];
  state.counters["p95_ms"] = ms[ms.size() * 95 / 100];
  state.counters["killed"] = killed;
}
BENCHMARK(BM_BlockKill)->Iterations(1)->Unit(benchmark::kSecond);

void BM_ChangeMark(benchmark::State& state) {
  pd::x11::X11Processes procs;
  procs.Walk([](const auto&) { return true; });
  for (auto _ : state) benchmark::DoNotOptimize(procs.ChangeMark());
}
BENCHMARK(BM_ChangeMark)->Unit(benchmark::kMicrosecond);

// Seconds of CPU this thread has used.
double ThreadCpu() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

void BM_WalkAfterStart(benchmark::State& state) {
  pd::x11::X11Processes procs;
  procs.Walk([](const auto&) { return true; });
  std::vector<pid_t> started;
  const auto cpu = ThreadCpu;
  for (auto _ : state) {
    // One start at a time: the one before is past the young second, as
    // when a user starts a program.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    started.push_back(StartSleepers(1).front());
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // past its exec
    const double c0 = cpu();
    procs.Walk([](const auto&) { return true; });
    state.SetIterationTime(cpu() - c0);
  }
  StopSleepers(started);
}
BENCHMARK(BM_WalkAfterStart)->Unit(benchmark::kMicrosecond)->Iterations(10)->UseManualTime();

void BM_BlockTickAfterStart(benchmark::State& state) {
  pd::x11::X11Processes procs;
  std::uint64_t since = 0;
  std::uint64_t mark = procs.ChangeMark();
  const std::vector<pd::String> names{u"pdblocked", u"game.exe", u"notepad2.exe"};
  std::size_t found = 0;
  const auto tick = [&] {
    const std::uint64_t now = procs.ChangeMark();
    if (now == mark) return;
    mark = now;
    procs.WalkChanged(since, [&](const pd::platform::ProcessEntry& e) {
      const pd::StringView name(e.szExeFile.data(), std::char_traits<char16_t>::length(e.szExeFile.data()));
      const auto blocked = [&](pd::StringView lower) { return pd::text::SameLowered(name, lower); };
      if (std::any_of(names.begin(), names.end(), blocked) && !pd::text::SameLowered(name, u"explorer.exe")) ++found;
      return true;
    });
  };
  mark = ~mark;  // the program's first tick walks all
  tick();
  std::vector<pid_t> started;
  std::vector<double> us;
  for (auto _ : state) {
    // Ticks every 10 ms as the program's timer does: on a quiet machine
    // they read the mark alone, and what they walk goes cold.
    for (int i = 0; i < 110; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
      tick();
    }
    started.push_back(StartSleepers(1).front());
    std::this_thread::sleep_for(std::chrono::milliseconds(5));  // past its exec
    const double c0 = ThreadCpu();
    tick();
    const double spent = ThreadCpu() - c0;
    state.SetIterationTime(spent);
    us.push_back(spent * 1e6);
  }
  StopSleepers(started);
  std::sort(us.begin(), us.end());
  state.counters["median_us"] = us[us.size() / 2];
  state.counters["max_us"] = us.back();
  state.counters["found"] = static_cast<double>(found);
}
BENCHMARK(BM_BlockTickAfterStart)->Unit(benchmark::kMicrosecond)->Iterations(10)->UseManualTime();

}  // namespace

int main(int argc, char** argv) {
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--seconds=", 10) == 0) {
      g_seconds = std::max(1, std::atoi(argv[i] + 10));
    } else {
      args.push_back(argv[i]);
    }
  }
  int n = static_cast<int>(args.size());
  benchmark::Initialize(&n, args.data());
  const int running = RunningProcesses();
  const std::vector<pid_t> sleepers = StartSleepers(running < 1000 ? 1000 - running : 0);
  const fs::path program = fs::read_symlink("/proc/self/exe").parent_path() / ".." / "app" / "ProcessDrovak";
  if (!StartProgram(program)) {
    std::fprintf(stderr, "program_bench: could not start %s\n", program.c_str());
    g_program = 0;
  }
  std::this_thread::sleep_for(std::chrono::seconds(2));  // past the walk's young-process second
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  StopProgram();
  StopSleepers(sleepers);
  return 0;
}
