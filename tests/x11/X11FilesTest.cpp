// The Linux file port (safe saves where they can fail) and the program's
// own paths, data folder and single-instance lock.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "X11TestUtil.h"
#include "contract/FilesContract.h"
#include "ini/clsINI.h"
#include "platform/x11/app.h"
#include "platform/x11/files.h"
#include "test_util.h"

namespace fs = std::filesystem;

namespace pd::x11 {
namespace {

using test::EnvVar;
using test::TempFolder;
using test::Tmpfs;

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> out;
  for (const auto& e : fs::directory_iterator(folder)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

std::string Utf8(const String& s) { return text::ToUtf8(s); }

// A save stopped by a crash after mkstemp and part of the write.
void InterruptedSave(platform::Files&, const String& target) {
  std::string temp;
  const int fd = CreateTempBeside(Utf8(target), temp);
  ASSERT_GE(fd, 0) << std::strerror(errno);
  EXPECT_EQ(write(fd, "half", 4), 4);
  close(fd);
}

using test::FilesContract;
INSTANTIATE_TEST_SUITE_P(X11, FilesContract,
                         testing::Values(test::FilesBackend{
                             test::FilesBackend::kX11, [] { return std::make_unique<X11Files>(); }, InterruptedSave}));

TEST(X11Files, WriteFileAtomicReplacesContentKeepsModeAndLeavesNoTemporaryFile) {
  TempFolder folder;
  const fs::path file = folder.Path() / "Options.cfg";
  std::ofstream(file) << "old";
  chmod(file.c_str(), 0640);
  X11Files files;

  ASSERT_TRUE(files.WriteFileAtomic(file.u16string(), "Enabled=True\r\n"));
  EXPECT_EQ(Slurp(file), "Enabled=True\r\n");
  EXPECT_EQ(Names(folder.Path()), std::vector<std::string>{"Options.cfg"});
  struct stat st {};
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);

  ASSERT_TRUE(files.WriteFileAtomic((folder.Path() / "New.txt").u16string(), ""));
  EXPECT_TRUE(files.FileExists((folder.Path() / "New.txt").u16string()));
}

TEST(X11Files, WriteFileAtomicWritesThroughASymbolicLink) {
  TempFolder folder;
  const fs::path real = folder.Path() / "real.txt";
  std::ofstream(real) << "old";
  fs::create_symlink(real, folder.Path() / "link.txt");
  X11Files files;
  ASSERT_TRUE(files.WriteFileAtomic((folder.Path() / "link.txt").u16string(), "new"));
  EXPECT_TRUE(fs::is_symlink(folder.Path() / "link.txt"));
  EXPECT_EQ(Slurp(real), "new");
}

TEST(X11Files, LeftoversOfSavesThroughALinkAreSweptBesideWhatItPointsAt) {
  TempFolder folder;
  fs::create_directories(folder.Path() / "real");
  const fs::path real = folder.Path() / "real" / "Blocks.txt";
  std::ofstream(real) << "old";
  const fs::path link = folder.Path() / "Blocks.txt";
  fs::create_symlink(real, link);
  std::string temp;
  const int fd = CreateTempBeside(real.string(), temp);
  ASSERT_GE(fd, 0);
  close(fd);
  X11Files files;
  EXPECT_EQ(files.RemoveLeftoverTemps(link.u16string()), 1);
  EXPECT_EQ(Names(folder.Path() / "real"), std::vector<std::string>{"Blocks.txt"});
  EXPECT_TRUE(fs::is_symlink(link));
}

TEST(X11Files, WriteFileAtomicInAFolderThatRefusesWritesKeepsTheOldFile) {
  TempFolder folder;
  const fs::path dir = folder.Path() / "ro";
  std::optional<Tmpfs> mount;
  if (geteuid() == 0) {
    // Root writes through permission bits: a read-only file system refuses.
    mount.emplace(dir, "size=64k");
    if (!mount->Mounted()) GTEST_SKIP() << "no read-only folder as root: " << mount->Error();
    std::ofstream(dir / "Blocks.txt") << "notepad.exe=1\r\n";
    ASSERT_TRUE(mount->MakeReadOnly());
  } else {
    fs::create_directories(dir);
    std::ofstream(dir / "Blocks.txt") << "notepad.exe=1\r\n";
    chmod(dir.c_str(), 0555);
  }
  X11Files files;
  EXPECT_FALSE(files.WriteFileAtomic((dir / "Blocks.txt").u16string(), "other.exe=1\r\n"));
  EXPECT_NE(Utf8(files.LastError()).find("X11: WriteFileAtomic: create temporary file: "), std::string::npos)
      << Utf8(files.LastError());
  EXPECT_EQ(Slurp(dir / "Blocks.txt"), "notepad.exe=1\r\n");
  EXPECT_EQ(Names(dir), std::vector<std::string>{"Blocks.txt"});
  chmod(dir.c_str(), 0755);
}

TEST(X11Files, WriteFileAtomicOnAFullFileSystemKeepsTheOldFile) {
  TempFolder folder;
  const fs::path dir = folder.Path() / "small";
  Tmpfs mount(dir, "size=64k");
  if (!mount.Mounted()) GTEST_SKIP() << "no small file system to fill: " << mount.Error();
  const std::string old(1000, 'o');
  std::ofstream(dir / "Options.cfg") << old;
  {
    // Fill what is left.
    std::ofstream filler(dir / "filler", std::ios::binary);
    const std::string block(4096, 'f');
    for (int i = 0; i < 64 && filler; ++i) filler.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  X11Files files;
  EXPECT_FALSE(files.WriteFileAtomic((dir / "Options.cfg").u16string(), std::string(32 * 1024, 'n')));
  EXPECT_NE(Utf8(files.LastError()).find("X11: WriteFileAtomic: write: No space left on device"), std::string::npos)
      << Utf8(files.LastError());
  EXPECT_EQ(Slurp(dir / "Options.cfg"), old);
  EXPECT_EQ(Names(dir), (std::vector<std::string>{"Options.cfg", "filler"}));
}

// The document's own save on the real file system: a list that grew past
// what the disk holds is refused, and the list on disk reads back as it was.
TEST(X11Files, IniSaveOnAFullFileSystemKeepsTheListFile) {
  TempFolder folder;
  const fs::path dir = folder.Path() / "small";
  Tmpfs mount(dir, "size=16k");
  if (!mount.Mounted()) GTEST_SKIP() << "no small file system to fill: " << mount.Error();
  X11Files files;
  const String path = (dir / "Blocks.txt").u16string();
  ini::clsINI list;
  list.SetKeyValue(u"", u"игра.exe", u"1");
  ASSERT_TRUE(list.SaveFile(files, path));
  const std::string before = Slurp(dir / "Blocks.txt");

  for (int i = 0; i < 2000; ++i) list.SetKeyValue(u"", u"program" + text::FromAscii(std::to_string(i)), u"0");
  EXPECT_FALSE(list.SaveFile(files, path));
  EXPECT_EQ(Slurp(dir / "Blocks.txt"), before);
  EXPECT_EQ(Names(dir), std::vector<std::string>{"Blocks.txt"});

  ini::clsINI reread;
  ASSERT_TRUE(reread.OpenFile(files, path));
  EXPECT_EQ(reread.GetKeyValue(u"", u"ИГРА.exe"), u"1");
  EXPECT_EQ(list.Enum_GetKeyCount(0), 2002) << "the document keeps what could not be saved";
}

TEST(X11Files, FileExistsOnlyForFiles) {
  TempFolder folder;
  std::ofstream(folder.Path() / "f") << "x";
  std::ofstream(folder.Path() / ".hidden") << "x";
  fs::create_symlink(folder.Path() / "f", folder.Path() / "to-f");
  fs::create_symlink(folder.Path() / "gone", folder.Path() / "dangling");
  X11Files files;
  EXPECT_TRUE(files.FileExists(folder.File("f")));
  EXPECT_TRUE(files.FileExists(folder.File(".hidden")));
  EXPECT_TRUE(files.FileExists(folder.File("to-f")));
  EXPECT_FALSE(files.FileExists(folder.File("dangling")));
  EXPECT_FALSE(files.FileExists(folder.File("missing")));
  EXPECT_FALSE(files.FileExists(folder.Str()));
  EXPECT_FALSE(files.FileExists(u""));
}

TEST(X11Files, ReadAndRemoveReportFailuresAndKeepTheBuffer) {
  TempFolder folder;
  std::ofstream(folder.Path() / "data", std::ios::binary) << std::string("a\0b\xe9", 4);
  X11Files files;
  std::string bytes = "untouched";
  EXPECT_FALSE(files.ReadFile(folder.File("missing"), bytes));
  EXPECT_EQ(bytes, "untouched");
  EXPECT_NE(Utf8(files.LastError()).find("X11: ReadFile: open: No such file or directory"), std::string::npos);
  EXPECT_FALSE(files.ReadFile(folder.Str(), bytes));
  EXPECT_EQ(bytes, "untouched");
  ASSERT_TRUE(files.ReadFile(folder.File("data"), bytes));
  EXPECT_EQ(bytes, std::string("a\0b\xe9", 4));

  EXPECT_TRUE(files.RemoveFile(folder.File("data")));
  EXPECT_FALSE(files.FileExists(folder.File("data")));
  EXPECT_FALSE(files.RemoveFile(folder.File("data")));
  EXPECT_NE(Utf8(files.LastError()).find("X11: RemoveFile: unlink: "), std::string::npos);
}

TEST(X11Files, AnsiIsWindows1251) {
  EXPECT_EQ(text::Utf8Codec().ToAnsi(u"Процессы"), "\xcf\xf0\xee\xf6\xe5\xf1\xf1\xfb");
  EXPECT_EQ(text::Utf8Codec().FromAnsi("\xc7\xe0\xef\xf0\xe5\xf2\xfb"), u"Запреты");
}

// ---- The application ---------------------------------------------------------------

TEST(X11App, OwnPathIsTheRunningExecutableBuiltFromItsParts) {
  X11App app;
  const fs::path self = fs::read_symlink("/proc/self/exe");
  EXPECT_EQ(app.OwnPath(), self.u16string());
  EXPECT_EQ(app.Folder(), self.parent_path().u16string());
  EXPECT_EQ(app.ExeFileName(), self.filename().u16string());
  EXPECT_EQ(app.ExeName(), app.ExeFileName()) << "no executable suffix on Linux";
  EXPECT_EQ(app.PathSeparator(), u'/');
  EXPECT_EQ(app.DataFolder(), app.Folder()) << "the build folder is writable";
}

TEST(X11App, DataFolderFallsBackToTheUsersConfigFolder) {
  TempFolder folder;
  const fs::path install = folder.Path() / "usr-bin";
  std::optional<Tmpfs> mount;
  if (geteuid() == 0) {
    mount.emplace(install, "size=16k");
    if (!mount->Mounted()) GTEST_SKIP() << "no read-only folder as root: " << mount->Error();
    ASSERT_TRUE(mount->MakeReadOnly());
  } else {
    fs::create_directories(install);
    chmod(install.c_str(), 0555);
  }
  X11App app((install / "ProcessDrovak").string());
  EXPECT_EQ(app.OwnPath(), (install / "ProcessDrovak").u16string()) << "own-path checks keep the real path";
  {
    EnvVar xdg("XDG_CONFIG_HOME", (folder.Path() / "cfg").string());
    EXPECT_EQ(app.DataFolder(), (folder.Path() / "cfg" / "ProcessDrovak").u16string());
    EXPECT_TRUE(fs::is_directory(folder.Path() / "cfg" / "ProcessDrovak"));
  }
  {
    EnvVar xdg("XDG_CONFIG_HOME", std::nullopt);
    EnvVar home("HOME", (folder.Path() / "home").string());
    EXPECT_EQ(app.DataFolder(), (folder.Path() / "home" / ".config" / "ProcessDrovak").u16string());
    EXPECT_TRUE(fs::is_directory(folder.Path() / "home" / ".config" / "ProcessDrovak"));
  }
  chmod(install.c_str(), 0755);
}

// Installed by a package, the program keeps its files in the user's folder
// even when whoever runs it (root) could write beside it.
TEST(X11App, DataFolderOfAnInstalledProgramIsTheUsersConfigFolder) {
  TempFolder folder;
  EnvVar xdg("XDG_CONFIG_HOME", (folder.Path() / "cfg").string());
  for (const char* exe : {"/usr/bin/ProcessDrovak", "/usr/local/bin/ProcessDrovak", "/bin/ProcessDrovak"}) {
    X11App app(exe);
    EXPECT_EQ(app.DataFolder(), (folder.Path() / "cfg" / "ProcessDrovak").u16string()) << exe;
  }
}

// PrevInstance asked from another process: the exit code carries the answer.
int PrevInstanceInChild() {
  const pid_t pid = fork();
  if (pid == 0) {
    X11App other;
    _exit(other.PrevInstance() ? 1 : 0);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(X11App, PrevInstanceSeesTheLockOfAnotherProcessUntilItEnds) {
  TempFolder runtime;
  EnvVar xdg("XDG_RUNTIME_DIR", runtime.Path().string());
  EXPECT_EQ(X11App::LockPath(), (runtime.Path() / "ProcessDrovak.lock").string());
  EXPECT_EQ(PrevInstanceInChild(), 0) << "nobody holds the lock yet";
  {
    X11App first;
    EXPECT_FALSE(first.PrevInstance());
    EXPECT_FALSE(first.PrevInstance()) << "the holder is not its own previous instance";
    EXPECT_EQ(PrevInstanceInChild(), 1);
  }
  EXPECT_EQ(PrevInstanceInChild(), 0) << "the lock goes with its holder";
}

TEST(X11App, PrevInstanceWithoutARuntimeFolderUsesAPrivateFolderInTmp) {
  EnvVar xdg("XDG_RUNTIME_DIR", std::nullopt);
  const std::string folder = "/tmp/ProcessDrovak-" + std::to_string(getuid());
  EXPECT_EQ(X11App::LockPath(), folder + "/ProcessDrovak.lock");
  X11App app;
  EXPECT_FALSE(app.PrevInstance());
  struct stat st {};
  ASSERT_EQ(lstat(folder.c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, getuid());
}

}  // namespace
}  // namespace pd::x11
