#include "controls/MarkupParser.h"

#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <string>

#include "test_util.h"

namespace pd::controls {
namespace {

TextRun Text(StringView text, std::int32_t colour = kDefaultColour, bool bold = false) {
  TextRun r;
  r.Text = String(text);
  r.ColorOrBitmap = colour;
  r.Bold = bold;
  return r;
}

// The colour of the text run of "<color=VALUE>x".
std::int32_t ColourOf(StringView value) {
  const auto runs = ParseItemText(u"<color=" + String(value) + u">x");
  EXPECT_EQ(runs.size(), 1U);
  return runs.empty() ? -2 : runs[0].ColorOrBitmap;
}

// OffsetX of "<left=VALUE>": the number rules.
std::int32_t NumberOf(StringView value) {
  const auto runs = ParseItemText(u"<left=" + String(value) + u">");
  EXPECT_EQ(runs.size(), 1U);
  return runs.empty() ? -2 : runs[0].OffsetX;
}

// Any text, tags and all, comes out of PlainMarkup's markup as itself.
TEST(MarkupParser, PlainMarkupShowsAnyTextAsItIs) {
  std::mt19937 random(5);
  const String pieces[] = {u"<", u">", u"b", u"<b>", u"</b>", u"<br>", u"<td w=5>", u"<color=255>", u"<img=1,2,3>", u"x"};
  for (int round = 0; round < 300; ++round) {
    String text;
    for (auto n = random() % 8; n > 0; --n) text += pieces[random() % std::size(pieces)];
    const auto runs = ParseItemText(PlainMarkup(text));
    EXPECT_EQ(PlainTextOf(runs), text);
    for (const TextRun& run : runs) EXPECT_TRUE(run.Kind == RunText || (run.Kind == RunImage && run.RunWidth == 0));
  }
}

TEST(TagTable, HoldsTheFourteenTagsInIdentityOrder) {
  const auto& t = TagTable();
  EXPECT_EQ(t[0], u"<b>");
  EXPECT_EQ(t[6], u"<color=");
  EXPECT_EQ(t[11], u"<left=");
  EXPECT_EQ(t[12], u"<td ");
  EXPECT_EQ(t[13], u"</td>");
}

TEST(MarkupParser, WorkedExampleGivesSevenRunsAndItsPlainText) {
  const auto runs =
      ParseItemText(u"Name <b>bold <color=#FF0000>red</color></b><left=100><color=0 128 0>x</color><br>line 2");
  TextRun left;
  left.Kind = RunLeft;
  left.ColorOrBitmap = kDefaultColour;
  left.OffsetX = 100;
  const std::vector<TextRun> expected{Text(u"Name "),     Text(u"bold ", kDefaultColour, true),
                                      Text(u"red", 0x0000FF, true), left,
                                      Text(u"x", 0x008000), Text(u"\r\n"),
                                      Text(u"line 2")};
  EXPECT_EQ(runs, expected);
  EXPECT_EQ(PlainTextOf(runs), u"Name bold redx\r\nline 2");
}

TEST(MarkupParser, TagsIgnoreLetterCaseAndUnknownTagsAreText) {
  auto runs = ParseItemText(u"<B>x</b>");
  ASSERT_EQ(runs.size(), 1U);
  EXPECT_TRUE(runs[0].Bold);
  EXPECT_EQ(runs[0].Text, u"x");

  runs = ParseItemText(u"<bx>");
  ASSERT_EQ(runs.size(), 1U);
  EXPECT_EQ(runs[0].Text, u"<bx>");

  // A "<" before a tag stays text up to the tag.
  runs = ParseItemText(u"a<<x><I>b");
  ASSERT_EQ(runs.size(), 2U);
  EXPECT_EQ(runs[0].Text, u"a<<x>");
  EXPECT_TRUE(runs[1].Italic);
  EXPECT_EQ(PlainTextOf(ParseItemText(u"<td>x</td>")), u"<td>x");  // "<td" needs its blank
}

TEST(MarkupParser, SurplusClosingTagsAreIgnoredAndStylesNest) {
  const auto runs = ParseItemText(u"a</b></b>b<b>c<u><b>d</b>e</u>f");
  ASSERT_EQ(runs.size(), 6U);
  EXPECT_EQ(runs[0].Text, u"a");
  EXPECT_EQ(runs[1].Text, u"b");
  EXPECT_FALSE(runs[1].Bold);
  EXPECT_TRUE(runs[2].Bold);  // c
  EXPECT_TRUE(runs[3].Bold && runs[3].Underline);  // d, bold depth 2
  EXPECT_TRUE(runs[4].Bold && runs[4].Underline);  // e, depth back to 1
  EXPECT_TRUE(runs[5].Bold && !runs[5].Underline);  // f
}

TEST(MarkupParser, ColourValueForms) {
  EXPECT_EQ(ColourOf(u" 255"), 0x00FF00);  // a triple with an empty red part
  EXPECT_EQ(ColourOf(u"#00FF00"), 0x00FF00);
  EXPECT_EQ(ColourOf(u"#0000ff"), 0xFF0000);
  EXPECT_EQ(ColourOf(u"#0G0000"), 0);
  EXPECT_EQ(ColourOf(u"#FFF"), 0x0000FF);    // no short form: only the red pair
  EXPECT_EQ(ColourOf(u"#FFFFF"), 0x00FFFF);  // red and green pairs
  EXPECT_EQ(ColourOf(u"#123456ZZ"), 0x563412);  // after the seventh character ignored
  EXPECT_EQ(ColourOf(u"#"), 0);
  EXPECT_EQ(ColourOf(u"255"), 0x0000FF);
  EXPECT_EQ(ColourOf(u"16777215"), 0xFFFFFF);
  EXPECT_EQ(ColourOf(u"16777216"), 0x0000FF);  // too large for one number: red part, limited
  EXPECT_EQ(ColourOf(u"0 0 300"), 0xFF0000);
  EXPECT_EQ(ColourOf(u"0"), 0);
  EXPECT_EQ(ColourOf(u""), 0);
  EXPECT_EQ(ColourOf(u"10 20 30 40"), 10 + 256 * 20 + 65536 * 30);
  EXPECT_EQ(ColourOf(u"-5 -1 2"), 65536 * 2);  // negative parts count as 0
  EXPECT_EQ(ColourOf(u"red"), 0);
}

TEST(MarkupParser, ColourStackKeepsItsFloorAndOverwritesItsTop) {
  auto runs = ParseItemText(u"</color></color>a<color=255>b</color></color>c");
  ASSERT_EQ(runs.size(), 3U);
  EXPECT_EQ(runs[0].ColorOrBitmap, kDefaultColour);
  EXPECT_EQ(runs[1].ColorOrBitmap, 0x0000FF);
  EXPECT_EQ(runs[2].ColorOrBitmap, kDefaultColour);

  // 300 pushes of colours 1..300 (as "R 0 1": distinct values), then pops.
  String text;
  for (int i = 1; i <= 300; ++i) text += u"<color=0 0 " + text::FromAscii(std::to_string(i % 200)) + u">";
  text += u"x";
  for (int i = 0; i < 254; ++i) text += u"</color>";
  text += u"y</color>z</color>w";
  runs = ParseItemText(text);
  ASSERT_EQ(runs.size(), 4U);
  EXPECT_EQ(runs[0].ColorOrBitmap, 65536 * (300 % 200));  // the 300th push replaced the top
  // 254 pops from index 255 reach index 1: the first push.
  EXPECT_EQ(runs[1].ColorOrBitmap, 65536 * 1);
  EXPECT_EQ(runs[2].ColorOrBitmap, kDefaultColour);
  EXPECT_EQ(runs[3].ColorOrBitmap, kDefaultColour);
}

TEST(MarkupParser, NumbersRoundHalvesToEvenAndRejectTheRest) {
  EXPECT_EQ(NumberOf(u"100"), 100);
  EXPECT_EQ(NumberOf(u"  42  "), 42);
  EXPECT_EQ(NumberOf(u"2.5"), 2);
  EXPECT_EQ(NumberOf(u"3.5"), 4);
  EXPECT_EQ(NumberOf(u"-2.5"), -2);
  EXPECT_EQ(NumberOf(u"0.51"), 1);
  EXPECT_EQ(NumberOf(u"+7"), 7);
  EXPECT_EQ(NumberOf(u".5"), 0);
  EXPECT_EQ(NumberOf(u"1e2"), 100);
  EXPECT_EQ(NumberOf(u"2147483647"), 2147483647);
  EXPECT_EQ(NumberOf(u"-2147483648"), -2147483647 - 1);
  EXPECT_EQ(NumberOf(u"2147483648"), 0);  // outside 32 bits: unparsable
  EXPECT_EQ(NumberOf(u"1e300"), 0);
  EXPECT_EQ(NumberOf(u"12px"), 0);
  EXPECT_EQ(NumberOf(u"1 2"), 0);
  EXPECT_EQ(NumberOf(u""), 0);
  EXPECT_EQ(NumberOf(u"inf"), 0);
  EXPECT_EQ(NumberOf(u"nan"), 0);
  EXPECT_EQ(NumberOf(u"0x10"), 0);
  EXPECT_EQ(NumberOf(u"１２"), 0);  // full-width digits are not decimal digits
}

TEST(MarkupParser, TagWithoutClosingBracketTakesTheRestAndLosesTheLastCharacter) {
  auto runs = ParseItemText(u"a<left=123");
  ASSERT_EQ(runs.size(), 2U);
  EXPECT_EQ(runs[1].Kind, RunLeft);
  EXPECT_EQ(runs[1].OffsetX, 12);
  runs = ParseItemText(u"a<b");  // not a tag without its ">"
  ASSERT_EQ(runs.size(), 1U);
  EXPECT_EQ(runs[0].Text, u"a<b");
}

TEST(MarkupParser, CellsTakeAttributesTextAndConsumeTheirClosingTag) {
  auto runs = ParseItemText(u"<b><td width=50 align=2>7</TD>rest");
  ASSERT_EQ(runs.size(), 2U);
  EXPECT_EQ(runs[0].Kind, RunCell);
  EXPECT_EQ(runs[0].Text, u"7");
  EXPECT_EQ(runs[0].RunWidth, 50);
  EXPECT_EQ(runs[0].Align, 2);
  EXPECT_TRUE(runs[0].Bold);
  EXPECT_EQ(runs[0].ColorOrBitmap, kDefaultColour);
  EXPECT_EQ(runs[1].Text, u"rest");

  runs = ParseItemText(u"<td width=50>abc");
  ASSERT_EQ(runs.size(), 1U);
  EXPECT_EQ(runs[0].Text, u"abc");

  runs = ParseItemText(u"<td  WIDTH=30 height=20 align=37 color=5 junk width = 9>c</td>");
  ASSERT_EQ(runs.size(), 1U);
  EXPECT_EQ(runs[0].RunWidth, 30);  // "width = 9" is three pieces, none a pair
  EXPECT_EQ(runs[0].RunHeight, 20);
  EXPECT_EQ(runs[0].Align, 37);

  // A lone "</td>" is consumed and ignored.
  EXPECT_EQ(PlainTextOf(ParseItemText(u"a</td>b")), u"ab");
  // A tag that itself ends in "</td>" does not close its own cell.
  runs = ParseItemText(u"<td width=9</td>x</td>y");
  ASSERT_EQ(runs.size(), 2U);
  EXPECT_EQ(runs[0].Text, u"x");
  EXPECT_EQ(runs[1].Text, u"y");
}

TEST(MarkupParser, ImagesAndSpaces) {
  auto runs = ParseItemText(u"<img=1,2>");
  ASSERT_EQ(runs.size(), 1U);
  EXPECT_EQ(runs[0], TextRun{});  // an empty text run, colour 0

  runs = ParseItemText(u"<b><color=255><img=7, 16 ,12>");
  ASSERT_EQ(runs.size(), 1U);
  EXPECT_EQ(runs[0].Kind, RunImage);
  EXPECT_EQ(runs[0].ColorOrBitmap, 7);
  EXPECT_EQ(runs[0].RunWidth, 16);
  EXPECT_EQ(runs[0].RunHeight, 12);
  EXPECT_EQ(runs[0].OffsetX, kAtPen);
  EXPECT_EQ(runs[0].OffsetY, kAtPen);
  EXPECT_FALSE(runs[0].Bold);  // images carry no style

  runs = ParseItemText(u"<img=3,4,5,6,>");
  ASSERT_EQ(runs.size(), 1U);
  EXPECT_EQ(runs[0].OffsetX, 6);
  EXPECT_EQ(runs[0].OffsetY, kAtPen);

  runs = ParseItemText(u"<space=20>x");
  ASSERT_EQ(runs.size(), 2U);
  EXPECT_EQ(runs[0].Kind, RunImage);
  EXPECT_EQ(runs[0].ColorOrBitmap, 0);
  EXPECT_EQ(runs[0].RunWidth, 20);
  EXPECT_EQ(runs[0].RunHeight, 0);
}

TEST(MarkupParser, LineBreaksAreOwnRunsButTypedCrLfStaysInsideText) {
  auto runs = ParseItemText(u"<b><color=255><br>a\r\nb");
  ASSERT_EQ(runs.size(), 2U);
  EXPECT_EQ(runs[0], Text(u"\r\n"));  // no style, default colour
  EXPECT_EQ(runs[1].Text, u"a\r\nb");
}

TEST(MarkupParser, StopsAfterAThousandSteps) {
  String text;
  for (int i = 0; i < 600; ++i) text += u"<b>x</b>";
  const auto runs = ParseItemText(text);
  // 1000 steps: 333 whole "<b>x</b>" groups and the "<b>" of the next.
  EXPECT_EQ(runs.size(), 333U);
  // Text needs no steps beyond its pieces: a long plain text is one run.
  EXPECT_EQ(ParseItemText(String(100000, u'a')).size(), 1U);
}

TEST(MarkupParser, ProcessPageItemParsesIntoNameLeftAndPath) {
  const auto runs = ParseItemText(u"notepad.exe<left=100>C:\\Windows\\notepad.exe");
  ASSERT_EQ(runs.size(), 3U);
  EXPECT_EQ(runs[1].Kind, RunLeft);
  EXPECT_EQ(PlainTextOf(runs), u"notepad.exeC:\\Windows\\notepad.exe");
}

}  // namespace
}  // namespace pd::controls
