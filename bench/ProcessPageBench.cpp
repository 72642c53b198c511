// The process page's refresh (RefreshProcessList: a walk, each process's
// identity read fresh, name and path included, the list filled and painted
// once) of 1,000 processes: on the
// simulation (process_page_bench), and on Linux with the real backend, its
// window on an X server and 1,000 processes in all on the machine (children
// started for the run; process_page_bench_x11).
//
//   cmake --preset release && cmake --build --preset release --target process_page_bench process_page_bench_x11
//   build/release/bench/process_page_bench
//   scripts/with-xvfb -- build/release/bench/process_page_bench_x11
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "app/ProcessPage.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/text.h"

#ifndef PD_BENCH_X11
#include "platform/sim/platform.h"
#endif

#ifdef PD_BENCH_X11
#include "Sleepers.h"
#endif

namespace {

using namespace pd;

void RunRefresh(benchmark::State& state, platform::Platform& platform) {
  forms::ControlHost host(platform);
  forms::Form form(host, u"frmMain", u"Process Drovak 1.3");
  form.Move(0, 0, 6540, 6990);
  form.Show();
  app::modMain services(platform);
  app::ProcessPage page(platform, services, host, form, {});
  page.RefreshProcessList();
  for (auto _ : state) page.RefreshProcessList();
  state.counters["processes"] = static_cast<double>(page.lstProc().ListCount());
}

#ifndef PD_BENCH_X11
void BM_RefreshSim(benchmark::State& state) {
  sim::SimPlatform sim;
  for (int i = 0; i < 1000; ++i) {
    sim.processes().Start(u"C:\\Program Files\\Vendor " + text::FromAscii(std::to_string(i)) + u"\\program" +
                          text::FromAscii(std::to_string(i)) + u".exe");
  }
  RunRefresh(state, sim);
}
BENCHMARK(BM_RefreshSim)->Unit(benchmark::kMillisecond);
#else
void BM_RefreshLinux(benchmark::State& state) {
  String error;
  const auto platform = platform::CreatePlatform(error);
  if (!platform) {
    state.SkipWithError(("no X display: " + text::ToUtf8(error)).c_str());
    return;
  }
  RunRefresh(state, *platform);
}
BENCHMARK(BM_RefreshLinux)->Unit(benchmark::kMillisecond);

#endif

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
#ifdef PD_BENCH_X11
  // Up to 1,000 processes in all on this machine.
  const int running = pd::bench::RunningProcesses();
  const std::vector<pid_t> sleepers = pd::bench::StartSleepers(running < 1000 ? 1000 - running : 0);
  sleep(2);  // past the walk's young-process second
  benchmark::AddCustomContext("extra processes", std::to_string(sleepers.size()));
#endif
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
#ifdef PD_BENCH_X11
  pd::bench::StopSleepers(sleepers);
#endif
  return 0;
}
