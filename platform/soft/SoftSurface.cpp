#include "platform/soft/SoftSurface.h"

#include <algorithm>
#include <cstdlib>

#include "platform/soft/Pixel.h"
#include "platform/soft/SoftGraphics.h"
#include "platform/soft/SoftPicture.h"

namespace pd::soft {
namespace {

// Pictures of other backends never reach this surface; a foreign picture
// draws nothing.
const SoftPicture* AsSoft(const platform::Picture& pic) { return dynamic_cast<const SoftPicture*>(&pic); }

}  // namespace

SoftSurface::SoftSurface(int width, int height, std::shared_ptr<FontCache> fonts, Presenter present)
    : width_(std::max(1, width)),
      height_(std::max(1, height)),
      data_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0xFFFFFFu),
      fonts_(fonts ? std::move(fonts) : std::make_shared<FontCache>()),
      present_(std::move(present)),
      clip_{0, 0, width_, height_} {}

std::uint32_t SoftSurface::ToPixel(Colour colour) {
  return SwapRedBlue(SoftGraphics::ClassicColour(colour)) & 0xFFFFFFu;
}

void SoftSurface::Clear() { std::fill(data_.begin(), data_.end(), ToPixel(back_)); }

void SoftSurface::FillRect(const Rect& r, Colour colour) {
  const Rect c = Intersect(r, Bounds());
  if (IsEmpty(c)) return;
  const std::uint32_t px = ToPixel(colour);
  for (int y = c.top; y < c.bottom; ++y) std::fill(MutableRow(y) + c.left, MutableRow(y) + c.right, px);
}

void SoftSurface::Line(Point from, Point to, Colour colour) {
  // Bresenham, the end point excluded.
  const std::uint32_t px = ToPixel(colour);
  const int dx = std::abs(to.x - from.x);
  const int dy = -std::abs(to.y - from.y);
  const int sx = from.x < to.x ? 1 : -1;
  const int sy = from.y < to.y ? 1 : -1;
  int err = dx + dy;
  int x = from.x;
  int y = from.y;
  while (x != to.x || y != to.y) {
    if (x >= 0 && y >= 0 && x < width_ && y < height_) MutableRow(y)[x] = px;
    const int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y += sy;
    }
  }
}

void SoftSurface::CopyPicture(const platform::Picture& pic, Point dst, const Rect& src) {
  const SoftPicture* p = AsSoft(pic);
  if (p == nullptr) return;
  // Clip the source to the picture, then the destination to the surface.
  Rect s = Intersect(src, Rect{0, 0, p->Width(), p->Height()});
  Point d{dst.x + (s.left - src.left), dst.y + (s.top - src.top)};
  const Rect target = Intersect(Rect{d.x, d.y, d.x + s.Width(), d.y + s.Height()}, Bounds());
  if (IsEmpty(s) || IsEmpty(target)) return;
  s.left += target.left - d.x;
  s.top += target.top - d.y;
  for (int y = 0; y < target.Height(); ++y) {
    const std::uint32_t* in = p->Row(s.top + y) + s.left;
    std::uint32_t* out = MutableRow(target.top + y) + target.left;
    for (int x = 0; x < target.Width(); ++x) out[x] = in[x] & 0xFFFFFFu;
  }
}

void SoftSurface::Stretch(const platform::Picture& pic, const Rect& dst, const Rect& src, bool keyed,
                          std::uint32_t key) {
  const SoftPicture* p = AsSoft(pic);
  if (p == nullptr || dst.Width() <= 0 || dst.Height() <= 0 || src.Width() <= 0 || src.Height() <= 0) return;
  if (src.left < 0 || src.top < 0 || src.right > p->Width() || src.bottom > p->Height()) return;
  const Rect target = Intersect(dst, Bounds());
  if (IsEmpty(target)) return;
  const std::int64_t dw = dst.Width();
  const std::int64_t dh = dst.Height();
  // Each destination pixel takes the source pixel under its centre.
  std::vector<int> columns(static_cast<std::size_t>(target.Width()));
  for (int x = target.left; x < target.right; ++x) {
    columns[static_cast<std::size_t>(x - target.left)] =
        src.left + static_cast<int>((2 * (x - dst.left) + 1) * static_cast<std::int64_t>(src.Width()) / (2 * dw));
  }
  for (int y = target.top; y < target.bottom; ++y) {
    const int sy = src.top + static_cast<int>((2 * (y - dst.top) + 1) * static_cast<std::int64_t>(src.Height()) / (2 * dh));
    const std::uint32_t* in = p->Row(sy);
    std::uint32_t* out = MutableRow(y);
    for (int x = target.left; x < target.right; ++x) {
      const std::uint32_t v = in[columns[static_cast<std::size_t>(x - target.left)]] & 0xFFFFFFu;
      if (!keyed || v != key) out[x] = v;
    }
  }
}

void SoftSurface::StretchPicture(const platform::Picture& pic, const Rect& dst, const Rect& src) {
  Stretch(pic, dst, src, false, 0);
}

void SoftSurface::CopyPictureTransparent(const platform::Picture& pic, const Rect& dst, const Rect& src, Colour key) {
  Stretch(pic, dst, src, true, ToPixel(key));
}

std::vector<Colour> SoftSurface::ReadPixels(const Rect& r) const {
  if (r.Width() <= 0 || r.Height() <= 0) return {};
  std::vector<Colour> out(static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height()), 0);
  const Rect c = Intersect(r, Bounds());
  for (int y = c.top; y < c.bottom; ++y) {
    const std::uint32_t* in = Row(y);
    Colour* o = out.data() + static_cast<std::size_t>(y - r.top) * static_cast<std::size_t>(r.Width());
    for (int x = c.left; x < c.right; ++x) o[x - r.left] = SwapRedBlue(in[x]) & 0xFFFFFFu;
  }
  return out;
}

void SoftSurface::WritePixels(const Rect& r, std::span<const Colour> pixels) {
  if (r.Width() <= 0 || r.Height() <= 0) return;
  if (pixels.size() < static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height())) return;
  const Rect c = Intersect(r, Bounds());
  for (int y = c.top; y < c.bottom; ++y) {
    const Colour* in = pixels.data() + static_cast<std::size_t>(y - r.top) * static_cast<std::size_t>(r.Width());
    std::uint32_t* out = MutableRow(y);
    for (int x = c.left; x < c.right; ++x) out[x] = SwapRedBlue(in[x - r.left]) & 0xFFFFFFu;
  }
}

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
  for (char16_t c : line) w += face.GlyphFor(c).advance;
  return w;
}

int SoftSurface::TextWidth(StringView text) {
  int widest = 0;
  for (StringView line : platform::SplitTextLines(text)) widest = std::max(widest, LineWidth(line));
  return widest;
}

int SoftSurface::TextHeight(StringView text) {
  return static_cast<int>(platform::SplitTextLines(text).size()) * Face().LineHeight();
}

void SoftSurface::DrawLine(int x, int y, StringView line, const Rect& clip) {
  if (IsEmpty(clip)) return;
  GlyphFace& face = Face();
  const std::uint32_t colour = ToPixel(textColour_);
  const int start = x;
  for (char16_t ch : line) {
    const Glyph& g = face.GlyphFor(ch);
    const int gx = x + g.left;
    const int gy = y + g.top;
    const Rect box = Intersect(Rect{gx, gy, gx + g.width, gy + g.height}, clip);
    for (int py = box.top; py < box.bottom; ++py) {
      const std::uint8_t* cov = g.coverage.data() + static_cast<std::size_t>(py - gy) * static_cast<std::size_t>(g.width);
      std::uint32_t* out = MutableRow(py);
      for (int px = box.left; px < box.right; ++px) {
        const std::uint8_t a = cov[px - gx];
        if (a != 0) out[px] = Blend(out[px], colour, a);
      }
    }
    x += g.advance;
  }
  if (font_.underline && x > start) {
    const int top = y + face.UnderlineTop();
    const Rect u = Intersect(Rect{start, top, x, top + face.UnderlineThickness()}, clip);
    if (IsEmpty(u)) return;  // wholly beyond the clip: the intersection is inverted
    for (int py = u.top; py < u.bottom; ++py) std::fill(MutableRow(py) + u.left, MutableRow(py) + u.right, colour);
  }
}

void SoftSurface::TextAt(Point p, StringView text) { DrawLine(p.x, p.y, text, Bounds()); }

void SoftSurface::TextIn(const Rect& r, StringView text, unsigned format) {
  const Rect clip = Intersect(r, Bounds());
  if (IsEmpty(clip)) return;
  const int lineHeight = Face().LineHeight();
  const bool single = (format & platform::dt::kSingleLine) != 0;
  std::vector<StringView> lines;
  if (single) {
    lines.push_back(text);
  } else {
    lines = platform::SplitTextLines(text);
  }
  int y = r.top;
  if (single && (format & platform::dt::kVCenter) != 0) y = r.top + (r.Height() - lineHeight) / 2;
  for (StringView line : lines) {
    if (y >= clip.bottom) break;
    int x = r.left;
    if ((format & platform::dt::kCenter) != 0) {
      x = r.left + (r.Width() - LineWidth(line)) / 2;
    } else if ((format & platform::dt::kRight) != 0) {
      x = r.right - LineWidth(line);
    }
    DrawLine(x, y, line, clip);
    y += lineHeight;
  }
}

void SoftSurface::Present() {
  ++presents_;
  if (present_) present_(*this, Bounds());
}

}  // namespace pd::soft

namespace pd::soft {

void SoftSurface::SetView(Point origin, const Rect& clip) {
  origin_ = origin;
  clip_ = Intersect(clip, Bounds());
}

void SoftSurface::PresentRect(const Rect& r) {
  const Rect part = Intersect(r, Bounds());
  ++presents_;
  if (present_ && part.Width() > 0 && part.Height() > 0) present_(*this, part);
}

}  // namespace pd::soft
