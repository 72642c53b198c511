// Names, paths and entries in any script survive every boundary of the
// simulation, which keeps its files as Linux does (UTF-8): the codecs, the
// lists and options, the registry and the autostart value, balloons, and
// the block list across a restart. Strings are drawn from Cyrillic, Latin
// letters with accents, CJK and emoji (outside the BMP) with a fixed seed.
#include <random>
#include <set>

#include "unit/app/AppTestUtil.h"

namespace pd::app::test {
namespace {

std::vector<String> RandomNames(std::uint32_t seed, int count, int maxChars = 12) {
  std::mt19937 rng(seed);
  std::vector<String> names;
  // The suffix keeps generated names apart, letter case ignored.
  for (int i = 0; i < count; ++i) {
    names.push_back(pd::test::RandomText(rng, maxChars) + u"-" + text::FromAscii(std::to_string(i)) + u".exe");
  }
  return names;
}

TEST(UnicodeCodecs, EveryGeneratedTextSurvivesEachEncoding) {
  for (const String& s : RandomNames(1, 200)) {
    const std::string utf8 = text::ToUtf8(s);
    ASSERT_TRUE(text::IsUtf8(utf8));
    ASSERT_EQ(text::FromUtf8(utf8), s);
    ASSERT_EQ(text::Utf8Codec().FromFileText(text::Utf8Codec().ToFileText(s)), s);
    ASSERT_EQ(text::FromCp1251Lossless(text::ToCp1251Lossless(s)), s);
    ASSERT_EQ(text::Utf8Codec().FromAnsi(text::Utf8Codec().ToAnsi(s)), s);
  }
}

TEST(UnicodeCodecs, EveryByteStringSurvivesTheLosslessCodePage) {
  std::mt19937 rng(2);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 500; ++round) {
    std::string bytes(static_cast<std::size_t>(byte(rng) % 24), '\0');
    for (char& b : bytes) b = static_cast<char>(round % 2 == 0 ? byte(rng) : 0x98 + byte(rng) % 0x68);
    ASSERT_EQ(text::ToCp1251Lossless(text::FromCp1251Lossless(bytes)), bytes);
  }
}

class UnicodeApp : public AppTest {
 protected:
  void Restart() {
    F().cmdOK_Click();
    form_.reset();
    ASSERT_TRUE(Start());
  }
  static std::vector<String> Items(const controls::XP_ListBox& list) {
    std::vector<String> out;
    for (int i = 0; i < list.ListCount(); ++i) out.push_back(list.List(i));
    return out;
  }
};

TEST_F(UnicodeApp, ListsKeepEveryNameInUtf8AcrossARestart) {
  const std::vector<String> names = RandomNames(3, 40);
  const std::vector<String> exceptions(names.begin(), names.begin() + 20);
  const std::vector<String> blocks(names.begin() + 20, names.end());
  WriteFile("Options.cfg", "Enabled=True\r\n");
  ASSERT_TRUE(Start());
  for (const String& n : exceptions) F().lstEXEList->AddItem(n);
  for (const String& n : blocks) F().lstBlock->AddItem(n);
  Restart();
  EXPECT_EQ(Items(*F().lstEXEList), exceptions);
  EXPECT_EQ(Items(*F().lstBlock), blocks);
  std::string expected;
  for (const String& n : blocks) expected += text::ToUtf8(n) + "=0\r\n";
  EXPECT_EQ(ReadFile("Blocks.txt"), expected);
  for (const String& n : exceptions) EXPECT_TRUE(F().IsException(text::LowerCase(n), true)) << text::ToUtf8(n);
  for (const String& n : blocks) EXPECT_FALSE(F().IsException(n, true)) << text::ToUtf8(n);
}

TEST_F(UnicodeApp, ABlockedNameInAnyScriptStillEndsItsProcessAfterARestart) {
  WriteFile("Options.cfg", "Enabled=True\r\nTipBlock=True\r\n");
  ASSERT_TRUE(Start());
  const std::vector<String> names = RandomNames(4, 8, 6);
  for (const String& n : names) {
    F().lstBlock->AddItem(n);
    F().lstBlock->SetListChecked(F().lstBlock->ListCount() - 1, true);
  }
  Restart();
  for (const String& n : names) {
    const ProcessId id = p_.processes().Start(u"C:/Игры/漢字/" + text::LowerCase(n));
    p_.loop().Advance(30);
    EXPECT_FALSE(p_.processes().IsRunning(id)) << text::ToUtf8(n);
    ASSERT_FALSE(p_.tray().Balloons().empty());
    EXPECT_EQ(p_.tray().Balloons().back().title, text::LowerCase(n)) << "the balloon names it whole";
  }
}

TEST_F(UnicodeApp, AWindows1251FileOfAnEarlierBuildLoadsAndIsRewrittenAsUtf8) {
  WriteFile("Options.cfg", "; \xCD\xE0\xF1\xF2\xF0\xEE\xE9\xEA\xE8\r\nEnabled=True\r\n");  // "; Настройки"
  WriteFile("Exclamations.txt", "\xC8\xE3\xF0\xE0.exe=1\r\n");                              // Игра.exe
  WriteFile("Blocks.txt", "\xEF\xBB\xBF\xD0\xA2\xD0\xB5\xD1\x81\xD1\x82.exe=1\r\n");        // BOM, Тест.exe
  ASSERT_TRUE(Start());
  EXPECT_EQ(Items(*F().lstEXEList), std::vector<String>{u"Игра.exe"});
  EXPECT_EQ(Items(*F().lstBlock), std::vector<String>{u"Тест.exe"});
  F().cmdOK_Click();
  EXPECT_EQ(ReadFile("Options.cfg").rfind("; Настройки\r\nEnabled=True\r\n", 0), 0U);
  EXPECT_EQ(ReadFile("Exclamations.txt"), "Игра.exe=1\r\n");
  EXPECT_EQ(ReadFile("Blocks.txt"), "Тест.exe=1\r\n") << "written back without the mark";
}

TEST_F(UnicodeApp, BalloonsKeepEveryCharacterAndEndOnAWholeOne) {
  ASSERT_TRUE(Start());
  for (const String& n : RandomNames(5, 50, 6)) {  // at most 37 bytes: the title's field holds 63
    F().TrayIcon->ShowBallon(n, u"Было закрыто: " + n, platform::niif::kInfo);
    ASSERT_EQ(p_.tray().Balloons().back().title, n);
    ASSERT_EQ(p_.tray().Balloons().back().text, u"Было закрыто: " + n);
  }
  // A title longer than its field keeps as many whole characters as fit.
  String emoji;
  for (int i = 0; i < 40; ++i) emoji += u"\U0001F600";
  F().TrayIcon->ShowBallon(emoji, String(300, u'Ж'), platform::niif::kInfo);
  EXPECT_EQ(p_.tray().Balloons().back().title, emoji.substr(0, 2 * 12)) << "12 emoji of 5 bytes in 63";
  EXPECT_EQ(p_.tray().Balloons().back().text, String(255, u'Ж')) << "Cyrillic keeps one byte a letter";
}

TEST(UnicodeRegistry, GeneratedKeysNamesAndValuesComeBackWhole) {
  sim::SimRegistry sim;
  clsReg reg(sim, text::Utf8Codec());
  const std::vector<String> names = RandomNames(6, 60);
  const String base = u"HKEY_CURRENT_USER\\Software\\Drovak\\";
  for (std::size_t i = 0; i + 2 < names.size(); i += 3) {
    reg.WriteValue(base + names[i], names[i + 1], names[i + 2], 1);
    ASSERT_EQ(reg.Read(base + text::LowerCase(names[i]), text::LowerCase(names[i + 1])), names[i + 2]);
    reg.EnumStart(base + names[i]);
    String name, value;
    int type = 0;
    reg.Enum_GetValue(0, name, value, type);
    reg.EnumEnd();
    ASSERT_EQ(name, names[i + 1]);
    ASSERT_EQ(value, names[i + 2]);
  }
  reg.EnumStart(u"HKEY_CURRENT_USER\\Software\\Drovak");
  std::set<String> keys;
  for (int i = 0; i < reg.Enum_GetCountKey(); ++i) keys.insert(reg.Enum_GetKey(i));
  reg.EnumEnd();
  EXPECT_EQ(keys.size(), names.size() / 3);
  EXPECT_EQ(keys.count(names[0]), 1U);
  EXPECT_EQ(sim.OpenHandles(), 0U);
}

// The program installed in a folder named in several scripts.
class UnicodeFolderApp : public ::testing::Test {
 protected:
  static std::filesystem::path Made(std::filesystem::path folder) {
    std::filesystem::create_directories(folder);
    return folder;
  }
  pd::test::TempFolder dir_;
  std::filesystem::path folder_ = Made(dir_.Path() / std::filesystem::path(u"Программы é 漢字 \U0001F600"));
  sim::SimPlatform p_{folder_.u16string()};
  forms::ControlHost host_{p_};
};

TEST_F(UnicodeFolderApp, TheAutostartValueHoldsThePathWholeAndGoesWhenSwitchedOff) {
  auto form = std::make_unique<frmMain>(host_);
  ASSERT_TRUE(form->Load());
  const String own = u"\"" + p_.app().OwnPath() + u"\"";
  EXPECT_NE(own.find(u"漢字 \U0001F600"), String::npos);
  EXPECT_EQ(clsReg(p_.registry(), p_.codec()).Read(kRunKey, u"ProcessDrovak"), own);
  form->chkAutoStart->SetValue(0);
  form->cmdOK_Click();
  EXPECT_EQ(clsReg(p_.registry(), p_.codec()).Read(kRunKey, u"ProcessDrovak"), u"") << "the comparison found our own value";
  EXPECT_TRUE(std::filesystem::exists(folder_ / "Options.cfg"));
}

}  // namespace
}  // namespace pd::app::test
