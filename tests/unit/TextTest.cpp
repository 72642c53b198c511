#include "platform/text.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace pd::text {
namespace {

TEST(Cp1251, EveryByteSurvivesARoundTrip) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const String decoded = FromCp1251(all);
  ASSERT_EQ(decoded.size(), 256U);
  EXPECT_EQ(ToCp1251(decoded), all);
}

TEST(Cp1251, CyrillicAndUnmappableCharacters) {
  EXPECT_EQ(ToCp1251(u"Ёё Опции №"), "\xA8\xB8 \xCE\xEF\xF6\xE8\xE8 \xB9");
  EXPECT_EQ(FromCp1251("\xC0\xFF"), u"Ая");
  EXPECT_EQ(ToCp1251(u"日本 ü"), "?? ?");  // outside the code page
  EXPECT_EQ(ToCp1251(u"\U0001F600"), "??");  // each half of a surrogate pair
}

TEST(Utf8, RoundTripAndInvalidInput) {
  const String s = u"Процессы: notepad.exe → €";
  EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
  EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(FromUtf8("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(FromUtf8("\xE2\x82"), u"\uFFFD\uFFFD");  // cut short
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong '/'
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(ToUtf8(String(1, static_cast<char16_t>(0xD800))), "\xEF\xBF\xBD");
}

TEST(LowerCase, LatinAndCyrillicAlike) {
  EXPECT_EQ(LowerCase(u"NOTEPAD.EXE"), u"notepad.exe");
  EXPECT_EQ(LowerCase(u"ИГРА.EXE Ёлка ЇЄІЎҐ"), u"игра.exe ёлка їєіўґ");
  EXPECT_EQ(LowerCase(u"ÀÉÖ×Ø"), u"àéö×ø");
  EXPECT_EQ(LowerCase(u"ŁŚŽŸ"), u"łśžÿ");
  EXPECT_TRUE(EqualsIgnoreCase(u"Explorer.EXE", u"explorer.exe"));
  EXPECT_FALSE(EqualsIgnoreCase(u"explorer.exe", u"explorer.ex"));
  EXPECT_FALSE(EqualsIgnoreCase(u"a", u"b"));
}

}  // namespace
}  // namespace pd::text
