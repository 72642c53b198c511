// Speed of the software surface: one full 436 x 466 form frame painted
// control by control through views (background, frames, captions with word
// breaks and "..." endings, pictures), in the default font. The goal is a
// frame well under 2 ms.
#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "platform/soft/SoftGraphics.h"
#include "platform/surface.h"

namespace {

using pd::Colour;
using pd::Point;
using pd::Rect;
namespace dt = pd::platform::dt;

void PaintFrame(pd::platform::Surface& s, const pd::platform::Picture& icon) {
  s.ResetView();
  s.SetBackColor(0x8000000F);
  s.Clear();
  // Four columns of eight controls, each 100 x 52, in a container at (8, 8).
  const Point container{8, 8};
  for (int i = 0; i < 32; ++i) {
    const Rect box{container.x + (i % 4) * 106, container.y + (i / 4) * 56, 0, 0};
    s.SetView(Point{box.left, box.top}, Rect{box.left, box.top, box.left + 100, box.top + 52});
    s.FillRect(Rect{0, 0, 100, 52}, 0x80000005);
    s.Line(Point{0, 0}, Point{99, 0}, 0x80000010);
    s.Line(Point{0, 0}, Point{0, 51}, 0x80000010);
    s.Line(Point{99, 0}, Point{99, 52}, 0x80000014);
    s.Line(Point{0, 51}, Point{99, 51}, 0x80000014);
    s.CopyPictureTransparent(icon, Rect{3, 3, 19, 19}, Rect{0, 0, 16, 16}, 0xFF00FF);
    s.TextIn(Rect{22, 3, 97, 19}, u"C:\\Program Files\\Vendor\\bin\\process.exe",
             dt::kEndEllipsis | dt::kVCenter | dt::kSingleLine);
    s.TextIn(Rect{3, 20, 97, 50}, u"Список исключений: процессы, которые не завершаются", dt::kWordBreak);
  }
  s.ResetView();
}

void BM_PaintFormFrame(benchmark::State& state) {
  auto graphics = std::make_unique<pd::soft::SoftGraphics>();
  auto surface = graphics->CreateSurface(436, 466);
  surface->SetFont(pd::platform::Font{});
  std::vector<Colour> px(256, 0x00C000);
  for (int i = 0; i < 16; ++i) px[static_cast<std::size_t>(i * 17)] = 0xFF00FF;
  auto icon = graphics->CreatePicture(16, 16, px);
  PaintFrame(*surface, *icon);  // fonts and glyphs loaded
  for (auto _ : state) {
    PaintFrame(*surface, *icon);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_PaintFormFrame)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
