// The Linux registry: a store file under the user's configuration folder and
// the Run key as XDG autostart entries. Each test has a configuration folder
// of its own (XDG_CONFIG_HOME).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <gtest/gtest.h>
#include <sstream>

#include "platform/registry.h"
#include "platform/text.h"
#include "platform/x11/autostart.h"
#include "platform/x11/platform.h"
#include "registry/clsReg.h"
#include "test_util.h"

namespace pd {
namespace {

namespace fs = std::filesystem;
namespace as = platform::autostart;

constexpr StringView kRun = u"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr StringView kKey = u"HKEY_CURRENT_USER\\Software\\Drovak";

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
void Spit(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

class RegistryX11 : public testing::Test {
 protected:
  void SetUp() override {
    const char* old = std::getenv("XDG_CONFIG_HOME");
    if (old != nullptr) saved_ = old, hadOld_ = true;
    setenv("XDG_CONFIG_HOME", dir_.Path().c_str(), 1);
    port_ = x11::CreateLinuxRegistry();
    reg_ = std::make_unique<clsReg>(*port_, text::Utf8Codec());
  }
  void TearDown() override {
    reg_.reset();
    if (hadOld_) {
      setenv("XDG_CONFIG_HOME", saved_.c_str(), 1);
    } else {
      unsetenv("XDG_CONFIG_HOME");
    }
  }
  [[nodiscard]] fs::path Store() const { return dir_.Path() / "ProcessDrovak" / "registry"; }
  [[nodiscard]] fs::path Autostart(const std::string& file) const { return dir_.Path() / "autostart" / file; }
  // Another process of the program: a registry of its own over the same files.
  static std::unique_ptr<platform::Registry> Reopen() { return x11::CreateLinuxRegistry(); }

  test::TempFolder dir_;
  std::string saved_;
  bool hadOld_ = false;
  std::unique_ptr<platform::Registry> port_;
  std::unique_ptr<clsReg> reg_;
};

TEST_F(RegistryX11, AutostartValueIsADesktopEntry) {
  const String command = u"\"/opt/Дровак/Process Drovak\"";
  EXPECT_EQ(reg_->Read(kRun, u"ProcessDrovak"), u"");
  reg_->WriteValue(kRun, u"ProcessDrovak", command, 1);
  const fs::path file = Autostart("ProcessDrovak.desktop");
  ASSERT_TRUE(fs::exists(file)) << text::ToUtf8(port_->LastError());
  const std::string entry = Slurp(file);
  EXPECT_EQ(entry.rfind("[Desktop Entry]\n", 0), 0U) << entry;
  EXPECT_NE(entry.find("\nType=Application\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nName=ProcessDrovak\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nExec=\"/opt/Дровак/Process Drovak\"\n"), std::string::npos) << entry;
  EXPECT_NE(entry.find("\nTryExec=/opt/Дровак/Process Drovak\n"), std::string::npos) << "skipped once removed";
  EXPECT_EQ(reg_->Read(kRun, u"ProcessDrovak"), command);
  EXPECT_EQ(reg_->Read(kRun, u"processdrovak"), command);
  EXPECT_EQ(Reopen()->OpenKey(platform::RegRoot::CurrentUser, "Software\\Microsoft\\Windows\\CurrentVersion\\Run",
                              platform::Registry::Access::Read) != 0,
            true);
  reg_->EnumStart(kRun);
  ASSERT_EQ(reg_->Enum_GetCountValue(), 1);
  String name, value;
  int type = 0;
  reg_->Enum_GetValue(0, name, value, type);
  EXPECT_EQ(name, u"ProcessDrovak");
  EXPECT_EQ(value, command);
  EXPECT_EQ(type, 1);
  reg_->EnumEnd();
  reg_->DeleteValue(kRun, u"ProcessDrovak");
  EXPECT_FALSE(fs::exists(file));
  EXPECT_EQ(reg_->Read(kRun, u"ProcessDrovak"), u"");
  EXPECT_FALSE(fs::exists(Store()));  // nothing else was written
}

TEST_F(RegistryX11, ExecIsQuotedAndEscapedAsDesktopEntriesAsk) {
  const String command = u"\"/home/u/my $dir/`x`/100%/a\\\"b\\\\\" --flag \"two words\"";
  reg_->WriteValue(kRun, u"Tricky", command, 1);
  const std::string entry = Slurp(Autostart("Tricky.desktop"));
  // Arguments: /home/u/my $dir/`x`/100%/a"b\  --flag  two words
  EXPECT_NE(entry.find("\nExec=\"/home/u/my \\\\$dir/\\\\`x\\\\`/100%%/a\\\\\"b\\\\\\\\\" \"--flag\" \"two words\"\n"),
            std::string::npos)
      << entry;
  EXPECT_EQ(reg_->Read(kRun, u"Tricky"), command);
  EXPECT_EQ(as::ParseExec("\"/home/u/my \\\\$dir/\\\\`x\\\\`/100%%/a\\\\\"b\\\\\\\\\" \"--flag\" \"two words\""),
            (std::vector<String>{u"/home/u/my $dir/`x`/100%/a\"b\\", u"--flag", u"two words"}));
  // Unquoted command lines come back exactly as written too.
  reg_->WriteValue(kRun, u"Plain", u"/usr/bin/tool -x", 1);
  EXPECT_EQ(reg_->Read(kRun, u"Plain"), u"/usr/bin/tool -x");
}

TEST_F(RegistryX11, EntriesWrittenByOthersReadAsQuotedCommandLines) {
  Spit(Autostart("nm-applet.desktop"), "[Desktop Entry]\nName=Net\nExec=nm-applet --indicator %U\n");
  Spit(Autostart("edited.desktop"),
       "[Desktop Entry]\nExec=\"/bin/new path\" arg\nX-ProcessDrovak-Command=\"/bin/old\"\n");
  Spit(Autostart("off.desktop"), "[Desktop Entry]\nExec=/bin/off\nHidden=true\n");
  Spit(Autostart("broken.desktop"), "no group at all\nExec=/bin/x\n");
  Spit(Autostart("other-group.desktop"), "[Desktop Action x]\nExec=/bin/x\n");
  Spit(Autostart("notes.txt"), "[Desktop Entry]\nExec=/bin/x\n");
  EXPECT_EQ(reg_->Read(kRun, u"nm-applet"), u"\"nm-applet\" --indicator");
  EXPECT_EQ(reg_->Read(kRun, u"edited"), u"\"/bin/new path\" arg");
  EXPECT_EQ(reg_->Read(kRun, u"off"), u"");
  EXPECT_EQ(reg_->Read(kRun, u"broken"), u"");
  reg_->EnumStart(kRun);
  EXPECT_EQ(reg_->Enum_GetCountValue(), 2);
  reg_->EnumEnd();
  // Deleting a name that is no value leaves its file alone; writing it turns it on.
  reg_->DeleteValue(kRun, u"broken");
  EXPECT_TRUE(fs::exists(Autostart("broken.desktop")));
  reg_->WriteValue(kRun, u"OFF", u"\"/bin/on\"", 1);
  EXPECT_EQ(reg_->Read(kRun, u"off"), u"\"/bin/on\"");
  EXPECT_FALSE(fs::exists(Autostart("OFF.desktop")));  // the existing file was replaced
}

TEST_F(RegistryX11, RunValuesThatCannotBeEntries) {
  for (StringView name : {u"a/b", u".hidden", u"../../escape"}) {
    reg_->WriteValue(kRun, name, u"\"/bin/x\"", 1);
    EXPECT_EQ(reg_->Read(kRun, name), u"");
  }
  EXPECT_FALSE(port_->LastError().empty());
  reg_->WriteValue(kRun, u"Empty", u"   ", 1);
  EXPECT_EQ(reg_->Read(kRun, u"Empty"), u"");
  EXPECT_FALSE(fs::exists(dir_.Path() / "escape.desktop"));
  // Numbers and the default value stay in the store and do not start anything.
  reg_->WriteValue(kRun, u"Count", u"7", 3);
  reg_->WriteValue(kRun, u"", u"default", 1);
  EXPECT_EQ(reg_->Read(kRun, u"Count"), u"7");
  EXPECT_EQ(reg_->Read(kRun, u""), u"default");
  EXPECT_FALSE(fs::exists(Autostart("Count.desktop")));
  // A command written over a number becomes an entry, and the number goes.
  reg_->WriteValue(kRun, u"Count", u"/bin/count", 1);
  EXPECT_TRUE(fs::exists(Autostart("Count.desktop")));
  reg_->EnumStart(kRun);
  EXPECT_EQ(reg_->Enum_GetCountValue(), 2);
}

TEST_F(RegistryX11, StoreSurvivesAReloadWithEveryType) {
  String all;
  for (int b = 0; b < 256; ++b) all += text::Utf8Codec().FromAnsi(std::string(1, static_cast<char>(b)));
  reg_->WriteValue(kKey, u"sz", u"Привет, мир", 1);
  reg_->WriteValue(kKey, u"bin", all, 2);
  reg_->WriteValue(kKey, u"dw", u"-5", 3);
  reg_->WriteValue(kKey, u"exp", u"$HOME/x", 4);
  reg_->WriteValue(kKey, u"multi", u"a\r\n\r\nb", 5);
  reg_->WriteValue(String(kKey) + String(u"\\Ключ"), u"Имя", u"значение", 1);
  reg_->CreateKey(String(kKey) + String(u"\\Empty"));
  ASSERT_TRUE(fs::exists(Store()));
  EXPECT_NE(Slurp(Store()).find("[HKEY_CURRENT_USER\\Software\\Drovak]\n\"sz\"=sz:\"Привет, мир\"\n"), std::string::npos);
  EXPECT_EQ(fs::status(Store()).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);

  auto again = Reopen();
  clsReg other(*again, text::Utf8Codec());
  EXPECT_EQ(other.Read(kKey, u"sz"), u"Привет, мир");
  EXPECT_EQ(other.Read(kKey, u"bin"), all);
  EXPECT_EQ(other.Read(kKey, u"dw"), u"-5");
  EXPECT_EQ(other.Read(kKey, u"exp"), u"$HOME/x");
  EXPECT_EQ(other.Read(kKey, u"multi"), String(u"a\0\0b\0", 5));
  EXPECT_EQ(other.Read(u"HKEY_CURRENT_USER\\software\\drovak\\КЛЮЧ", u"имя"), u"значение");
  other.EnumStart(kKey);
  EXPECT_EQ(other.Enum_GetCountKey(), 2);
  EXPECT_EQ(other.Enum_GetCountValue(), 5);
  other.EnumEnd();
  // A change by one is seen by the other at its next call.
  other.WriteValue(kKey, u"sz", u"changed", 1);
  EXPECT_EQ(reg_->Read(kKey, u"sz"), u"changed");
  reg_->DeleteKey(kKey);
  EXPECT_EQ(other.Read(kKey, u"dw"), u"");
  EXPECT_EQ(Slurp(Store()).find("[HKEY_CURRENT_USER\\Software\\Drovak"), std::string::npos);
}

// Names and install paths in any script: the entry's file, its Exec line
// and the store hold them in UTF-8, and reading (letter case ignored, as
// turning autostart off compares) gives them back whole.
TEST_F(RegistryX11, NamesAndPathsInAnyScriptSurviveTheEntryAndTheStore) {
  std::mt19937 rng(11);
  for (int i = 0; i < 20; ++i) {
    const String name = test::RandomText(rng, 8) + text::FromAscii(std::to_string(i));
    const String command = u"\"/opt/" + test::RandomText(rng, 8) + u" x/ProcessDrovak\"";
    reg_->WriteValue(kRun, name, command, 1);
    const fs::path file = Autostart(text::ToUtf8(name) + ".desktop");
    ASSERT_TRUE(fs::exists(file)) << text::ToUtf8(name) << ": " << text::ToUtf8(port_->LastError());
    EXPECT_NE(Slurp(file).find("\nExec=" + text::ToUtf8(command) + "\n"), std::string::npos) << Slurp(file);
    reg_->WriteValue(String(kKey) + u"\\" + name, name, command, 1);
    auto again = Reopen();
    clsReg other(*again, text::Utf8Codec());
    ASSERT_EQ(other.Read(kRun, text::LowerCase(name)), command);
    ASSERT_EQ(other.Read(String(kKey) + u"\\" + text::LowerCase(name), name), command);
    other.DeleteValue(kRun, name);
    EXPECT_FALSE(fs::exists(file));
  }
  EXPECT_TRUE(text::IsUtf8(Slurp(Store())));
}

// A store of an earlier build held Windows-1251 names and strings.
TEST_F(RegistryX11, AStoreOfAnEarlierBuildLoadsAndIsWrittenBackInUtf8) {
  Spit(Store(), "ProcessDrovak registry 1\n[HKEY_CURRENT_USER\\Software\\Drovak\\Ключ]\n\"Имя\"=sz:\"значение\"\n");
  EXPECT_EQ(reg_->Read(String(kKey) + u"\\ключ", u"ИМЯ"), u"значение");
  reg_->WriteValue(kKey, u"new", u"漢字 \U0001F600", 1);
  const std::string stored = Slurp(Store());
  EXPECT_EQ(stored.rfind("ProcessDrovak registry 2\n", 0), 0U) << stored;
  EXPECT_NE(stored.find("\"Имя\"=sz:\"значение\""), std::string::npos) << stored;
  EXPECT_NE(stored.find("\"new\"=sz:\"漢字 \U0001F600\""), std::string::npos) << stored;
}

TEST_F(RegistryX11, DamagedStoreLoadsWhatItCanAndIsKeptAside) {
  const std::string damaged =
      "ProcessDrovak registry 1\n[HKEY_CURRENT_USER\\Software\\Drovak]\n\"good\"=sz:\"kept\"\n\"bad\"=sz:\"cut";
  Spit(Store(), damaged);
  EXPECT_EQ(reg_->Read(kKey, u"good"), u"kept");
  EXPECT_EQ(reg_->Read(kKey, u"bad"), u"");
  EXPECT_EQ(Slurp(Store()), damaged);  // reading changes nothing
  reg_->WriteValue(kKey, u"new", u"1", 1);
  EXPECT_EQ(Slurp(Store().string() + ".damaged"), damaged);
  auto again = Reopen();
  clsReg other(*again, text::Utf8Codec());
  EXPECT_EQ(other.Read(kKey, u"good"), u"kept");
  EXPECT_EQ(other.Read(kKey, u"new"), u"1");

  // Garbage of another kind: nothing is loaded, nothing crashes, nothing is lost.
  std::string garbage(4096, '\0');
  for (std::size_t i = 0; i < garbage.size(); ++i) garbage[i] = static_cast<char>((i * 7919) & 0xFF);
  Spit(Store(), garbage);
  EXPECT_EQ(reg_->Read(kKey, u"good"), u"");
  reg_->WriteValue(kKey, u"after", u"2", 1);
  EXPECT_EQ(Slurp(Store().string() + ".damaged.1"), garbage);
  EXPECT_EQ(other.Read(kKey, u"after"), u"2");
}

TEST_F(RegistryX11, FailedSaveLeavesTheOldStoreWhole) {
  reg_->WriteValue(kKey, u"v", u"old", 1);
  const std::string before = Slurp(Store());
  // In a child process whose files may not grow past 64 bytes (this works
  // for root as well), a big write fails.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64, 64};
    setrlimit(RLIMIT_FSIZE, &limit);
    reg_->WriteValue(kKey, u"v", String(1000, u'x'), 1);
    const bool unchanged = reg_->Read(kKey, u"v") == u"old";
    const bool reported = !port_->LastError().empty();
    _exit(unchanged && reported ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the change was not undone";
  EXPECT_EQ(Slurp(Store()), before);
  for (const auto& e : fs::directory_iterator(Store().parent_path())) {
    EXPECT_EQ(e.path().filename(), "registry") << "temporary file left behind";
  }
}

TEST_F(RegistryX11, ConfigurationFolderFallsBackToHome) {
  setenv("XDG_CONFIG_HOME", "relative/path", 1);  // not absolute: ignored
  const char* home = std::getenv("HOME");
  const std::string savedHome = home != nullptr ? home : "";
  setenv("HOME", dir_.Path().c_str(), 1);
  {
    auto reg = x11::CreateLinuxRegistry();
    clsReg r(*reg, text::Utf8Codec());
    r.WriteValue(kRun, u"Fallback", u"/bin/x", 1);
  }
  setenv("HOME", savedHome.c_str(), 1);
  EXPECT_TRUE(fs::exists(dir_.Path() / ".config" / "autostart" / "Fallback.desktop"));
}

TEST_F(RegistryX11, DeletingTheRunKeyRemovesItsEntries) {
  reg_->WriteValue(kRun, u"One", u"/bin/one", 1);
  reg_->WriteValue(kRun, u"Two", u"/bin/two", 1);
  reg_->DeleteKey(kRun);
  EXPECT_FALSE(fs::exists(Autostart("One.desktop")));
  EXPECT_FALSE(fs::exists(Autostart("Two.desktop")));
  reg_->WriteValue(kRun, u"Three", u"/bin/three", 1);
  EXPECT_EQ(reg_->Read(kRun, u"Three"), u"/bin/three");  // the key is back at once, as on the system
}

TEST(Autostart, CommandLinesSplitAsTheSystemSplitsThem) {
  EXPECT_EQ(as::SplitCommandLine(u"  \"C:\\a b\\x.exe\"  -y \"\" z\\\\\\\"q "),
            (std::vector<String>{u"C:\\a b\\x.exe", u"-y", u"", u"z\\\"q"}));
  EXPECT_EQ(as::SplitCommandLine(u"\"a\"\"b\" c\\d"), (std::vector<String>{u"a\"b", u"c\\d"}));
  EXPECT_TRUE(as::SplitCommandLine(u" \t ").empty());
  const std::vector<String> args = {u"/p a/x", u"", u"q\"r", u"t\\", u"plain"};
  EXPECT_EQ(as::JoinCommandLine(args), u"\"/p a/x\" \"\" \"q\\\"r\" t\\ plain");
  EXPECT_EQ(as::SplitCommandLine(as::JoinCommandLine(args)), args);
  EXPECT_EQ(as::JoinCommandLine({u"a b\\"}), u"\"a b\\\\\"");
  EXPECT_EQ(as::SplitCommandLine(u"\"a b\\\\\""), (std::vector<String>{u"a b\\"}));
  EXPECT_EQ(as::FileStem("ok name"), "ok name");
  EXPECT_EQ(as::FileStem(std::string(247, 'n')), std::string(247, 'n'));
  EXPECT_EQ(as::FileStem(std::string(248, 'n')), "");
  EXPECT_EQ(as::FileStem("tab\there"), "");
  EXPECT_EQ(as::EscapeValue(u" lead\\\n"), "\\slead\\\\\\n");
  EXPECT_EQ(as::UnescapeValue("\\slead\\\\\\n\\q"), u" lead\\\n\\q");
}

}  // namespace
}  // namespace pd
