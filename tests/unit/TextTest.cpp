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

TEST(Latin1, EveryByteSurvivesARoundTripAndOthersBecomeOneMark) {
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  EXPECT_EQ(ToLatin1(FromLatin1(all)), all);
  EXPECT_EQ(ToLatin1(u"é Ж\U0001F600."), "\xE9 ??.") << "a surrogate pair is one character";
}

TEST(Utf8, RoundTripAndInvalidInput) {
  const String s = u"Процессы: notepad.exe → € \U0001F600";
  EXPECT_EQ(FromUtf8(ToUtf8(s)), s);
  EXPECT_EQ(ToUtf8(u"\U0001F600"), "\xF0\x9F\x98\x80");
  EXPECT_EQ(FromUtf8("\xF0\x9F\x98\x80"), u"\U0001F600");  // a surrogate pair
  EXPECT_EQ(FromUtf8("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // past U+10FFFF
  EXPECT_EQ(ToUtf8(String(u"a\xDC00" u"b\xD83D")), "a\xEF\xBF\xBD" "b\xEF\xBF\xBD");  // lone halves
  EXPECT_EQ(FromUtf8("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(FromUtf8("\xE2\x82"), u"\uFFFD\uFFFD");  // cut short
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD");  // overlong '/'
  EXPECT_EQ(FromUtf8("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // encoded surrogate
  EXPECT_EQ(ToUtf8(String(1, static_cast<char16_t>(0xD800))), "\xEF\xBF\xBD");
}

// Linux reads a file as UTF-8 when it is, else as Windows-1251.
TEST(FileText, Utf8OrElseWindows1251AndTheMarkDropped) {
  struct Case {
    std::string_view bytes;
    const char16_t* text;
  };
  for (const Case c : {Case{"", u""}, Case{"\xCF\xF0\xEE\xF6\xE5\xF1\xF1\xFB", u"Процессы"},
                       Case{"Процессы", u"Процессы"}, Case{"\xEF\xBB\xBF漢字", u"漢字"},
                       Case{"\xEF\xBB\xBF\xC8", u"И"}, Case{"caf\xC3\xA9 \xE9", u"cafГ© й"}}) {
    EXPECT_EQ(FromUtf8OrCp1251(c.bytes), c.text) << c.bytes;
  }
  EXPECT_FALSE(IsUtf8("\xC3"));
  EXPECT_TRUE(IsUtf8("\xC3\xA9\xF0\x9F\x98\x80"));
}

TEST(Cp1251Lossless, CodePageBytesStayOneAndOthersAreEscaped) {
  EXPECT_EQ(ToCp1251Lossless(u"Ёё Опции"), ToCp1251(u"Ёё Опции"));
  EXPECT_EQ(ToCp1251Lossless(u"é漢\U0001F600"), "\x98\xC3\xA9\x98\xE6\xBC\xA2\x98\xF0\x9F\x98\x80");
  EXPECT_EQ(FromCp1251Lossless("\x98\xC3\xA9"), u"é");
  EXPECT_EQ(FromCp1251Lossless("\x98\xD0\x90"), u"\u0098Рђ") << "А is in the code page: never escaped";
  EXPECT_EQ(FromCp1251Lossless("\x98"), u"\u0098");
  EXPECT_EQ(ToCp1251Lossless(String(1, static_cast<char16_t>(0xD800))), "\x98\xEF\xBF\xBD");
}

TEST(CutWhole, NeverPartsASurrogatePair) {
  const String s = u"a\U0001F600b";
  EXPECT_EQ(CutWhole(s, 0), 0U);
  EXPECT_EQ(CutWhole(s, 1), 1U);
  EXPECT_EQ(CutWhole(s, 2), 1U);
  EXPECT_EQ(CutWhole(s, 3), 3U);
  EXPECT_EQ(CutWhole(s, 9), 4U);
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
