#include "platform/soft/FixedFont.h"

#include "platform/surface.h"

namespace pd::soft {

FixedFont::FixedFont(bool bold, bool italic) {
  const int advance = bold ? platform::kFixedBoldAdvance : platform::kFixedAdvance;
  const int blockWidth = bold ? 5 : 4;
  // Rows 3..10; italic moves rows 3..6 one column right, so the bitmap is one
  // column wider than the block.
  block_.advance = advance;
  block_.left = 1;
  block_.top = 3;
  block_.width = blockWidth + (italic ? 1 : 0);
  block_.height = 8;
  block_.coverage.assign(static_cast<std::size_t>(block_.width * block_.height), 0);
  for (int row = 0; row < block_.height; ++row) {
    const int shift = (italic && row < 4) ? 1 : 0;
    for (int col = 0; col < blockWidth; ++col) {
      block_.coverage[static_cast<std::size_t>(row * block_.width + col + shift)] = 255;
    }
  }
  space_.advance = advance;
}

int FixedFont::LineHeight() const { return platform::kFixedLineHeight; }

const Glyph& FixedFont::GlyphFor(char32_t c) {
  if (c < 0x20) return control_;
  if (c == 0x20) return space_;
  return block_;
}

}  // namespace pd::soft
