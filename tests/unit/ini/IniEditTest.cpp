// Lookups, edits and enumeration of the INI document.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <stdexcept>

#include "IniTestUtil.h"
#include "ini/clsINI.h"
#include "test_util.h"

namespace pd::ini {
namespace {

using test::Dump;
using test::Parse;

// ---- Lookups ---------------------------------------------------------------------

TEST(IniLookup, TrimsBlanksAndIgnoresCase) {
  const clsINI doc = Parse(u"AutoStart=1\r\n[Игры]\r\nЁлка.EXE = 0");
  EXPECT_EQ(doc.GetKeyValue(u"", u"autostart"), u"1");
  EXPECT_EQ(doc.GetKeyValue(u"   ", u" AutoStart "), u"1");
  EXPECT_EQ(doc.GetKeyValue(u" игры", u"ёлка.exe"), u" 0");  // the value as stored, leading blank kept
  EXPECT_EQ(doc.GetKeyValue(u"", u"\tAutoStart"), u"");      // only spaces are trimmed
}

TEST(IniLookup, MissingOrEmptyNamesGiveEmpty) {
  const clsINI doc = Parse(u"a=1\r\n=x\r\n[S]\r\nb=2");
  EXPECT_EQ(doc.GetKeyValue(u"", u""), u"");
  EXPECT_EQ(doc.GetKeyValue(u"", u"   "), u"");  // never reaches the nameless "=x" line
  EXPECT_EQ(doc.GetKeyValue(u"T", u"b"), u"");
  EXPECT_EQ(doc.GetKeyValue(u"S", u"a"), u"");
  EXPECT_EQ(doc.GetKeyValue(u"", u"a"), u"1");
}

TEST(IniLookup, FirstOfDuplicatesWinsAndBothAreWritten) {
  clsINI doc = Parse(u"[A]\r\nk=1\r\nk=2\r\n[a]\r\nk=3");
  EXPECT_EQ(doc.GetKeyValue(u"A", u"k"), u"1");
  ASSERT_TRUE(doc.SetKeyValue(u"a", u"K", u"9"));
  EXPECT_EQ(doc.SaveString(), u"[A]\r\nk=9\r\nk=2\r\n[a]\r\nk=3");
  ASSERT_TRUE(doc.DeleteKey(u"A", u"k"));
  EXPECT_EQ(doc.GetKeyValue(u"A", u"k"), u"2");  // the second one is reached now
}

TEST(IniLookup, ValueKeepsSemicolonAndBlanks) {
  const clsINI doc = Parse(u"AutoStart = 1 ; on");
  EXPECT_EQ(doc.GetKeyValue(u"", u"AutoStart"), u" 1 ; on");
}

// ---- Layout of edits ---------------------------------------------------------------

TEST(IniEdit, KeysSetIntoEmptyDocumentAreOnePerLineWithTrailingBreak) {
  clsINI doc;
  ASSERT_TRUE(doc.SetKeyValue(u"", u"A", u"1"));
  EXPECT_EQ(doc.SaveString(), u"A=1\r\n");
  ASSERT_TRUE(doc.SetKeyValue(u"", u"B", u"2"));
  EXPECT_EQ(doc.SaveString(), u"A=1\r\nB=2\r\n");
  ASSERT_TRUE(doc.SetKeyValue(u"", u"a", u"3"));
  EXPECT_EQ(doc.SaveString(), u"A=3\r\nB=2\r\n");
}

TEST(IniEdit, NewSectionFollowsOneBlankLine) {
  clsINI doc = Parse(u"x=1");
  ASSERT_TRUE(doc.SetKeyValue(u"S", u"k", u"v"));
  EXPECT_EQ(doc.SaveString(), u"x=1\r\n\r\n[S]\r\nk=v\r\n");
  ASSERT_TRUE(doc.SetKeyValue(u"T", u"k", u"w"));  // the last section already ends blank
  EXPECT_EQ(doc.SaveString(), u"x=1\r\n\r\n[S]\r\nk=v\r\n\r\n[T]\r\nk=w\r\n");
}

TEST(IniEdit, NewSectionAfterEmptySectionGetsItsBlankLine) {
  clsINI doc = Parse(u"[A]");
  ASSERT_TRUE(doc.SetKeyValue(u"B", u"k", u"v"));
  EXPECT_EQ(doc.SaveString(), u"[A]\r\n\r\n[B]\r\nk=v\r\n");
}

TEST(IniEdit, NamedSectionInEmptyDocumentIsWrittenFirst) {
  clsINI doc;
  ASSERT_TRUE(doc.SetKeyValue(u"S", u"k", u"v"));
  EXPECT_EQ(doc.SectionCount(), 1);
  EXPECT_EQ(doc.SaveString(), u"[S]\r\nk=v\r\n");
}

TEST(IniEdit, NewKeyGoesBeforeTrailingBlankLineOnly) {
  clsINI doc = Parse(u"a=1\r\n\r\n[S]\r\nb=2\r\n");
  ASSERT_TRUE(doc.SetKeyValue(u"", u"n", u"x"));
  ASSERT_TRUE(doc.SetKeyValue(u"S", u"m", u"y"));
  EXPECT_EQ(doc.SaveString(), u"a=1\r\nn=x\r\n\r\n[S]\r\nb=2\r\nm=y\r\n");

  clsINI comment = Parse(u"a=1\r\n;end");
  ASSERT_TRUE(comment.SetKeyValue(u"", u"b", u"2"));
  EXPECT_EQ(comment.SaveString(), u"a=1\r\n;end\r\nb=2");

  clsINI spaces = Parse(u"a=1\r\n  ");  // a line of blanks is not a blank record
  ASSERT_TRUE(spaces.SetKeyValue(u"", u"b", u"2"));
  EXPECT_EQ(spaces.SaveString(), u"a=1\r\n  \r\nb=2");
}

TEST(IniEdit, FoundKeyKeepsItsNameAsRead) {
  clsINI doc = Parse(u"key = old");
  ASSERT_TRUE(doc.SetKeyValue(u"", u"KEY", u"new"));
  EXPECT_EQ(doc.SaveString(), u"key =new");
  ASSERT_TRUE(doc.SetKeyValue(u"", u" Fresh ", u" v "));  // a new name is stored as passed
  EXPECT_EQ(doc.SaveString(), u"key =new\r\n Fresh = v ");
}

TEST(IniEdit, NamesAndValuesViewingTheDocumentSurviveItsGrowth) {
  // Sections() hands out the document's own strings; adding a section or a
  // key moves them while they are still being read.
  clsINI keyInSameSection = Parse(u"a=1");
  ASSERT_TRUE(keyInSameSection.SetKeyValue(u"", u"b", keyInSameSection.Sections()[0].Keys[0].Value));
  EXPECT_EQ(keyInSameSection.SaveString(), u"a=1\r\nb=1");

  clsINI newSection = Parse(u"a=1");
  const INIKey& line = newSection.Sections()[0].Keys[0];
  ASSERT_TRUE(newSection.SetKeyValue(line.Name, line.Name, line.Value));
  EXPECT_EQ(newSection.SaveString(), u"a=1\r\n\r\n[a]\r\na=1\r\n");
}

TEST(IniEdit, EmptyKeyNameChangesNothing) {
  clsINI doc = Parse(u"a=1");
  EXPECT_FALSE(doc.SetKeyValue(u"", u"", u"x"));
  EXPECT_FALSE(doc.SetKeyValue(u"New", u"", u"x"));
  EXPECT_FALSE(doc.DeleteKey(u"", u""));
  EXPECT_EQ(Dump(doc), "<>(a|1|a=1)");
}

// A key name of spaces trims to "", which is also what comments and blank
// lines are named; it must never reach them.
TEST(IniEdit, NameOfSpacesNeverTouchesCommentsOrBlankLines) {
  clsINI doc = Parse(u";keep me\r\n\r\na=1");
  EXPECT_FALSE(doc.DeleteKey(u"", u"  "));
  EXPECT_FALSE(doc.RenameKey(u"", u"", u"x"));
  EXPECT_FALSE(doc.RenameKey(u"", u"  ", u"x"));
  ASSERT_TRUE(doc.SetKeyValue(u"", u"  ", u"v"));  // a new key line of its own
  EXPECT_EQ(doc.SaveString(), u";keep me\r\n\r\na=1\r\n  =v");
  EXPECT_EQ(doc.GetKeyValue(u"", u" "), u"v");
}

// Names and values that would read back as other keys or sections after a
// save are refused, and nothing changes.
TEST(IniEdit, NamesTheSyntaxCannotHoldAreRefused) {
  clsINI doc = Parse(u"[a=1\r\nb=2\r\n[S]\r\nc=3");
  const std::string before = Dump(doc);
  EXPECT_FALSE(doc.SetKeyValue(u"", u"x=y.exe", u"1"));          // would read as key "x"
  EXPECT_FALSE(doc.SetKeyValue(u"", u"evil\r\n[S]", u"1"));      // would open a section
  EXPECT_FALSE(doc.SetKeyValue(u"", u"b", u"2\r\n[T]\r\nz=1"));  // injected lines
  EXPECT_FALSE(doc.SetKeyValue(u"", u"[x]", u"1"));              // would read as a header
  EXPECT_FALSE(doc.SetKeyValue(u"", u"[a", u"1]"));              // "[a=1]" is a header
  EXPECT_FALSE(doc.SetKeyValue(u"T]x", u"k", u"1"));
  EXPECT_FALSE(doc.SetKeyValue(u"T\r\nU", u"k", u"1"));
  EXPECT_FALSE(doc.RenameSection(u"S", u"a]b"));
  EXPECT_FALSE(doc.RenameSection(u"S", u""));
  EXPECT_FALSE(doc.RenameKey(u"", u"b", u"p=q"));
  EXPECT_FALSE(doc.RenameKey(u"", u"b", u""));
  EXPECT_EQ(Dump(doc), before);

  // Near misses are fine: they read back as they were given.
  EXPECT_TRUE(doc.SetKeyValue(u"", u"[a", u"x"));
  EXPECT_TRUE(doc.SetKeyValue(u"", u"b", u"v=w;]"));
  EXPECT_TRUE(doc.SetKeyValue(u"]T", u"k\r", u"\nv"));
  EXPECT_TRUE(doc.RenameSection(u"S", u"]S"));
  const clsINI again = Parse(doc.SaveString());
  EXPECT_EQ(again.GetKeyValue(u"", u"[a"), u"x");
  EXPECT_EQ(again.GetKeyValue(u"", u"b"), u"v=w;]");
  EXPECT_EQ(again.GetKeyValue(u"]T", u"k\r"), u"\nv");
  EXPECT_EQ(again.GetKeyValue(u"]S", u"c"), u"3");
}

TEST(IniEdit, RenameSectionAndKeyReplaceFirstMatchOnly) {
  clsINI doc = Parse(u"[A]\r\nk=1\r\nk=2\r\n[A]");
  ASSERT_TRUE(doc.RenameKey(u"a", u"K", u"j"));
  ASSERT_TRUE(doc.RenameSection(u" a ", u"B"));
  EXPECT_EQ(doc.SaveString(), u"[B]\r\nj=1\r\nk=2\r\n[A]");
  EXPECT_EQ(doc.GetKeyValue(u"A", u"k"), u"");  // the second [A] has no keys
  EXPECT_EQ(doc.GetKeyValue(u"B", u"k"), u"2");
  EXPECT_FALSE(doc.RenameSection(u"Z", u"Y"));
  EXPECT_FALSE(doc.RenameKey(u"B", u"zz", u"Y"));
  EXPECT_TRUE(doc.RenameSection(u"", u"Top"));  // the unnamed section gets a header
  EXPECT_EQ(doc.SaveString(), u"[Top]\r\n[B]\r\nj=1\r\nk=2\r\n[A]");
}

TEST(IniEdit, DeleteKeyMovesLaterRecordsUpInItsSectionOnly) {
  clsINI doc = Parse(u"a=1\r\nb=2\r\nc=3\r\n[S]\r\nb=4");
  ASSERT_TRUE(doc.DeleteKey(u"", u"B"));
  EXPECT_EQ(doc.SaveString(), u"a=1\r\nc=3\r\n[S]\r\nb=4");
  EXPECT_EQ(doc.GetKeyValue(u"", u"c"), u"3");
  EXPECT_FALSE(doc.DeleteKey(u"", u"b"));
  EXPECT_FALSE(doc.DeleteKey(u"X", u"a"));
}

TEST(IniEdit, DeleteSectionMovesLaterSectionsUp) {
  clsINI doc = Parse(u"[A]\r\na=1\r\n[B]\r\nb=2");
  ASSERT_TRUE(doc.DeleteSection(u"a"));
  EXPECT_EQ(doc.SaveString(), u"[B]\r\nb=2");
  EXPECT_EQ(doc.GetKeyValue(u"B", u"b"), u"2");
  EXPECT_FALSE(doc.DeleteSection(u"A"));

  clsINI only = Parse(u"x=1");
  ASSERT_TRUE(only.DeleteSection(u""));
  EXPECT_EQ(only.SectionCount(), 0);
  EXPECT_EQ(only.SaveString(), u"");
}

TEST(IniEdit, DeletingTheUnnamedSectionPromotesTheFirstNamedOne) {
  clsINI doc = Parse(u"x=1\r\n[A]\r\na=1");
  ASSERT_TRUE(doc.DeleteSection(u""));
  EXPECT_EQ(doc.Enum_GetSectionName(0), u"A");
  EXPECT_EQ(doc.SaveString(), u"[A]\r\na=1");
}

// After the unnamed section was deleted, setting a key in it must not append
// an unnamed section below the others: the writer would drop it and the key
// would be lost by the next save.
TEST(IniEdit, RecreatedUnnamedSectionComesFirstAndIsSaved) {
  clsINI doc = Parse(u"x=1\r\n[A]\r\na=1");
  ASSERT_TRUE(doc.DeleteSection(u""));
  ASSERT_TRUE(doc.SetKeyValue(u"", u"k", u"v"));
  EXPECT_EQ(doc.Enum_GetSectionName(0), u"");
  EXPECT_EQ(doc.SaveString(), u"k=v\r\n\r\n[A]\r\na=1");
  EXPECT_EQ(Parse(doc.SaveString()).GetKeyValue(u"", u"k"), u"v");
  EXPECT_EQ(doc.GetKeyValue(u"A", u"a"), u"1");
}

// A header of spaces stands behind the unnamed section 0 after every reload;
// finding it by "" only while section 0 is missing would make the same file
// answer differently before and after a save.
TEST(IniEdit, SectionNamedBySpacesIsKeptButNeverFound) {
  clsINI doc = Parse(u"[ ]\r\nk=1");
  EXPECT_EQ(doc.GetKeyValue(u" ", u"k"), u"");
  ASSERT_TRUE(doc.DeleteSection(u""));
  EXPECT_EQ(doc.GetKeyValue(u"", u"k"), u"");
  EXPECT_EQ(doc.SaveString(), u"[ ]\r\nk=1");
  EXPECT_FALSE(doc.RenameSection(u" ", u"A"));
  EXPECT_FALSE(doc.RenameSection(u"X", u"  "));

  clsINI fresh;
  ASSERT_TRUE(fresh.SetKeyValue(u"  ", u"k", u"v"));  // the unnamed section, not "[  ]"
  EXPECT_EQ(fresh.SaveString(), u"k=v\r\n");
}

// ---- Enumeration -------------------------------------------------------------------

TEST(IniEnum, CountsNamesAndValuesWithEveryRecord) {
  const clsINI doc = Parse(u"[A]\r\nx=1\r\n;c\r\n\r\n=v");
  EXPECT_EQ(doc.Enum_GetSectionCount(), 2);
  EXPECT_EQ(doc.Enum_GetSectionName(0), u"");
  EXPECT_EQ(doc.Enum_GetSectionName(1), u"A");
  EXPECT_EQ(doc.Enum_GetKeyCount(0), 0);
  EXPECT_EQ(doc.Enum_GetKeyCount(1), 4);
  EXPECT_EQ(doc.Enum_GetKeyName(1, 0), u"x");
  EXPECT_EQ(doc.Enum_GetKeyValue(1, 0), u"1");
  EXPECT_EQ(doc.Enum_GetKeyName(1, 1), u"");
  EXPECT_EQ(doc.Enum_GetKeyName(1, 2), u"");
  EXPECT_EQ(doc.Enum_GetKeyName(1, 3), u"");
  EXPECT_EQ(doc.Enum_GetKeyValue(1, 3), u"v");
}

TEST(IniEnum, IndexesAtOrAboveTheCountGiveEmptyNegativeOnesThrow) {
  const clsINI doc = Parse(u"a=1");
  EXPECT_EQ(doc.Enum_GetSectionName(1), u"");
  EXPECT_EQ(doc.Enum_GetKeyCount(1), 0);
  EXPECT_EQ(doc.Enum_GetKeyName(0, 1), u"");
  EXPECT_EQ(doc.Enum_GetKeyValue(0, 1), u"");
  EXPECT_EQ(doc.Enum_GetKeyName(5, 0), u"");
  EXPECT_EQ(doc.Enum_GetKeyValue(5, 0), u"");
  EXPECT_THROW((void)doc.Enum_GetSectionName(-1), std::out_of_range);
  EXPECT_THROW((void)doc.Enum_GetKeyCount(-1), std::out_of_range);
  EXPECT_THROW((void)doc.Enum_GetKeyName(0, -1), std::out_of_range);
  EXPECT_THROW((void)doc.Enum_GetKeyValue(-1, 0), std::out_of_range);
  EXPECT_EQ(clsINI().Enum_GetSectionCount(), 0);
}

// ---- The lookup indexes against a plain model -------------------------------------

// The lookups exactly as described for the document, by linear search: the
// document's indexes must agree with it after any run of edits.
class Model {
 public:
  explicit Model(const clsINI& doc) : sections_(doc.Sections()) {}

  [[nodiscard]] std::int32_t FindSection(StringView name) const {
    for (std::size_t i = 0; i < sections_.size(); ++i) {
      const String& n = sections_[i].Name;
      if (!n.empty() && Trim(n).empty()) continue;  // "[  ]" is never found by name
      if (text::EqualsIgnoreCase(Trim(n), Trim(name))) return static_cast<std::int32_t>(i);
    }
    return -1;
  }
  [[nodiscard]] String Get(StringView section, StringView key) const {
    const auto s = FindSection(section);
    if (key.empty() || s < 0) return {};
    for (const INIKey& k : sections_[static_cast<std::size_t>(s)].Keys) {
      if (!k.Name.empty() && text::EqualsIgnoreCase(Trim(k.Name), Trim(key))) return k.Value;
    }
    return {};
  }

 private:
  static StringView Trim(StringView s) {
    while (!s.empty() && s.front() == u' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == u' ') s.remove_suffix(1);
    return s;
  }
  std::vector<INISection> sections_;
};

TEST(IniEdit, LookupsAgreeWithLinearSearchAfterRandomEdits) {
  static constexpr StringView kNames[] = {u"", u"a", u"A ", u" b", u"B", u"Ё", u"ё", u"c", u"  "};
  std::mt19937 rng(42);
  std::uniform_int_distribution<std::size_t> pick(0, std::size(kNames) - 1);
  std::uniform_int_distribution<int> op(0, 6);
  for (int round = 0; round < 100; ++round) {
    clsINI doc = Parse(u"a=0\r\n[B]\r\nb=1\r\n;x\r\n\r\n[ё]\r\nc=2");
    for (int step = 0; step < 60; ++step) {
      const StringView s = kNames[pick(rng)];
      const StringView k = kNames[pick(rng)];
      const StringView n = kNames[pick(rng)];
      switch (op(rng)) {
        case 0: case 1: doc.SetKeyValue(s, k, String(n) + u"v"); break;
        case 2: doc.RenameSection(s, n); break;
        case 3: doc.RenameKey(s, k, n); break;
        case 4: doc.DeleteSection(s); break;
        case 5: doc.DeleteKey(s, k); break;
        default: doc.OpenString(doc.SaveString()); break;
      }
      const Model model(doc);
      for (StringView qs : kNames) {
        for (StringView qk : kNames) ASSERT_EQ(doc.GetKeyValue(qs, qk), model.Get(qs, qk)) << Dump(doc);
      }
    }
  }
}

}  // namespace
}  // namespace pd::ini
