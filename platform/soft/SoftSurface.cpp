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

// A coordinate moved by the origin, kept far from the ends of int so that
// later arithmetic on it cannot overflow.
int Shift(int v, int by) {
  constexpr std::int64_t kLimit = std::int64_t{1} << 30;
  return static_cast<int>(std::clamp(std::int64_t{v} + by, -kLimit, kLimit));
}

}  // namespace

SoftSurface::SoftSurface(int width, int height, std::shared_ptr<FontCache> fonts, Presenter present)
    : width_(std::max(1, width)),
      height_(std::max(1, height)),
      data_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0xFFFFFFu),
      fonts_(fonts ? std::move(fonts) : std::make_shared<FontCache>()),
      present_(std::move(present)),
      clip_{0, 0, width_, height_} {}

void SoftSurface::SetView(Point origin, const Rect& clip) {
  origin_ = origin;
  clip_ = Intersect(clip, Bounds());
}

Point SoftSurface::ToSurface(Point p) const { return Point{Shift(p.x, origin_.x), Shift(p.y, origin_.y)}; }

Rect SoftSurface::ToSurface(const Rect& r) const {
  return Rect{Shift(r.left, origin_.x), Shift(r.top, origin_.y), Shift(r.right, origin_.x), Shift(r.bottom, origin_.y)};
}

std::uint32_t SoftSurface::ToPixel(Colour colour) {
  return SwapRedBlue(SoftGraphics::ClassicColour(colour)) & 0xFFFFFFu;
}

void SoftSurface::Clear() {
  if (!IsEmpty(clip_)) Fill(clip_, ToPixel(back_));
}

void SoftSurface::Fill(const Rect& c, std::uint32_t px) {
  for (int y = c.top; y < c.bottom; ++y) std::fill(MutableRow(y) + c.left, MutableRow(y) + c.right, px);
}

void SoftSurface::FillRect(const Rect& r, Colour colour) {
  const Rect c = Intersect(ToSurface(r), clip_);
  if (!IsEmpty(c)) Fill(c, ToPixel(colour));
}

void SoftSurface::Line(Point from, Point to, Colour colour) {
  const Point a = ToSurface(from);
  const Point b = ToSurface(to);
  if (a == b) return;
  const Rect box{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1};
  if (IsEmpty(Intersect(box, clip_))) return;
  const std::uint32_t px = ToPixel(colour);
  // Straight lines are runs cut to the clip; others go pixel by pixel.
  if (a.y == b.y || a.x == b.x) {
    const Rect run = a.y == b.y ? Rect{std::min(a.x, b.x + 1), a.y, std::max(a.x + 1, b.x), a.y + 1}
                                : Rect{a.x, std::min(a.y, b.y + 1), a.x + 1, std::max(a.y + 1, b.y)};
    const Rect c = Intersect(run, clip_);
    if (!IsEmpty(c)) Fill(c, px);
    return;
  }
  // Bresenham, the end point excluded.
  const int dx = std::abs(b.x - a.x);
  const int dy = -std::abs(b.y - a.y);
  const int sx = a.x < b.x ? 1 : -1;
  const int sy = a.y < b.y ? 1 : -1;
  int err = dx + dy;
  int x = a.x;
  int y = a.y;
  while (x != b.x || y != b.y) {
    if (x >= clip_.left && y >= clip_.top && x < clip_.right && y < clip_.bottom) MutableRow(y)[x] = px;
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
  // Clip the source to the picture, then the destination to the view.
  Rect s = Intersect(src, Rect{0, 0, p->Width(), p->Height()});
  if (IsEmpty(s)) return;
  const Point at = ToSurface(dst);
  const Point d{at.x + (s.left - src.left), at.y + (s.top - src.top)};
  const Rect target = Intersect(Rect{d.x, d.y, d.x + s.Width(), d.y + s.Height()}, clip_);
  if (IsEmpty(target)) return;
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
  const Rect d = ToSurface(dst);
  const Rect target = Intersect(d, clip_);
  if (IsEmpty(target)) return;
  const std::int64_t dw = d.Width();
  const std::int64_t dh = d.Height();
  // Each destination pixel takes the source pixel under its centre, counted
  // from the whole destination whatever the clip leaves of it.
  columns_.resize(static_cast<std::size_t>(target.Width()));
  for (int x = target.left; x < target.right; ++x) {
    columns_[static_cast<std::size_t>(x - target.left)] =
        src.left + static_cast<int>((2 * std::int64_t{x - d.left} + 1) * src.Width() / (2 * dw));
  }
  const int* columns = columns_.data();
  const int n = target.Width();
  for (int y = target.top; y < target.bottom; ++y) {
    const int sy = src.top + static_cast<int>((2 * std::int64_t{y - d.top} + 1) * src.Height() / (2 * dh));
    const std::uint32_t* in = p->Row(sy);
    std::uint32_t* out = MutableRow(y) + target.left;
    if (keyed) {
      for (int x = 0; x < n; ++x) {
        const std::uint32_t v = in[columns[x]] & 0xFFFFFFu;
        if (v != key) out[x] = v;
      }
    } else {
      for (int x = 0; x < n; ++x) out[x] = in[columns[x]] & 0xFFFFFFu;
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
  const Rect at = ToSurface(r);
  const Rect c = Intersect(at, clip_);
  for (int y = c.top; y < c.bottom; ++y) {
    const std::uint32_t* in = Row(y) + c.left;
    Colour* o = out.data() + static_cast<std::size_t>(y - at.top) * static_cast<std::size_t>(r.Width()) +
                static_cast<std::size_t>(c.left - at.left);
    for (int x = 0; x < c.Width(); ++x) o[x] = SwapRedBlue(in[x]) & 0xFFFFFFu;
  }
  return out;
}

void SoftSurface::WritePixels(const Rect& r, std::span<const Colour> pixels) {
  if (r.Width() <= 0 || r.Height() <= 0) return;
  if (pixels.size() < static_cast<std::size_t>(r.Width()) * static_cast<std::size_t>(r.Height())) return;
  const Rect at = ToSurface(r);
  const Rect c = Intersect(at, clip_);
  for (int y = c.top; y < c.bottom; ++y) {
    const Colour* in = pixels.data() + static_cast<std::size_t>(y - at.top) * static_cast<std::size_t>(r.Width()) +
                       static_cast<std::size_t>(c.left - at.left);
    std::uint32_t* out = MutableRow(y) + c.left;
    for (int x = 0; x < c.Width(); ++x) out[x] = SwapRedBlue(in[x]) & 0xFFFFFFu;
  }
}

void SoftSurface::Present() {
  ++presents_;
  if (present_) present_(*this, Bounds());
}

void SoftSurface::PresentRect(const Rect& r) {
  const Rect part = Intersect(r, Bounds());
  ++presents_;
  if (present_ && !IsEmpty(part)) present_(*this, part);
}

}  // namespace pd::soft
