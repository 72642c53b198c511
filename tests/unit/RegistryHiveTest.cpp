#include "platform/registry_hive.h"

#include <gtest/gtest.h>

#include "platform/sim/platform.h"
#include "platform/sim/registry.h"
#include "test_util.h"

namespace pd::platform {
namespace {

using Access = Registry::Access;

TEST(RegistryHive, TextFormRoundTripsEveryByte) {
  std::string allBytes;
  for (int b = 0; b < 256; ++b) allBytes += static_cast<char>(b);
  std::string nameBytes;  // key names may hold anything but '\' and NUL
  for (int b = 1; b < 256; ++b) {
    if (b != '\\') nameBytes += static_cast<char>(b);
  }
  RegistryHive hive;
  auto* key = hive.Create(RegRoot::LocalMachine, {"Software", nameBytes.substr(0, 200), "%22\"]["});
  key->values.push_back({"", kRegSz, std::string("default\0", 8)});
  key->values.push_back({nameBytes, kRegBinary, allBytes});
  key->values.push_back({"sz", kRegSz, "Русский 漢字 \U0001F600 \"q\"%" + std::string(1, '\0')});
  key->values.push_back({"dirty", kRegSz, std::string("a\0b", 3)});
  key->values.push_back({"dw", kRegDword, std::string("\x01\x02\x03\x84", 4)});
  key->values.push_back({"shortdw", kRegDword, "\x01"});
  key->values.push_back({"qw", kRegQword, std::string(8, '\xFF')});
  key->values.push_back({"empty", kRegBinary, ""});
  hive.Create(RegRoot::Users, {"EmptyKey"});
  const std::string text = hive.Serialize();
  RegistryHive back;
  ASSERT_TRUE(back.Parse(text));
  EXPECT_EQ(back.Serialize(), text);
  const auto* k = back.Find(RegRoot::LocalMachine, {"Software", nameBytes.substr(0, 200), "%22\"]["});
  ASSERT_NE(k, nullptr);
  ASSERT_EQ(k->values.size(), 8U);
  EXPECT_EQ(k->values[1].name, nameBytes);
  EXPECT_EQ(k->values[1].data, allBytes);
  EXPECT_EQ(k->values[3].data, std::string("a\0b", 3));
  EXPECT_EQ(k->values[4].data, std::string("\x01\x02\x03\x84", 4));
  EXPECT_NE(back.Find(RegRoot::Users, {"EmptyKey"}), nullptr);
  // Readable where it can be: Cyrillic as UTF-8, strings quoted, numbers in hex.
  EXPECT_NE(text.find("\"sz\"=sz:\"Русский 漢字 \U0001F600 %22q%22%25\""), std::string::npos) << text;
  EXPECT_NE(text.find("\"dw\"=dword:84030201"), std::string::npos);
  EXPECT_EQ(text.find('\r'), std::string::npos);
}

TEST(RegistryHive, DamagedTextKeepsEveryGoodRecord) {
  const std::string text =
      "ProcessDrovak registry 1\r\n"
      "[HKEY_CURRENT_USER\\Software\\A]\r\n"
      "\"good\"=sz:\"1\"\r\n"
      "\"bad\"=sz:\"unterminated\n"
      "\"bad2\"=dword:xyz\n"
      "\"bad3\"=type(abc):\"\"\n"
      "\"bad4\"=sz:\"%4\"\n"
      "garbage\n"
      "[HKEY_NOWHERE\\X]\n"
      "\"orphan\"=sz:\"lost key\"\n"
      "[HKEY_CURRENT_USER\\\\]\n"
      "[HKEY_CURRENT_USER\\Software\\B]\n"
      "\"good2\"=dword:0000002a\n"
      "\"cut";
  RegistryHive hive;
  EXPECT_FALSE(hive.Parse(text));
  const auto* a = hive.Find(RegRoot::CurrentUser, {"Software", "A"});
  ASSERT_NE(a, nullptr);
  ASSERT_EQ(a->values.size(), 1U);
  EXPECT_EQ(a->values[0].name, "good");
  const auto* b = hive.Find(RegRoot::CurrentUser, {"Software", "B"});
  ASSERT_NE(b, nullptr);
  ASSERT_EQ(b->values.size(), 1U);

  EXPECT_FALSE(hive.Parse("some other file\n[HKEY_CURRENT_USER\\Software\\A]\n"));
  EXPECT_EQ(hive.Find(RegRoot::CurrentUser, {"Software"}), nullptr);  // a foreign file loads nothing
  EXPECT_FALSE(hive.Parse(""));
  EXPECT_FALSE(hive.Parse(std::string("\0\0\xFF\xFE", 4)));
  EXPECT_TRUE(hive.Parse("ProcessDrovak registry 2\n"));
}

// The first version of the file held Windows-1251 names and strings, shown
// as UTF-8 with the byte 0x98 escaped; binary data keeps its bytes.
TEST(RegistryHive, FirstVersionFileReadsIntoUtf8) {
  RegistryHive hive;
  ASSERT_TRUE(hive.Parse("ProcessDrovak registry 1\n"
                         "[HKEY_CURRENT_USER\\Software\\Ключ]\n"
                         "\"Имя\"=sz:\"C:\\Программы\\x.exe%98\"\n"
                         "\"bin\"=type(3):\"Я%98\"\n"
                         "\"multi\"=type(7):\"два%00%00\"\n"));
  const auto* key = hive.Find(RegRoot::CurrentUser, {"Software", "ключ"});
  ASSERT_NE(key, nullptr);
  ASSERT_EQ(key->values.size(), 3U);
  EXPECT_EQ(key->name, "Ключ");
  EXPECT_EQ(key->values[0].name, "Имя");
  EXPECT_EQ(key->values[0].data, std::string("C:\\Программы\\x.exe") + "\xC2\x98" + '\0');
  EXPECT_EQ(key->values[1].data, "\xDF\x98");
  EXPECT_EQ(key->values[2].data, std::string("два\0\0", 8));
  EXPECT_EQ(hive.Serialize().rfind(RegistryHive::kFileHeader, 0), 0U) << "written back in the present form";
}

TEST(RegistryHive, PathsNeedEveryName) {
  RegistryHive::Path path;
  EXPECT_TRUE(RegistryHive::SplitPath("A\\B", path));
  EXPECT_EQ(path, (RegistryHive::Path{"A", "B"}));
  for (std::string_view bad : {"", "\\", "\\A", "A\\", "A\\\\B"}) EXPECT_FALSE(RegistryHive::SplitPath(bad, path)) << bad;
  EXPECT_TRUE(RegistryHive::SplitPath(std::string(255, 'k'), path));
  EXPECT_FALSE(RegistryHive::SplitPath(std::string(256, 'k'), path));
}

TEST(HiveRegistry, FollowsTheSystemsRules) {
  sim::SimRegistry reg;
  EXPECT_EQ(reg.OpenKey(RegRoot::CurrentUser, "Software", Access::Read), 0U);
  const RegKey created = reg.CreateKey(RegRoot::CurrentUser, "Software\\A\\B");
  ASSERT_NE(created, 0U);
  // A key opened for reading cannot be written through.
  const RegKey readOnly = reg.OpenKey(RegRoot::CurrentUser, "software\\a\\b", Access::Read);
  ASSERT_NE(readOnly, 0U);
  EXPECT_FALSE(reg.SetValue(readOnly, "v", kRegSz, std::string("x\0", 2)));
  EXPECT_FALSE(reg.LastError().empty());
  EXPECT_TRUE(reg.SetValue(created, "v", kRegSz, std::string("x\0", 2)));
  EXPECT_FALSE(reg.DeleteValue(readOnly, "v"));
  // A key with subkeys stays; a deleted key's handles fail from then on.
  EXPECT_FALSE(reg.DeleteKey(RegRoot::CurrentUser, "Software\\A"));
  EXPECT_TRUE(reg.DeleteKey(RegRoot::CurrentUser, "Software\\A\\B"));
  RegKeyInfo info;
  EXPECT_FALSE(reg.QueryInfoKey(created, info));
  std::uint32_t type = 0;
  std::string data;
  EXPECT_FALSE(reg.QueryValue(readOnly, "v", type, data));
  EXPECT_FALSE(reg.SetValue(created, "v", kRegSz, "y"));
  EXPECT_FALSE(reg.DeleteKey(RegRoot::CurrentUser, "Software\\A\\B"));
  reg.CloseKey(created);
  reg.CloseKey(readOnly);
  EXPECT_EQ(reg.OpenHandles(), 0U);
  EXPECT_FALSE(reg.QueryInfoKey(created, info));  // a closed handle
  // Roots are separate trees.
  EXPECT_EQ(reg.OpenKey(RegRoot::LocalMachine, "Software\\A", Access::Read), 0U);
}

TEST(HiveRegistry, BackendFactoryGivesAnEmptySimulatedHive) {
  sim::SimPlatform p;
  auto reg = p.CreateRegistry();
  ASSERT_NE(dynamic_cast<sim::SimRegistry*>(reg.get()), nullptr);
  EXPECT_EQ(reg->OpenKey(RegRoot::CurrentUser, "Software", Access::Read), 0U);
}

}  // namespace
}  // namespace pd::platform
