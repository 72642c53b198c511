#include "controls/ScrollPainter.h"

#include "controls/ListSkin.h"

namespace pd::controls {
namespace {

Rect Sized(int x, int y, int w, int h) { return Rect{x, y, x + w, y + h}; }

// One piece: a corner (unscaled when the sizes agree) or a stretched part.
void Piece(platform::Surface& s, const platform::Picture& pic, const Rect& dst, const Rect& src) {
  if (dst.Width() <= 0 || dst.Height() <= 0 || src.Width() <= 0 || src.Height() <= 0) return;
  if (dst.Width() == src.Width() && dst.Height() == src.Height()) {
    s.CopyPicture(pic, Point{dst.left, dst.top}, src);
  } else {
    s.StretchPicture(pic, dst, src);
  }
}

}  // namespace

void ScrollPainter::NineSlice(platform::Surface& s, const Rect& dst, const platform::Picture& pic, const Rect& src,
                              int l, int t, int r, int b) {
  const int sx = src.left, sy = src.top, sw = src.Width(), sh = src.Height();
  const int dx = dst.left, dy = dst.top, dw = dst.Width(), dh = dst.Height();
  // Corners.
  Piece(s, pic, Sized(dx, dy, l, t), Sized(sx, sy, l, t));
  Piece(s, pic, Sized(dx + dw - r, dy, r, t), Sized(sx + sw - r, sy, r, t));
  Piece(s, pic, Sized(dx, dy + dh - b, l, b), Sized(sx, sy + sh - b, l, b));
  Piece(s, pic, Sized(dx + dw - r, dy + dh - b, r, b), Sized(sx + sw - r, sy + sh - b, r, b));
  // Edges: top, bottom, left, right.
  Piece(s, pic, Sized(dx + l, dy, dw - l - r, t), Sized(sx + l, sy, sw - l - r, t));
  Piece(s, pic, Sized(dx + l, dy + dh - b, dw - l - r, b), Sized(sx + l, sy + sh - b, sw - l - r, b));
  Piece(s, pic, Sized(dx, dy + t, l, dh - t - b), Sized(sx, sy + t, l, sh - t - b));
  Piece(s, pic, Sized(dx + dw - r, dy + t, r, dh - t - b), Sized(sx + sw - r, sy + t, r, sh - t - b));
  // Centre.
  Piece(s, pic, Sized(dx + l, dy + t, dw - l - r, dh - t - b), Sized(sx + l, sy + t, sw - l - r, sh - t - b));
}

void ScrollPainter::Arrow(bool up, int w, int h, int state, bool disabled) {
  if (skin_ == nullptr) return;
  NineSlice(surface_, Rect{0, 0, w, h}, *skin_, ListSkin::ArrowCell(state, disabled), 5, 5, 5, 5);
  const bool small = w < 17 || h < 17;
  const Rect glyph = ListSkin::GlyphCell(small, up, state, disabled);
  const int gx = (w - glyph.Width()) / 2;
  const int gy = (h - glyph.Height()) / 2;
  surface_.CopyPictureTransparent(*skin_, Sized(gx, gy, glyph.Width(), glyph.Height()), glyph, ListSkin::kKey);
}

void ScrollPainter::Thumb(int w, int h, int state, bool disabled) {
  if (skin_ == nullptr) return;
  NineSlice(surface_, Rect{0, 0, w, h}, *skin_, ListSkin::ThumbCell(state, disabled), 5, 5, 5, 5);
  const Rect grip = ListSkin::GripperCell(state, disabled);
  const int gx = (w - grip.Width()) / 2;
  const int gy = (h - grip.Height()) / 2;
  surface_.CopyPictureTransparent(*skin_, Sized(gx, gy, grip.Width(), grip.Height()), grip, ListSkin::kKey);
}

void ScrollPainter::Track(int w, int h, int state, bool disabled, int pressedFrom, int pressedTo) {
  if (skin_ == nullptr) return;
  NineSlice(surface_, Rect{0, 0, w, h}, *skin_, ListSkin::ShaftCell(0, false), 1, 0, 1, 0);
  if (pressedTo > pressedFrom) {
    NineSlice(surface_, Rect{0, pressedFrom, w, pressedTo}, *skin_, ListSkin::ShaftCell(state, disabled), 1, 0, 1, 0);
  }
}

}  // namespace pd::controls
