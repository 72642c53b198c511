#include "contract/FilesContract.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace pd::test {

namespace fs = std::filesystem;

bool FilesContract::Exists(const std::string& name) const {
  std::error_code ec;
  return fs::exists(fs::symlink_status(dir_.Path() / name, ec));
}

void FilesContract::Write(const std::string& name, const std::string& bytes) const {
  std::ofstream(dir_.Path() / name, std::ios::binary) << bytes;
}

std::set<std::string> FilesContract::Names() const {
  std::set<std::string> out;
  for (const auto& e : fs::directory_iterator(dir_.Path())) out.insert(e.path().filename().string());
  return out;
}

std::set<std::string> FilesContract::InterruptSave(const std::string& name) {
  const std::set<std::string> before = Names();
  GetParam().interruptSave(Files(), Path(name));
  std::set<std::string> added;
  const std::set<std::string> after = Names();
  std::set_difference(after.begin(), after.end(), before.begin(), before.end(), std::inserter(added, added.end()));
  return added;
}

namespace {

constexpr int kNone = -1;

// Names beside "Blocks.txt", and whose naming makes each a temporary file of
// a save of it (kNone: nobody's).
struct Neighbour {
  const char* name;
  int leftoverOf;
};
constexpr Neighbour kNeighbours[] = {
    {".Blocks.txt.Ab3xYz", FilesBackend::kX11},
    {".Blocks.txt.000000", FilesBackend::kX11},
    {"Blocks.txt.1234-7.tmp", FilesBackend::kWin32},
    {"Blocks.txt.0-0.tmp", FilesBackend::kWin32},
    {"Blocks.txt.tmp~", FilesBackend::kSim},
    {"Blocks.txt.bak", kNone},
    {".Blocks.txt.ab", kNone},
    {".Blocks.txt.Ab3xY", kNone},
    {".Blocks.txt.Ab3xY!", kNone},
    {".Blocks.txt.Ab3xYz1", kNone},
    {".Blocks.txtxAb3xYz", kNone},
    {"..Blocks.txt.Ab3xY", kNone},
    {".Notes.txt.Ab3xYz", kNone},
    {"Blocks.txt.12a4-7.tmp", kNone},
    {"Blocks.txt.-7.tmp", kNone},
    {"Blocks.txt.12-.tmp", kNone},
    {"Blocks.txt.12.tmp", kNone},
    {"Blocks.txt.1-2-3.tmp", kNone},
    {"Blocks.txt.1-2.tmp~", kNone},
    {"Blocks.txt..tmp", kNone},
    {"Blocks.txt.tmp", kNone},
    {"xBlocks.txt.tmp", kNone},
    {"Notes.txt.1-2.tmp", kNone},
    {"Blocks.txt.tmp~~", kNone},
    {"xBlocks.txt.tmp~", kNone},
    {"Options.cfg.tmp~", kNone},
};

}  // namespace

int FilesContract::Own() const { return static_cast<int>(GetParam().naming); }

TEST_P(FilesContract, TheSweepRemovesOnlyNamesOfTheBackendsOwnTemporaryFiles) {
  Write("Blocks.txt", "notepad.exe=1\r\n");
  int own = 0;
  for (const Neighbour& n : kNeighbours) {
    Write(n.name, "x");
    own += n.leftoverOf == Own() ? 1 : 0;
  }
  ASSERT_EQ(Names().size(), std::size(kNeighbours) + 1);
  ASSERT_GT(own, 0);

  EXPECT_EQ(Files().RemoveLeftoverTemps(Path("Blocks.txt")), own);
  for (const Neighbour& n : kNeighbours) {
    EXPECT_EQ(Exists(n.name), n.leftoverOf != Own()) << n.name;
  }
  std::string bytes;
  ASSERT_TRUE(Files().ReadFile(Path("Blocks.txt"), bytes));
  EXPECT_EQ(bytes, "notepad.exe=1\r\n");
  EXPECT_EQ(Files().RemoveLeftoverTemps(Path("Blocks.txt")), 0) << "nothing left to remove";
}

TEST_P(FilesContract, WhatInterruptedSavesLeftIsRemovedForTheirOwnFileOnly) {
  Write("Blocks.txt", "old");
  std::set<std::string> blocks = InterruptSave("Blocks.txt");
  ASSERT_EQ(blocks.size(), 1u) << "an interrupted save leaves its temporary file";
  blocks.merge(InterruptSave("Blocks.txt"));
  const std::set<std::string> options = InterruptSave("Options.cfg");
  ASSERT_EQ(options.size(), 1u);

  EXPECT_EQ(Files().RemoveLeftoverTemps(Path("Blocks.txt")), static_cast<int>(blocks.size()));
  for (const std::string& name : blocks) EXPECT_FALSE(Exists(name)) << name;
  EXPECT_TRUE(Exists(*options.begin())) << "a leftover of another file stays";
  EXPECT_EQ(Files().RemoveLeftoverTemps(Path("Options.cfg")), 1);
  EXPECT_EQ(Names(), (std::set<std::string>{"Blocks.txt"}));

  std::string bytes;
  ASSERT_TRUE(Files().ReadFile(Path("Blocks.txt"), bytes));
  EXPECT_EQ(bytes, "old") << "the interrupted saves never touched the file";
  ASSERT_TRUE(Files().WriteFileAtomic(Path("Blocks.txt"), "new"));
  EXPECT_EQ(Names(), (std::set<std::string>{"Blocks.txt"}));
}

TEST_P(FilesContract, AFolderNamedAsATemporaryFileStays) {
  const std::set<std::string> temp = InterruptSave("Blocks.txt");
  ASSERT_EQ(temp.size(), 1u);
  const fs::path taken = dir_.Path() / *temp.begin();
  fs::remove(taken);
  fs::create_directory(taken);
  std::ofstream(taken / "inside.txt") << "x";
  EXPECT_EQ(Files().RemoveLeftoverTemps(Path("Blocks.txt")), 0);
  EXPECT_TRUE(fs::exists(taken / "inside.txt"));
}

TEST_P(FilesContract, ALinkNamedAsATemporaryFileStaysAndSoDoesWhatItPointsAt) {
  const std::set<std::string> temp = InterruptSave("Blocks.txt");
  ASSERT_EQ(temp.size(), 1u);
  const fs::path taken = dir_.Path() / *temp.begin();
  fs::remove(taken);
  Write("elsewhere.txt", "data");
  std::error_code ec;
  fs::create_symlink(dir_.Path() / "elsewhere.txt", taken, ec);
  if (ec) GTEST_SKIP() << "no symbolic link can be made here: " << ec.message();
  EXPECT_EQ(Files().RemoveLeftoverTemps(Path("Blocks.txt")), 0);
  EXPECT_TRUE(fs::is_symlink(taken));
  EXPECT_TRUE(Exists("elsewhere.txt"));
}

TEST_P(FilesContract, NothingToSweepGivesZero) {
  EXPECT_EQ(Files().RemoveLeftoverTemps(Path("Blocks.txt")), 0) << "an empty folder";
  EXPECT_EQ(Files().RemoveLeftoverTemps(Path("missing/Blocks.txt")), 0) << "a missing folder";
  EXPECT_EQ(Files().RemoveLeftoverTemps(u""), 0);
  EXPECT_TRUE(Names().empty());
}


TEST_P(FilesContract, AReadOnlyFileIsRefusedAndStaysWhole) {
  Write("report.txt", "old report");
  const fs::path file = dir_.Path() / "report.txt";
  fs::permissions(file, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                  fs::perm_options::remove);
  EXPECT_FALSE(Files().WriteFileAtomic(Path("report.txt"), "new report"));
  EXPECT_FALSE(Files().LastError().empty());
  fs::permissions(file, fs::perms::owner_write, fs::perm_options::add);  // the folder can go again
  std::string bytes;
  ASSERT_TRUE(Files().ReadFile(Path("report.txt"), bytes));
  EXPECT_EQ(bytes, "old report");
  EXPECT_EQ(Names(), (std::set<std::string>{"report.txt"})) << "no temporary file stays";
  EXPECT_TRUE(Files().WriteFileAtomic(Path("report.txt"), "new report")) << "writable again";
}

}  // namespace pd::test
