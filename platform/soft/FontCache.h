// Faces of the software surface by font, opened once and kept with their
// glyphs for the life of the cache (one per Graphics, shared by its
// surfaces).
//
// The face "PD Fixed" is the built-in test font. Any other face comes from
// FreeType when the build has it and a font file is found, else it is the
// built-in font too (the Windows build of the simulation has no FreeType).
#pragma once

#include <map>
#include <memory>
#include <tuple>

#include "platform/soft/GlyphFace.h"
#include "platform/surface.h"

namespace pd::soft {

class FreeTypeText;

class FontCache {
 public:
  FontCache();
  ~FontCache();
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;

  // The face that draws a font (never fails).
  GlyphFace& Face(const platform::Font& font);

  // Whether real fonts can be drawn: FreeType is built in and started.
  [[nodiscard]] bool HasFreeType() const;
  // The font file a face resolves to, "" for the built-in font.
  std::string FontFile(const platform::Font& font);

  // The pixel height of a point size: round(points * 96 / 72), at least 1.
  static int PixelSize(double points);

 private:
  using Key = std::tuple<String, int, bool, bool>;
  std::unique_ptr<FreeTypeText> freeType_;  // outlives the faces it opened
  std::map<Key, std::unique_ptr<GlyphFace>> faces_;
};

}  // namespace pd::soft
