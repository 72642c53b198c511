#include "controls/NineSlice.h"

namespace pd::controls {
namespace {

Rect Xywh(int x, int y, int w, int h) { return Rect{x, y, x + w, y + h}; }

}  // namespace

void DrawNineSlice(platform::Surface& surface, const platform::Picture& skin, int frameTop, int frameHeight,
                   const Margins& m, int width, int height) {
  const int sw = skin.Width();
  const int t = frameTop;
  const int fh = frameHeight;
  const int W = width;
  const int H = height;
  const int L = m.left;
  const int R = m.right;
  const int T = m.top;
  const int B = m.bottom;
  const Rect pieces[9][2] = {
      {Xywh(L, T, W - L - R, H - T - B), Xywh(L, t + T, sw - L - R, fh - T - B)},  // centre
      {Xywh(0, T, L, H - T - B), Xywh(0, t + T, L, fh - T - B)},                   // left edge
      {Xywh(W - R, T, R, H - T - B), Xywh(sw - R, t + T, R, fh - T - B)},          // right edge
      {Xywh(L, H - B, W - L - R, B), Xywh(L, t + fh - B, sw - L - R, B)},          // bottom edge
      {Xywh(L, 0, W - L - R, T), Xywh(L, t, sw - L - R, T)},                       // top edge
      {Xywh(0, H - B, L, B), Xywh(0, t + fh - B, L, B)},                           // bottom-left
      {Xywh(W - R, H - B, R, B), Xywh(sw - R, t + fh - B, R, B)},                  // bottom-right
      {Xywh(0, 0, L, T), Xywh(0, t, L, T)},                                        // top-left
      {Xywh(W - R, 0, R, T), Xywh(sw - R, t, R, T)},                               // top-right
  };
  for (const auto& [dst, src] : pieces) surface.StretchPicture(skin, dst, src);
}

}  // namespace pd::controls
