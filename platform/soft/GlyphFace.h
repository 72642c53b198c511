// One face of a font at one pixel size and style, as the software surface
// draws it: glyph coverage bitmaps placed relative to the top of a line.
#pragma once

#include <cstdint>
#include <vector>

namespace pd::soft {

struct Glyph {
  int advance = 0;  // pen advance in pixels
  int left = 0;     // bitmap position relative to the pen and the line top
  int top = 0;
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> coverage;  // width x height, row by row, 0..255
};

class GlyphFace {
 public:
  virtual ~GlyphFace() = default;
  // Height of one line of text.
  [[nodiscard]] virtual int LineHeight() const = 0;
  // First row of the underline below the line top, and its thickness.
  [[nodiscard]] virtual int UnderlineTop() const = 0;
  [[nodiscard]] virtual int UnderlineThickness() const = 0;
  // The glyph of a character; the reference stays valid as long as the face.
  virtual const Glyph& GlyphFor(char32_t c) = 0;
};

}  // namespace pd::soft
