// Speed of the control host: a full repaint of a form the size of the main
// window holding a list with 16 visible rows, and one raw event from the
// host's sink to the control under the pointer.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "controls/XP_ListBox.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/sim/platform.h"
#include "platform/text.h"

namespace {

using pd::kTwipsPerPixel;

// The main window's client area (436 x 466) with a page container and the
// process list on it, in the list's place on the process page.
struct MainWindowLike {
  MainWindowLike() {
    form.Move(0, 0, 436 * kTwipsPerPixel, 466 * kTwipsPerPixel);
    page.Move(90, 390, 6360, 6135);
    list.Move(90, 300, 6180, 5310);  // 412 x 354 pixels
    list.SetItemHeight(22);          // 16 visible rows
    for (int i = 0; i < 1000; ++i) {
      const std::string n = std::to_string(4000 + i);
      list.AddItem(pd::text::FromAscii("process" + n + ".exe<left=100>C:\\Program Files\\Vendor\\process" + n +
                                       ".exe"),
                   -1, nullptr, false);
    }
    list.Refresh();
    form.Show();
  }
  pd::sim::SimPlatform sim;
  pd::forms::ControlHost host{sim};
  pd::forms::Form form{host, u"frmMain", u"Process Drovak"};
  // A page container: a white container, as the window's pages are.
  struct Page : pd::forms::Container {
    using Container::Container;
    void OnPaint(pd::platform::Surface& s) override { s.FillRect(pd::Rect{0, 0, PixelWidth(), PixelHeight()}, 0xFFFFFF); }
  } page{form, u"picPage"};
  pd::controls::XP_ListBox list{page, u"lstProc"};
};

void BM_FullRepaintOfAMainWindowWithAList(benchmark::State& state) {
  MainWindowLike w;
  for (auto _ : state) w.form.RepaintAll();
  state.counters["visible_rows"] = w.list.VisibleRows();
}
BENCHMARK(BM_FullRepaintOfAMainWindowWithAList)->Unit(benchmark::kMicrosecond);

void BM_MouseMoveFromTheSinkToTheControl(benchmark::State& state) {
  MainWindowLike w;
  const pd::WindowHandle window = w.form.Window();
  int moves = 0;
  w.list.MouseMove.Connect([&](std::int16_t&, std::int16_t&, float&, float&) { ++moves; });
  pd::platform::HostEvent move{.kind = pd::platform::HostEventKind::kMouseMove, .window = window};
  int x = 0;
  for (auto _ : state) {
    move.pos = pd::Point{100 + (x++ & 63), 200};
    w.sim.host().Deliver(move);
  }
  benchmark::DoNotOptimize(moves);
}
BENCHMARK(BM_MouseMoveFromTheSinkToTheControl);

}  // namespace

BENCHMARK_MAIN();
