// Checks every drawing backend passes: the software surface (the
// simulation's) and GDI (the Windows tests under Wine) run this same file
// against the Graphics of each backend registered. Text checks are
// relative, so any font serves.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "contract/Backend.h"
#include "platform/surface.h"
#include "unit/SurfaceTestUtil.h"

namespace pd {
namespace {

using platform::Font;
using platform::Graphics;
using platform::Picture;
using platform::Surface;
using test::CountColour;
using test::InkBox;
using test::PixelAt;

constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kBlack = 0x000000;
constexpr Colour kRed = 0x0000FF;
constexpr Colour kGreen = 0x00FF00;
constexpr Colour kBlue = 0xFF0000;

// Draws text with TextIn and says where its ink (anything not white) fell.
Rect InkOfText(Surface& s, const Rect& r, StringView text, unsigned format) {
  s.TextIn(r, text, format);
  return InkBox(s, kWhite);
}

class SurfaceContract : public test::PlatformSuite {
 protected:
  std::unique_ptr<Surface> Make(int w, int h) { return gfx_->CreateSurface(w, h); }
  // A picture of 2 x 2 cells: red, green / blue, magenta, each cell c x c.
  std::unique_ptr<platform::Picture> Quad(int c) {
    std::vector<Colour> px(static_cast<std::size_t>(4 * c * c));
    for (int y = 0; y < 2 * c; ++y) {
      for (int x = 0; x < 2 * c; ++x) {
        const bool right = x >= c;
        const bool bottom = y >= c;
        px[static_cast<std::size_t>(y * 2 * c + x)] = bottom ? (right ? 0xFF00FF : kBlue) : (right ? kGreen : kRed);
      }
    }
    return gfx_->CreatePicture(2 * c, 2 * c, px);
  }
  // The face most of the window's text is drawn in (the narrow stand-in for
  // the default face leaves too few pixels at this size for the ink checks).
  static Font UiFont() { return Font{.face = u"Verdana"}; }
};

PD_ON_EVERY_BACKEND(SurfaceContract);

TEST_P(SurfaceContract, NewSurfaceIsWhiteAndClearFillsWithBackColour) {
  auto s = Make(8, 6);
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 8, 6}, kWhite), 48);
  s->SetBackColor(0x123456);
  EXPECT_EQ(s->BackColor(), 0x123456u);
  s->Clear();
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 8, 6}, 0x123456), 48) << test::DumpSurface(*s);
}

TEST_P(SurfaceContract, SystemColoursResolveEverywhere) {
  EXPECT_EQ(gfx_->ResolveColour(0x123456), 0x123456u);
  EXPECT_EQ(gfx_->ResolveColour(0x80000008), 0u);  // window text is black in both schemes
  auto s = Make(4, 4);
  s->SetBackColor(0x8000000F);
  s->Clear();
  EXPECT_EQ(s->BackColor(), 0x8000000Fu);
  EXPECT_PIXEL(*s, 0, 0, gfx_->ResolveColour(0x8000000F));
  s->FillRect(Rect{0, 0, 2, 2}, 0x80000005);
  EXPECT_PIXEL(*s, 1, 1, gfx_->ResolveColour(0x80000005));
}

TEST_P(SurfaceContract, FillRectExcludesRightAndBottomAndClipsAtEveryEdge) {
  auto s = Make(10, 8);
  s->FillRect(Rect{2, 3, 5, 6}, kRed);
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 10, 8}, kRed), 9);
  EXPECT_PIXEL(*s, 2, 3, kRed);
  EXPECT_PIXEL(*s, 4, 5, kRed);
  EXPECT_PIXEL(*s, 5, 5, kWhite);
  EXPECT_PIXEL(*s, 4, 6, kWhite);
  s->Clear();
  s->FillRect(Rect{-5, -5, 2, 1}, kBlue);   // top-left
  s->FillRect(Rect{8, 6, 50, 50}, kGreen);  // bottom-right
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 10, 8}, kBlue), 2);
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 10, 8}, kGreen), 4);
  s->FillRect(Rect{5, 5, 5, 9}, kBlack);  // empty
  s->FillRect(Rect{6, 6, 3, 3}, kBlack);  // inverted
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 10, 8}, kBlack), 0);
}

TEST_P(SurfaceContract, LinesLeaveOutTheirEndPixel) {
  auto s = Make(10, 10);
  s->Line(Point{0, 0}, Point{0, 5}, kRed);    // vertical
  s->Line(Point{2, 9}, Point{9, 9}, kBlue);   // horizontal
  s->Line(Point{3, 3}, Point{3, 3}, kBlack);  // empty
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 1, 10}, kRed), 5);
  EXPECT_PIXEL(*s, 0, 4, kRed);
  EXPECT_PIXEL(*s, 0, 5, kWhite);
  EXPECT_EQ(CountColour(*s, Rect{0, 9, 10, 10}, kBlue), 7);
  EXPECT_PIXEL(*s, 9, 9, kWhite);
  EXPECT_PIXEL(*s, 3, 3, kWhite);
  s->Line(Point{9, 0}, Point{5, 0}, kGreen);  // right to left: 9..6
  EXPECT_PIXEL(*s, 9, 0, kGreen);
  EXPECT_PIXEL(*s, 6, 0, kGreen);
  EXPECT_PIXEL(*s, 5, 0, kWhite);
  s->Line(Point{4, 4}, Point{8, 8}, kBlack);  // diagonal
  EXPECT_PIXEL(*s, 4, 4, kBlack);
  EXPECT_PIXEL(*s, 7, 7, kBlack);
  EXPECT_PIXEL(*s, 8, 8, kWhite);
}

TEST_P(SurfaceContract, LinesAreClippedAtTheEdges) {
  auto s = Make(6, 6);
  s->Line(Point{-3, 2}, Point{20, 2}, kRed);
  s->Line(Point{4, -10}, Point{4, 30}, kBlue);
  EXPECT_EQ(CountColour(*s, Rect{0, 2, 6, 3}, kRed), 5);
  EXPECT_EQ(CountColour(*s, Rect{4, 0, 5, 6}, kBlue), 6);
}

TEST_P(SurfaceContract, WrittenPixelsReadBackAndOutsidePartsReadZero) {
  auto s = Make(5, 4);
  const std::vector<Colour> px = {0x010203, 0x040506, 0x070809, 0x0A0B0C, 0x0D0E0F, 0x101112};
  s->WritePixels(Rect{1, 1, 4, 3}, px);
  EXPECT_EQ(s->ReadPixels(Rect{1, 1, 4, 3}), px);
  const auto edge = s->ReadPixels(Rect{-1, 0, 1, 1});
  ASSERT_EQ(edge.size(), 2u);
  EXPECT_EQ(edge[0], 0u);
  EXPECT_EQ(edge[1], kWhite);
  EXPECT_TRUE(s->ReadPixels(Rect{2, 2, 2, 5}).empty());
  // Written past the edge: the part inside lands, nothing else moves.
  s->WritePixels(Rect{3, 2, 7, 3}, std::vector<Colour>{kRed, kGreen, kBlue, kBlack});
  EXPECT_PIXEL(*s, 3, 2, kRed);
  EXPECT_PIXEL(*s, 4, 2, kGreen);
  EXPECT_PIXEL(*s, 0, 3, kWhite);
  // Too few values: nothing is written.
  s->WritePixels(Rect{0, 0, 2, 2}, std::vector<Colour>{kRed, kRed, kRed});
  EXPECT_PIXEL(*s, 0, 0, kWhite);
}

TEST_P(SurfaceContract, CopyPictureIsUnscaledAndClipped) {
  auto s = Make(10, 10);
  auto q = Quad(2);  // 4 x 4
  s->CopyPicture(*q, Point{1, 1}, Rect{0, 0, 4, 4});
  EXPECT_PIXEL(*s, 1, 1, kRed);
  EXPECT_PIXEL(*s, 4, 1, kGreen);
  EXPECT_PIXEL(*s, 1, 4, kBlue);
  EXPECT_PIXEL(*s, 4, 4, 0xFF00FF);
  EXPECT_PIXEL(*s, 5, 5, kWhite);
  s->Clear();
  s->CopyPicture(*q, Point{0, 0}, Rect{2, 2, 4, 4});  // one cell
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 10, 10}, 0xFF00FF), 4);
  s->CopyPicture(*q, Point{8, -1}, Rect{0, 0, 4, 4});  // past the right and top edges
  EXPECT_PIXEL(*s, 8, 0, kRed);
  EXPECT_PIXEL(*s, 9, 0, kRed);
  EXPECT_PIXEL(*s, 9, 1, kBlue);
}

TEST_P(SurfaceContract, StretchPictureScalesEachPixel) {
  auto s = Make(12, 12);
  auto q = Quad(1);  // 2 x 2
  s->StretchPicture(*q, Rect{2, 2, 10, 10}, Rect{0, 0, 2, 2});
  EXPECT_EQ(CountColour(*s, Rect{2, 2, 6, 6}, kRed), 16) << test::DumpSurface(*s);
  EXPECT_EQ(CountColour(*s, Rect{6, 2, 10, 6}, kGreen), 16);
  EXPECT_EQ(CountColour(*s, Rect{2, 6, 6, 10}, kBlue), 16);
  EXPECT_EQ(CountColour(*s, Rect{6, 6, 10, 10}, 0xFF00FF), 16);
  EXPECT_PIXEL(*s, 10, 10, kWhite);
  s->Clear();
  s->StretchPicture(*q, Rect{0, 0, 6, 3}, Rect{1, 0, 2, 1});  // one green pixel to 6 x 3
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 12, 12}, kGreen), 18);
}

TEST_P(SurfaceContract, TransparentCopyLeavesKeyPixelsUntouched) {
  auto s = Make(8, 8);
  s->SetBackColor(0x333333);
  s->Clear();
  auto q = Quad(2);
  s->CopyPictureTransparent(*q, Rect{0, 0, 8, 8}, Rect{0, 0, 4, 4}, 0xFF00FF);
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 4, 4}, kRed), 16) << test::DumpSurface(*s);
  EXPECT_EQ(CountColour(*s, Rect{4, 4, 8, 8}, 0x333333), 16);
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 8, 8}, 0xFF00FF), 0);
}

TEST_P(SurfaceContract, PictureKeepsSizeDepthAndPixels) {
  const std::vector<Colour> px = {0x11223344, 0x00ABCDEF};
  auto p32 = gfx_->CreatePicture(2, 1, px, 32);
  EXPECT_EQ(p32->Width(), 2);
  EXPECT_EQ(p32->Height(), 1);
  EXPECT_EQ(p32->BitsPerPixel(), 32);
  EXPECT_EQ(p32->Pixels(), px);
  auto p24 = gfx_->CreatePicture(2, 1, px, 24);
  EXPECT_EQ(p24->BitsPerPixel(), 24);
  EXPECT_EQ(p24->Pixels(), (std::vector<Colour>{0x223344, 0xABCDEF}));
  // Missing pixels are black; the alpha byte never reaches the surface.
  auto s = Make(3, 1);
  auto short32 = gfx_->CreatePicture(3, 1, px, 32);
  s->CopyPicture(*short32, Point{0, 0}, Rect{0, 0, 3, 1});
  EXPECT_EQ(s->ReadPixels(Rect{0, 0, 3, 1}), (std::vector<Colour>{0x223344, 0xABCDEF, 0}));
}

TEST_P(SurfaceContract, TextHeightCountsCrLfLinesOnly) {
  auto s = Make(50, 50);
  s->SetFont(UiFont());
  const int line = s->TextHeight(u"");
  EXPECT_GT(line, 8);
  EXPECT_EQ(s->TextHeight(u"Ag"), line);
  EXPECT_EQ(s->TextHeight(u"a\r\nb"), 2 * line);
  EXPECT_EQ(s->TextHeight(u"a\r\n"), 2 * line);
  EXPECT_EQ(s->TextHeight(u"a\nb\rc"), line);  // lone LF and CR are no breaks
}

TEST_P(SurfaceContract, TextWidthIsTheWidestLine) {
  auto s = Make(50, 50);
  s->SetFont(UiFont());
  const int wide = s->TextWidth(u"wwwwww");
  const int narrow = s->TextWidth(u"ii");
  EXPECT_GT(wide, narrow);
  EXPECT_EQ(s->TextWidth(u""), 0);
  EXPECT_EQ(s->TextWidth(u"ii\r\nwwwwww\r\nii"), wide);
  EXPECT_EQ(s->TextWidth(u"ab"), s->TextWidth(u"a") + s->TextWidth(u"b"));
}

TEST_P(SurfaceContract, TextAtDrawsInTheTextColourOnATransparentBackground) {
  auto s = Make(60, 20);
  s->SetBackColor(kGreen);
  s->Clear();
  s->SetFont(UiFont());
  s->SetTextColor(kBlack);
  EXPECT_EQ(s->TextColor(), kBlack);
  s->TextAt(Point{5, 2}, u"HH");
  const Rect ink = InkBox(*s, kGreen);
  EXPECT_GE(ink.left, 5);
  EXPECT_GE(ink.top, 2);
  EXPECT_LE(ink.right, 5 + s->TextWidth(u"HH") + 1);
  EXPECT_LE(ink.bottom, 2 + s->TextHeight(u"HH"));
  EXPECT_GT(CountColour(*s, Rect{0, 0, 60, 20}, kBlack), 10) << test::DumpSurface(*s);
  EXPECT_PIXEL(*s, 0, 0, kGreen);
}

TEST_P(SurfaceContract, TextInAlignsLeftCentreAndRight) {
  auto s = Make(100, 20);
  s->SetFont(UiFont());
  const int w = s->TextWidth(u"HHH");
  const Rect r{10, 0, 90, 20};
  const Rect left = InkOfText(*s, r, u"HHH", platform::dt::kLeft);
  s->Clear();
  const Rect right = InkOfText(*s, r, u"HHH", platform::dt::kRight);
  s->Clear();
  const Rect centre = InkOfText(*s, r, u"HHH", platform::dt::kCenter);
  EXPECT_EQ(right.left - left.left, 80 - w) << test::DumpSurface(*s);
  EXPECT_EQ(centre.left - left.left, (80 - w) / 2);
  EXPECT_EQ(left.top, right.top);
}

TEST_P(SurfaceContract, TextInCentresVerticallyOnlyASingleLine) {
  auto s = Make(60, 60);
  s->SetFont(UiFont());
  const int line = s->TextHeight(u"H");
  const Rect top = InkOfText(*s, Rect{0, 0, 60, 60}, u"H", platform::dt::kLeft);
  s->Clear();
  const Rect middle = InkOfText(*s, Rect{0, 0, 60, 60}, u"H", platform::dt::kVCenter | platform::dt::kSingleLine);
  s->Clear();
  s->TextIn(Rect{0, 0, 60, 60}, u"H", platform::dt::kVCenter);  // without single line: top
  const Rect ignored = InkBox(*s, kWhite);
  EXPECT_EQ(middle.top - top.top, (60 - line) / 2);
  EXPECT_EQ(ignored.top, top.top);
}

TEST_P(SurfaceContract, TextInBreaksLinesAtCrLfOnly) {
  auto s = Make(100, 60);
  s->SetFont(UiFont());
  const int line = s->TextHeight(u"");
  const Rect two = InkOfText(*s, Rect{0, 0, 100, 60}, u"H\r\nH", platform::dt::kLeft);
  s->Clear();
  const Rect one = InkOfText(*s, Rect{0, 0, 100, 60}, u"H", platform::dt::kLeft);
  s->Clear();
  const Rect single = InkOfText(*s, Rect{0, 0, 100, 60}, u"H\r\nH", platform::dt::kSingleLine);
  EXPECT_EQ(two.bottom - one.bottom, line) << test::DumpSurface(*s);
  EXPECT_EQ(single.bottom, one.bottom);
  EXPECT_GT(single.right, one.right);
  // Each line is centred on its own.
  s->Clear();
  s->TextIn(Rect{0, 0, 100, 60}, u"H\r\nHHHHH", platform::dt::kCenter);
  const Rect first = InkBox(*s, kWhite, Rect{0, 0, 100, line});
  const Rect second = InkBox(*s, kWhite, Rect{0, line, 100, 2 * line});
  EXPECT_EQ(first.left - one.left, (100 - s->TextWidth(u"H")) / 2);
  EXPECT_EQ(second.left - one.left, (100 - s->TextWidth(u"HHHHH")) / 2);
}

TEST_P(SurfaceContract, TextInClipsToItsRectangle) {
  auto s = Make(100, 40);
  s->SetFont(UiFont());
  s->SetTextColor(kBlack);
  const Rect ink = InkOfText(*s, Rect{10, 5, 20, 9}, u"WWWWWWWW\r\nWWWW", platform::dt::kLeft);
  EXPECT_GE(ink.left, 10);
  EXPECT_GE(ink.top, 5);
  EXPECT_LE(ink.right, 20) << test::DumpSurface(*s);
  EXPECT_LE(ink.bottom, 9);
}

TEST_P(SurfaceContract, BoldIsWiderAndDarker) {
  auto s = Make(200, 30);
  Font f = UiFont();
  s->SetFont(f);
  const int plainWidth = s->TextWidth(u"Mmmm");
  s->TextAt(Point{2, 2}, u"Mmmm");
  const int plainInk = 6000 - CountColour(*s, Rect{0, 0, 200, 30}, kWhite);
  s->Clear();
  f.bold = true;
  s->SetFont(f);
  EXPECT_TRUE(s->CurrentFont().bold);
  EXPECT_GT(s->TextWidth(u"Mmmm"), plainWidth);
  s->TextAt(Point{2, 2}, u"Mmmm");
  const int boldInk = 6000 - CountColour(*s, Rect{0, 0, 200, 30}, kWhite);
  EXPECT_GT(boldInk, plainInk) << test::DumpSurface(*s);
}

TEST_P(SurfaceContract, UnderlineAddsARowUnderTheText) {
  auto s = Make(100, 30);
  Font f = UiFont();
  s->SetFont(f);
  s->TextAt(Point{2, 2}, u"nnnn");
  const Rect plain = InkBox(*s, kWhite);
  s->Clear();
  f.underline = true;
  s->SetFont(f);
  s->TextAt(Point{2, 2}, u"nnnn");
  const Rect under = InkBox(*s, kWhite);
  EXPECT_GT(under.bottom, plain.bottom) << test::DumpSurface(*s);
  // The underline is one solid run under the whole text.
  const int w = s->TextWidth(u"nnnn");
  EXPECT_GE(CountColour(*s, Rect{2, under.bottom - 1, 2 + w, under.bottom}, kBlack), w - 2);
}

TEST_P(SurfaceContract, ItalicLeansTheTopOfTheGlyphsRight) {
  auto s = Make(60, 30);
  Font f = UiFont();
  // How far the top of an "l" lies right of its foot.
  auto lean = [&]() {
    s->Clear();
    s->SetFont(f);
    s->TextAt(Point{10, 2}, u"l");
    const Rect ink = InkBox(*s, kWhite);
    const Rect top = InkBox(*s, kWhite, Rect{0, ink.top, 60, ink.top + 2});
    const Rect foot = InkBox(*s, kWhite, Rect{0, ink.bottom - 2, 60, ink.bottom});
    return top.left - foot.left;
  };
  EXPECT_EQ(lean(), 0);
  f.italic = true;
  EXPECT_GT(lean(), 0) << test::DumpSurface(*s);
}

// ---- The view ---------------------------------------------------------------

// Each operation drawn through the view origin (5, 4) with the clip
// (7, 6)-(15, 12) of a 20 x 16 surface lands exactly on the expected pixels.
TEST_P(SurfaceContract, EveryOperationMovesByTheOriginAndStaysInTheClip) {
  struct Case {
    const char* name;
    std::function<void(Surface&, const Picture&)> draw;  // the 2 x 2 quad picture
    Colour colour;
    Rect expected;   // surface coordinates: where all pixels of the colour lie
    int count = -1;  // how many there are; -1: the whole of expected
  };
  const Rect clip{7, 6, 15, 12};
  const std::vector<Case> cases = {
      {"fill",
       [](Surface& s, const Picture&) {
         s.FillRect(Rect{-10, -10, 100, 100}, kRed);
       },
       kRed, clip},
      {"small fill",
       [](Surface& s, const Picture&) {
         s.FillRect(Rect{0, 0, 3, 3}, kRed);
       },
       kRed, Rect{7, 6, 8, 7}},
      {"clear",
       [](Surface& s, const Picture&) {
         s.SetBackColor(kBlue);
         s.Clear();
       },
       kBlue, clip},
      {"row",
       [](Surface& s, const Picture&) {
         s.Line(Point{-20, 3}, Point{50, 3}, kRed);
       },
       kRed, Rect{7, 7, 15, 8}},
      {"column",
       [](Surface& s, const Picture&) {
         s.Line(Point{4, 50}, Point{4, -3}, kRed);
       },
       kRed, Rect{9, 6, 10, 12}},
      {"diagonal",
       [](Surface& s, const Picture&) {
         s.Line(Point{0, 0}, Point{12, 12}, kRed);
       },
       kRed, Rect{7, 6, 13, 12}, 6},
      {"copy",
       [](Surface& s, const Picture& q) {
         s.CopyPicture(q, Point{1, 1}, Rect{0, 0, 2, 2});
       },
       kRed, Rect{}},  // its red, green and blue pixels fall outside the clip
      {"copy magenta",
       [](Surface& s, const Picture& q) {
         s.CopyPicture(q, Point{1, 1}, Rect{0, 0, 2, 2});
       },
       0xFF00FF, Rect{7, 6, 8, 7}},
      {"copy green",
       [](Surface& s, const Picture& q) {
         s.CopyPicture(q, Point{2, 2}, Rect{0, 0, 2, 2});
       },
       kGreen, Rect{8, 6, 9, 7}},
      {"stretch red",
       [](Surface& s, const Picture& q) {
         s.StretchPicture(q, Rect{0, 0, 16, 16}, Rect{0, 0, 2, 2});
       },
       kRed, Rect{7, 6, 13, 12}},
      {"stretch green",
       [](Surface& s, const Picture& q) {
         s.StretchPicture(q, Rect{0, 0, 16, 16}, Rect{0, 0, 2, 2});
       },
       kGreen, Rect{13, 6, 15, 12}},
      {"transparent",
       [](Surface& s, const Picture& q) {
         s.CopyPictureTransparent(q, Rect{0, 0, 16, 16}, Rect{0, 0, 2, 2}, kRed);
       },
       kGreen, Rect{13, 6, 15, 12}},
      {"transparent key",
       [](Surface& s, const Picture& q) {
         s.CopyPictureTransparent(q, Rect{0, 0, 16, 16}, Rect{0, 0, 2, 2}, kRed);
       },
       kRed, Rect{}},
      {"write",
       [](Surface& s, const Picture&) {
         s.WritePixels(Rect{-5, -4, 15, 12}, std::vector<Colour>(320, kRed));
       },
       kRed, clip},
  };
  auto q = Quad(1);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto s = Make(20, 16);
    s->SetView(Point{5, 4}, clip);
    EXPECT_EQ(s->Origin(), (Point{5, 4}));
    EXPECT_EQ(s->Clip(), clip);
    c.draw(*s, *q);
    s->ResetView();
    const int count = c.count >= 0 ? c.count : c.expected.Width() * c.expected.Height();
    EXPECT_EQ(CountColour(*s, Rect{0, 0, 20, 16}, c.colour), count) << test::DumpSurface(*s);
    if (count > 0) {
      EXPECT_EQ(CountColour(*s, c.expected, c.colour), count);
    }
  }
}

TEST_P(SurfaceContract, PixelsReadThroughTheViewAndOutsideTheClipReadZero) {
  auto s = Make(12, 10);
  std::vector<Colour> all(120);
  for (std::size_t i = 0; i < all.size(); ++i) all[i] = static_cast<Colour>(0x010101 * i);
  s->WritePixels(Rect{0, 0, 12, 10}, all);
  s->SetView(Point{3, 2}, Rect{4, 3, 20, 20});
  // View (0, 0)-(3, 2) is surface (3, 2)-(6, 4); only (4..5, 3) lie in the clip.
  EXPECT_EQ(s->ReadPixels(Rect{0, 0, 3, 2}), (std::vector<Colour>{0, 0, 0, 0, all[40], all[41]}));
  EXPECT_EQ(s->Clip(), (Rect{4, 3, 12, 10}));  // cut to the surface
}

TEST_P(SurfaceContract, TextIsDrawnThroughTheViewAndCutByTheClip) {
  // Drawn through the view, the text is the one drawn without it, cut.
  auto s = Make(80, 40);
  s->SetFont(UiFont());
  s->TextAt(Point{10, 10}, u"WWWW");
  const Rect clip{20, 12, 30, 18};
  const auto inside = s->ReadPixels(clip);
  const int inkInside = clip.Width() * clip.Height() - CountColour(*s, clip, kWhite);
  ASSERT_GT(inkInside, 5);
  for (int kind = 0; kind < 3; ++kind) {
    SCOPED_TRACE(kind);
    s->ResetView();
    s->Clear();
    s->SetView(Point{5, 2}, clip);
    if (kind == 0) s->TextAt(Point{5, 8}, u"WWWW");
    if (kind == 1) s->TextIn(Rect{5, 8, 80, 40}, u"WWWW", platform::dt::kLeft);
    if (kind == 2) s->TextIn(Rect{5, 8, 6, 9}, u"WWWW", platform::dt::kNoClip);
    s->ResetView();
    EXPECT_EQ(s->ReadPixels(clip), inside) << test::DumpSurface(*s);
    EXPECT_EQ(CountColour(*s, Rect{0, 0, 80, 40}, kWhite), 3200 - inkInside);
  }
}

// A form's container at (10, 10), 30 x 20, holds a control at (25, 5),
// 20 x 10: the control's view is cut by its parent's.
TEST_P(SurfaceContract, NestedViewsPaintEachControlInItsOwnCoordinates) {
  auto s = Make(60, 40);
  const Rect parent{10, 10, 40, 30};
  s->SetView(Point{parent.left, parent.top}, parent);
  s->FillRect(Rect{0, 0, 30, 20}, kGreen);
  const Point child{parent.left + 25, parent.top + 5};
  s->SetView(child, Rect{std::max(parent.left, child.x), std::max(parent.top, child.y),
                         std::min(parent.right, child.x + 20), std::min(parent.bottom, child.y + 10)});
  s->FillRect(Rect{0, 0, 20, 10}, kBlue);
  s->Line(Point{0, 9}, Point{20, 9}, kRed);
  s->ResetView();
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 60, 40}, kBlue), 5 * 9) << test::DumpSurface(*s);
  EXPECT_EQ(CountColour(*s, Rect{35, 15, 40, 24}, kBlue), 45);
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 60, 40}, kRed), 5);
  EXPECT_EQ(CountColour(*s, Rect{35, 24, 40, 25}, kRed), 5);
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 60, 40}, kGreen), 600 - 50);
  s->FillRect(Rect{0, 0, 60, 40}, kBlack);  // the whole surface again
  EXPECT_EQ(CountColour(*s, Rect{0, 0, 60, 40}, kBlack), 2400);
}

// ---- Layout flags -----------------------------------------------------------

TEST_P(SurfaceContract, BottomAlignsOnlyASingleLine) {
  auto s = Make(60, 60);
  s->SetFont(UiFont());
  const int line = s->TextHeight(u"H");
  const Rect top = InkOfText(*s, Rect{0, 0, 60, 60}, u"H", platform::dt::kLeft);
  s->Clear();
  s->TextIn(Rect{0, 0, 60, 60}, u"H", platform::dt::kBottom | platform::dt::kSingleLine);
  EXPECT_EQ(InkBox(*s, kWhite).top - top.top, 60 - line) << test::DumpSurface(*s);
  s->Clear();
  s->TextIn(Rect{0, 0, 60, 60}, u"H", platform::dt::kBottom);
  EXPECT_EQ(InkBox(*s, kWhite).top, top.top);
}

TEST_P(SurfaceContract, WordBreakFitsLinesToTheWidth) {
  auto s = Make(200, 100);
  s->SetFont(UiFont());
  const int line = s->TextHeight(u"");
  // The number of lines text takes in a rectangle of the given width.
  auto lines = [&](StringView text, int width) {
    s->Clear();
    s->TextIn(Rect{2, 0, 2 + width, 100}, text, platform::dt::kWordBreak);
    const Rect ink = InkBox(*s, kWhite);
    EXPECT_LE(ink.right, 2 + width) << test::DumpSurface(*s);
    return ink.bottom <= ink.top ? 0 : (ink.bottom - 1) / line + 1;
  };
  const int two = s->TextWidth(u"HHH HHH");
  EXPECT_EQ(lines(u"HHH HHH HHH", two + 1), 2);
  EXPECT_EQ(lines(u"HHH HHH HHH", 200 - 4), 1);
  EXPECT_EQ(lines(u"HHH HHH HHH", two - 1), 3);
  EXPECT_EQ(lines(u"HHH\r\nHHH", 200 - 4), 2);                  // CR LF still breaks
  EXPECT_EQ(lines(u"HHHHHHHHH", s->TextWidth(u"HHH") + 1), 3);  // a long word breaks inside
}

TEST_P(SurfaceContract, EndEllipsisShortensATooWideLine) {
  auto s = Make(200, 20);
  s->SetFont(UiFont());
  const int width = s->TextWidth(u"HHHHHH");
  s->TextIn(Rect{0, 0, width, 20}, u"HHHHHHHHHHHH", platform::dt::kEndEllipsis);
  const auto shortened = s->ReadPixels(Rect{0, 0, 200, 20});
  // The same as the longest start that leaves room for "...", drawn whole.
  int n = 0;
  while (s->TextWidth(String(static_cast<std::size_t>(n + 1), u'H') + u"...") <= width) ++n;
  s->Clear();
  s->TextIn(Rect{0, 0, 200, 20}, String(static_cast<std::size_t>(n), u'H') + u"...", platform::dt::kLeft);
  EXPECT_EQ(shortened, s->ReadPixels(Rect{0, 0, 200, 20})) << n << " " << test::DumpSurface(*s);
  s->Clear();
  s->TextIn(Rect{0, 0, 200, 20}, u"HHH", platform::dt::kEndEllipsis);  // fits: unchanged
  const Rect fitting = InkBox(*s, kWhite);
  s->Clear();
  s->TextAt(Point{0, 0}, u"HHH");
  EXPECT_EQ(fitting, InkBox(*s, kWhite));
}

TEST_P(SurfaceContract, NoClipDrawsBeyondTheRectangleButNotTheView) {
  auto s = Make(100, 40);
  s->SetFont(UiFont());
  const Rect ink = InkOfText(*s, Rect{10, 5, 20, 9}, u"WWWWWWWW\r\nWWWW", platform::dt::kNoClip);
  EXPECT_GT(ink.right, 40) << test::DumpSurface(*s);
  EXPECT_GT(ink.bottom, 5 + s->TextHeight(u"")) << test::DumpSurface(*s);
}

}  // namespace
}  // namespace pd
