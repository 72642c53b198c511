// The INI parser and writer: one case per oddity, the round trip over
// generated texts, and hostile input.
#include <gtest/gtest.h>

#include <random>

#include "IniTestUtil.h"
#include "ini/clsINI.h"
#include "test_util.h"

namespace pd::ini {
namespace {

using namespace std::string_view_literals;
using test::Dump;
using test::Parse;

// One text, the tables it gives and the text it is written back as.
struct TextCase {
  const char* oddity;
  StringView text;
  const char* tables;
  StringView written;
};

void PrintTo(const TextCase& c, std::ostream* os) { *os << c.oddity; }

class IniText : public ::testing::TestWithParam<TextCase> {};

TEST_P(IniText, ParsesAndWritesBack) {
  const TextCase& c = GetParam();
  const clsINI doc = Parse(c.text);
  EXPECT_EQ(Dump(doc), c.tables);
  EXPECT_EQ(doc.SaveString(), c.written);
  // What was written reads back as the same document, less what writing
  // drops.
  EXPECT_EQ(Dump(Parse(doc.SaveString())), Dump(doc, true));
}

INSTANTIATE_TEST_SUITE_P(
    Oddities, IniText,
    ::testing::Values(
        TextCase{"EmptyTextHasNoSections", u"", "", u""},
        TextCase{"OneKey", u"a=1", "<>(a|1|a=1)", u"a=1"},
        TextCase{"HeaderFirstLeavesSectionZeroEmpty", u"[A]\r\nx=1", "<><A>(x|1|x=1)", u"[A]\r\nx=1"},
        TextCase{"TrailingCrLfIsAnEmptyLastRecord", u"x=1\r\n[B]\r\n", "<>(x|1|x=1)<B>(||)", u"x=1\r\n[B]\r\n"},
        TextCase{"LeadingEmptyLinesAreDropped", u"\r\n\r\nx=1", "<>(||)(||)(x|1|x=1)", u"x=1"},
        TextCase{"OnlyLineBreaksWriteNothing", u"\r\n\r\n", "<>(||)(||)(||)", u""},
        TextCase{"TextAfterHeaderIsDropped", u"[A] ; note\r\nk=v", "<><A>(k|v|k=v)", u"[A]\r\nk=v"},
        TextCase{"BlanksAroundEqualsAreKept", u"key = value", "<>(key | value|key = value)", u"key = value"},
        TextCase{"BlankBeforeBracketIsNoHeader", u"a=1\r\n [A]", "<>(a|1|a=1)(|| [A])", u"a=1\r\n [A]"},
        TextCase{"CommentHasNoName", u";comment\r\n;x=1", "<>(||;comment)(;x|1|;x=1)", u";comment\r\n;x=1"},
        TextCase{"LoneLfIsText", u"a=1\nb=2", "<>(a|1\\nb=2|a=1\\nb=2)", u"a=1\nb=2"},
        TextCase{"LoneCrIsText", u"a=1\rb=2\r", "<>(a|1\\rb=2\\r|a=1\\rb=2\\r)", u"a=1\rb=2\r"},
        TextCase{"CrCrLfSplitsAtThePair", u"a\r\r\n\nb", "<>(||a\\r)(||\\nb)", u"a\r\r\n\nb"},
        TextCase{"EmptyBracketsAreNoHeader", u"[]\r\n[]x]", "<>(||[])<]x>", u"[]\r\n[]x]"},
        TextCase{"BracketWithoutCloseIsAKey", u"[a=b", "<>([a|b|[a=b)", u"[a=b"},
        TextCase{"NameKeepsBlanksAndStopsAtFirstBracket", u"[ A ]x]", "<>< A >", u"[ A ]"},
        TextCase{"HeaderLooksForBracketFromThirdCharacter", u"[]]", "<><]>", u"[]]"},
        TextCase{"LineBeginningWithEqualsHasNoName", u"=x\r\na==b", "<>(|x|=x)(a|=b|a==b)", u"=x\r\na==b"},
        TextCase{"ValueKeepsSemicolonAndEquals", u"k=v;c=d", "<>(k|v;c=d|k=v;c=d)", u"k=v;c=d"},
        TextCase{"TabBeforeBracketIsNoHeader", u"\t[A]", "<>(||\t[A])", u"\t[A]"},
        TextCase{"DuplicatesStay", u"[A]\r\nk=1\r\nk=2\r\n[A]\r\nk=3",
                 "<><A>(k|1|k=1)(k|2|k=2)<A>(k|3|k=3)", u"[A]\r\nk=1\r\nk=2\r\n[A]\r\nk=3"},
        // A header as the very last line opens an empty section, so the
        // header survives a save.
        TextCase{"HeaderAsLastLineOpensEmptySection", u"x=1\r\n[B]", "<>(x|1|x=1)<B>", u"x=1\r\n[B]"},
        TextCase{"HeaderAloneOpensEmptySection", u"[B]", "<><B>", u"[B]"},
        TextCase{"HeadersOnly", u"[A]\r\n[B]", "<><A><B>", u"[A]\r\n[B]"},
        TextCase{"NulIsOrdinaryText", u"a\0b=c\0"sv, "<>(a\\0b|c\\0|a\\0b=c\\0)", u"a\0b=c\0"sv},
        TextCase{"CyrillicNamesAndValues", u"[Опции]\r\nИмя=Значение", "<><Опции>(Имя|Значение|Имя=Значение)",
                 u"[Опции]\r\nИмя=Значение"}),
    [](const ::testing::TestParamInfo<TextCase>& p) { return std::string(p.param.oddity); });

TEST(IniDocument, OpenStringReplacesEverythingAndCleanEmpties) {
  clsINI doc = Parse(u"a=1\r\n[S]\r\nb=2");
  doc.OpenString(u"c=3");
  EXPECT_EQ(Dump(doc), "<>(c|3|c=3)");
  doc.OpenString(u"");
  EXPECT_EQ(doc.SectionCount(), 0);
  doc.OpenString(u"[S]\r\nb=2");
  doc.Clean();
  EXPECT_EQ(doc.SectionCount(), 0);
  EXPECT_EQ(doc.SaveString(), u"");
  EXPECT_EQ(doc.GetKeyValue(u"S", u"b"), u"");  // no stale lookup survives
}

TEST(IniDocument, OpenStringOfTheDocumentsOwnLineParsesThatLine) {
  // Sections() hands out the document's own strings, which parsing replaces.
  clsINI doc = Parse(u"[Options]\r\nAutoStartWithTheSystem=True ; and more");
  doc.OpenString(doc.Sections()[1].Keys[0].Text);
  EXPECT_EQ(Dump(doc), "<>(AutoStartWithTheSystem|True ; and more|AutoStartWithTheSystem=True ; and more)");
}

// ---- Round trip over generated texts ------------------------------------------

// Texts made of the pieces that matter to the parser: brackets, "=", ";",
// blanks, tabs, lone CR and LF, CR LF, NUL, Cyrillic letters.
String RandomText(std::mt19937& rng) {
  static constexpr std::u16string_view kPieces[] = {
      u"[", u"]", u"=", u";", u" ", u"\t", u"\r", u"\n", u"\r\n", u"\r\n", u"\r\n", u"a", u"Key", u"Ключ",
      u"1", u"[A]", u"[ s ]", u"\0"sv, u"[]", u"ё"};
  std::uniform_int_distribution<std::size_t> piece(0, std::size(kPieces) - 1);
  std::uniform_int_distribution<int> length(0, 40);
  String text;
  for (int n = length(rng); n > 0; --n) text += kPieces[piece(rng)];
  return text;
}

// What writing may legitimately drop from a text: empty lines at its very
// start and anything after the "]" of a header line.
String Normalised(StringView text) {
  String out;
  bool any = false;
  std::size_t start = 0;
  while (start <= text.size()) {
    auto end = text.find(u"\r\n", start);
    if (end == StringView::npos) end = text.size();
    StringView line = text.substr(start, end - start);
    if (!line.empty() && line[0] == u'[') {
      const auto close = line.find(u']', 2);
      if (close != StringView::npos) line = line.substr(0, close + 1);
    }
    if (any || !line.empty()) {
      if (any) out += u"\r\n";
      out += line;
      any = any || !line.empty();
    }
    start = end + 2;
    if (end == text.size()) break;
  }
  return out;
}

TEST(IniRoundTrip, WritingGivesTheTextBackSaveTheDroppedParts) {
  std::mt19937 rng(20240611);
  for (int i = 0; i < 20000; ++i) {
    const String text = RandomText(rng);
    const clsINI doc = Parse(text);
    const String written = doc.SaveString();
    ASSERT_EQ(written, Normalised(text)) << "text: " << text::ToUtf8(text);
    // Parsing what was written gives the same document, apart from the
    // dropped leading blank lines (header tails are not in the tables).
    const clsINI again = Parse(written);
    ASSERT_EQ(Dump(again), Dump(doc, true)) << "text: " << text::ToUtf8(text);
    ASSERT_EQ(again.SaveString(), written);
  }
}

TEST(IniRoundTrip, BytesThatAreNotUtf8ReadAsWindows1251AndComeBackAsUtf8) {
  std::string all;
  for (int b = 255; b >= 0; --b) all += static_cast<char>(b);  // NUL, CR and LF apart
  clsINI doc;
  doc.OpenBuf(all);
  const std::string saved = doc.SaveBuf();
  EXPECT_EQ(saved, text::ToUtf8(text::FromCp1251(all)));
  clsINI again;
  again.OpenBuf(saved);
  EXPECT_EQ(again.SaveBuf(), saved);

  doc.OpenBuf("[\xCE\xEF\xF6\xE8\xE8]\r\n\xC8\xE3\xF0\xE0.exe=1");  // as earlier builds wrote it
  EXPECT_EQ(doc.Enum_GetSectionName(1), u"Опции");
  EXPECT_EQ(doc.GetKeyValue(u"опции", u"игра.EXE"), u"1");
  EXPECT_EQ(doc.SaveBuf(), "[Опции]\r\nИгра.exe=1");
}

TEST(IniRoundTrip, EveryCharacterSurvivesAndAByteOrderMarkIsDropped) {
  clsINI doc;
  ASSERT_TRUE(doc.SetKeyValue(u"", u"日本-é-\U0001F600.exe", u"1"));
  EXPECT_EQ(doc.SaveBuf(), "日本-é-\U0001F600.exe=1\r\n");
  EXPECT_EQ(clsINI().SaveBuf(), "");
  clsINI read;
  read.OpenBuf("\xEF\xBB\xBF" + doc.SaveBuf());
  EXPECT_EQ(read.Enum_GetKeyName(0, 0), u"日本-é-\U0001F600.exe");
  EXPECT_EQ(read.SaveBuf(), doc.SaveBuf());
}

// ---- Hostile input ----------------------------------------------------------------

TEST(IniHostileInput, OneMegabyteLineIsOneRecord) {
  String line(1 << 20, u'x');
  line[10] = u'=';
  const clsINI doc = Parse(line);
  ASSERT_EQ(doc.Enum_GetKeyCount(0), 1);
  EXPECT_EQ(doc.Enum_GetKeyValue(0, 0).size(), line.size() - 11);
  EXPECT_EQ(doc.SaveString(), line);
}

TEST(IniHostileInput, LongHeaderAndManyShortLines) {
  String text = u"[" + String(100000, u'S') + u"]";
  for (int i = 0; i < 100000; ++i) text += u"\r\nk" + String(1, static_cast<char16_t>(u'a' + i % 26)) + u"=";
  const clsINI doc = Parse(text);
  ASSERT_EQ(doc.SectionCount(), 2);
  EXPECT_EQ(doc.Enum_GetKeyCount(1), 100000);
  EXPECT_EQ(doc.SaveString(), text);
}

TEST(IniHostileInput, BinaryGarbageLosesNoByte) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 50; ++round) {
    std::string bytes(4096, '\0');
    for (char& b : bytes) b = static_cast<char>(byte(rng));
    bytes.insert(0, "k=");  // a first line that is not empty
    clsINI doc;
    doc.OpenBuf(bytes);
    // Only header tails may go; a text without "[" at a line start keeps
    // every byte.
    const String text = text::Utf8Codec().FromFileText(bytes);
    ASSERT_EQ(doc.SaveString(), Normalised(text));
    if (bytes.find("\r\n[") == std::string::npos) {
      ASSERT_EQ(text::Utf8Codec().FromFileText(doc.SaveBuf()), text);
    }
  }
}

TEST(IniHostileInput, LoneLineEndsNeverSplitLines) {
  const clsINI doc = Parse(u"\n\r\n\r\r\n\n\r");
  EXPECT_EQ(Dump(doc), "<>(||\\n)(||\\r)(||\\n\\r)");
  EXPECT_EQ(doc.SaveString(), u"\n\r\n\r\r\n\n\r");
}

}  // namespace
}  // namespace pd::ini
