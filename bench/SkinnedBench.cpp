// Speed of the skinned button's paint: a 91 x 21 button with a two-line
// Cyrillic caption and a 16 x 16 icon beside it, drawn on the software
// surface (the frame of a shown form) with the real font. Goal: 50 us.
#include <benchmark/benchmark.h>

#include "controls/CaptionLayout.h"
#include "controls/XP_Button.h"
#include "forms/ControlHost.h"
#include "forms/Form.h"
#include "platform/sim/platform.h"

namespace {

using pd::kTwipsPerPixel;

struct ButtonForm {
  ButtonForm() {
    pd::platform::Font verdana;
    verdana.face = u"Verdana";
    form.SetFont(verdana);
    form.Move(0, 0, 200 * kTwipsPerPixel, 60 * kTwipsPerPixel);
    button.SetFont(verdana);
    button.Move(10 * kTwipsPerPixel, 10 * kTwipsPerPixel, 91 * kTwipsPerPixel, 21 * kTwipsPerPixel);
    button.SetCaption(u"Обновить список");
    button.SetPicture(sim.resources().LoadPicture(pd::platform::res::kIconSuccess, 16));
    form.Show();
  }
  pd::sim::SimPlatform sim;
  pd::forms::ControlHost host{sim};
  pd::forms::Form form{host, u"frmMain", u"Process Drovak"};
  pd::controls::XP_Button button{form, u"cmdProc_Kill"};
};

void BM_PaintButtonWithTwoLineCaptionAndIcon(benchmark::State& state) {
  ButtonForm f;
  for (auto _ : state) f.button.Refresh();
  // The caption as laid out beside the icon: two lines.
  auto measure = f.sim.graphics().CreateSurface(1, 1);
  measure->SetFont(f.button.Font());
  const auto place = pd::controls::PlaceCaption(*measure, 91, 21, f.button.Caption(), 0, 16, 16);
  state.counters["caption_lines"] = static_cast<double>(pd::platform::SplitTextLines(place.text).size());
}
BENCHMARK(BM_PaintButtonWithTwoLineCaptionAndIcon)->Unit(benchmark::kMicrosecond);

// The same button with the hover look following the pointer: one move over
// it and one away (the watch's tick included) per iteration.
void BM_HoverInAndOut(benchmark::State& state) {
  ButtonForm f;
  const pd::WindowHandle w = f.form.Window();
  for (auto _ : state) {
    f.sim.MouseMove(w, pd::Point{40, 20});
    f.sim.MouseMove(w, pd::Point{150, 50});
    f.sim.loop().Advance(10);
  }
}
BENCHMARK(BM_HoverInAndOut)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
