#include "platform/soft/FontCache.h"

#include <cmath>

#include "platform/soft/FixedFont.h"
#include "platform/text.h"
#if PD_HAVE_FREETYPE
#include "platform/soft/FreeTypeText.h"
#endif

namespace pd::soft {
namespace {

bool IsFixed(StringView face) { return text::EqualsIgnoreCase(face, platform::kFixedFace); }

}  // namespace

#if PD_HAVE_FREETYPE
FontCache::FontCache() : freeType_(std::make_unique<FreeTypeText>()) {}
#else
FontCache::FontCache() = default;
// Without FreeType there is no FreeTypeText to destroy; the type only needs
// to be complete for the unique_ptr below.
class FreeTypeText {};
#endif

FontCache::~FontCache() = default;

int FontCache::PixelSize(double points) {
  if (!std::isfinite(points) || points <= 0) return 1;
  const double px = std::nearbyint(points * 96.0 / 72.0);
  return px < 1 ? 1 : (px > 1000 ? 1000 : static_cast<int>(px));
}

bool FontCache::HasFreeType() const {
#if PD_HAVE_FREETYPE
  return freeType_->Ok();
#else
  return false;
#endif
}

std::string FontCache::FontFile(const platform::Font& font) {
#if PD_HAVE_FREETYPE
  if (!IsFixed(font.face)) return freeType_->FindFile(font.face, font.bold, font.italic);
#else
  (void)font;
#endif
  return {};
}

GlyphFace& FontCache::Face(const platform::Font& font) {
  const bool fixed = IsFixed(font.face);
  const int px = fixed ? 0 : PixelSize(font.size);
  Key key{fixed ? String() : text::LowerCase(font.face), px, font.bold, font.italic};
  auto it = faces_.find(key);
  if (it != faces_.end()) return *it->second;
  std::unique_ptr<GlyphFace> face;
#if PD_HAVE_FREETYPE
  if (!fixed) face = freeType_->OpenFace(font.face, px, font.bold, font.italic);
#endif
  if (!face) face = std::make_unique<FixedFont>(font.bold, font.italic);
  return *faces_.emplace(std::move(key), std::move(face)).first->second;
}

}  // namespace pd::soft
