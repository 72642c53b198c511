// The software surface: exact layout with the built-in test font, real text
// through FreeType, the BMP dump and the presenter.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "platform/soft/Bmp.h"
#include "platform/soft/FontCache.h"
#include "platform/soft/SoftGraphics.h"
#include "platform/text.h"
#include "test_util.h"
#include "unit/SurfaceTestUtil.h"

// fontconfig 2.14 loses a block while parsing its configuration files;
// LeakSanitizer (asan preset) is told to ignore what fontconfig allocates.

namespace pd {
namespace {

using platform::Font;
using test::CountColour;
using test::InkBox;

constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kBlack = 0x000000;

Font Fixed(bool bold = false, bool italic = false, bool underline = false) {
  Font f;
  f.face = platform::kFixedFace;
  f.bold = bold;
  f.italic = italic;
  f.underline = underline;
  return f;
}

class SoftSurfaceTest : public testing::Test {
 protected:
  std::unique_ptr<platform::Surface> Make(int w, int h, const Font& font = Fixed()) {
    auto s = gfx_.CreateSurface(w, h);
    s->SetFont(font);
    return s;
  }
  soft::SoftGraphics gfx_;
};

TEST_F(SoftSurfaceTest, FixedFontMeasuresCellsAndLines) {
  auto s = Make(10, 10);
  EXPECT_EQ(s->TextWidth(u"abc"), 18);
  EXPECT_EQ(s->TextWidth(u"a c"), 18);   // a space is a cell
  EXPECT_EQ(s->TextWidth(u"a\tb"), 12);  // control characters take no room
  EXPECT_EQ(s->TextWidth(u"ab\r\nabcd\r\n"), 24);
  EXPECT_EQ(s->TextHeight(u""), 13);
  EXPECT_EQ(s->TextHeight(u"ab\r\nabcd\r\n"), 39);
  EXPECT_EQ(s->TextWidth(u"Процесс"), 42);  // one cell per character, any script
  s->SetFont(Fixed(true));
  EXPECT_EQ(s->TextWidth(u"abc"), 21);
  EXPECT_EQ(s->TextHeight(u"a"), 13);
  // The point size does not matter for the test font.
  Font big = Fixed();
  big.size = 30;
  s->SetFont(big);
  EXPECT_EQ(s->TextWidth(u"abc"), 18);
}

TEST_F(SoftSurfaceTest, FixedGlyphIsTheDocumentedBlock) {
  auto s = Make(30, 30);
  s->TextAt(Point{10, 5}, u"a");
  EXPECT_EQ(InkBox(*s, kWhite), (Rect{11, 8, 15, 16})) << test::DumpSurface(*s);
  EXPECT_EQ(CountColour(*s, Rect{11, 8, 15, 16}, kBlack), 32);
  s->Clear();
  s->SetFont(Fixed(true));
  s->TextAt(Point{10, 5}, u"ab");
  EXPECT_EQ(CountColour(*s, Rect{11, 8, 16, 16}, kBlack), 40);
  EXPECT_EQ(CountColour(*s, Rect{18, 8, 23, 16}, kBlack), 40);  // second cell 7 further
  EXPECT_EQ(InkBox(*s, kWhite), (Rect{11, 8, 23, 16}));
}

TEST_F(SoftSurfaceTest, FixedItalicShiftsTheUpperHalf) {
  auto s = Make(30, 30, Fixed(false, true));
  s->TextAt(Point{0, 0}, u"x");
  EXPECT_EQ(CountColour(*s, Rect{2, 3, 6, 7}, kBlack), 16) << test::DumpSurface(*s);  // rows 3..6 at columns 2..5
  EXPECT_EQ(CountColour(*s, Rect{1, 7, 5, 11}, kBlack), 16);                          // rows 7..10 at columns 1..4
  EXPECT_PIXEL(*s, 1, 3, kWhite);
  EXPECT_EQ(s->TextWidth(u"x"), 6);
}

TEST_F(SoftSurfaceTest, FixedUnderlineSpansSpacesOnRowEleven) {
  auto s = Make(40, 20, Fixed(false, false, true));
  s->SetTextColor(0x0000FF);
  s->TextAt(Point{3, 2}, u"a b");
  EXPECT_EQ(CountColour(*s, Rect{3, 13, 21, 14}, 0x0000FF), 18) << test::DumpSurface(*s);
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 40, 20}, 0x0000FF), 18 + 2 * 32);
  EXPECT_PIXEL(*s, 2, 13, kWhite);
  EXPECT_PIXEL(*s, 21, 13, kWhite);
}

// Text that starts past an edge (a long row, a cell running off the
// surface) draws nothing there, its underline included.
TEST_F(SoftSurfaceTest, UnderlinedTextBeyondAnEdgeDrawsNothing) {
  auto s = Make(40, 20, Fixed(false, false, true));
  s->SetTextColor(0x0000FF);
  s->TextAt(Point{45, 2}, u"ab");
  s->TextAt(Point{-30, 2}, u"ab");
  s->TextIn(Rect{10, 0, 200, 20}, u"ab", platform::dt::kRight);
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 40, 20}, 0x0000FF), 0) << test::DumpSurface(*s);
}

TEST_F(SoftSurfaceTest, TextInPlacesLinesExactly) {
  auto s = Make(100, 60);
  // Right: the line ends at the right edge; centre: (width - text) / 2.
  s->TextIn(Rect{10, 0, 70, 60}, u"ab\r\nabcd", platform::dt::kRight);
  EXPECT_EQ(InkBox(*s, kWhite, Rect{0, 0, 100, 13}), (Rect{59, 3, 69, 11})) << test::DumpSurface(*s);
  EXPECT_EQ(InkBox(*s, kWhite, Rect{0, 13, 100, 26}), (Rect{47, 16, 69, 24}));
  s->Clear();
  s->TextIn(Rect{10, 0, 71, 60}, u"abc", platform::dt::kCenter);
  EXPECT_EQ(InkBox(*s, kWhite).left, 10 + (61 - 18) / 2 + 1);
  s->Clear();
  s->TextIn(Rect{0, 10, 100, 43}, u"a", platform::dt::kVCenter | platform::dt::kSingleLine);
  EXPECT_EQ(InkBox(*s, kWhite).top, 10 + (33 - 13) / 2 + 3);
}

TEST_F(SoftSurfaceTest, LoneLineFeedIsNoBreakAndSingleLineKeepsCrLfOnOneLine) {
  auto s = Make(100, 60);
  s->TextIn(Rect{0, 0, 100, 60}, u"a\nb", platform::dt::kLeft);
  EXPECT_EQ(InkBox(*s, kWhite), (Rect{1, 3, 11, 11}));
  s->Clear();
  s->TextIn(Rect{0, 0, 100, 60}, u"a\r\nb", platform::dt::kSingleLine);
  EXPECT_EQ(InkBox(*s, kWhite), (Rect{1, 3, 11, 11}));
  s->Clear();
  s->TextIn(Rect{0, 0, 100, 60}, u"a\r\nb", platform::dt::kLeft);
  EXPECT_EQ(InkBox(*s, kWhite), (Rect{1, 3, 5, 24}));
}

TEST_F(SoftSurfaceTest, TextIsClippedToTheRectangleAndTheSurface) {
  auto s = Make(20, 10);
  s->TextIn(Rect{3, 4, 8, 9}, u"ab", platform::dt::kLeft);
  EXPECT_EQ(InkBox(*s, kWhite), (Rect{4, 7, 8, 9})) << test::DumpSurface(*s);
  s->Clear();
  s->TextAt(Point{-3, -5}, u"aaaaaa");  // left and top edges
  EXPECT_EQ(InkBox(*s, kWhite), (Rect{0, 0, 20, 6}));
  s->Clear();
  s->TextAt(Point{17, 6}, u"a");  // right and bottom edges
  EXPECT_EQ(InkBox(*s, kWhite), (Rect{18, 9, 20, 10}));
}

// Layout flags with the test font: a glyph's ink is columns 1..4, rows
// 3..10 of its 6 x 13 cell; "..." is three glyphs, 18 pixels.
TEST_F(SoftSurfaceTest, LayoutFlagsPlaceGlyphsExactly) {
  namespace dt = platform::dt;
  struct Case {
    const char* text;
    int width;  // of the rectangle (0, 0)-(width, 60)
    unsigned format;
    Rect ink;
    int glyphs;
  };
  const Case cases[] = {
      {"ab cd ef", 30, dt::kWordBreak, {1, 3, 29, 24}, 6},            // "ab cd" fills 30 exactly
      {"ab cd ef", 29, dt::kWordBreak, {1, 3, 11, 37}, 6},            // three lines
      {"ab    cd", 18, dt::kWordBreak, {1, 3, 11, 24}, 4},            // the spaces at a break go
      {"abcdefgh", 18, dt::kWordBreak, {1, 3, 17, 37}, 8},            // abc / def / gh
      {"ab\r\ncd ef", 100, dt::kWordBreak, {1, 3, 29, 24}, 6},        // CR LF still breaks
      {"ab cd", 18, dt::kWordBreak | dt::kRight, {7, 3, 17, 24}, 4},  // each piece aligned
      {"abcdefgh", 40, dt::kEndEllipsis, {1, 3, 35, 11}, 6},          // abc...
      {"abcdefgh", 40, dt::kEndEllipsis | dt::kRight, {5, 3, 39, 11}, 6},
      {"abcdefgh", 48, dt::kEndEllipsis, {1, 3, 47, 11}, 8},        // fits: whole
      {"abcdef", 20, dt::kEndEllipsis, {1, 3, 17, 11}, 3},          // no room for more than the dots
      {"abcdefgh\r\nab", 40, dt::kEndEllipsis, {1, 3, 35, 24}, 8},  // each line on its own
      {"a", 100, dt::kBottom | dt::kSingleLine, {1, 50, 5, 58}, 1},
      {"a", 100, dt::kBottom | dt::kVCenter | dt::kSingleLine, {1, 26, 5, 34}, 1},
      {"a", 100, dt::kBottom, {1, 3, 5, 11}, 1},
      {"abcdefgh", 30, dt::kNoClip, {1, 3, 47, 11}, 8},
      {"abcdefgh", 30, dt::kLeft, {1, 3, 29, 11}, 5},  // cut at 30: the 6th glyph's ink starts at 31
  };
  auto s = Make(100, 60);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    SCOPED_TRACE(c.format);
    s->Clear();
    s->TextIn(Rect{0, 0, c.width, 60}, text::FromAscii(c.text), c.format);
    EXPECT_EQ(InkBox(*s, kWhite), c.ink) << test::DumpSurface(*s);
    EXPECT_EQ(CountColour(*s, Rect{0, 0, 100, 60}, kBlack), 32 * c.glyphs);
  }
}

// Under a view the layout is the same, moved by the origin and cut by the
// clip, underlines included.
TEST_F(SoftSurfaceTest, ViewMovesAndCutsGlyphsAndUnderlines) {
  auto s = Make(40, 30, Fixed(false, false, true));
  s->SetView(Point{5, 4}, Rect{7, 6, 15, 16});
  s->TextAt(Point{0, 0}, u"ab");  // cells at surface x 5 and 11, rows 7..14, underline row 15
  s->ResetView();
  EXPECT_EQ(InkBox(*s, kWhite), (Rect{7, 7, 15, 16})) << test::DumpSurface(*s);
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 40, 30}, kBlack), 3 * 8 + 3 * 8 + 8);
}

TEST_F(SoftSurfaceTest, TextColourMayBeASystemColour) {
  auto s = Make(20, 20);
  s->SetTextColor(0x8000000D);
  EXPECT_EQ(s->TextColor(), 0x8000000Du);
  s->TextAt(Point{0, 0}, u"a");
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 20, 20}, 0x6A240A), 32);
}

TEST_F(SoftSurfaceTest, ClassicSystemColours) {
  EXPECT_EQ(gfx_.ResolveColour(0x8000000F), 0xC8D0D4u);
  EXPECT_EQ(gfx_.ResolveColour(0x80000005), 0xFFFFFFu);
  EXPECT_EQ(gfx_.ResolveColour(0x80000008), 0x000000u);
  EXPECT_EQ(gfx_.ResolveColour(0x8000000D), 0x6A240Au);
  EXPECT_EQ(gfx_.ResolveColour(0x8000000E), 0xFFFFFFu);
  EXPECT_EQ(gfx_.ResolveColour(0x80000012), 0x000000u);
  EXPECT_EQ(gfx_.ResolveColour(0x8000001F), 0u);
  EXPECT_EQ(gfx_.ResolveColour(0xFFFFFFFF), 0u);
}

TEST_F(SoftSurfaceTest, OddSizesAndDepthsGetAClearOutcome) {
  auto s = gfx_.CreateSurface(0, -4);
  EXPECT_EQ(s->Width(), 1);
  EXPECT_EQ(s->Height(), 1);
  auto p = gfx_.CreatePicture(-1, 0, std::vector<Colour>{0x0000FF, 0x0000FF}, 16);
  EXPECT_EQ(p->Width(), 1);
  EXPECT_EQ(p->Height(), 1);
  EXPECT_EQ(p->BitsPerPixel(), 32);
  EXPECT_EQ(p->Pixels(), std::vector<Colour>{0});
  // A source outside the picture stretches nothing.
  auto t = gfx_.CreateSurface(4, 4);
  t->StretchPicture(*p, Rect{0, 0, 4, 4}, Rect{0, 0, 2, 2});
  t->CopyPictureTransparent(*p, Rect{0, 0, 4, 4}, Rect{-1, 0, 1, 1}, 0xFF00FF);
  EXPECT_EQ(CountColour(*t, Rect{0, 0, 4, 4}, kWhite), 16);
  // Sizes in points: 8.25 pt is 11 pixels.
  EXPECT_EQ(soft::FontCache::PixelSize(8.25), 11);
  EXPECT_EQ(soft::FontCache::PixelSize(9), 12);
  EXPECT_EQ(soft::FontCache::PixelSize(-3), 1);
}

TEST_F(SoftSurfaceTest, PresentHandsTheFrameToTheWindow) {
  int presented = 0;
  std::uint32_t first = 0;
  auto s = gfx_.CreateWindowSurface(3, 2, [&](const soft::SoftSurface& frame, const Rect& /*part*/) {
    ++presented;
    first = frame.Row(0)[0];
  });
  s->FillRect(Rect{0, 0, 1, 1}, 0x0000FF);  // red
  s->Present();
  EXPECT_EQ(presented, 1);
  EXPECT_EQ(first, 0xFF0000u);  // the screen order: 0x00RRGGBB
  EXPECT_EQ(s->PresentCount(), 1);
  gfx_.CreateSurface(2, 2)->Present();  // a memory surface: nothing to do
}

TEST_F(SoftSurfaceTest, BmpDumpRoundTrips) {
  test::TempFolder dir;
  auto s = Make(5, 3);
  s->FillRect(Rect{1, 0, 3, 2}, 0x123456);
  const std::vector<Colour> px = s->ReadPixels(Rect{0, 0, 5, 3});
  const auto file = dir.Path() / "dump.bmp";
  ASSERT_TRUE(soft::WriteBmp(file, 5, 3, px));
  std::ifstream in(file, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes.size(), 54u + 16u * 3u);  // rows padded to 4 bytes
  soft::BmpImage image;
  ASSERT_TRUE(soft::DecodeBmp(bytes, image));
  EXPECT_EQ(image.width, 5);
  EXPECT_EQ(image.height, 3);
  EXPECT_EQ(image.bitsPerPixel, 24);
  EXPECT_EQ(image.pixels, px);
  EXPECT_FALSE(soft::WriteBmp(dir.Path() / "missing" / "x.bmp", 5, 3, px));
  EXPECT_TRUE(soft::EncodeBmp(5, 3, std::vector<Colour>(14)).empty());
}

TEST_F(SoftSurfaceTest, DamagedBmpIsRefusedAndLeavesTheImage) {
  const std::string good = soft::EncodeBmp(2, 2, std::vector<Colour>{1, 2, 3, 4});
  soft::BmpImage image;
  image.width = 7;
  EXPECT_FALSE(soft::DecodeBmp(good.substr(0, good.size() - 1), image));  // cut short
  EXPECT_FALSE(soft::DecodeBmp(good.substr(0, 20), image));
  std::string badDepth = good;
  badDepth[28] = 8;
  EXPECT_FALSE(soft::DecodeBmp(badDepth, image));
  std::string huge = good;
  huge[19] = '\x7F';  // width far beyond the data
  EXPECT_FALSE(soft::DecodeBmp(huge, image));
  EXPECT_EQ(image.width, 7);
  // A top-down 32-bit file keeps its alpha bytes.
  std::string topDown = soft::EncodeBmp(1, 1, std::vector<Colour>{0});
  topDown.resize(54);
  topDown[22] = '\xFF';
  topDown[23] = '\xFF';
  topDown[24] = '\xFF';
  topDown[25] = '\xFF';  // height -1
  topDown[28] = 32;
  topDown += std::string("\x03\x02\x01\x80", 4);
  ASSERT_TRUE(soft::DecodeBmp(topDown, image));
  EXPECT_EQ(image.pixels, std::vector<Colour>{0x80030201});
}

// ---- Real fonts ---------------------------------------------------------------

class FreeTypeTextTest : public SoftSurfaceTest {
 protected:
  void SetUp() override {
    if (!gfx_.Fonts()->HasFreeType()) GTEST_SKIP() << "built without FreeType: text uses the built-in font";
    if (gfx_.Fonts()->FontFile(Verdana()).find("DejaVuSans") == std::string::npos) {
      GTEST_SKIP() << "DejaVu Sans not found (install fonts-dejavu-core)";
    }
  }
  static Font Verdana() { return Font{.face = u"Verdana"}; }
};

TEST_F(FreeTypeTextTest, WindowsUiFacesResolveToStandInsOfLikeWidths) {
  struct Case {
    const char16_t* face;
    bool bold;
    const char* file;  // a part of the font file's name
  };
  const bool narrow = gfx_.Fonts()->FontFile(Font{.face = u"Liberation Sans Narrow"}).find("LiberationSansNarrow") !=
                      std::string::npos;
  if (!narrow) GTEST_SKIP() << "Liberation Sans Narrow not found (install fonts-liberation)";
  for (const Case c : {Case{u"Verdana", false, "DejaVuSans.ttf"}, Case{u"verdana", true, "DejaVuSans-Bold"},
                       Case{u"Tahoma", false, "DejaVuSans.ttf"}, Case{u"MS Sans Serif", false, "LiberationSansNarrow-Regular"},
                       Case{u"Microsoft Sans Serif", false, "LiberationSansNarrow-Regular"},
                       Case{u"MS Sans Serif", true, "LiberationSansNarrow-Bold"}, Case{platform::kFixedFace, false, ""}}) {
    Font f{.face = c.face, .bold = c.bold};
    const std::string file = gfx_.Fonts()->FontFile(f);
    if (*c.file == '\0') {
      EXPECT_EQ(file, "");
    } else {
      EXPECT_NE(file.find(c.file), std::string::npos) << text::ToUtf8(c.face) << " bold " << c.bold << ": " << file;
    }
  }
}

TEST_F(FreeTypeTextTest, CyrillicIsMeasuredAndDrawn) {
  auto s = Make(200, 20, Verdana());
  EXPECT_EQ(s->TextHeight(u""), 13);
  const int width = s->TextWidth(u"Список исключений:");
  EXPECT_GE(width, 115);
  EXPECT_LE(width, 127);
  s->TextAt(Point{0, 0}, u"Процессы");
  const Rect ink = InkBox(*s, kWhite);
  EXPECT_GE(ink.Width(), s->TextWidth(u"Процессы") - 3) << test::DumpSurface(*s);
  EXPECT_LE(ink.right, s->TextWidth(u"Процессы") + 1);
  EXPECT_GE(ink.top, 0);
  EXPECT_LE(ink.bottom, 13);
  // Anti-aliased edges lie between the colours, the stems are solid.
  EXPECT_GT(CountColour(*s, ink, kBlack), 20);
}

// A character outside the BMP is one glyph, not two halves; a letter the
// face lacks (a CJK name of a process) comes from a font that has it.
TEST_F(FreeTypeTextTest, PairsAreOneCharacterAndMissingLettersComeFromAnotherFont) {
  auto s = Make(60, 20, Verdana());
  const int lone = s->TextWidth(String(1, static_cast<char16_t>(0xD83D)));
  EXPECT_LT(s->TextWidth(u"\U0001F600"), 2 * lone);
  EXPECT_EQ(s->TextWidth(u"a\U0001F600b"), s->TextWidth(u"a") + s->TextWidth(u"\U0001F600") + s->TextWidth(u"b"));
  if (std::system("fc-list ':charset=6f22' | grep -q .") != 0) {
    GTEST_SKIP() << "no font with CJK letters (install fonts-wqy-microhei)";
  }
  s->TextAt(Point{0, 0}, u"漢");
  const auto kanji = s->ReadPixels(Rect{0, 0, 60, 20});
  s->Clear();
  s->TextAt(Point{0, 0}, String(1, static_cast<char16_t>(0xFFFF)));  // no font has it: the empty box
  EXPECT_NE(s->ReadPixels(Rect{0, 0, 60, 20}), kanji) << test::DumpSurface(*s);
  EXPECT_GE(InkBox(*s, kWhite).Width(), 1);
}

TEST_F(FreeTypeTextTest, MissingFaceFallsBackToAFontThatDraws) {
  Font odd;
  odd.face = u"No Such Face 123";
  auto s = Make(100, 20, odd);
  s->TextAt(Point{0, 0}, u"Abc");
  EXPECT_GT(InkBox(*s, kWhite).Width(), 5);
}

}  // namespace
}  // namespace pd
