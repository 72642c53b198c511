#include "platform/soft/FreeTypeText.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <array>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/text.h"

namespace pd::soft {
namespace {

struct Match {
  std::string file;
  int index = 0;
  bool needBold = false;
  bool needItalic = false;
};

int Round26Dot6(FT_Pos v) { return static_cast<int>((v + 32) >> 6); }

// The font that has a character the face lacks (a CJK letter, an emoji in a
// process name); false when none has it.
using FallbackFinder = std::function<bool(char32_t c, Match& result)>;

class FreeTypeFace final : public GlyphFace {
 public:
  FreeTypeFace(FT_Face face, bool synthBold, bool synthItalic, FT_Library library, int pixels,
               FallbackFinder findFallback)
      : face_(face),
        synthBold_(synthBold),
        synthItalic_(synthItalic),
        library_(library),
        pixels_(pixels),
        findFallback_(std::move(findFallback)) {
    const FT_Size_Metrics& m = face_->size->metrics;
    ascender_ = Round26Dot6(m.ascender);
    lineHeight_ = std::max(1, Round26Dot6(m.height));
    const FT_Fixed scale = m.y_scale;
    int thickness = 1;
    int position = ascender_ + 1;
    if (face_->underline_thickness > 0) {
      thickness = std::max(1, Round26Dot6(FT_MulFix(face_->underline_thickness, scale)));
      // underline_position is the centre of the line, negative below the baseline.
      const int centre = Round26Dot6(FT_MulFix(face_->underline_position, scale));
      position = ascender_ - centre - thickness / 2;
    }
    underlineTop_ = std::min(position, lineHeight_ - thickness);
    underlineThickness_ = thickness;
  }
  ~FreeTypeFace() override {
    for (auto& [file, f] : fallbacks_) {
      if (f != nullptr) FT_Done_Face(f);
    }
    FT_Done_Face(face_);
  }
  FreeTypeFace(const FreeTypeFace&) = delete;
  FreeTypeFace& operator=(const FreeTypeFace&) = delete;

  [[nodiscard]] int LineHeight() const override { return lineHeight_; }
  [[nodiscard]] int UnderlineTop() const override { return underlineTop_; }
  [[nodiscard]] int UnderlineThickness() const override { return underlineThickness_; }

  const Glyph& GlyphFor(char32_t c) override {
    // Latin and Cyrillic in a flat table, the rest in a map.
    if (c < kFlat) {
      auto& slot = flat_[c];
      if (!slot) slot = std::make_unique<Glyph>(Render(c));
      return *slot;
    }
    auto it = others_.find(c);
    if (it == others_.end()) it = others_.emplace(c, Render(c)).first;
    return it->second;
  }

 private:
  static constexpr char32_t kFlat = 0x500;

  // The face that draws c: this one, or a fallback that has c.
  FT_Face FaceFor(char32_t c) {
    if (c < 0x80 || FT_Get_Char_Index(face_, c) != 0 || !findFallback_) return face_;
    Match m;
    if (!findFallback_(c, m) || m.file.empty()) return face_;
    const std::string key = m.file + '#' + std::to_string(m.index);
    auto it = fallbacks_.find(key);
    if (it == fallbacks_.end()) {
      FT_Face f = nullptr;
      if (FT_New_Face(library_, m.file.c_str(), m.index, &f) != 0) f = nullptr;
      if (f != nullptr && FT_Set_Pixel_Sizes(f, 0, static_cast<FT_UInt>(pixels_)) != 0) {
        FT_Done_Face(f);
        f = nullptr;
      }
      it = fallbacks_.emplace(key, f).first;
    }
    return it->second != nullptr && FT_Get_Char_Index(it->second, c) != 0 ? it->second : face_;
  }

  Glyph Render(char32_t c) {
    Glyph g;
    if (c < 0x20) return g;  // control characters: nothing, no advance
    FT_Face from = FaceFor(c);
    if (FT_Load_Char(from, c, FT_LOAD_TARGET_MONO) != 0) return g;
    FT_GlyphSlot slot = from->glyph;
    if (synthBold_) FT_GlyphSlot_Embolden(slot);
    if (synthItalic_) FT_GlyphSlot_Oblique(slot);
    g.advance = Round26Dot6(slot->advance.x);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return g;
    const FT_Bitmap& bm = slot->bitmap;
    if (bm.pixel_mode != FT_PIXEL_MODE_GRAY) return g;
    g.left = slot->bitmap_left;
    g.top = ascender_ - slot->bitmap_top;
    g.width = static_cast<int>(bm.width);
    g.height = static_cast<int>(bm.rows);
    g.coverage.resize(static_cast<std::size_t>(g.width) * static_cast<std::size_t>(g.height));
    for (int y = 0; y < g.height; ++y) {
      const unsigned char* row = bm.buffer + static_cast<std::ptrdiff_t>(y) * bm.pitch;
      std::copy(row, row + g.width, g.coverage.begin() + static_cast<std::ptrdiff_t>(y) * g.width);
    }
    return g;
  }

  FT_Face face_;
  bool synthBold_;
  bool synthItalic_;
  int ascender_ = 0;
  int lineHeight_ = 1;
  int underlineTop_ = 0;
  int underlineThickness_ = 1;
  std::array<std::unique_ptr<Glyph>, kFlat> flat_{};
  std::map<char32_t, Glyph> others_;
  FT_Library library_;
  int pixels_;
  FallbackFinder findFallback_;
  std::map<std::string, FT_Face> fallbacks_;  // by file and index; nullptr when it failed to open
};

// The faces that stand in for the Windows user-interface faces, best first.
// The captions of the window were laid out for the narrow bitmap face
// "MS Sans Serif": at 11 pixels a face of Arial's widths (Liberation Sans)
// or DejaVu Sans overruns buttons sized for it by a few pixels and the
// caption wraps, so it takes the narrow cut of Liberation Sans (package
// fonts-liberation). Verdana and Tahoma take DejaVu Sans, which is drawn to
// Verdana's wide proportions. A face is taken only when fontconfig really
// has it; the last one is taken whatever fontconfig substitutes.
std::vector<std::string> FamiliesFor(StringView family) {
  struct StandIn {
    StringView family;
    std::vector<std::string> faces;
  };
  static const std::array<StandIn, 4> kStandIns = {
      StandIn{u"MS Sans Serif", {"Liberation Sans Narrow", "DejaVu Sans Condensed", "DejaVu Sans"}},
      StandIn{u"Microsoft Sans Serif", {"Liberation Sans Narrow", "DejaVu Sans Condensed", "DejaVu Sans"}},
      StandIn{u"Verdana", {"DejaVu Sans"}},
      StandIn{u"Tahoma", {"DejaVu Sans"}},
  };
  for (const StandIn& s : kStandIns) {
    if (text::EqualsIgnoreCase(family, s.family)) return s.faces;
  }
  return {text::ToUtf8(family)};
}

// Whether a font fontconfig matched is of the family asked for (any of its
// names: a file can carry several, as "DejaVu Sans" and "DejaVu Sans
// Condensed").
bool HasFamily(FcPattern* match, const std::string& family) {
  FcChar8* name = nullptr;
  for (int i = 0; FcPatternGetString(match, FC_FAMILY, i, &name) == FcResultMatch; ++i) {
    if (name != nullptr && FcStrCmpIgnoreCase(name, reinterpret_cast<const FcChar8*>(family.c_str())) == 0) {
      return true;
    }
  }
  return false;
}

}  // namespace

struct FreeTypeText::Impl {
  FT_Library library = nullptr;
  bool fontconfig = false;
  std::map<std::string, Match> matches;  // by family + style
  std::map<std::uint64_t, Match> byChar;  // fallbacks by character and style; an empty file for none

  Match Find(StringView family, bool bold, bool italic) {
    const std::string key = text::ToUtf8(text::LowerCase(family)) + (bold ? "|b" : "|") + (italic ? "i" : "");
    if (auto it = matches.find(key); it != matches.end()) return it->second;
    const std::vector<std::string> names = FamiliesFor(family);
    Match result;
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (MatchFamily(names[i], bold, italic, i + 1 == names.size(), result)) break;
    }
    matches.emplace(key, result);
    return result;
  }

  // A scalable outline font (colour bitmap fonts are not drawn) that has
  // c, in the style asked for where there is a choice.
  bool FindFor(char32_t c, bool bold, bool italic, Match& result) {
    const std::uint64_t key = (static_cast<std::uint64_t>(c) << 2) | (bold ? 2U : 0U) | (italic ? 1U : 0U);
    const auto cached = byChar.find(key);
    if (cached != byChar.end()) {
      result = cached->second;
      return !result.file.empty();
    }
    Match found;
    FcPattern* pattern = FcPatternCreate();
    FcCharSet* wanted = FcCharSetCreate();
    FcCharSetAddChar(wanted, c);
    FcPatternAddCharSet(pattern, FC_CHARSET, wanted);
    AddStyle(pattern, bold, italic);
    FcResult res = FcResultNoMatch;
    FcFontSet* fonts = FcFontSort(nullptr, pattern, FcFalse, nullptr, &res);
    FcPatternDestroy(pattern);
    FcCharSetDestroy(wanted);
    for (int i = 0; fonts != nullptr && i < fonts->nfont && found.file.empty(); ++i) {
      FcPattern* font = fonts->fonts[i];
      FcCharSet* has = nullptr;
      FcBool colour = FcFalse;
      FcBool scalable = FcFalse;
      FcChar8* file = nullptr;
      FcPatternGetBool(font, FC_COLOR, 0, &colour);
      FcPatternGetBool(font, FC_SCALABLE, 0, &scalable);
      if (colour == FcTrue || scalable != FcTrue) continue;
      if (FcPatternGetCharSet(font, FC_CHARSET, 0, &has) != FcResultMatch || FcCharSetHasChar(has, c) != FcTrue) continue;
      if (FcPatternGetString(font, FC_FILE, 0, &file) != FcResultMatch || file == nullptr) continue;
      found.file = reinterpret_cast<const char*>(file);
      FcPatternGetInteger(font, FC_INDEX, 0, &found.index);
    }
    if (fonts != nullptr) FcFontSetDestroy(fonts);
    byChar.emplace(key, found);
    result = found;
    return !found.file.empty();
  }

  // The style asked for, scalable fonts only, with fontconfig's own
  // substitutions and defaults.
  static void AddStyle(FcPattern* pattern, bool bold, bool italic) {
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
  }

  // The font fontconfig gives for a family and style; false (result
  // untouched) when it is of another family and anyFamily is not set.
  static bool MatchFamily(const std::string& name, bool bold, bool italic, bool anyFamily, Match& result) {
    FcPattern* pattern = FcPatternCreate();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(name.c_str()));
    AddStyle(pattern, bold, italic);
    FcResult res = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &res);
    FcPatternDestroy(pattern);
    if (match == nullptr) return false;
    const bool taken = anyFamily || HasFamily(match, name);
    if (taken) {
      result = Match{};
      FcChar8* file = nullptr;
      if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file != nullptr) {
        result.file = reinterpret_cast<const char*>(file);
      }
      FcPatternGetInteger(match, FC_INDEX, 0, &result.index);
      int weight = FC_WEIGHT_REGULAR;
      int slant = FC_SLANT_ROMAN;
      FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
      FcPatternGetInteger(match, FC_SLANT, 0, &slant);
      result.needBold = bold && weight < FC_WEIGHT_DEMIBOLD;
      result.needItalic = italic && slant == FC_SLANT_ROMAN;
    }
    FcPatternDestroy(match);
    return taken;
  }
};

FreeTypeText::FreeTypeText() : impl_(std::make_unique<Impl>()) {
  if (FT_Init_FreeType(&impl_->library) != 0) impl_->library = nullptr;
  impl_->fontconfig = FcInit() == FcTrue;
}

FreeTypeText::~FreeTypeText() {
  if (impl_->library != nullptr) FT_Done_FreeType(impl_->library);
}

bool FreeTypeText::Ok() const { return impl_->library != nullptr && impl_->fontconfig; }

std::string FreeTypeText::FindFile(StringView family, bool bold, bool italic) {
  if (!Ok()) return {};
  return impl_->Find(family, bold, italic).file;
}

std::unique_ptr<GlyphFace> FreeTypeText::OpenFace(StringView family, int pixels, bool bold, bool italic) {
  if (!Ok()) return nullptr;
  const Match m = impl_->Find(family, bold, italic);
  if (m.file.empty()) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Face(impl_->library, m.file.c_str(), m.index, &face) != 0) return nullptr;
  if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::max(1, pixels))) != 0) {
    FT_Done_Face(face);
    return nullptr;
  }
  Impl* impl = impl_.get();
  return std::make_unique<FreeTypeFace>(
      face, m.needBold, m.needItalic, impl_->library, std::max(1, pixels),
      [impl, bold, italic](char32_t c, Match& result) { return impl->FindFor(c, bold, italic, result); });
}

}  // namespace pd::soft
