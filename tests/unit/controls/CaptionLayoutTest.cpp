// The caption routines of the skinned controls: the word wrap measured by a
// font of uneven widths, the placement of caption and icon, and the blend.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "controls/CaptionLayout.h"
#include "platform/sim/platform.h"
#include "test_util.h"
#include "unit/SurfaceTestUtil.h"

namespace pd::controls {
namespace {

// A font of uneven widths: 'i' 3, 'm' 11, space 4, Cyrillic 8, others 6;
// the widest line of multi-line text.
int Width(StringView s) {
  int widest = 0;
  for (StringView line : platform::SplitTextLines(s)) {
    int w = 0;
    for (char16_t c : line) w += c == u'i' ? 3 : c == u'm' ? 11 : c == u' ' ? 4 : c >= 0x400 ? 8 : 6;
    widest = std::max(widest, w);
  }
  return widest;
}
int Height(StringView s) { return 13 * static_cast<int>(platform::SplitTextLines(s).size()); }
const MeasureWidth kWidth = Width;
const MeasureWidth kHeight = Height;

std::vector<String> Lines(StringView s) {
  std::vector<String> out;
  for (StringView line : platform::SplitTextLines(s)) out.emplace_back(line);
  return out;
}

TEST(WrapCaption, TheWorkedExamples) {
  struct Case {
    const char16_t* text;
    int max;
    std::vector<String> lines;
  } cases[] = {
      {u"abcde", 100, {u"abcde"}},                                    // 30 px fits unchanged
      {u"abcd efgh", 30, {u"abcd", u"efgh"}},                         // the second word measured again alone
      {u"abcdefghab", 30, {u"abcde", u"fghab"}},                      // twice as wide: longest fitting prefixes
      {u"ab cdefghabcd ef", 30, {u"ab", u"cdefg", u"habcd", u"ef"}},  // only the middle word too wide
      {u"ab cd ef", 28, {u"ab cd", u"ef"}},
      {u"mmm", 10, {u"m", u"m", u"m"}},  // a character wider than max stands alone
      {u"ab  cd", 100, {u"ab  cd"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Lines(WrapCaption(c.text, c.max, kWidth)), c.lines) << text::ToUtf8(c.text) << " in " << c.max;
  }
}

TEST(WrapCaption, GeneratedCaptionsFitAndKeepEveryCharacter) {
  const char16_t alphabet[] = u"aimM iiimm Жыв-.";
  std::mt19937 rng(8);
  for (int n = 0; n < 3000; ++n) {
    String text;
    const int length = static_cast<int>(rng() % 40);
    for (int i = 0; i < length; ++i) text += alphabet[rng() % (std::size(alphabet) - 1)];
    const int max = static_cast<int>(rng() % 90) - 5;
    const String wrapped = WrapCaption(text, max, kWidth);
    if (Width(text) <= max) {
      EXPECT_EQ(wrapped, text);
      continue;
    }
    String joined;
    for (const String& line : wrapped.empty() ? std::vector<String>{} : Lines(wrapped)) {
      EXPECT_TRUE(Width(line) <= max || line.size() == 1)
          << "line " << text::ToUtf8(line) << " of " << text::ToUtf8(text) << " in " << max;
      EXPECT_FALSE(line.empty()) << text::ToUtf8(text) << " in " << max;
      joined += line;
    }
    std::erase(text, u' ');
    std::erase(joined, u' ');
    EXPECT_EQ(joined, text) << "max " << max;
  }
}

TEST(PlaceCaption, IconAndTextAreCentredAsABlockThreePixelsApart) {
  ASSERT_EQ(Width(u"abcde ii"), 40);  // a 40-pixel caption in a 100 x 23 button, a 16 x 16 icon
  struct Case {
    int align;
    Point icon;
    Rect text;
  } cases[] = {
      {0, {20, 3}, {39, 5, 79, 20}},   // the worked example: u = (100 - 59) / 2 = 20
      {1, {63, 3}, {20, 5, 60, 20}},   // icon right of the text
      {2, {42, -4}, {5, 15, 95, 20}},  // above: v = (23 - 32) / 2 = -4
      {3, {42, 12}, {5, -4, 95, 20}},  // below
      {7, {42, 3}, {5, 5, 95, 20}},    // anything else: both centred
  };
  for (const Case& c : cases) {
    const CaptionPlacement p = PlaceCaption(kWidth, kHeight, 100, 23, u"abcde ii", c.align, 16, 16);
    EXPECT_EQ(p.icon, c.icon) << "align " << c.align;
    EXPECT_EQ(p.textRect, c.text) << "align " << c.align;
    EXPECT_EQ(p.text, u"abcde ii");
  }
  const CaptionPlacement none = PlaceCaption(kWidth, kHeight, 100, 23, u"mmmmmmmm", 0, 0, 0);
  EXPECT_EQ(none.textRect, (Rect{5, 5, 95, 20})) << "no icon: the width less 10 for the wrap, 88 px fit";
  EXPECT_EQ(none.text, u"mmmmmmmm");
}

TEST(Blend, ChannelsAndRoundingToEven) {
  EXPECT_EQ(BlendChannel(0, 255, 128), 128);
  EXPECT_EQ(BlendChannel(10, 20, 0), 10);
  EXPECT_EQ(BlendChannel(10, 20, 255), 20);
  EXPECT_EQ(BlendChannel(0, 1, 128), 1);  // 0.502
  EXPECT_EQ(RoundHalfEven(0.5), 0);
  EXPECT_EQ(RoundHalfEven(1.5), 2);
  EXPECT_EQ(RoundHalfEven(2.5), 2);
  EXPECT_EQ(RoundHalfEven(-0.5), 0);
}

TEST(Blend, KeyColourGreyAndOpacityOnTheSurface) {
  sim::SimPlatform sim;
  auto s = sim.graphics().CreateSurface(4, 1);
  s->FillRect(Rect{0, 0, 4, 1}, 0x102030);
  // red, magenta, half-transparent white, a 32-bit pixel with alpha 0
  const Colour px[] = {0xFF0000FF, 0xFFFF00FF, 0x80FFFFFF, 0x00123456};
  auto pic = sim.graphics().CreatePicture(4, 1, px, 32);
  BlendPicture(*s, 0, 0, 4, 1, *pic, 0, 0, blend::kKeyColour | blend::kGrey, kIconKeyColour, 0);
  const Colour grey = 115 | (115 << 8) | (115 << 16);
  EXPECT_PIXEL(*s, 0, 0, grey);      // pure red greyed: 255 / 3 + 30
  EXPECT_PIXEL(*s, 1, 0, 0x102030);  // the key colour is not drawn
  // white greyed to 255 at alpha 128 over (0x30, 0x20, 0x10)
  const Colour half =
      BlendChannel(0x30, 255, 128) | (BlendChannel(0x20, 255, 128) << 8) | (BlendChannel(0x10, 255, 128) << 16);
  EXPECT_PIXEL(*s, 2, 0, half);
  EXPECT_PIXEL(*s, 3, 0, 0x102030);

  s->FillRect(Rect{0, 0, 4, 1}, 0);
  const Colour opaque[] = {0xFFFFFF};
  auto rgb = sim.graphics().CreatePicture(1, 1, opaque, 24);
  BlendPicture(*s, 1, 0, 1, 1, *rgb, 0, 0, blend::kOpacity, kIconKeyColour, 51);  // alpha 51
  EXPECT_PIXEL(*s, 1, 0, 0x333333);
  BlendPicture(*s, 2, 0, 0, 1, *rgb, 0, 0, 0, kIconKeyColour, 0);
  BlendPicture(*s, 2, 0, 2, 1, *rgb, 0, 0, 0, kIconKeyColour, 0);  // wider than the picture
  EXPECT_PIXEL(*s, 2, 0, 0xFFFFFF);
  EXPECT_PIXEL(*s, 3, 0, 0) << "outside the picture nothing is drawn";
}

}  // namespace
}  // namespace pd::controls
