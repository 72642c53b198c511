// The INI document with files: reading, safe saving, failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "IniTestUtil.h"
#include "ini/clsINI.h"
#include "platform/sim/files.h"
#include "test_util.h"

namespace pd::ini {
namespace {

using namespace std::string_view_literals;
using test::Dump;
using test::Parse;

class IniFile : public ::testing::Test {
 protected:
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_.Path() / name, std::ios::binary) << bytes;
  }
  std::string Read(const std::string& name) {
    std::ifstream in(folder_.Path() / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  [[nodiscard]] std::size_t FilesInFolder() const {
    return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder_.Path()),
                                                  std::filesystem::directory_iterator()));
  }

  pd::test::TempFolder folder_;
  sim::SimFiles files_;
};

TEST_F(IniFile, OpensRawBytesWithoutLineEndTranslation) {
  Write("Blocks.txt", "game.exe=1\r\n\xC8\xE3\xF0\xE0.exe=0\nx\r\n");
  clsINI doc;
  ASSERT_TRUE(doc.OpenFile(files_, folder_.File("Blocks.txt")));
  EXPECT_EQ(Dump(doc), "<>(game.exe|1|game.exe=1)(Игра.exe|0\\nx|Игра.exe=0\\nx)(||)");
}

TEST_F(IniFile, MissingFileOrDirectoryLeavesTheDocumentAsItWas) {
  clsINI doc = Parse(u"a=1");
  EXPECT_FALSE(doc.OpenFile(files_, folder_.File("missing.cfg")));
  EXPECT_FALSE(doc.OpenFile(files_, folder_.Str()));
  EXPECT_FALSE(doc.OpenFile(files_, u""));
  EXPECT_EQ(doc.GetKeyValue(u"", u"a"), u"1");
}

// A file that is there but cannot be read (locked, no permission).
class UnreadableFiles final : public platform::Files {
 public:
  bool FileExists(StringView) override { return true; }
  bool ReadFile(StringView, std::string&) override { return false; }
  bool WriteFileAtomic(StringView, std::string_view) override { return false; }
  bool RemoveFile(StringView) override { return false; }
  int RemoveLeftoverTemps(StringView) override { return 0; }
  [[nodiscard]] String LastError() const override { return u"ReadFile: sharing violation"; }
};

TEST_F(IniFile, UnreadableFileGivesEmptyDocument) {
  UnreadableFiles locked;
  clsINI doc = Parse(u"a=1");
  EXPECT_FALSE(doc.OpenFile(locked, u"Options.cfg"));
  EXPECT_EQ(doc.SectionCount(), 0);
}

TEST_F(IniFile, EmptyFileGivesEmptyDocument) {
  Write("Options.cfg", "");
  clsINI doc = Parse(u"a=1");
  ASSERT_TRUE(doc.OpenFile(files_, folder_.File("Options.cfg")));
  EXPECT_EQ(doc.SectionCount(), 0);
}

TEST_F(IniFile, SavesExactBytesWithoutMarkOrAddedBreak) {
  clsINI doc = Parse(u";Опции\r\nAutoStart=True");
  ASSERT_TRUE(doc.SaveFile(files_, folder_.File("Options.cfg")));
  EXPECT_EQ(Read("Options.cfg"), ";Опции\r\nAutoStart=True");

  clsINI empty;
  ASSERT_TRUE(empty.SaveFile(files_, folder_.File("Options.cfg")));
  EXPECT_TRUE(std::filesystem::exists(folder_.Path() / "Options.cfg"));
  EXPECT_EQ(std::filesystem::file_size(folder_.Path() / "Options.cfg"), 0U);
  EXPECT_EQ(FilesInFolder(), 1U);  // no temporary file left behind
}

TEST_F(IniFile, SaveReplacesLongerOldContentEntirely) {
  Write("Blocks.txt", std::string(10000, 'x'));
  clsINI doc;
  ASSERT_TRUE(doc.SetKeyValue(u"", u"a.exe", u"1"));
  ASSERT_TRUE(doc.SaveFile(files_, folder_.File("Blocks.txt")));
  EXPECT_EQ(Read("Blocks.txt"), "a.exe=1\r\n");
}

TEST_F(IniFile, FailedSaveKeepsOldFileAndDocument) {
  const std::string old = "Explorer.exe=1\r\n;\xEA\xEE\xEC\xEC\xE5\xED\xF2\r\nnotepad.exe=0";
  Write("Exclamations.txt", old);
  clsINI doc;
  ASSERT_TRUE(doc.OpenFile(files_, folder_.File("Exclamations.txt")));
  ASSERT_TRUE(doc.SetKeyValue(u"", u"game.exe", u"1"));
  const std::string tables = Dump(doc);

  files_.FailWrites(true);
  EXPECT_FALSE(doc.SaveFile(files_, folder_.File("Exclamations.txt")));
  EXPECT_FALSE(files_.LastError().empty());
  EXPECT_EQ(Read("Exclamations.txt"), old);
  EXPECT_EQ(FilesInFolder(), 1U);
  EXPECT_EQ(Dump(doc), tables);

  files_.FailWrites(false);  // the same document saves once the fault is gone
  ASSERT_TRUE(doc.SaveFile(files_, folder_.File("Exclamations.txt")));
  EXPECT_EQ(Read("Exclamations.txt"), "Explorer.exe=1\r\n;коммент\r\nnotepad.exe=0\r\ngame.exe=1") << "now in UTF-8";
}

TEST_F(IniFile, SaveToDirectoryOrEmptyPathFailsAndTouchesNothing) {
  std::filesystem::create_directory(folder_.Path() / "Options.cfg");
  const clsINI doc = Parse(u"a=1");
  EXPECT_FALSE(doc.SaveFile(files_, folder_.File("Options.cfg")));
  EXPECT_TRUE(std::filesystem::is_directory(folder_.Path() / "Options.cfg"));
  EXPECT_EQ(FilesInFolder(), 1U);
  const int writes = files_.Writes();
  EXPECT_FALSE(doc.SaveFile(files_, u""));
  EXPECT_EQ(files_.Writes(), writes);
}

TEST_F(IniFile, SavedFileReadsBackAsTheSameDocument) {
  clsINI doc = Parse(u"[Раздел]\r\nИмя=Значение\r\n\r\n;\0=\r\nk=1\r\n"sv);
  ASSERT_TRUE(doc.SaveFile(files_, folder_.File("a.ini")));
  clsINI back;
  ASSERT_TRUE(back.OpenFile(files_, folder_.File("a.ini")));
  EXPECT_EQ(Dump(back), Dump(doc));
}

// Data files as people edit them: any line end ends a line; a missing file
// and an unreadable one are told apart.
TEST_F(IniFile, DataFilesReadAnyLineEndsAndTellMissingFromUnreadable) {
  EXPECT_EQ(clsINI::CrLfLineEnds("\r\r\n\n\rx\n"), "\r\n\r\n\r\n\r\nx\r\n");
  Write("Options.cfg", "a=1\n;c\rb=2");
  clsINI doc;
  ASSERT_EQ(doc.OpenDataFile(files_, folder_.File("Options.cfg")), clsINI::FileRead::kRead);
  EXPECT_EQ(doc.SaveString(), u"a=1\r\n;c\r\nb=2");
  EXPECT_EQ(doc.OpenDataFile(files_, folder_.File("missing.cfg")), clsINI::FileRead::kMissing);
  EXPECT_EQ(doc.OpenDataFile(files_, folder_.Str()), clsINI::FileRead::kMissing);
  EXPECT_EQ(doc.GetKeyValue(u"", u"a"), u"1") << "a missing file changes nothing";
  files_.SetUnreadable([](StringView) { return true; });
  EXPECT_EQ(doc.OpenDataFile(files_, folder_.File("Options.cfg")), clsINI::FileRead::kUnreadable);
  EXPECT_EQ(doc.SectionCount(), 0);
}

// Whatever name CanStoreDataKey accepts comes back from the file as the one
// key it was; what it refuses would not.
TEST_F(IniFile, DataKeysThatCanBeStoredReadBackAsThemselves) {
  std::mt19937 random(7);
  constexpr StringView kAlphabet = u"a=[] \r\n;";
  int stored = 0;
  for (int round = 0; round < 400; ++round) {
    String name;
    for (auto n = random() % 6; n > 0; --n) name += kAlphabet[random() % kAlphabet.size()];
    clsINI doc;
    const bool accepted = doc.SetKeyValue(u"", name, u"1") && clsINI::CanStoreDataKey(name, u"1");
    ASSERT_TRUE(doc.SaveFile(files_, folder_.File("Blocks.txt")));
    clsINI back;
    back.OpenDataFile(files_, folder_.File("Blocks.txt"));
    const bool same = back.Enum_GetSectionCount() == 1 && back.Enum_GetKeyCount(0) == 2 &&
                      back.Enum_GetKeyName(0, 0) == name && back.Enum_GetKeyValue(0, 0) == u"1";
    EXPECT_EQ(same, accepted) << pd::text::ToUtf8(name);
    stored += accepted ? 1 : 0;
  }
  EXPECT_GT(stored, 50);
}

}  // namespace
}  // namespace pd::ini
