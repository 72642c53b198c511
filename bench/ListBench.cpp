// Speed of the rich list: parsing item texts of the process page's shape,
// filling a list of 100,000 items, and one repaint of a long and a short list
// (only the visible rows are drawn, so both cost the same).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "controls/MarkupParser.h"
#include "controls/XP_ListBox.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/sim/backend.h"
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

}  // namespace

BENCHMARK_MAIN();
