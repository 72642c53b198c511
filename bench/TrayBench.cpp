// The tray on Linux, in a private desktop session (tint2, dunst on its own
// session bus):
//   - a balloon call (TrayIcon::ShowBallon -> Notify over D-Bus) on the
//     user-interface thread: the message is written, the reply is not
//     waited for (it is served between iterations, outside the timing);
//   - one tick of the restore watch while the shell is present;
//   - start-up to the icon: a fresh platform, form and TrayIcon, AddIcon,
//     until the icon window is docked in the tray (wall time, each
//     iteration a new connection to the display and the bus);
//   - the CPU the program takes over a few seconds idling in its loop with
//     the icon shown and the restore watch running (cpu_percent of one core,
//     the process CPU clock against the wall clock).
//
//   cmake --preset release && cmake --build --preset release --target tray_bench
//   scripts/with-xvfb --tray --notify -- build/release/bench/tray_bench
#include <poll.h>
#include <benchmark/benchmark.h>
#include <time.h>

#include <X11/Xlib.h>

#include <chrono>
#include <memory>

#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/x11/platform.h"
#include "shell/TrayIcon.h"

namespace {

using namespace pd;

struct Program {
  Program() {
    String error;
    platform = platform::CreatePlatform(error);
    x11 = dynamic_cast<x11::X11Platform*>(platform.get());
    if (x11 == nullptr) return;
    host = std::make_unique<forms::ControlHost>(*platform);
    form = std::make_unique<forms::Form>(*host, u"frmMain", u"frmMain");
    icon = std::make_unique<shell::TrayIcon>(*form);
    icon->SetIcon(platform->resources().LoadPicture(platform::res::kIconEnabled, 0));
    icon->SetTipText(u"Process Drovak 1.3");
    // The shell (tint2) may still be starting.
    for (int i = 0; i < 20'000 && !x11->tray().ShellPresent(); ++i) {
      platform->loop().DoEvents();
      platform->loop().Sleep(1);
    }
    icon->AddIcon();
  }
  void Serve(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      platform->loop().DoEvents();
      platform->loop().Sleep(1);
    }
  }
  std::unique_ptr<platform::Platform> platform;
  x11::X11Platform* x11 = nullptr;
  std::unique_ptr<forms::ControlHost> host;
  std::unique_ptr<forms::Form> form;
  std::unique_ptr<shell::TrayIcon> icon;
};

Program& TheProgram() {
  static Program p;
  return p;
}

// From nothing to an icon docked in the tray (XEmbed: its window has a
// parent other than the root).
void BM_StartToIcon(benchmark::State& state) {
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    Program p;
    if (p.x11 == nullptr || !p.x11->tray().ShellPresent()) {
      state.SkipWithError("needs a display with a tray (scripts/with-xvfb --tray --notify)");
      return;
    }
    bool docked = false;
    for (int i = 0; i < 5000 && !docked; ++i) {
      p.platform->loop().DoEvents();
      const x11::XWindow w = p.x11->tray().IconWindow();
      if (w != 0) {
        Display* dpy = p.x11->Connection().Dpy();
        ::Window root = 0, parent = 0, *children = nullptr;
        unsigned n = 0;
        if (XQueryTree(dpy, w, &root, &parent, &children, &n) != 0) {
          if (children != nullptr) XFree(children);
          docked = parent != root;
        }
      }
      if (!docked) p.platform->loop().Sleep(1);
    }
    const auto t1 = std::chrono::steady_clock::now();
    if (!docked) {
      state.SkipWithError("the icon did not dock");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
  }
}
BENCHMARK(BM_StartToIcon)->Unit(benchmark::kMillisecond)->Iterations(30)->UseManualTime();

// The process's CPU time, exact (getrusage counts in scheduler ticks).
double CpuSeconds() {
  timespec ts{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void BM_BalloonCall(benchmark::State& state) {
  Program& p = TheProgram();
  if (p.x11 == nullptr || !p.x11->tray().HasBus()) {
    state.SkipWithError("needs a display and a session bus (scripts/with-xvfb --tray --notify)");
    return;
  }
  int n = 0;
  for (auto _ : state) {
    p.icon->ShowBallon(u"notepad.exe", n++ % 2 == 0 ? u"Было закрыто." : u"Процесс заблокирован", 1);
    state.PauseTiming();
    for (int i = 0; i < 2000 && p.x11->tray().NotifyInFlight(); ++i) {
      p.platform->loop().DoEvents();
      p.platform->loop().Sleep(1);
    }
    state.ResumeTiming();
  }
  state.counters["replaced_id"] = p.x11->tray().NotificationId();
}
BENCHMARK(BM_BalloonCall)->Unit(benchmark::kMicrosecond)->Iterations(200);

// What a tick of tmrRestore asks the port while the shell is there.
void BM_RestoreTickWork(benchmark::State& state) {
  Program& p = TheProgram();
  if (p.x11 == nullptr) {
    state.SkipWithError("needs a display");
    return;
  }
  auto& tray = p.x11->tray();
  for (auto _ : state) {
    benchmark::DoNotOptimize(tray.ShellPresent());
    benchmark::DoNotOptimize(tray.ShellGeneration());
  }
}
BENCHMARK(BM_RestoreTickWork)->Unit(benchmark::kNanosecond);

// The program idle in its loop with the icon shown, for 5 s of wall time:
// arg 0 nothing else, 1 the restore watch running, 2 a bare timer of the
// same interval instead (what any 100 ms wake-up costs on this machine).
void BM_IdleCpu(benchmark::State& state) {
  Program& p = TheProgram();
  if (p.x11 == nullptr) {
    state.SkipWithError("needs a display");
    return;
  }
  p.icon->SetRestoreOnShellFail(state.range(0) == 1);
  auto bare = p.platform->loop().CreateTimer([] {});
  bare->SetInterval(shell::TrayIcon::kRestoreIntervalMs);
  bare->SetEnabled(state.range(0) == 2);
  double cpu = 0;
  double wall = 0;
  for (auto _ : state) {
    const double c0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    bool done = false;
    auto stop = p.platform->loop().CreateTimer([&] { done = true; });
    stop->SetInterval(5000);
    stop->SetEnabled(true);
    p.platform->loop().RunModal([&] { return done; });
    cpu += CpuSeconds() - c0;
    wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
  }
  state.counters["cpu_percent"] = 100.0 * cpu / wall;
  p.icon->SetRestoreOnShellFail(false);
}
BENCHMARK(BM_IdleCpu)->Arg(0)->Arg(1)->Arg(2)->Iterations(1)->Unit(benchmark::kMillisecond);

// What the machine charges for a bare wake-up every 100 ms (a ppoll with
// nothing to watch), the floor under arg 2 above.
void BM_BareWake(benchmark::State& state) {
  double cpu = 0;
  for (auto _ : state) {
    const double c0 = CpuSeconds();
    timespec to{0, 100'000'000};
    for (int i = 0; i < 50; ++i) ppoll(nullptr, 0, &to, nullptr);
    cpu += CpuSeconds() - c0;
  }
  state.counters["cpu_percent"] = 100.0 * cpu / 5;
}
BENCHMARK(BM_BareWake)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
