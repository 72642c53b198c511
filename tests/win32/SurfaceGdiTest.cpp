// The GDI surface under Wine: system colours from GetSysColor and text
// through the "A" calls with the charset's code page. The shared checks of
// every backend run from unit/SurfaceContract.cpp in the same executable.
#include <windows.h>

#include <gtest/gtest.h>

#include "platform/surface.h"
#include "unit/SurfaceTestUtil.h"

namespace pd {
namespace {

using platform::Font;
using test::InkBox;

constexpr Colour kWhite = 0xFFFFFF;

class SurfaceGdiTest : public testing::Test {
 protected:
  void SetUp() override { gfx_ = platform::CreateGraphics(); }
  // The pixels of a text drawn alone on a fresh surface.
  std::vector<Colour> Drawn(StringView text, const Font& font = Font{}) {
    auto s = gfx_->CreateSurface(160, 24);
    s->SetFont(font);
    s->TextAt(Point{2, 2}, text);
    return s->ReadPixels(Rect{0, 0, 160, 24});
  }
  std::unique_ptr<platform::Graphics> gfx_;
};

TEST_F(SurfaceGdiTest, SystemColoursComeFromGetSysColor) {
  EXPECT_EQ(gfx_->ResolveColour(0x8000000F), GetSysColor(COLOR_BTNFACE));
  EXPECT_EQ(gfx_->ResolveColour(0x8000000D), GetSysColor(COLOR_HIGHLIGHT));
  EXPECT_EQ(gfx_->ResolveColour(0x8000001F), 0u);
}

TEST_F(SurfaceGdiTest, CyrillicDrawsThroughCharset204) {
  // Windows-1251 bytes drawn with a charset 204 font are Cyrillic letters,
  // whatever the system's ANSI code page is.
  const auto cyrillic = Drawn(u"Процессы");
  const auto question = Drawn(u"????????");
  EXPECT_NE(cyrillic, question);
  auto s = gfx_->CreateSurface(160, 24);
  s->SetFont(Font{});
  EXPECT_GT(s->TextWidth(u"Процессы"), 30);
  EXPECT_NE(s->TextWidth(u"Процессы"), s->TextWidth(u"????????"));
}

TEST_F(SurfaceGdiTest, CharacterOutsideTheCodePageShowsAsQuestionMark) {
  EXPECT_EQ(Drawn(u"a\u4E2Db"), Drawn(u"a?b"));
}

TEST_F(SurfaceGdiTest, AmpersandIsDrawnNotTakenAsAPrefix) {
  auto s = gfx_->CreateSurface(100, 20);
  s->SetFont(Font{});
  s->TextIn(Rect{0, 0, 100, 20}, u"a&b", platform::dt::kLeft);
  const Rect withAmp = InkBox(*s, kWhite);
  s->Clear();
  s->TextIn(Rect{0, 0, 100, 20}, u"ab", platform::dt::kLeft);
  EXPECT_GT(withAmp.right, InkBox(*s, kWhite).right);
}

TEST_F(SurfaceGdiTest, UiFontHasTheUsualLineHeight) {
  auto s = gfx_->CreateSurface(10, 10);
  s->SetFont(Font{});
  EXPECT_GE(s->TextHeight(u""), 12);
  EXPECT_LE(s->TextHeight(u""), 14);
}

}  // namespace
}  // namespace pd
