// Real fonts for the software surface: FreeType glyphs from font files that
// fontconfig finds. Built only where FreeType and fontconfig exist (not in
// the Windows cross build); FontCache falls back to the fixed font without.
#pragma once

#include <memory>
#include <string>

#include "platform/soft/GlyphFace.h"
#include "platform/types.h"

namespace pd::soft {

class FreeTypeText {
 public:
  FreeTypeText();
  ~FreeTypeText();
  FreeTypeText(const FreeTypeText&) = delete;
  FreeTypeText& operator=(const FreeTypeText&) = delete;

  // False when FreeType or fontconfig could not be started.
  [[nodiscard]] bool Ok() const;

  // The font file for a family and style, "" when none is found. The Windows
  // user-interface faces take stand-ins of like widths: "MS Sans Serif" and
  // "Microsoft Sans Serif" the narrow "Liberation Sans Narrow" (else "DejaVu
  // Sans Condensed", else "DejaVu Sans"), "Verdana" and "Tahoma" "DejaVu
  // Sans"; other names go to fontconfig as given.
  std::string FindFile(StringView family, bool bold, bool italic);

  // A face at a pixel height (the em size), nullptr when no font file can be
  // opened. Bold and italic are synthesised where the file found lacks them.
  std::unique_ptr<GlyphFace> OpenFace(StringView family, int pixels, bool bold, bool italic);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace pd::soft
