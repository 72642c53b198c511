// Text of the software surface: measuring, drawing a line of glyphs, and the
// layout of TextIn (CR LF lines, word breaks, alignment, "..." endings).
#include <algorithm>

#include "platform/soft/Pixel.h"
#include "platform/soft/SoftSurface.h"

namespace pd::soft {
namespace {

namespace dt = platform::dt;

constexpr StringView kEllipsis = u"...";

// The glyph of the character at line[i]: a surrogate pair draws as one
// character on its first unit, and its second unit takes no room.
const Glyph& GlyphAt(GlyphFace& face, StringView line, std::size_t i) {
  static const Glyph kNothing;
  const char16_t c = line[i];
  if (c >= 0xD800 && c <= 0xDBFF && i + 1 < line.size() && line[i + 1] >= 0xDC00 && line[i + 1] <= 0xDFFF) {
    return face.GlyphFor(0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (line[i + 1] - 0xDC00));
  }
  if (c >= 0xDC00 && c <= 0xDFFF && i > 0 && line[i - 1] >= 0xD800 && line[i - 1] <= 0xDBFF) return kNothing;
  return face.GlyphFor(c);
}

// Calls f with each line of text split at CR LF (as SplitTextLines, without
// building a list) until f returns false.
template <class F>
void ForEachLine(StringView text, F&& f) {
  std::size_t start = 0;
  for (;;) {
    const std::size_t at = text.find(u"\r\n", start);
    if (!f(text.substr(start, at == StringView::npos ? StringView::npos : at - start))) return;
    if (at == StringView::npos) return;
    start = at + 2;
  }
}

// Breaks a line into pieces no wider than width (advance(line, i) gives
// the width of the character at i): at the last space that lets a piece fit, else inside
// a word too long for the width (at least one character a piece). The
// spaces at a break belong to neither piece. Calls emit with each piece
// until it returns false.
template <class Advance, class Emit>
void BreakWords(StringView line, int width, Advance&& advance, Emit&& emit) {
  std::size_t pos = 0;
  const std::size_t n = line.size();
  for (;;) {
    int w = 0;
    std::size_t i = pos;
    std::size_t space = StringView::npos;  // the last break seen after some ink
    bool ink = false;
    for (; i < n; ++i) {
      const char16_t c = line[i];
      if (c == u' ' && ink) space = i;
      const int a = advance(line, i);
      if (w + a > width) break;
      w += a;
      ink = ink || c != u' ';
    }
    if (i >= n) {
      emit(line.substr(pos));
      return;
    }
    const std::size_t end = space != StringView::npos ? space : std::max(i, pos + 1);
    std::size_t stop = end;
    while (stop > pos && line[stop - 1] == u' ') --stop;
    if (!emit(line.substr(pos, stop - pos))) return;
    pos = end;
    while (pos < n && line[pos] == u' ') ++pos;
    if (pos >= n) return;
  }
}

}  // namespace

void SoftSurface::SetFont(const platform::Font& font) {
  if (font == font_) return;
  font_ = font;
  face_ = nullptr;
}

GlyphFace& SoftSurface::Face() {
  if (face_ == nullptr) face_ = &fonts_->Face(font_);
  return *face_;
}

int SoftSurface::LineWidth(StringView line) {
  GlyphFace& face = Face();
  int w = 0;
  for (std::size_t i = 0; i < line.size(); ++i) w += GlyphAt(face, line, i).advance;
  return w;
}

int SoftSurface::TextWidth(StringView text) {
  int widest = 0;
  ForEachLine(text, [&](StringView line) {
    widest = std::max(widest, LineWidth(line));
    return true;
  });
  return widest;
}

int SoftSurface::TextHeight(StringView text) {
  int lines = 0;
  ForEachLine(text, [&](StringView) { return ++lines > 0; });
  return lines * Face().LineHeight();
}

void SoftSurface::DrawLine(int x, int y, StringView line, const Rect& clip) {
  if (IsEmpty(clip) || line.empty()) return;
  GlyphFace& face = Face();
  const std::uint32_t colour = ToPixel(textColour_);
  const int start = x;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if (x >= clip.right) break;
    const Glyph& g = GlyphAt(face, line, i);
    const int gx = x + g.left;
    const int gy = y + g.top;
    const Rect box = Intersect(Rect{gx, gy, gx + g.width, gy + g.height}, clip);
    for (int py = box.top; py < box.bottom; ++py) {
      const std::uint8_t* cov =
          g.coverage.data() + static_cast<std::size_t>(py - gy) * static_cast<std::size_t>(g.width);
      std::uint32_t* out = MutableRow(py);
      for (int px = box.left; px < box.right; ++px) {
        const std::uint8_t a = cov[px - gx];
        if (a != 0) out[px] = Blend(out[px], colour, a);
      }
    }
    x += g.advance;
  }
  // Stopped at the clip's right edge, x is past it: the cut underline is the same.
  if (!font_.underline) return;
  const int top = y + face.UnderlineTop();
  const Rect u = Intersect(Rect{start, top, x, top + face.UnderlineThickness()}, clip);
  if (!IsEmpty(u)) Fill(u, colour);
}

void SoftSurface::TextAt(Point p, StringView text) {
  const Point at = ToSurface(p);
  DrawLine(at.x, at.y, text, clip_);
}

void SoftSurface::PlaceLine(const Rect& box, int y, StringView line, unsigned format, const Rect& clip) {
  int width = LineWidth(line);
  StringView tail;
  if ((format & dt::kEndEllipsis) != 0 && width > box.Width()) {
    // The longest start of the line that leaves room for the dots.
    GlyphFace& face = Face();
    const int room = box.Width() - LineWidth(kEllipsis);
    int w = 0;
    std::size_t n = 0;
    for (; n < line.size(); ++n) {
      const int a = GlyphAt(face, line, n).advance;
      if (w + a > room) break;
      w += a;
    }
    line = line.substr(0, n);
    tail = kEllipsis;
    width = w + LineWidth(kEllipsis);
  }
  int x = box.left;
  if ((format & dt::kCenter) != 0) {
    x = box.left + (box.Width() - width) / 2;
  } else if ((format & dt::kRight) != 0) {
    x = box.right - width;
  }
  DrawLine(x, y, line, clip);
  if (!tail.empty()) DrawLine(x + width - LineWidth(tail), y, tail, clip);
}

void SoftSurface::TextIn(const Rect& r, StringView text, unsigned format) {
  if (IsEmpty(r)) return;
  const Rect box = ToSurface(r);
  const Rect clip = (format & dt::kNoClip) != 0 ? clip_ : Intersect(box, clip_);
  if (IsEmpty(clip)) return;
  const int lineHeight = Face().LineHeight();
  if ((format & dt::kSingleLine) != 0) {
    int y = box.top;
    if ((format & dt::kVCenter) != 0) {
      y = box.top + (box.Height() - lineHeight) / 2;
    } else if ((format & dt::kBottom) != 0) {
      y = box.bottom - lineHeight;
    }
    PlaceLine(box, y, text, format, clip);
    return;
  }
  // Lines from the top until one would start below the clip.
  int y = box.top;
  auto place = [&](StringView line) {
    PlaceLine(box, y, line, format, clip);
    y += lineHeight;
    return y < clip.bottom;
  };
  GlyphFace& face = Face();
  ForEachLine(text, [&](StringView line) {
    if ((format & dt::kWordBreak) == 0) return place(line);
    bool more = true;
    BreakWords(
        line, box.Width(), [&](StringView l, std::size_t i) { return GlyphAt(face, l, i).advance; },
        [&](StringView piece) { return more = place(piece); });
    return more;
  });
}

}  // namespace pd::soft
