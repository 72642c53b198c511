// Fuzz target: item texts of the list, which carry process names and paths
// that anyone who starts a process chooses. Any text parses within the step
// limit, parsing is repeatable, and drawing the runs on a small surface
// (with one registered picture) stays inside it whatever numbers the text
// holds.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "controls/ColorText.h"
#include "controls/MarkupParser.h"
#include "platform/soft/SoftGraphics.h"
#include "platform/text.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace pd;
  const String text = text::FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  const auto runs = controls::ParseItemText(text);
  Check(runs.size() <= static_cast<std::size_t>(controls::kMaxParseSteps));
  Check(runs == controls::ParseItemText(text));

  static soft::SoftGraphics graphics;
  static const controls::PictureTable pictures = [] {
    const Colour pixels[4] = {0x0000FF, 0x00FF00, 0xFF0000, 0xFFFFFF};
    controls::PictureTable table;
    table.Set(1, graphics.CreatePicture(2, 2, pixels));
    return table;
  }();
  auto surface = graphics.CreateSurface(64, 32);
  platform::Font font;
  font.face = String(platform::kFixedFace);
  surface->SetFont(font);
  surface->SetTextColor(0x123456);
  controls::DrawColorText(*surface, runs, 3, 2, 50, pictures);
  Check(surface->TextColor() == 0x123456);
  Check(surface->CurrentFont() == font);
  return 0;
}
