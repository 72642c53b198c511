// Pixel helpers of the software surface.
//
// The surface and its pictures keep pixels as 0xAARRGGBB words (blue in the
// low byte: the memory order of a Windows DIB and of a 32-bit X11 image), so
// a frame goes to the screen without conversion. The drawing port speaks
// 0x00BBGGRR; SwapRedBlue converts either way.
#pragma once

#include <algorithm>
#include <cstdint>

#include "platform/types.h"

namespace pd::soft {

inline constexpr std::uint32_t SwapRedBlue(std::uint32_t v) {
  return (v & 0xFF00FF00u) | ((v & 0xFFu) << 16) | ((v >> 16) & 0xFFu);
}

// Mixes colour c over d with coverage a (0 keeps d, 255 gives c); alpha
// bytes are dropped.
inline std::uint32_t Blend(std::uint32_t d, std::uint32_t c, unsigned a) {
  if (a >= 255) return c & 0xFFFFFFu;
  if (a == 0) return d & 0xFFFFFFu;
  std::uint32_t out = 0;
  for (int shift = 0; shift <= 16; shift += 8) {
    const int dc = static_cast<int>((d >> shift) & 0xFFu);
    const int cc = static_cast<int>((c >> shift) & 0xFFu);
    const int v = dc + ((cc - dc) * static_cast<int>(a) + (cc >= dc ? 127 : -127)) / 255;
    out |= static_cast<std::uint32_t>(v) << shift;
  }
  return out;
}

// The intersection of two rectangles (empty: right <= left or bottom <= top).
inline Rect Intersect(const Rect& a, const Rect& b) {
  return Rect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
              std::min(a.bottom, b.bottom)};
}

inline bool IsEmpty(const Rect& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace pd::soft
