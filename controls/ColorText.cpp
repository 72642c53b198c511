#include "controls/ColorText.h"

#include <algorithm>

namespace pd::controls {
namespace {

// Far outside any surface, yet safe to add a surface size to.
constexpr std::int64_t kCoordLimit = 1 << 30;

int Coord(std::int64_t v) { return static_cast<int>(std::clamp(v, -kCoordLimit, kCoordLimit)); }

bool IsLineBreak(const TextRun& run) { return run.Text == u"\r\n"; }

// Puts back the font style and the text colour the surface had.
class StyleGuard {
 public:
  explicit StyleGuard(platform::Surface& s) : surface_(s), font_(s.CurrentFont()), colour_(s.TextColor()) {}
  ~StyleGuard() {
    SetStyle(font_.bold, font_.italic, font_.underline);
    surface_.SetTextColor(colour_);
  }
  StyleGuard(const StyleGuard&) = delete;
  StyleGuard& operator=(const StyleGuard&) = delete;

  void Apply(const TextRun& run) {
    SetStyle(run.Bold, run.Italic, run.Underline);
    surface_.SetTextColor(run.ColorOrBitmap == kDefaultColour ? colour_
                                                              : static_cast<Colour>(run.ColorOrBitmap));
  }

 private:
  void SetStyle(bool bold, bool italic, bool underline) {
    const platform::Font& now = surface_.CurrentFont();
    if (now.bold == bold && now.italic == italic && now.underline == underline) return;
    platform::Font f = now;
    f.bold = bold;
    f.italic = italic;
    f.underline = underline;
    surface_.SetFont(f);
  }

  platform::Surface& surface_;
  const platform::Font font_;
  const Colour colour_;
};

}  // namespace

namespace {

// Where the pen goes next on this line by a "<left=" after run i: text
// that would reach it is cut there, so a long first column never runs into
// the next. None (-1) when the line has no such stop.
std::int64_t NextStop(std::span<const TextRun> runs, std::size_t i, std::int64_t x) {
  for (std::size_t j = i + 1; j < runs.size(); ++j) {
    if (runs[j].Kind == RunText && IsLineBreak(runs[j])) break;
    if (runs[j].Kind == RunLeft) return x + runs[j].OffsetX;
  }
  return -1;
}

// Room left before a column stop, in pixels.
constexpr std::int64_t kColumnGap = 4;

}  // namespace

void DrawColorText(platform::Surface& surface, std::span<const TextRun> runs, std::int32_t x, std::int32_t y,
                   std::int32_t width, const PictureTable& pictures) {
  StyleGuard style(surface);
  const std::int64_t limit = std::int64_t{x} + width;
  std::int64_t penX = x;
  std::int64_t penY = y;
  for (std::size_t i = 0; i < runs.size(); ++i) {
    const TextRun& run = runs[i];
    if (penX >= limit) break;
    switch (run.Kind) {
      case RunText:
        if (IsLineBreak(run)) {
          penX = x;
          penY += surface.TextHeight(u"");
        } else {
          style.Apply(run);
          const int textWidth = surface.TextWidth(run.Text);
          const std::int64_t stop = NextStop(runs, i, x) - kColumnGap;
          if (stop > penX && penX + textWidth > stop) {
            const Rect room{Coord(penX), Coord(penY), Coord(stop), Coord(penY + surface.TextHeight(u""))};
            surface.TextIn(room, run.Text, platform::dt::kSingleLine | platform::dt::kEndEllipsis);
          } else {
            surface.TextAt({Coord(penX), Coord(penY)}, run.Text);
          }
          penX += textWidth;
        }
        break;
      case RunLeft:
        penX = std::int64_t{x} + run.OffsetX;
        break;
      case RunCell: {
        style.Apply(run);
        const std::int64_t bottom = penY + (run.RunHeight > 0 ? run.RunHeight : surface.TextHeight(u""));
        const Rect cell{Coord(penX), Coord(penY), Coord(penX + run.RunWidth), Coord(bottom)};
        if (cell.Width() > 0 && cell.Height() > 0) {
          surface.TextIn(cell, run.Text, static_cast<unsigned>(run.Align) & platform::dt::kLayoutMask);
        }
        penX += run.RunWidth;
        break;
      }
      case RunImage: {
        const std::int64_t tx = run.OffsetX == kAtPen ? penX : std::int64_t{x} + run.OffsetX;
        const std::int64_t ty = run.OffsetY == kAtPen ? penY : std::int64_t{y} + run.OffsetY;
        if (const platform::Picture* pic = pictures.Find(run.ColorOrBitmap)) {
          const int w = std::min(run.RunWidth, pic->Width());
          const int h = std::min(run.RunHeight, pic->Height());
          if (w > 0 && h > 0) surface.CopyPicture(*pic, {Coord(tx), Coord(ty)}, {0, 0, w, h});
        }
        if (run.OffsetX == kAtPen) penX += run.RunWidth;
        break;
      }
      default:
        break;
    }
  }
}

}  // namespace pd::controls
