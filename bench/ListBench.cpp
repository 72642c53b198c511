// Speed of the rich list: parsing item texts of the process page's shape,
// filling a list of 100,000 items, one repaint of a long and a short list
// (only the visible rows are drawn, so both cost the same), one scroll step
// by a click on an arrow with its repaint (goal: at most 1 ms, the same for
// 100 and 100,000 items), and a thumb dragged across the whole track one
// pixel a move, each move a repaint (goal: at least 60 repaints a second).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "controls/ListScrollBar.h"
#include "controls/MarkupParser.h"
#include "controls/XP_ListBox.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/sim/platform.h"
#include "platform/surface.h"
#include "platform/text.h"

namespace {

using pd::String;

// "processNNNNNN.exe<left=100>C:\Program Files\Vendor NNNNNN\bin\processNNNNNN.exe",
// as the process page writes its rows; numbers are padded so every row has the
// same length and lists of any size draw the same rows.
// A shown form of 460 x 250 pixels to hold the list.
struct Bench {
  Bench() {
    form.Move(0, 0, 460 * pd::kTwipsPerPixel, 250 * pd::kTwipsPerPixel);
    form.Show();
  }
  pd::sim::SimPlatform sim;
  pd::forms::ControlHost host{sim};
  pd::forms::Form form{host, u"frmBench", u"Bench"};
};

std::unique_ptr<pd::controls::XP_ListBox> PlaceList(pd::forms::Form& form) {
  auto list = std::make_unique<pd::controls::XP_ListBox>(form, u"lstProc");
  list->Move(0, 0, 460 * pd::kTwipsPerPixel, 250 * pd::kTwipsPerPixel);
  return list;
}

std::vector<String> ProcessItems(int count) {
  std::vector<String> items;
  items.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    std::string n = std::to_string(i);
    n.insert(0, 6 - std::min<std::size_t>(6, n.size()), '0');
    const std::string name = "process" + n + ".exe";
    items.push_back(pd::text::FromAscii(name + "<left=100>C:\\Program Files\\Vendor " + n + "\\bin\\" + name));
  }
  return items;
}

void BM_ParseProcessItems(benchmark::State& state) {
  const auto items = ProcessItems(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    for (const String& s : items) benchmark::DoNotOptimize(pd::controls::ParseItemText(s));
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ParseProcessItems)->Arg(100000)->Unit(benchmark::kMillisecond);

// The process page: AddItem with Redraw False for every row, then one Refresh.
void BM_AddItemsThenRefresh(benchmark::State& state) {
  const auto items = ProcessItems(static_cast<int>(state.range(0)));
  Bench b;
  for (auto _ : state) {
    auto list = PlaceList(b.form);
    list->SetItemHeight(16);
    for (const String& s : items) list->AddItem(s, -1, nullptr, false);
    list->Refresh();
    benchmark::DoNotOptimize(list->ListCount());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_AddItemsThenRefresh)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// One repaint (Refresh) of a 460 x 250 list scrolled to the middle, in the
// default font.
void BM_Repaint(benchmark::State& state) {
  const auto items = ProcessItems(static_cast<int>(state.range(0)));
  Bench b;
  auto placed = PlaceList(b.form);
  pd::controls::XP_ListBox& list = *placed;
  list.SetItemHeight(16);
  for (const String& s : items) list.AddItem(s, -1, nullptr, false);
  list.Refresh();
  list.SetListIndex(static_cast<std::int32_t>(state.range(0) / 2));
  for (auto _ : state) list.Refresh();
  state.counters["rows"] = list.VisibleRows() + 1;
}
BENCHMARK(BM_Repaint)->Arg(100)->Arg(100000)->Unit(benchmark::kMicrosecond);

// A list of n items on the bench form, its rows 16 pixels high.
struct FilledList {
  explicit FilledList(std::int64_t n) : list(PlaceList(b.form)) {
    list->SetItemHeight(16);
    for (const String& s : ProcessItems(static_cast<int>(n))) list->AddItem(s, -1, nullptr, false);
    list->Refresh();
  }
  pd::Point Centre(pd::controls::ScrollPart::Kind kind) const {
    const pd::Rect r = list->ScrollBar().PartOf(kind).FormRect();
    return pd::Point{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  }
  Bench b;
  std::unique_ptr<pd::controls::XP_ListBox> list;
};

// One click on an arrow as the user makes it (press and release through the
// host's events): one row scrolled and the list repainted. Down and up in
// turn, so the list never reaches its end.
void BM_ScrollStepByArrow(benchmark::State& state) {
  FilledList f(state.range(0));
  const auto window = f.b.form.Window();
  const pd::Point down = f.Centre(pd::controls::ScrollPart::Kind::kDown);
  const pd::Point up = f.Centre(pd::controls::ScrollPart::Kind::kUp);
  f.list->SetTopIndex(static_cast<std::int32_t>(state.range(0) / 2));
  const int paints = f.list->RepaintCount();
  bool downward = true;
  for (auto _ : state) {
    const pd::Point at = downward ? down : up;
    f.b.sim.MouseDown(window, at);
    f.b.sim.MouseUp(window, at);
    downward = !downward;
  }
  state.counters["list_paints_per_step"] =
      static_cast<double>(f.list->RepaintCount() - paints) / static_cast<double>(state.iterations());
}
BENCHMARK(BM_ScrollStepByArrow)->Arg(100)->Arg(100000)->Unit(benchmark::kMicrosecond);

// The thumb pressed, dragged from the top of the track to its bottom one
// pixel a move (each move a new top row and a repaint), and let go.
void BM_ThumbDragAcrossTheTrack(benchmark::State& state) {
  FilledList f(state.range(0));
  const auto window = f.b.form.Window();
  const auto& bar = f.list->ScrollBar();
  std::int64_t moves = 0;
  for (auto _ : state) {
    f.list->SetTopIndex(0);
    const pd::Point grip = f.Centre(pd::controls::ScrollPart::Kind::kThumb);
    const int travel = bar.PartOf(pd::controls::ScrollPart::Kind::kDown).FormRect().top - bar.ThumbHeight() -
                       bar.PartOf(pd::controls::ScrollPart::Kind::kUp).FormRect().bottom;
    f.b.sim.MouseDown(window, grip);
    for (int dy = 1; dy <= travel; ++dy) f.b.sim.MouseMove(window, pd::Point{grip.x, grip.y + dy});
    f.b.sim.MouseUp(window, pd::Point{grip.x, grip.y + travel});
    moves += travel;
  }
  if (f.list->TopIndex() != f.list->ListCount() - f.list->VisibleRows()) state.SkipWithError("did not reach the end");
  state.counters["repaints_per_s"] = benchmark::Counter(static_cast<double>(moves), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ThumbDragAcrossTheTrack)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
