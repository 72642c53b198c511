// The file port and the ANSI code page of the Windows backend, under Wine
// with LC_ALL=ru_RU.UTF-8 (code page 1251).
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <string>

#include "contract/FilesContract.h"
#include "platform/text.h"
#include "platform/win32/files.h"
#include "platform/win32/text.h"
#include "test_util.h"

namespace pd::win32 {
namespace {

namespace fs = std::filesystem;

std::wstring W(const String& s) { return std::wstring(s.begin(), s.end()); }

std::size_t EntriesIn(const fs::path& folder) {
  return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

// A save stopped by a crash after creating its temporary file and writing
// part of it.
void InterruptedSave(platform::Files&, const String& target) {
  const std::wstring temp = TempNameFor(W(target));
  HANDLE file = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
  DWORD wrote = 0;
  EXPECT_TRUE(WriteFile(file, "half", 4, &wrote, nullptr));
  CloseHandle(file);
}

using test::FilesContract;
INSTANTIATE_TEST_SUITE_P(Win32, FilesContract,
                         testing::Values(test::FilesBackend{test::FilesBackend::kWin32,
                                                            [] { return std::make_unique<Win32Files>(); },
                                                            InterruptedSave}));

class Win32FilesTest : public ::testing::Test {
 protected:
  std::string Read(const String& path) {
    std::string bytes = "<unread>";
    files.ReadFile(path, bytes);
    return bytes;
  }
  test::TempFolder dir;
  Win32Files files;
};

TEST_F(Win32FilesTest, WriteFileAtomicReplacesContentAndLeavesNoTemporaryFile) {
  const String path = dir.File("Options.cfg");
  ASSERT_TRUE(files.WriteFileAtomic(path, "old\r\n"));
  ASSERT_TRUE(files.WriteFileAtomic(path, std::string("new\r\n\0\xFF", 7)));
  EXPECT_EQ(Read(path), std::string("new\r\n\0\xFF", 7));
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);

  ASSERT_TRUE(files.WriteFileAtomic(path, ""));
  EXPECT_EQ(Read(path), "");
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);
}

TEST_F(Win32FilesTest, CyrillicFileNamesAreWrittenAndRead) {
  const String cyrillic = dir.Str() + u"/Запреты.txt";
  // Wine keeps file names in the Unix locale's character set: without a
  // UTF-8 locale (LC_ALL=ru_RU.UTF-8 not generated) no such name can exist.
  HANDLE probe = CreateFileW(W(dir.Str() + u"/Проба").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    GTEST_SKIP() << "the system cannot store Cyrillic file names here; under Wine generate the locale: "
                    "localedef -i ru_RU -f UTF-8 ru_RU.UTF-8";
  }
  CloseHandle(probe);
  ASSERT_TRUE(files.WriteFileAtomic(cyrillic, "x=1\r\n")) << text::ToUtf8(files.LastError());
  ASSERT_TRUE(files.WriteFileAtomic(cyrillic, "y=0\r\n")) << text::ToUtf8(files.LastError());
  EXPECT_EQ(Read(cyrillic), "y=0\r\n");
  EXPECT_TRUE(files.FileExists(cyrillic));
  EXPECT_EQ(EntriesIn(dir.Path()), 2u);
}

TEST_F(Win32FilesTest, WriteFileAtomicIntoAMissingFolderFailsAndCreatesNothing) {
  EXPECT_FALSE(files.WriteFileAtomic(dir.Str() + u"/missing/Blocks.txt", "a=1\r\n"));
  EXPECT_NE(text::ToUtf8(files.LastError()).find("Win32: WriteFileAtomic: CreateFile failed (3)"), std::string::npos)
      << text::ToUtf8(files.LastError());
  EXPECT_EQ(EntriesIn(dir.Path()), 0u);
}

TEST_F(Win32FilesTest, WriteFileAtomicOntoADirectoryFailsAndLeavesItAlone) {
  fs::create_directory(dir.Path() / "Blocks.txt");
  fs::create_directory(dir.Path() / "Blocks.txt" / "inside");
  EXPECT_FALSE(files.WriteFileAtomic(dir.File("Blocks.txt"), "a=1\r\n"));
  EXPECT_NE(text::ToUtf8(files.LastError()).find("MoveFileEx failed"), std::string::npos) << text::ToUtf8(files.LastError());
  EXPECT_TRUE(fs::is_directory(dir.Path() / "Blocks.txt" / "inside"));
  EXPECT_EQ(EntriesIn(dir.Path()), 1u) << "the temporary file is gone";
}

TEST_F(Win32FilesTest, WriteFileAtomicKeepsAReadOnlyFileWhole) {
  const String path = dir.File("Exclamations.txt");
  ASSERT_TRUE(files.WriteFileAtomic(path, "explorer.exe=1\r\n"));
  ASSERT_TRUE(SetFileAttributesW(W(path).c_str(), FILE_ATTRIBUTE_READONLY));
  EXPECT_FALSE(files.WriteFileAtomic(path, "other=1\r\n"));
  EXPECT_NE(text::ToUtf8(files.LastError()).find("(5)"), std::string::npos) << text::ToUtf8(files.LastError());
  EXPECT_EQ(Read(path), "explorer.exe=1\r\n");
  EXPECT_EQ(EntriesIn(dir.Path()), 1u);
  SetFileAttributesW(W(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(Win32FilesTest, FileExistsForHiddenAndSystemFilesButNotDirectoriesOrPatterns) {
  const String hidden = dir.File("hidden.txt");
  const String system = dir.File("system.txt");
  ASSERT_TRUE(files.WriteFileAtomic(hidden, "h"));
  ASSERT_TRUE(files.WriteFileAtomic(system, "s"));
  ASSERT_TRUE(SetFileAttributesW(W(hidden).c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(SetFileAttributesW(W(system).c_str(), FILE_ATTRIBUTE_SYSTEM));
  EXPECT_TRUE(files.FileExists(hidden));
  EXPECT_TRUE(files.FileExists(system));
  fs::create_directory(dir.Path() / "folder");
  EXPECT_FALSE(files.FileExists(dir.File("folder")));
  EXPECT_FALSE(files.FileExists(dir.Str()));
  EXPECT_FALSE(files.FileExists(u""));
  EXPECT_FALSE(files.FileExists(dir.File("missing.txt")));
  EXPECT_FALSE(files.FileExists(dir.File("*.txt"))) << "a pattern is no file";
  EXPECT_FALSE(files.FileExists(u"Q:\\no\\such\\drive.txt"));
}

TEST_F(Win32FilesTest, ReadAndRemoveReportFailuresAndTouchNothing) {
  std::string bytes = "kept";
  EXPECT_FALSE(files.ReadFile(dir.File("missing.txt"), bytes));
  EXPECT_EQ(bytes, "kept");
  EXPECT_FALSE(files.RemoveFile(dir.File("missing.txt")));
  EXPECT_NE(text::ToUtf8(files.LastError()).find("Win32: RemoveFile: DeleteFile failed (2)"), std::string::npos)
      << text::ToUtf8(files.LastError());
  ASSERT_TRUE(files.WriteFileAtomic(dir.File("a.txt"), "a"));
  EXPECT_TRUE(files.RemoveFile(dir.File("a.txt")));
  EXPECT_FALSE(files.FileExists(dir.File("a.txt")));
}

// ---- The ANSI code page --------------------------------------------------------

class Win32AnsiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 1251u) << "run under scripts/wine-run, which sets LC_ALL=ru_RU.UTF-8";
  }
};

TEST_F(Win32AnsiTest, CyrillicRoundTripsThroughCodePage1251) {
  const String ui = u"Процессы, Запреты, Опции: Ёё";
  const std::string bytes = win32::AnsiCodec().ToAnsi(ui);
  EXPECT_EQ(bytes, "\xCF\xF0\xEE\xF6\xE5\xF1\xF1\xFB, \xC7\xE0\xEF\xF0\xE5\xF2\xFB, \xCE\xEF\xF6\xE8\xE8: \xA8\xB8");
  EXPECT_EQ(win32::AnsiCodec().FromAnsi(bytes), ui);
}

TEST_F(Win32AnsiTest, UnmappableCharactersBecomeQuestionMarks) {
  // é has a best-fit look-alike (e) that must not be used; 中 has none.
  EXPECT_EQ(win32::AnsiCodec().ToAnsi(u"caf\u00E9 \u4E2D."), "caf? ?.");
  EXPECT_EQ(win32::AnsiCodec().ToAnsi(u""), "");
  EXPECT_EQ(win32::AnsiCodec().FromAnsi(""), u"");
}

TEST_F(Win32AnsiTest, SystemCodePageAgreesWithTheBuiltInTableSoFilesMoveBetweenPlatforms) {
  for (int b = 1; b < 256; ++b) {
    if (b == 0x98) continue;  // unassigned in 1251; systems differ
    const std::string byte(1, static_cast<char>(b));
    EXPECT_EQ(win32::AnsiCodec().FromAnsi(byte), text::FromCp1251(byte)) << "byte " << b;
    EXPECT_EQ(win32::AnsiCodec().ToAnsi(text::FromCp1251(byte)), byte) << "byte " << b;
  }
}

// Files stay in the ANSI code page byte for byte; only a file that an
// editor saved as UTF-8 with its byte-order mark is read as UTF-8.
TEST_F(Win32AnsiTest, FilesAreAnsiByteForByteAndAMarkedUtf8FileReadsAsUtf8) {
  const std::string ansi = "\xC8\xE3\xF0\xE0.exe=1\r\n";
  EXPECT_EQ(win32::AnsiCodec().FromFileText(ansi), u"Игра.exe=1\r\n");
  EXPECT_EQ(win32::AnsiCodec().ToFileText(win32::AnsiCodec().FromFileText(ansi)), ansi);
  EXPECT_EQ(win32::AnsiCodec().FromFileText("\xEF\xBB\xBF\xD0\x98\xD0\xB3\xD1\x80\xD0\xB0.exe"), u"Игра.exe");
  EXPECT_EQ(win32::AnsiCodec().FromFileText("\xEF\xBB\xBF\xC8"), win32::AnsiCodec().FromAnsi("\xEF\xBB\xBF\xC8")) << "not UTF-8: ANSI";
  EXPECT_EQ(win32::AnsiCodec().ToFileText(u"漢字.exe"), "??.exe");
}

}  // namespace
}  // namespace pd::win32
