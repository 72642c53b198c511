// The built-in fixed-width test font (face "PD Fixed"); its shapes are
// described in platform/surface.h so that tests can compute pixels.
#pragma once

#include "platform/soft/GlyphFace.h"

namespace pd::soft {

class FixedFont final : public GlyphFace {
 public:
  FixedFont(bool bold, bool italic);

  [[nodiscard]] int LineHeight() const override;
  [[nodiscard]] int UnderlineTop() const override { return 11; }
  [[nodiscard]] int UnderlineThickness() const override { return 1; }
  const Glyph& GlyphFor(char32_t c) override;

 private:
  Glyph block_;  // every visible character
  Glyph space_;  // U+0020: nothing drawn, one cell of advance
  Glyph control_;  // below U+0020: nothing drawn, no advance
};

}  // namespace pd::soft
